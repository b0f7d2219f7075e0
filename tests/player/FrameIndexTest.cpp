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
#include "tests/support/FrameBuilder.h"

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

// The compact index gives back exactly what the frame walk found: every
// offset, length and kind, and start times equal to the walk's own sums, over
// many blocks, across stray bytes, a tag in the stream and changes of the
// kind of frame; a time finds the frame a bisection over those sums finds.
TEST(FrameIndex, HoldsExactlyWhatTheWalkFound) {
    using namespace FrameBuilder;
    TFrameKind Mono = Cbr128();
    Mono.ChannelMode = SingleChannel;
    TFrameKind Mpeg2 = Cbr128();
    Mpeg2.VersionCode = FrameBuilder::Mpeg2;
    Mpeg2.SampleRate = 22050;
    Mpeg2.BitRateKbps = 64;
    Bytes Stream = Frames(Cbr128(), 150);
    Stream += "junk";  // four stray bytes
    Stream += Frames(Mono, 70);
    Stream += Id3v2Tag(100);
    Stream += Frames(Mpeg2, 63);
    Stream += Frame(Cbr128());
    Stream += Frames(Mpeg2, 200);
    TScratchDir Dir;
    const std::string File = Dir.Write("mixed.mp3", Stream);

    TFileStream Source(File, TFileMode::fmOpenRead);
    TMp3DataInfo Layout;
    AnalyseLayout(Source, Layout);
    std::vector<TMp3IndexedFrame> Walked;
    double Sum = 0.0;
    const double Total = WalkAudioFrames(Source, Layout, [&](int64_t Offset, const TFrameHeader& F) {
        Walked.push_back({Offset, Sum, uint16_t(F.Length), uint16_t(F.Samples), uint16_t(F.SampleRate), F.Mono});
        Sum += F.DurationMs;
    });
    ASSERT_EQ(Walked.size(), 150u + 70 + 63 + 1 + 200);

    const TMp3FrameIndex Index = TMp3FrameIndex::Build(Source);
    ASSERT_EQ(Index.Count(), Walked.size());
    EXPECT_EQ(Index.TotalMs(), Total);
    auto Same = [](const TMp3IndexedFrame& A, const TMp3IndexedFrame& B) {
        return A.Offset == B.Offset && A.StartMs == B.StartMs && A.Length == B.Length && A.Samples == B.Samples &&
               A.SampleRate == B.SampleRate && A.Mono == B.Mono;
    };
    size_t I = 0;
    for (const TMp3IndexedFrame& F : Index.Frames()) {
        ASSERT_TRUE(Same(F, Walked[I])) << "in order, frame " << I;
        ASSERT_TRUE(Same(Index.Frames()[I], Walked[I])) << "by number, frame " << I;
        ++I;
    }
    EXPECT_EQ(I, Walked.size());
    auto Reference = [&](double Ms) {
        return size_t(std::lower_bound(Walked.begin(), Walked.end(), Ms,
                                       [](const TMp3IndexedFrame& F, double V) { return F.StartMs < V; }) -
                      Walked.begin());
    };
    for (size_t N = 0; N < Walked.size(); ++N)
        for (double Ms : {Walked[N].StartMs, std::nextafter(Walked[N].StartMs, 0.0), Walked[N].StartMs + 0.5})
            ASSERT_EQ(Index.FirstFrameAtOrAfter(Ms), Reference(Ms)) << Ms;
    EXPECT_EQ(Index.FirstFrameAtOrAfter(Total), Reference(Total));
    // A few bytes a frame, not a record of its own for each.
    EXPECT_LT(Index.MemoryBytes(), Walked.size() * 8 + 2048);
}

}  // namespace
