// Decodes a file with libmpg123 as a player would, without gapless trimming,
// so that every frame yields its full number of samples.
#pragma once

#include <cstdint>
#include <string>

struct TDecodeResult {
    std::string Error;    // empty when the whole file decoded
    int64_t Samples = 0;  // per channel
    long Rate = 0;
    int Channels = 0;
};

TDecodeResult DecodeWithMpg123(const std::string& FileName);
