// The texts that show a file's information, shared by the window's
// information page and the command line: numbers grouped by thousands, the
// file size in kilobytes, the encoding, sample rate, bit rate and channels.
// Separators are parameters (UTF-8), so that the window passes its locale's
// and the command line its fixed ones.
#pragma once

#include <cstdint>
#include <string>

// Value rounded half away from zero, its digits grouped by three with
// ThousandSeparator: "-1,234,568".
std::string RoundedNumberText(double Value, const std::string& ThousandSeparator);
// "1,234 KB": kilobytes rounded half away from zero; "1 KB" below 1024 bytes.
std::string FileSizeText(int64_t Size, const std::string& ThousandSeparator);
// The shortest decimal form of an MPEG version: "1", "2", "2.5".
std::string VersionText(double Version, const std::string& DecimalSeparator);
// "MPEG 2.5 Layer 3".
std::string EncodingText(double Version, int32_t Layer, const std::string& DecimalSeparator);
// "44100 Hz".
std::string SampleRateText(int32_t SampleRate);
// "128 Kbps".
std::string BitRateText(int32_t BitRate);
// "Mono" or "Stereo".
std::string ChannelText(bool Mono);
