// MPEG audio frame headers: the code tables, the decoded header, and the rules
// every frame is measured with (length in bytes, duration in milliseconds).
#pragma once

#include <cstdint>

// A frame begins with four header bytes, the first of them all ones. The
// other sync bits are not tested: a first byte of 0xFF is taken as a header.
constexpr int FrameHeaderBytes = 4;
constexpr uint8_t FrameSyncByte = 0xFF;

// Lookup tables, indexed as the frame header's codes are: [row-1][layer-1][index-1].
// Row 1 is MPEG 1; row 2 is MPEG 2 and 2.5 (SampleRates has a row 3 for 2.5).
extern const int32_t BitRates[2][3][14];
extern const int32_t SampleRates[3][3];
extern const int32_t SamplesPerFrame[2][3];

// One decoded MPEG audio frame header.
struct TFrameHeader {
    double Version = 0.0;
    int32_t Layer = 0;
    int32_t BitRate = 0;
    int32_t SampleRate = 0;
    int32_t Padding = 0;
    int32_t Samples = 0;
    bool Mono = false;
    int32_t Length = 0;  // bytes, padding included
    double DurationMs = 0.0;
};

namespace FrameHeaderCache {
// The header bytes last decoded on this thread (the sync byte makes a valid
// key non-zero) and what they decoded to.
struct TLastHeader {
    uint32_t Key = 0;
    TFrameHeader Frame;
};
inline thread_local TLastHeader Last;
// Decodes H (whose first byte is the sync byte) without looking at Last, and
// keeps a valid result there under Key.
bool DecodeAndKeep(const uint8_t H[FrameHeaderBytes], uint32_t Key, TFrameHeader& Frame);
}  // namespace FrameHeaderCache

// Decodes H0..H3. False when H0 is not the sync byte or a code has no table
// entry (reserved version or layer, free-format or bad bit rate, reserved
// sample rate): such bytes are no frame.
//
// Consecutive frames nearly always share their header bytes, and the walk
// over a long file decodes every one of them: the last result is reused.
// Inline, so that the walk pays no call when it is.
inline bool DecodeFrameHeader(const uint8_t H[FrameHeaderBytes], TFrameHeader& Frame) {
    if (H[0] != FrameSyncByte) return false;
    const uint32_t Key = (uint32_t(H[0]) << 24) | (uint32_t(H[1]) << 16) | (uint32_t(H[2]) << 8) | H[3];
    FrameHeaderCache::TLastHeader& Last = FrameHeaderCache::Last;
    if (Key == Last.Key) {
        Frame = Last.Frame;
        return true;
    }
    return FrameHeaderCache::DecodeAndKeep(H, Key, Frame);
}
