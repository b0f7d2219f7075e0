// How loud a frame can be, read from its first bytes before any decoding.
//
// A layer III frame's side information holds, for each granule and channel,
// the global gain (the quantiser's step), how many values are coded and which
// Huffman tables code them (each table bounds the values it can give): the
// energy of the dequantised values has a ceiling there, and a likely value.
// Layers I and II carry a scale factor for every coded subband: each bounds
// that subband's samples.
//
// The decoder turns those values into samples through transforms whose
// energy gains are fixed (the lapped transform of layer III is orthogonal up
// to a factor of 9 where the windows follow one another as the format
// prescribes, at most 36 anyway; the synthesis filter bank multiplies energy
// by 32 within 0.1 dB, measured on libmpg123 with layer I frames of known
// subband samples): a frame's decoded energy is at most those gains times
// the bounds of the units whose values reach its samples.
#pragma once

#include <cstdint>

#include "engine/FrameHeader.h"

// Enough of a frame's first bytes for everything read here: the header, its
// CRC and the side information, or layer II's allocation and scale factors
// for 30 subbands of two channels.
constexpr int FrameEnergyHeadBytes = 192;

// The part of a frame whose samples the decoder puts out from one set of
// values: a granule of layer III (576 samples per channel), a whole frame of
// layer I or II.
struct TEnergyUnit {
    double Bound = 0.0;         // the energy of its dequantised values (all channels) is at most this
    double Estimate = 0.0;      // the likely energy of its decoded samples (all channels)
    double PeakEstimate = 0.0;  // the likely square of its largest decoded sample
    // Layer III: each channel's window (block type 0 long, 1 start, 2 short, 3 stop; MixedWindow).
    uint8_t Windows[2] = {};
};
constexpr uint8_t MixedWindow = 4;

struct TFrameEnergy {
    bool Known = false;  // false: the bytes are no frame this reads (or contradict themselves)
    int Layer = 0;
    int Units = 0;  // 2 (MPEG 1 layer III) or 1
    int Channels = 0;
    TEnergyUnit Unit[2];
    // The decoded samples' energy per unit of Bound where the lapped windows
    // of layer III follow one another as they must (LappedGain), and where
    // they do not (AnyGain); layers I and II have no such transform.
    double LappedGain = 0.0, AnyGain = 0.0;
    // Layer III: how many bytes of its main data lie in the frames before it,
    // and how many bytes behind its side information it holds.
    int MainDataBegin = 0;
    int MainDataRoom = 0;
};

// Where a layer III frame keeps its side information: behind the header and
// the CRC (when the header's protection bit is 0), a few fields for the
// frame, then the fields of each granule and channel in turn, all of the same
// width, the global gain among them.
struct TSideInfoPlace {
    int Offset = 0;  // from the frame's start
    int Bytes = 0;
    int Units = 0;  // granules: 2 (MPEG 1) or 1
    int Channels = 0;
    bool Crc = false;
    bool Mpeg1 = false;
    int End() const { return Offset + Bytes; }
    // The first bit of the fields of granule Unit and Channel, counted from
    // the side information's first bit (its most significant one).
    int GranuleBit(int Unit, int Channel) const;
};
// Within a granule's fields: part2_3_length (12 bits; 0: nothing is coded),
// big_values (9), then the global gain (8).
constexpr int Part23Bits = 12, GlobalGainBit = 21, GlobalGainBits = 8;

// False for anything but a layer III frame long enough for its side
// information; Header is its first bytes.
bool FindSideInfo(const uint8_t Header[FrameHeaderBytes], const TFrameHeader& Frame, TSideInfoPlace& Place);

// Reads the frame whose header Frame decodes and whose first Count bytes
// (at most its length) are at Bytes.
TFrameEnergy ReadFrameEnergy(const uint8_t* Bytes, int Count, const TFrameHeader& Frame);

// True when a layer III granule whose channels have the windows After may
// follow one with Before: the overlapping window halves then add up to an
// orthogonal transform.
bool WindowsFollow(const TEnergyUnit& Before, const TEnergyUnit& After, int Channels);
