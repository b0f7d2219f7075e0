#include "tests/support/FrameBuilder.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace FrameBuilder {

namespace {

// kbit/s by [MPEG 1 or not][layer - 1], index 1..14 at position 0..13.
const int KbpsTable[2][3][14] = {
    {{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};

int RateRow(int VersionCode) {
    switch (VersionCode) {
    case Mpeg1: return 0;
    case Mpeg2: return 1;
    case Mpeg25: return 2;
    }
    throw std::invalid_argument("reserved version");
}

const int HzTable[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

int BitRateIndex(const TFrameKind& Kind) {
    const int* Row = KbpsTable[Kind.VersionCode == Mpeg1 ? 0 : 1][Kind.Layer - 1];
    for (int I = 0; I < 14; ++I)
        if (Row[I] == Kind.BitRateKbps) return I + 1;
    throw std::invalid_argument("bit rate not in table");
}

int SampleRateIndex(const TFrameKind& Kind) {
    for (int I = 0; I < 3; ++I)
        if (HzTable[RateRow(Kind.VersionCode)][I] == Kind.SampleRate) return I;
    throw std::invalid_argument("sample rate not in table");
}

}  // namespace

Bytes Header(const TFrameKind& Kind) {
    Bytes H(4, '\0');
    H[0] = char(0xFF);
    // sync bits, version, layer, no CRC
    H[1] = char(0xE0 | (Kind.VersionCode << 3) | ((4 - Kind.Layer) << 1) | 1);
    H[2] = char((BitRateIndex(Kind) << 4) | (SampleRateIndex(Kind) << 2) | (Kind.Padding << 1));
    H[3] = char(Kind.ChannelMode << 6);
    return H;
}

int SamplesPerFrame(int VersionCode, int Layer) {
    if (Layer == 1) return 384;
    if (Layer == 2) return 1152;
    return VersionCode == Mpeg1 ? 1152 : 576;
}

int FrameLength(const TFrameKind& Kind) {
    // Layer I counts in four-byte slots, its padding one slot.
    if (Kind.Layer == 1) return (int(std::trunc(12.0 * Kind.BitRateKbps * 1000 / Kind.SampleRate)) + Kind.Padding) * 4;
    const double S = SamplesPerFrame(Kind.VersionCode, Kind.Layer);
    return int(std::trunc(S / 8 * Kind.BitRateKbps * 1000 / Kind.SampleRate)) + Kind.Padding;
}

double FrameMs(const TFrameKind& Kind) {
    return SamplesPerFrame(Kind.VersionCode, Kind.Layer) * 1000.0 / Kind.SampleRate;
}

Bytes Frame(const TFrameKind& Kind, uint8_t Fill) {
    if (Fill == 0xFF) Fill = 0xFE;
    Bytes F = Header(Kind);
    F.resize(FrameLength(Kind), char(Fill));
    return F;
}

Bytes Frames(const TFrameKind& Kind, int Count, uint8_t FirstFill) {
    Bytes Out;
    for (int I = 0; I < Count; ++I) Out += Frame(Kind, uint8_t(1 + (FirstFill - 1 + I) % 0xFE));
    return Out;
}

int SideInfoOffset(const TFrameKind& Kind) {
    const bool Mono = Kind.ChannelMode == SingleChannel;
    if (Kind.VersionCode == Mpeg1) return Mono ? 21 : 36;
    return Mono ? 13 : 21;
}

Bytes InformationFrame(const TFrameKind& Kind, const std::string& Marker, int Offset) {
    Bytes F = Frame(Kind, 0);
    F.replace(Offset, Marker.size(), Marker);
    return F;
}

Bytes Syncsafe(uint32_t Size) {
    return Bytes{char((Size >> 21) & 0x7F), char((Size >> 14) & 0x7F), char((Size >> 7) & 0x7F), char(Size & 0x7F)};
}

Bytes Id3v2Tag(uint32_t Size, uint8_t Flags, uint8_t Major) { return Id3v2TagAround(Bytes(Size, 'x'), Flags, Major); }

Bytes Id3v2TagAround(const Bytes& Body, uint8_t Flags, uint8_t Major) {
    return Bytes("ID3") + char(Major) + char(0) + char(Flags) + Syncsafe(uint32_t(Body.size())) + Body;
}

namespace {
Bytes Field(const std::string& Text, size_t Width) {
    Bytes F = Text.substr(0, Width);
    F.resize(Width, '\0');
    return F;
}
}  // namespace

Bytes Id3v1Tag(const TId3v1Fields& T) {
    Bytes Tag = "TAG" + Field(T.Title, 30) + Field(T.Artist, 30) + Field(T.Album, 30) + Field(T.Year, 4) +
                Field(T.Comment, 30) + char(T.Genre);
    if (Tag.size() != 128) throw std::logic_error("ID3v1 tag size");
    return Tag;
}

Bytes Id3v11Comment(const std::string& Comment, uint8_t Track) { return Field(Comment, 28) + '\0' + char(Track); }

Bytes ApeFooter(uint32_t ItemsSize) {
    Bytes F = "APETAGEX";
    auto Le32 = [&F](uint32_t V) {
        for (int I = 0; I < 4; ++I) F += char((V >> (8 * I)) & 0xFF);
    };
    Le32(2000);
    Le32(ItemsSize + 32);
    Le32(ItemsSize ? 1 : 0);
    Le32(0x80000000u);
    F += Bytes(8, '\0');
    return F;
}

Bytes ApeTagWithItems() {
    Bytes Items;
    const Bytes Key = "Title", Value = "An APE title";
    Items += char(Value.size()) + Bytes(3, '\0') + Bytes(4, '\0') + Key + '\0' + Value;
    Bytes Header = ApeFooter(uint32_t(Items.size()));
    Header[23] = char(0xA0);  // "is header" flag
    return Header + Items + ApeFooter(uint32_t(Items.size()));
}

TWalk WalkFrames(const Bytes& Data, int64_t From, int64_t End) {
    TWalk W;
    int64_t P = From;
    while (P + 4 <= End) {
        const auto* H = reinterpret_cast<const uint8_t*>(Data.data() + P);
        if (H[0] != 0xFF) break;
        const int VersionCode = (H[1] >> 3) & 3, LayerCode = (H[1] >> 1) & 3;
        const int Bri = H[2] >> 4, Sri = (H[2] >> 2) & 3;
        if (VersionCode == Reserved || LayerCode == 0 || Bri == 0 || Bri == 15 || Sri == 3) break;
        TFrameKind Kind;
        Kind.VersionCode = VersionCode;
        Kind.Layer = 4 - LayerCode;
        Kind.BitRateKbps = KbpsTable[VersionCode == Mpeg1 ? 0 : 1][Kind.Layer - 1][Bri - 1];
        Kind.SampleRate = HzTable[RateRow(VersionCode)][Sri];
        Kind.Padding = (H[2] >> 1) & 1;
        Kind.ChannelMode = H[3] >> 6;
        TWalkedFrame F;
        F.Offset = P;
        F.Length = FrameLength(Kind);
        F.Samples = SamplesPerFrame(VersionCode, Kind.Layer);
        F.SampleRate = Kind.SampleRate;
        F.BitRateKbps = Kind.BitRateKbps;
        if (P + F.Length > End) break;
        auto MarkerAt = [&](int Offset, const char* Marker) {
            return Offset + 4 <= F.Length && Data.compare(size_t(P + Offset), 4, Marker) == 0;
        };
        const int Side = SideInfoOffset(Kind);
        F.Information = MarkerAt(Side, "Xing") || MarkerAt(Side, "Info") || MarkerAt(36, "VBRI");
        W.Frames.push_back(F);
        P += F.Length;
    }
    W.End = P;
    W.Clean = P == End;
    return W;
}

int LeadingInformationFrame(const Bytes& Data) {
    const TWalk W = WalkFrames(Data, 0, int64_t(Data.size()));
    return !W.Frames.empty() && W.Frames.front().Information ? W.Frames.front().Length : 0;
}

}  // namespace FrameBuilder
