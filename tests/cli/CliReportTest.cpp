// What each command reports where: results on stdout, every error, warning
// and note on stderr after "segmora-cli: ", the exit status, and the JSON
// objects (keys, failure objects), one scenario per command.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/Version.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/TestFiles.h"

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;
using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

std::vector<std::string> Keys(const json& J) {
    std::vector<std::string> K;
    for (auto It = J.begin(); It != J.end(); ++It) K.push_back(It.key());
    return K;
}

void ExpectFailure(const TCliRun& R, int Exit, const std::string& Code, const std::string& Said) {
    EXPECT_EQ(R.ExitCode, Exit) << R.Err;
    EXPECT_EQ(R.Err.rfind("segmora-cli: ", 0), 0u) << R.Err;
    EXPECT_NE(R.Err.find(Said), std::string::npos) << R.Err;
    const json J = json::parse(R.Out);
    EXPECT_EQ(Keys(J), (std::vector<std::string>{"Result", "Reason"}));
    EXPECT_EQ(J["Result"], false);
    EXPECT_EQ(J["Reason"]["Code"], Code);
    EXPECT_NE(J["Reason"]["Text"].get<std::string>().find(Said), std::string::npos);
}

TEST(CliReport, Cut) {
    TestFiles::TScratchDir Dir;
    const std::string Source = Dir.Write("song.mp3", ReadAll(Fixture("cbr128.mp3")));
    const std::string Target = Dir.Write("piece.mp3", "an older piece");
    const auto Cut = [&](const std::string& Start, const std::string& End, std::vector<std::string> More = {}) {
        std::vector<std::string> Args = {"cut", Source, Target, "--start", Start, "--end", End, "--json"};
        Args.insert(Args.end(), More.begin(), More.end());
        return RunCli(Args);
    };
    // An existing file is kept unless told otherwise.
    TCliRun R = Cut("0", "1s");
    ExpectFailure(R, 1, "TargetExists", "\"" + Target + "\" exists already (--overwrite or -y replaces it)");
    EXPECT_EQ(R.Err.rfind("segmora-cli: Not saved: ", 0), 0u) << R.Err;
    EXPECT_EQ(ReadAll(Target), "an older piece");

    // Past the end of the audio: saved to its end, with a note.
    R = Cut("2:00", "1:00:00", {"-y"});
    ExpectFailure(R, 1, "NothingToSave", "would start after the end of the audio");
    R = Cut("0:02.5", "1h", {"--overwrite"});
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    EXPECT_EQ(R.Err, "segmora-cli: --end 1h lies beyond the end of the audio: the piece runs to its end\n");
    const json J = json::parse(R.Out);
    EXPECT_EQ(Keys(J), (std::vector<std::string>{"Result", "Name", "ByteCount", "FileBytes", "DurationMs"}));
    EXPECT_EQ(J["Name"], Target);
    EXPECT_EQ(J["FileBytes"], fs::file_size(Target));
    EXPECT_LT(J["DurationMs"].get<int64_t>(), 600);

    // Usage errors, ours and the option parser's, in the same form.
    ExpectFailure(Cut("1.5", "2s"), 2, "UsageError", "--start \"1.5\" is not a time");
    ExpectFailure(RunCli({"cut", Source, Target, "--start", "0", "--json"}), 2, "UsageError", "--end is required");
    ExpectFailure(RunCli({"cut", Dir.Path("gone.mp3"), Target, "--start", "0", "--end", "1", "--json"}), 3, "OpenError",
                  Dir.Path("gone.mp3"));
}

TEST(CliReport, Info) {
    TCliRun R = RunCli({"info", Fixture("cover.mp3")});
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Err, "");
    for (const char* Line :
         {"\nTitle: Cover Song\n", "\nID3v2: version 2.3, 11 frames\n", "\nID3v2 Artist: Caf\xC3\xA9 Society\n",
          "\nID3v2 Genre: Rock\n", "\nID3v2 Picture: type 3, image/jpeg, 296 bytes\n"})
        EXPECT_NE(R.Out.find(Line), std::string::npos) << Line << R.Out;

    const json J = json::parse(RunCli({"info", Fixture("cover.mp3"), "--json"}).Out);
    EXPECT_EQ(J["ProgramVersion"], SegmoraVersion);
    EXPECT_EQ(J["Version"], 1);  // of MPEG
    const json& V2 = J["Id3v2Tag"];
    EXPECT_EQ(V2["Version"], "2.3");
    EXPECT_EQ(V2["Track"], "3/9");
    EXPECT_EQ(V2["Pictures"][0]["Type"], 3);
    EXPECT_EQ(V2["Frames"].size(), 11u);

    TestFiles::TScratchDir Dir;
    ExpectFailure(RunCli({"info", Dir.Path("gone.mp3"), "--json"}), 3, "OpenError", Dir.Path("gone.mp3"));
    R = RunCli({"info", Dir.Write("text.mp3", "no frames")});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_EQ(R.Err, "segmora-cli: \"" + Dir.Path("text.mp3") + "\" is not an MP3 file\n");
}

TEST(CliReport, Split) {
    TestFiles::TScratchDir Dir;
    const std::string Source = Dir.Write("song.mp3", ReadAll(Fixture("cbr128.mp3")));
    const std::string Out = Dir.Path("out");
    const std::vector<std::string> Args = {"split", Source, "--parts", "2", "--output-dir", Out, "--json"};
    const auto Split = [&](std::vector<std::string> More) {
        More.insert(More.begin(), Args.begin(), Args.end());
        return RunCli(More);
    };
    TCliRun R = Split({"--dry-run"});
    EXPECT_EQ(R.ExitCode, 0);
    const json Dry = json::parse(R.Out);
    EXPECT_EQ(Keys(Dry[0]),
              (std::vector<std::string>{"Name", "StartMs", "EndMs", "ByteCount", "DurationMs", "DryRun"}));

    fs::create_directory(Out);
    TestFiles::WriteAll(Out + "/song_02.mp3", "keep me");
    R = Split({});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_EQ(R.Err, "segmora-cli: Not saved: \"" + Out +
                         "/song_02.mp3\" exists already (--overwrite or -y replaces it)\n"
                         "segmora-cli: 1 of 2 pieces were not saved: \"song_02.mp3\"\n");
    const json Pieces = json::parse(R.Out);
    EXPECT_EQ(Keys(Pieces[0]),
              (std::vector<std::string>{"Name", "StartMs", "EndMs", "ByteCount", "FileBytes", "DurationMs", "Result"}));
    EXPECT_EQ(Pieces[0]["FileBytes"], fs::file_size(Out + "/song_01.mp3"));
    EXPECT_EQ(Pieces[1]["Result"], false);
    EXPECT_EQ(Pieces[1]["Reason"]["Code"], "TargetExists");
    EXPECT_EQ(ReadAll(Out + "/song_02.mp3"), "keep me");
    EXPECT_EQ(Split({"-y"}).ExitCode, 0);

    ExpectFailure(Split({"--every", "1s"}), 2, "UsageError", "exactly one of --cue, --silence, --parts and --every");
    ExpectFailure(Split({"--name", "{x}"}), 2, "UsageError", "unknown placeholder \"{x}\"");
}

TEST(CliReport, Play) {
    const TCliRun R = RunCli({"play", Fixture("mono.mp3"), "--from", "1.2s", "--to", "0:05", "--output", "null"});
    EXPECT_EQ(R.ExitCode, 0);
    EXPECT_EQ(R.Err, "segmora-cli: --to 0:05 lies beyond the end of the audio (000:00:01.541): playing to its end\n");
    EXPECT_EQ(R.Out.rfind("Playing 000:00:01.200 to 000:00:01.541", 0), 0u) << R.Out;
}

}  // namespace
