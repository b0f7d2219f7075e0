// segmora-cli split: every piece is the piece cut gives for its range, the
// pieces follow one another without losing or doubling a frame, and sheets,
// names and existing files are handled as a user expects.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/cli/CliProcess.h"
#include "tests/support/TestFiles.h"

using nlohmann::json;
namespace fs = std::filesystem;
using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

class CliSplit : public testing::Test {
protected:
    std::string Source(const std::string& FixtureName, const std::string& As = "Song.mp3") {
        const std::string Path = Dir.Path(As);
        fs::copy_file(Fixture(FixtureName), Path, fs::copy_options::overwrite_existing);
        return Path;
    }
    std::string Out(const std::string& Name = "") const { return Dir.Path("out/" + Name); }

    // Runs a split with --json; the report's pieces.
    json Split(std::vector<std::string> Args, int ExpectedExit = 0, const std::string& Locale = "en_US.UTF-8") {
        Args.insert(Args.begin(), "split");
        Args.push_back("--json");
        const TCliRun R = RunCli(Args, Locale);
        EXPECT_EQ(R.ExitCode, ExpectedExit) << R.Err;
        LastErr = R.Err;
        return R.Out.empty() ? json::array() : json::parse(R.Out);
    }

    // The bytes cut writes for a range, and the audio bytes it reports.
    std::string Cut(const std::string& Src, int64_t Start, int64_t End, int64_t* ByteCount = nullptr) {
        const std::string Target = Dir.Path("cut.mp3");
        const TCliRun R =
            RunCli({"cut", Src, Target, "--start", std::to_string(Start), "--end", std::to_string(End), "--json"});
        EXPECT_EQ(R.ExitCode, 0) << R.Err;
        if (ByteCount) *ByteCount = json::parse(R.Out)["ByteCount"];
        std::string Bytes = ReadAll(Target);
        fs::remove(Target);
        return Bytes;
    }

    // Each piece equals cut's for its range, and together they hold every
    // audio frame of the source once.
    void ExpectPiecesOfCut(const std::string& Src, const json& Pieces, size_t TagBytes = 0) {
        int64_t Sum = 0, Whole = 0;
        for (const json& P : Pieces) {
            ASSERT_EQ(P["Result"], true) << P.dump();
            std::string Piece = ReadAll(P["Name"]);
            ASSERT_GE(Piece.size(), TagBytes);
            Piece.resize(Piece.size() - TagBytes);
            EXPECT_EQ(Piece, Cut(Src, P["StartMs"], P["EndMs"])) << P.dump();
            Sum += P["ByteCount"].get<int64_t>();
        }
        Cut(Src, 0, 10'000'000, &Whole);
        EXPECT_EQ(Sum, Whole);
    }

    TestFiles::TScratchDir Dir;
    std::string LastErr;
};

TEST_F(CliSplit, PartsAndEveryTileTheSourceAsCutWould) {
    struct TCase {
        const char* Fixture;
        std::vector<std::string> Way;
        size_t Pieces;
    };
    const TCase Cases[] = {
        {"cbr128.mp3", {"--parts", "3"}, 3},
        {"vbr.mp3", {"--parts", "4"}, 4},
        {"all-tags.mp3", {"--parts", "2"}, 2},
        {"mpeg25.mp3", {"--every", "700"}, 3},
        {"layer2.mp2", {"--every", "000:00:00.500"}, 3},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Fixture);
        const std::string Src = Source(C.Fixture);
        std::vector<std::string> Args = {Src, "--output-dir", Out()};
        Args.insert(Args.end(), C.Way.begin(), C.Way.end());

        // A dry run foretells the real one exactly, and writes nothing.
        std::vector<std::string> Dry = Args;
        Dry.push_back("--dry-run");
        const json Planned = Split(Dry);
        EXPECT_FALSE(fs::exists(Out()));

        const json Pieces = Split(Args);
        ASSERT_EQ(Pieces.size(), C.Pieces);
        for (size_t I = 0; I < Pieces.size(); ++I) {
            for (const char* Key : {"Name", "StartMs", "EndMs", "ByteCount", "DurationMs"})
                EXPECT_EQ(Planned[I][Key], Pieces[I][Key]) << Key;
            EXPECT_EQ(fs::path(Pieces[I]["Name"].get<std::string>()).filename(),
                      "Song_0" + std::to_string(I + 1) + ".mp3");
        }
        ExpectPiecesOfCut(Src, Pieces);
        fs::remove_all(Out());
    }
}

// gaps.mp3: 2 s of tone, 1.5 s of silence, 1 s of tone, 0.5 s of silence, 2 s of tone.
TEST_F(CliSplit, SilencesSplitInTheirMiddle) {
    const std::string Src = Source("gaps.mp3");
    const json Pieces = Split({Src, "--silence", "--min-silence", "1000", "--min-piece", "500", "--output-dir", Out()});
    ASSERT_EQ(Pieces.size(), 2u);
    // The middle of the long gap, behind the encoder's delay.
    EXPECT_GT(Pieces[1]["StartMs"].get<int64_t>(), 2700);
    EXPECT_LT(Pieces[1]["StartMs"].get<int64_t>(), 2900);
    ExpectPiecesOfCut(Src, Pieces);
    // No progress display where nobody watches.
    EXPECT_EQ(LastErr, "");

    // Shorter pieces are left out, and a gap shorter than the least silence does not split.
    const json Long = Split({Src, "--silence", "--min-silence", "1000", "--min-piece", "3000", "--dry-run"});
    ASSERT_EQ(Long.size(), 1u);
    EXPECT_EQ(Long[0]["StartMs"], Pieces[1]["StartMs"]);
    EXPECT_EQ(Split({Src, "--silence", "--min-piece", "500", "--dry-run"}).size(), 1u);
    EXPECT_EQ(Split({Src, "--silence", "--min-silence", "300", "--min-piece", "500", "--dry-run"}).size(), 3u);
}

// A Latin-1 sheet and the same sheet in UTF-8 with a byte order mark: track 2
// has a pregap (INDEX 00), which ends track 1; texts reach names and tags.
TEST_F(CliSplit, CueSheetTracksNamesAndTags) {
    const std::string Sheet = "REM DATE 1999\nPERFORMER \"The Band\"\nTITLE \"Live\"\nFILE \"image.wav\" WAVE\n"
                              "  TRACK 01 AUDIO\n    TITLE \"Caf\xE9/Intro\"\n    INDEX 01 00:00:00\n"
                              "  TRACK 02 AUDIO\n    TITLE \"Zwei\"\n    PERFORMER \"Guest\"\n"
                              "    INDEX 00 00:01:00\n    INDEX 01 00:01:40\n"
                              "  TRACK 03 AUDIO\n    INDEX 01 00:02:10\n";
    std::string Utf8 = Sheet;
    Utf8.replace(Utf8.find('\xE9'), 1, "\xC3\xA9");
    for (const std::string& Text : {Sheet, "\xEF\xBB\xBF" + Utf8}) {
        const std::string Src = Source("cbr128.mp3");
        const std::string Cue = Dir.Write("album.cue", Text);
        const json Pieces = Split({Src, "--cue", Cue, "--output-dir", Out(), "--tag"});
        ASSERT_EQ(Pieces.size(), 3u);
        EXPECT_EQ(Pieces[0]["Name"], Out("01 - Caf\xC3\xA9_Intro.mp3"));
        EXPECT_EQ(Pieces[1]["Name"], Out("02 - Zwei.mp3"));
        EXPECT_EQ(Pieces[2]["Name"], Out("03 - Track 03.mp3"));
        // 1:40 is 1533 1/3 ms: the piece begins with the first frame from there on.
        EXPECT_GE(Pieces[1]["StartMs"].get<int64_t>(), 1533);
        EXPECT_LT(Pieces[1]["StartMs"].get<int64_t>(), 1533 + 27);
        ExpectPiecesOfCut(Src, Pieces, 128);

        struct TTag {
            std::string Title, Artist, Album, Year;
            int Track;
        };
        const TTag Tags[] = {{"Caf\xE9/Intro", "The Band", "Live", "1999", 1},
                             {"Zwei", "Guest", "Live", "1999", 2},
                             {"", "The Band", "Live", "1999", 3}};
        for (size_t I = 0; I < 3; ++I) {
            const std::string Piece = ReadAll(Pieces[I]["Name"]);
            const std::string Tag = Piece.substr(Piece.size() - 128);
            auto Field = [&](size_t At, size_t Width) {
                return std::string(Tag.c_str() + At, strnlen(&Tag[At], Width));
            };
            EXPECT_EQ(Tag.substr(0, 3), "TAG");
            EXPECT_EQ(Field(3, 30), Tags[I].Title);
            EXPECT_EQ(Field(33, 30), Tags[I].Artist);
            EXPECT_EQ(Field(63, 30), Tags[I].Album);
            EXPECT_EQ(Field(93, 4), Tags[I].Year);
            EXPECT_EQ(static_cast<unsigned char>(Tag[126]), Tags[I].Track);
        }
        fs::remove_all(Out());
    }
}

TEST_F(CliSplit, SheetsOfSeveralFilesAndSheetsThatCannotBeUsed) {
    const std::string Src = Source("cbr128.mp3", "Disc2.mp3");
    const std::string Multi = "FILE \"Disc1.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                              "FILE \"disc2.wav\" WAVE\n  TRACK 02 AUDIO\n    TITLE \"A\"\n    INDEX 01 00:00:00\n"
                              "  TRACK 03 AUDIO\n    TITLE \"B\"\n    INDEX 01 00:01:00\n";
    const json Pieces = Split({Src, "--cue", Dir.Write("multi.cue", Multi), "--output-dir", Out()});
    ASSERT_EQ(Pieces.size(), 2u);
    EXPECT_EQ(Pieces[0]["Name"], Out("02 - A.mp3"));
    ExpectPiecesOfCut(Src, Pieces);

    const std::string Other = Source("cbr128.mp3", "Other.mp3");
    Split({Other, "--cue", Dir.Path("multi.cue"), "--output-dir", Out()}, 2);
    EXPECT_NE(LastErr.find("Disc1.flac"), std::string::npos) << LastErr;
    EXPECT_NE(LastErr.find("disc2.wav"), std::string::npos) << LastErr;

    const std::pair<const char*, const char*> Bad[] = {
        {"TRACK x\ngarbage \"\n", "cannot parse"},
        {"FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:02:00\n  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n",
         "does not start after track 1"},
    };
    for (const auto& [Text, Complaint] : Bad) {
        Split({Src, "--cue", Dir.Write("bad.cue", Text), "--output-dir", Out()}, 2);
        EXPECT_NE(LastErr.find(Complaint), std::string::npos) << LastErr;
    }
    // A track the audio does not reach is a failure of its own; the others are saved.
    const json Late = Split({Src, "--cue",
                             Dir.Write("late.cue", "FILE \"x.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                                   "  TRACK 02 AUDIO\n    INDEX 01 09:00:00\n"),
                             "--output-dir", Out("late")},
                            1);
    EXPECT_EQ(Late[0]["Result"], true);
    EXPECT_EQ(Late[1]["Result"], false);
    EXPECT_FALSE(fs::exists(Late[1]["Name"].get<std::string>()));
    EXPECT_NE(LastErr.find("02 - Track 02.mp3"), std::string::npos) << LastErr;
}

TEST_F(CliSplit, NamesNeverCollideAndExistingFilesAreKept) {
    const std::string Src = Source("vbr.mp3");
    fs::create_directories(Out());
    TestFiles::WriteAll(Out("Song_02.mp3"), "keep me");
    const json Kept = Split({Src, "--parts", "3", "--output-dir", Out()}, 1);
    EXPECT_EQ(ReadAll(Out("Song_02.mp3")), "keep me");
    EXPECT_EQ(Kept[0]["Result"], true);
    EXPECT_EQ(Kept[1]["Result"], false);
    EXPECT_EQ(Kept[2]["Result"], true);
    EXPECT_NE(LastErr.find("Song_02.mp3"), std::string::npos) << LastErr;

    const json Replaced = Split({Src, "--parts", "3", "--output-dir", Out(), "--overwrite"});
    ExpectPiecesOfCut(Src, Replaced);

    const json Same = Split({Src, "--parts", "3", "--output-dir", Out("same"), "--name", "{album}piece"});
    EXPECT_EQ(Same[0]["Name"], Out("same/piece.mp3"));
    EXPECT_EQ(Same[1]["Name"], Out("same/piece (2).mp3"));
    EXPECT_EQ(Same[2]["Name"], Out("same/piece (3).mp3"));

    Split({Src, "--parts", "3", "--name", "{track}"}, 2);
    EXPECT_NE(LastErr.find("{track}"), std::string::npos) << LastErr;
    // A piece that would take the source's own name is refused, not written over it.
    const json Self = Split({Src, "--parts", "1", "--output-dir", Dir.Path(""), "--name", "Song", "--overwrite"}, 1);
    EXPECT_EQ(Self[0]["Result"], false);
    EXPECT_EQ(ReadAll(Src), ReadAll(Fixture("vbr.mp3")));
}

// What an audit of hostile input tried: folders that cannot be had, options
// that are no numbers, a sheet beyond what a cut takes, and a link planted at
// a piece's name. A dry run foretells each refusal of the real run.
TEST_F(CliSplit, HostileFoldersOptionsSheetsAndLinks) {
    const std::string Src = Source("cbr128.mp3");
    fs::create_symlink("loop", Dir.Path("loop"));
    const std::string File = Dir.Write("file", "not a folder");
    const std::string Far = Dir.Write("far.cue", "FILE \"x.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                                 "  TRACK 02 AUDIO\n    INDEX 01 71583:00:00\n");
    const struct {
        std::vector<std::string> Args;
        int Exit;
        std::string Said;
    } Cases[] = {
        {{"--parts", "2", "--output-dir", Dir.Path("loop")}, 3, "folder \"" + Dir.Path("loop") + "\": "},
        {{"--parts", "2", "--output-dir", Dir.Path("loop/sub")}, 3, "folder \"" + Dir.Path("loop/sub") + "\": "},
        {{"--parts", "2", "--output-dir", Dir.Path(std::string(300, 'n'))}, 3, "File name too long"},
        {{"--parts", "2", "--output-dir", File}, 3, "Not a directory"},
        {{"--silence", "--threshold", "nan"}, 2, "not a finite number"},
        {{"--silence", "--threshold", "1e400"}, 2, "not a finite number"},
        // 71583:00:00 is beyond 2^31 ms: the track starts after the end of the audio.
        {{"--cue", Far, "--output-dir", Out("far")}, 1, "\"02 - Track 02.mp3\""},
    };
    for (const auto& C : Cases) {
        for (const bool Dry : {true, false}) {
            std::vector<std::string> Args = {Src};
            Args.insert(Args.end(), C.Args.begin(), C.Args.end());
            if (Dry) Args.push_back("--dry-run");
            SCOPED_TRACE(C.Args.back() + (Dry ? " (dry run)" : ""));
            const json Pieces = Split(Args, C.Exit);
            EXPECT_NE(LastErr.find(C.Said), std::string::npos) << LastErr;
            // A run refused as a whole says so in one failure object.
            EXPECT_TRUE(C.Exit == 1 || (Pieces.is_object() && Pieces["Result"] == false)) << Pieces;
            if (C.Exit == 1 && !Dry) ExpectPiecesOfCut(Src, json::array({Pieces[0]}));
        }
    }
    EXPECT_EQ(ReadAll(File), "not a folder");

    // A link planted at a piece's name: kept without --overwrite, as the dry
    // run foretells; replaced itself with it, and the file it names stays.
    fs::create_directories(Out());
    const std::string Outside = Dir.Write("outside.mp3", "precious");
    fs::create_symlink(Outside, Out("Song_01.mp3"));
    const json Foretold = Split({Src, "--parts", "2", "--output-dir", Out(), "--dry-run"}, 1);
    EXPECT_EQ(Foretold[0]["Result"], false);
    EXPECT_FALSE(Foretold[1].contains("Result"));
    ExpectPiecesOfCut(Src, Split({Src, "--parts", "2", "--output-dir", Out(), "--overwrite"}));
    EXPECT_FALSE(fs::is_symlink(Out("Song_01.mp3")));
    EXPECT_EQ(ReadAll(Outside), "precious");
}

}  // namespace
