// segmora-cli gain and the fades of cut and split: their reports, the way
// back to the very bytes, what they refuse, and what ffmpeg makes of their files.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/cli/CliProcess.h"
#include "tests/support/TestFiles.h"

using nlohmann::json;
using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

// What ffmpeg complains of decoding File, its CRCs checked; empty without ffmpeg.
std::string FfmpegErrors(const std::string& File) {
    if (!std::filesystem::exists("/usr/bin/ffmpeg")) return "";
    const TCliRun R =
        TestProcess::Run("/usr/bin/ffmpeg", {"-v", "error", "-err_detect", "crccheck", "-i", File, "-f", "null", "-"});
    return R.Err + (R.ExitCode == 0 ? "" : " (exit " + std::to_string(R.ExitCode) + ")");
}

std::string CodeOf(const TCliRun& R) { return json::parse(R.Out)["Reason"]["Code"]; }

TEST(CliGain, ChangesInPlaceUndoesAndRefuses) {
    TestFiles::TScratchDir Dir;
    const std::string Original = ReadAll(Fixture("crc.mp3"));
    const std::string File = Dir.Write("song.mp3", Original), Out = Dir.Path("out.mp3");

    TCliRun R = RunCli({"gain", File, "--db", "-3", "--undo-info", "--json"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;
    const json J = json::parse(R.Out);
    EXPECT_EQ(J["Steps"], -2);
    EXPECT_EQ(J["Db"], -3.01);
    EXPECT_EQ(J["UndoRecord"], true);
    EXPECT_EQ(J["FileBytes"], ReadAll(File).size());
    EXPECT_FALSE(ReadAll(File) == Original);
    EXPECT_EQ(FfmpegErrors(File), "");

    R = RunCli({"gain", File, "--db", "3", "--start", "1s", "--json"});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_EQ(CodeOf(R), "UndoRecordDiffers");
    R = RunCli({"gain", File, "--undo"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_NE(R.Out.find("Undone: +3.0 dB (2 steps of 1.5 dB)"), std::string::npos) << R.Out;
    EXPECT_TRUE(ReadAll(File) == Original);

    // Without a record, the opposite change; OUT is kept without -y.
    ASSERT_EQ(RunCli({"gain", File, "--db", "-3", "-o", Out}).ExitCode, 0);
    EXPECT_EQ(RunCli({"gain", File, "--db", "3", "-o", Out}).ExitCode, 1);
    ASSERT_EQ(RunCli({"gain", Out, "--db", "+3"}).ExitCode, 0);
    EXPECT_TRUE(ReadAll(Out) == Original);

    R = RunCli({"gain", Fixture("layer2.mp2"), "--db", "3", "-o", Dir.Path("x.mp3"), "--json"});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_EQ(CodeOf(R), "GainUnchangeable");
    EXPECT_NE(R.Err.find("layer2.mp2\" cannot change without re-encoding"), std::string::npos) << R.Err;
    R = RunCli({"gain", File, "--undo", "--json"});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_EQ(CodeOf(R), "NoUndoRecord");
    EXPECT_EQ(RunCli({"gain", File, "--db", "0.5"}).ExitCode, 2);
    EXPECT_EQ(RunCli({"gain", File, "--db", "3", "--undo"}).ExitCode, 2);
    EXPECT_EQ(RunCli({"gain", File}).ExitCode, 2);
    EXPECT_TRUE(ReadAll(File) == Original);
    EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"song.mp3", "out.mp3"}));
}

TEST(CliFades, CutAndSplitFadeLayerThreeAndRefuseTheRest) {
    TestFiles::TScratchDir Dir;
    const std::string Source = Fixture("cbr128.mp3");
    ASSERT_EQ(RunCli({"cut", Source, Dir.Path("plain.mp3"), "--start", "0.5s", "--end", "2.5s"}).ExitCode, 0);
    const TCliRun Cut = RunCli({"cut", Source, Dir.Path("faded.mp3"), "--start", "0.5s", "--end", "2.5s", "--fade-in",
                                "1s", "--fade-out", "500ms", "--exact"});
    ASSERT_EQ(Cut.ExitCode, 0) << Cut.Err;
    EXPECT_EQ(FfmpegErrors(Dir.Path("faded.mp3")), "");
    ASSERT_EQ(RunCli({"split", Source, "--parts", "2", "--fade-out", "300ms", "--output-dir", Dir.Path("d")}).ExitCode,
              0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path("d")), {}), 2);

    TCliRun R = RunCli(
        {"split", Fixture("layer2.mp2"), "--parts", "2", "--fade-in", "1s", "--json", "--output-dir", Dir.Path("e")});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_EQ(CodeOf(R), "GainUnchangeable");
    R = RunCli({"cut", Fixture("free-format.mp3"), Dir.Path("x.mp3"), "--start", "0", "--end", "1s", "--fade-out",
                "200ms", "--json"});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_EQ(CodeOf(R), "GainUnchangeable");
    EXPECT_EQ(RunCli({"cut", Source, Dir.Path("x.mp3"), "--start", "0", "--end", "1s", "--fade-in", "soon"}).ExitCode,
              2);
    EXPECT_EQ(Dir.Entries(), (std::set<std::string>{"plain.mp3", "faded.mp3", "d"}));
}

}  // namespace
