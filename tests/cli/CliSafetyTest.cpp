// segmora-cli with bad input and faults: files that are no regular files,
// the longest file name, a report nobody can read, a write that fails, and
// signals in the middle of a cut.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/cli/CliProcess.h"
#include "tests/support/FrameBuilder.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

class CliSafety : public testing::Test {
protected:
    CliSafety() {
        Source = Path("song.mp3");
        fs::copy_file(Fixture("cbr128.mp3"), Source);
    }
    std::string Path(const std::string& Name) const { return Dir.Path(Name); }
    std::set<std::string> Entries() const {
        std::set<std::string> Names;
        for (const auto& E : fs::directory_iterator(Dir.Dir())) Names.insert(E.path().filename().string());
        return Names;
    }
    TCliRun Cli(const std::vector<std::string>& Args, TestProcess::TRunOptions Options = {}) {
        Options.Locale = "en_US.UTF-8";
        return TestProcess::Run(SEGMORA_CLI, Args, Options);
    }
    TestFiles::TScratchDir Dir;
    std::string Source;
};

TEST_F(CliSafety, FifosAndDevicesAreRefused) {
    const std::string Fifo = Path("pipe");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    // As the target: refused before anything is written, and named.
    for (const std::string& Target : {Fifo, std::string("/dev/null")}) {
        const TCliRun R = Cli({"cut", Source, Target, "--start", "0", "--end", "1000"});
        EXPECT_EQ(R.ExitCode, 1) << Target;
        EXPECT_EQ(R.Err,
                  "segmora-cli: Not saved: \"" + Target + "\" is not a regular file (a FIFO, device or socket)\n");
    }
    EXPECT_TRUE(fs::is_fifo(Fifo));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    // As the source: refused at once instead of waiting for a writer.
    for (const std::vector<std::string>& Args : {std::vector<std::string>{"info", Fifo},
                                                 {"cut", Fifo, Path("o.mp3"), "--start", "0", "--end", "1000"},
                                                 {"play", Fifo, "--output", "null"}}) {
        const TCliRun R = Cli(Args);
        EXPECT_EQ(R.ExitCode, 3) << Args[0];
        EXPECT_NE(R.Err.find("\"" + Fifo + "\". Not a regular file"), std::string::npos) << R.Err;
    }
    EXPECT_EQ(Entries(), (std::set<std::string>{"song.mp3", "pipe"}));
}

TEST_F(CliSafety, TheLongestFileNameIsATarget) {
    const std::string Name(255, 'n');
    const TCliRun R = Cli({"cut", Source, Path(Name), "--start", "0", "--end", "1000"});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(Entries(), (std::set<std::string>{"song.mp3", Name}));
}

// A report that does not reach its reader fails the command: a full disk,
// and a pipe nobody reads (the write fails instead of SIGPIPE ending it).
TEST_F(CliSafety, AReportThatCannotBeWrittenExits3) {
    TestProcess::TRunOptions Full;
    Full.StdoutFile = "/dev/full";
    TCliRun R = Cli({"info", Source, "--json"}, Full);
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_NE(R.Err.find("No space left on device"), std::string::npos) << R.Err;

    TestProcess::TRunOptions Closed;
    Closed.StdoutClosedPipe = true;
    R = Cli({"info", Source}, Closed);
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_NE(R.Err.find("Broken pipe"), std::string::npos) << R.Err;
    // The piece is saved; only its report is lost.
    R = Cli({"cut", Source, Path("o.mp3"), "--start", "0", "--end", "1000"}, Closed);
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_TRUE(fs::exists(Path("o.mp3")));
}

// The file size limit stands for a full disk: the write fails (SIGXFSZ does
// not end the program), the message names the file and the reason, and the
// old target stays.
TEST_F(CliSafety, AWriteErrorNamesTheFileAndTheReason) {
    const std::string Out = Dir.Write("out.mp3", "previous piece");
    TestProcess::TRunOptions Limited;
    Limited.FileSizeLimit = 4096;
    const TCliRun R = Cli({"cut", Source, Out, "--start", "0", "--end", "100000", "-y"}, Limited);
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_EQ(R.Err, "segmora-cli: Stream write error \"" + fs::canonical(Out).string() + "\". File too large\n");
    EXPECT_EQ(ReadAll(Out), "previous piece");
    EXPECT_EQ(Entries(), (std::set<std::string>{"song.mp3", "out.mp3"}));
}

// The same for a long cut, whose frames are written on a thread of their own
// while the walk goes on: the failure reaches the command all the same.
TEST_F(CliSafety, AWriteErrorBehindTheWalkNamesTheFileAndTheReason) {
    const std::string Frame = FrameBuilder::Frame(FrameBuilder::Cbr128());
    std::string Long;
    for (int I = 0; I < 8000; ++I) Long += Frame;
    const std::string Source3M = Dir.Write("long.mp3", Long);
    const std::string Out = Dir.Write("out.mp3", "previous piece");
    TestProcess::TRunOptions Limited;
    Limited.FileSizeLimit = 1536 * 1024;
    const TCliRun R = Cli({"cut", Source3M, Out, "--start", "0", "--end", "2147483647", "-y"}, Limited);
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_EQ(R.Err, "segmora-cli: Stream write error \"" + fs::canonical(Out).string() + "\". File too large\n");
    EXPECT_EQ(ReadAll(Out), "previous piece");
    EXPECT_EQ(Entries(), (std::set<std::string>{"song.mp3", "long.mp3", "out.mp3"}));
}

// Whether the child holds a file of the scratch folder other than Except open
// (the piece being written; unnamed, it shows as "#<inode> (deleted)").
bool WritesInto(pid_t Child, const fs::path& Folder, const std::string& Except) {
    std::error_code Ec;
    for (const auto& Fd : fs::directory_iterator("/proc/" + std::to_string(Child) + "/fd", Ec)) {
        const std::string Target = fs::read_symlink(Fd.path(), Ec).string();
        if (!Ec && Target.rfind(Folder.string() + "/", 0) == 0 && Target != Except) return true;
    }
    return false;
}

// INT, TERM and HUP in the middle of a long cut: the process ends as the
// signal ends it (130, 143, 129 to a shell) and leaves the old target as it
// was and nothing beside it.
TEST_F(CliSafety, SignalsInTheMiddleOfACutLeaveNothingBehind) {
    // About 40 MB of frames: long enough to be caught in the middle.
    const std::string Frame = FrameBuilder::Frame(FrameBuilder::Cbr128());
    std::string Big;
    Big.reserve(Frame.size() * 100000);
    for (int I = 0; I < 100000; ++I) Big += Frame;
    const std::string Long = Dir.Write("long.mp3", Big);
    Big.clear();
    const std::string Out = Dir.Write("out.mp3", "previous piece");
    for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
        TestProcess::TRunOptions Options;
        bool Caught = false;
        Options.WhileRunning = [&](pid_t Child) {
            for (;;) {
                siginfo_t Info{};
                // Still running (and left to be waited for by the runner)?
                if (::waitid(P_PID, id_t(Child), &Info, WEXITED | WNOHANG | WNOWAIT) != 0 || Info.si_pid != 0) return;
                if (WritesInto(Child, Dir.Dir(), Long)) {
                    ::kill(Child, Signal);
                    Caught = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        };
        const TCliRun R = Cli({"cut", Long, Out, "--start", "0", "--end", "2147483647", "-y"}, Options);
        ASSERT_TRUE(Caught) << "the cut ended before it could be interrupted";
        EXPECT_EQ(R.ExitCode, 128 + Signal);
        EXPECT_EQ(ReadAll(Out), "previous piece");
        EXPECT_EQ(Entries(), (std::set<std::string>{"song.mp3", "long.mp3", "out.mp3"}));
    }
}

TEST_F(CliSafety, TrackNumbersOutOfRangeAreUsageErrors) {
    for (const char* Track : {"256", "-1", "abc", "1.5"}) {
        const TCliRun R =
            Cli({"cut", Source, Path("o.mp3"), "--start", "0", "--end", "1000", "--tag", "--track", Track});
        EXPECT_EQ(R.ExitCode, 2) << Track;
        EXPECT_NE(R.Err.find("--track"), std::string::npos) << R.Err;
    }
    EXPECT_FALSE(fs::exists(Path("o.mp3")));
}

}  // namespace
