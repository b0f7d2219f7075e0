// JPEG pictures decoded by libjpeg into plain RGBA pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TRgbaImage {
    int Width = 0;
    int Height = 0;
    // Rows top to bottom, 4 bytes a pixel (red, green, blue, alpha), no padding.
    std::vector<uint8_t> Pixels;
};

// Pictures wider or higher than this are refused before any pixel is decoded.
constexpr int JpegMaxSide = 4000;

// False, with the reason in Error when given, for anything that is not a
// complete JPEG picture this decoder can show: not a JPEG, truncated or
// corrupt data (which libjpeg would otherwise patch over with grey and a
// warning), an unsupported colour space, or a side above MaxSide. Never
// prints and never ends the program.
bool DecodeJpeg(const uint8_t* Data, size_t Size, TRgbaImage& Image, std::string* Error = nullptr,
                int MaxSide = JpegMaxSide);
