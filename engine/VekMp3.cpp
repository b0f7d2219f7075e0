#include "engine/VekMp3.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/TargetFile.h"

const int32_t BitRates[2][3][14] = {
    {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

const int32_t SampleRates[3][3] = {
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
};

const int32_t SamplesPerFrame[2][3] = {
    {384, 1152, 1152},
    {384, 1152, 576},
};

// clang-format off
const std::array<const char*, 148> Id3Genres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club",
    "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock",
    "Drum Solo", "Acapella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore",
    "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Trash Metal", "Anime", "Jpop", "Synthpop",
};
// clang-format on

namespace {

bool BytesAre(const uint8_t* Bytes, const char* Text) { return std::memcmp(Bytes, Text, std::strlen(Text)) == 0; }

int32_t SyncsafeSize(const uint8_t B[4]) {
    return (int32_t(B[0] & 0x7F) << 21) | (int32_t(B[1] & 0x7F) << 14) | (int32_t(B[2] & 0x7F) << 7) |
           int32_t(B[3] & 0x7F);
}

// Encoders put their information record where the side information of a
// normal frame would start, which depends on the version and channel count.
int InformationOffset(const TFrameHeader& Frame) {
    if (Frame.Version == 1.0) return Frame.Mono ? 21 : 36;
    return Frame.Mono ? 13 : 21;
}

// Bytes 0..39 of the frame (header included) are in Head; fewer at the end of
// the file. A marker counts only inside the frame itself: bytes beyond a short
// frame belong to the next one.
bool IsInformationFrame(const TFrameHeader& Frame, const uint8_t Head[40]) {
    const int Offset = InformationOffset(Frame);
    if (Offset + 4 <= Frame.Length && (BytesAre(Head + Offset, "Xing") || BytesAre(Head + Offset, "Info"))) return true;
    return 40 <= Frame.Length && BytesAre(Head + 36, "VBRI");
}

// Reads up to 40 bytes from the stream's position; unread bytes stay zero.
// Leaves the stream just after what was read and returns how much that was.
int64_t ReadFrameHead(TFileStream& Stream, uint8_t Head[40]) {
    std::memset(Head, 0, 40);
    return Stream.Read(Head, 40);
}

// The step shared by the copy, the skip and the length walk. Leaves Stream at
// the start of what follows and tells the caller what was found.
enum class TStep { Frame, Information, Other };

TStep StepOver(TFileStream& Stream, int64_t AudioEnd, TFrameHeader& Frame) {
    const int64_t Start = Stream.Position();
    uint8_t Head[40];
    const int64_t Got = ReadFrameHead(Stream, Head);
    if (Got >= 4 && DecodeFrameHeader(Head, Frame)) {
        if (Start + Frame.Length > AudioEnd) {
            // A frame cut short by the end of the audio is not taken, and
            // nothing behind it is audio: leave the stream at its end.
            Stream.Seek(0, TSeekOrigin::soEnd);
            return TStep::Other;
        }
        Stream.SetPosition(Start + Frame.Length);
        return IsInformationFrame(Frame, Head) ? TStep::Information : TStep::Frame;
    }
    if (Got >= 10 && BytesAre(Head, "ID3")) {
        Stream.SetPosition(Start + 10 + SyncsafeSize(Head + 6));
        return TStep::Other;
    }
    // Four bytes that begin no frame are dropped; the next step starts behind them.
    Stream.SetPosition(Start + 4);
    return TStep::Other;
}

}  // namespace

bool DecodeFrameHeader(const uint8_t H[4], TFrameHeader& Frame) {
    if (H[0] != 0xFF) return false;
    // Consecutive frames nearly always share their header bytes, and the walk
    // over a long file decodes every one of them: reuse the last result.
    thread_local uint32_t LastKey = 0;
    thread_local TFrameHeader Last;
    const uint32_t Key = 0xFF000000u | (uint32_t(H[1]) << 16) | (uint32_t(H[2]) << 8) | H[3];
    if (Key == LastKey) {
        Frame = Last;
        return true;
    }
    const int VersionCode = (H[1] >> 3) & 3;
    const int LayerCode = (H[1] >> 1) & 3;
    const int BitRateIndex = (H[2] >> 4) & 15;
    const int SampleRateIndex = (H[2] >> 2) & 3;
    if (VersionCode == 1 || LayerCode == 0 || BitRateIndex == 0 || BitRateIndex == 15 || SampleRateIndex == 3)
        return false;

    int Row, SampleRateRow;
    switch (VersionCode) {
    case 3:
        Frame.Version = 1.0;
        Row = 1;
        SampleRateRow = 1;
        break;
    case 2:
        Frame.Version = 2.0;
        Row = 2;
        SampleRateRow = 2;
        break;
    default:
        Frame.Version = 2.5;
        Row = 2;
        SampleRateRow = 3;
        break;
    }
    Frame.Layer = 4 - LayerCode;
    Frame.BitRate = BitRates[Row - 1][Frame.Layer - 1][BitRateIndex - 1];
    Frame.SampleRate = SampleRates[SampleRateRow - 1][SampleRateIndex];
    Frame.Padding = (H[2] >> 1) & 1;
    Frame.Mono = ((H[3] >> 6) & 3) == 3;
    Frame.Samples = SamplesPerFrame[Row - 1][Frame.Layer - 1];
    Frame.Length =
        static_cast<int32_t>(std::trunc(Frame.Samples / 8.0 * Frame.BitRate * 1000 / Frame.SampleRate)) + Frame.Padding;
    Frame.DurationMs = Frame.Samples * 1000.0 / Frame.SampleRate;
    LastKey = Key;
    Last = Frame;
    return true;
}

int64_t SkipZeroBytes(TFileStream& Stream, int32_t& Count) {
    const int64_t Start = Stream.Position();
    const int64_t Remaining = Stream.Size() - Start;
    int64_t Zeros = 0;
    int64_t Result = -1;
    uint8_t Chunk[4096];
    while (Zeros < Remaining) {
        const int64_t Got = Stream.Read(Chunk, std::min<int64_t>(sizeof Chunk, Remaining - Zeros));
        if (Got <= 0) break;
        const uint8_t* NonZero = nullptr;
        for (int64_t I = 0; I < Got; ++I)
            if (Chunk[I] != 0) {
                NonZero = Chunk + I;
                break;
            }
        if (NonZero) {
            Zeros += NonZero - Chunk;
            Result = Start + Zeros;
            // The stream is left just after the non-zero byte, as a byte-wise scan would.
            Stream.SetPosition(Result + 1);
            break;
        }
        Zeros += Got;
    }
    Count = static_cast<int32_t>(std::min<int64_t>(Zeros, INT32_MAX));
    return Result;
}

namespace {

// Frame length and duration of a step: an audio frame counts, anything else is 0.
void Measure(TStep Step, const TFrameHeader& Frame, int32_t& FrameBytes, double& FrameMs) {
    const bool Audio = Step == TStep::Frame;
    FrameBytes = Audio ? Frame.Length : 0;
    FrameMs = Audio ? Frame.DurationMs : 0.0;
}

}  // namespace

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

double WalkAudioFrames(TFileStream& Source, const TMp3DataInfo& Info, const TFrameVisitor& Visit) {
    const int64_t AudioEnd = Info.FileSize - Info.Id3v1Size - Info.ApeSize;
    double Elapsed = 0.0;
    Source.SetPosition(int64_t(Info.Id3v2Size) + Info.ZeroPadding);
    while (Source.Position() < AudioEnd - 4) {
        const int64_t Start = Source.Position();
        TFrameHeader Frame;
        if (StepOver(Source, AudioEnd, Frame) != TStep::Frame) continue;
        if (Visit) Visit(Start, Frame);
        Elapsed += Frame.DurationMs;
    }
    return Elapsed;
}

TVekMP3::TVekMP3(const std::string& AFileName, std::unique_ptr<TMediaPlayer> Player) : FMediaPlayer(std::move(Player)) {
    if (FileExists(AFileName)) AnalyseFile(AFileName);
}

TVekMP3::~TVekMP3() {
    if (FMediaPlayer) FMediaPlayer->Close();
}

namespace {
// FrameSize, ApeSize and Id3Tag are left: they are meaningful only while
// Valid (Id3Tag only with an ID3v1 tag), and every valid analysis sets them.
void ResetAnalysis(TMp3DataInfo& D) {
    D.Valid = false;
    D.BitRate = D.SampleRate = D.Layer = D.Padding = D.Id3v1Size = D.Id3v2Size = D.ZeroPadding = 0;
    D.Version = 0.0;
    D.Mono = D.Vbr = false;
    D.LengthMs = 0;
}
}  // namespace

void AnalyseLayout(TFileStream& Source, TMp3DataInfo& D) {
    ResetAnalysis(D);
    D.FileSize = Source.Size();

    uint8_t H[4] = {0, 0, 0, 0};
    Source.SetPosition(0);
    if (Source.Read(H, 4) < 4) return;
    if (BytesAre(H, "ID3")) {
        uint8_t Size[4] = {0, 0, 0, 0};
        Source.Seek(2, TSeekOrigin::soCurrent);
        Source.Read(Size, 4);
        D.Id3v2Size = SyncsafeSize(Size) + 10;
        Source.SetPosition(D.Id3v2Size);
        const int64_t First = SkipZeroBytes(Source, D.ZeroPadding);
        if (First < 0) return;
        Source.SetPosition(First);
        if (Source.Read(H, 4) < 4) return;
    }

    TFrameHeader Frame;
    if (!DecodeFrameHeader(H, Frame)) return;
    D.Version = Frame.Version;
    D.Layer = Frame.Layer;
    D.BitRate = Frame.BitRate;
    D.SampleRate = Frame.SampleRate;
    D.Padding = Frame.Padding;
    D.FrameSize = Frame.Length;
    D.Mono = Frame.Mono;

    uint8_t Marker[4] = {0, 0, 0, 0};
    Source.Seek(32, TSeekOrigin::soCurrent);
    Source.Read(Marker, 4);
    D.Vbr = BytesAre(Marker, "Xing");
    D.Valid = true;

    int64_t ApeAt = D.FileSize - 32;
    if (D.FileSize >= 128) {
        Source.SetPosition(D.FileSize - 128);
        Source.Read(D.Id3Tag.Header, 3);
        if (BytesAre(reinterpret_cast<const uint8_t*>(D.Id3Tag.Header), "TAG")) {
            D.Id3v1Size = 128;
            uint8_t Raw[128] = {0};
            Source.SetPosition(D.FileSize - 128);
            Source.Read(Raw, 128);
            std::memcpy(&D.Id3Tag, Raw, 97);
            const uint8_t* Comment = Raw + 97;
            if (Comment[28] == 0) {
                std::memcpy(D.Id3Tag.Comment, Comment, 28);
                D.Id3Tag.Comment[28] = D.Id3Tag.Comment[29] = 0;
                D.Id3Tag.Track = Comment[29];
            } else {
                std::memcpy(D.Id3Tag.Comment, Comment, 30);
                D.Id3Tag.Track = 0;
            }
            D.Id3Tag.Genre = Raw[127];
            ApeAt = D.FileSize - 160;
        }
    }
    D.ApeSize = 0;
    if (ApeAt >= 0) {
        uint8_t Ape[8] = {0};
        Source.SetPosition(ApeAt);
        if (Source.Read(Ape, 8) == 8 && BytesAre(Ape, "APETAGEX")) D.ApeSize = 32;
    }
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

int64_t TVekMP3::SkipToTime(TFileStream& Stream, int64_t& SkippedBytes, int64_t TargetMs, int64_t& SkippedMs) {
    int64_t Result = 0;
    double Elapsed = 0.0;
    SkippedBytes = 0;
    int32_t FrameBytes = 0;
    double FrameMs = 0.0;
    while (Stream.Position() < Stream.Size() - 4 && double(TargetMs) > Elapsed) {
        Result = SkipFrame(Stream, FrameBytes, FrameMs);
        SkippedBytes += FrameBytes;
        Elapsed += FrameMs;
    }
    SkippedMs = static_cast<int64_t>(std::trunc(Elapsed));
    return Result;
}

void TVekMP3::WriteTag(TFileStream& Target, TId3v1Tag Id3Tag) {
    // The target holds only the frames this save wrote, so "TAG" found 128
    // bytes before its end can only be audio: the tag is always appended.
    Target.Seek(0, TSeekOrigin::soEnd);
    Target.WriteBuffer(&Id3Tag, 127);
    if (Id3Tag.Track > 0) {
        const uint8_t TrackForm[2] = {0, Id3Tag.Track};
        Target.Seek(-2, TSeekOrigin::soCurrent);
        Target.WriteBuffer(TrackForm, 2);
    }
    Target.WriteBuffer(&Id3Tag.Genre, 1);
}

bool TVekMP3::SaveSegment(int32_t StartMs, int32_t EndMs, const std::string& AFileName, TId3v1Tag Id3Tag,
                          int64_t& ByteCount, int64_t& DurationMs) {
    if (!FileExists(DataInfo.FileName) || !DataInfo.Valid) return false;

    auto Source = std::make_unique<TFileStream>(DataInfo.FileName, TFileMode::fmOpenRead);
    // Nothing stops another program from writing the source while we read it,
    // but we must never be the one who does: refuse a target that is the source
    // under any name before anything is created or truncated.
    TFileIdentity TargetId;
    if (FileIdentityOf(AFileName, TargetId) && TargetId == Source->Identity()) return false;

    TTargetFile Output(AFileName);
    if (!Output.Ready()) return false;
    TFileStream* Target = &Output.Stream();

    Source->SetPosition(FirstFrameOffset());
    if (StartMs > 0) {
        int64_t SkippedBytes = 0, SkippedMs = 0;
        SkipToTime(*Source, SkippedBytes, StartMs, SkippedMs);
    }

    int64_t Bytes = 0;
    double Elapsed = 0.0;
    const int64_t Limit = AudioEnd() - 4;
    const int32_t Span = static_cast<int32_t>(int64_t(EndMs) - int64_t(StartMs));
    int32_t FrameBytes = 0;
    double FrameMs = 0.0;
    while (Source->Position() < Limit && double(Span) > Elapsed) {
        CopyFrame(*Source, Target, AudioEnd(), FrameBytes, FrameMs);
        Bytes += FrameBytes;
        Elapsed += FrameMs;
    }
    if (std::memcmp(Id3Tag.Header, "TAG", 3) == 0) WriteTag(*Target, Id3Tag);

    Source.reset();
    if (!Output.Commit()) return false;

    ByteCount = Bytes;
    DurationMs = static_cast<int64_t>(std::trunc(Elapsed));
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
