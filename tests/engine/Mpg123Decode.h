// Decodes a file with libmpg123 as a player would. Without gapless trimming
// every frame yields its full number of samples; with it, the decoder drops
// what the LAME tag's delay and padding (and its own delay) say.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TDecodeOptions {
    bool Gapless = false;
    bool KeepSamples = false;  // keep the 16-bit samples, channels interleaved
};

struct TDecodeResult {
    std::string Error;    // empty when the whole file decoded
    int64_t Samples = 0;  // per channel
    long Rate = 0;
    int Channels = 0;
    // What libmpg123 tells of the length before decoding (from the
    // information frame when there is one), per channel; -1 when it cannot.
    int64_t ReportedLength = -1;
    std::vector<int16_t> Pcm;
};

TDecodeResult DecodeWithMpg123(const std::string& FileName, const TDecodeOptions& Options = {});
