// Exact pieces join without a seam: a chain of them, each decoded gaplessly
// by libmpg123 and the decodes joined, is the source's gapless decode.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "engine/VekMp3.h"
#include "tests/engine/Mpg123Decode.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

namespace {

struct TJointCase {
    const char* File;
    bool DropInfoFrame;  // the source's information frame cut off first
    // libmpg123 rounds by how many frames it decoded, and decodes at most four
    // in front of a gapless start: in MPEG 2 and 2.5 a few samples may differ.
    int Rounded;
};

class SeamlessJoints : public testing::TestWithParam<TJointCase> {};

TEST_P(SeamlessJoints, ExactPiecesJoinIntoTheSource) {
    const TJointCase& C = GetParam();
    TestFiles::TScratchDir Dir;
    std::string Source = TestFiles::Fixture(C.File);
    const TestFiles::Bytes Whole = TestFiles::ReadAll(Source);
    if (C.DropInfoFrame)
        Source = Dir.Write("plain.mp3", Whole.substr(size_t(FrameBuilder::LeadingInformationFrame(Whole))));
    TVekMP3 Engine(Source);
    const int64_t L = Engine.DataInfo.LengthMs;
    const TDecodeOptions Gapless{.Gapless = true, .KeepSamples = true};
    const std::vector<int16_t> Want = DecodeWithMpg123(Source, Gapless).Pcm;
    std::vector<int16_t> Joined;
    TPieceChain Saved, Measured;
    for (int K = 0; K < 5; ++K) {
        const std::string Piece = Dir.Path("p" + std::to_string(K) + ".mp3");
        const auto Start = int32_t(L * K / 5), End = K < 4 ? int32_t(L * (K + 1) / 5) : INT32_MAX;
        int64_t Bytes = 0, Ms = 0, Foretold = 0;
        ASSERT_TRUE(Engine.SaveSegment(Start, End, Piece, TId3v1Tag{}, Bytes, Ms, {.Exact = true, .Chain = &Saved}));
        EXPECT_TRUE(Engine.MeasureSegment(Start, End, Foretold, Ms, &Measured, true) && Foretold == Bytes) << K;
        const TDecodeResult Got = DecodeWithMpg123(Piece, Gapless);
        Joined.insert(Joined.end(), Got.Pcm.begin(), Got.Pcm.end());
    }
    ASSERT_EQ(Joined.size(), Want.size());
    int Rounded = 0;
    for (size_t I = 0; I < Joined.size(); ++I) {
        ASSERT_LE(std::abs(Joined[I] - Want[I]), 1) << "sample " << I;
        Rounded += Joined[I] != Want[I];
    }
    EXPECT_LE(Rounded, C.Rounded);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, SeamlessJoints,
                         testing::Values(TJointCase{"cbr128.mp3", false, 0}, TJointCase{"cbr128.mp3", true, 0},
                                         TJointCase{"mono.mp3", false, 0}, TJointCase{"crc.mp3", false, 0},
                                         TJointCase{"mpeg2-mono.mp3", false, 16}, TJointCase{"mpeg25.mp3", true, 16},
                                         TJointCase{"mpeg2-mono-vbr.mp3", false, 16},
                                         TJointCase{"free-format.mp3", false, 16}));

}  // namespace
