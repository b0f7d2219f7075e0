// Information frames: the first frame of many MP3 files holds no audio but a
// record of the stream for players (frame and byte counts, a seek table),
// "Xing" (variable bit rate) or "Info" (constant) where a frame's side
// information would start, mostly followed by a LAME tag (the encoder, its
// delay and padding, CRCs), or "VBRI" at a fixed offset. This module reads
// such records and builds a fresh one for a piece cut out of a stream.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/FrameHeader.h"
#include "engine/Tags.h"

constexpr int InfoMarkerBytes = 4;
constexpr int VbriOffset = 36;
constexpr int TocEntries = 100;
constexpr int LameTagBytes = 36;
// The LAME tag's encoder delay and padding are 12-bit sample counts.
constexpr int MaxLameSamples = 4095;
// Layer III decoders put out each sample this many samples late; the LAME
// tag's delay leaves it out, and gapless decoders add it.
constexpr int DecoderDelaySamples = 529;

// Where "Xing" or "Info" stands: behind the header and the side information,
// whose size depends on the version and the channel count.
constexpr int SideInfoEndMpeg1Stereo = 36, SideInfoEndMpeg1Mono = 21;
constexpr int SideInfoEndMpeg2Stereo = 21, SideInfoEndMpeg2Mono = 13;
inline int SideInfoEnd(const TFrameHeader& Frame) {
    if (Frame.Version == 1.0) return Frame.Mono ? SideInfoEndMpeg1Mono : SideInfoEndMpeg1Stereo;
    return Frame.Mono ? SideInfoEndMpeg2Mono : SideInfoEndMpeg2Stereo;
}
// The first bytes of a frame that hold every marker looked for.
constexpr int InfoHeadBytes =
    (SideInfoEndMpeg1Stereo > VbriOffset ? SideInfoEndMpeg1Stereo : VbriOffset) + InfoMarkerBytes;

// True when the frame whose first bytes are Head (InfoHeadBytes of them, zero
// beyond the data) carries an information record. A marker counts
// only inside the frame itself: bytes beyond a short frame belong to the next.
inline bool IsInformationFrame(const TFrameHeader& Frame, const uint8_t* Head) {
    const int Offset = SideInfoEnd(Frame);
    if (Offset + InfoMarkerBytes <= Frame.Length &&
        (BytesAre(Head + Offset, "Xing") || BytesAre(Head + Offset, "Info")))
        return true;
    return VbriOffset + InfoMarkerBytes <= Frame.Length && BytesAre(Head + VbriOffset, "VBRI");
}

enum class TInfoMarker { None, Xing, Info, Vbri };

// The LAME tag: 36 bytes behind the Xing/Info fields.
struct TLameTag {
    std::array<uint8_t, LameTagBytes> Bytes{};  // as found; the fields below are read from them
    std::string Encoder;                        // the 9-byte version string, without trailing zeros
    int Delay = 0;                              // samples the encoder put in front of the music
    int Padding = 0;                            // samples it added behind it
    uint32_t MusicLength = 0;                   // bytes from the information frame to the last audio byte
    uint16_t MusicCrc = 0;                      // over the audio frames behind the information frame
    uint16_t TagCrc = 0;                        // over the frame's bytes in front of this field
    bool TagCrcMatches = false;
    int Offset = 0;  // where the tag begins in its frame
};

// A Fraunhofer "VBRI" record.
struct TVbriRecord {
    uint16_t Version = 0, Delay = 0, Quality = 0;
    uint32_t Bytes = 0, Frames = 0;
    uint16_t TocEntries = 0, TocScale = 0, TocEntryBytes = 0, FramesPerEntry = 0;
};

struct TInfoFrame {
    TInfoMarker Marker = TInfoMarker::None;
    // The Xing/Info fields present (by their flags).
    std::optional<uint32_t> Frames, Bytes, Quality;
    std::optional<std::array<uint8_t, TocEntries>> Toc;
    std::optional<TLameTag> Lame;
    std::optional<TVbriRecord> Vbri;
};

// Reads the record of the frame whose Length bytes are in Frame. Marker is
// None when the frame carries none; fields cut off by the frame's end are
// left out.
TInfoFrame ParseInfoFrame(const uint8_t* Frame, int Length);

// Puts MusicCrc into the LAME tag Tag read from Frame (the information
// frame's bytes), and makes the tag's own CRC anew when it held.
void SetLameMusicCrc(uint8_t* Frame, const TLameTag& Tag, uint16_t MusicCrc);

// What a fresh information frame says about the piece behind it.
struct TPieceFacts {
    uint32_t Frames = 0;      // audio frames
    uint64_t AudioBytes = 0;  // their bytes
    bool Vbr = false;         // their bit rates differ
    std::array<uint8_t, TocEntries> Toc{};
    uint16_t MusicCrc = 0;
    int Delay = 0, Padding = 0;
};

// The shape of a fresh information frame for a piece whose first audio frame
// begins with FirstHeader: that frame's version, layer, sample rate and
// channel mode, no CRC, and its bit rate when its frame holds the record,
// else the smallest bit rate whose frame does.
struct TInfoFrameLayout {
    uint8_t Header[FrameHeaderBytes] = {};
    int Length = 0;
    int RecordOffset = 0;  // where "Xing"/"Info" goes
};
// False when no bit rate gives room for the record (or the header is no frame).
bool LayoutInfoFrame(const uint8_t FirstHeader[FrameHeaderBytes], TInfoFrameLayout& Layout);

// The bytes of a fresh information frame: "Xing" or "Info", every Xing field,
// and a LAME tag that keeps the encoder string and fields of Source's tag
// (a neutral one without it), with the piece's delay, padding, length and CRCs.
std::vector<uint8_t> BuildInfoFrame(const TInfoFrameLayout& Layout, const TInfoFrame& Source, const TPieceFacts& Piece);
