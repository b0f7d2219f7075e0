#include "engine/TimeCode.h"

#include <cctype>
#include <charconv>

namespace {

// Integer value of a text field; a text that is no valid integer counts 0.
int64_t FieldValue(const std::string& Text, size_t From, size_t Count) {
    if (From >= Text.size()) return 0;
    const std::string Field = Text.substr(From, Count);
    int64_t Value = 0;
    const char* First = Field.data();
    const char* Last = Field.data() + Field.size();
    if (First != Last && *First == '+') ++First;
    const auto [Ptr, Ec] = std::from_chars(First, Last, Value);
    if (Ec != std::errc() || Ptr != Last || First == Last) return 0;
    return Value;
}

bool AllDigits(const std::string& S) {
    if (S.empty()) return false;
    for (const char C : S)
        if (!std::isdigit(static_cast<unsigned char>(C))) return false;
    return true;
}

}  // namespace

std::string ZeroPad2(int64_t N) {
    std::string S = std::to_string(N);
    return S.size() == 1 ? "0" + S : S;
}

std::string ZeroPad3(int64_t N) {
    std::string S = std::to_string(N);
    if (S.size() == 1) return "00" + S;
    if (S.size() == 2) return "0" + S;
    return S;
}

std::string MsToTimeCode(int64_t Ms) {
    const int64_t H = Ms / 3600000;
    int64_t R = Ms - H * 3600000;
    const int64_t M = R / 60000;
    R -= M * 60000;
    const int64_t S = R / 1000;
    const int64_t F = R % 1000;
    return ZeroPad3(H) + ":" + ZeroPad2(M) + ":" + ZeroPad2(S) + "." + ZeroPad3(F);
}

std::string NormalizeTimeCode(const std::string& Text) {
    std::string T = Text;
    if (T.size() < 13) T.resize(13, ' ');
    auto ClampTens = [](char C) { return (C >= '6' && C <= '9') ? '5' : C; };
    std::string Result = T.substr(0, 4);
    Result += ClampTens(T[4]);
    Result += T.substr(5, 2);
    Result += ClampTens(T[7]);
    Result += T.substr(8);
    for (char& C : Result)
        if (C == ' ') C = '0';
    return Result;
}

int64_t TimeCodeToMs(const std::string& Text) {
    const int64_t H = FieldValue(Text, 0, 3);
    const int64_t M = FieldValue(Text, 4, 2);
    const int64_t S = FieldValue(Text, 7, 2);
    const int64_t F = FieldValue(Text, 10, 3);
    return (H * 3600 + M * 60 + S) * 1000 + F;
}

bool ParseTimeArgument(const std::string& Text, int64_t& Ms) {
    if (AllDigits(Text)) {
        if (Text.size() > 15) return false;
        Ms = std::stoll(Text);
        return true;
    }
    // hours ':' mm ':' ss '.' fff, hours of one or more digits
    const size_t C1 = Text.find(':');
    if (C1 == std::string::npos || C1 == 0 || C1 > 9) return false;
    const std::string Hours = Text.substr(0, C1);
    const std::string Rest = Text.substr(C1 + 1);
    if (Rest.size() != 9 || Rest[2] != ':' || Rest[5] != '.') return false;
    const std::string Min = Rest.substr(0, 2), Sec = Rest.substr(3, 2), Frac = Rest.substr(6, 3);
    if (!AllDigits(Hours) || !AllDigits(Min) || !AllDigits(Sec) || !AllDigits(Frac)) return false;
    const int64_t M = std::stoll(Min), S = std::stoll(Sec);
    if (M > 59 || S > 59) return false;
    Ms = (std::stoll(Hours) * 3600 + M * 60 + S) * 1000 + std::stoll(Frac);
    return true;
}
