// segmora-cli levels: the loudness envelope of quiet.mp3 (tones, digital
// silence, noise 70 dB down, a fade), estimated and decoded, as text and as
// JSON, and the refusals of files and options it cannot use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/cli/CliProcess.h"
#include "tests/support/TestFiles.h"

using nlohmann::json;

namespace {

std::string MsToText(int64_t Ms) {
    char Text[48];
    std::snprintf(Text, sizeof Text, "%03lld:%02lld:%02lld.%03lld", (long long)(Ms / 3600000),
                  (long long)(Ms / 60000 % 60), (long long)(Ms / 1000 % 60), (long long)(Ms % 1000));
    return Text;
}

json Levels(std::vector<std::string> Args) {
    Args.insert(Args.begin(), "levels");
    Args.push_back("--json");
    const TCliRun R = RunCli(Args);
    EXPECT_EQ(R.ExitCode, 0) << R.Err;
    return json::parse(R.Out);
}

TEST(CliLevels, EnvelopeEstimatedAndDecodedAsTextAndJson) {
    const std::string File = TestFiles::Fixture("quiet.mp3");
    const json Info = json::parse(RunCli({"info", File, "--json"}).Out);
    const json Estimated = Levels({File, "--per-second", "2"});
    const json Decoded = Levels({File, "--per-second", "2", "--decode"});
    EXPECT_EQ(Estimated["FileName"], File);
    EXPECT_EQ(Estimated["LengthMs"], Info["LengthMs"]);
    EXPECT_EQ(Estimated["BucketMs"], 500.0);
    // Frames of 36 ms start in every half second: one bucket each, from its first frame.
    const json& E = Estimated["Buckets"];
    const json& D = Decoded["Buckets"];
    ASSERT_EQ(E.size(), size_t(std::ceil(Info["LengthMs"].get<double>() / 500.0)));
    ASSERT_EQ(D.size(), E.size());
    auto Db = [](const json& Level) { return Level.is_number() ? Level.get<double>() : -INFINITY; };
    std::vector<double> Errors;
    for (size_t I = 0; I < E.size(); ++I) {
        SCOPED_TRACE(E[I].dump() + " " + D[I].dump());
        EXPECT_EQ(E[I]["StartMs"], D[I]["StartMs"]);
        EXPECT_GE(E[I]["StartMs"].get<int64_t>(), int64_t(I) * 500);
        EXPECT_LT(E[I]["StartMs"].get<int64_t>(), int64_t(I) * 500 + 36);
        EXPECT_EQ(E[I]["Decoded"], false);
        EXPECT_EQ(D[I]["Decoded"], true);
        EXPECT_GE(Db(D[I]["PeakDb"]), Db(D[I]["RmsDb"]));
        if (Db(D[I]["RmsDb"]) > -30.0) Errors.push_back(std::fabs(Db(E[I]["RmsDb"]) - Db(D[I]["RmsDb"])));
    }
    // Loud buckets: mostly within a few dB (tone onsets further off).
    ASSERT_GT(Errors.size(), 8u);
    std::sort(Errors.begin(), Errors.end());
    EXPECT_LT(Errors[Errors.size() / 2], 8.0);
    EXPECT_LT(Errors.back(), 20.0);
    // 1.5 s to 2 s digital silence, 2.5 s to 3 s noise 70 dB down.
    EXPECT_LT(Db(E[3]["RmsDb"]), -100.0);
    EXPECT_LT(Db(D[3]["RmsDb"]), -100.0);
    EXPECT_LT(Db(E[5]["RmsDb"]), -70.0);
    EXPECT_LT(Db(D[5]["RmsDb"]), -70.0);

    // The same buckets as text lines; a fixed number over the whole length.
    const TCliRun Text = RunCli({"levels", File, "--per-second", "2"});
    ASSERT_EQ(Text.ExitCode, 0) << Text.Err;
    std::istringstream Lines(Text.Out);
    std::string Line;
    size_t Count = 0;
    for (; std::getline(Lines, Line); ++Count) {
        EXPECT_EQ(Line.substr(0, 13), MsToText(E[Count]["StartMs"]));
        EXPECT_EQ(Line.substr(Line.size() - 9), "estimated") << Line;
    }
    EXPECT_EQ(Count, E.size());
    EXPECT_EQ(Levels({File, "--buckets", "4"})["Buckets"].size(), 4u);

    // A file that is no MP3, one that is missing, options that exclude each other.
    TestFiles::TScratchDir Dir;
    const std::string Notes = Dir.Write("notes.mp3", std::string(4000, 'x'));
    struct TRefusal {
        std::vector<std::string> Args;
        int Exit;
        std::string Says;
    } Refusals[] = {
        {{"levels", Notes}, 1, "segmora-cli: \"" + Notes + "\" is not an MP3 file"},
        {{"levels", Dir.Path("missing.mp3")}, 3, "segmora-cli: "},
        {{"levels", File, "--buckets", "4", "--per-second", "2"}, 2, "excludes"},
        {{"levels", File, "--buckets", "0"}, 2, "--buckets"},
    };
    for (const TRefusal& R : Refusals) {
        const TCliRun Run = RunCli(R.Args);
        EXPECT_EQ(Run.ExitCode, R.Exit) << Run.Err;
        EXPECT_NE(Run.Err.find(R.Says), std::string::npos) << Run.Err;
        EXPECT_EQ(Run.Out, "");
    }
}

}  // namespace
