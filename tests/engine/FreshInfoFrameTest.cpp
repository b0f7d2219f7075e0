// Pieces of real encoders' files with their fresh information frame: what the
// frame says against what the piece holds, the lengths players read from it
// (libmpg123, and ffprobe where it is installed), and the exact start, whose
// gapless decode must equal the source's sample for sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>
#include <unistd.h>

#include "engine/Crc16.h"
#include "engine/InfoFrame.h"
#include "engine/VekMp3.h"
#include "tests/engine/ExpectedCut.h"
#include "tests/engine/Mpg123Decode.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/ProcessRun.h"
#include "tests/support/TestFiles.h"

using namespace FrameBuilder;
using TestFiles::Fixture;
using TestFiles::ReadAll;
using TestFiles::TScratchDir;

namespace {

const uint8_t* U8(const Bytes& B) { return reinterpret_cast<const uint8_t*>(B.data()); }

std::string FindProgram(const std::string& Name) {
    std::istringstream Path(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string Dir; std::getline(Path, Dir, ':');)
        if (!Dir.empty() && ::access((Dir + "/" + Name).c_str(), X_OK) == 0) return Dir + "/" + Name;
    return "";
}

// The duration ffprobe reads, in seconds; negative when it reads none.
double FfprobeSeconds(const std::string& Ffprobe, const std::string& File) {
    const TestProcess::TRun R =
        TestProcess::Run(Ffprobe, {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", File});
    return R.ExitCode == 0 && !R.Out.empty() ? std::atof(R.Out.c_str()) : -1.0;
}

// How far back a layer III frame's main data begins (the first bits of its side information).
int MainDataBegin(const Bytes& Data, const TWalkedFrame& F) {
    const auto* H = U8(Data) + F.Offset;
    const int Side = (H[1] & 1) ? 4 : 6;
    return F.Samples == 1152 ? (H[Side] << 1 | H[Side + 1] >> 7) : H[Side];
}

struct TSourceCase {
    const char* File;
    bool HasInfo;
    bool Layer3;
};

void PrintTo(const TSourceCase& C, std::ostream* Os) { *Os << C.File; }

class FreshInfoFrame : public testing::TestWithParam<TSourceCase> {
protected:
    void SetUp() override {
        Name = Fixture(GetParam().File);
        Data = ReadAll(Name);
        Walk = WalkFrames(Data, 0, int64_t(Data.size()));
        for (const TWalkedFrame& F : Walk.Frames)
            if (!F.Information) Audio.push_back(F);
        if (GetParam().HasInfo) Source = ParseInfoFrame(U8(Data), Walk.Frames.front().Length);
        Spf = Audio.front().Samples;
        Engine.AnalyseFile(Name);
        ASSERT_TRUE(Engine.DataInfo.Valid);
    }
    struct TPiece {
        FrameBuilder::Bytes Bytes;
        int64_t ByteCount = -1, DurationMs = -1;
    };
    TPiece Save(int32_t StartMs, int32_t EndMs, const TSaveOptions& Options = {}) {
        TPiece P;
        EXPECT_TRUE(Engine.SaveSegment(StartMs, EndMs, Out, TId3v1Tag{}, P.ByteCount, P.DurationMs, Options));
        P.Bytes = ReadAll(Out);
        return P;
    }
    struct TRange {
        int32_t StartMs, EndMs;
        bool Probe;  // worth asking ffprobe too (a process each: not every range)
    };
    // Whole, first third, middle third, last third.
    std::vector<TRange> Ranges() const {
        const int32_t L = int32_t(Engine.DataInfo.LengthMs);
        return {{0, INT32_MAX, true}, {0, L / 3, false}, {L / 3, 2 * L / 3, true}, {2 * L / 3, INT32_MAX, false}};
    }
    int SourceDelay() const { return Source.Lame ? Source.Lame->Delay : 0; }
    int SourcePadding() const { return Source.Lame ? Source.Lame->Padding : 0; }

    std::string Name;
    Bytes Data;
    TWalk Walk;
    std::vector<TWalkedFrame> Audio;
    TInfoFrame Source;
    int Spf = 0;
    TVekMP3 Engine;
    TScratchDir Dir;
    const std::string Out = Dir.Path("piece.mp3");
};

TEST_P(FreshInfoFrame, TheFrameSaysWhatThePieceHolds) {
    for (const auto& [StartMs, EndMs, Probe] : Ranges()) {
        SCOPED_TRACE(testing::Message() << StartMs << ".." << EndMs);
        const TExpectedCut Want = ExpectedCut(Data, Walk, StartMs, EndMs);
        const TPiece P = Save(StartMs, EndMs);
        const int Fresh = LeadingInformationFrame(P.Bytes);
        EXPECT_EQ(P.Bytes.substr(size_t(Fresh)), Want.Data);
        EXPECT_EQ(P.ByteCount, int64_t(Want.Data.size()));
        EXPECT_EQ(P.DurationMs, Want.DurationMs);
        if (!GetParam().HasInfo && !Want.MixedBitRates) {
            EXPECT_EQ(Fresh, 0);
            continue;
        }
        ASSERT_GT(Fresh, 0);
        const TInfoFrame R = ParseInfoFrame(U8(P.Bytes), Fresh);
        EXPECT_EQ(R.Marker, Want.MixedBitRates ? TInfoMarker::Xing : TInfoMarker::Info);
        EXPECT_EQ(R.Frames, uint32_t(Want.Frames));
        EXPECT_EQ(R.Bytes, uint32_t(P.Bytes.size()));
        ASSERT_TRUE(R.Toc && R.Lame);
        // The seek table: for each percent of the time, where the frame then
        // playing starts, in 256ths of the piece.
        for (int I = 0; I < TocEntries; ++I) {
            const size_t Playing = size_t(Want.Frames * I / TocEntries);
            const double Exact = std::floor(256.0 * double(Want.Taken[Playing].Offset - Want.Taken[0].Offset + Fresh) /
                                            double(P.Bytes.size()));
            EXPECT_NEAR((*R.Toc)[size_t(I)], Exact, 1.0) << "entry " << I;
        }
        EXPECT_TRUE(std::is_sorted(R.Toc->begin(), R.Toc->end()));
        const TLameTag& L = *R.Lame;
        EXPECT_EQ(L.Encoder, Source.Lame->Encoder);
        EXPECT_TRUE(L.TagCrcMatches);
        EXPECT_EQ(L.MusicLength, P.Bytes.size());
        EXPECT_EQ(L.MusicCrc, Crc16(U8(Want.Data), Want.Data.size()));
        // The encoder's delay belongs to the first frame, its padding to the last.
        EXPECT_EQ(L.Delay, Want.FirstAudioFrame == 0 ? SourceDelay() : 0);
        EXPECT_EQ(L.Padding, Want.EndsAtLast ? SourcePadding() : 0);
    }
}

// The length a player reads before playing, and what it plays: the frames'
// samples less the delay and padding that the piece keeps.
TEST_P(FreshInfoFrame, PlayersReadTheTrueLength) {
    const std::string Ffprobe = FindProgram("ffprobe");
    for (const auto& [StartMs, EndMs, Probe] : Ranges()) {
        SCOPED_TRACE(testing::Message() << StartMs << ".." << EndMs);
        const TExpectedCut Want = ExpectedCut(Data, Walk, StartMs, EndMs);
        Save(StartMs, EndMs);
        const int64_t Delay = Want.FirstAudioFrame == 0 ? SourceDelay() : 0;
        const int64_t Padding = Want.EndsAtLast ? SourcePadding() : 0;
        const int64_t True = Want.Samples - Delay - Padding;

        const TDecodeResult Gapless = DecodeWithMpg123(Out, {.Gapless = true});
        EXPECT_EQ(Gapless.Error, "");
        EXPECT_NEAR(double(Gapless.ReportedLength), double(True), Spf);
        EXPECT_NEAR(double(Gapless.Samples), double(True), Spf);
        const TDecodeResult Plain = DecodeWithMpg123(Out);
        EXPECT_NEAR(double(Plain.ReportedLength), double(Want.Samples), GetParam().HasInfo ? 0 : Spf);
        EXPECT_EQ(Plain.Samples, Want.Samples);

        // ffprobe gives the duration of the frames, the delay and padding
        // not taken off; without an information frame it estimates it from
        // the bit rate, which is not ours to check.
        if (Ffprobe.empty() || !GetParam().HasInfo || !Probe) continue;
        EXPECT_NEAR(FfprobeSeconds(Ffprobe, Out), double(Want.Samples) / Plain.Rate, double(Spf) / Plain.Rate);
    }
    if (Ffprobe.empty()) GTEST_SKIP() << "ffprobe is not installed; libmpg123 was asked alone";
}

TEST_P(FreshInfoFrame, WithoutTheOptionThePieceHoldsTheFramesAlone) {
    const int32_t L = int32_t(Engine.DataInfo.LengthMs);
    const TPiece Default = Save(L / 3, 2 * L / 3);
    const TPiece Plain = Save(L / 3, 2 * L / 3, {.InfoFrame = false});
    EXPECT_EQ(Plain.Bytes, ExpectedCut(Data, Walk, L / 3, 2 * L / 3).Data);
    EXPECT_EQ(Default.Bytes.substr(size_t(LeadingInformationFrame(Default.Bytes))), Plain.Bytes);
    EXPECT_EQ(Plain.ByteCount, Default.ByteCount);
    EXPECT_EQ(Plain.DurationMs, Default.DurationMs);
}

// Starts on frames whose main data begins in the frame itself and on frames
// that reach back into the bit reservoir, in the middle and up to the end.
TEST_P(FreshInfoFrame, ExactStartDecodesAsTheSourceSampleForSample) {
    const int32_t L = int32_t(Engine.DataInfo.LengthMs);
    if (!GetParam().Layer3) {
        // Layer II has no reservoir, and decoders no delay for it: exact is plain.
        EXPECT_EQ(Save(L / 3, 2 * L / 3, {.Exact = true}).Bytes, Save(L / 3, 2 * L / 3).Bytes);
        return;
    }
    // The first start on its own main data, the first that reaches back, and
    // the one that reaches back furthest.
    std::set<size_t> Starts;
    size_t Furthest = 0;
    for (size_t K = 3; K + 12 < Audio.size(); ++K) {
        const int Begin = MainDataBegin(Data, Audio[K]);
        if (Starts.empty() || (Begin == 0) != (MainDataBegin(Data, Audio[*Starts.begin()]) == 0)) Starts.insert(K);
        if (Begin > MainDataBegin(Data, Audio[Furthest])) Furthest = K;
    }
    ASSERT_GT(MainDataBegin(Data, Audio[Furthest]), 0) << "no start frame reaches into the reservoir";
    Starts.insert(Furthest);

    TDecodeOptions Whole;
    Whole.KeepSamples = true;
    TDecodeOptions Trimmed = Whole;
    Trimmed.Gapless = true;
    const TDecodeResult S = DecodeWithMpg123(Name, Whole);
    ASSERT_EQ(S.Error, "");
    const std::ptrdiff_t Ch = S.Channels;
    for (size_t K : Starts) {
        const auto From = S.Pcm.begin() + std::ptrdiff_t(K) * Spf * Ch;
        // Just past the frame before: the skip ends on frame K.
        const int32_t StartMs = int32_t(std::floor(double(K) * Audio.front().Ms()));
        for (const int32_t EndMs : {StartMs + 700, INT32_MAX}) {
            SCOPED_TRACE(testing::Message() << "frame " << K << ", " << StartMs << ".." << EndMs);
            const TExpectedCut Want = ExpectedCut(Data, Walk, StartMs, EndMs);
            ASSERT_EQ(Want.FirstAudioFrame, int(K));

            const TPiece Exact = Save(StartMs, EndMs, {.Exact = true});
            const TDecodeResult P = DecodeWithMpg123(Out, Trimmed);
            ASSERT_EQ(P.Error, "");
            int64_t Samples = Want.Samples;
            if (Want.EndsAtLast) Samples = std::min(Samples, Samples - SourcePadding() + DecoderDelaySamples);
            ASSERT_EQ(P.Samples, Samples);
            EXPECT_TRUE(std::equal(P.Pcm.begin(), P.Pcm.end(), From)) << "the exact piece decodes otherwise";

            // Without it, the frames in front are not there, and the first
            // frame comes out wrong: silent, or without the overlap.
            const TPiece Rough = Save(StartMs, EndMs);
            EXPECT_EQ(Exact.DurationMs, Rough.DurationMs);
            EXPECT_GT(Exact.ByteCount, Rough.ByteCount);
            const TDecodeResult R = DecodeWithMpg123(Out, Whole);
            EXPECT_FALSE(std::equal(R.Pcm.begin(), R.Pcm.begin() + Spf * Ch, From));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FreshInfoFrame,
                         testing::Values(TSourceCase{"cbr128.mp3", true, true}, TSourceCase{"vbr.mp3", true, true},
                                         TSourceCase{"mpeg2-mono.mp3", true, true},
                                         TSourceCase{"mpeg25.mp3", true, true},
                                         TSourceCase{"layer2.mp2", false, false}),
                         [](const testing::TestParamInfo<TSourceCase>& I) {
                             std::string N = I.param.File;
                             std::replace_if(
                                 N.begin(), N.end(), [](char C) { return !std::isalnum(C); }, '_');
                             return N;
                         });

}  // namespace
