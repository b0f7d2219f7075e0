#include "engine/GainFile.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>

#include "engine/ApeTag.h"
#include "engine/Crc16.h"
#include "engine/FrameGain.h"
#include "engine/FrameWalk.h"
#include "engine/PieceWriter.h"

const char* const GainRecordKey = "SEGMORA_GAIN_UNDO";

namespace {

// The record: "steps=-2;frames=0-1234;tag=new;clamped=57.1.0:1,58.0.1:0",
// the gains held at the field's end by frame, granule and channel.
struct TGainRecord {
    int Steps = 0;
    uint32_t First = 0, End = 0;   // the frames changed, by their number in the walk
    bool NewTag = false;           // the APE tag was made for the record
    std::map<uint64_t, int> Held;  // by GranuleKey: the gain the file had
};

uint64_t GranuleKey(uint32_t Frame, int Unit, int Channel) {
    return uint64_t(Frame) << 2 | uint64_t(Unit) << 1 | uint64_t(Channel);
}

std::string Print(const TGainRecord& R) {
    std::ostringstream S;
    S << "steps=" << R.Steps << ";frames=" << R.First << "-" << R.End << ";tag=" << (R.NewTag ? "new" : "old")
      << ";clamped=";
    const char* Comma = "";
    for (const auto& [Key, Gain] : R.Held) {
        S << Comma << (Key >> 2) << "." << (Key >> 1 & 1) << "." << (Key & 1) << ":" << Gain;
        Comma = ",";
    }
    return S.str();
}

std::optional<TGainRecord> ParseRecord(const std::string& Text) {
    TGainRecord R;
    std::string Tag;
    char Dot1 = 0, Dot2 = 0, Colon = 0, Dash = 0;
    std::istringstream S(Text);
    const auto Expect = [&S](const char* Word) {
        for (const char* P = Word; *P; ++P)
            if (S.get() != *P) return false;
        return true;
    };
    // Steps far beyond what a gain can take come from no change of ours.
    constexpr int MostSteps = 1 << 20;
    if (!Expect("steps=") || !(S >> R.Steps) || std::abs(R.Steps) > MostSteps || !Expect(";frames=") ||
        !(S >> R.First >> Dash >> R.End) || Dash != '-' || R.End < R.First || !Expect(";tag=") ||
        !std::getline(S, Tag, ';') || !Expect("clamped="))
        return std::nullopt;
    R.NewTag = Tag == "new";
    for (char Sep = ','; Sep == ',' && S.peek() != EOF; Sep = char(S.get())) {
        uint64_t Frame = 0;
        int Unit = 0, Channel = 0, Gain = 0;
        if (!(S >> Frame >> Dot1 >> Unit >> Dot2 >> Channel >> Colon >> Gain) || Dot1 != '.' || Dot2 != '.' ||
            Colon != ':' || Unit < 0 || Unit > 1 || Channel < 0 || Channel > 1 || Gain < 0 || Gain > MaxGlobalGain)
            return std::nullopt;
        R.Held[GranuleKey(uint32_t(Frame), Unit, Channel)] = Gain;
    }
    if ((Tag != "new" && Tag != "old") || !S.eof()) return std::nullopt;
    return R;
}

// A frame the change cannot reach ends the walk.
struct TUnchangeable {};

// The music CRC of the LAME tag, over the bytes behind the information frame
// as they were and as they are written.
struct TMusicCrc : TBytesObserver {
    TCrc16Stream Was, Is;
    void Seen(const char* Data, int64_t Count) override {
        Was.Add(reinterpret_cast<const uint8_t*>(Data), size_t(Count));
        Is.Add(reinterpret_cast<const uint8_t*>(Data), size_t(Count));
    }
};

std::string ReadBytes(TFileStream& Source, int64_t At, int64_t Count) {
    std::string Bytes(size_t(std::max<int64_t>(Count, 0)), '\0');
    Source.SetPosition(At);
    Source.ReadBuffer(Bytes.data(), int64_t(Bytes.size()));
    return Bytes;
}

TGainResult Refused(TGainRefusal Why) {
    TGainResult R;
    R.Refusal = Why;
    return R;
}

}  // namespace

TGainResult ChangeGain(const std::string& FileName, const std::string& Target, TExisting Existing,
                       const TGainRequest& Request) {
    TFileStream Source(FileName, TFileMode::fmOpenRead);
    TMp3DataInfo Info;
    Info.FileName = FileName;
    AnalyseLayout(Source, Info);
    if (!Info.Valid) return Refused(TGainRefusal::NotValid);
    if (Info.Layer != 3 || Info.FreeFormat) return Refused(TGainRefusal::Unchangeable);

    // The audio ends where the APE tag begins, its items included.
    const int64_t AudioStart = Info.FirstFrameOffset(), ApeStart = ApeTagStart(Source, Info);
    const int64_t TagsEnd = Info.FileSize - Info.Id3v1Size;
    const std::string Ape = ReadBytes(Source, ApeStart, TagsEnd - ApeStart);
    std::optional<TGainRecord> Old;
    if (const std::optional<std::string> Item = ApeItem(Ape, GainRecordKey)) {
        Old = ParseRecord(*Item);
        if (!Old) return Refused(TGainRefusal::BadRecord);
    }
    if (Request.Undo && !Old) return Refused(TGainRefusal::NoRecord);
    const TInfoFrame Record = ReadInfoFrameAt(Source, AudioStart, ApeStart);
    // The information frame, when it lies whole in the audio, is not audio.
    const bool Whole = Record.Marker != TInfoMarker::None && AudioStart + Info.FrameSize <= ApeStart;
    const int64_t MusicFrom = AudioStart + (Whole ? Info.FrameSize : 0);

    TTargetFile Output(Target, TTemporaryKind::Unnamed, Existing);
    TGainResult R;
    if (!Output.Ready()) {
        R.Failure = SaveFailureOf(Output.Failure());
        R.SystemError = Output.SystemError();
        return R;
    }
    TFileStream& Out = Output.Stream();
    Out.Reserve(Info.FileSize + 4096);
    TFileStream Reader(FileName, TFileMode::fmOpenRead);
    if (Reader.Identity() != Source.Identity() || Reader.Size() != Source.Size())
        throw EReadError(FileName, "The file changed while it was read");
    int64_t Copied = 0;
    TMusicCrc Music;
    const auto CopyUpTo = [&](int64_t To, bool Counted) {
        Reader.SetPosition(Copied);
        Out.CopyFrom(Reader, To - Copied, Counted ? &Music : nullptr);
        Copied = To;
    };
    CopyUpTo(MusicFrom, false);

    // The change: Steps to the frames of the range, or the record's undone.
    const int Steps = Request.Undo ? -Old->Steps : Request.Steps;
    TGainRecord New = Old.value_or(TGainRecord{0, 0, 0, Ape.empty(), {}});
    New.Steps += Steps;
    R.Steps = Steps;
    uint32_t Number = 0;
    int64_t FirstFrame = -1, EndFrame = -1;
    double Ms = 0.0, FirstMs = 0.0;
    const auto InRange = [&](uint32_t N, double StartMs) {
        if (Request.Undo) return N >= Old->First && N < Old->End;
        if (StartMs < double(Request.StartMs)) return false;
        if (FirstFrame < 0) FirstMs = StartMs;
        return Request.EndMs < 0 || StartMs - FirstMs < double(Request.EndMs - Request.StartMs);
    };
    TMp3DataInfo Walked = Info;
    Walked.ApeSize = static_cast<int32_t>(TagsEnd - ApeStart);
    try {
        WalkAudioFrames(Source, Walked, [&](int64_t Offset, const TFrameHeader& Frame) {
            const uint32_t N = Number++;
            const double StartMs = Ms;
            Ms += Frame.DurationMs;
            if (!InRange(N, StartMs)) return;
            if (FirstFrame < 0) FirstFrame = N;
            EndFrame = int64_t(N) + 1;
            CopyUpTo(Offset, true);
            uint8_t Head[GainHeadBytes], Was[GainHeadBytes];
            const int Count = std::min(Frame.Length, GainHeadBytes);
            Reader.ReadBuffer(Was, Count);
            std::copy(Was, Was + Count, Head);
            TFrameGains Gains;
            if (!Gains.Open(Head, Count, Frame)) throw TUnchangeable();
            for (int U = 0; U < Gains.Units(); ++U)
                for (int C = 0; C < Gains.Channels(); ++C) {
                    if (!Gains.Coded(U, C)) continue;
                    const int Gain = Gains.Gain(U, C);
                    const uint64_t Key = GranuleKey(N, U, C);
                    const auto Held = New.Held.find(Key);
                    int Wanted = Gain + Steps;
                    if (Request.Undo && Held != New.Held.end()) Wanted = Held->second;
                    ++R.Granules;
                    if (Wanted < 0 || Wanted > MaxGlobalGain) {
                        ++R.Clamped;
                        // The gain the file had before any change the record tells.
                        if (Held == New.Held.end()) New.Held[Key] = Gain - (Old ? Old->Steps : 0);
                    }
                    Gains.SetGain(U, C, Wanted);
                }
            Gains.Close();
            Out.WriteBuffer(Head, Count);
            Music.Was.Add(Was, size_t(Count));
            Music.Is.Add(Head, size_t(Count));
            Copied = Offset + Count;
        });
    } catch (const TUnchangeable&) {
        return Refused(TGainRefusal::Unchangeable);
    }
    if (FirstFrame < 0) return Refused(TGainRefusal::NothingInRange);
    if (!Request.Undo && Old && (uint32_t(FirstFrame) != Old->First || uint32_t(EndFrame) != Old->End))
        return Refused(TGainRefusal::OtherRange);
    R.Frames = uint32_t(EndFrame - FirstFrame);
    CopyUpTo(ApeStart, true);

    // The record: made, brought up to date, or dropped with what it added
    // when nothing is left to undo.
    std::optional<std::string> NewApe = Ape;
    New.First = uint32_t(FirstFrame);
    New.End = uint32_t(EndFrame);
    if (Request.Undo || (Old && New.Steps == 0 && New.Held.empty()))
        NewApe = ApeWithoutItem(Ape, GainRecordKey, New.NewTag);
    else if (Request.Record || Old)
        NewApe = ApeWithItem(Ape, GainRecordKey, Print(New));
    if (!NewApe) return Refused(TGainRefusal::BadRecord);
    R.Recorded = ApeItem(*NewApe, GainRecordKey).has_value();
    Out.WriteBuffer(NewApe->data(), int64_t(NewApe->size()));
    Copied = TagsEnd;
    CopyUpTo(Info.FileSize, false);

    // A music CRC that told the bytes as they were tells them as they are;
    // one that did not is left alone, as it tells something else.
    if (Record.Lame && MusicFrom > AudioStart && Music.Was.Value() == Record.Lame->MusicCrc) {
        std::string Frame = ReadBytes(Reader, AudioStart, MusicFrom - AudioStart);
        SetLameMusicCrc(reinterpret_cast<uint8_t*>(Frame.data()), *Record.Lame, Music.Is.Value());
        Out.SetPosition(AudioStart);
        Out.WriteBuffer(Frame.data(), int64_t(Frame.size()));
        R.MusicCrc = true;
    }
    if (!Output.Commit()) {
        R.Failure = Existing == TExisting::Keep && FileExists(Target) ? TSaveFailure::TargetExists
                                                                      : TSaveFailure::TargetNotReplaced;
        R.SystemError = Output.SystemError();
        return R;
    }
    R.Saved = true;
    return R;
}
