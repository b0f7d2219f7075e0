// The player's time scale is the engine's: its length is the engine's
// LengthMs on every fixture, its frames are the frames the decoder decodes,
// and the frame it starts a range with is the one a cut starts with.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "player/Mp3FrameIndex.h"
#include "player/Mpg123Player.h"
#include "tests/player/PlayerTestSupport.h"

using namespace PlayerTest;

namespace {

TEST(PlayerLength, FixturesArePresent) { EXPECT_GE(AllFixtures().size(), 10u); }

// Exact agreement: both sides add the same doubles (samples * 1000.0 / rate
// per audio frame) in the same order and truncate.
TEST(PlayerLength, EqualsTheEnginesLengthOnEveryFixture) {
    for (const std::string& File : AllFixtures()) {
        SCOPED_TRACE(File);
        TVekMP3 Engine(std::string(), CreateMediaPlayer(TAudioOutputKind::Null));
        Engine.AnalyseFile(File);
        ASSERT_TRUE(Engine.DataInfo.Valid);
        TMediaPlayer* Player = Engine.MediaPlayer();
        Player->SetFileName(File);
        Player->SetTimeFormat(TMPTimeFormats::tfMilliseconds);
        Player->Open();
        EXPECT_GT(Player->Length(), 0);
        EXPECT_EQ(int64_t(Player->Length()), Engine.DataInfo.LengthMs);
        Player->Close();
    }
}

// The frames the index counts are the frames libmpg123 decodes (gapless
// trimming off, information frame not counted): the same number of samples.
TEST(PlayerLength, IndexedSamplesAreTheDecodersSamplesOnEveryFixture) {
    for (const std::string& File : AllFixtures()) {
        SCOPED_TRACE(File);
        TFileStream Stream(File, TFileMode::fmOpenRead);
        const TMp3FrameIndex Index = TMp3FrameIndex::Build(Stream);
        ASSERT_GT(Index.Count(), 0u);
        int64_t Samples = 0;
        for (const TMp3IndexedFrame& F : Index.Frames()) Samples += F.Samples;
        const TMp3IndexedFrame& First = Index.Frames().front();
        const TPcm Pcm = DecodeFile(File, First.SampleRate, First.Mono ? 1 : 2);
        EXPECT_EQ(int64_t(Pcm.Frames()), Samples);
        // Milliseconds and samples are one scale.
        EXPECT_NEAR(Index.TotalMs(), Samples * 1000.0 / First.SampleRate, 1e-6);
    }
}

TEST(FrameIndex, TheFirstFrameAtOrAfterATimeIsTheOneACutStartsWith) {
    // cbr128.mp3: 1152 samples at 44100 Hz, 26.1224... ms a frame, after an Info frame.
    TFileStream Stream(Fixture("cbr128.mp3"), TFileMode::fmOpenRead);
    const TMp3FrameIndex Index = TMp3FrameIndex::Build(Stream);
    ASSERT_GT(Index.Count(), 100u);
    EXPECT_EQ(Index.FirstFrameAtOrAfter(0), 0u);
    EXPECT_EQ(Index.FirstFrameAtOrAfter(-5), 0u);
    EXPECT_EQ(Index.FirstFrameAtOrAfter(1), 1u);
    // 39 frames are 1018.77 ms, the first sum at or past 1000.
    EXPECT_EQ(Index.FirstFrameAtOrAfter(1000), 39u);
    EXPECT_NEAR(Index.StartOf(39), 39 * 1152 * 1000.0 / 44100, 1e-9);
    // A time exactly on a frame start starts at that frame.
    EXPECT_EQ(Index.FirstFrameAtOrAfter(Index.StartOf(50)), 50u);
    EXPECT_EQ(Index.FirstFrameAtOrAfter(Index.TotalMs() + 1), Index.Count());
}

TEST(FrameIndex, AFileWithoutFramesHasNone) {
    TScratchDir Dir;
    const std::string File = Dir.Write("text.mp3", "this is no MP3 file at all, just text");
    TFileStream Stream(File, TFileMode::fmOpenRead);
    const TMp3FrameIndex Index = TMp3FrameIndex::Build(Stream);
    EXPECT_EQ(Index.Count(), 0u);
    EXPECT_EQ(Index.LengthMs(), 0);
}

}  // namespace
