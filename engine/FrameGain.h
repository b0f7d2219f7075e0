// The level of layer III frames changed without decoding them. Each granule
// and channel carries a global gain that scales all of its values by
// 2^(gain / 4): one step more or less makes it 1.5 dB louder or quieter, the
// frame's other bits stay as they are, and the change is undone exactly by
// the opposite step. Only the side information changes (and the CRC of a
// protected frame), never a frame's length.
//
// Layers I and II have no such field. Free-format frames have it, but their
// length is the distance to the next header their stream's decoders find,
// and changed bytes could make one where there was none: they are left alone.
#pragma once

#include <cstdint>

#include "engine/FrameEnergy.h"
#include "engine/FrameHeader.h"

// 20 log10 2^(1/4): the change of level of one step of the global gain.
constexpr double GainStepDb = 1.5051499783199060;
constexpr int MaxGlobalGain = 255;
// The most bytes at a frame's start that a change of gain rewrites: the
// header, the CRC and MPEG 1 stereo side information.
constexpr int GainHeadBytes = FrameHeaderBytes + 2 + 32;

// True for the frames whose gain can change: layer III, of a bit rate the
// header tells.
inline bool GainChangeable(const TFrameHeader& Frame) { return Frame.Layer == 3 && !Frame.FreeFormat; }

// The global gains of one frame, read from and written back into its first
// bytes. A protected frame's CRC is made anew on Close when it held before,
// and left as it was (wrong) otherwise.
class TFrameGains {
public:
    // Head holds the frame's first Count bytes. False when the frame's gain
    // cannot change, or Count does not reach the end of its side information.
    bool Open(uint8_t* Head, int Count, const TFrameHeader& Frame);
    int Units() const { return FPlace.Units; }
    int Channels() const { return FPlace.Channels; }
    // The granule codes values: a granule without any decodes to the overlap
    // of the one before whatever its gain, which is then left alone.
    bool Coded(int Unit, int Channel) const;
    int Gain(int Unit, int Channel) const;
    void SetGain(int Unit, int Channel, int Value);
    void Close();

private:
    uint8_t* FHead = nullptr;
    TSideInfoPlace FPlace;
    bool FCrcHeld = false;
};

// What a change of gain did to the granules it reached.
struct TGainTally {
    uint64_t Granules = 0;  // coded granules whose gain changed (or was to)
    uint64_t Clamped = 0;   // of those, the ones held at 0 or 255 short of the change
};

// Adds Steps[Unit] to the gain of every coded granule of the frame, within
// 0..255.
TGainTally ShiftGains(TFrameGains& Gains, const int Steps[2]);
