// segmora-cli play with the silent output.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/player/PlayerTestSupport.h"

using namespace PlayerTest;

namespace {

struct TRun {
    int ExitCode = -1;
    std::string Out, Err;
};

// Runs segmora-cli with Args; when InterruptAfter is positive, sends SIGINT
// after that time.
TRun RunCli(const std::vector<std::string>& Args, std::chrono::milliseconds InterruptAfter = {}) {
    TScratchDir Dir;
    const std::string OutFile = Dir.File("out"), ErrFile = Dir.File("err");
    // Everything the child needs is made before the fork.
    std::string Cli = SEGMORA_CLI;
    std::vector<std::string> Copy = Args;
    std::vector<char*> Argv;
    Argv.push_back(Cli.data());
    for (std::string& A : Copy) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        const int O = ::open(OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int E = ::open(ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(O, 1);
        ::dup2(E, 2);
        ::execv(Argv[0], Argv.data());
        ::_exit(127);
    }
    if (InterruptAfter.count() > 0) {
        std::this_thread::sleep_for(InterruptAfter);
        ::kill(Pid, SIGINT);
    }
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    TRun R;
    R.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    auto Slurp = [](const std::string& F) {
        std::string S;
        if (FILE* In = std::fopen(F.c_str(), "rb")) {
            char Buf[4096];
            size_t N;
            while ((N = std::fread(Buf, 1, sizeof Buf, In)) > 0) S.append(Buf, N);
            std::fclose(In);
        }
        return S;
    };
    R.Out = Slurp(OutFile);
    R.Err = Slurp(ErrFile);
    return R;
}

std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> L;
    size_t At = 0;
    while (At < Text.size()) {
        const size_t End = Text.find('\n', At);
        L.push_back(Text.substr(At, End == std::string::npos ? std::string::npos : End - At));
        if (End == std::string::npos) break;
        At = End + 1;
    }
    return L;
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
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--from", "1.5s", "--output", "null"}).ExitCode, 2);
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--from", "900", "--to", "800", "--output", "null"}).ExitCode, 2);
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--output", "speaker"}).ExitCode, 2);
}

TEST(CliPlay, NegativeResultsAndErrorsHaveTheirExitCodes) {
    TScratchDir Dir;
    const std::string Text = Dir.File("text.mp3");
    if (FILE* F = std::fopen(Text.c_str(), "wb")) {
        std::fputs("not an mp3 file", F);
        std::fclose(F);
    }
    const TRun NotMp3 = RunCli({"play", Text, "--output", "null"});
    EXPECT_EQ(NotMp3.ExitCode, 1);
    EXPECT_NE(NotMp3.Out.find("not an MP3 file"), std::string::npos);
    EXPECT_EQ(RunCli({"play", Fixture("mono.mp3"), "--from", "99000", "--output", "null"}).ExitCode, 1);
    const TRun Missing = RunCli({"play", Dir.File("missing.mp3"), "--output", "null"});
    EXPECT_EQ(Missing.ExitCode, 3);
    EXPECT_NE(Missing.Err.find("missing.mp3"), std::string::npos) << Missing.Err;
}

}  // namespace
