#include "engine/JoinFiles.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/FrameWalk.h"
#include "engine/InfoFrame.h"
#include "engine/InfoText.h"
#include "engine/PieceWriter.h"
#include "platform/FileStream.h"
#include "platform/MappedFile.h"

namespace {

struct TInput {
    TMp3DataInfo Info;
    TInfoFrame Record;  // of its first frame
    TFileIdentity Identity;
};

int LameDelay(const TInfoFrame& R) { return R.Lame ? R.Lame->Delay : 0; }
int LamePadding(const TInfoFrame& R) { return R.Lame ? R.Lame->Padding : 0; }

// How Other's frames differ from First's in what a decoder cannot change
// between frames; empty when they agree.
std::string FormatDifference(const TMp3DataInfo& First, const TMp3DataInfo& Other) {
    if (Other.Version != First.Version || Other.Layer != First.Layer)
        return EncodingText(Other.Version, Other.Layer, ".") + ", not " + EncodingText(First.Version, First.Layer, ".");
    if (Other.SampleRate != First.SampleRate)
        return SampleRateText(Other.SampleRate) + ", not " + SampleRateText(First.SampleRate);
    if (Other.Mono != First.Mono) return Other.Mono ? "mono, not stereo" : "stereo, not mono";
    return {};
}

// The last frames written to the target, where they lie in it: the frames an
// exact join compares the next input's first frames with. Forwards all it is
// told to the piece writer.
class TFramesWritten : public TCopyWatcher {
public:
    explicit TFramesWritten(TPieceWriter& Writer) : FWriter(Writer) {}

    void FrameAhead(const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) override {
        FWriter.FrameAhead(Frame, Header);
        FLast[FCount % Kept] = {FAudioBytes, Frame.Length};
        ++FCount;
        FAudioBytes += Frame.Length;
        FMs += Frame.DurationMs;
    }
    void Seen(const char* Data, int64_t Count) override { FWriter.Seen(Data, Count); }

    struct TWritten {
        int64_t At = 0;  // from the first audio frame on
        int32_t Length = 0;
    };
    // The frame Back frames before the last one (0: the last one).
    const TWritten& Back(int Back) const { return FLast[(FCount - 1 - size_t(Back)) % Kept]; }
    int Size() const { return static_cast<int>(std::min<size_t>(FCount, Kept)); }
    int64_t AudioBytes() const { return FAudioBytes; }
    double Ms() const { return FMs; }

    // More than a LAME tag's delay (12 bits, and the decoder's delay) can
    // cover in the shortest frames.
    static constexpr size_t Kept = (MaxLameSamples + DecoderDelaySamples) / 384 + 1;

private:
    TPieceWriter& FWriter;
    std::array<TWritten, Kept> FLast{};
    size_t FCount = 0;
    int64_t FAudioBytes = 0;
    double FMs = 0.0;
};

// The bytes of the last frames written, oldest first, read back from the
// target; the target's position is kept.
using TTail = std::vector<std::string>;
TTail ReadTail(TFileStream& Target, int64_t AudioStart, const TFramesWritten& Written) {
    TTail Tail;
    const int64_t Was = Target.Position();
    for (int Back = Written.Size() - 1; Back >= 0; --Back) {
        const auto& W = Written.Back(Back);
        std::string Bytes(size_t(W.Length), '\0');
        Target.SetPosition(AudioStart + W.At);
        Target.ReadBuffer(Bytes.data(), W.Length);
        Tail.push_back(std::move(Bytes));
    }
    Target.SetPosition(Was);
    return Tail;
}

// The first audio frames of an input, as the walk takes them, at most Count.
struct TLeadFrame {
    int64_t Offset = 0;
    int32_t Length = 0;
    int32_t Samples = 0;
};
constexpr int MostLeadFrames = int(TFramesWritten::Kept);
int LeadFrames(TMappedFile& Source, const TMp3DataInfo& Info, int Count, TLeadFrame* Lead) {
    int Found = 0;
    int64_t At = Info.FirstFrameOffset();
    while (Found < Count) {
        Source.SetPosition(At);
        TFrameHeader Frame;
        uint8_t Header[FrameHeaderBytes];
        const int64_t Offset = NextAudioFrame(Source, Info.AudioEnd(), Frame, Header, Info.AudioEnd());
        if (Offset < 0) break;
        Lead[Found++] = {Offset, Frame.Length, Frame.Samples};
        At = Offset + Frame.Length;
    }
    return Found;
}

bool SameBytes(TMappedFile& Source, const TLeadFrame& Frame, const std::string& Written) {
    if (size_t(Frame.Length) != Written.size()) return false;
    Source.SetPosition(Frame.Offset);
    std::array<char, 4096> Chunk;
    for (size_t Done = 0; Done < Written.size();) {
        const size_t N = std::min(Chunk.size(), Written.size() - Done);
        if (Source.Read(Chunk.data(), int64_t(N)) != int64_t(N)) return false;
        if (!std::equal(Chunk.begin(), Chunk.begin() + N, Written.begin() + std::ptrdiff_t(Done))) return false;
        Done += N;
    }
    return true;
}

// How many leading frames of the next input an exact join leaves out: a run
// that repeats the last frames written, with the frames in front of that run
// (a frame made to hold their main data), all within what the next input's
// own gapless decoders drop.
int RepeatedLead(TMappedFile& Source, const TInput& Next, const TTail& Tail) {
    if (!Next.Record.Lame || Tail.empty()) return 0;
    std::array<TLeadFrame, MostLeadFrames> Lead;
    const int Found = LeadFrames(Source, Next.Info, MostLeadFrames, Lead.data());
    if (Found == 0) return 0;
    const int Dropped = Next.Record.Lame->Delay + DecoderDelaySamples;
    const int Droppable = std::min(Found, Dropped / std::max(Lead[0].Samples, 1));
    const int Written = static_cast<int>(Tail.size());
    for (int Before = 0; Before < Droppable; ++Before)
        for (int Run = std::min(Written, Droppable - Before); Run > 0; --Run) {
            bool Same = true;
            for (int I = 0; I < Run && Same; ++I)
                Same = SameBytes(Source, Lead[size_t(Before) + size_t(I)], Tail[size_t(Written - Run) + size_t(I)]);
            if (Same) return Before + Run;
        }
    return 0;
}

// Where the frames of Input go on after Dropped of them.
int64_t FramesFrom(TMappedFile& Source, const TMp3DataInfo& Info, int Dropped) {
    if (Dropped == 0) return Info.FirstFrameOffset();
    std::array<TLeadFrame, MostLeadFrames> Lead;
    LeadFrames(Source, Info, Dropped, Lead.data());
    return Lead[size_t(Dropped - 1)].Offset + Lead[size_t(Dropped - 1)].Length;
}

// The samples at a joint that decoding the inputs apart would not give: the
// earlier one's padding beyond what its decoder's delay brings back, and
// what the later one's decoders drop at its start, less the frames left out.
int64_t ExtraSamples(const TInput& Before, const TInput& After, int Dropped, int FrameSamples) {
    const int64_t Padding = Before.Record.Lame ? std::max(0, LamePadding(Before.Record) - DecoderDelaySamples) : 0;
    const int64_t Delay = After.Record.Lame ? LameDelay(After.Record) + DecoderDelaySamples : 0;
    return Padding + Delay - int64_t(Dropped) * FrameSamples;
}

TJoinResult Refused(TJoinFailure Why, size_t Input, std::string Difference = {}) {
    TJoinResult R;
    R.Failure = Why;
    R.Input = Input;
    R.Difference = std::move(Difference);
    return R;
}

}  // namespace

TJoinResult JoinFiles(const std::vector<std::string>& Inputs, const std::string& Target, const TJoinSettings& Options) {
    if (Inputs.empty()) return Refused(TJoinFailure::NoInput, 0);
    std::vector<TInput> In(Inputs.size());
    int64_t AudioBytes = 0;
    for (size_t I = 0; I < Inputs.size(); ++I) {
        TFileStream Source(Inputs[I], TFileMode::fmOpenRead);
        TMp3DataInfo& Info = In[I].Info;
        Info.FileName = Inputs[I];
        AnalyseLayout(Source, Info);
        if (!Info.Valid) return Refused(TJoinFailure::InputNotValid, I);
        if (std::string How = FormatDifference(In[0].Info, Info); !How.empty())
            return Refused(TJoinFailure::FormatDiffers, I, std::move(How));
        In[I].Record = ReadInfoFrameAt(Source, Info.FirstFrameOffset(), Info.AudioEnd());
        In[I].Identity = Source.Identity();
        AudioBytes += std::max<int64_t>(Info.AudioEnd() - Info.FirstFrameOffset(), 0);
    }
    TFileIdentity TargetId;
    if (FileIdentityOf(Target, TargetId))
        for (size_t I = 0; I < In.size(); ++I)
            if (In[I].Identity == TargetId) return Refused(TJoinFailure::TargetIsInput, I);

    TJoinResult R;
    TTargetFile Output(Target, TTemporaryKind::Unnamed, Options.Existing);
    if (!Output.Ready()) {
        R.Failure = TJoinFailure::Target;
        R.TargetFailure = SaveFailureOf(Output.Failure());
        R.SystemError = Output.SystemError();
        return R;
    }
    TFileStream& Out = Output.Stream();
    Out.Reserve(int64_t(Options.LeadingBytes.size()) + AudioBytes + 64 * 1024);
    Out.WriteBuffer(Options.LeadingBytes.data(), int64_t(Options.LeadingBytes.size()));
    const int64_t PieceStart = Out.Position();

    // The result always gets an information frame: its counts are what the
    // join is for.
    TInfoFrame Record = In[0].Record;
    if (Record.Marker == TInfoMarker::None) Record.Marker = TInfoMarker::Info;
    TPieceWriter Writer(Out, Record, true);
    TFramesWritten Written(Writer);
    const TMp3DataInfo& First = In[0].Info;
    const int FrameSamples = SamplesPerFrame[First.Version == 1.0 ? 0 : 1][First.Layer - 1];

    for (size_t I = 0; I < In.size(); ++I) {
        const TMp3DataInfo& Info = In[I].Info;
        std::optional<TTail> Tail;
        if (Options.Exact && I > 0) Tail = ReadTail(Out, PieceStart + Writer.InformationBytes(), Written);
        TFileStream Source(Info.FileName, TFileMode::fmOpenRead);
        if (Source.Identity() != In[I].Identity || Source.Size() != Info.FileSize)
            throw EReadError(Info.FileName, "The file changed while the files were joined");
        TMappedFile Map(Source);
        int Dropped = 0;
        Map.Guarded([&] {
            if (Tail) Dropped = RepeatedLead(Map, In[I], *Tail);
            Map.SetPosition(FramesFrom(Map, Info, Dropped));
            CopyAudioUpTo(Map, Out, Info.AudioEnd(), Info.AudioEnd(), &Written);
        });
        if (I > 0) R.Joints.push_back({Dropped, ExtraSamples(In[I - 1], In[I], Dropped, FrameSamples)});
    }
    R.Delay = LameDelay(In.front().Record);
    R.Padding = LamePadding(In.back().Record);
    Writer.Finish(R.Delay, R.Padding);
    if (Options.Id3v1 && In[0].Info.Id3v1Size == Id3v1TagBytes) WriteId3v1Tag(Out, In[0].Info.Id3Tag);

    if (!Output.Commit()) {
        R.Failure = TJoinFailure::Target;
        R.TargetFailure = Options.Existing == TExisting::Keep && FileExists(Target) ? TSaveFailure::TargetExists
                                                                                    : TSaveFailure::TargetNotReplaced;
        R.SystemError = Output.SystemError();
        return R;
    }
    R.Frames = Writer.Frames();
    R.AudioBytes = Written.AudioBytes();
    R.Ms = Written.Ms();
    return R;
}
