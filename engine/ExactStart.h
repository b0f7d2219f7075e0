// An exact start for a piece of a layer III stream. A frame's audio is not all
// in the frame: its main data may begin in the frames before it (the bit
// reservoir), and its first granule overlaps the last granule of the frame
// before. A piece that starts with a frame decodes that frame only roughly.
// Starting the piece a few frames earlier, and having gapless decoders drop
// the samples of those frames (the LAME tag's encoder delay), makes the piece
// decode as the whole stream does from its start frame on.
#pragma once

#include <array>
#include <cstdint>

#include "engine/FrameHeader.h"
#include "engine/FrameWalk.h"
#include "platform/MappedFile.h"

// The last audio frames a skip passed.
class TFrameTrail : public TSkipWatcher {
public:
    struct TTrailFrame {
        int64_t Offset = 0;
        int64_t Index = 0;  // among the audio frames the skip passed
        TFrameHeader Frame;
        bool Crc = false;  // a 16-bit CRC follows the header
    };

    void FramePassed(int64_t Offset, const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) override;
    // How many frames are kept, at most Capacity.
    int Size() const;
    // The frame Back frames before the last one passed (0: the last one).
    const TTrailFrame& Back(int Back) const;

    // More than any piece needs: a decoder drops at most 4095 samples ahead of
    // the start (the tag's 12 bits), 8 frames of 576 samples.
    static constexpr int Capacity = 16;

private:
    std::array<TTrailFrame, Capacity> FFrames{};
    int64_t FPassed = 0;
};

// The frames a piece holds in front of its start frame.
struct TPreroll {
    int Frames = 0;
    int64_t Offset = -1;          // where the first of them starts
    int64_t StartOffset = -1;     // where the start frame starts
    bool FromFirstFrame = false;  // the first of them is the stream's first audio frame
    int DelaySamples = 0;         // what gapless decoders must drop: their samples less the decoder's delay
};

// What a piece whose start frame is the next audio frame at Source's position
// must hold in front of it: the frames before it that must decode whole (for
// the overlap) and the frames that hold their main data and its own, as far
// as the tag's delay can reach. None for a stream that is not layer III, or at its first frame.
// Source's position is kept.
TPreroll FindPreroll(TMappedFile& Source, int64_t AudioEnd, const TFrameTrail& Trail);
