#include "engine/TimeCode.h"

#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>
#include <vector>

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

bool AllDigits(std::string_view S) {
    if (S.empty()) return false;
    for (const char C : S)
        if (!std::isdigit(static_cast<unsigned char>(C))) return false;
    return true;
}

// Digits known to be few enough for int64_t.
int64_t DigitsValue(std::string_view S) {
    int64_t Value = 0;
    for (const char C : S) Value = Value * 10 + (C - '0');
    return Value;
}

// Milliseconds of the decimal fraction ".Digits" of a unit of UnitMs,
// rounded to the nearest.
int64_t FractionMs(std::string_view Digits, int64_t UnitMs) {
    int64_t Denominator = 1;
    for (size_t I = 0; I < Digits.size(); ++I) Denominator *= 10;
    return (2 * DigitsValue(Digits) * UnitMs + Denominator) / (2 * Denominator);
}

// A whole part of at most MaxDigits digits and, after a point, a fraction of
// 1 to 9 digits; a point without digits after it is no number.
bool SplitDecimal(std::string_view Text, size_t MaxDigits, std::string_view& Whole, std::string_view& Fraction) {
    const size_t Point = Text.find('.');
    Whole = Text.substr(0, Point);
    Fraction = Point == std::string_view::npos ? std::string_view() : Text.substr(Point + 1);
    if (!AllDigits(Whole) || Whole.size() > MaxDigits) return false;
    return Point == std::string_view::npos || (AllDigits(Fraction) && Fraction.size() <= 9);
}

bool SexagesimalDigits(std::string_view S) { return S.size() == 2 && AllDigits(S) && S[0] <= '5'; }

// "H:MM:SS[.f]" or "M:SS[.f]": seconds, and minutes after hours, of two
// digits below 60; hours, or minutes alone, of up to 12 digits. Any time
// this accepts prints as a time code whose hours this accepts again.
bool ParseClock(std::string_view Text, int64_t& Ms) {
    std::vector<std::string_view> Parts;
    for (size_t From = 0;;) {
        const size_t Colon = Text.find(':', From);
        Parts.push_back(Text.substr(From, Colon == std::string_view::npos ? std::string_view::npos : Colon - From));
        if (Colon == std::string_view::npos) break;
        From = Colon + 1;
    }
    if (Parts.size() < 2 || Parts.size() > 3) return false;
    std::string_view Seconds, Fraction;
    if (!SplitDecimal(Parts.back(), 2, Seconds, Fraction) || !SexagesimalDigits(Seconds)) return false;
    int64_t Minutes = 0;
    if (Parts.size() == 3) {
        if (!AllDigits(Parts[0]) || Parts[0].size() > 12 || !SexagesimalDigits(Parts[1])) return false;
        Minutes = DigitsValue(Parts[0]) * 60 + DigitsValue(Parts[1]);
    } else {
        if (!AllDigits(Parts[0]) || Parts[0].size() > 12) return false;
        Minutes = DigitsValue(Parts[0]);
    }
    Ms = (Minutes * 60 + DigitsValue(Seconds)) * 1000 + FractionMs(Fraction, 1000);
    return true;
}

// A number of up to 12 whole digits with a unit: ms, s, m or h.
bool ParseWithUnit(std::string_view Text, int64_t& Ms) {
    static constexpr std::pair<std::string_view, int64_t> Units[] = {
        {"ms", 1}, {"s", 1000}, {"m", 60 * 1000}, {"h", 60 * 60 * 1000}};
    const size_t NumberEnd = Text.find_first_not_of("0123456789.");
    if (NumberEnd == std::string_view::npos) return false;
    std::string_view Whole, Fraction;
    if (!SplitDecimal(Text.substr(0, NumberEnd), 12, Whole, Fraction)) return false;
    for (const auto& [Unit, UnitMs] : Units)
        if (Text.substr(NumberEnd) == Unit) {
            Ms = DigitsValue(Whole) * UnitMs + FractionMs(Fraction, UnitMs);
            return true;
        }
    return false;
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
        Ms = DigitsValue(Text);
        return true;
    }
    return Text.find(':') != std::string::npos ? ParseClock(Text, Ms) : ParseWithUnit(Text, Ms);
}
