// The loudness of every audio frame of an MP3 file, frame by frame as the
// engine's walk finds them (through the player's frame index): each frame is
// decoded by libmpg123 on its own, so that the levels match the walk's frames
// one to one and carry the walk's time scale. The silence scan is built on it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "player/Mp3FrameIndex.h"

// What the decoder made of one frame: its RMS level over all samples of all
// channels (dB full scale, -inf for digital silence) and its samples per
// channel. A frame the decoder gave nothing for has Samples 0 and a level of
// +inf: a damaged stretch is no place to call quiet.
struct TFrameLevel {
    double LevelDb = 0.0;
    int64_t Samples = 0;
};

// Told about each frame of the range in order: its number in the index, the
// frame as the index holds it, and its level.
using TFrameLevelVisitor = std::function<void(size_t Number, const TMp3IndexedFrame& Frame, const TFrameLevel& Level)>;

// Decodes the frames [First, End) of Index, made from FileName, and shows
// each one's level to Visit. A range that starts inside the file is decoded
// from a few frames before it (their levels are not shown), so that the bit
// reservoir and the filters hold what a decode of the whole file has there:
// the levels are those of such a decode, whatever the range. Stops early,
// without raising, once Stop turns true. File errors pass as the file layer
// raises them; libmpg123's own failures raise std::runtime_error.
void ScanFrameLevels(const std::string& FileName, const TMp3FrameIndex& Index, size_t First, size_t End,
                     const TFrameLevelVisitor& Visit, const std::atomic<bool>* Stop = nullptr);
