#include "player/Mp3FrameIndex.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/FrameWalk.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"

uint8_t TMp3FrameIndex::KindOf(uint16_t Samples, uint16_t SampleRate, bool Mono, double DurationMs) {
    for (size_t K = 0; K < FKinds.size(); ++K)
        if (FKinds[K].Samples == Samples && FKinds[K].SampleRate == SampleRate && FKinds[K].Mono == Mono)
            return static_cast<uint8_t>(K);
    FKinds.push_back({Samples, SampleRate, Mono, DurationMs});
    return static_cast<uint8_t>(FKinds.size() - 1);
}

TMp3FrameIndex TMp3FrameIndex::Build(TFileStream& Stream) {
    TMp3FrameIndex Index;
    TMp3DataInfo Layout;
    AnalyseLayout(Stream, Layout);
    if (!Layout.Valid) return Index;
    double Elapsed = 0.0;
    int64_t Next = -1;  // where a frame that follows the last one directly starts
    uint8_t LastKind = 0;
    uint32_t LastKey = 0;
    Index.FTotalMs = WalkAudioFrames(Stream, Layout, [&](int64_t Offset, const TFrameHeader& Frame) {
        const auto Samples = static_cast<uint16_t>(Frame.Samples);
        const auto Rate = static_cast<uint16_t>(Frame.SampleRate);
        const uint32_t Key = (uint32_t(Samples) << 17) | (uint32_t(Rate) << 1) | uint32_t(Frame.Mono);
        const uint8_t Kind = Key == LastKey ? LastKind : Index.KindOf(Samples, Rate, Frame.Mono, Frame.DurationMs);
        const size_t InBlock = Index.FCount % BlockFrames;
        auto Length = static_cast<uint16_t>(Frame.Length & LengthBits);
        if (InBlock == 0) {
            TBlock& Block = Index.FBlocks.emplace_back();
            Block.Offset = Offset;
            Block.StartMs = Elapsed;
            Block.FirstIrregular = static_cast<uint32_t>(Index.FIrregulars.size());
            Block.Kind = Kind;
        } else if (Offset != Next || Kind != LastKind) {
            Index.FIrregulars.push_back({Offset, Kind});
            Length |= Irregular;
        }
        Index.FBlocks.back().Lengths[InBlock] = Length;
        ++Index.FCount;
        Next = Offset + Frame.Length;
        LastKind = Kind;
        LastKey = Key;
        Elapsed += Frame.DurationMs;
    });
    Index.FIrregulars.shrink_to_fit();
    return Index;
}

TMp3FrameIndex TMp3FrameIndex::OfFile(const std::string& FileName) {
    TFileStream Source(FileName, TFileMode::fmOpenRead);
    TMp3DataInfo Layout;
    AnalyseLayout(Source, Layout);
    if (!Layout.Valid) throw std::runtime_error("\"" + FileName + "\" is not an MP3 file.");
    return Build(Source);
}

TMp3FrameIndex::TIterator::TIterator(const TMp3FrameIndex& Index, size_t Number) : FIndex(&Index), FNumber(Number) {
    if (FNumber >= Index.FCount) {
        FNumber = Index.FCount;
        return;
    }
    const size_t Target = FNumber;
    FNumber -= FNumber % BlockFrames;
    LoadBlock();
    while (FNumber < Target) ++*this;
}

void TMp3FrameIndex::TIterator::LoadBlock() {
    const TBlock& Block = FIndex->FBlocks[FNumber / BlockFrames];
    FIrregular = Block.FirstIrregular;
    FKind = Block.Kind;
    FFrame.Offset = Block.Offset;
    FFrame.StartMs = Block.StartMs;
    FFrame.Length = Block.Lengths[0] & LengthBits;
    const TKind& Kind = FIndex->FKinds[FKind];
    FFrame.Samples = Kind.Samples;
    FFrame.SampleRate = Kind.SampleRate;
    FFrame.Mono = Kind.Mono;
}

TMp3FrameIndex::TIterator& TMp3FrameIndex::TIterator::operator++() {
    if (FNumber >= FIndex->FCount) return *this;
    // The same additions, in the same order, as the walk that built the index.
    FFrame.StartMs += FIndex->FKinds[FKind].DurationMs;
    FFrame.Offset += FFrame.Length;
    if (++FNumber == FIndex->FCount) return *this;
    const size_t InBlock = FNumber % BlockFrames;
    if (InBlock == 0) {
        LoadBlock();
        return *this;
    }
    const uint16_t Entry = FIndex->FBlocks[FNumber / BlockFrames].Lengths[InBlock];
    FFrame.Length = Entry & LengthBits;
    if (Entry & Irregular) {
        const TIrregularFrame& Frame = FIndex->FIrregulars[FIrregular++];
        FFrame.Offset = Frame.Offset;
        if (Frame.Kind != FKind) {
            FKind = Frame.Kind;
            const TKind& Kind = FIndex->FKinds[FKind];
            FFrame.Samples = Kind.Samples;
            FFrame.SampleRate = Kind.SampleRate;
            FFrame.Mono = Kind.Mono;
        }
    }
    return *this;
}

int64_t TMp3FrameIndex::LengthMs() const { return static_cast<int64_t>(std::trunc(FTotalMs)); }

size_t TMp3FrameIndex::FirstFrameAtOrAfter(double Ms) const {
    // Start times rise with the index (durations are positive): the block
    // is found by bisection over the blocks' first frames, the frame by a
    // walk through that block; the values are the very sums the engine's
    // skip compares with.
    const auto Block =
        std::partition_point(FBlocks.begin(), FBlocks.end(), [Ms](const TBlock& B) { return B.StartMs < Ms; });
    const size_t After = static_cast<size_t>(Block - FBlocks.begin());
    if (After == 0) return 0;
    const size_t Last = std::min(After * BlockFrames, FCount);
    for (TIterator It = From((After - 1) * BlockFrames); It.Number() < Last; ++It)
        if (It->StartMs >= Ms) return It.Number();
    return Last;
}

size_t TMp3FrameIndex::MemoryBytes() const {
    return sizeof *this + FBlocks.size() * sizeof(TBlock) + FIrregulars.capacity() * sizeof(TIrregularFrame) +
           FKinds.capacity() * sizeof(TKind);
}
