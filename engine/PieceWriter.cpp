#include "engine/PieceWriter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The longest frame there is: MPEG 2.5 layer II at 160 kbit/s and 8 kHz, padded.
constexpr int LongestFrameBytes = 2881;

// Far below any frame's duration, far above the rounding of a sum of them.
constexpr double RoundingMs = 1e-6;

}  // namespace

void TTocSampler::Keep(double StartMs, uint64_t Offset) {
    if (FCount == Capacity) {
        for (size_t I = 0; I < Capacity / 2; ++I) FPoints[I] = FPoints[2 * I];
        FCount = Capacity / 2;
        FStep *= 2;
    }
    // A full record ends one Step short of a multiple of the doubled Step:
    // this frame (counted already) is kept when it is such a multiple.
    if (((FSeen - 1) & (FStep - 1)) == 0) FPoints[FCount++] = {StartMs, Offset};
}

std::array<uint8_t, TocEntries> TTocSampler::Toc(double TotalMs, uint64_t InfoBytes, uint64_t AudioBytes) const {
    std::array<uint8_t, TocEntries> Toc{};
    const double Whole = double(InfoBytes + AudioBytes);
    if (FCount == 0 || Whole <= 0) return Toc;
    const TPoint* Begin = FPoints.data();
    const TPoint* End = Begin + FCount;
    for (int I = 0; I < TocEntries; ++I) {
        // A frame that starts at the moment plays then, sums of durations
        // that differ in their last digits or not.
        const double Ms = TotalMs * I / TocEntries + RoundingMs;
        // The last point at or before the moment; the frame playing then lies
        // between it and the next one, where it is taken in proportion.
        const TPoint* Next = std::upper_bound(Begin, End, Ms, [](double M, const TPoint& P) { return M < P.Ms; });
        const TPoint* At = Next == Begin ? Begin : Next - 1;
        double Offset = double(At->Offset);
        if (FStep > 1) {
            const double NextMs = Next == End ? TotalMs : Next->Ms;
            const double NextOffset = double(Next == End ? AudioBytes : Next->Offset);
            if (NextMs > At->Ms)
                Offset += (NextOffset - Offset) * std::clamp((Ms - At->Ms) / (NextMs - At->Ms), 0.0, 1.0);
        }
        Toc[size_t(I)] =
            static_cast<uint8_t>(std::min(255.0, std::floor(256.0 * (double(InfoBytes) + Offset) / Whole)));
    }
    return Toc;
}

TInfoFrame ReadInfoFrameAt(TFileStream& Source, int64_t Offset, int64_t AudioEnd) {
    std::vector<uint8_t> Frame(size_t(std::clamp<int64_t>(AudioEnd - Offset, 0, LongestFrameBytes)));
    Source.SetPosition(Offset);
    const int64_t Got = Source.Read(Frame.data(), int64_t(Frame.size()));
    return ParseInfoFrame(Frame.data(), static_cast<int>(Got));
}

TPieceWriter::TPieceWriter(TFileStream& Target, const TInfoFrame& Source, bool Allowed)
    : FTarget(Target), FSource(Source), FAllowed(Allowed), FBase(Target.Position()) {}

void TPieceWriter::FrameAhead(const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) {
    if (FFrames == 0) {
        FFirstBitRate = Frame.BitRate;
        FLaidOut = FAllowed && LayoutInfoFrame(Header, FLayout);
        if (FSource.Marker != TInfoMarker::None || FRequired) Reserve();
    } else if (!FMixed && Frame.BitRate != FFirstBitRate) {
        FMixed = true;
        MakeRoom();
    }
    FToc.Frame(FMs, FAudioBytes);
    if (FFader) FFader->Frame(FAudioBytes, Frame);
    ++FFrames;
    FAudioBytes += uint64_t(Frame.Length);
    FMs += Frame.DurationMs;
}

void TPieceWriter::Seen(const char* Data, int64_t Count) {
    if (FAllowed) FCrc.Add(reinterpret_cast<const uint8_t*>(Data), size_t(Count));
}

void TPieceWriter::WriteMadeFrame(const std::vector<uint8_t>& Frame) {
    TFrameHeader Header;
    if (Frame.size() < size_t(FrameHeaderBytes) || !DecodeFrameHeader(Frame.data(), Header)) return;
    FrameAhead(Header, Frame.data());
    FTarget.WriteBuffer(Frame.data(), int64_t(Frame.size()));
    Seen(reinterpret_cast<const char*>(Frame.data()), int64_t(Frame.size()));
}

void TPieceWriter::Reserve() {
    if (!FLaidOut || FReserved) return;
    FTarget.SetPosition(FBase + FLayout.Length);
    FReserved = true;
}

// A source without an information frame gets one in its piece only when the
// piece turns out to change its bit rate, mostly within its first frames:
// what was written so far moves up to make room. The frames announced and
// not yet written follow at the target's position.
void TPieceWriter::MakeRoom() {
    if (!FLaidOut || FReserved) return;
    const int64_t Written = FTarget.Position() - FBase;
    std::vector<char> Chunk(size_t(std::min<int64_t>(Written, 1 << 20)));
    for (int64_t Left = Written; Left > 0;) {
        const int64_t N = std::min<int64_t>(Left, int64_t(Chunk.size()));
        Left -= N;
        FTarget.SetPosition(FBase + Left);
        FTarget.ReadBuffer(Chunk.data(), N);
        FTarget.SetPosition(FBase + FLayout.Length + Left);
        FTarget.WriteBuffer(Chunk.data(), N);
    }
    FTarget.SetPosition(FBase + FLayout.Length + Written);
    FReserved = true;
}

bool TPieceWriter::Finish(int Delay, int Padding) {
    const int64_t End = FTarget.Position();
    // The music CRC was counted over the frames as they were copied.
    TCrc16Changes Faded;
    if (FFader && !FFader->Apply(FTarget, FBase + InformationBytes(), Faded)) return false;
    FTarget.SetPosition(End);
    if (!FReserved) return true;
    TPieceFacts Piece;
    Piece.Frames = FFrames;
    Piece.AudioBytes = FAudioBytes;
    Piece.Vbr = FMixed;
    Piece.Toc = FToc.Toc(FMs, uint64_t(FLayout.Length), FAudioBytes);
    Piece.MusicCrc = FCrc.Value() ^ Faded.Value(FAudioBytes);
    Piece.Delay = Delay;
    Piece.Padding = Padding;
    const std::vector<uint8_t> Frame = BuildInfoFrame(FLayout, FSource, Piece);
    FTarget.SetPosition(FBase);
    FTarget.WriteBuffer(Frame.data(), int64_t(Frame.size()));
    FTarget.SetPosition(End);
    return true;
}
