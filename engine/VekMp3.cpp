#include "engine/VekMp3.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "engine/ExactStart.h"
#include "engine/PieceWriter.h"
#include "platform/TargetFile.h"

namespace {

// The analysis takes a file for VBR when "Xing" stands at this offset of the
// first frame, whatever the frame's kind.
constexpr int VbrMarkerOffset = 36;
constexpr std::string_view VbrMarker = "Xing";

// FrameSize, ApeSize and Id3Tag are left: they are meaningful only while
// Valid (Id3Tag only with an ID3v1 tag), and every valid analysis sets them.
void ResetAnalysis(TMp3DataInfo& D) {
    D.Valid = false;
    D.BitRate = D.SampleRate = D.Layer = D.Padding = D.Id3v1Size = D.Id3v2Size = 0;
    D.ZeroPadding = 0;
    D.Version = 0.0;
    D.Mono = D.Vbr = D.FreeFormat = false;
    D.LengthMs = 0;
}

// Steps over an ID3v2 tag at the start of the file and the zero bytes after
// it, and reads the header candidate found there into H. False when no
// candidate follows.
bool SkipLeadingId3v2(TFileStream& Source, TMp3DataInfo& D, uint8_t H[FrameHeaderBytes]) {
    uint8_t Header[Id3v2HeaderBytes] = {0};
    Source.SetPosition(0);
    Source.Read(Header, Id3v2HeaderBytes);
    D.Id3v2Size = Id3v2TagBytes(Header);
    Source.SetPosition(D.Id3v2Size);
    const int64_t First = SkipZeroBytes(Source, D.ZeroPadding);
    if (First < 0) return false;
    Source.SetPosition(First);
    return Source.Read(H, FrameHeaderBytes) == FrameHeaderBytes;
}

}  // namespace

void AnalyseLayout(TFileStream& Source, TMp3DataInfo& D) {
    ResetAnalysis(D);
    D.FileSize = Source.Size();

    uint8_t H[FrameHeaderBytes] = {0};
    Source.SetPosition(0);
    if (Source.Read(H, FrameHeaderBytes) < FrameHeaderBytes) return;
    if (BytesAre(H, Id3v2Marker) && !SkipLeadingId3v2(Source, D, H)) return;

    // The APE footer stands in front of an ID3v1 tag, or at the very end.
    // Both bound the audio, in which a free-format frame is measured.
    const int64_t FirstAt = Source.Position() - FrameHeaderBytes;
    TId3v1Tag Tag{};
    // An APE tag that ends the file and reaches back over its last 128 bytes
    // holds what looks like an ID3v1 tag's marker there when it is 131 bytes
    // long: the "TAG" of its header's "APETAGEX".
    const bool HasId3v1 = ReadId3v1Tag(Source, Tag) && !ApeTagEndsStreamOver(Source, Id3v1TagBytes);
    const int64_t ApeAt = D.FileSize - ApeFooterBytes - (HasId3v1 ? Id3v1TagBytes : 0);
    const bool HasApe = ApeFooterAt(Source, ApeAt);
    const int64_t AudioEnd = ApeAt + (HasApe ? 0 : ApeFooterBytes);
    TFrameHeader Frame;
    if (!DecodeFrameHeader(H, Frame) && !MeasureFreeFormatFrame(Source, FirstAt, H, AudioEnd, Frame)) return;
    Source.SetPosition(FirstAt + FrameHeaderBytes);
    D.Version = Frame.Version;
    D.Layer = Frame.Layer;
    D.BitRate = Frame.BitRate;
    D.SampleRate = Frame.SampleRate;
    D.Padding = Frame.Padding;
    D.FrameSize = Frame.Length;
    D.FreeFormat = Frame.FreeFormat;
    D.Mono = Frame.Mono;

    uint8_t Marker[VbrMarker.size()] = {0};
    Source.Seek(VbrMarkerOffset - FrameHeaderBytes, TSeekOrigin::soCurrent);
    Source.Read(Marker, sizeof Marker);
    D.Vbr = BytesAre(Marker, VbrMarker);
    D.Valid = true;
    if (HasId3v1) {
        D.Id3Tag = Tag;
        D.Id3v1Size = Id3v1TagBytes;
    }
    D.ApeSize = HasApe ? ApeFooterBytes : 0;
}

TVekMP3::TVekMP3(const std::string& AFileName, std::unique_ptr<TMediaPlayer> Player) : FMediaPlayer(std::move(Player)) {
    if (FileExists(AFileName)) AnalyseFile(AFileName);
}

TVekMP3::~TVekMP3() {
    if (FMediaPlayer) FMediaPlayer->Close();
}

void TVekMP3::AnalyseFile(const std::string& AFileName) {
    DataInfo.FileName = AFileName;
    ResetAnalysis(DataInfo);

    // The length is the sum of what a cut of the whole file would write, so
    // that the bar, the marks and the saved piece share one time scale. The
    // player indexes the file with that very walk, so with a player its
    // length is taken, and the file is not walked twice.
    double WalkedMs = 0.0;
    {
        TFileStream Source(AFileName, TFileMode::fmOpenRead);
        AnalyseLayout(Source, DataInfo);
        if (!DataInfo.Valid) return;
        if (!FMediaPlayer) WalkedMs = WalkAudioFrames(Source, DataInfo, nullptr);
    }

    if (FMediaPlayer) {
        FMediaPlayer->SetFileName(DataInfo.FileName);
        FMediaPlayer->SetTimeFormat(TMPTimeFormats::tfMilliseconds);
        FMediaPlayer->Open();
        const int32_t Length = FMediaPlayer->Length();
        FMediaPlayer->Close();
        DataInfo.LengthMs = Length;
    } else {
        DataInfo.LengthMs = static_cast<int64_t>(std::trunc(WalkedMs));
    }
}

int64_t TVekMP3::SkipToTime(TMappedFile& Stream, int64_t& SkippedBytes, int64_t TargetMs, int64_t& SkippedMs) {
    const TStepRun Skipped = SkipAudio(Stream, TargetMs);
    SkippedBytes = Skipped.Bytes;
    SkippedMs = static_cast<int64_t>(std::trunc(Skipped.Ms));
    return Skipped.Position;
}

TStepRun TVekMP3::SkipInChain(TMappedFile& Stream, const TFileStream& Source, int64_t StartMs, TPieceChain& Chain,
                              TFrameTrail* Trail) {
    // The walk of the piece before is gone on with only over the very file
    // it was made over, and only when it stopped no later than a walk to this
    // start would: before it, or on the step where that walk stops too. Trail
    // (when given) goes on with it, or starts afresh with a fresh walk.
    TStepRun From{DataInfo.FirstFrameOffset(), 0, 0.0};
    if (Chain.ReachedMs >= 0 && Chain.ReachedMs <= StartMs && Chain.Source == Source.Identity() &&
        Chain.SourceSize == Source.Size())
        From = Chain.Point;
    else if (Trail)
        Trail->Clear();
    Stream.SetPosition(From.Position);
    if (StartMs <= 0) return From;
    TStepRun Walk = SkipAudio(Stream, StartMs, Trail, From);
    Walk.Position = Stream.Position();
    return Walk;
}

// Each piece of a long chain mapping the file afresh would fault its pages in
// anew and, unmapping them, interrupt the thread writing behind: the
// pieces share one map.
struct TChainSource {
    explicit TChainSource(std::unique_ptr<TFileStream> Opened) : Stream(std::move(Opened)), Map(*Stream) {}
    std::unique_ptr<TFileStream> Stream;
    TMappedFile Map;
};

// The chain's source for a piece whose own opening of the file is Source:
// the chain's when it is that very file as it was, else Source, taken over.
TChainSource& TVekMP3::ChainSource(TPieceChain& Chain, std::unique_ptr<TFileStream>& Source) {
    const bool Same = Chain.Mapped && Chain.Mapped->Stream->Identity() == Source->Identity() &&
                      Chain.Mapped->Stream->Size() == Source->Size();
    if (!Same) Chain.Mapped = std::make_shared<TChainSource>(std::move(Source));
    return *Chain.Mapped;
}

namespace {
// After a chained piece: where its walk stopped, for the next one; nothing
// when the audio ended first (no piece follows then).
void AdvanceChain(TPieceChain& Chain, const TFileStream& Source, const TStepRun& Walk, int64_t EndMs) {
    Chain.Source = Source.Identity();
    Chain.SourceSize = Source.Size();
    Chain.Point = Walk;
    Chain.ReachedMs = Walk.Ms >= double(EndMs) ? EndMs : -1;
}
}  // namespace

bool TVekMP3::MeasureSegment(int32_t StartMs, int32_t EndMs, int64_t& ByteCount, int64_t& DurationMs,
                             TPieceChain* Chain, bool Exact) {
    if (!DataInfo.Valid) return false;
    auto Opened = std::make_unique<TFileStream>(DataInfo.FileName, TFileMode::fmOpenRead);
    std::optional<TMappedFile> OwnMap;
    TChainSource* Shared = Chain ? &ChainSource(*Chain, Opened) : nullptr;
    TFileStream& Source = Shared ? *Shared->Stream : *Opened;
    TMappedFile& Map = Shared ? Shared->Map : OwnMap.emplace(Source);
    TStepRun Measured;
    TFrameTrail OwnTrail;
    TFrameTrail* Trail = Exact ? (Chain ? &Chain->Trail : &OwnTrail) : nullptr;
    int64_t PrerollBytes = 0;
    Map.Guarded([&] {
        if (Chain) {
            TStepRun Walk = SkipInChain(Map, Source, StartMs, *Chain, Trail);
            Chain->PieceStartMs = Walk.Ms;
            if (Trail) PrerollBytes = FindPreroll(Map, DataInfo.AudioEnd(), *Trail).Bytes;
            Measured = CopyAudioUntil(Map, nullptr, DataInfo.AudioEnd(), Walk, EndMs, nullptr, Trail);
            AdvanceChain(*Chain, Source, Walk, EndMs);
        } else {
            Map.SetPosition(DataInfo.FirstFrameOffset());
            if (StartMs > 0) SkipAudio(Map, StartMs, Trail);
            if (Trail) PrerollBytes = FindPreroll(Map, DataInfo.AudioEnd(), *Trail).Bytes;
            Measured = MeasureAudio(Map, DataInfo.AudioEnd(), EndMs - StartMs);
        }
    });
    ByteCount = PrerollBytes + Measured.Bytes;
    DurationMs = static_cast<int64_t>(std::trunc(Measured.Ms));
    return true;
}

void TVekMP3::WriteTag(TFileStream& Target, TId3v1Tag Id3Tag) {
    // The target holds only the frames this save wrote, so "TAG" found 128
    // bytes before its end can only be audio: the tag is always appended.
    WriteId3v1Tag(Target, Id3Tag);
}

TSaveFailure SaveFailureOf(TTargetFailure Failure) {
    switch (Failure) {
    case TTargetFailure::None: return TSaveFailure::None;
    case TTargetFailure::EmptyName: return TSaveFailure::TargetNameEmpty;
    case TTargetFailure::Folder: return TSaveFailure::TargetIsFolder;
    case TTargetFailure::NotRegular: return TSaveFailure::TargetNotRegular;
    case TTargetFailure::NotWritable: return TSaveFailure::TargetNotWritable;
    case TTargetFailure::Exists: return TSaveFailure::TargetExists;
    case TTargetFailure::NotCreated: break;
    }
    return TSaveFailure::TargetNotCreated;
}

namespace {

// The samples a piece's LAME tag has gapless decoders drop at its start and
// at its end.
struct TTrim {
    int Delay = 0, Padding = 0;
};

// The encoder's delay and padding belong to the source's first and last
// frames: a piece keeps them only where it has those frames. An exact start
// has decoders drop the frames in front of it instead (never less than the
// encoder's delay, when those are the source's first frames).
TTrim PieceTrim(const TInfoFrame& Source, bool StartsAtFirst, const TPreroll& Preroll, bool EndsAtLast) {
    const int SourceDelay = Source.Lame ? Source.Lame->Delay : 0;
    TTrim T;
    T.Delay = StartsAtFirst ? SourceDelay : 0;
    if (Preroll.Frames > 0) T.Delay = std::max(Preroll.DelaySamples, Preroll.FromFirstFrame ? SourceDelay : 0);
    T.Padding = EndsAtLast && Source.Lame ? Source.Lame->Padding : 0;
    return T;
}

// Room set aside for a piece that starts at Start and lasts Span: the audio
// from there on, or what the span takes at the rate of the audio before it
// (or of the whole, when the piece starts at the beginning) and a tenth more,
// whichever is less; and room for the information frame and the tag. Set
// aside ahead, the file system need not find room while the copy runs.
int64_t PieceRoom(const TMp3DataInfo& D, int64_t Start, int32_t Span, int64_t SkippedBytes, double SkippedMs) {
    constexpr int64_t Extra = 64 * 1024;
    if (Span <= 0) return 0;
    const int64_t Rest = std::max<int64_t>(D.AudioEnd() - Start, 0);
    double BytesPerMs = 0.0;
    if (SkippedMs > 0)
        BytesPerMs = double(SkippedBytes) / SkippedMs;
    else if (D.LengthMs > 0)
        BytesPerMs = double(D.AudioEnd() - D.FirstFrameOffset()) / double(D.LengthMs);
    if (BytesPerMs <= 0) return Rest + Extra;
    return std::min<int64_t>(Rest, int64_t(BytesPerMs * double(Span) * 1.1)) + Extra;
}

}  // namespace

bool TVekMP3::SaveFailed(TSaveFailure Why, int SystemError) {
    FLastSaveFailure = Why;
    FLastSaveError = SystemError;
    return false;
}

bool TVekMP3::SaveSegment(int32_t StartMs, int32_t EndMs, const std::string& AFileName, TId3v1Tag Id3Tag,
                          int64_t& ByteCount, int64_t& DurationMs) {
    return SaveSegment(StartMs, EndMs, AFileName, Id3Tag, ByteCount, DurationMs, TSaveOptions{});
}

bool TVekMP3::SaveSegment(int32_t StartMs, int32_t EndMs, const std::string& AFileName, TId3v1Tag Id3Tag,
                          int64_t& ByteCount, int64_t& DurationMs, const TSaveOptions& Options) {
    FLastSaveFailure = TSaveFailure::None;
    FLastSaveError = 0;
    if (!DataInfo.Valid) return SaveFailed(TSaveFailure::SourceNotValid);
    if (!FileExists(DataInfo.FileName)) return SaveFailed(TSaveFailure::SourceMissing);
    if (Options.Fades.Any() && (DataInfo.Layer != 3 || DataInfo.FreeFormat))
        return SaveFailed(TSaveFailure::GainUnchangeable);

    auto Source = std::make_unique<TFileStream>(DataInfo.FileName, TFileMode::fmOpenRead);
    // Nothing stops another program from writing the source while we read it,
    // but we must never be the one who does: refuse a target that is the source
    // under any name before anything is created or truncated.
    TFileIdentity TargetId;
    if (FileIdentityOf(AFileName, TargetId) && TargetId == Source->Identity())
        return SaveFailed(TSaveFailure::TargetIsSource);

    TTargetFile Output(AFileName, TTemporaryKind::Unnamed, Options.Existing);
    if (!Output.Ready()) return SaveFailed(SaveFailureOf(Output.Failure()), Output.SystemError());
    Output.Stream().WriteBuffer(Options.LeadingBytes.data(), int64_t(Options.LeadingBytes.size()));

    const int64_t AudioEnd = DataInfo.AudioEnd();
    const TInfoFrame SourceInfo = ReadInfoFrameAt(*Source, DataInfo.FirstFrameOffset(), AudioEnd);
    TPieceWriter Writer(Output.Stream(), SourceInfo, Options.InfoFrame || Options.Exact);
    if (Options.Fades.Any()) Writer.Fade(Options.Fades);
    const int32_t Span = static_cast<int32_t>(int64_t(EndMs) - int64_t(StartMs));
    int64_t SkippedBytes = 0, SkippedMs = 0, PrerollBytes = 0;
    TFrameTrail Trail;
    TPreroll Preroll;
    TStepRun Copied;
    bool EndsAtLast = false;
    TPieceChain* const Chain = Options.Chain;
    TFrameTrail* const PassedTrail = Options.Exact ? (Chain ? &Chain->Trail : &Trail) : nullptr;
    TStepRun Walk;
    bool NoAudioLeft = false;
    {
        // The source is read through a map; nothing in the walks below owns
        // anything while they read it (see Guarded).
        std::optional<TMappedFile> OwnMap;
        TChainSource* Shared = Chain ? &ChainSource(*Chain, Source) : nullptr;
        TFileStream& Read = Shared ? *Shared->Stream : *Source;
        TMappedFile& Map = Shared ? Shared->Map : OwnMap.emplace(Read);
        Map.Guarded([&] {
            Map.SetPosition(DataInfo.FirstFrameOffset());
            if (Chain) {
                Walk = SkipInChain(Map, Read, StartMs, *Chain, PassedTrail);
                Chain->PieceStartMs = Walk.Ms;
                SkippedBytes = Walk.Bytes;
                SkippedMs = static_cast<int64_t>(Walk.Ms);
                // A piece of a chain holds frames, or is not saved at all.
                TFrameHeader First;
                uint8_t FirstHeader[FrameHeaderBytes];
                if (NextAudioFrame(Map, AudioEnd, First, FirstHeader) == NoMoreAudio) {
                    NoAudioLeft = true;
                    return;
                }
            } else if (StartMs > 0 && Options.Exact) {
                const TStepRun Skipped = SkipAudio(Map, StartMs, &Trail);
                SkippedBytes = Skipped.Bytes;
                SkippedMs = static_cast<int64_t>(Skipped.Ms);
            } else if (StartMs > 0) {
                SkipToTime(Map, SkippedBytes, StartMs, SkippedMs);
            }
            TFrameHeader Ahead;
            uint8_t AheadHeader[FrameHeaderBytes];
            if (Options.RequireAudio && NextAudioFrame(Map, AudioEnd, Ahead, AheadHeader) == NoMoreAudio) {
                NoAudioLeft = true;
                return;
            }
            Output.Stream().Reserve(PieceRoom(DataInfo, Map.Position(), Span, SkippedBytes, double(SkippedMs)));

            if (PassedTrail) Preroll = FindPreroll(Map, AudioEnd, *PassedTrail);
            // Decoders drop their own delay behind any information frame: an
            // exact piece from the first frame of a source without one has
            // none either, and decodes as the source does.
            if (Options.Exact && SkippedBytes == 0 && SourceInfo.Marker == TInfoMarker::None)
                Writer.ForbidInformation();
            if (Preroll.Frames > 0) {
                // Gapless decoders learn what to drop from the information frame.
                Writer.RequireInformation();
                if (!Preroll.Carrier.empty()) Writer.WriteMadeFrame(Preroll.Carrier);
                // Only whole frames in front of the start frame, which the
                // piece's own frames follow whatever stood between.
                Map.SetPosition(Preroll.Offset);
                PrerollBytes = int64_t(Preroll.Carrier.size()) + CopyAudioUpTo(Map, Output.Stream(),
                                                                               std::min(AudioEnd, Preroll.StartOffset),
                                                                               Preroll.StartOffset, &Writer)
                                                                     .Bytes;
                Map.SetPosition(Preroll.StartOffset);
            }
            Writer.MarkStart();
            if (Chain)
                Copied = CopyAudioUntil(Map, &Output.Stream(), AudioEnd, Walk, EndMs, &Writer, PassedTrail);
            else
                Copied = CopyAudio(Map, Output.Stream(), AudioEnd, Span, &Writer);

            TFrameHeader Next;
            uint8_t NextHeader[FrameHeaderBytes];
            EndsAtLast = NextAudioFrame(Map, AudioEnd, Next, NextHeader) == NoMoreAudio;
            if (Chain) AdvanceChain(*Chain, Read, Walk, EndMs);
        });
    }
    if (NoAudioLeft) return SaveFailed(TSaveFailure::NothingToSave);
    const TTrim Trim = PieceTrim(SourceInfo, SkippedBytes == 0, Preroll, EndsAtLast);
    // A frame of another kind among the piece's (a stream that changes its
    // layer) leaves nothing saved rather than a fade that is not one.
    if (!Writer.Finish(Trim.Delay, Trim.Padding)) return SaveFailed(TSaveFailure::GainUnchangeable);

    if (BytesAre(reinterpret_cast<const uint8_t*>(Id3Tag.Header), Id3v1Marker)) WriteTag(Output.Stream(), Id3Tag);

    Source.reset();
    if (!Output.Commit())
        return SaveFailed(Options.Existing == TExisting::Keep && FileExists(AFileName)
                              ? TSaveFailure::TargetExists
                              : TSaveFailure::TargetNotReplaced,
                          Output.SystemError());

    ByteCount = PrerollBytes + Copied.Bytes;
    DurationMs = static_cast<int64_t>(std::trunc(Copied.Ms));
    return true;
}

bool TVekMP3::PlayRange(int64_t FromMs, int64_t ToMs) {
    if (!DataInfo.Valid || !FMediaPlayer) return false;
    FMediaPlayer->Close();
    FMediaPlayer->SetFileName(DataInfo.FileName);
    FMediaPlayer->SetTimeFormat(TMPTimeFormats::tfMilliseconds);
    FMediaPlayer->Open();
    FMediaPlayer->SetPosition(static_cast<int32_t>(FromMs));
    FMediaPlayer->SetEndPos(static_cast<int32_t>(ToMs));
    FMediaPlayer->Play();
    return FMediaPlayer->Mode() == TMPModes::mpPlaying;
}

void TVekMP3::StopPlay() {
    if (FMediaPlayer) FMediaPlayer->Close();
}

int64_t TVekMP3::GetPlayPosition() {
    if (!FMediaPlayer || FMediaPlayer->Mode() != TMPModes::mpPlaying) return -1;
    return FMediaPlayer->Position();
}

bool TVekMP3::IsStopped() { return FMediaPlayer && FMediaPlayer->Mode() == TMPModes::mpStopped; }
