#include "tests/engine/ExpectedCut.h"

#include <cmath>

using namespace FrameBuilder;

TExpectedCut ExpectedCut(const Bytes& Source, const TWalk& W, int32_t StartMs, int32_t EndMs) {
    std::vector<TWalkedFrame> Audio;
    for (const TWalkedFrame& F : W.Frames)
        if (!F.Information) Audio.push_back(F);
    size_t I = 0;
    double Elapsed = 0;
    while (StartMs > 0 && I < Audio.size() && Elapsed < StartMs) Elapsed += Audio[I++].Ms();
    TExpectedCut Cut;
    double Written = 0;
    const double Span = double(int64_t(EndMs) - StartMs);
    for (; I < Audio.size() && Written < Span; ++I) {
        const TWalkedFrame& F = Audio[I];
        if (Cut.Frames == 0) Cut.FirstAudioFrame = int(I);
        if (Cut.Frames > 0 && F.BitRateKbps != Audio[I - 1].BitRateKbps) Cut.MixedBitRates = true;
        Cut.Data += Source.substr(size_t(F.Offset), size_t(F.Length));
        Cut.Taken.push_back(F);
        Cut.Frames += 1;
        Cut.Samples += F.Samples;
        Written += F.Ms();
    }
    Cut.EndsAtLast = Cut.Frames > 0 && I == Audio.size();
    Cut.DurationMs = int64_t(std::trunc(Written));
    return Cut;
}
