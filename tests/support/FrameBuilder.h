// Builds MPEG audio streams byte by byte for exact engine cases, and walks
// the frames of a stream independently of the engine to check what it wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace FrameBuilder {

using TestFiles::Bytes;

enum TVersionCode { Mpeg25 = 0, Reserved = 1, Mpeg2 = 2, Mpeg1 = 3 };
enum TChannelMode { Stereo = 0, JointStereo = 1, DualChannel = 2, SingleChannel = 3 };

struct TFrameKind {
    int VersionCode = Mpeg1;
    int Layer = 3;           // 1..3
    int BitRateKbps = 128;   // looked up in the header's table
    int SampleRate = 44100;  // Hz
    int Padding = 0;
    int ChannelMode = JointStereo;
};

// The 128 kbit/s, 44.1 kHz joint stereo MPEG 1 layer 3 frame of most music.
inline TFrameKind Cbr128() { return {}; }

// Header bytes for Kind; fails the calling test's assumptions by throwing
// when a rate is not in the tables.
Bytes Header(const TFrameKind& Kind);
int FrameLength(const TFrameKind& Kind);
int SamplesPerFrame(int VersionCode, int Layer);
double FrameMs(const TFrameKind& Kind);

// A whole frame: header, then a body of Fill bytes up to the frame length.
// Fill is kept below 0xFF so that bodies never look like headers.
Bytes Frame(const TFrameKind& Kind, uint8_t Fill = 0x11);
// Count frames of Kind, the i-th filled with FirstFill + i (wrapping below 0xFF).
Bytes Frames(const TFrameKind& Kind, int Count, uint8_t FirstFill = 1);
// An information frame: Marker ("Xing", "Info", "VBRI") at byte Offset of the frame.
Bytes InformationFrame(const TFrameKind& Kind, const std::string& Marker, int Offset);
// The byte offset at which encoders put "Xing"/"Info" for this kind of frame.
int SideInfoOffset(const TFrameKind& Kind);

Bytes Syncsafe(uint32_t Size);
// An ID3v2 header announcing Size bytes, followed by Size bytes of 'x'.
Bytes Id3v2Tag(uint32_t Size, uint8_t Flags = 0, uint8_t Major = 3);
// An ID3v2 header announcing Body's size, followed by Body.
Bytes Id3v2TagAround(const Bytes& Body, uint8_t Flags = 0, uint8_t Major = 3);

struct TId3v1Fields {
    std::string Title{}, Artist{}, Album{}, Year{};
    Bytes Comment{};  // up to 30 raw bytes, zero-filled
    uint8_t Genre = 255;
};
Bytes Id3v1Tag(const TId3v1Fields& Fields);
// The comment field of an ID3v1.1 tag: Comment cut or zero-filled to 28 bytes,
// a zero byte, then the track number.
Bytes Id3v11Comment(const std::string& Comment, uint8_t Track);
// A 32-byte APEv2 footer; Items bytes of items (and a header) go before it.
Bytes ApeFooter(uint32_t ItemsSize = 0);
Bytes ApeTagWithItems();

// One frame found by walking a stream from a frame start.
struct TWalkedFrame {
    int64_t Offset = 0;
    int Length = 0;
    int Samples = 0;
    int SampleRate = 0;
    int BitRateKbps = 0;
    bool Information = false;  // Xing/Info at the side-information offset, or VBRI at 36
    double Ms() const { return Samples * 1000.0 / SampleRate; }
};

struct TWalk {
    std::vector<TWalkedFrame> Frames;
    int64_t End = 0;     // where the walk stopped
    bool Clean = false;  // true when it stopped exactly at the requested end
};

// Walks back-to-back frames from From up to End. Stops at the first bytes that
// are no frame header or at a frame that would run past End.
TWalk WalkFrames(const Bytes& Data, int64_t From, int64_t End);

// The length of the information frame Data starts with; 0 when it starts
// with anything else.
int LeadingInformationFrame(const Bytes& Data);

}  // namespace FrameBuilder
