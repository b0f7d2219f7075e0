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

// The fields of H1..H3 but the bit rate; false for codes without a table
// entry. Row is the bit-rate row.
bool DecodeFields(const uint8_t H[FrameHeaderBytes], TFrameHeader& Frame, int& Row) {
    const int VersionCode = (H[1] >> 3) & 3;
    const int LayerCode = (H[1] >> 1) & 3;
    const int SampleRateIndex = (H[2] >> 2) & 3;
    if (VersionCode == ReservedVersion || LayerCode == ReservedLayer || SampleRateIndex == ReservedSampleRate)
        return false;

    int SampleRateRow;
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
    Frame.SampleRate = SampleRates[SampleRateRow - 1][SampleRateIndex];
    Frame.Padding = (H[2] >> 1) & 1;
    Frame.Mono = ((H[3] >> 6) & 3) == SingleChannel;
    Frame.Samples = SamplesPerFrame[Row - 1][Frame.Layer - 1];
    Frame.DurationMs = Frame.Samples * 1000.0 / Frame.SampleRate;
    Frame.FreeFormat = false;
    return true;
}

bool DecodeCodes(const uint8_t H[FrameHeaderBytes], TFrameHeader& Frame) {
    const int BitRateIndex = (H[2] >> 4) & 15;
    int Row = 0;
    if (BitRateIndex == FreeFormatBitRate || BitRateIndex == BadBitRate || !DecodeFields(H, Frame, Row)) return false;
    Frame.BitRate = BitRates[Row - 1][Frame.Layer - 1][BitRateIndex - 1];
    if (Frame.Layer == 1) {
        // Layer I counts in slots of four bytes: 12 slots of BitRate kbit/s
        // at SampleRate Hz, truncated, and the padding slot.
        Frame.Length =
            (static_cast<int32_t>(std::trunc(12.0 * Frame.BitRate * 1000 / Frame.SampleRate)) + Frame.Padding) * 4;
    } else {
        // Samples / 8 bytes of BitRate kbit/s at SampleRate Hz, truncated, plus the padding byte.
        Frame.Length = static_cast<int32_t>(std::trunc(Frame.Samples / 8.0 * Frame.BitRate * 1000 / Frame.SampleRate)) +
                       Frame.Padding;
    }
    return true;
}

}  // namespace

bool DecodeFreeFormatHeader(const uint8_t H[FrameHeaderBytes], TFrameHeader& Frame) {
    int Row = 0;
    if (!HasFullSync(H) || ((H[2] >> 4) & 15) != FreeFormatBitRate || !DecodeFields(H, Frame, Row)) return false;
    Frame.FreeFormat = true;
    Frame.BitRate = 0;
    Frame.Length = 0;
    return true;
}

void SetFreeFormatLength(TFrameHeader& Frame, int32_t Unpadded) {
    Frame.Length = Unpadded + Frame.Padding * PaddingSlotBytes(Frame.Layer);
    // The bit rate a frame of Unpadded bytes stands for, to the nearest kbit/s.
    Frame.BitRate = static_cast<int32_t>((int64_t(Unpadded) * 8 * Frame.SampleRate + Frame.Samples * 500) /
                                         (int64_t(Frame.Samples) * 1000));
}

bool FrameHeaderCache::DecodeAndKeep(const uint8_t H[FrameHeaderBytes], uint32_t Key, TFrameHeader& Frame) {
    if (!DecodeCodes(H, Frame)) return false;
    Known[Slot(H)] = {Key, Frame};
    return true;
}
