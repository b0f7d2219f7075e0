// MPEG audio frame headers: the code tables, the decoded header, and the rules
// every frame is measured with (length in bytes, duration in milliseconds).
#pragma once

#include <cstddef>
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
    bool FreeFormat = false;  // bit-rate index 0: Length and BitRate come from the stream
};

// Free-format frames (bit-rate index 0) are as long as the distance to the
// next frame of their stream, fixed but for the padding: no header tells it.
// The walk measures them; none is longer than this.
constexpr int32_t MaxFreeFormatBytes = 4095;

// All eleven sync bits set.
inline bool HasFullSync(const uint8_t H[FrameHeaderBytes]) { return H[0] == FrameSyncByte && (H[1] & 0xE0) == 0xE0; }
// Two headers of one stream: the same version, layer and sample rate.
inline bool SameStream(const uint8_t A[FrameHeaderBytes], const uint8_t B[FrameHeaderBytes]) {
    return HasFullSync(A) && HasFullSync(B) && ((A[1] ^ B[1]) & 0x1E) == 0 && ((A[2] ^ B[2]) & 0x0C) == 0;
}
// The bytes the padding bit adds: a slot, four bytes in layer I.
inline int32_t PaddingSlotBytes(int32_t Layer) { return Layer == 1 ? 4 : 1; }

// Decodes a free-format header with all sync bits: every field but BitRate
// and Length, which SetFreeFormatLength fills in. False for anything else.
bool DecodeFreeFormatHeader(const uint8_t H[FrameHeaderBytes], TFrameHeader& Frame);
// Gives a free-format frame the length of its stream's frames without
// padding (Unpadded bytes) and the bit rate that length stands for.
void SetFreeFormatLength(TFrameHeader& Frame, int32_t Unpadded);

namespace FrameHeaderCache {
// Headers decoded on this thread (the sync byte makes a valid key non-zero)
// and what they decoded to, by the bits of the third header byte that tell
// the bit rate, the sample rate and the padding: a variable-rate stream
// keeps coming back to the same few headers.
struct TKnownHeader {
    uint32_t Key = 0;
    TFrameHeader Frame;
};
inline thread_local TKnownHeader Known[128];
inline size_t Slot(const uint8_t H[FrameHeaderBytes]) { return H[2] >> 1; }
// The bits of H that decide what it decodes to: not the CRC flag, not the
// channel mode extension (which joint stereo changes from frame to frame),
// not the flags for copies and emphasis.
inline uint32_t KeyOf(const uint8_t H[FrameHeaderBytes]) {
    return (uint32_t(H[0]) << 24) | (uint32_t(H[1] & 0xFE) << 16) | (uint32_t(H[2]) << 8) | (H[3] & 0xC0);
}
// Decodes H (whose first byte is the sync byte) without looking at Known,
// and keeps a valid result there under Key.
bool DecodeAndKeep(const uint8_t H[FrameHeaderBytes], uint32_t Key, TFrameHeader& Frame);
}  // namespace FrameHeaderCache

// Decodes H0..H3. False when H0 is not the sync byte or a code has no table
// entry (reserved version or layer, free-format or bad bit rate, reserved
// sample rate): such bytes are no frame.
//
// The walk over a long file decodes every frame's header, and nearly every
// one was decoded before: the result is reused. Inline, so that the walk
// pays no call when it is.
inline bool DecodeFrameHeader(const uint8_t H[FrameHeaderBytes], TFrameHeader& Frame) {
    if (H[0] != FrameSyncByte) return false;
    const uint32_t Key = FrameHeaderCache::KeyOf(H);
    const FrameHeaderCache::TKnownHeader& Known = FrameHeaderCache::Known[FrameHeaderCache::Slot(H)];
    if (Key == Known.Key) {
        Frame = Known.Frame;
        return true;
    }
    return FrameHeaderCache::DecodeAndKeep(H, Key, Frame);
}
