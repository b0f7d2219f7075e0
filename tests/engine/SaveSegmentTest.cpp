// Cutting built streams: where the cut starts and ends, what is left out,
// the tag at the end, and how a save treats the files around it.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/VekMp3.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::ReadAll;
using TestFiles::TScratchDir;
namespace fs = std::filesystem;

namespace {

constexpr int64_t Untouched = -7;

struct TSaved {
    bool Result = false;
    int64_t ByteCount = Untouched;
    int64_t DurationMs = Untouched;
    Bytes Output;  // empty when no file was written
    bool Written = false;
};

TId3v1Tag NoTag() { return TId3v1Tag{}; }

// 417- and 418-byte frames as a CBR encoder mixes them.
Bytes Cbr128Frames(int Count, uint8_t FirstFill = 1) {
    Bytes Out;
    for (int I = 0; I < Count; ++I) {
        TFrameKind S = Cbr128();
        S.Padding = I % 3 != 0;
        Out += Frame(S, uint8_t(1 + (FirstFill - 1 + I) % 0xFE));
    }
    return Out;
}

// Bytes of frames [First, First + Count) of a stream of back-to-back frames.
Bytes FrameRange(const Bytes& Stream, size_t First, size_t Count) {
    const TWalk W = WalkFrames(Stream, 0, int64_t(Stream.size()));
    if (First + Count > W.Frames.size()) throw std::out_of_range("FrameRange");
    const int64_t From = W.Frames[First].Offset;
    const int64_t To = First + Count < W.Frames.size() ? W.Frames[First + Count].Offset : W.End;
    return Stream.substr(size_t(From), size_t(To - From));
}

std::set<std::string> Entries(const fs::path& Dir) {
    std::set<std::string> Names;
    for (const auto& E : fs::directory_iterator(Dir)) Names.insert(E.path().filename().string());
    return Names;
}

class SaveSegmentTest : public testing::Test {
protected:
    void Load(const Bytes& Data) {
        SourceBytes = Data;
        SourceName = Dir.Write("src.mp3", Data);
        Engine.AnalyseFile(SourceName);
        ASSERT_TRUE(Engine.DataInfo.Valid);
    }
    TSaved Save(int32_t StartMs, int32_t EndMs, const TId3v1Tag& Tag = NoTag(), const std::string& Target = "") {
        TSaved S;
        const std::string Out = Target.empty() ? Dir.Path("out.mp3") : Target;
        S.Result = Engine.SaveSegment(StartMs, EndMs, Out, Tag, S.ByteCount, S.DurationMs);
        S.Written = fs::exists(Out);
        if (S.Written) S.Output = ReadAll(Out);
        return S;
    }
    TSaved SaveAll(const TId3v1Tag& Tag = NoTag()) { return Save(0, INT32_MAX, Tag); }
    TSaved SaveWith(const TSaveOptions& Options, int32_t StartMs, int32_t EndMs) {
        TSaved S;
        const std::string Out = Dir.Path("out.mp3");
        S.Result = Engine.SaveSegment(StartMs, EndMs, Out, NoTag(), S.ByteCount, S.DurationMs, Options);
        S.Written = fs::exists(Out);
        if (S.Written) S.Output = ReadAll(Out);
        return S;
    }

    TScratchDir Dir;
    TVekMP3 Engine;
    Bytes SourceBytes;
    std::string SourceName;
};

const double Ms128 = 1152000.0 / 44100;  // 26.1224... ms

const TSaveOptions NoInformationFrame{.InfoFrame = false};

// What follows the fresh information frame a piece of a source with one starts with.
Bytes AudioBehindFreshFrame(const Bytes& Piece) {
    const int Fresh = LeadingInformationFrame(Piece);
    EXPECT_GT(Fresh, 0) << "the piece starts with no information frame";
    return Piece.substr(size_t(Fresh));
}

TEST_F(SaveSegmentTest, OneSecondFromOneSecondOnACbrFile) {
    // 39 frames (1018.77 ms) are the first sum at or past 1000 ms, both for
    // the skip to the start and for the span written.
    const Bytes Audio = Cbr128Frames(100);
    Load(Audio);
    const TSaved S = Save(1000, 2000);
    ASSERT_TRUE(S.Result);
    EXPECT_EQ(S.Output, FrameRange(Audio, 39, 39));
    EXPECT_EQ(S.ByteCount, int64_t(S.Output.size()));
    EXPECT_EQ(S.DurationMs, 1018);
}

TEST_F(SaveSegmentTest, CutsStopWhenTheSpanIsReachedOrTheAudioEnds) {
    const Bytes Audio = Cbr128Frames(20);
    Load(Audio);
    // 1 ms is reached by one frame.
    EXPECT_EQ(Save(0, 1).Output, FrameRange(Audio, 0, 1));
    // 26 ms: one frame (26.12 ms) passes it.
    EXPECT_EQ(Save(0, 26).Output, FrameRange(Audio, 0, 1));
    EXPECT_EQ(Save(0, 27).Output, FrameRange(Audio, 0, 2));
    // A span beyond the audio takes everything up to its end.
    const TSaved Tail = Save(400, 100000);
    EXPECT_TRUE(Tail.Result);
    EXPECT_EQ(Tail.Output, FrameRange(Audio, 16, 4));
    EXPECT_EQ(Tail.DurationMs, int64_t(4 * Ms128));
}

TEST_F(SaveSegmentTest, StartOnAFrameBoundaryStartsAtThatFrame) {
    const TFrameKind S48{Mpeg1, 3, 320, 48000, 0, JointStereo};  // 24 ms frames
    const Bytes Audio = Frames(S48, 10);
    Load(Audio);
    EXPECT_EQ(Save(24, 72).Output, FrameRange(Audio, 1, 2));
    EXPECT_EQ(Save(24, 72).DurationMs, 48);
    EXPECT_EQ(Save(25, 73).Output, FrameRange(Audio, 2, 2));
    EXPECT_EQ(Save(0, 24).Output, FrameRange(Audio, 0, 1));
    EXPECT_EQ(Save(0, 25).Output, FrameRange(Audio, 0, 2));
}

TEST_F(SaveSegmentTest, EmptySelectionsWriteNoFrame) {
    Load(Cbr128Frames(20) + Id3v1Tag({}));
    const std::pair<int32_t, int32_t> Ranges[] = {{300, 300}, {300, 100}, {5000, 6000}, {0, 0}};
    for (const auto& [Start, End] : Ranges) {
        const TSaved S = Save(Start, End);
        EXPECT_TRUE(S.Result) << Start << ".." << End;
        EXPECT_EQ(S.ByteCount, 0);
        EXPECT_EQ(S.DurationMs, 0);
        EXPECT_TRUE(S.Written);
        EXPECT_EQ(S.Output, "");
    }
    // With a tag requested the file holds the tag alone.
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, "TAG", 3);
    const TSaved S = Save(5000, 6000, Tag);
    EXPECT_TRUE(S.Result);
    EXPECT_EQ(S.Output.size(), 128u);
    EXPECT_EQ(S.Output.substr(0, 3), "TAG");
}

// Information frames carry no audio: never written, 0 ms in the skip and the
// copy alike, wherever the frame's kind puts the marker.
struct TInfoCase {
    const char* Name;
    TFrameKind Kind;
    const char* Marker;
    int Offset;
    bool Information;
};

class InformationFrames : public SaveSegmentTest, public testing::WithParamInterface<TInfoCase> {};

TEST_P(InformationFrames, CountNothingAndAreNotWritten) {
    const TInfoCase& C = GetParam();
    const Bytes First = InformationFrame(C.Kind, C.Marker, C.Offset);
    const Bytes Audio = Frames(C.Kind, 12);
    Load(First + Audio);
    const double Ms = FrameMs(C.Kind);
    const int Frames = C.Information ? 12 : 13;
    EXPECT_EQ(Engine.DataInfo.LengthMs, int64_t(std::trunc(Frames * Ms)));

    const TSaved All = SaveWith(NoInformationFrame, 0, INT32_MAX);
    ASSERT_TRUE(All.Result);
    EXPECT_EQ(All.Output, C.Information ? Audio : First + Audio);
    EXPECT_EQ(All.DurationMs, Engine.DataInfo.LengthMs);
    // By default a fresh information frame stands in the old one's place, and
    // only there.
    const TSaved Fresh = SaveAll();
    EXPECT_EQ(C.Information ? AudioBehindFreshFrame(Fresh.Output) : Fresh.Output, All.Output);
    EXPECT_EQ(Fresh.ByteCount, All.ByteCount);
    EXPECT_EQ(Fresh.DurationMs, All.DurationMs);

    // Starting 1 ms in skips exactly one audio frame.
    const TSaved Later = SaveWith(NoInformationFrame, 1, int32_t(1 + Ms));
    ASSERT_TRUE(Later.Result);
    EXPECT_EQ(Later.Output, C.Information ? FrameRange(Audio, 1, 1) : FrameRange(Audio, 0, 1));
}

const TFrameKind Mpeg1Mono{Mpeg1, 3, 64, 44100, 0, SingleChannel};
const TFrameKind Mpeg2Stereo{Mpeg2, 3, 64, 22050, 0, JointStereo};
const TFrameKind Mpeg2Mono{Mpeg2, 3, 64, 22050, 0, SingleChannel};
const TFrameKind Mpeg25Stereo{Mpeg25, 3, 32, 11025, 0, Stereo};
const TFrameKind Layer2{Mpeg1, 2, 128, 44100, 0, Stereo};

INSTANTIATE_TEST_SUITE_P(Kinds, InformationFrames,
                         testing::Values(TInfoCase{"XingMpeg1Stereo", Cbr128(), "Xing", 36, true},
                                         TInfoCase{"InfoMpeg1Stereo", Cbr128(), "Info", 36, true},
                                         TInfoCase{"InfoMpeg1Mono", Mpeg1Mono, "Info", 21, true},
                                         TInfoCase{"XingMpeg2Stereo", Mpeg2Stereo, "Xing", 21, true},
                                         TInfoCase{"InfoMpeg2Mono", Mpeg2Mono, "Info", 13, true},
                                         TInfoCase{"XingMpeg25Stereo", Mpeg25Stereo, "Xing", 21, true},
                                         TInfoCase{"VbriMpeg1Stereo", Cbr128(), "VBRI", 36, true},
                                         TInfoCase{"VbriMpeg2Mono", Mpeg2Mono, "VBRI", 36, true},
                                         TInfoCase{"XingLayer2", Layer2, "Xing", 36, true},
                                         // Audio bytes that happen to spell a marker elsewhere are audio.
                                         TInfoCase{"XingAt36OfMpeg1Mono", Mpeg1Mono, "Xing", 36, false},
                                         TInfoCase{"InfoAt21OfMpeg1Stereo", Cbr128(), "Info", 21, false},
                                         TInfoCase{"XingAt13OfMpeg2Stereo", Mpeg2Stereo, "Xing", 13, false}),
                         [](const testing::TestParamInfo<TInfoCase>& I) { return std::string(I.param.Name); });

// A 24-byte frame (MPEG 2, 8 kbit/s, 24 kHz) is too short to hold a record of
// its own: "VBRI" 36 bytes from its start belongs to the next frame's audio.
TEST_F(SaveSegmentTest, MarkersBeyondAShortFrameDoNotMakeItAnInformationFrame) {
    TFrameKind Short;
    Short.VersionCode = Mpeg2;
    Short.BitRateKbps = 8;
    Short.SampleRate = 24000;
    ASSERT_EQ(FrameLength(Short), 24);
    Bytes Next = Frame(Short, 0x22);
    Next.replace(12, 4, "VBRI");
    const Bytes Audio = Frame(Short) + Next + Frames(Short, 4);
    Load(Audio);
    EXPECT_EQ(Engine.DataInfo.LengthMs, int64_t(6 * FrameMs(Short)));
    const TSaved S = SaveAll();
    EXPECT_EQ(S.ByteCount, int64_t(Audio.size()));
    EXPECT_EQ(S.Output, Audio);
}

TEST_F(SaveSegmentTest, InformationFrameAheadOfTheWorkedExample) {
    const Bytes Audio = Cbr128Frames(100);
    Load(InformationFrame(Cbr128(), "Info", 36) + Audio);
    const TSaved S = Save(1000, 2000);
    EXPECT_EQ(AudioBehindFreshFrame(S.Output), FrameRange(Audio, 39, 39));
    EXPECT_EQ(S.DurationMs, 1018);
}

TEST_F(SaveSegmentTest, Id3v2TagInsideTheStreamIsSteppedOver) {
    // The tag's body looks like frames; none of it may be taken.
    Bytes Body;
    for (int I = 0; I < 50; ++I) Body += Bytes("\xFF\xFB\x90\x00", 4);
    const Bytes Tag = Id3v2TagAround(Body);
    const Bytes A = Cbr128Frames(5, 1), B = Cbr128Frames(5, 10);
    Load(A + Tag + B);
    const TSaved S = SaveAll();
    ASSERT_TRUE(S.Result);
    EXPECT_EQ(S.Output, A + B);
    EXPECT_EQ(S.DurationMs, int64_t(10 * Ms128));
    // The skip steps over it too, counting nothing for it.
    EXPECT_EQ(Save(int32_t(5 * Ms128) + 1, 100000).Output, FrameRange(B, 1, 4));
}

TEST_F(SaveSegmentTest, FourStrayBytesAreDropped) {
    const Bytes A = Cbr128Frames(3, 1), B = Cbr128Frames(3, 10);
    Load(A + "JUNK" + B + Bytes(4, '\0') + A);
    const TSaved S = SaveAll();
    EXPECT_EQ(S.Output, A + B + A);
    EXPECT_EQ(S.DurationMs, int64_t(9 * Ms128));
}

TEST_F(SaveSegmentTest, StrayBytesOutOfStepLoseNoFrame) {
    // Two stray bytes after frame 0 of 417-byte frames: the walk finds frame
    // 1 behind them, byte by byte, and takes every frame after it.
    const Bytes Audio = Frames(Cbr128(), 10);
    Load(FrameRange(Audio, 0, 1) + "??" + FrameRange(Audio, 1, 9));
    const TSaved S = SaveAll();
    ASSERT_TRUE(S.Result);
    EXPECT_EQ(S.Output, Audio);
    EXPECT_EQ(S.DurationMs, int64_t(10 * Ms128));
}

// Bytes that start with 0xFF but whose codes have no table entry are no frame
// (four stray bytes), in the copy and in the skip.
TEST_F(SaveSegmentTest, HeadersWithoutTableEntriesAreStrayBytes) {
    const Bytes A = Cbr128Frames(3, 1), B = Cbr128Frames(3, 10);
    for (const Bytes& Code : {Bytes("\xFF\xEB\x90\x00", 4), Bytes("\xFF\xF9\x90\x00", 4), Bytes("\xFF\xFB\x00\x00", 4),
                              Bytes("\xFF\xFB\xF0\x00", 4), Bytes("\xFF\xFB\x9C\x00", 4)}) {
        SCOPED_TRACE(testing::Message() << std::hex << int(uint8_t(Code[1])) << " " << int(uint8_t(Code[2])));
        Load(A + Code + B + Code);
        EXPECT_EQ(Engine.DataInfo.LengthMs, int64_t(6 * Ms128));
        const TSaved All = SaveAll();
        EXPECT_TRUE(All.Result);
        EXPECT_EQ(All.Output, A + B);
        // Start just past three frames: the skip passes frames 0-2, the code and frame 3.
        EXPECT_EQ(Save(int32_t(3 * Ms128) + 1, 100000).Output, FrameRange(B, 1, 2));
    }
}

TEST_F(SaveSegmentTest, CopyEndsAtTheTagsBehindTheAudio) {
    const Bytes Audio = Cbr128Frames(10);
    TId3v1Fields V1;
    V1.Title = "Tagged";
    for (const Bytes& Tail :
         {ApeFooter() + Id3v1Tag(V1), ApeFooter(), Id3v1Tag(V1), ApeTagWithItems() + Id3v1Tag(V1), ApeTagWithItems()}) {
        Load(Audio + Tail);
        const TSaved S = SaveAll();
        EXPECT_TRUE(S.Result);
        EXPECT_EQ(S.Output, Audio) << "tail of " << Tail.size() << " bytes";
        EXPECT_EQ(S.DurationMs, Engine.DataInfo.LengthMs);
    }
}

// A last frame cut short is common in real files: it ends the copy, it is not
// written, and saving to the end still succeeds.
TEST_F(SaveSegmentTest, ACutShortLastFrameEndsTheCopy) {
    const Bytes Audio = Cbr128Frames(10);
    const Bytes Short = Frame(Cbr128(), 0x55).substr(0, 300);
    TId3v1Fields V1;
    V1.Title = "Behind";
    const struct {
        const char* What;
        Bytes Tail;
    } Cases[] = {
        {"at the end of the file", Short},
        {"before an ID3v1 tag", Short + Id3v1Tag(V1)},
        {"before an APE footer and ID3v1 tag", Short + ApeFooter() + Id3v1Tag(V1)},
        {"a header whose frame runs into the APE items", Bytes("\xFF\xFB\x90\x00", 4) + ApeTagWithItems()},
    };
    for (const auto& C : Cases) {
        Load(Audio + C.Tail);
        EXPECT_EQ(Engine.DataInfo.LengthMs, int64_t(10 * Ms128)) << C.What;
        const TSaved S = SaveAll();
        EXPECT_TRUE(S.Result) << C.What;
        EXPECT_EQ(S.Output, Audio) << C.What;
        EXPECT_EQ(S.DurationMs, Engine.DataInfo.LengthMs) << C.What;
        EXPECT_TRUE(Save(1000, 100000).Result) << C.What;
    }
}

TEST_F(SaveSegmentTest, SaveEverythingLastsTheLength) {
    TFrameKind Big = Cbr128();
    Big.BitRateKbps = 320;
    Big.Padding = 1;
    TFrameKind Small = Cbr128();
    Small.BitRateKbps = 32;
    const Bytes Audio = Cbr128Frames(7) + Frames(Big, 5) + Frames(Small, 9);
    Load(Id3v2Tag(40) + Bytes(33, '\0') + InformationFrame(Cbr128(), "Xing", 36) + FrameRange(Audio, 0, 7) + "abcd" +
         Id3v2Tag(12) + FrameRange(Audio, 7, 14) + Frame(Big).substr(0, 500) + ApeTagWithItems() + Id3v1Tag({}));
    EXPECT_EQ(Engine.DataInfo.LengthMs, int64_t(21 * Ms128));
    const TSaved S = SaveAll();
    ASSERT_TRUE(S.Result);
    EXPECT_EQ(AudioBehindFreshFrame(S.Output), Audio);
    EXPECT_EQ(S.ByteCount, int64_t(Audio.size()));
    EXPECT_EQ(S.DurationMs, Engine.DataInfo.LengthMs);
}

TEST_F(SaveSegmentTest, TagIsWrittenInTheTrackFormOnlyWithATrack) {
    const Bytes Audio = Cbr128Frames(5);
    Load(Audio);
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, "TAG", 3);
    std::memcpy(Tag.Title, "Title", 5);
    std::memcpy(Tag.Artist, "Artist", 6);
    std::memcpy(Tag.Album, "Album", 5);
    std::memcpy(Tag.Year, "1999", 4);
    std::memcpy(Tag.Comment, "123456789012345678901234567890", 30);
    Tag.Genre = 17;
    {
        SCOPED_TRACE("track 0: all 30 comment bytes");
        const TSaved S = Save(0, 100000, Tag);
        ASSERT_EQ(S.Output.size(), Audio.size() + 128);
        EXPECT_EQ(S.ByteCount, int64_t(Audio.size()));
        EXPECT_EQ(S.Output.substr(0, Audio.size()), Audio);
        EXPECT_EQ(S.Output.substr(Audio.size()), Bytes(reinterpret_cast<const char*>(&Tag), 127) + char(17));
    }
    {
        SCOPED_TRACE("track 5: comment bytes 28 and 29 become 0 and the track");
        Tag.Track = 5;
        const TSaved S = Save(0, 100000, Tag);
        ASSERT_EQ(S.Output.size(), Audio.size() + 128);
        const Bytes T = S.Output.substr(Audio.size());
        EXPECT_EQ(T.substr(0, 125), Bytes(reinterpret_cast<const char*>(&Tag), 125));
        EXPECT_EQ(T.substr(125), Bytes("\x00\x05\x11", 3));
    }
    {
        SCOPED_TRACE("three zero bytes as header: no tag");
        Tag.Header[0] = Tag.Header[1] = Tag.Header[2] = 0;
        EXPECT_EQ(Save(0, 100000, Tag).Output, Audio);
        SCOPED_TRACE("any other header: no tag");
        std::memcpy(Tag.Header, "TAg", 3);
        EXPECT_EQ(Save(0, 100000, Tag).Output, Audio);
    }
}

// The piece is a new file, so "TAG" that happens to stand 128 bytes before
// its end is audio, and the new tag must not overwrite it.
TEST_F(SaveSegmentTest, TagIsAppendedEvenWhenTheAudioEndsLikeATag) {
    Bytes Audio = Cbr128Frames(2);
    TFrameKind Plain = Cbr128();
    Plain.Padding = false;
    Audio.replace(Audio.size() - 128, 3, "TAG");
    Load(Audio + Frame(Plain) + Frame(Plain));
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, "TAG", 3);
    const TSaved S = Save(0, 40, Tag);
    EXPECT_EQ(S.ByteCount, int64_t(Audio.size()));
    ASSERT_EQ(S.Output.size(), Audio.size() + 128);
    EXPECT_EQ(S.Output.substr(0, Audio.size()), Audio);
}

TEST_F(SaveSegmentTest, WrittenTagReadsBack) {
    Load(Cbr128Frames(30));
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, "TAG", 3);
    std::memcpy(Tag.Title, "Round trip", 10);
    std::memcpy(Tag.Comment, "twenty-eight bytes of commen", 28);
    Tag.Track = 12;
    Tag.Genre = 255;
    ASSERT_TRUE(Save(100, 400, Tag).Result);
    TVekMP3 Reader(Dir.Path("out.mp3"));
    ASSERT_TRUE(Reader.DataInfo.Valid);
    EXPECT_EQ(Reader.DataInfo.Id3v1Size, 128);
    EXPECT_EQ(Reader.DataInfo.Id3Tag.Track, 12);
    EXPECT_EQ(Reader.DataInfo.Id3Tag.Genre, 255);
    EXPECT_EQ(Bytes(Reader.DataInfo.Id3Tag.Comment, 30), Bytes(Tag.Comment, 30));
    EXPECT_EQ(Bytes(Reader.DataInfo.Id3Tag.Title, 30), Bytes(Tag.Title, 30));
    // The tag is no audio: the piece lasts what the save reported.
    EXPECT_EQ(Reader.DataInfo.LengthMs, int64_t(12 * Ms128));
}

// Linux has no share-mode locks, so the engine itself must refuse to write
// over its source under whatever name it is reached.
TEST_F(SaveSegmentTest, TargetThatIsTheSourceIsRefused) {
    Load(Cbr128Frames(20));
    fs::create_directory(Dir.Path("sub"));
    fs::create_symlink(SourceName, Dir.Path("link.mp3"));
    fs::create_hard_link(SourceName, Dir.Path("hard.mp3"));
    const std::set<std::string> Before = Entries(Dir.Dir());
    const auto SourceTime = fs::last_write_time(SourceName);

    for (const std::string& Target : {SourceName, Dir.Path("link.mp3"), Dir.Path("hard.mp3"),
                                      Dir.Path("sub/../src.mp3"), Dir.Path("./src.mp3"), Dir.Path("sub/../link.mp3")}) {
        const TSaved S = Save(0, 1000, NoTag(), Target);
        EXPECT_FALSE(S.Result) << Target;
        EXPECT_EQ(S.ByteCount, Untouched) << Target;
        EXPECT_EQ(S.DurationMs, Untouched) << Target;
        EXPECT_EQ(ReadAll(SourceName), SourceBytes) << Target;
        EXPECT_TRUE(fs::is_symlink(Dir.Path("link.mp3")));
        EXPECT_EQ(Entries(Dir.Dir()), Before) << Target;
    }
    EXPECT_EQ(fs::last_write_time(SourceName), SourceTime);

    // A name relative to the working folder.
    const fs::path Was = fs::current_path();
    fs::current_path(Dir.Dir());
    const TSaved Relative = Save(0, 1000, NoTag(), "./src.mp3");
    const TSaved Plain = Save(0, 1000, NoTag(), "src.mp3");
    fs::current_path(Was);
    EXPECT_FALSE(Relative.Result);
    EXPECT_FALSE(Plain.Result);
    EXPECT_EQ(ReadAll(SourceName), SourceBytes);
    EXPECT_EQ(Entries(Dir.Dir()), Before);
}

TEST_F(SaveSegmentTest, TargetThatCannotBeCreatedGivesFalse) {
    Load(Cbr128Frames(20));
    fs::create_directory(Dir.Path("folder"));
    const std::set<std::string> Before = Entries(Dir.Dir());
    for (const std::string& Target : {Dir.Path("missing/out.mp3"), Dir.Path("folder"), std::string()}) {
        TSaved S;
        S.Result = Engine.SaveSegment(0, 1000, Target, NoTag(), S.ByteCount, S.DurationMs);
        EXPECT_FALSE(S.Result) << Target;
        EXPECT_EQ(S.ByteCount, Untouched) << Target;
        EXPECT_EQ(Entries(Dir.Dir()), Before) << Target;
    }
    EXPECT_TRUE(fs::is_directory(Dir.Path("folder")));
    EXPECT_TRUE(fs::is_empty(Dir.Path("folder")));
}

TEST_F(SaveSegmentTest, NothingHappensWithoutAValidSource) {
    Load(Cbr128Frames(20));
    fs::remove(SourceName);
    TSaved Gone = Save(0, 1000);
    EXPECT_FALSE(Gone.Result);
    EXPECT_FALSE(Gone.Written);
    EXPECT_EQ(Gone.ByteCount, Untouched);
    EXPECT_EQ(Gone.DurationMs, Untouched);

    Engine.AnalyseFile(Dir.Write("text.mp3", "no audio here"));
    TSaved Invalid = Save(0, 1000);
    EXPECT_FALSE(Invalid.Result);
    EXPECT_FALSE(Invalid.Written);
    EXPECT_EQ(Invalid.ByteCount, Untouched);
}

TEST_F(SaveSegmentTest, ExistingTargetIsReplacedAndKeepsItsMode) {
    const Bytes Audio = Cbr128Frames(20);
    Load(Audio);
    const std::string Out = Dir.Write("out.mp3", Bytes(100000, 'o'));
    ::chmod(Out.c_str(), 0640);
    const TSaved S = Save(0, 100000);
    ASSERT_TRUE(S.Result);
    EXPECT_EQ(S.Output, Audio);
    struct stat St {};
    ASSERT_EQ(::stat(Out.c_str(), &St), 0);
    EXPECT_EQ(St.st_mode & 07777, 0640u);
    // No temporary file is left beside the target.
    EXPECT_EQ(Entries(Dir.Dir()), (std::set<std::string>{"src.mp3", "out.mp3"}));
}

TEST_F(SaveSegmentTest, TargetReachedThroughALinkIsWrittenThroughIt) {
    const Bytes Audio = Cbr128Frames(20);
    Load(Audio);
    const std::string Real = Dir.Write("real.mp3", "old");
    fs::create_symlink(Real, Dir.Path("link.mp3"));
    ASSERT_TRUE(Save(0, 100000, NoTag(), Dir.Path("link.mp3")).Result);
    EXPECT_TRUE(fs::is_symlink(Dir.Path("link.mp3")));
    EXPECT_EQ(ReadAll(Real), Audio);
}

// An error while cutting leaves an existing target as it was and no partial
// file behind: the save replaces the target only when it succeeds.
TEST_F(SaveSegmentTest, ReadErrorDuringTheCopyLeavesTheTargetAlone) {
    const Bytes Audio = Cbr128Frames(40);
    Load(Audio);
    const std::string Out = Dir.Write("out.mp3", "previous piece");
    // The source shrinks behind the engine's back, in the middle of a frame.
    TestFiles::WriteAll(SourceName, Audio.substr(0, 20 * 417 + 100));
    int64_t ByteCount = Untouched, DurationMs = Untouched;
    try {
        Engine.SaveSegment(0, 100000, Out, NoTag(), ByteCount, DurationMs);
        FAIL() << "no error raised";
    } catch (const EStreamError& E) {
        EXPECT_STREQ(E.what(), "Stream read error");
    }
    EXPECT_EQ(ReadAll(Out), "previous piece");
    EXPECT_EQ(Entries(Dir.Dir()), (std::set<std::string>{"src.mp3", "out.mp3"}));
}

}  // namespace
