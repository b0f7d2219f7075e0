// The split's arithmetic and names, where an off-by-one hides easily.
#include <gtest/gtest.h>

#include "cli/CueSheet.h"
#include "cli/SplitPlan.h"

namespace {

TEST(SplitPlan, CueTimesAreExactToTheNearestMillisecond) {
    const std::pair<int64_t, int64_t> Cases[] = {
        {0, 0}, {1, 13}, {2, 27}, {74, 987}, {75, 1000}, {76, 1013}, {60 * 75, 60000}, {999 * 60 * 75 + 74, 59940987}};
    for (const auto& [Frames, Ms] : Cases) EXPECT_EQ(CueFramesToMs(Frames), Ms) << Frames;
}

TEST(SplitPlan, RangesCoverTheAudioInOrder) {
    const auto Parts = EqualParts(10000, 3);
    ASSERT_EQ(Parts.size(), 3u);
    EXPECT_EQ(Parts[0].StartMs, 0);
    EXPECT_EQ(Parts[1].StartMs, 3333);
    EXPECT_EQ(Parts[2].StartMs, 6667);
    EXPECT_EQ(Parts[0].EndMs, Parts[1].StartMs);
    EXPECT_EQ(Parts[2].EndMs, EndOfAudio);

    // The last piece is shorter; one too short for a frame joins the one before.
    EXPECT_EQ(FixedLengthParts(10000, 3000).size(), 4u);
    EXPECT_EQ(FixedLengthParts(9020, 3000).size(), 3u);
    EXPECT_EQ(FixedLengthParts(9020, 3000).back().StartMs, 6000);

    // Pieces shorter than the least are left out, and the rest numbered in a row.
    const auto Between = PiecesBetween({1000, 8000, 9000}, 20000, 5000);
    ASSERT_EQ(Between.size(), 2u);
    EXPECT_EQ(Between[0].StartMs, 1000);
    EXPECT_EQ(Between[0].EndMs, 8000);
    EXPECT_EQ(Between[1].Number, 2);
    EXPECT_EQ(Between[1].StartMs, 9000);
}

TEST(SplitPlan, NamesAreSafeForEveryFileSystem) {
    const std::pair<std::string, std::string> Cases[] = {
        {"AC/DC: Live?", "AC_DC_ Live_"},
        {"a\\b*c\"d<e>f|g", "a_b_c_d_e_f_g"},
        {"tab\there", "tab_here"},
        {"  lead and trail. . ", "lead and trail"},
        {"..", "_"},
        {"", "_"},
        {"Caf\xC3\xA9", "Caf\xC3\xA9"},
    };
    for (const auto& [In, Safe] : Cases) EXPECT_EQ(SafeFileName(In), Safe) << In;
    // Never longer than asked, and never half a character.
    const std::string Long = std::string(9, 'x') + "\xC3\xA9\xC3\xA9";
    EXPECT_EQ(SafeFileName(Long, 10), std::string(9, 'x'));
    EXPECT_EQ(SafeFileName(Long, 11), std::string(9, 'x') + "\xC3\xA9");

    std::vector<TSplitPiece> Pieces(12);
    for (size_t I = 0; I < Pieces.size(); ++I) Pieces[I].Number = static_cast<int>(I + 1);
    Pieces[4].Title = "Same";
    Pieces[5].Title = "same";
    NamePieces(Pieces, "{n} {title}", "src", "/o");
    EXPECT_EQ(Pieces[0].FileName, "/o/01 Track 01.mp3");
    EXPECT_EQ(Pieces[4].FileName, "/o/05 Same.mp3");
    NamePieces(Pieces, "{title}", "src", "/o");
    EXPECT_EQ(Pieces[5].FileName, "/o/same (2).mp3");
    NamePieces(Pieces, "{name}-{n}", "src", "");
    EXPECT_EQ(Pieces[11].FileName, "src-12.mp3");

    std::string Bad;
    EXPECT_TRUE(CheckNamePattern("{n} - {title} ({performer}, {album}) {name}", Bad));
    EXPECT_FALSE(CheckNamePattern("{n} {year}", Bad));
    EXPECT_EQ(Bad, "{year}");
}

TEST(SplitPlan, SheetTextIsUtf8WhenItIsElseTheCodePage) {
    EXPECT_EQ(CueTextAsUtf8("\xEF\xBB\xBFTITLE \"x\"", 1252), "TITLE \"x\"");
    EXPECT_EQ(CueTextAsUtf8("Caf\xC3\xA9", 1252), "Caf\xC3\xA9");
    EXPECT_EQ(CueTextAsUtf8("Caf\xE9", 1252), "Caf\xC3\xA9");
    // Overlong forms and surrogates are not UTF-8.
    EXPECT_EQ(CueTextAsUtf8("\xC0\xAF", 1252), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(CueTextAsUtf8("\xED\xA0\x80", 1252), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");
    // UTF-16 behind its byte order mark, and the line ends of every system, as libcue reads them.
    EXPECT_EQ(CueTextAsUtf8(std::string("\xFF\xFEZ\0\xF6\0\r\0\n\0", 10), 1252), "Z\xC3\xB6\n");
    EXPECT_EQ(CueTextAsUtf8(std::string("\xFE\xFF\0Z\0\xF6\0\r", 8), 1252), "Z\xC3\xB6\n");
    EXPECT_EQ(CueTextAsUtf8("a\rb\r\nc\nd\r\re", 1252), "a\nb\nc\nd\n\ne");
}

}  // namespace
