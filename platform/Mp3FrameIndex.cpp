#include "Mp3FrameIndex.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "FileStream.h"

namespace {

// The frame tables ([row-1][layer-1][index-1]); the platform layer keeps
// its own copy so that it does not depend on the engine.
const int32_t KBitRates[2][3][14] = {
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
const int32_t KSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
const int32_t KSamplesPerFrame[2][3] = {{384, 1152, 1152}, {384, 1152, 576}};

struct THeader {
    bool Mpeg1 = false;
    int32_t Length = 0;
    int32_t Samples = 0;
    int32_t SampleRate = 0;
    bool Mono = false;
    double DurationMs = 0.0;
};

bool BytesAre(const uint8_t* Bytes, const char* Text) { return std::memcmp(Bytes, Text, std::strlen(Text)) == 0; }

int32_t SyncsafeSize(const uint8_t B[4]) {
    return (int32_t(B[0] & 0x7F) << 21) | (int32_t(B[1] & 0x7F) << 14) | (int32_t(B[2] & 0x7F) << 7) |
           int32_t(B[3] & 0x7F);
}

// The engine's header rule: 0xFF, then codes that have table entries.
bool DecodeHeader(const uint8_t H[4], THeader& Frame) {
    if (H[0] != 0xFF) return false;
    const int VersionCode = (H[1] >> 3) & 3;
    const int LayerCode = (H[1] >> 1) & 3;
    const int BitRateIndex = (H[2] >> 4) & 15;
    const int SampleRateIndex = (H[2] >> 2) & 3;
    if (VersionCode == 1 || LayerCode == 0 || BitRateIndex == 0 || BitRateIndex == 15 || SampleRateIndex == 3)
        return false;
    int Row, SampleRateRow;
    switch (VersionCode) {
    case 3: Row = 1; SampleRateRow = 1; break;
    case 2: Row = 2; SampleRateRow = 2; break;
    default: Row = 2; SampleRateRow = 3; break;
    }
    const int Layer = 4 - LayerCode;
    const int32_t BitRate = KBitRates[Row - 1][Layer - 1][BitRateIndex - 1];
    Frame.Mpeg1 = VersionCode == 3;
    Frame.SampleRate = KSampleRates[SampleRateRow - 1][SampleRateIndex];
    Frame.Mono = ((H[3] >> 6) & 3) == 3;
    Frame.Samples = KSamplesPerFrame[Row - 1][Layer - 1];
    const int32_t Padding = (H[2] >> 1) & 1;
    Frame.Length =
        static_cast<int32_t>(std::trunc(Frame.Samples / 8.0 * BitRate * 1000 / Frame.SampleRate)) + Padding;
    Frame.DurationMs = Frame.Samples * 1000.0 / Frame.SampleRate;
    return true;
}

bool IsInformationFrame(const THeader& Frame, const uint8_t Head[40]) {
    const int Offset = Frame.Mpeg1 ? (Frame.Mono ? 21 : 36) : (Frame.Mono ? 13 : 21);
    if (BytesAre(Head + Offset, "Xing") || BytesAre(Head + Offset, "Info")) return true;
    return BytesAre(Head + 36, "VBRI");
}

// Where the first frame starts: after an ID3v2 tag and the zero bytes behind
// it, as the analysis finds it. -1 when nothing follows the tag.
int64_t FirstFrameOffset(TFileStream& Stream) {
    uint8_t H[10] = {0};
    Stream.SetPosition(0);
    if (Stream.Read(H, 10) < 4 || !BytesAre(H, "ID3")) return 0;
    int64_t At = int64_t(SyncsafeSize(H + 6)) + 10;
    uint8_t Chunk[4096];
    while (At < Stream.Size()) {
        Stream.SetPosition(At);
        const int64_t Got = Stream.Read(Chunk, sizeof Chunk);
        if (Got <= 0) break;
        for (int64_t I = 0; I < Got; ++I)
            if (Chunk[I] != 0) return At + I;
        At += Got;
    }
    return -1;
}

// End of the audio: before an ID3v1 tag and an APE footer.
int64_t AudioEndOf(TFileStream& Stream) {
    const int64_t Size = Stream.Size();
    int64_t End = Size;
    int64_t ApeAt = Size - 32;
    if (Size >= 128) {
        uint8_t Tag[3] = {0};
        Stream.SetPosition(Size - 128);
        if (Stream.Read(Tag, 3) == 3 && BytesAre(Tag, "TAG")) {
            End -= 128;
            ApeAt = Size - 160;
        }
    }
    if (ApeAt >= 0) {
        uint8_t Ape[8] = {0};
        Stream.SetPosition(ApeAt);
        if (Stream.Read(Ape, 8) == 8 && BytesAre(Ape, "APETAGEX")) End -= 32;
    }
    return End;
}

} // namespace

TMp3FrameIndex TMp3FrameIndex::Build(TFileStream& Stream) {
    TMp3FrameIndex Index;
    const int64_t First = FirstFrameOffset(Stream);
    if (First < 0) return Index;
    const int64_t AudioEnd = AudioEndOf(Stream);
    const int64_t Limit = AudioEnd - 4;
    // A rough guess of the frame count saves the vector's regrowth on long files.
    Index.FFrames.reserve(static_cast<size_t>(std::max<int64_t>(0, (AudioEnd - First) / 200)));
    double Elapsed = 0.0;
    int64_t At = First;
    while (At < Limit) {
        uint8_t Head[40];
        std::memset(Head, 0, sizeof Head);
        Stream.SetPosition(At);
        const int64_t Got = Stream.Read(Head, 40);
        THeader Frame;
        if (Got >= 4 && DecodeHeader(Head, Frame)) {
            if (At + Frame.Length > AudioEnd) break;  // cut short: not taken, nothing after it is audio
            if (!IsInformationFrame(Frame, Head)) {
                TMp3IndexedFrame Entry;
                Entry.Offset = At;
                Entry.StartMs = Elapsed;
                Entry.Length = static_cast<uint16_t>(Frame.Length);
                Entry.Samples = static_cast<uint16_t>(Frame.Samples);
                Entry.SampleRate = static_cast<uint16_t>(Frame.SampleRate);
                Entry.Mono = Frame.Mono;
                Index.FFrames.push_back(Entry);
                Elapsed += Frame.DurationMs;
            }
            At += Frame.Length;
        } else if (Got >= 10 && BytesAre(Head, "ID3")) {
            At += 10 + SyncsafeSize(Head + 6);
        } else {
            At += 4;
        }
    }
    Index.FFrames.shrink_to_fit();
    Index.FTotalMs = Elapsed;
    return Index;
}

int64_t TMp3FrameIndex::LengthMs() const { return static_cast<int64_t>(std::trunc(FTotalMs)); }

size_t TMp3FrameIndex::FirstFrameAtOrAfter(double Ms) const {
    // StartMs rises with the index (durations are positive), so the first
    // frame with StartMs >= Ms is found by bisection; the values are the very
    // sums the engine's skip compares with.
    const auto It = std::lower_bound(FFrames.begin(), FFrames.end(), Ms,
                                     [](const TMp3IndexedFrame& F, double V) { return F.StartMs < V; });
    return static_cast<size_t>(It - FFrames.begin());
}
