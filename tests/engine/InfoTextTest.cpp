// The information texts shared by the window and the command line, and the
// tag texts read and written through the ANSI code page.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/InfoText.h"
#include "engine/TagRecord.h"

namespace {

const std::string NoBreakSpace = "\xC2\xA0";  // a locale's group separator in UTF-8

TEST(InfoText, RoundedNumbersAreGroupedByThousands) {
    const struct {
        double Value;
        std::string Separator, Expected;
    } Cases[] = {
        {0.0, ",", "0"},          {999.0, ",", "999"},    {999.5, ",", "1,000"},  // half away from zero
        {2.5, ",", "3"},          {-2.5, ",", "-3"},      {1234567.4, ",", "1,234,567"},
        {-1234.5, ",", "-1,235"}, {1000.0, ".", "1.000"}, {1234.0, NoBreakSpace, "1" + NoBreakSpace + "234"},
        {123456.0, "", "123456"},
    };
    for (const auto& C : Cases) EXPECT_EQ(RoundedNumberText(C.Value, C.Separator), C.Expected) << C.Value;
}

TEST(InfoText, FileSizeInKilobytes) {
    const struct {
        int64_t Size;
        std::string Expected;
    } Cases[] = {
        {0, "1 KB"},
        {1023, "1 KB"},
        {1024, "1 KB"},
        {1535, "1 KB"},
        {1536, "2 KB"},
        {1024 * 999 + 512, "1,000 KB"},
        {57601043, "56,251 KB"},
        {int64_t(1024) * 1234567, "1,234,567 KB"},
    };
    for (const auto& C : Cases) EXPECT_EQ(FileSizeText(C.Size, ","), C.Expected) << C.Size;
    EXPECT_EQ(FileSizeText(57601043, "."), "56.251 KB");
}

TEST(InfoText, EncodingRatesAndChannels) {
    EXPECT_EQ(VersionText(1.0, "."), "1");
    EXPECT_EQ(VersionText(2.0, ","), "2");
    EXPECT_EQ(VersionText(2.5, "."), "2.5");
    EXPECT_EQ(VersionText(2.5, ","), "2,5");
    EXPECT_EQ(VersionText(0.0, "."), "0");
    EXPECT_EQ(EncodingText(1.0, 3, "."), "MPEG 1 Layer 3");
    EXPECT_EQ(EncodingText(2.5, 3, ","), "MPEG 2,5 Layer 3");
    EXPECT_EQ(EncodingText(1.0, 2, "."), "MPEG 1 Layer 2");
    EXPECT_EQ(SampleRateText(44100), "44100 Hz");
    EXPECT_EQ(BitRateText(128), "128 Kbps");
    EXPECT_EQ(ChannelText(true), "Mono");
    EXPECT_EQ(ChannelText(false), "Stereo");
}

constexpr int Western = 1252, SimplifiedChinese = 936;

TEST(TagTextUtf8, FieldsAreReadInTheCodePage) {
    char Field[30] = {0};
    std::memcpy(Field, "Caf\xE9", 4);
    EXPECT_EQ(TagFieldUtf8(Field, sizeof Field, Western), "Caf\xC3\xA9");
    std::memcpy(Field, "\xD6\xD0\xCE\xC4\0after", 10);  // "中文" in GBK, then a zero byte
    EXPECT_EQ(TagFieldUtf8(Field, sizeof Field, SimplifiedChinese), "\xE4\xB8\xAD\xE6\x96\x87");
    char Year[4] = {'1', '9', '9', '9'};  // full width, no zero byte
    EXPECT_EQ(TagFieldUtf8(Year, sizeof Year, Western), "1999");
}

TEST(TagTextUtf8, RecordIsBuiltInTheCodePage) {
    TTagTexts Texts;
    Texts.Title = "Caf\xC3\xA9";
    Texts.Artist = std::string(29, 'a') + "\xE4\xB8\xAD";  // 29 bytes and one GBK character
    Texts.Comment = "\xE4\xB8\xAD\xE6\x96\x87";
    Texts.Track = "7";
    Texts.GenreIndex = 17;
    const TId3v1Tag Western1252 = MakeTagRecordFromUtf8(Texts, Western);
    EXPECT_EQ(std::string(Western1252.Header, 3), "TAG");
    EXPECT_EQ(std::string(Western1252.Title, 5), std::string("Caf\xE9\0", 5));
    // A character the code page lacks becomes '?'.
    EXPECT_EQ(std::string(Western1252.Artist, 30), std::string(29, 'a') + "?");
    EXPECT_EQ(Western1252.Track, 7);
    EXPECT_EQ(Western1252.Genre, 17);

    const TId3v1Tag Gbk = MakeTagRecordFromUtf8(Texts, SimplifiedChinese);
    // The double-byte character does not fit whole and is left out.
    EXPECT_EQ(std::string(Gbk.Artist, 30), std::string(29, 'a') + '\0');
    EXPECT_EQ(std::string(Gbk.Comment, 5), std::string("\xD6\xD0\xCE\xC4\0", 5));
}

}  // namespace
