#include "engine/InfoText.h"

#include <charconv>
#include <cmath>

namespace {
constexpr int64_t BytesPerKilobyte = 1024;
}  // namespace

std::string RoundedNumberText(double Value, const std::string& ThousandSeparator) {
    const long long Rounded = std::llround(Value);
    // The magnitude as unsigned, so that the most negative value has one too.
    const unsigned long long Magnitude = Rounded < 0 ? 0ull - static_cast<unsigned long long>(Rounded) : Rounded;
    const std::string Digits = std::to_string(Magnitude);
    std::string Text = Rounded < 0 ? "-" : "";
    for (size_t I = 0; I < Digits.size(); ++I) {
        if (I > 0 && (Digits.size() - I) % 3 == 0) Text += ThousandSeparator;
        Text += Digits[I];
    }
    return Text;
}

std::string FileSizeText(int64_t Size, const std::string& ThousandSeparator) {
    if (Size < BytesPerKilobyte) return "1 KB";
    return RoundedNumberText(static_cast<double>(Size) / BytesPerKilobyte, ThousandSeparator) + " KB";
}

std::string VersionText(double Version, const std::string& DecimalSeparator) {
    char Buffer[32];
    const auto [End, Ec] = std::to_chars(Buffer, Buffer + sizeof Buffer, Version);
    const std::string Plain = Ec == std::errc() ? std::string(Buffer, End) : std::to_string(Version);
    std::string Text;
    for (const char C : Plain) {
        if (C == '.')
            Text += DecimalSeparator;
        else
            Text += C;
    }
    return Text;
}

std::string EncodingText(double Version, int32_t Layer, const std::string& DecimalSeparator) {
    return "MPEG " + VersionText(Version, DecimalSeparator) + " Layer " + std::to_string(Layer);
}

std::string SampleRateText(int32_t SampleRate) { return std::to_string(SampleRate) + " Hz"; }

std::string BitRateText(int32_t BitRate) { return std::to_string(BitRate) + " Kbps"; }

std::string ChannelText(bool Mono) { return Mono ? "Mono" : "Stereo"; }
