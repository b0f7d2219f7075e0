// Frame header decoding: the fields, the length and duration arithmetic, and
// the codes that have no table entry.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/VekMp3.h"

namespace {

struct THeaderCase {
    const char* Name;
    uint8_t H[4];
    double Version;
    int Layer;
    int BitRate;
    int SampleRate;
    int Padding;
    bool Mono;
    int Length;
    double DurationMs;
};

class FrameHeaderDecoding : public testing::TestWithParam<THeaderCase> {};

TEST_P(FrameHeaderDecoding, DecodesFieldsLengthAndDuration) {
    const THeaderCase& C = GetParam();
    TFrameHeader F;
    ASSERT_TRUE(DecodeFrameHeader(C.H, F));
    EXPECT_EQ(F.Version, C.Version);
    EXPECT_EQ(F.Layer, C.Layer);
    EXPECT_EQ(F.BitRate, C.BitRate);
    EXPECT_EQ(F.SampleRate, C.SampleRate);
    EXPECT_EQ(F.Padding, C.Padding);
    EXPECT_EQ(F.Mono, C.Mono);
    EXPECT_EQ(F.Length, C.Length);
    EXPECT_DOUBLE_EQ(F.DurationMs, C.DurationMs);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FrameHeaderDecoding,
    testing::Values(
        THeaderCase{
            "Mpeg1L3_128k_44100", {0xFF, 0xFB, 0x90, 0x00}, 1.0, 3, 128, 44100, 0, false, 417, 1152000.0 / 44100},
        THeaderCase{"Mpeg1L3_128k_44100_Padded",
                    {0xFF, 0xFB, 0x92, 0x00},
                    1.0,
                    3,
                    128,
                    44100,
                    1,
                    false,
                    418,
                    1152000.0 / 44100},
        // Layer 1 counts in slots of four bytes, the padding one slot: (Trunc(12 * 32000 / 44100) + 1) * 4.
        THeaderCase{
            "Mpeg1L1_32k_44100_Padded", {0xFF, 0xFF, 0x12, 0x00}, 1.0, 1, 32, 44100, 1, false, 36, 384000.0 / 44100},
        THeaderCase{"Mpeg1L3_320k_48000", {0xFF, 0xFB, 0xE4, 0x40}, 1.0, 3, 320, 48000, 0, false, 960, 24.0},
        THeaderCase{"Mpeg1L2_384k_32000", {0xFF, 0xFD, 0xE8, 0x00}, 1.0, 2, 384, 32000, 0, false, 1728, 36.0},
        THeaderCase{
            "Mpeg2L3_24k_22050_Mono", {0xFF, 0xF3, 0x30, 0xC0}, 2.0, 3, 24, 22050, 0, true, 78, 576000.0 / 22050},
        THeaderCase{"Mpeg2L1_256k_16000", {0xFF, 0xF7, 0xE8, 0x80}, 2.0, 1, 256, 16000, 0, false, 768, 24.0},
        // H1 = 0xE3: version code 0, layer code 1; bit-rate row 2, sample-rate row 3.
        THeaderCase{"Mpeg25L3_8k_8000", {0xFF, 0xE3, 0x18, 0x00}, 2.5, 3, 8, 8000, 0, false, 72, 72.0},
        THeaderCase{
            "Mpeg25L3_160k_12000_DualChannel", {0xFF, 0xE3, 0xE4, 0x80}, 2.5, 3, 160, 12000, 0, false, 960, 48.0},
        // Only H0 is the sync: a second byte without sync bits still decodes.
        THeaderCase{
            "NoSyncBitsInSecondByte", {0xFF, 0x1B, 0x90, 0x00}, 1.0, 3, 128, 44100, 0, false, 417, 1152000.0 / 44100}),
    [](const testing::TestParamInfo<THeaderCase>& I) { return std::string(I.param.Name); });

TEST(FrameHeader, OnlySingleChannelModeIsMono) {
    for (uint8_t Mode = 0; Mode < 4; ++Mode) {
        const uint8_t H[4] = {0xFF, 0xFB, 0x90, uint8_t(Mode << 6)};
        TFrameHeader F;
        ASSERT_TRUE(DecodeFrameHeader(H, F));
        EXPECT_EQ(F.Mono, Mode == 3) << "channel mode " << int(Mode);
    }
}

// Reserved codes and free format have no table entry: such bytes are no frame.
TEST(FrameHeader, CodesWithoutTableEntryAreNoFrame) {
    const uint8_t Cases[][4] = {
        {0xFF, 0xEB, 0x90, 0x00},  // version code 1
        {0xFF, 0xF9, 0x90, 0x00},  // layer code 0
        {0xFF, 0xFB, 0x00, 0x00},  // bit-rate index 0 (free format)
        {0xFF, 0xFB, 0xF0, 0x00},  // bit-rate index 15
        {0xFF, 0xFB, 0x9C, 0x00},  // sample-rate index 3
        {0xFE, 0xFB, 0x90, 0x00},  // no sync byte
    };
    for (const auto& H : Cases) {
        TFrameHeader F;
        EXPECT_FALSE(DecodeFrameHeader(H, F)) << std::hex << int(H[1]) << " " << int(H[2]);
    }
}

TEST(FrameHeader, EveryValidHeaderHasAPositiveLengthAndDuration) {
    // Whatever the codes, a frame that is taken must move a walk forward.
    for (int B1 = 0; B1 < 256; ++B1)
        for (int B2 = 0; B2 < 256; ++B2) {
            const uint8_t H[4] = {0xFF, uint8_t(B1), uint8_t(B2), 0};
            TFrameHeader F;
            if (!DecodeFrameHeader(H, F)) continue;
            ASSERT_GT(F.Length, 4) << B1 << " " << B2;
            ASSERT_GT(F.DurationMs, 0.0) << B1 << " " << B2;
        }
}

TEST(Tables, GenreNamesAsShown) {
    ASSERT_EQ(Id3Genres.size(), 148u);
    EXPECT_STREQ(Id3Genres[0], "Blues");
    EXPECT_STREQ(Id3Genres[17], "Rock");
    EXPECT_STREQ(Id3Genres[67], "Psychadelic");
    EXPECT_STREQ(Id3Genres[79], "Hard Rock");
    EXPECT_STREQ(Id3Genres[80], "Folk");
    EXPECT_STREQ(Id3Genres[85], "Bebob");
    EXPECT_STREQ(Id3Genres[127], "Drum & Bass");
    EXPECT_STREQ(Id3Genres[136], "Christian Gangsta Rap");
    EXPECT_STREQ(Id3Genres[147], "Synthpop");
}

}  // namespace
