// The ID3v1 record a save writes, built from edited texts.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/TagRecord.h"

namespace {

using Bytes = std::string;

bool NoLeadBytes(unsigned char) { return false; }
// GBK: any byte from 0x81 to 0xFE starts a double-byte character.
bool GbkLead(unsigned char B) { return B >= 0x81 && B <= 0xFE; }

TEST(LeftBytes, SingleByteTexts) {
    const struct {
        Bytes Text;
        int32_t N;
        Bytes Left;
    } Cases[] = {
        {"Hello", 30, "Hello"},
        {"Hello", 5, "Hello"},
        {"Hello", 3, "Hel"},
        {"Hello", 0, ""},
        {"", 4, ""},
        // High bytes are ordinary characters in a single-byte code page.
        {"caf\xe9\xe9", 4, "caf\xe9"},
    };
    for (const auto& C : Cases) EXPECT_EQ(LeftBytes(C.Text, C.N, NoLeadBytes), C.Left) << C.Text << " " << C.N;
}

TEST(LeftBytes, NeverEndsInTheFirstByteOfADoubleByteCharacter) {
    const Bytes Zhong = "\xD6\xD0";  // one GBK character
    const Bytes Ascii29(29, 'a');
    // Byte 30 is the first byte of a character: the cut keeps 29 bytes.
    EXPECT_EQ(LeftBytes(Ascii29 + Zhong, 30, GbkLead), Ascii29);
    // Byte 30 is the second byte of a character whose value could also start
    // one: the character fits whole.
    const Bytes Ascii28(28, 'a');
    EXPECT_EQ(LeftBytes(Ascii28 + Zhong + Zhong, 30, GbkLead), Ascii28 + Zhong);
    // Only double-byte characters: an even cut fits, an odd one drops the half.
    const Bytes Four = Zhong + Zhong + Zhong + Zhong;
    EXPECT_EQ(LeftBytes(Four, 4, GbkLead), Zhong + Zhong);
    EXPECT_EQ(LeftBytes(Four, 5, GbkLead), Zhong + Zhong);
    EXPECT_EQ(LeftBytes(Four, 1, GbkLead), "");
}

TEST(TrackNumber, DecimalWithinByteRangeElseZero) {
    const struct {
        const char* Text;
        uint8_t Track;
    } Cases[] = {
        {"", 0},    {"7", 7},  {"+7", 7}, {"007", 7}, {"255", 255}, {"256", 0},
        {"300", 0}, {"-5", 0}, {"-0", 0}, {"7a", 0},  {"seven", 0}, {"99999999999999999999999", 0},
    };
    for (const auto& C : Cases) EXPECT_EQ(TrackNumberOf(C.Text), C.Track) << '"' << C.Text << '"';
}

TTagTexts Texts() {
    TTagTexts T;
    T.Title = "Title";
    T.Artist = "Artist";
    T.Album = "Album";
    T.Year = "2024";
    T.Comment = "A comment that is longer than thirty bytes";
    return T;
}

TEST(TagRecord, FieldsAreCutAndZeroFilled) {
    TTagTexts T = Texts();
    T.Album = Bytes(40, 'b');
    T.Year = "20245";
    const TId3v1Tag Tag = MakeTagRecord(T, NoLeadBytes);
    EXPECT_EQ(Bytes(Tag.Header, 3), "TAG");
    EXPECT_EQ(Bytes(Tag.Title, 30), "Title" + Bytes(25, '\0'));
    EXPECT_EQ(Bytes(Tag.Artist, 30), "Artist" + Bytes(24, '\0'));
    // Texts of the field's width or longer fill it with no zero byte.
    EXPECT_EQ(Bytes(Tag.Album, 30), Bytes(30, 'b'));
    EXPECT_EQ(Bytes(Tag.Year, 4), "2024");
}

TEST(TagRecord, CommentWidthFollowsTheTrack) {
    const Bytes Comment = "A comment that is longer than thirty bytes";
    const struct {
        const char* Track;
        uint8_t Expected;
        size_t CommentBytes;
    } Cases[] = {{"", 0, 30}, {"7", 7, 28}, {"300", 0, 30}, {"-5", 0, 30}, {"0", 0, 30}, {"255", 255, 28}};
    for (const auto& C : Cases) {
        TTagTexts T = Texts();
        T.Track = C.Track;
        const TId3v1Tag Tag = MakeTagRecord(T, NoLeadBytes);
        EXPECT_EQ(Tag.Track, C.Expected) << '"' << C.Track << '"';
        EXPECT_EQ(Bytes(Tag.Comment, 30), Comment.substr(0, C.CommentBytes) + Bytes(30 - C.CommentBytes, '\0'))
            << '"' << C.Track << '"';
    }
}

TEST(TagRecord, GenreIsTheListIndexOr255) {
    TTagTexts T = Texts();
    EXPECT_EQ(MakeTagRecord(T, NoLeadBytes).Genre, 255);
    T.GenreIndex = 0;
    EXPECT_EQ(MakeTagRecord(T, NoLeadBytes).Genre, 0);
    T.GenreIndex = 17;
    EXPECT_EQ(MakeTagRecord(T, NoLeadBytes).Genre, 17);
    T.GenreIndex = 147;
    EXPECT_EQ(MakeTagRecord(T, NoLeadBytes).Genre, 147);
}

TEST(TagRecord, DoubleByteTitleIsCutBeforeAHalfCharacter) {
    TTagTexts T = Texts();
    T.Title = Bytes(29, 'a') + "\xD6\xD0";
    const TId3v1Tag Tag = MakeTagRecord(T, GbkLead);
    EXPECT_EQ(Bytes(Tag.Title, 30), Bytes(29, 'a') + '\0');
    // The comment cut to 28 bytes for a track follows the same rule.
    T.Track = "1";
    T.Comment = Bytes(27, 'c') + "\xD6\xD0";
    EXPECT_EQ(Bytes(MakeTagRecord(T, GbkLead).Comment, 30), Bytes(27, 'c') + Bytes(3, '\0'));
}

TEST(TagFieldText, UpToTheFirstZeroByte) {
    char Field[30];
    std::memset(Field, 0, sizeof Field);
    std::memcpy(Field, "Title  ", 7);
    EXPECT_EQ(TagFieldText(Field, 30), "Title  ");
    Field[2] = 0;
    EXPECT_EQ(TagFieldText(Field, 30), "Ti");
    std::memset(Field, 'x', sizeof Field);
    EXPECT_EQ(TagFieldText(Field, 30), Bytes(30, 'x'));
    Field[0] = 0;
    EXPECT_EQ(TagFieldText(Field, 30), "");
}

}  // namespace
