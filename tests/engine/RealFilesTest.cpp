// The engine on files made by real encoders: the analysis must agree with
// what the encoder wrote, and every cut must play in a real decoder with
// exactly the samples of the frames it holds.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "engine/VekMp3.h"
#include "tests/engine/ExpectedCut.h"
#include "tests/engine/Mpg123Decode.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::Fixture;
using TestFiles::ReadAll;
using TestFiles::TScratchDir;

namespace {

struct TFixtureCase {
    const char* File;
    double Version;
    int Layer, BitRate, SampleRate;
    bool Mono, Vbr;
    int FrameSize, Id3v2Size, ZeroPadding, Id3v1Size, ApeSize;
};

void PrintTo(const TFixtureCase& C, std::ostream* Os) { *Os << C.File; }

std::string CaseName(const testing::TestParamInfo<TFixtureCase>& I) {
    std::string N = I.param.File;
    for (char& C : N)
        if (!isalnum(static_cast<unsigned char>(C))) C = '_';
    return N;
}

// What the encoders wrote (see tests/fixtures/make-fixtures.sh).
const TFixtureCase Fixtures[] = {
    {"cbr128.mp3", 1.0, 3, 128, 44100, false, false, 417, 0, 0, 0, 0},
    {"vbr.mp3", 1.0, 3, 128, 44100, false, true, 417, 0, 0, 0, 0},
    {"mpeg2-mono.mp3", 2.0, 3, 64, 22050, true, false, 208, 0, 0, 0, 0},
    {"mpeg25.mp3", 2.5, 3, 32, 11025, false, false, 208, 0, 0, 0, 0},
    {"layer2.mp2", 1.0, 2, 128, 44100, false, false, 417, 0, 0, 0, 0},
    {"mono.mp3", 1.0, 3, 64, 44100, true, false, 208, 0, 0, 0, 0},
    {"id3v2.mp3", 1.0, 3, 64, 44100, true, false, 208, 267, 0, 0, 0},
    {"id3v2-zeros.mp3", 1.0, 3, 64, 44100, true, false, 208, 267, 100, 0, 0},
    {"id3v1.mp3", 1.0, 3, 64, 44100, true, false, 208, 0, 0, 128, 0},
    {"id3v1-0.mp3", 1.0, 3, 64, 44100, true, false, 208, 0, 0, 128, 0},
    {"ape-id3v1.mp3", 1.0, 3, 64, 44100, true, false, 208, 0, 0, 128, 32},
    {"ape.mp3", 1.0, 3, 64, 44100, true, false, 208, 0, 0, 0, 32},
    {"all-tags.mp3", 1.0, 3, 64, 44100, true, false, 208, 267, 100, 128, 32},
};

// The frames of a fixture as an independent walk finds them.
TWalk FixtureFrames(const Bytes& Data, const TFixtureCase& C) {
    const int64_t From = C.Id3v2Size + C.ZeroPadding;
    return WalkFrames(Data, From, int64_t(Data.size()) - C.Id3v1Size - C.ApeSize);
}

int64_t AudioLengthMs(const TWalk& W) {
    double Ms = 0;
    for (const auto& F : W.Frames)
        if (!F.Information) Ms += F.Ms();
    return int64_t(std::trunc(Ms));
}

class RealFile : public testing::TestWithParam<TFixtureCase> {
protected:
    void SetUp() override {
        Name = Fixture(GetParam().File);
        Data = ReadAll(Name);
        Walk = FixtureFrames(Data, GetParam());
        Engine.AnalyseFile(Name);
    }
    std::string Name;
    Bytes Data;
    TWalk Walk;
    TVekMP3 Engine;
    TScratchDir Dir;
};

TEST_P(RealFile, AnalysisAgreesWithTheEncoder) {
    const TFixtureCase& C = GetParam();
    const TMp3DataInfo& D = Engine.DataInfo;
    ASSERT_TRUE(D.Valid);
    EXPECT_EQ(D.FileSize, int64_t(Data.size()));
    EXPECT_EQ(D.Version, C.Version);
    EXPECT_EQ(D.Layer, C.Layer);
    EXPECT_EQ(D.BitRate, C.BitRate);
    EXPECT_EQ(D.SampleRate, C.SampleRate);
    EXPECT_EQ(D.Mono, C.Mono);
    EXPECT_EQ(D.Vbr, C.Vbr);
    EXPECT_EQ(D.FrameSize, C.FrameSize);
    EXPECT_EQ(D.Id3v2Size, C.Id3v2Size);
    EXPECT_EQ(D.ZeroPadding, C.ZeroPadding);
    EXPECT_EQ(D.Id3v1Size, C.Id3v1Size);
    EXPECT_EQ(D.ApeSize, C.ApeSize);
    ASSERT_GT(Walk.Frames.size(), 20u);
    EXPECT_EQ(D.LengthMs, AudioLengthMs(Walk));
}

TEST_P(RealFile, EveryCutDecodesToTheSamplesOfItsFrames) {
    const int64_t L = Engine.DataInfo.LengthMs;
    const std::pair<int32_t, int32_t> Ranges[] = {
        {0, INT32_MAX},
        {0, 500},
        {500, 1000},
        {1000, 1001},
        {int32_t(L / 3), int32_t(2 * L / 3)},
        {int32_t(L - 300), int32_t(L)},
        {int32_t(L - 1), int32_t(L + 1000)},
    };
    for (const auto& [StartMs, EndMs] : Ranges) {
        SCOPED_TRACE(testing::Message() << StartMs << ".." << EndMs);
        const TExpectedCut Want = ExpectedCut(Data, Walk, StartMs, EndMs);
        const std::string Out = Dir.Path("cut.mp3");
        int64_t ByteCount = -1, DurationMs = -1;
        ASSERT_TRUE(Engine.SaveSegment(StartMs, EndMs, Out, TId3v1Tag{}, ByteCount, DurationMs));
        const Bytes Piece = ReadAll(Out);
        // A fresh information frame leads the piece when the source had one
        // or the piece's bit rates differ; the frames behind it are copies.
        const int Fresh = LeadingInformationFrame(Piece);
        EXPECT_EQ(Fresh > 0, Want.Frames > 0 && (Walk.Frames.front().Information || Want.MixedBitRates));
        const Bytes Got = Piece.substr(size_t(Fresh));
        EXPECT_EQ(Got.size(), Want.Data.size());
        EXPECT_TRUE(Got == Want.Data) << "the cut is not the expected run of source frames";
        EXPECT_EQ(ByteCount, int64_t(Got.size()));
        EXPECT_EQ(DurationMs, Want.DurationMs);
        // libmpg123 confirms a first header by the next one, so it plays no
        // one-frame stream at all; such cuts are checked by their bytes only.
        if (Want.Frames < 2) continue;
        const TDecodeResult R = DecodeWithMpg123(Out);
        EXPECT_EQ(R.Error, "");
        EXPECT_EQ(R.Rate, GetParam().SampleRate);
        EXPECT_EQ(R.Samples, Want.Samples) << Want.Frames << " frames written";
    }
}

TEST_P(RealFile, SavingEverythingLastsTheLength) {
    int64_t ByteCount = 0, DurationMs = 0;
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, "TAG", 3);
    std::memcpy(Tag.Title, "Whole", 5);
    Tag.Track = 3;
    Tag.Genre = 255;
    const std::string Out = Dir.Path("all.mp3");
    ASSERT_TRUE(Engine.SaveSegment(0, INT32_MAX, Out, Tag, ByteCount, DurationMs));
    EXPECT_EQ(DurationMs, Engine.DataInfo.LengthMs);
    EXPECT_EQ(int64_t(std::filesystem::file_size(Out)), LeadingInformationFrame(ReadAll(Out)) + ByteCount + 128);

    // The piece, analysed again, is as long as the engine said it would be,
    // and a decoder plays all of it despite the new tag at its end. Its
    // information frame is "Xing" where the source's was.
    TVekMP3 Piece(Out);
    EXPECT_TRUE(Piece.DataInfo.Valid);
    EXPECT_EQ(Piece.DataInfo.Vbr, GetParam().Vbr);
    // The first header of a constant-rate piece tells its bit rate.
    std::set<int> Rates;
    for (const auto& F : Walk.Frames)
        if (!F.Information) Rates.insert(F.BitRateKbps);
    if (Rates.size() == 1) {
        EXPECT_EQ(Piece.DataInfo.BitRate, *Rates.begin());
    }
    EXPECT_EQ(Piece.DataInfo.Id3v1Size, 128);
    EXPECT_EQ(Piece.DataInfo.LengthMs, DurationMs);
    const TDecodeResult R = DecodeWithMpg123(Out);
    EXPECT_EQ(R.Error, "");
    int64_t Samples = 0;
    for (const auto& F : Walk.Frames)
        if (!F.Information) Samples += F.Samples;
    EXPECT_EQ(R.Samples, Samples);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealFile, testing::ValuesIn(Fixtures), CaseName);

TEST(RealFileTags, Id3v1TagsAsWritten) {
    TVekMP3 V11(Fixture("id3v1.mp3"));
    ASSERT_EQ(V11.DataInfo.Id3v1Size, 128);
    EXPECT_EQ(Bytes(V11.DataInfo.Id3Tag.Title, 18), Bytes("Segmora Test Tone\0", 18));
    EXPECT_EQ(Bytes(V11.DataInfo.Id3Tag.Comment, 14), Bytes("Caf\xe9 au lait\0", 14));
    EXPECT_EQ(V11.DataInfo.Id3Tag.Track, 7);
    EXPECT_EQ(V11.DataInfo.Id3Tag.Genre, 17);

    TVekMP3 V10(Fixture("id3v1-0.mp3"));
    ASSERT_EQ(V10.DataInfo.Id3v1Size, 128);
    EXPECT_EQ(Bytes(V10.DataInfo.Id3Tag.Title, 30), "A title of exactly thirty byte");
    EXPECT_EQ(Bytes(V10.DataInfo.Id3Tag.Comment, 30), "A comment of exactly 30 bytes!");
    EXPECT_EQ(V10.DataInfo.Id3Tag.Track, 0);
    EXPECT_EQ(V10.DataInfo.Id3Tag.Genre, 255);
}

// A real file whose end was lost (a download cut short): its length and a save
// to the end leave out the broken last frame and still succeed.
TEST(RealFileTruncated, LastFrameCutShort) {
    TScratchDir Dir;
    const Bytes Whole = ReadAll(Fixture("vbr.mp3"));
    const TWalk W = WalkFrames(Whole, 0, int64_t(Whole.size()));
    ASSERT_TRUE(W.Clean);
    const TWalkedFrame& Last = W.Frames.back();
    const std::string Name = Dir.Write("cut-short.mp3", Whole.substr(0, size_t(Last.Offset + Last.Length / 2)));
    TVekMP3 Engine(Name);
    ASSERT_TRUE(Engine.DataInfo.Valid);
    double Ms = 0;
    for (size_t I = 1; I + 1 < W.Frames.size(); ++I) Ms += W.Frames[I].Ms();
    EXPECT_EQ(Engine.DataInfo.LengthMs, int64_t(std::trunc(Ms)));
    int64_t ByteCount = 0, DurationMs = 0;
    ASSERT_TRUE(Engine.SaveSegment(0, INT32_MAX, Dir.Path("out.mp3"), TId3v1Tag{}, ByteCount, DurationMs));
    EXPECT_EQ(DurationMs, Engine.DataInfo.LengthMs);
    EXPECT_EQ(ByteCount, Last.Offset - W.Frames[1].Offset);
    const TDecodeResult R = DecodeWithMpg123(Dir.Path("out.mp3"));
    EXPECT_EQ(R.Error, "");
    EXPECT_EQ(R.Samples, int64_t(W.Frames.size() - 2) * 1152);
}

}  // namespace
