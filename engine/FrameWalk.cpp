#include "engine/FrameWalk.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/InfoFrame.h"
#include "engine/Tags.h"

namespace {

// The walks run over a file stream (the analysis, the player's index) or
// over a map of the file (a save): both read alike.

// Reads the head of a frame from the stream's position; unread bytes stay
// zero. Leaves the stream just after what was read and returns how much that was.
template <class TSource>
int64_t ReadFrameHead(TSource& Stream, uint8_t Head[InfoHeadBytes]) {
    const int64_t Got = Stream.Read(Head, InfoHeadBytes);
    if (Got < InfoHeadBytes) std::memset(Head + Got, 0, size_t(InfoHeadBytes - Got));
    return Got;
}

// Reads Count bytes at At into Buffer, zeros beyond what the stream holds.
// Leaves the stream wherever the read ended; returns how much was read.
template <class TSource>
int64_t ReadAt(TSource& Stream, int64_t At, uint8_t* Buffer, int64_t Count) {
    Stream.SetPosition(At);
    const int64_t Got = std::max<int64_t>(Stream.Read(Buffer, Count), 0);
    if (Got < Count) std::memset(Buffer + Got, 0, size_t(Count - Got));
    return Got;
}

// What may follow a frame of the stream whose header is H, at Next: the
// next header of that stream (free format again after free format), an
// ID3v2 tag, or the end of the audio.
template <class TSource>
bool FollowedWell(TSource& Stream, int64_t Next, const uint8_t H[FrameHeaderBytes], int64_t AudioEnd) {
    if (Next > AudioEnd) return false;
    if (AudioEnd - Next < FrameHeaderBytes) return true;
    uint8_t N[FrameHeaderBytes];
    ReadAt(Stream, Next, N, FrameHeaderBytes);
    if (BytesAre(N, Id3v2Marker)) return true;
    TFrameHeader Frame;
    if (!SameStream(H, N)) return false;
    return (H[2] >> 4) == 0 ? DecodeFreeFormatHeader(N, Frame) : DecodeFrameHeader(N, Frame);
}

// Measures the free-format frame whose header (decoded into Frame) is H at
// At: its stream's frames are as long as the distance to the next header of
// the stream, confirmed by the one after that (or the end of the audio).
// Only the bytes from At on decide, so that every walk over the file, and
// over a piece cut out of it, measures alike wherever it began. A frame
// followed by stray bytes has no such successor, and is no frame.
template <class TSource>
bool MeasureFreeFormat(TSource& Stream, int64_t At, const uint8_t H[FrameHeaderBytes], int64_t AudioEnd,
                       TFrameHeader& Frame) {
    const int32_t Pad = Frame.Padding * PaddingSlotBytes(Frame.Layer);
    uint8_t Ahead[MaxFreeFormatBytes + FrameHeaderBytes];
    TFrameHeader Other;
    const int64_t Got = ReadAt(Stream, At, Ahead, std::min<int64_t>(sizeof Ahead, std::max<int64_t>(AudioEnd - At, 0)));
    // No free-format frame is shorter than one at the table's lowest rate.
    const int32_t MinUnpadded = static_cast<int32_t>(
        Frame.Samples / 8 * BitRates[Frame.Version == 1.0 ? 0 : 1][Frame.Layer - 1][0] * 1000 / Frame.SampleRate);
    // Alone: no other frame of the stream in the rest of the audio, and no
    // frame of another that its successor confirms.
    bool Alone = true;
    for (int64_t Q = FrameHeaderBytes + 1; Q + FrameHeaderBytes <= Got; ++Q) {
        const uint8_t* C = Ahead + Q;
        if (C[0] != FrameSyncByte || !HasFullSync(C)) continue;
        if (Alone && DecodeFrameHeader(C, Other)) Alone = !FollowedWell(Stream, At + Q + Other.Length, C, AudioEnd);
        if (!SameStream(H, C) || !DecodeFreeFormatHeader(C, Other)) continue;
        Alone = false;
        if (Q < MinUnpadded + Pad) continue;
        const auto Unpadded = static_cast<int32_t>(Q - Pad);
        const int64_t After = At + Q + Unpadded + Other.Padding * PaddingSlotBytes(Other.Layer);
        if (!FollowedWell(Stream, After, C, AudioEnd)) continue;
        SetFreeFormatLength(Frame, Unpadded);
        return true;
    }
    // A frame alone in what is left of the audio fills it: the last frame of
    // a stream, or of a piece cut out of it.
    const int64_t Unpadded = AudioEnd - At - Pad;
    if (!Alone || AudioEnd - At > MaxFreeFormatBytes || Unpadded < MinUnpadded) return false;
    SetFreeFormatLength(Frame, static_cast<int32_t>(Unpadded));
    return true;
}

// A frame at At, whose header H decodes, that the walk may take up again
// after stray bytes: all sync bits, and followed well at its length.
template <class TSource>
bool ConfirmedFrame(TSource& Stream, int64_t At, const uint8_t H[FrameHeaderBytes], int64_t AudioEnd) {
    TFrameHeader Frame;
    if (!HasFullSync(H)) return false;
    if (DecodeFrameHeader(H, Frame)) return FollowedWell(Stream, At + Frame.Length, H, AudioEnd);
    return DecodeFreeFormatHeader(H, Frame) && MeasureFreeFormat(Stream, At, H, AudioEnd, Frame);
}

// An ID3v2 header: the marker, versions below 0xFF, a syncsafe size.
bool LooksLikeId3v2(const uint8_t* P) {
    return BytesAre(P, Id3v2Marker) && P[3] != 0xFF && P[4] != 0xFF && ((P[6] | P[7] | P[8] | P[9]) & 0x80) == 0;
}

// Where the walk goes on after bytes that begin no frame at From - 1: the
// next confirmed frame or ID3v2 tag, searched byte by byte (stray bytes come
// in any number); the end of the audio when there is none.
template <class TSource>
int64_t Resync(TSource& Stream, int64_t From, int64_t AudioEnd, int64_t SearchEnd) {
    const int64_t End = std::min({AudioEnd, Stream.Size(), SearchEnd});
    constexpr int64_t ChunkBytes = 4096;
    uint8_t Chunk[ChunkBytes];
    for (int64_t At = From; At + FrameHeaderBytes <= End;) {
        const int64_t Got = ReadAt(Stream, At, Chunk, std::min(ChunkBytes, End - At));
        // Candidates whose header lies whole in the chunk; an ID3v2 header
        // cut off by its end is looked at again from the next chunk.
        const int64_t Last = Got - FrameHeaderBytes;
        for (int64_t I = 0; I <= Last; ++I) {
            const uint8_t* C = Chunk + I;
            if (C[0] == FrameSyncByte ? ConfirmedFrame(Stream, At + I, C, AudioEnd)
                                      : I + Id3v2HeaderBytes <= Got && LooksLikeId3v2(C))
                return At + I;
        }
        At += std::max<int64_t>(Last + 1 - (Id3v2HeaderBytes - FrameHeaderBytes), 1);
    }
    return End;
}

// The step shared by the copy, the skip and the length walk. Leaves Stream at
// the start of what follows and tells the caller what was found.
enum class TStep { Frame, Information, Other };

// SearchEnd bounds the search for a frame behind stray bytes (the walk goes
// on from there when none is found before it).
template <class TSource>
TStep StepOver(TSource& Stream, int64_t AudioEnd, TFrameHeader& Frame, uint8_t Head[InfoHeadBytes],
               int64_t SearchEnd = INT64_MAX) {
    const int64_t Start = Stream.Position();
    const int64_t Got = ReadFrameHead(Stream, Head);
    if (Got >= FrameHeaderBytes &&
        (DecodeFrameHeader(Head, Frame) ||
         (DecodeFreeFormatHeader(Head, Frame) && MeasureFreeFormat(Stream, Start, Head, AudioEnd, Frame)))) {
        if (Start + Frame.Length > AudioEnd) {
            // A frame cut short by the end of the audio is not taken, and
            // nothing behind it is audio: leave the stream at its end.
            Stream.Seek(0, TSeekOrigin::soEnd);
            return TStep::Other;
        }
        Stream.SetPosition(Start + Frame.Length);
        return IsInformationFrame(Frame, Head) ? TStep::Information : TStep::Frame;
    }
    if (Got < FrameHeaderBytes) {
        // Nothing is left to step over: the walk ends here, at once.
        Stream.Seek(0, TSeekOrigin::soEnd);
        return TStep::Other;
    }
    if (Got >= Id3v2HeaderBytes && BytesAre(Head, Id3v2Marker)) {
        Stream.SetPosition(Start + Id3v2TagBytes(Head));
        return TStep::Other;
    }
    // Bytes that begin no frame are dropped up to the next frame the search
    // confirms: stray bytes in any number leave the frames behind them whole.
    Stream.SetPosition(Resync(Stream, Start + 1, AudioEnd, SearchEnd));
    return TStep::Other;
}

// The step over a map. Mostly the head of a frame lies in the loaded bytes:
// it is looked at where it lies. Anything else takes the general step. Head
// points at the step's first bytes either way.
TStep StepOverMap(TMappedFile& Source, int64_t AudioEnd, TFrameHeader& Frame, uint8_t Buffer[InfoHeadBytes],
                  const uint8_t*& Head, int64_t SearchEnd = INT64_MAX) {
    const int64_t Start = Source.Position();
    if (const auto* Here = reinterpret_cast<const uint8_t*>(Source.Peek(InfoHeadBytes))) {
        if (DecodeFrameHeader(Here, Frame) && Start + Frame.Length <= AudioEnd) {
            Head = Here;
            Source.SetPosition(Start + Frame.Length);
            return IsInformationFrame(Frame, Here) ? TStep::Information : TStep::Frame;
        }
    }
    Head = Buffer;
    return StepOver(Source, AudioEnd, Frame, Buffer, SearchEnd);
}

// Frame length and duration of a step: an audio frame counts, anything else is 0.
void Measure(TStep Step, const TFrameHeader& Frame, int32_t& FrameBytes, double& FrameMs) {
    const bool Audio = Step == TStep::Frame;
    FrameBytes = Audio ? Frame.Length : 0;
    FrameMs = Audio ? Frame.DurationMs : 0.0;
}

// One step of a copy; the loops of the copy run it inline.
inline int64_t CopyStep(TFileStream& Source, TFileStream* Target, int64_t AudioEnd, int32_t& FrameBytes,
                        double& FrameMs, TCopyWatcher* Watcher) {
    const int64_t Start = Source.Position();
    TFrameHeader Frame;
    uint8_t Head[InfoHeadBytes];
    Measure(StepOver(Source, AudioEnd, Frame, Head), Frame, FrameBytes, FrameMs);
    if (FrameBytes > 0 && Target) {
        if (Watcher) Watcher->FrameAhead(Frame, Head);
        const int64_t After = Source.Position();
        Source.SetPosition(Start);
        Target->CopyFrom(Source, FrameBytes, Watcher);
        Source.SetPosition(After);
    }
    return Source.Position();
}

}  // namespace

bool MeasureFreeFormatFrame(TFileStream& Stream, int64_t At, const uint8_t H[FrameHeaderBytes], int64_t AudioEnd,
                            TFrameHeader& Frame) {
    return DecodeFreeFormatHeader(H, Frame) && MeasureFreeFormat(Stream, At, H, AudioEnd, Frame);
}

int64_t SkipZeroBytes(TFileStream& Stream, int64_t& Count) {
    const int64_t Start = Stream.Position();
    const int64_t End = Stream.Size();
    int64_t At = Start;
    int64_t Result = -1;
    uint8_t Chunk[16384];
    while (At < End) {
        // A hole of a sparse file holds only zero bytes: step over it unread.
        At = std::min(Stream.DataFrom(At), End);
        if (At >= End) break;
        Stream.SetPosition(At);
        const int64_t Got = Stream.Read(Chunk, std::min<int64_t>(sizeof Chunk, End - At));
        if (Got <= 0) break;
        int64_t I = 0;
        // Eight bytes at a time while they are all zero.
        for (uint64_t Word = 0; I + 8 <= Got; I += 8) {
            std::memcpy(&Word, Chunk + I, 8);
            if (Word != 0) break;
        }
        while (I < Got && Chunk[I] == 0) ++I;
        if (I < Got) {
            Result = At + I;
            // The stream is left just after the non-zero byte, as a byte-wise scan would.
            Stream.SetPosition(Result + 1);
            break;
        }
        At += Got;
    }
    Count = (Result >= 0 ? Result : At) - Start;
    return Result;
}

int64_t CopyFrame(TFileStream& Source, TFileStream* Target, int64_t AudioEnd, int32_t& FrameBytes, double& FrameMs,
                  TCopyWatcher* Watcher) {
    return CopyStep(Source, Target, AudioEnd, FrameBytes, FrameMs, Watcher);
}

int64_t SkipFrame(TFileStream& Stream, int32_t& FrameBytes, double& FrameMs) {
    TFrameHeader Frame;
    uint8_t Head[InfoHeadBytes];
    Measure(StepOver(Stream, Stream.Size(), Frame, Head), Frame, FrameBytes, FrameMs);
    return Stream.Position();
}

TStepRun SkipAudio(TMappedFile& Stream, int64_t TargetMs, TSkipWatcher* Watcher, const TStepRun& From) {
    int64_t Position = From.Position, Bytes = From.Bytes;
    double Elapsed = From.Ms;
    TFrameHeader Frame;
    uint8_t Buffer[InfoHeadBytes];
    const uint8_t* Head = Buffer;
    while (Stream.Position() < Stream.Size() - FrameHeaderBytes && double(TargetMs) > Elapsed) {
        const int64_t Start = Stream.Position();
        const TStep Step = StepOverMap(Stream, Stream.Size(), Frame, Buffer, Head);
        Position = Stream.Position();
        if (Step != TStep::Frame) continue;
        if (Watcher) Watcher->FramePassed(Start, Frame, Head);
        Bytes += Frame.Length;
        Elapsed += Frame.DurationMs;
    }
    return {Position, Bytes, Elapsed};
}

namespace {

// The frames a copy takes, gathered into runs of adjacent bytes (nearly
// always the whole piece), so that the target is written in large pieces
// straight from the map. The watcher is shown the bytes a little at a time,
// just behind the walk, while the processor still has them at hand. Without
// a target nothing is written or shown.
class TRunCopy {
public:
    TRunCopy(TMappedFile& Source, TFileStream* Target, TCopyWatcher* Watcher)
        : FSource(Source), FTarget(Target), FWatcher(Watcher) {}
    void Take(int64_t At, int64_t Count) {
        // A frame the file no longer holds (it was shortened after it was
        // analysed) fails the copy at once.
        if (At + Count > FSource.Size()) throw EReadError();
        if (At != FTo || FTo + Count - FFrom > FRunLimit) {
            Flush();
            FFrom = FShownTo = FTo = At;
        }
        FTo += Count;
        if (FTo - FShownTo >= ShowStep) Show();
    }
    void Flush() {
        Show();
        if (FTarget) FSource.CopyTo(*FTarget, FFrom, FTo - FFrom);
        FFrom = FTo;
        FRunLimit = std::min(2 * FRunLimit, TMappedFile::CopyPiece);
    }

private:
    void Show() {
        if (FWatcher && FTarget) FSource.Show(FShownTo, FTo - FShownTo, *FWatcher);
        FShownTo = FTo;
    }
    static constexpr int64_t ShowStep = 16 * 1024;

    TMappedFile& FSource;
    TFileStream* FTarget;
    TCopyWatcher* FWatcher;
    int64_t FFrom = 0, FTo = 0, FShownTo = 0;
    // The first run is short, so that the writing starts early (a piece is
    // written no sooner than its first run is walked); the runs grow from
    // there to the size that writes best.
    int64_t FRunLimit = TMappedFile::Window;
};

// Copies steps while More(position, elapsed ms) says so. Walk, when given,
// goes on with every step, as the walk from the first frame would.
template <class TMore>
TStepRun CopySteps(TMappedFile& Source, TFileStream* Target, int64_t AudioEnd, TCopyWatcher* Watcher, TMore More,
                   TStepRun* Walk = nullptr, TSkipWatcher* Passed = nullptr) {
    int64_t Position = 0, Bytes = 0;
    double Elapsed = 0.0;
    TFrameHeader Frame;
    uint8_t Buffer[InfoHeadBytes];
    const uint8_t* Head = Buffer;
    TRunCopy Run(Source, Target, Watcher);
    while (Source.Position() < std::min(AudioEnd - FrameHeaderBytes, Source.Size()) &&
           More(Source.Position(), Elapsed)) {
        const int64_t Start = Source.Position();
        const TStep Step = StepOverMap(Source, AudioEnd, Frame, Buffer, Head);
        Position = Source.Position();
        if (Walk) Walk->Position = Position;
        if (Step != TStep::Frame) continue;
        if (Watcher) Watcher->FrameAhead(Frame, Head);
        if (Passed) Passed->FramePassed(Start, Frame, Head);
        Run.Take(Start, Frame.Length);
        Bytes += Frame.Length;
        Elapsed += Frame.DurationMs;
        if (Walk) {
            Walk->Bytes += Frame.Length;
            Walk->Ms += Frame.DurationMs;
        }
    }
    // The audio the analysis found runs on beyond the end of the file: it has
    // been shortened since, and what is left is not the file analysed.
    if (Source.Position() >= Source.Size() && Source.Size() < AudioEnd - FrameHeaderBytes &&
        More(Source.Position(), Elapsed))
        throw EReadError();
    Run.Flush();
    return {Position, Bytes, Elapsed};
}

}  // namespace

TStepRun CopyAudio(TMappedFile& Source, TFileStream& Target, int64_t AudioEnd, int32_t SpanMs, TCopyWatcher* Watcher) {
    return CopySteps(Source, &Target, AudioEnd, Watcher,
                     [&](int64_t, double Elapsed) { return double(SpanMs) > Elapsed; });
}

TStepRun MeasureAudio(TMappedFile& Source, int64_t AudioEnd, int32_t SpanMs) {
    return CopySteps(Source, nullptr, AudioEnd, nullptr,
                     [&](int64_t, double Elapsed) { return double(SpanMs) > Elapsed; });
}

TStepRun CopyAudioUntil(TMappedFile& Source, TFileStream* Target, int64_t AudioEnd, TStepRun& Walk, int64_t EndMs,
                        TCopyWatcher* Watcher, TSkipWatcher* Passed) {
    // The test is SkipAudio's, on the same sum, so that a piece ends on the
    // very step at which a skip to its end would stop.
    return CopySteps(
        Source, Target, AudioEnd, Watcher, [&](int64_t, double) { return double(EndMs) > Walk.Ms; }, &Walk, Passed);
}

TStepRun CopyAudioUpTo(TMappedFile& Source, TFileStream& Target, int64_t AudioEnd, int64_t StopAt,
                       TCopyWatcher* Watcher) {
    return CopySteps(Source, &Target, AudioEnd, Watcher, [&](int64_t Position, double) { return Position < StopAt; });
}

int64_t NextAudioFrame(TMappedFile& Stream, int64_t AudioEnd, TFrameHeader& Frame, uint8_t Header[FrameHeaderBytes],
                       int64_t LookAhead) {
    const int64_t Was = Stream.Position();
    const int64_t Until = Was + LookAhead;
    int64_t Found = NoMoreAudio;
    uint8_t Buffer[InfoHeadBytes];
    const uint8_t* Head = Buffer;
    while (Found == NoMoreAudio && Stream.Position() < std::min(AudioEnd - FrameHeaderBytes, Stream.Size())) {
        const int64_t Start = Stream.Position();
        if (Start >= Until) {
            Found = NotSeen;
        } else if (StepOverMap(Stream, AudioEnd, Frame, Buffer, Head, Until) == TStep::Frame) {
            Found = Start;
            std::copy(Head, Head + FrameHeaderBytes, Header);
        }
    }
    Stream.SetPosition(Was);
    return Found;
}

double WalkAudioFrames(TFileStream& Source, const TMp3DataInfo& Info, const TFrameVisitor& Visit) {
    const int64_t AudioEnd = Info.AudioEnd();
    double Elapsed = 0.0;
    Source.SetPosition(Info.FirstFrameOffset());
    while (Source.Position() < AudioEnd - FrameHeaderBytes) {
        const int64_t Start = Source.Position();
        TFrameHeader Frame;
        uint8_t Head[InfoHeadBytes];
        if (StepOver(Source, AudioEnd, Frame, Head) != TStep::Frame) continue;
        if (Visit) Visit(Start, Frame);
        Elapsed += Frame.DurationMs;
    }
    return Elapsed;
}
