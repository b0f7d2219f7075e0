// segmora-cli play with the silent output.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "tests/player/PlayerTestSupport.h"
#include "tests/support/ProcessRun.h"

using namespace PlayerTest;

namespace {

using TestProcess::Lines;
using TRun = TestProcess::TRun;

// Runs segmora-cli with Args; when InterruptAfter is positive, sends SIGINT
// after that time.
TRun RunCli(const std::vector<std::string>& Args, std::chrono::milliseconds InterruptAfter = {}) {
    TestProcess::TRunOptions Options;
    Options.InterruptAfter = InterruptAfter;
    return TestProcess::Run(SEGMORA_CLI, Args, Options);
}

TEST(CliPlay, PlaysARangeAndPrintsThePositionAndTheEnd) {
    const TRun R =
        RunCli({"play", Fixture("cbr128.mp3"), "--from", "500", "--to", "000:00:01.600", "--output", "null"});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    const std::vector<std::string> L = Lines(R.Out);
    ASSERT_GE(L.size(), 4u) << R.Out;
    EXPECT_EQ(L.front(), "Playing 000:00:00.500 to 000:00:01.600 (Ctrl-C stops)");
    EXPECT_EQ(L.back(), "End: 000:00:01.600");
    // About four positions a second in between, rising, as time codes.
    const std::regex Code(R"(\d{3}:\d{2}:\d{2}\.\d{3})");
    int Positions = 0;
    std::string Previous;
    for (size_t I = 1; I + 1 < L.size(); ++I) {
        EXPECT_TRUE(std::regex_match(L[I], Code)) << L[I];
        EXPECT_GT(L[I], Previous);
        Previous = L[I];
        ++Positions;
    }
    EXPECT_GE(Positions, 3);
    EXPECT_LE(Positions, 5);
    EXPECT_TRUE(R.Err.empty()) << R.Err;
}

TEST(CliPlay, CtrlCStopsCleanly) {
    const TRun R = RunCli({"play", Fixture("cbr128.mp3"), "--output", "null"}, std::chrono::milliseconds(600));
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    const std::vector<std::string> L = Lines(R.Out);
    ASSERT_FALSE(L.empty());
    EXPECT_EQ(L.back().rfind("Stopped: 000:00:00.", 0), 0u) << R.Out;
}

TEST(CliPlay, WrongArgumentsAreUsageErrors) {
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--from", "1.5x", "--output", "null"}).ExitCode, 2);
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--from", "900", "--to", "800", "--output", "null"}).ExitCode, 2);
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--output", "speaker"}).ExitCode, 2);
}

TEST(CliPlay, NegativeResultsAndErrorsHaveTheirExitCodes) {
    TScratchDir Dir;
    const std::string Text = Dir.Write("text.mp3", "not an mp3 file");
    const TRun NotMp3 = RunCli({"play", Text, "--output", "null"});
    EXPECT_EQ(NotMp3.ExitCode, 1);
    EXPECT_NE(NotMp3.Err.find("not an MP3 file"), std::string::npos);
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--from", "99000", "--output", "null"}).ExitCode, 1);
    const TRun Missing = RunCli({"play", Dir.Path("missing.mp3"), "--output", "null"});
    EXPECT_EQ(Missing.ExitCode, 3);
    EXPECT_NE(Missing.Err.find("missing.mp3"), std::string::npos) << Missing.Err;
}

}  // namespace
