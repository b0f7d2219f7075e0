#include "platform/JpegDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/JpegMaker.h"

namespace {

bool Decode(const std::string& Bytes, TRgbaImage& Image, std::string* Error = nullptr) {
    return DecodeJpeg(reinterpret_cast<const uint8_t*>(Bytes.data()), Bytes.size(), Image, Error);
}

bool Near(int Value, int Expected) { return std::abs(Value - Expected) <= 8; }

TEST(JpegDecoderTest, DecodesColourAndGreyIntoOpaqueRgba) {
    TRgbaImage Image;
    ASSERT_TRUE(Decode(MakeJpeg(500, 245), Image));
    EXPECT_EQ(Image.Width, 500);
    EXPECT_EQ(Image.Height, 245);
    ASSERT_EQ(Image.Pixels.size(), 500u * 245u * 4u);
    EXPECT_TRUE(Near(Image.Pixels[0], 200) && Near(Image.Pixels[1], 40) && Near(Image.Pixels[2], 40));
    EXPECT_EQ(Image.Pixels[3], 255);
    EXPECT_EQ(Image.Pixels.back(), 255);

    ASSERT_TRUE(Decode(MakeJpeg(31, 17, true), Image));
    EXPECT_EQ(Image.Width, 31);
    EXPECT_EQ(Image.Height, 17);
    EXPECT_TRUE(Near(Image.Pixels[0], 200));
    EXPECT_EQ(Image.Pixels[0], Image.Pixels[1]);
    EXPECT_EQ(Image.Pixels[1], Image.Pixels[2]);
}

TEST(JpegDecoderTest, EverythingButACompletePictureFailsAndLeavesNoPixels) {
    const std::string Good = MakeJpeg(64, 48);
    std::string NoEnd = Good.substr(0, Good.size() - 2);  // all but the end marker
    // An end marker in the middle of the coded data.
    const size_t Scan = Good.find("\xFF\xDA");
    ASSERT_NE(Scan, std::string::npos);
    std::string Corrupt = Good;
    const size_t Middle = Scan + (Good.size() - Scan) / 2;
    Corrupt[Middle] = '\xFF';
    Corrupt[Middle + 1] = '\xD9';
    const std::pair<const char*, std::string> Cases[] = {
        {"empty", std::string()},
        {"text", "!-http://example/pic.jpg"},
        {"png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"start marker only", std::string("\xFF\xD8", 2)},
        {"half", Good.substr(0, Good.size() / 2)},
        {"without its end marker", NoEnd},
        {"cut short by an early end marker", Corrupt},
    };
    for (const auto& [Name, Bytes] : Cases) {
        TRgbaImage Image;
        std::string Error;
        EXPECT_FALSE(Decode(Bytes, Image, &Error)) << Name;
        EXPECT_FALSE(Error.empty()) << Name;
        EXPECT_EQ(Image.Width, 0) << Name;
        EXPECT_TRUE(Image.Pixels.empty()) << Name;
    }
}

TEST(JpegDecoderTest, RefusesASideBeyondTheLimitBeforeDecoding) {
    TRgbaImage Image;
    EXPECT_TRUE(Decode(MakeJpeg(JpegMaxSide, 8), Image));
    EXPECT_TRUE(Decode(MakeJpeg(8, JpegMaxSide, true), Image));
    std::string Error;
    EXPECT_FALSE(Decode(MakeJpeg(JpegMaxSide + 1, 8), Image, &Error));
    EXPECT_EQ(Error, "The picture is too large");
    EXPECT_FALSE(Decode(MakeJpeg(8, JpegMaxSide + 1, true), Image));

    // A header that claims a huge picture over a few bytes of data is refused
    // by its size alone: the frame header's height and width are patched.
    std::string Huge = MakeJpeg(16, 16);
    const size_t Frame = Huge.find("\xFF\xC0");
    ASSERT_NE(Frame, std::string::npos);
    Huge[Frame + 5] = '\x1F';  // height 8000
    Huge[Frame + 6] = '\x40';
    EXPECT_FALSE(Decode(Huge, Image, &Error));
    EXPECT_EQ(Error, "The picture is too large");
    EXPECT_TRUE(Image.Pixels.empty());
}

}  // namespace
