// An exact start for a piece of a layer III stream. A frame's audio is not all
// in the frame: its main data may begin in the frames before it (the bit
// reservoir), and its first granule overlaps the last granule of the frame
// before. A piece that starts with a frame decodes that frame only roughly.
// Starting the piece a few frames earlier, and having gapless decoders drop
// the samples of those frames (the LAME tag's encoder delay), makes the piece
// decode as the whole stream does from its start frame on.
//
// Decoders set limits of their own. A gapless decoder that skips ahead to the
// first sample it keeps decodes only the last four frames in front of it (it
// merely moves the reservoir along over the others, and does not count their
// main data as there); one frame before a granule that reaches back further
// than the reservoir it counts is decoded silent, and in a CRC-protected
// stream that clears two bytes of its main data, which the frames behind it
// may read. And the synthesis of some decoders rounds by where its window
// stands, which moves on with every frame decoded: the same number of frames
// in front of the start, modulo the window's cycle, as in the whole stream,
// keeps the rounding the same. So a start reaching back further than four
// frames, or in a CRC-protected stream, or out of step, begins with a frame
// made to carry the main data the frames behind it reach back for: silent,
// unprotected, as long as it needs to be.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/FrameHeader.h"
#include "engine/FrameWalk.h"
#include "platform/MappedFile.h"

// The last audio frames a walk passed.
class TFrameTrail : public TSkipWatcher {
public:
    struct TTrailFrame {
        int64_t Offset = 0;
        int64_t Index = 0;  // among the audio frames the walk passed
        TFrameHeader Frame;
        bool Crc = false;  // a 16-bit CRC follows the header
    };

    void FramePassed(int64_t Offset, const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) override;
    // How many frames are kept, at most Capacity.
    int Size() const;
    // The frame Back frames before the last one passed (0: the last one).
    const TTrailFrame& Back(int Back) const;
    // How many audio frames were passed in all.
    int64_t Passed() const { return FPassed; }
    void Clear() { FPassed = 0; }

    // Enough frames to hold the largest reservoir (511 bytes, 255 in MPEG 2
    // and 2.5) in the smallest frames, behind the frames a start keeps.
    static constexpr int Capacity = 32;

private:
    std::array<TTrailFrame, Capacity> FFrames{};
    int64_t FPassed = 0;
};

// The frames a piece holds in front of its start frame.
struct TPreroll {
    int Frames = 0;               // what a decoder decodes before the start frame, the carrier included
    int64_t Offset = -1;          // where the source's frames among them start (the start frame when none)
    int64_t StartOffset = -1;     // where the start frame starts
    bool FromFirstFrame = false;  // they are the stream's first audio frames
    int DelaySamples = 0;         // what gapless decoders must drop: their samples less the decoder's delay
    // The frame made to carry main data, first of them; empty when the
    // source's own frames hold all the start needs.
    std::vector<uint8_t> Carrier;
    int64_t Bytes = 0;  // of all of them, the carrier included
};

// What a piece whose start frame is the next audio frame at Source's
// position must hold in front of it, Trail being the frames the walk from the
// first frame passed up to there. None for a stream that is not layer III, or
// at its first frame. Source's position is kept.
TPreroll FindPreroll(TMappedFile& Source, int64_t AudioEnd, const TFrameTrail& Trail);
