// Fades at the start and the end of a piece made of whole layer III frames,
// without decoding: over the fade, each granule's global gain is lowered so
// that the piece's level rises from the floor to its own (falls from its own
// to the floor) in steps of 1.5 dB along a linear ramp of amplitude. The
// floor is 40 steps down, 60 dB. The frames keep their lengths, and the
// bytes outside the fades stay as they were.
//
// A decoder puts out each granule overlapped with the one before it, so the
// frames decoded only to prepare the piece's first heard frame (an exact
// start's) are lowered to the floor as well: what they leave in the first
// granule would sound before the fade has begun. And the fades follow what
// gapless players put out, 529 samples behind the frames: they stop there
// at the last frame's end, so the fade out reaches the floor that much
// before the frames end; an exact start's players begin that much before
// the start frame, where the fade in begins.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "engine/Crc16.h"
#include "engine/FrameHeader.h"
#include "platform/FileStream.h"

struct TFades {
    int32_t InMs = 0, OutMs = 0;  // 0: none
    bool Any() const { return InMs > 0 || OutMs > 0; }
};

// How far down a fade takes the level, in gain steps.
constexpr int FadeFloorSteps = 40;

// The gain steps that bring a granule nearest to Fraction of its amplitude:
// the floor for 0 and below, none for 1.
int FadeSteps(double Fraction);

// Follows the frames of a piece as they are written, keeps those the fades
// reach, and lowers their gains in the written piece at the end.
class TPieceFader {
public:
    explicit TPieceFader(const TFades& Fades) : FFades(Fades) {}
    // The piece's next frame, beginning at Offset among its audio bytes.
    void Frame(uint64_t Offset, const TFrameHeader& Frame);
    // The frames so far only prepare the decoding of the next, the first
    // one heard, where the fade in begins. Before the first heard frame,
    // whether any frames precede it or not.
    void MarkStart();
    // Lowers the gains in Target, where the piece's audio begins at AudioAt,
    // telling Changes every byte it changes (at its place among the audio
    // bytes). False when a frame's gain cannot change.
    bool Apply(TFileStream& Target, int64_t AudioAt, TCrc16Changes& Changes) const;

private:
    struct TKept {
        uint64_t Offset = 0;
        int32_t Length = 0;
        double StartMs = 0.0, DurationMs = 0.0;  // from the first heard frame's start
        double DelayMs = 0.0;                    // of a decoder, at its sample rate
    };
    // The steps each granule of K is lowered by, in a piece heard from
    // HeardFromMs to HeardToMs.
    void StepsFor(const TKept& K, double HeardFromMs, double HeardToMs, int Units, int Steps[2]) const;

    TFades FFades;
    double FMs = 0.0;       // the frames' summed duration so far
    double FStartMs = 0.0;  // where the first heard frame starts
    bool FStarted = false;
    std::vector<TKept> FFirst;  // the frames in front of the start and those the fade in reaches
    std::deque<TKept> FLast;    // the last frames, as many as the fade out may reach
};
