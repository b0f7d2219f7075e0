// The loudness of every audio frame of an MP3 file without decoding it: an
// estimate from what each frame says of its values (engine/FrameEnergy.h),
// and a ceiling the decoded level never exceeds. Frame by frame as the
// engine's walk finds them (through the player's frame index), like the
// decoded levels of player/FrameLevels.h, in a fraction of their time: a
// loudness envelope of a long recording, and the frames a silence search
// need not decode.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "player/Mp3FrameIndex.h"

// One frame's levels in dB full scale, as ScanFrameLevels measures them
// (RMS over all samples of all channels) and the largest sample.
struct TLevelEstimate {
    double PeakDb = 0.0;  // likely largest sample
    double RmsDb = 0.0;   // likely RMS level
    // The RMS level a decode of the whole file gives this frame is at most
    // this: a frame is certainly quiet when its ceiling is below the
    // threshold. +inf where nothing is certain.
    double CeilingDb = 0.0;
    // False when the frame says nothing usable of itself (damaged, or a
    // layer this does not read): decode it. Its levels are +inf then.
    bool Known = false;
};

using TLevelEstimateVisitor =
    std::function<void(size_t Number, const TMp3IndexedFrame& Frame, const TLevelEstimate& Estimate)>;

// Estimates the frames [First, End) of Index, made from FileName, and shows
// each one to Visit, in order. The frames just before First are read too
// (not shown), for what carries over from them. Callable from any thread;
// memory does not grow with the range. Stops early, without raising, once
// Stop turns true. File errors pass as the file layer raises them.
void EstimateFrameLevels(const std::string& FileName, const TMp3FrameIndex& Index, size_t First, size_t End,
                         const TLevelEstimateVisitor& Visit, const std::atomic<bool>* Stop = nullptr);
