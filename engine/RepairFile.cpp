#include "engine/RepairFile.h"

#include <algorithm>
#include <array>

#include "engine/ApeTag.h"
#include "engine/FrameWalk.h"
#include "engine/PieceWriter.h"
#include "engine/Tags.h"
#include "platform/MappedFile.h"

namespace {

// The first bytes of what stands at At, no further than To; zeros beyond.
int64_t HeadAt(TMappedFile& Source, int64_t At, int64_t To, uint8_t Head[InfoHeadBytes]) {
    Source.SetPosition(At);
    const int64_t Got = std::max<int64_t>(Source.Read(Head, std::min<int64_t>(InfoHeadBytes, To - At)), 0);
    std::fill(Head + Got, Head + InfoHeadBytes, uint8_t(0));
    return Got;
}

// A header of the file's own stream, all sync bits set: a last frame cut
// short is taken for one only when it is.
bool OfTheStream(const uint8_t Head[FrameHeaderBytes], const TFrameHeader& Frame, const TMp3DataInfo& Info) {
    return (Head[1] & 0xE0) == 0xE0 && Frame.Version == Info.Version && Frame.Layer == Info.Layer &&
           Frame.SampleRate == Info.SampleRate;
}

// Finds what lies in [From, To), bytes the walk stepped over between audio
// frames: the information frames and ID3v2 tags that files joined with cat
// leave, and the stray bytes around them; in the last of them a frame cut
// short by the end of the audio.
class TGapSurvey {
public:
    TGapSurvey(TMappedFile& Source, TRepairSurvey& Survey) : FSource(Source), FS(Survey) {}

    void Gap(int64_t From, int64_t To, bool Last) {
        uint8_t Head[InfoHeadBytes];
        for (int64_t At = From; At < To;) {
            const int64_t Got = HeadAt(FSource, At, To, Head);
            TFrameHeader Frame;
            const bool Header = Got >= FrameHeaderBytes && DecodeFrameHeader(Head, Frame);
            if (Header && At + Frame.Length <= To && IsInformationFrame(Frame, Head)) {
                EndStray(At);
                if (At != FS.AudioStart) Record(At, Frame.Length);
                At += Frame.Length;
            } else if (Got >= Id3v2HeaderBytes && BytesAre(Head, Id3v2Marker) && At + Id3v2TagBytes(Head) <= To) {
                EndStray(At);
                ++FS.InnerTags;
                FS.InnerBytes += Id3v2TagBytes(Head);
                At += Id3v2TagBytes(Head);
            } else if (Last && Header && At + Frame.Length > To && OfTheStream(Head, Frame, FS.Info)) {
                EndStray(At);
                FS.TruncatedBytes = To - At;
                At = To;
            } else {
                if (FStrayFrom < 0) FStrayFrom = At;
                At = NextCandidate(At + 1, To);
            }
        }
        EndStray(To);
    }

private:
    // The next byte in [From, To) that may begin a frame or an ID3v2 tag.
    int64_t NextCandidate(int64_t From, int64_t To) {
        std::array<uint8_t, 4096> Chunk;
        for (int64_t At = From; At < To;) {
            FSource.SetPosition(At);
            const int64_t Got = FSource.Read(Chunk.data(), std::min<int64_t>(int64_t(Chunk.size()), To - At));
            if (Got <= 0) break;
            const auto* Found = std::find_if(Chunk.begin(), Chunk.begin() + Got,
                                             [](uint8_t B) { return B == FrameSyncByte || B == Id3v2Marker[0]; });
            if (Found != Chunk.begin() + Got) return At + (Found - Chunk.begin());
            At += Got;
        }
        return To;
    }
    void EndStray(int64_t At) {
        if (FStrayFrom < 0) return;
        FS.StrayBytes += At - FStrayFrom;
        ++FS.StrayPlaces;
        FStrayFrom = -1;
    }
    // An information frame inside the audio: a file joined on, whose padding
    // ends the whole when it is the last.
    void Record(int64_t At, int32_t Length) {
        ++FS.InnerRecords;
        FS.InnerBytes += Length;
        std::array<uint8_t, 8192> Frame{};
        const int64_t Count = std::min<int64_t>(Length, int64_t(Frame.size()));
        FSource.SetPosition(At);
        const TInfoFrame Inner = ParseInfoFrame(Frame.data(), static_cast<int>(FSource.Read(Frame.data(), Count)));
        FS.Padding = Inner.Lame ? Inner.Lame->Padding : 0;
    }

    TMappedFile& FSource;
    TRepairSurvey& FS;
    int64_t FStrayFrom = -1;
};

// Every audio frame as a cut of the whole file takes it, and what lies between.
void WalkAudio(TMappedFile& Source, TRepairSurvey& S) {
    TGapSurvey Gaps(Source, S);
    int32_t FirstBitRate = -1;
    for (int64_t At = S.AudioStart;;) {
        Source.SetPosition(At);
        TFrameHeader Frame;
        uint8_t Header[FrameHeaderBytes];
        const int64_t Next = NextAudioFrame(Source, S.AudioEnd, Frame, Header, S.AudioEnd);
        const int64_t GapEnd = Next >= 0 ? Next : S.AudioEnd;
        if (GapEnd > At) Gaps.Gap(At, GapEnd, Next < 0);
        if (Next < 0) break;
        ++S.Frames;
        S.AudioBytes += Frame.Length;
        S.Ms += Frame.DurationMs;
        if (FirstBitRate < 0) FirstBitRate = Frame.BitRate;
        S.Vbr = S.Vbr || Frame.BitRate != FirstBitRate;
        At = Next + Frame.Length;
    }
}

// Whether the counts of the record are those of the frames: the frames
// behind it, and the bytes from it to the last frame's end (or, as some
// encoders count them, the whole file, or the file behind its ID3v2 tag).
TRecordState RecordStateOf(const TRepairSurvey& S) {
    const TInfoFrame& R = S.Record;
    if (R.Marker == TInfoMarker::None) return S.Vbr ? TRecordState::Missing : TRecordState::None;
    const uint64_t Stream = uint64_t(S.RecordBytes) + uint64_t(S.AudioBytes);
    const auto BytesFit = [&](uint64_t Bytes) {
        return Bytes == Stream || Bytes == uint64_t(S.Info.FileSize) ||
               Bytes == uint64_t(S.Info.FileSize - S.AudioStart);
    };
    bool Fits = false;
    if (R.Marker == TInfoMarker::Vbri) {
        // Fraunhofer's encoder counts its own frame among the frames.
        Fits = R.Vbri && (R.Vbri->Frames == S.Frames || R.Vbri->Frames == S.Frames + 1) && BytesFit(R.Vbri->Bytes);
    } else {
        Fits = R.Frames && *R.Frames == S.Frames && (!R.Bytes || BytesFit(*R.Bytes));
    }
    return Fits ? TRecordState::Fits : TRecordState::Stale;
}

void TargetFailed(TRepairResult& R, TSaveFailure Why, int Error) {
    R.Failure = Why;
    R.SystemError = Error;
}

}  // namespace

TRepairSurvey SurveyFile(const std::string& FileName) {
    TRepairSurvey S;
    TFileStream Source(FileName, TFileMode::fmOpenRead);
    S.Info.FileName = FileName;
    AnalyseLayout(Source, S.Info);
    if (!S.Info.Valid) return S;
    S.Identity = Source.Identity();
    S.AudioStart = S.Info.FirstFrameOffset();
    S.AudioEnd = ApeTagStart(Source, S.Info);
    S.Record = ReadInfoFrameAt(Source, S.AudioStart, S.AudioEnd);
    if (S.Record.Marker != TInfoMarker::None) S.RecordBytes = S.Info.FrameSize;
    S.Delay = S.Record.Lame ? S.Record.Lame->Delay : 0;
    S.Padding = S.Record.Lame ? S.Record.Lame->Padding : 0;
    TMappedFile Map(Source);
    Map.Guarded([&] { WalkAudio(Map, S); });
    S.RecordState = RecordStateOf(S);
    return S;
}

TRepairResult WriteRepaired(const TRepairSurvey& S, const std::string& Target, TExisting Existing) {
    TRepairResult R;
    const std::string& Name = S.Info.FileName;
    TFileStream Source(Name, TFileMode::fmOpenRead);
    if (Source.Identity() != S.Identity || Source.Size() != S.Info.FileSize)
        throw EReadError(Name, "The file changed after it was looked at");
    TTargetFile Output(Target, TTemporaryKind::Unnamed, Existing);
    if (!Output.Ready()) {
        TargetFailed(R, SaveFailureOf(Output.Failure()), Output.SystemError());
        return R;
    }
    TFileStream& Out = Output.Stream();
    Out.Reserve(S.Info.FileSize);
    TMappedFile Map(Source);
    // The tags in front of the audio and behind it, as they are.
    if (S.AudioStart > 0) Map.Guarded([&] { Map.CopyTo(Out, 0, S.AudioStart); });

    TInfoFrame Record = S.Record;
    // A file whose bit rates vary gets a record; its place is kept from the start.
    if (Record.Marker == TInfoMarker::None && S.Vbr) Record.Marker = TInfoMarker::Xing;
    TPieceWriter Writer(Out, Record, true);
    Map.Guarded([&] {
        Map.SetPosition(S.AudioStart);
        CopyAudioUpTo(Map, Out, S.AudioEnd, S.AudioEnd, &Writer);
    });
    Writer.Finish(S.Delay, S.Padding);
    if (S.Info.FileSize > S.AudioEnd) Map.Guarded([&] { Map.CopyTo(Out, S.AudioEnd, S.Info.FileSize - S.AudioEnd); });

    if (!Output.Commit()) {
        TargetFailed(R,
                     Existing == TExisting::Keep && FileExists(Target) ? TSaveFailure::TargetExists
                                                                        : TSaveFailure::TargetNotReplaced,
                     Output.SystemError());
        return R;
    }
    R.Saved = true;
    return R;
}
