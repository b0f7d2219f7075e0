// Analysis of built files: the first header, the tags around the audio, the
// length walk, and files that are no MP3.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/VekMp3.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::TScratchDir;

namespace {

// What the analysis takes from the first frame header.
struct TFirstFrame {
    double Version;
    int Layer, BitRate, SampleRate, FrameSize, Padding;
    bool Mono;
};

void ExpectFirstFrame(const TMp3DataInfo& D, const TFirstFrame& F) {
    EXPECT_EQ(D.Version, F.Version);
    EXPECT_EQ(D.Layer, F.Layer);
    EXPECT_EQ(D.BitRate, F.BitRate);
    EXPECT_EQ(D.SampleRate, F.SampleRate);
    EXPECT_EQ(D.FrameSize, F.FrameSize);
    EXPECT_EQ(D.Padding, F.Padding);
    EXPECT_EQ(D.Mono, F.Mono);
}

class AnalyseFileTest : public testing::Test {
protected:
    const TMp3DataInfo& Analyse(const Bytes& Data) {
        Engine.AnalyseFile(Dir.Write("in.mp3", Data));
        return Engine.DataInfo;
    }
    TScratchDir Dir;
    TVekMP3 Engine;
};

TEST_F(AnalyseFileTest, PlainCbrFile) {
    Bytes Data = Frames(Cbr128(), 100);
    const TMp3DataInfo& D = Analyse(Data);
    ASSERT_TRUE(D.Valid);
    EXPECT_EQ(D.FileName, Dir.Path("in.mp3"));
    EXPECT_EQ(D.FileSize, 41700);
    ExpectFirstFrame(D, {1.0, 3, 128, 44100, 417, 0, false});
    EXPECT_FALSE(D.Vbr);
    EXPECT_EQ(D.Id3v1Size, 0);
    EXPECT_EQ(D.Id3v2Size, 0);
    EXPECT_EQ(D.ApeSize, 0);
    EXPECT_EQ(D.ZeroPadding, 0);
    EXPECT_EQ(D.LengthMs, 2612);  // Trunc(100 * 26.1224...)
}

TEST_F(AnalyseFileTest, FirstFrameDecidesTheInformation) {
    TFrameKind Padded = Cbr128();
    Padded.Padding = 1;
    TFrameKind Mono = Cbr128();
    Mono.BitRateKbps = 64;
    Mono.ChannelMode = SingleChannel;
    const TMp3DataInfo& D = Analyse(Frame(Padded) + Frames(Mono, 10));
    ASSERT_TRUE(D.Valid);
    EXPECT_EQ(D.FrameSize, 418);
    EXPECT_EQ(D.Padding, 1);
    EXPECT_EQ(D.BitRate, 128);
    EXPECT_FALSE(D.Mono);
}

TEST_F(AnalyseFileTest, Mpeg25FirstFrame) {
    TFrameKind S{Mpeg25, 3, 8, 8000, 0, SingleChannel};
    const TMp3DataInfo& D = Analyse(Frames(S, 5));
    ASSERT_TRUE(D.Valid);
    ExpectFirstFrame(D, {2.5, 3, 8, 8000, 72, 0, true});
    EXPECT_EQ(D.LengthMs, 360);
    // 360 bytes cannot hold an ID3v1 tag and hold none.
    EXPECT_EQ(D.Id3v1Size, 0);
}

// "Xing" at frame offset 36 marks the file as VBR; no other marker or offset does.
TEST_F(AnalyseFileTest, VbrIsXingAtOffset36Only) {
    TFrameKind Mono = Cbr128();
    Mono.ChannelMode = SingleChannel;
    TFrameKind Mpeg2Mono{Mpeg2, 3, 64, 22050, 0, SingleChannel};
    struct {
        Bytes First;
        bool Vbr;
    } Cases[] = {
        {InformationFrame(Cbr128(), "Xing", 36), true},   {InformationFrame(Cbr128(), "Info", 36), false},
        {InformationFrame(Cbr128(), "VBRI", 36), false},  {InformationFrame(Mono, "Xing", 21), false},
        {InformationFrame(Mpeg2Mono, "Xing", 13), false},
    };
    for (const auto& C : Cases) {
        const TMp3DataInfo& D = Analyse(C.First + Frames(Cbr128(), 3));
        ASSERT_TRUE(D.Valid);
        EXPECT_EQ(D.Vbr, C.Vbr) << C.First.substr(36, 4);
    }
}

TEST_F(AnalyseFileTest, Id3v2SyncsafeSizeAndZeroPadding) {
    // Size bytes 00 00 02 01: 2 * 128 + 1 = 257, whole tag 267.
    Bytes Tag = Id3v2Tag(257);
    ASSERT_EQ(Tag.substr(6, 4), Bytes("\x00\x00\x02\x01", 4));
    {
        const TMp3DataInfo& D = Analyse(Tag + Frames(Cbr128(), 10));
        ASSERT_TRUE(D.Valid);
        EXPECT_EQ(D.Id3v2Size, 267);
        EXPECT_EQ(D.ZeroPadding, 0);
        EXPECT_EQ(D.BitRate, 128);
        EXPECT_EQ(D.LengthMs, 261);
    }
    {
        const TMp3DataInfo& D = Analyse(Tag + Bytes(100, '\0') + Frames(Cbr128(), 10));
        ASSERT_TRUE(D.Valid);
        EXPECT_EQ(D.Id3v2Size, 267);
        EXPECT_EQ(D.ZeroPadding, 100);
        EXPECT_EQ(D.LengthMs, 261);
    }
    {
        // The top bit of each size byte is discarded.
        Bytes Odd = Tag;
        Odd[6] = char(0x80);
        Odd[8] = char(0x82);
        const TMp3DataInfo& D = Analyse(Odd + Frames(Cbr128(), 2));
        ASSERT_TRUE(D.Valid);
        EXPECT_EQ(D.Id3v2Size, 267);
    }
}

TEST_F(AnalyseFileTest, NotAnMp3) {
    const Bytes Audio = Frames(Cbr128(), 4);
    const struct {
        const char* Why;
        Bytes Data;
    } Cases[] = {
        {"empty file", ""},
        {"three bytes", Bytes("\xFF\xFB\x90", 3)},
        {"leading zero bytes without an ID3v2 tag", Bytes(10, '\0') + Audio},
        {"two ID3v2 tags in a row", Id3v2Tag(20) + Id3v2Tag(20) + Audio},
        {"ID3v2.4 footer is not skipped", Id3v2Tag(20, 0x10, 4) + "3DI" + Bytes(7, '\x01') + Audio},
        {"ID3v2 size beyond the end", Id3v2Tag(20).substr(0, 6) + Syncsafe(1000000) + Audio},
        {"only zeros after the ID3v2 tag", Id3v2Tag(20) + Bytes(50, '\0')},
        {"ID3v2 tag then fewer than 4 header bytes", Id3v2Tag(20) + Bytes("\xFF\xFB", 2)},
        {"truncated ID3v2 header", Bytes("ID3\x03\x00", 5)},
        {"reserved version code", Bytes("\xFF\xEB\x90\x00", 4) + Audio},
        {"reserved layer code", Bytes("\xFF\xF9\x90\x00", 4) + Audio},
        {"free-format bit rate", Bytes("\xFF\xFB\x00\x00", 4) + Audio},
        {"bit-rate index 15", Bytes("\xFF\xFB\xF0\x00", 4) + Audio},
        {"reserved sample rate", Bytes("\xFF\xFB\x9C\x00", 4) + Audio},
        {"text file", "Hello, this is no audio at all.\n"},
    };
    for (const auto& C : Cases) {
        const TMp3DataInfo& D = Analyse(C.Data);
        EXPECT_FALSE(D.Valid) << C.Why;
        EXPECT_EQ(D.LengthMs, 0) << C.Why;
        EXPECT_EQ(D.FileSize, int64_t(C.Data.size())) << C.Why;
    }
}

TEST_F(AnalyseFileTest, AnInvalidFileClearsWhatAValidOneLeft) {
    TId3v1Fields T;
    T.Title = "Old";
    ASSERT_TRUE(Analyse(Frames(Cbr128(), 10) + Id3v1Tag(T)).Valid);
    ASSERT_EQ(Engine.DataInfo.Id3v1Size, 128);
    const TMp3DataInfo& D = Analyse("not audio");
    EXPECT_FALSE(D.Valid);
    EXPECT_EQ(D.BitRate, 0);
    EXPECT_EQ(D.SampleRate, 0);
    EXPECT_EQ(D.LengthMs, 0);
    EXPECT_EQ(D.Id3v1Size, 0);
    EXPECT_EQ(D.Version, 0.0);
}

TEST_F(AnalyseFileTest, ANewFileWithoutTagDropsTheOldTag) {
    TId3v1Fields T;
    T.Title = "Old";
    ASSERT_EQ(Analyse(Frames(Cbr128(), 10) + Id3v1Tag(T)).Id3v1Size, 128);
    const TMp3DataInfo& D = Analyse(Frames(Cbr128(), 10));
    EXPECT_TRUE(D.Valid);
    EXPECT_EQ(D.Id3v1Size, 0);
}

TEST_F(AnalyseFileTest, Id3v1TrackForms) {
    TId3v1Fields T;
    T.Title = "Title";
    T.Artist = "Artist";
    T.Album = "Album";
    T.Year = "2001";
    T.Genre = 17;
    Bytes Text28 = "Comment of twenty-eight byte";
    ASSERT_EQ(Text28.size(), 28u);
    const Bytes Audio = Frames(Cbr128(), 5);
    {
        SCOPED_TRACE("ID3v1.1 with track 7");
        T.Comment = Text28 + '\0' + '\x07';
        const TMp3DataInfo& D = Analyse(Audio + Id3v1Tag(T));
        ASSERT_EQ(D.Id3v1Size, 128);
        EXPECT_EQ(D.Id3Tag.Track, 7);
        EXPECT_EQ(Bytes(D.Id3Tag.Comment, 30), Text28 + Bytes(2, '\0'));
        EXPECT_EQ(Bytes(D.Id3Tag.Header, 3), "TAG");
        EXPECT_EQ(Bytes(D.Id3Tag.Title, 6), Bytes("Title\0", 6));
        EXPECT_EQ(Bytes(D.Id3Tag.Artist, 7), Bytes("Artist\0", 7));
        EXPECT_EQ(Bytes(D.Id3Tag.Album, 6), Bytes("Album\0", 6));
        EXPECT_EQ(Bytes(D.Id3Tag.Year, 4), "2001");
        EXPECT_EQ(D.Id3Tag.Genre, 17);
        EXPECT_STREQ(Id3Genres[D.Id3Tag.Genre], "Rock");
    }
    {
        SCOPED_TRACE("comment bytes 28 and 29 both zero");
        T.Comment = Text28 + Bytes(2, '\0');
        const TMp3DataInfo& D = Analyse(Audio + Id3v1Tag(T));
        EXPECT_EQ(D.Id3Tag.Track, 0);
        EXPECT_EQ(Bytes(D.Id3Tag.Comment, 30), Text28 + Bytes(2, '\0'));
    }
    {
        SCOPED_TRACE("ID3v1.0: comment byte 28 not zero");
        T.Comment = "A comment of exactly 30 bytes!";
        T.Genre = 255;
        const TMp3DataInfo& D = Analyse(Audio + Id3v1Tag(T));
        EXPECT_EQ(D.Id3Tag.Track, 0);
        EXPECT_EQ(Bytes(D.Id3Tag.Comment, 30), T.Comment);
        EXPECT_EQ(D.Id3Tag.Genre, 255);
    }
    {
        SCOPED_TRACE("ID3v1.0 whose last comment byte is not zero");
        T.Comment = Bytes("Short\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0X\x09", 30);
        const TMp3DataInfo& D = Analyse(Audio + Id3v1Tag(T));
        EXPECT_EQ(D.Id3Tag.Track, 0);
        EXPECT_EQ(Bytes(D.Id3Tag.Comment, 30), T.Comment);
    }
}

TEST_F(AnalyseFileTest, ApeFooterPlaces) {
    const Bytes Audio = Frames(Cbr128(), 5);
    const Bytes V1 = Id3v1Tag({});
    Bytes Ape131 = ApeFooter(67) + Bytes(67, 'i') + ApeFooter(67);
    Ape131[23] = char(0xA0);  // the first footer is the header
    const struct {
        const char* Where;
        Bytes Data;
        int Id3v1Size, ApeSize;
    } Cases[] = {
        {"before the ID3v1 tag", Audio + ApeFooter() + V1, 128, 32},
        {"alone at the end", Audio + ApeFooter(), 0, 32},
        {"with items longer than the footer", Audio + ApeTagWithItems() + V1, 128, 32},
        {"at the end behind an ID3v1 tag", Audio + V1 + ApeFooter(), 0, 32},
        {"none", Audio + V1, 128, 0},
        {"at the end, its header's \"TAG\" 128 bytes before it", Audio + Ape131, 0, 32},
        {"footer too far before the ID3v1 tag", Audio + ApeFooter() + Bytes(96, 'z') + V1, 128, 0},
    };
    for (const auto& C : Cases) {
        const TMp3DataInfo& D = Analyse(C.Data);
        ASSERT_TRUE(D.Valid) << C.Where;
        EXPECT_EQ(D.Id3v1Size, C.Id3v1Size) << C.Where;
        EXPECT_EQ(D.ApeSize, C.ApeSize) << C.Where;
    }
}

// The length is what a cut of the whole file would write: information frames,
// ID3v2 tags inside the stream, stray bytes and a cut-short last frame add nothing.
TEST_F(AnalyseFileTest, LengthCountsOnlyWholeAudioFrames) {
    TFrameKind Vbr = Cbr128();
    TFrameKind Big = Cbr128();
    Big.BitRateKbps = 320;
    Big.Padding = 1;
    Bytes Data = InformationFrame(Cbr128(), "Xing", 36) + Frames(Cbr128(), 10) + Id3v2Tag(100) + "JUNK" +
                 Frames(Big, 7) + Frame(Vbr).substr(0, 200);
    TId3v1Fields T;
    Data += ApeFooter() + Id3v1Tag(T);
    const TMp3DataInfo& D = Analyse(Data);
    ASSERT_TRUE(D.Valid);
    EXPECT_TRUE(D.Vbr);
    EXPECT_EQ(D.LengthMs, int64_t(std::trunc(17 * 1152000.0 / 44100)));
}

TEST(AnalyseFileErrors, MissingFileRaisesAnOpenErrorNamingIt) {
    TScratchDir Dir;
    TVekMP3 Engine;
    const std::string Name = Dir.Path("no-such-file.mp3");
    try {
        Engine.AnalyseFile(Name);
        FAIL() << "no exception";
    } catch (const EFOpenError& E) {
        EXPECT_NE(std::string(E.what()).find(Name), std::string::npos) << E.what();
        EXPECT_NE(std::string(E.what()).find("No such file"), std::string::npos) << E.what();
    }
    EXPECT_EQ(Engine.DataInfo.FileName, Name);
    EXPECT_FALSE(Engine.DataInfo.Valid);
}

TEST(AnalyseFileErrors, ConstructorAnalysesOnlyAnExistingFile) {
    TScratchDir Dir;
    {
        TVekMP3 Engine(Dir.Write("a.mp3", Frames(Cbr128(), 3)));
        EXPECT_TRUE(Engine.DataInfo.Valid);
    }
    {
        TVekMP3 Engine(Dir.Path("missing.mp3"));
        EXPECT_FALSE(Engine.DataInfo.Valid);
        EXPECT_EQ(Engine.MediaPlayer(), nullptr);
    }
}

}  // namespace
