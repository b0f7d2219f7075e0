// What a cut of a stream of real frames must hold, worked out from an
// independent walk of the source's frames.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/FrameBuilder.h"

struct TExpectedCut {
    FrameBuilder::Bytes Data;  // the audio frames, back to back
    std::vector<FrameBuilder::TWalkedFrame> Taken;
    int Frames = 0;
    int FirstAudioFrame = -1;  // the first one's number among the source's audio frames
    bool EndsAtLast = false;   // the last one is the source's last audio frame
    bool MixedBitRates = false;
    int64_t Samples = 0;
    int64_t DurationMs = 0;
};

// The audio frames of W (a walk of Source) from the first one that starts at
// or after StartMs until their durations reach EndMs - StartMs.
TExpectedCut ExpectedCut(const FrameBuilder::Bytes& Source, const FrameBuilder::TWalk& W, int32_t StartMs,
                         int32_t EndMs);
