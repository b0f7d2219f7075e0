// Range playback through the engine with the silent real-time output: short ranges
// of the fixtures, so the suite stays quick.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/VekMp3.h"
#include "player/Mpg123Player.h"
#include "tests/player/PlayerTestSupport.h"

using namespace PlayerTest;
using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

namespace {

std::unique_ptr<TVekMP3> EngineFor(const std::string& Name) {
    auto Engine = std::make_unique<TVekMP3>(std::string(), CreateMediaPlayer(TAudioOutputKind::Null));
    Engine->AnalyseFile(Fixture(Name));
    return Engine;
}

TMpg123Player& PlayerOf(TVekMP3& Engine) { return dynamic_cast<TMpg123Player&>(*Engine.MediaPlayer()); }

// The time the player's range really starts at: the first frame at or after the start.
double RangeStartMs(TVekMP3& Engine) {
    TMpg123Player& P = PlayerOf(Engine);
    return P.FrameIndex()->StartOf(P.StartFrame());
}

TEST(RangePlayback, PositionsRiseFromTheStartOfTheRangeUntilTheEnd) {
    auto Engine = EngineFor("cbr128.mp3");
    ASSERT_TRUE(Engine->PlayRange(1000, 1500));
    EXPECT_FALSE(Engine->IsStopped());
    const double Start = RangeStartMs(*Engine);
    EXPECT_GE(Start, 1000.0);
    EXPECT_LT(Start, 1000.0 + 26.2);

    int64_t Last = -1;
    int64_t First = -1;
    int Samples = 0;
    const auto Deadline = TClock::now() + 5s;
    while (TClock::now() < Deadline) {
        const int64_t Pos = Engine->GetPlayPosition();
        if (Pos == -1) {
            // Only once the range has ended.
            EXPECT_TRUE(Engine->IsStopped());
            break;
        }
        EXPECT_FALSE(Engine->IsStopped() && Engine->GetPlayPosition() != -1);
        if (First < 0) First = Pos;
        EXPECT_GE(Pos, Last);
        EXPECT_GE(Pos, int64_t(Start));
        EXPECT_LE(Pos, 1500);
        Last = Pos;
        ++Samples;
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_GT(Samples, 10);
    EXPECT_LT(First, int64_t(Start) + 50);
    EXPECT_GT(Last, 1400);
    EXPECT_TRUE(Engine->IsStopped());
    EXPECT_EQ(Engine->GetPlayPosition(), -1);
    // The device stays open in the stopped mode and tells where it stopped.
    EXPECT_EQ(Engine->MediaPlayer()->Position(), 1500);
    // Until the next StopPlay.
    Engine->StopPlay();
    EXPECT_FALSE(Engine->IsStopped());
    EXPECT_EQ(Engine->GetPlayPosition(), -1);
}

TEST(RangePlayback, PositionFollowsTheWallClockWithin50MsOverTwoSeconds) {
    auto Engine = EngineFor("cbr128.mp3");
    const auto Called = TClock::now();
    ASSERT_TRUE(Engine->PlayRange(500, 2500));
    const double Start = RangeStartMs(*Engine);
    double WorstMs = 0.0;
    int Samples = 0;
    for (;;) {
        const auto Now = TClock::now();
        const int64_t Pos = Engine->GetPlayPosition();
        if (Pos < 0) break;
        const double Wall = std::chrono::duration<double, std::milli>(Now - Called).count();
        const double Expected = std::min(Start + Wall, 2500.0);
        WorstMs = std::max(WorstMs, std::abs(double(Pos) - Expected));
        ++Samples;
        std::this_thread::sleep_for(10ms);
    }
    const double Took = std::chrono::duration<double, std::milli>(TClock::now() - Called).count();
    EXPECT_GT(Samples, 50);
    EXPECT_LE(WorstMs, 50.0) << "largest gap between position and wall clock";
    // The range lasts what it holds.
    EXPECT_NEAR(Took, 2500.0 - Start, 50.0 + 15.0 /* the poll interval and the last sleep */);
    RecordProperty("WorstPositionErrorMs", std::to_string(WorstMs));
}

TEST(RangePlayback, ASecondPlayRangeReplacesTheFirst) {
    auto Engine = EngineFor("cbr128.mp3");
    ASSERT_TRUE(Engine->PlayRange(0, 3000));
    std::this_thread::sleep_for(100ms);
    const auto Second = TClock::now();
    ASSERT_TRUE(Engine->PlayRange(2000, 2300));
    const int64_t Pos = Engine->GetPlayPosition();
    EXPECT_GE(Pos, 2000);
    EXPECT_LT(Pos, 2100);
    ASSERT_TRUE(WaitFor([&] { return Engine->IsStopped(); }, 3s));
    const auto Took = TClock::now() - Second;
    // The second range (about 300 ms) ended it, not the first (3 s).
    EXPECT_LT(Took, 1500ms);
    EXPECT_GT(Took, 200ms);
}

TEST(RangePlayback, StopPlayWithNothingOpenDoesNothing) {
    TVekMP3 Engine(std::string(), CreateMediaPlayer(TAudioOutputKind::Null));
    EXPECT_NO_THROW(Engine.StopPlay());
    EXPECT_NO_THROW(Engine.StopPlay());
    EXPECT_FALSE(Engine.IsStopped());
    EXPECT_EQ(Engine.GetPlayPosition(), -1);
    // Also after an analysis, which leaves the player closed.
    Engine.AnalyseFile(Fixture("mono.mp3"));
    EXPECT_NO_THROW(Engine.StopPlay());
    EXPECT_EQ(Engine.GetPlayPosition(), -1);
}

TEST(RangePlayback, StopPlayEndsPlaybackAtOnce) {
    auto Engine = EngineFor("cbr128.mp3");
    ASSERT_TRUE(Engine->PlayRange(0, 3000));
    std::this_thread::sleep_for(50ms);
    Engine->StopPlay();
    EXPECT_EQ(Engine->GetPlayPosition(), -1);
    EXPECT_FALSE(Engine->IsStopped());
    EXPECT_EQ(Engine->MediaPlayer()->Mode(), TMPModes::mpNotReady);
}

TEST(RangePlayback, PlayRangeAfterAFailedAnalysisReturnsFalseAndOpensNothing) {
    TScratchDir Dir;
    const std::string Text = Dir.Write("not.mp3", "no frames here");
    int Calls = 0, Opens = 0;
    TVekMP3 Engine(std::string(),
                   std::make_unique<TSpyPlayer>(CreateMediaPlayer(TAudioOutputKind::Null), &Calls, &Opens));
    Engine.AnalyseFile(Fixture("mono.mp3"));
    ASSERT_TRUE(Engine.DataInfo.Valid);
    EXPECT_EQ(Opens, 1);  // the length query
    Engine.AnalyseFile(Text);
    ASSERT_FALSE(Engine.DataInfo.Valid);
    const int CallsBefore = Calls;
    EXPECT_FALSE(Engine.PlayRange(0, 1000));
    EXPECT_EQ(Calls, CallsBefore);
    EXPECT_EQ(Opens, 1);
}

TEST(RangePlayback, AStartTheDeviceRejectsLeavesItOpenAndStopped) {
    auto Engine = EngineFor("mono.mp3");
    const int64_t Length = Engine->DataInfo.LengthMs;
    EXPECT_FALSE(Engine->PlayRange(Length + 10, Length + 1000));
    EXPECT_TRUE(Engine->IsStopped());
    EXPECT_EQ(Engine->GetPlayPosition(), -1);
    // An empty range does not play either.
    EXPECT_FALSE(Engine->PlayRange(500, 500));
    EXPECT_TRUE(Engine->IsStopped());
}

TEST(RangePlayback, AnalysingAFileEndsPlayback) {
    auto Engine = EngineFor("cbr128.mp3");
    ASSERT_TRUE(Engine->PlayRange(0, 3000));
    Engine->AnalyseFile(Fixture("mono.mp3"));
    EXPECT_EQ(Engine->GetPlayPosition(), -1);
    EXPECT_FALSE(Engine->IsStopped());
    EXPECT_TRUE(Engine->PlayRange(100, 200));
    EXPECT_TRUE(WaitFor([&] { return Engine->IsStopped(); }, 3s));
}

TEST(RangePlayback, DestroyingTheEngineWhilePlayingJoinsThePlayer) {
    for (int I = 0; I < 5; ++I) {
        auto Engine = EngineFor("vbr.mp3");
        ASSERT_TRUE(Engine->PlayRange(I * 100, 2000));
        std::this_thread::sleep_for(std::chrono::milliseconds(I * 7));
        Engine.reset();
    }
}

TEST(RangePlayback, ManyQuickReplaysLeaveOnePlayback) {
    auto Engine = EngineFor("vbr.mp3");
    for (int I = 0; I < 20; ++I) ASSERT_TRUE(Engine->PlayRange(I * 50, 1900));
    const int64_t Pos = Engine->GetPlayPosition();
    EXPECT_GE(Pos, 950);
    EXPECT_TRUE(WaitFor([&] { return Engine->IsStopped(); }, 3s));
}

TEST(RangePlayback, ModeAndPositionMayBeAskedWhileThePlayerRuns) {
    auto Engine = EngineFor("mpeg25.mp3");
    ASSERT_TRUE(Engine->PlayRange(0, 400));
    const auto Deadline = TClock::now() + 3s;
    int64_t Polls = 0;
    while (!Engine->IsStopped() && TClock::now() < Deadline) {
        Engine->GetPlayPosition();
        Engine->MediaPlayer()->Mode();
        ++Polls;
    }
    EXPECT_TRUE(Engine->IsStopped());
    EXPECT_GT(Polls, 100);
}

// Without a working sound output files still open, measure and cut; only
// playing raises the device error, and it names the cause.
TEST(MediaPlayerErrors, AnOutputThatCannotBeOpenedFailsPlayNotTheAnalysis) {
    TAudioOutput Output;
    Output.Kind = TAudioOutputKind::Auto;
    Output.Drivers = "no-such-driver";
    TVekMP3 Engine(std::string(), CreateMediaPlayer(Output));
    Engine.AnalyseFile(Fixture("mono.mp3"));
    EXPECT_TRUE(Engine.DataInfo.Valid);
    EXPECT_GT(Engine.DataInfo.LengthMs, 0);
    try {
        Engine.PlayRange(0, 500);
        FAIL() << "no device error";
    } catch (const EMediaPlayerError& E) {
        EXPECT_NE(std::string(E.what()).find("no-such-driver"), std::string::npos) << E.what();
    }
    EXPECT_EQ(Engine.GetPlayPosition(), -1);
}

TEST(MediaPlayerErrors, AFileThatCannotBeOpenedRaisesTheDeviceError) {
    auto Player = CreateMediaPlayer(TAudioOutputKind::Null);
    Player->SetFileName("/nonexistent/folder/x.mp3");
    EXPECT_THROW(Player->Open(), EMediaPlayerError);
    EXPECT_EQ(Player->Mode(), TMPModes::mpNotReady);
    EXPECT_THROW(Player->Play(), EMediaPlayerError);
}

TEST(MediaPlayerErrors, OutputKindsAreNamedAsTheCommandLineSpellsThem) {
    TAudioOutputKind Kind = TAudioOutputKind::Auto;
    EXPECT_TRUE(AudioOutputKindFromName("null", Kind));
    EXPECT_EQ(Kind, TAudioOutputKind::Null);
    EXPECT_TRUE(AudioOutputKindFromName("auto", Kind));
    EXPECT_EQ(Kind, TAudioOutputKind::Auto);
    EXPECT_FALSE(AudioOutputKindFromName("alsa", Kind));
}

}  // namespace
