// ID3v2 tags of cut and split, read back by TagLib and by ffprobe: texts
// whole in any script, the source's pictures and frames carried over but
// for those of the whole, and the ID3v1 tag of --tag as it always was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/TagRecord.h"
#include "platform/Id3v2Tag.h"
#include "platform/LocaleServices.h"
#include "tests/cli/CliProcess.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using TestFiles::Fixture;
using TestFiles::ReadAll;

namespace {

const std::string Ffprobe = "/usr/bin/ffprobe";

size_t Count(const std::vector<std::string>& Ids, const std::string& Id) {
    return size_t(std::count(Ids.begin(), Ids.end(), Id));
}

// The bytes behind the ID3v2 tag a file begins with.
std::string AfterTag(const std::string& File) {
    const auto* B = reinterpret_cast<const unsigned char*>(File.data());
    return File.substr(10 + ((B[6] << 21) | (B[7] << 14) | (B[8] << 7) | B[9]));
}

TEST(CliId3v2, SplitByASheetOfJapaneseTitles) {
    TestFiles::TScratchDir Dir;
    const std::string Source = Dir.Write("album.mp3", ReadAll(Fixture("cover.mp3")));
    const std::string Titles[] = {"\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C",  // 日本の歌
                                  "\xE4\xBA\x8C\xE7\x95\xAA\xE7\x9B\xAE\xE3\x81\xAE\xE6\x9B\xB2\xE3\x81\xAF\xE3\x81"
                                  "\xA8\xE3\x81\xA6\xE3\x82\x82\xE9\x95\xB7\xE3\x81\x84",  // 二番目の曲はとても長い
                                  "\xE4\xB8\x89"};                                         // 三
    const std::string Performer = "\xE6\xAD\x8C\xE6\x89\x8B";                              // 歌手
    const std::string Sheet = "PERFORMER \"" + Performer + "\"\nTITLE \"Album\"\nFILE \"album.wav\" WAVE\n" +
                              "  TRACK 01 AUDIO\n    TITLE \"" + Titles[0] + "\"\n    INDEX 01 00:00:00\n" +
                              "  TRACK 02 AUDIO\n    TITLE \"" + Titles[1] + "\"\n    INDEX 01 00:00:40\n" +
                              "  TRACK 03 AUDIO\n    TITLE \"" + Titles[2] + "\"\n    INDEX 01 00:01:00\n";
    const std::string Cue = Dir.Write("album.cue", Sheet);
    const TId3v2Tag Own = TId3v2Tag::Read(Source);
    ASSERT_EQ(Own.Pictures().size(), 1u);

    const TCliRun Both = RunCli({"split", Source, "--cue", Cue, "--tag", "--id3v2", "--output-dir", Dir.Path("both")});
    ASSERT_EQ(Both.ExitCode, 0) << Both.Err;
    EXPECT_EQ(Both.Err, "");
    const TCliRun V1 = RunCli({"split", Source, "--cue", Cue, "--tag", "--output-dir", Dir.Path("v1")});
    ASSERT_EQ(V1.ExitCode, 0) << V1.Err;
    EXPECT_NE(V1.Err.find("cannot hold the title and artist as given (30 bytes of the system's code page): --id3v2"),
              std::string::npos)
        << V1.Err;

    for (int N = 1; N <= 3; ++N) {
        const std::string Name = "0" + std::to_string(N) + " - " + Titles[N - 1] + ".mp3";
        SCOPED_TRACE(Name);
        const std::string Piece = Dir.Path("both/" + Name);
        const TId3v2Tag Tag = TId3v2Tag::Read(Piece);
        EXPECT_EQ(Tag.Version(), 4);
        EXPECT_EQ(Tag.Texts().Title, Titles[N - 1]);
        EXPECT_EQ(Tag.Texts().Artist, Performer);
        EXPECT_EQ(Tag.Texts().Track, std::to_string(N) + "/3");
        // Carried over: the genre, the comment, the user text, the cover.
        EXPECT_EQ(Tag.Texts().Genre, "Rock");
        EXPECT_EQ(Tag.Texts().Comment, "A comment");
        ASSERT_EQ(Tag.Pictures().size(), 1u);
        EXPECT_EQ(Tag.Pictures()[0].Type, 3);
        EXPECT_TRUE(Tag.Pictures()[0].Data == Own.Pictures()[0].Data);
        // Not what describes the whole: its length, iTunes' gapless data.
        EXPECT_EQ(Count(Tag.FrameIds(), "TLEN"), 0u);
        EXPECT_EQ(Count(Tag.FrameIds(), "COMM"), 1u);

        // Behind the ID3v2 tag, the very piece --tag alone writes, whose
        // ID3v1 tag is the record made of the same texts as ever.
        const std::string Plain = ReadAll(Dir.Path("v1/" + Name));
        EXPECT_TRUE(AfterTag(ReadAll(Piece)) == Plain);
        TTagTexts Texts{Titles[N - 1], Performer, "Album", "2024", "", std::to_string(N), 17};
        const TId3v1Tag Record = MakeTagRecordFromUtf8(Texts, AnsiCodePageForLocale("en_US.UTF-8"));
        const std::string Written =
            std::string(reinterpret_cast<const char*>(&Record), 125) + '\0' + char(Record.Track) + char(Record.Genre);
        EXPECT_EQ(Plain.substr(Plain.size() - 128), Written);

        if (!fs::exists(Ffprobe)) continue;
        const TCliRun Probe = TestProcess::Run(
            Ffprobe, {"-v", "error", "-show_entries", "format_tags=title", "-of", "default=nw=1:nk=1", Piece});
        EXPECT_EQ(Probe.Out, Titles[N - 1] + "\n");
    }
}

TEST(CliId3v2, CutTakesTheGivenTextsAndTheSourcesOthers) {
    TestFiles::TScratchDir Dir;
    const struct {
        const char* Source;
        std::vector<std::string> Options;
        std::vector<std::string> Frames;
        std::optional<std::string> Artist, Track, Genre;
    } Cases[] = {
        {"cover.mp3",
         {"--title", "New"},
         {"TPE1", "TALB", "TDRC", "TRCK", "TCON", "COMM", "TXXX", "APIC", "TIT2"},
         "Caf\xC3\xA9 Society",
         "3/9",
         "Rock"},
        {"cover.mp3",
         {"--title", "New", "--no-copy-tags", "--track", "2/5", "--genre", "8"},
         {"TIT2", "TRCK", "TCON"},
         std::nullopt,
         "2/5",
         "Jazz"},
        {"cbr128.mp3",
         {"--title", "New", "--artist", "\xE6\xAD\x8C\xE6\x89\x8B"},
         {"TIT2", "TPE1"},
         "\xE6\xAD\x8C\xE6\x89\x8B",
         std::nullopt,
         std::nullopt},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::PrintToString(C.Options));
        std::vector<std::string> Args = {
            "cut", Fixture(C.Source), Dir.Path("o.mp3"), "--start", "0", "--end", "1s", "--id3v2", "-y"};
        Args.insert(Args.end(), C.Options.begin(), C.Options.end());
        const TCliRun R = RunCli(Args);
        ASSERT_EQ(R.ExitCode, 0) << R.Err;
        const TId3v2Tag Tag = TId3v2Tag::Read(Dir.Path("o.mp3"));
        EXPECT_EQ(Tag.FrameIds(), C.Frames);
        EXPECT_EQ(Tag.Texts().Title, "New");
        EXPECT_EQ(Tag.Texts().Artist, C.Artist);
        EXPECT_EQ(Tag.Texts().Track, C.Track);
        EXPECT_EQ(Tag.Texts().Genre, C.Genre);
        // The audio behind it is the plain cut's.
        ASSERT_EQ(RunCli({"cut", Fixture(C.Source), Dir.Path("p.mp3"), "--start", "0", "--end", "1s", "-y"}).ExitCode,
                  0);
        EXPECT_TRUE(AfterTag(ReadAll(Dir.Path("o.mp3"))) == ReadAll(Dir.Path("p.mp3")));
    }
}

}  // namespace
