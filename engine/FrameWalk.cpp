#include "engine/FrameWalk.h"

#include <algorithm>
#include <cstring>

#include "engine/Tags.h"

namespace {

// Encoders put their information record ("Xing" or "Info") where the side
// information of a normal frame would start, which depends on the version and
// the channel count; "VBRI" stands at a fixed offset.
constexpr int SideInfoEndMpeg1Stereo = 36, SideInfoEndMpeg1Mono = 21;
constexpr int SideInfoEndMpeg2Stereo = 21, SideInfoEndMpeg2Mono = 13;
constexpr int VbriOffset = 36;
constexpr int MarkerBytes = 4;
// The head of a frame that holds every marker looked for.
constexpr int FrameHeadBytes = std::max(SideInfoEndMpeg1Stereo, VbriOffset) + MarkerBytes;

int InformationOffset(const TFrameHeader& Frame) {
    if (Frame.Version == 1.0) return Frame.Mono ? SideInfoEndMpeg1Mono : SideInfoEndMpeg1Stereo;
    return Frame.Mono ? SideInfoEndMpeg2Mono : SideInfoEndMpeg2Stereo;
}

// The first bytes of the frame (header included) are in Head; fewer at the
// end of the file. A marker counts only inside the frame itself: bytes beyond
// a short frame belong to the next one.
bool IsInformationFrame(const TFrameHeader& Frame, const uint8_t Head[FrameHeadBytes]) {
    const int Offset = InformationOffset(Frame);
    if (Offset + MarkerBytes <= Frame.Length && (BytesAre(Head + Offset, "Xing") || BytesAre(Head + Offset, "Info")))
        return true;
    return VbriOffset + MarkerBytes <= Frame.Length && BytesAre(Head + VbriOffset, "VBRI");
}

// Reads the head of a frame from the stream's position; unread bytes stay
// zero. Leaves the stream just after what was read and returns how much that was.
int64_t ReadFrameHead(TFileStream& Stream, uint8_t Head[FrameHeadBytes]) {
    std::memset(Head, 0, FrameHeadBytes);
    return Stream.Read(Head, FrameHeadBytes);
}

// The step shared by the copy, the skip and the length walk. Leaves Stream at
// the start of what follows and tells the caller what was found.
enum class TStep { Frame, Information, Other };

TStep StepOver(TFileStream& Stream, int64_t AudioEnd, TFrameHeader& Frame) {
    const int64_t Start = Stream.Position();
    uint8_t Head[FrameHeadBytes];
    const int64_t Got = ReadFrameHead(Stream, Head);
    if (Got >= FrameHeaderBytes && DecodeFrameHeader(Head, Frame)) {
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
    // Bytes that begin no frame are dropped a header's width at a time; the
    // next step starts behind them.
    Stream.SetPosition(Start + FrameHeaderBytes);
    return TStep::Other;
}

// Frame length and duration of a step: an audio frame counts, anything else is 0.
void Measure(TStep Step, const TFrameHeader& Frame, int32_t& FrameBytes, double& FrameMs) {
    const bool Audio = Step == TStep::Frame;
    FrameBytes = Audio ? Frame.Length : 0;
    FrameMs = Audio ? Frame.DurationMs : 0.0;
}

}  // namespace

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

int64_t CopyFrame(TFileStream& Source, TFileStream* Target, int64_t AudioEnd, int32_t& FrameBytes, double& FrameMs) {
    const int64_t Start = Source.Position();
    TFrameHeader Frame;
    Measure(StepOver(Source, AudioEnd, Frame), Frame, FrameBytes, FrameMs);
    if (FrameBytes > 0 && Target) {
        const int64_t After = Source.Position();
        Source.SetPosition(Start);
        Target->CopyFrom(Source, FrameBytes);
        Source.SetPosition(After);
    }
    return Source.Position();
}

int64_t SkipFrame(TFileStream& Stream, int32_t& FrameBytes, double& FrameMs) {
    TFrameHeader Frame;
    Measure(StepOver(Stream, Stream.Size(), Frame), Frame, FrameBytes, FrameMs);
    return Stream.Position();
}

TStepRun SkipAudio(TFileStream& Stream, int64_t TargetMs) {
    int64_t Position = 0, Bytes = 0;
    double Elapsed = 0.0;
    int32_t FrameBytes = 0;
    double FrameMs = 0.0;
    while (Stream.Position() < Stream.Size() - FrameHeaderBytes && double(TargetMs) > Elapsed) {
        Position = SkipFrame(Stream, FrameBytes, FrameMs);
        Bytes += FrameBytes;
        Elapsed += FrameMs;
    }
    return {Position, Bytes, Elapsed};
}

TStepRun CopyAudio(TFileStream& Source, TFileStream& Target, int64_t AudioEnd, int32_t SpanMs) {
    int64_t Position = 0, Bytes = 0;
    double Elapsed = 0.0;
    int32_t FrameBytes = 0;
    double FrameMs = 0.0;
    while (Source.Position() < AudioEnd - FrameHeaderBytes && double(SpanMs) > Elapsed) {
        Position = CopyFrame(Source, &Target, AudioEnd, FrameBytes, FrameMs);
        Bytes += FrameBytes;
        Elapsed += FrameMs;
    }
    return {Position, Bytes, Elapsed};
}

double WalkAudioFrames(TFileStream& Source, const TMp3DataInfo& Info, const TFrameVisitor& Visit) {
    const int64_t AudioEnd = Info.AudioEnd();
    double Elapsed = 0.0;
    Source.SetPosition(Info.FirstFrameOffset());
    while (Source.Position() < AudioEnd - FrameHeaderBytes) {
        const int64_t Start = Source.Position();
        TFrameHeader Frame;
        if (StepOver(Source, AudioEnd, Frame) != TStep::Frame) continue;
        if (Visit) Visit(Start, Frame);
        Elapsed += Frame.DurationMs;
    }
    return Elapsed;
}
