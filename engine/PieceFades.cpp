#include "engine/PieceFades.h"

#include <algorithm>
#include <cmath>

#include "engine/FrameGain.h"
#include "engine/InfoFrame.h"

int FadeSteps(double Fraction) {
    if (Fraction <= 0.0) return FadeFloorSteps;
    const double Steps = std::round(-20.0 * std::log10(Fraction) / GainStepDb);
    return static_cast<int>(std::clamp(Steps, 0.0, double(FadeFloorSteps)));
}

void TPieceFader::Frame(uint64_t Offset, const TFrameHeader& Frame) {
    const TKept K{Offset, Frame.Length, FMs - FStartMs, Frame.DurationMs,
                  Frame.DurationMs * DecoderDelaySamples / std::max(Frame.Samples, 1)};
    FMs += Frame.DurationMs;
    // The frames in front of the start matter only to a fade in.
    if (FFades.InMs > 0 && (!FStarted || K.StartMs < FFades.InMs)) FFirst.push_back(K);
    if (FFades.OutMs <= 0 || !FStarted) return;
    FLast.push_back(K);
    // A frame that ends a whole fade (and a decoder's delay) before this
    // one's end never reaches into the fade out, whatever follows.
    const double ReachMs = FMs - FStartMs - FFades.OutMs - K.DelayMs;
    while (FLast.front().StartMs + FLast.front().DurationMs <= ReachMs) FLast.pop_front();
}

void TPieceFader::MarkStart() {
    FStarted = true;
    FStartMs = FMs;
    // What the frames before were kept with counts back from the start.
    for (TKept& K : FFirst) K.StartMs -= FStartMs;
}

void TPieceFader::StepsFor(const TKept& K, double HeardFromMs, double HeardToMs, int Units, int Steps[2]) const {
    const double GranuleMs = K.DurationMs / Units;
    for (int U = 0; U < Units; ++U) {
        const double From = K.StartMs + U * GranuleMs - HeardFromMs, To = From + GranuleMs;
        int S = 0;
        if (FFades.InMs > 0 && From < FFades.InMs) S = FadeSteps(From / FFades.InMs);
        if (FFades.OutMs > 0 && To > HeardToMs - FFades.OutMs) S += FadeSteps((HeardToMs - To) / FFades.OutMs);
        Steps[U] = -std::min(S, FadeFloorSteps);
    }
}

bool TPieceFader::Apply(TFileStream& Target, int64_t AudioAt, TCrc16Changes& Changes) const {
    // The frames both fades reach once, in the order of their places.
    std::vector<TKept> Frames(FFirst);
    for (const TKept& K : FLast)
        if (Frames.empty() || Frames.back().Offset < K.Offset) Frames.push_back(K);
    if (Frames.empty()) return true;
    const double DelayMs = Frames.front().DelayMs;
    const double HeardFromMs = FStartMs > 0.0 ? -DelayMs : 0.0, HeardToMs = FMs - FStartMs - DelayMs - HeardFromMs;
    for (const TKept& K : Frames) {
        uint8_t Head[GainHeadBytes] = {};
        const int Count = std::min(K.Length, GainHeadBytes);
        Target.SetPosition(AudioAt + int64_t(K.Offset));
        Target.ReadBuffer(Head, Count);
        uint8_t Was[GainHeadBytes];
        std::copy(Head, Head + Count, Was);
        TFrameHeader Frame;
        TFrameGains Gains;
        if (!DecodeFrameHeader(Head, Frame) || !Gains.Open(Head, Count, Frame)) return false;
        int Steps[2] = {0, 0};
        StepsFor(K, HeardFromMs, HeardToMs, Gains.Units(), Steps);
        ShiftGains(Gains, Steps);
        Gains.Close();
        for (int I = 0; I < Count; ++I) Changes.Change(K.Offset + uint64_t(I), Was[I], Head[I]);
        Target.SetPosition(AudioAt + int64_t(K.Offset));
        Target.WriteBuffer(Head, Count);
    }
    return true;
}
