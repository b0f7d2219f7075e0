// segmora-cli join and fix: their reports, the tags a join takes from its
// first file, what they refuse, and the lengths ffprobe reads of their files.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/Id3v2Tag.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/TestFiles.h"

using nlohmann::json;
using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

// The length ffprobe reads, in seconds; the test is skipped without it.
double FfprobeSeconds(const std::string& File) {
    if (!std::filesystem::exists("/usr/bin/ffprobe")) return -1.0;
    const TCliRun R = TestProcess::Run("/usr/bin/ffprobe",
                                       {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", File});
    return R.ExitCode == 0 ? std::atof(R.Out.c_str()) : -2.0;
}

constexpr double FrameSeconds = 1152.0 / 44100;

TEST(CliJoin, TakesTheFirstFilesTagsAndRefusesWhatItCannotJoin) {
    TestFiles::TScratchDir Dir;
    const std::string Out = Dir.Path("out.mp3");
    const TCliRun R = RunCli({"join", Fixture("cover.mp3"), Fixture("mono.mp3"), "-o", Out, "--json"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;
    const json J = json::parse(R.Out);
    EXPECT_EQ(J["FileBytes"], ReadAll(Out).size());
    ASSERT_EQ(J["Joints"].size(), 1u);
    const double Seconds = FfprobeSeconds(Out);
    if (Seconds != -1.0) {
        EXPECT_NEAR(Seconds, J["Frames"].get<double>() * FrameSeconds, FrameSeconds);
    }
    const TId3v2Tag Tag = TId3v2Tag::Read(Out);
    EXPECT_EQ(Tag.Pictures().size(), 1u);
    EXPECT_EQ(ReadAll(Out).substr(ReadAll(Out).size() - 128, 3), "TAG");

    const std::string Joined = ReadAll(Out);
    const TCliRun Kept = RunCli({"join", Fixture("mono.mp3"), Fixture("mono.mp3"), "-o", Out, "--json"});
    EXPECT_EQ(Kept.ExitCode, 1);
    EXPECT_EQ(json::parse(Kept.Out)["Reason"]["Code"], "TargetExists");
    EXPECT_TRUE(ReadAll(Out) == Joined);

    ASSERT_EQ(RunCli({"join", Fixture("cover.mp3"), Fixture("mono.mp3"), "-o", Out, "--no-tags", "-y"}).ExitCode, 0);
    EXPECT_NE(ReadAll(Out).substr(0, 3), "ID3");
    EXPECT_NE(ReadAll(Out).substr(ReadAll(Out).size() - 128, 3), "TAG");

    const TCliRun Other = RunCli({"join", Fixture("cbr128.mp3"), Fixture("mono.mp3"), "-o", Dir.Path("x.mp3")});
    EXPECT_EQ(Other.ExitCode, 1);
    EXPECT_NE(Other.Err.find("mono.mp3\" does not match \"" + Fixture("cbr128.mp3") + "\": mono, not stereo"),
              std::string::npos)
        << Other.Err;
    EXPECT_EQ(RunCli({"join", Out, Fixture("mono.mp3"), "-o", Out, "-y"}).ExitCode, 2);
    EXPECT_EQ(Dir.Entries(), std::set<std::string>{"out.mp3"});
}

TEST(CliFix, DryRunThenInPlaceThenNothingLeftToFix) {
    TestFiles::TScratchDir Dir;
    const std::string Cbr = ReadAll(Fixture("cbr128.mp3"));
    const std::string Stale = Dir.Write("stale.mp3", Cbr + Cbr);

    const TCliRun Dry = RunCli({"fix", Stale, "--dry-run", "--json"});
    EXPECT_EQ(Dry.ExitCode, 1) << Dry.Err;
    const json J = json::parse(Dry.Out);
    EXPECT_EQ(J["DryRun"], true);
    EXPECT_EQ(J["NeedsFix"], true);
    EXPECT_EQ(J["InformationFrame"]["State"], "Stale");
    EXPECT_EQ(J["InnerInformationFrames"], 1);
    EXPECT_TRUE(ReadAll(Stale) == Cbr + Cbr);

    Dir.Write("taken.mp3", "x");
    EXPECT_EQ(RunCli({"fix", Stale, "-o", Dir.Path("taken.mp3")}).ExitCode, 1);
    const TCliRun Fixed = RunCli({"fix", Stale});
    ASSERT_EQ(Fixed.ExitCode, 0) << Fixed.Err;
    EXPECT_NE(Fixed.Out.find("Fixed: " + Stale), std::string::npos) << Fixed.Out;
    const TCliRun Again = RunCli({"fix", Stale, "--dry-run"});
    EXPECT_EQ(Again.ExitCode, 0);
    EXPECT_NE(Again.Out.find("Nothing to fix"), std::string::npos) << Again.Out;
    const double Seconds = FfprobeSeconds(Stale);
    if (Seconds != -1.0) {
        EXPECT_NEAR(Seconds, J["Frames"].get<double>() * FrameSeconds, FrameSeconds);
    }
    EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"stale.mp3", "taken.mp3"}));
}

}  // namespace
