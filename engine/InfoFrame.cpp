#include "engine/InfoFrame.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/Crc16.h"

namespace {

// The Xing/Info flags: which fields follow, in this order.
constexpr uint32_t HasFrames = 0x1, HasBytes = 0x2, HasToc = 0x4, HasQuality = 0x8;
constexpr int XingFieldsBytes = InfoMarkerBytes + 4 + 4 + 4 + TocEntries + 4;
constexpr int RecordBytes = XingFieldsBytes + LameTagBytes;

// Offsets inside the LAME tag.
constexpr int LameEncoderBytes = 9;
constexpr int LameDelayAt = 21;  // 12 bits delay, 12 bits padding
constexpr int LameMusicLengthAt = 28;
constexpr int LameMusicCrcAt = 32;
constexpr int LameTagCrcAt = 34;

uint32_t Be32(const uint8_t* P) { return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3]; }
uint16_t Be16(const uint8_t* P) { return static_cast<uint16_t>(P[0] << 8 | P[1]); }
void PutBe32(uint8_t* P, uint32_t V) {
    for (int I = 0; I < 4; ++I) P[I] = static_cast<uint8_t>(V >> (24 - 8 * I));
}
void PutBe16(uint8_t* P, uint16_t V) {
    P[0] = static_cast<uint8_t>(V >> 8);
    P[1] = static_cast<uint8_t>(V);
}

// Encoders that write no LAME tag leave zeros (or the frame ends) where it would be.
bool LooksLikeEncoderString(const uint8_t* P) { return P[0] >= 0x20 && P[0] < 0x7F; }

TLameTag ReadLameTag(const uint8_t* Frame, int At) {
    TLameTag T;
    const uint8_t* P = Frame + At;
    std::copy(P, P + LameTagBytes, T.Bytes.begin());
    T.Encoder.assign(reinterpret_cast<const char*>(P), LameEncoderBytes);
    T.Encoder.erase(std::find(T.Encoder.begin(), T.Encoder.end(), '\0'), T.Encoder.end());
    T.Delay = P[LameDelayAt] << 4 | P[LameDelayAt + 1] >> 4;
    T.Padding = (P[LameDelayAt + 1] & 0x0F) << 8 | P[LameDelayAt + 2];
    T.MusicLength = Be32(P + LameMusicLengthAt);
    T.MusicCrc = Be16(P + LameMusicCrcAt);
    T.TagCrc = Be16(P + LameTagCrcAt);
    T.TagCrcMatches = Crc16(Frame, size_t(At) + LameTagCrcAt) == T.TagCrc;
    T.Offset = At;
    return T;
}

void ReadXing(const uint8_t* Frame, int Limit, int At, TInfoFrame& R) {
    int P = At + InfoMarkerBytes;
    if (P + 4 > Limit) return;
    const uint32_t Flags = Be32(Frame + P);
    P += 4;
    // The fields the flags announce, in order; one cut off by the frame's
    // end ends the record, and leaves the tag's place unknown.
    bool Whole = true;
    auto Next = [&](uint32_t Flag, int Bytes) -> const uint8_t* {
        if (!(Flags & Flag)) return nullptr;
        if (!Whole || P + Bytes > Limit) {
            Whole = false;
            return nullptr;
        }
        const uint8_t* Field = Frame + P;
        P += Bytes;
        return Field;
    };
    if (const uint8_t* V = Next(HasFrames, 4)) R.Frames = Be32(V);
    if (const uint8_t* V = Next(HasBytes, 4)) R.Bytes = Be32(V);
    if (const uint8_t* V = Next(HasToc, TocEntries)) {
        R.Toc.emplace();
        std::copy(V, V + TocEntries, R.Toc->begin());
    }
    if (const uint8_t* V = Next(HasQuality, 4)) R.Quality = Be32(V);
    if (Whole && P + LameTagBytes <= Limit && LooksLikeEncoderString(Frame + P)) R.Lame = ReadLameTag(Frame, P);
}

void ReadVbri(const uint8_t* Frame, int Limit, TInfoFrame& R) {
    const int P = VbriOffset + InfoMarkerBytes;
    if (P + 22 > Limit) return;
    const uint8_t* F = Frame + P;
    TVbriRecord V;
    V.Version = Be16(F);
    V.Delay = Be16(F + 2);
    V.Quality = Be16(F + 4);
    V.Bytes = Be32(F + 6);
    V.Frames = Be32(F + 10);
    V.TocEntries = Be16(F + 14);
    V.TocScale = Be16(F + 16);
    V.TocEntryBytes = Be16(F + 18);
    V.FramesPerEntry = Be16(F + 20);
    R.Vbri = V;
}

}  // namespace

void SetLameMusicCrc(uint8_t* Frame, const TLameTag& Tag, uint16_t MusicCrc) {
    PutBe16(Frame + Tag.Offset + LameMusicCrcAt, MusicCrc);
    if (Tag.TagCrcMatches) PutBe16(Frame + Tag.Offset + LameTagCrcAt, Crc16(Frame, size_t(Tag.Offset) + LameTagCrcAt));
}

TInfoFrame ParseInfoFrame(const uint8_t* Frame, int Length) {
    TInfoFrame R;
    TFrameHeader Header;
    if (Length < FrameHeaderBytes) return R;
    // A free-format frame's length is not in its header: the bytes given bound it.
    if (!DecodeFrameHeader(Frame, Header) && !DecodeFreeFormatHeader(Frame, Header)) return R;
    if (Header.FreeFormat) Header.Length = Length;
    const int Limit = std::min(Length, Header.Length);
    const int Offset = SideInfoEnd(Header);
    auto MarkerAt = [&](int At, const char* Marker) {
        return At + InfoMarkerBytes <= Limit && BytesAre(Frame + At, Marker);
    };
    if (MarkerAt(Offset, "Xing") || MarkerAt(Offset, "Info")) {
        R.Marker = BytesAre(Frame + Offset, "Xing") ? TInfoMarker::Xing : TInfoMarker::Info;
        ReadXing(Frame, Limit, Offset, R);
    } else if (MarkerAt(VbriOffset, "VBRI")) {
        R.Marker = TInfoMarker::Vbri;
        ReadVbri(Frame, Limit, R);
    }
    return R;
}

bool LayoutInfoFrame(const uint8_t FirstHeader[FrameHeaderBytes], TInfoFrameLayout& Layout) {
    // The walk takes a frame by its first byte; decoders look for all eleven
    // sync bits, and skip an information frame without them (and with it its
    // counts and its delay). A piece whose first frame lacks them would not
    // decode from its start anyway: it gets no information frame.
    // A free-format piece gets a frame of a bit rate from the table, which
    // every reader measures by its header.
    constexpr uint8_t SyncBits = 0xE0;
    TFrameHeader First;
    if ((FirstHeader[1] & SyncBits) != SyncBits ||
        (!DecodeFrameHeader(FirstHeader, First) && !DecodeFreeFormatHeader(FirstHeader, First)))
        return false;
    const int Needed = SideInfoEnd(First) + RecordBytes;
    auto Fits = [&](int Index) {
        const uint8_t H[FrameHeaderBytes] = {
            FrameSyncByte,
            static_cast<uint8_t>(FirstHeader[1] | 0x01),                 // no CRC
            static_cast<uint8_t>(Index << 4 | (FirstHeader[2] & 0x0C)),  // sample rate, no padding
            static_cast<uint8_t>(FirstHeader[3] & 0xCF),                 // channel mode, no mode extension
        };
        TFrameHeader Frame;
        if (!DecodeFrameHeader(H, Frame) || Frame.Length < Needed) return false;
        std::copy(H, H + FrameHeaderBytes, Layout.Header);
        Layout.Length = Frame.Length;
        Layout.RecordOffset = SideInfoEnd(Frame);
        return true;
    };
    // The first frame's own bit rate, as encoders do: the piece's first
    // header still tells the bit rate of a constant-rate piece. Else the
    // smallest that holds the record (the rates rise with the index).
    if (Fits(FirstHeader[2] >> 4)) return true;
    for (int Index = 1; Index <= 14; ++Index)
        if (Fits(Index)) return true;
    return false;
}

std::vector<uint8_t> BuildInfoFrame(const TInfoFrameLayout& Layout, const TInfoFrame& Source,
                                    const TPieceFacts& Piece) {
    std::vector<uint8_t> F(size_t(Layout.Length), 0);
    std::copy(Layout.Header, Layout.Header + FrameHeaderBytes, F.begin());
    uint8_t* P = F.data() + Layout.RecordOffset;
    std::memcpy(P, Piece.Vbr ? "Xing" : "Info", InfoMarkerBytes);

    // A piece beyond 4 GiB cannot give its size; players then go by the frame count.
    const uint64_t Total = uint64_t(Layout.Length) + Piece.AudioBytes;
    const bool SizeFits = Total <= std::numeric_limits<uint32_t>::max();
    PutBe32(P + 4, HasFrames | HasQuality | (SizeFits ? HasBytes | HasToc : 0));
    P += 8;
    PutBe32(P, Piece.Frames);
    P += 4;
    if (SizeFits) {
        PutBe32(P, uint32_t(Total));
        std::copy(Piece.Toc.begin(), Piece.Toc.end(), P + 4);
        P += 4 + TocEntries;
    }
    PutBe32(P, Source.Quality.value_or(0));
    P += 4;

    uint8_t* Lame = P;
    if (Source.Lame) {
        std::copy(Source.Lame->Bytes.begin(), Source.Lame->Bytes.end(), Lame);
    } else {
        // Decoders honour the delay and padding only behind this name: it
        // stands for the tag's layout here, with no version and no settings.
        std::memcpy(Lame, "LAME", 4);
    }
    const int Delay = std::clamp(Piece.Delay, 0, MaxLameSamples);
    const int Padding = std::clamp(Piece.Padding, 0, MaxLameSamples);
    Lame[LameDelayAt] = static_cast<uint8_t>(Delay >> 4);
    Lame[LameDelayAt + 1] = static_cast<uint8_t>((Delay & 0x0F) << 4 | Padding >> 8);
    Lame[LameDelayAt + 2] = static_cast<uint8_t>(Padding);
    PutBe32(Lame + LameMusicLengthAt, SizeFits ? uint32_t(Total) : 0);
    PutBe16(Lame + LameMusicCrcAt, Piece.MusicCrc);
    PutBe16(Lame + LameTagCrcAt, Crc16(F.data(), size_t(Lame + LameTagCrcAt - F.data())));
    return F;
}
