// The loudness envelope of an MP3 file: its frames' levels gathered into
// buckets of equal time, estimated from the frames' own bytes
// (player/LevelEstimate.h) or decoded (player/FrameLevels.h).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "player/Mp3FrameIndex.h"

// The frames that start in [Index * BucketMs, (Index + 1) * BucketMs) on
// the engine's time scale.
struct TLevelBucket {
    size_t FirstFrame = 0, EndFrame = 0;
    double StartMs = 0.0;  // where its first frame starts
    double PeakDb = 0.0;   // the largest sample (dB full scale; -inf: no sound at all)
    double RmsDb = 0.0;    // RMS over all its samples
    bool Decoded = false;  // a frame of it was decoded: the estimate knew nothing of it, or Decode was asked
};

struct TEnvelopeOptions {
    double BucketMs = 1000.0;
    bool Decode = false;  // decode every frame instead of estimating
    int Threads = 2;
};

// The buckets that frames start in, in order (empty ones are left out).
// Frames the estimate knows nothing of are decoded; frames the decoder
// gives nothing for are left out of their bucket's levels. Stops early
// once Stop turns true (what is returned then is incomplete). Errors as
// ScanFrameLevels raises them.
std::vector<TLevelBucket> LevelEnvelope(const std::string& FileName, const TMp3FrameIndex& Index,
                                        const TEnvelopeOptions& Options, const std::atomic<bool>* Stop = nullptr);
