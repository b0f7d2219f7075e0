#include "engine/FrameHeader.h"

#include <cmath>

const int32_t BitRates[2][3][14] = {
    {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

const int32_t SampleRates[3][3] = {
    {44100, 48000, 32000},
    {22050, 24000, 16000},
    {11025, 12000, 8000},
};

const int32_t SamplesPerFrame[2][3] = {
    {384, 1152, 1152},
    {384, 1152, 576},
};

namespace {

// The codes of header bytes H1 (version, layer) and H2 (bit rate, sample
// rate, padding) and H3 (channel mode) that have a meaning here.
enum TVersionCode { Mpeg25 = 0, ReservedVersion = 1, Mpeg2 = 2, Mpeg1 = 3 };
constexpr int ReservedLayer = 0;
constexpr int FreeFormatBitRate = 0, BadBitRate = 15;
constexpr int ReservedSampleRate = 3;
constexpr int SingleChannel = 3;

// The fields of H1..H3; false for codes without a table entry.
bool DecodeCodes(const uint8_t H[FrameHeaderBytes], TFrameHeader& Frame) {
    const int VersionCode = (H[1] >> 3) & 3;
    const int LayerCode = (H[1] >> 1) & 3;
    const int BitRateIndex = (H[2] >> 4) & 15;
    const int SampleRateIndex = (H[2] >> 2) & 3;
    if (VersionCode == ReservedVersion || LayerCode == ReservedLayer || BitRateIndex == FreeFormatBitRate ||
        BitRateIndex == BadBitRate || SampleRateIndex == ReservedSampleRate)
        return false;

    int Row, SampleRateRow;
    switch (VersionCode) {
    case Mpeg1:
        Frame.Version = 1.0;
        Row = 1;
        SampleRateRow = 1;
        break;
    case Mpeg2:
        Frame.Version = 2.0;
        Row = 2;
        SampleRateRow = 2;
        break;
    default:
        Frame.Version = 2.5;
        Row = 2;
        SampleRateRow = 3;
        break;
    }
    Frame.Layer = 4 - LayerCode;
    Frame.BitRate = BitRates[Row - 1][Frame.Layer - 1][BitRateIndex - 1];
    Frame.SampleRate = SampleRates[SampleRateRow - 1][SampleRateIndex];
    Frame.Padding = (H[2] >> 1) & 1;
    Frame.Mono = ((H[3] >> 6) & 3) == SingleChannel;
    Frame.Samples = SamplesPerFrame[Row - 1][Frame.Layer - 1];
    // Samples / 8 bytes of BitRate kbit/s at SampleRate Hz, truncated, plus the padding byte.
    Frame.Length =
        static_cast<int32_t>(std::trunc(Frame.Samples / 8.0 * Frame.BitRate * 1000 / Frame.SampleRate)) + Frame.Padding;
    Frame.DurationMs = Frame.Samples * 1000.0 / Frame.SampleRate;
    return true;
}

}  // namespace

bool FrameHeaderCache::DecodeAndKeep(const uint8_t H[FrameHeaderBytes], uint32_t Key, TFrameHeader& Frame) {
    if (!DecodeCodes(H, Frame)) return false;
    Known[Slot(H)] = {Key, Frame};
    return true;
}
