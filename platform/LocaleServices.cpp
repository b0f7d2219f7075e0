#include "platform/LocaleServices.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <iconv.h>
#include <locale.h>
#include <vector>

namespace {

std::string CodePageName(int CodePage) {
    switch (CodePage) {
    case 936: return "GBK";
    case 950: return "BIG5";
    case 932: return "CP932";
    case 949: return "CP949";
    default: return "CP" + std::to_string(CodePage);
    }
}

// What iconv_open gives when it cannot convert: (iconv_t)-1, as its interface says.
iconv_t NoConversion() { return reinterpret_cast<iconv_t>(-1); }  // NOLINT(performance-no-int-to-ptr)

// Converts with iconv; bytes it cannot take are replaced and skipped.
std::string Convert(const std::string& Input, const std::string& From, const std::string& To,
                    const std::string& Replacement, size_t SkipOnError) {
    iconv_t Cd = ::iconv_open(To.c_str(), From.c_str());
    if (Cd == NoConversion()) return Input;
    std::string Out;
    std::vector<char> Buffer(Input.size() * 4 + 16);
    char* In = const_cast<char*>(Input.data());
    size_t InLeft = Input.size();
    while (InLeft > 0) {
        char* OutPtr = Buffer.data();
        size_t OutLeft = Buffer.size();
        const size_t Rc = ::iconv(Cd, &In, &InLeft, &OutPtr, &OutLeft);
        Out.append(Buffer.data(), OutPtr - Buffer.data());
        if (Rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a sequence cut short at the end)
        Out += Replacement;
        const size_t Skip = std::min(SkipOnError, InLeft);
        In += Skip;
        InLeft -= Skip;
    }
    ::iconv_close(Cd);
    return Out;
}

size_t Utf8SequenceLength(unsigned char Lead) {
    if (Lead < 0x80) return 1;
    if ((Lead >> 5) == 6) return 2;
    if ((Lead >> 4) == 14) return 3;
    if ((Lead >> 3) == 30) return 4;
    return 1;
}

std::u32string DecodeUtf8(const std::string& S) {
    std::u32string Out;
    for (size_t I = 0; I < S.size();) {
        const unsigned char Lead = static_cast<unsigned char>(S[I]);
        size_t Len = Utf8SequenceLength(Lead);
        if (I + Len > S.size()) Len = 1;
        char32_t C = Len == 1 ? Lead : (Lead & (0x7F >> Len));
        for (size_t K = 1; K < Len; ++K) C = (C << 6) | (static_cast<unsigned char>(S[I + K]) & 0x3F);
        Out.push_back(C);
        I += Len;
    }
    return Out;
}

}  // namespace

int AnsiCodePageForLocale(const std::string& LocaleName) {
    const std::string Lang = LocaleName.substr(0, LocaleName.find_first_of(".@"));
    const std::string Language = Lang.substr(0, Lang.find('_'));
    if (Lang == "zh_TW" || Lang == "zh_HK" || Lang == "zh_MO") return 950;
    if (Language == "zh") return 936;
    if (Language == "ja") return 932;
    if (Language == "ko") return 949;
    if (Language == "th") return 874;
    for (const char* L : {"ru", "uk", "be", "bg", "mk", "sr", "kk", "ky", "tt", "mn"})
        if (Language == L) return 1251;
    for (const char* L : {"pl", "cs", "sk", "hu", "sl", "hr", "ro", "sq", "bs"})
        if (Language == L) return 1250;
    if (Language == "el") return 1253;
    if (Language == "tr" || Language == "az") return 1254;
    if (Language == "he" || Language == "yi") return 1255;
    if (Language == "ar" || Language == "fa" || Language == "ur") return 1256;
    if (Language == "lt" || Language == "lv" || Language == "et") return 1257;
    if (Language == "vi") return 1258;
    return 1252;
}

int SystemAnsiCodePage() {
    for (const char* Variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* Value = std::getenv(Variable);
        if (Value && *Value) return AnsiCodePageForLocale(Value);
    }
    return 1252;
}

bool IsLeadByte(unsigned char Byte, int CodePage) {
    switch (CodePage) {
    case 932: return (Byte >= 0x81 && Byte <= 0x9F) || (Byte >= 0xE0 && Byte <= 0xFC);
    case 936:
    case 949:
    case 950: return Byte >= 0x81 && Byte <= 0xFE;
    default: return false;
    }
}

std::string AnsiToUtf8(const std::string& Bytes, int CodePage) {
    return Convert(Bytes, CodePageName(CodePage), "UTF-8", "\xEF\xBF\xBD", 1);
}

std::string Utf16ToUtf8(const std::string& Bytes, bool BigEndian) {
    return Convert(Bytes, BigEndian ? "UTF-16BE" : "UTF-16LE", "UTF-8", "\xEF\xBF\xBD", 2);
}

std::string Utf8ToAnsi(const std::string& Text, int CodePage) {
    std::string Out;
    // Convert character by character so that one the code page lacks becomes
    // a single '?' instead of ending the conversion.
    iconv_t Cd = ::iconv_open(CodePageName(CodePage).c_str(), "UTF-8");
    if (Cd == NoConversion()) return Text;
    for (size_t I = 0; I < Text.size();) {
        size_t Len = Utf8SequenceLength(static_cast<unsigned char>(Text[I]));
        if (I + Len > Text.size()) Len = Text.size() - I;
        char* In = const_cast<char*>(Text.data() + I);
        size_t InLeft = Len;
        char Buffer[16];
        char* OutPtr = Buffer;
        size_t OutLeft = sizeof Buffer;
        if (::iconv(Cd, &In, &InLeft, &OutPtr, &OutLeft) == static_cast<size_t>(-1)) {
            ::iconv(Cd, nullptr, nullptr, nullptr, nullptr);
            Out += '?';
        } else {
            Out.append(Buffer, OutPtr - Buffer);
        }
        I += Len;
    }
    ::iconv_close(Cd);
    return Out;
}

bool SameFileNameIgnoringCase(const std::string& A, const std::string& B) {
    const std::u32string UA = DecodeUtf8(A), UB = DecodeUtf8(B);
    if (UA.size() != UB.size()) return false;
    static const locale_t Utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    for (size_t I = 0; I < UA.size(); ++I) {
        const wint_t CA = static_cast<wint_t>(UA[I]), CB = static_cast<wint_t>(UB[I]);
        if (CA == CB) continue;
        if (!Utf8) return false;
        if (::towlower_l(CA, Utf8) != ::towlower_l(CB, Utf8)) return false;
    }
    return true;
}
