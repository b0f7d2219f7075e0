// The media player's frame index: the audio frames of an MP3 file as the
// engine's frame walk finds them, with their start times summed as the engine
// sums them, so that the player's time scale is the engine's (the length the
// engine measures, the frame a cut from a time starts with).
//
// Kept compact, so that a 10-hour audiobook opens with a few MB: frames are
// held in blocks of 64, each block with the offset and start time of its first
// frame and a 16-bit length for every frame. The frames after the first are
// found by adding lengths and durations, exactly as the walk added them; the
// rare frame that does not follow its predecessor directly (stray bytes or a
// tag between them) or changes the kind of frame is marked, and its offset
// and kind are kept on a side list. About 2.4 bytes a frame: 330 kB for an
// hour at 44.1 kHz.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <string>
#include <vector>

class TFileStream;

// One frame of the index, as its readers see it.
struct TMp3IndexedFrame {
    int64_t Offset = 0;    // file offset of the header
    double StartMs = 0.0;  // summed durations of the frames before it
    uint16_t Length = 0;   // bytes (at most 2881 by the tables)
    uint16_t Samples = 0;  // per channel: 384, 576 or 1152
    uint16_t SampleRate = 0;
    bool Mono = false;
};

class TMp3FrameIndex {
public:
    // Walks the whole file. Never raises for odd content; the stream's own
    // errors (a file that fails or shrinks while it is read) pass.
    static TMp3FrameIndex Build(TFileStream& Stream);
    // The index of a file that must be MP3: std::runtime_error naming it
    // when the engine's analysis finds it is not; the file layer's errors pass.
    static TMp3FrameIndex OfFile(const std::string& FileName);

    // Steps through the frames in order, each step a few additions.
    class TIterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = TMp3IndexedFrame;
        using difference_type = std::ptrdiff_t;
        using pointer = const TMp3IndexedFrame*;
        using reference = const TMp3IndexedFrame&;

        const TMp3IndexedFrame& operator*() const { return FFrame; }
        const TMp3IndexedFrame* operator->() const { return &FFrame; }
        TIterator& operator++();
        bool operator==(const TIterator& Other) const { return FNumber == Other.FNumber; }
        size_t Number() const { return FNumber; }

    private:
        friend class TMp3FrameIndex;
        TIterator(const TMp3FrameIndex& Index, size_t Number);
        void LoadBlock();

        const TMp3FrameIndex* FIndex;
        size_t FNumber;
        size_t FIrregular = 0;  // the next entry of the side list
        uint8_t FKind = 0;
        TMp3IndexedFrame FFrame;
    };

    // The frames as a sequence: indexable (a short walk from the block's
    // start) and iterable in order.
    class TFrames {
    public:
        explicit TFrames(const TMp3FrameIndex& Index) : FIndex(Index) {}
        size_t size() const { return FIndex.Count(); }
        bool empty() const { return size() == 0; }
        TMp3IndexedFrame operator[](size_t I) const { return *FIndex.From(I); }
        TMp3IndexedFrame front() const { return (*this)[0]; }
        TMp3IndexedFrame back() const { return (*this)[size() - 1]; }
        TIterator begin() const { return FIndex.From(0); }
        TIterator end() const { return FIndex.From(size()); }

    private:
        const TMp3FrameIndex& FIndex;
    };

    TFrames Frames() const { return TFrames(*this); }
    // An iterator on frame I (the end for I >= Count()).
    TIterator From(size_t I) const { return TIterator(*this, I); }
    size_t Count() const { return FCount; }
    // Summed duration of all frames, as the engine sums it.
    double TotalMs() const { return FTotalMs; }
    // Trunc(TotalMs): the engine's LengthMs.
    int64_t LengthMs() const;
    // The first frame whose start is at or after Ms (what a cut from Ms starts
    // with); Count() when there is none.
    size_t FirstFrameAtOrAfter(double Ms) const;
    // The start time of frame I; TotalMs() for I == Count().
    double StartOf(size_t I) const { return I < FCount ? From(I)->StartMs : FTotalMs; }
    // The bytes the index holds, for measurements.
    size_t MemoryBytes() const;

private:
    static constexpr size_t BlockFrames = 64;
    static constexpr uint16_t LengthBits = 0x0FFF;
    static constexpr uint16_t Irregular = 0x8000;  // offset and kind are on the side list

    struct TKind {
        uint16_t Samples = 0;
        uint16_t SampleRate = 0;
        bool Mono = false;
        double DurationMs = 0.0;
    };
    struct TBlock {
        int64_t Offset = 0;    // of its first frame
        double StartMs = 0.0;  // of its first frame
        uint32_t FirstIrregular = 0;
        uint8_t Kind = 0;  // of its first frame
        uint16_t Lengths[BlockFrames] = {};
    };
    struct TIrregularFrame {
        int64_t Offset = 0;
        uint8_t Kind = 0;
    };

    uint8_t KindOf(uint16_t Samples, uint16_t SampleRate, bool Mono, double DurationMs);

    std::vector<TKind> FKinds;   // at most 3 x 9 x 2
    std::deque<TBlock> FBlocks;  // grows without copying what it holds
    std::vector<TIrregularFrame> FIrregulars;
    size_t FCount = 0;
    double FTotalMs = 0.0;
};
