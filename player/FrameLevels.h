// The loudness of every audio frame of an MP3 file, frame by frame as the
// engine's walk finds them (through the player's frame index): each frame is
// decoded by libmpg123 on its own, so that the levels match the walk's frames
// one to one and carry the walk's time scale. The silence scan is built on it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "player/Mp3FrameIndex.h"

// What the decoder made of one frame: its RMS level over all samples of all
// channels and its largest sample (dB full scale, -inf for digital silence)
// and its samples per channel. A frame the decoder gave nothing for has
// Samples 0 and levels of +inf: a damaged stretch is no place to call quiet.
struct TFrameLevel {
    double LevelDb = 0.0;
    int64_t Samples = 0;
    double PeakDb = 0.0;
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

// Decodes stretches of Index's frames one after another with one decoder and
// one open file, each stretch as a decoder that starts afresh there would.
class TLevelDecoder {
public:
    TLevelDecoder(const std::string& FileName, const TMp3FrameIndex& Index);
    ~TLevelDecoder();
    TLevelDecoder(const TLevelDecoder&) = delete;
    TLevelDecoder& operator=(const TLevelDecoder&) = delete;

    // Feeds the frames [Feed, End) and shows Visit the levels of [First,
    // End); the frames before First only prepare the decoder. False when
    // Stop turned true. Errors as ScanFrameLevels raises them.
    bool Decode(size_t Feed, size_t First, size_t End, const TFrameLevelVisitor& Visit,
                const std::atomic<bool>* Stop = nullptr);
    // Where a decode must start so that the levels from First on are, bit
    // for bit, those of a decode of the whole file (what ScanFrameLevels does).
    static size_t ExactFeed(const TMp3FrameIndex& Index, size_t First);
    // A CRC-protected stream: a decoder that starts inside it decodes some
    // of its frames otherwise, for good, so Decode starts at its first
    // frame, and no frame of it decodes alone as in the whole.
    bool Protected();

    // The level of frame Number decoded with the least before it that its
    // samples depend on: the same samples as in a decode of the whole file
    // but for rounding (the synthesis filter's ring starts elsewhere), where
    // the frames before it are intact and of its kind. Fed, when given, is
    // told how many frames the decoder took.
    TFrameLevel DecodeAlone(size_t Number, size_t* Fed = nullptr);

private:
    size_t CarrierFor(const uint8_t* Lead);

    struct TState;
    std::unique_ptr<TState> F;
};
