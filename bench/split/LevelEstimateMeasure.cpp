// The level estimate against the decoded level, frame by frame: how far the
// estimate lies from the decoded RMS and peak level (median and 99th
// percentile of the error in dB, per layer and version), whether any frame
// decodes above its ceiling, and how many frames the ceiling alone calls
// quiet. Run by bench/split/silence-bench.sh; nothing here is a test.
//
//   level-estimate-measure FILE... [--threshold DB] [--frames] [--estimate-only]
//
// --frames prints every frame (number, layer, version, estimated RMS, peak
// and ceiling, decoded RMS and peak); --estimate-only runs the estimate
// alone, for timing.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "engine/FrameHeader.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "player/FrameLevels.h"
#include "player/LevelEstimate.h"
#include "player/Mp3FrameIndex.h"

namespace {

struct TKindStats {
    std::vector<double> RmsError, PeakError;  // estimate - decoded, frames both know and decode above -90 dB
    long Frames = 0, Unknown = 0, AboveCeiling = 0, CertainlyQuiet = 0, Quiet = 0;
};

double Percentile(std::vector<double> V, double P) {
    if (V.empty()) return NAN;
    for (double& X : V) X = std::fabs(X);
    std::sort(V.begin(), V.end());
    return V[std::min(V.size() - 1, size_t(P * double(V.size() - 1) + 0.5))];
}

double Median(std::vector<double> V) {
    if (V.empty()) return NAN;
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

std::string KindOf(const std::string& File, int64_t Offset) {
    TFileStream S(File, TFileMode::fmOpenRead);
    uint8_t H[FrameHeaderBytes];
    S.SetPosition(Offset);
    S.ReadBuffer(H, FrameHeaderBytes);
    TFrameHeader F;
    if (!DecodeFrameHeader(H, F)) return "?";
    char Text[32];
    std::snprintf(Text, sizeof Text, "MPEG %g layer %d", F.Version, F.Layer);
    return Text;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> Files;
    double Threshold = -48.0;
    bool PerFrame = false, EstimateOnly = false;
    for (int I = 1; I < argc; ++I) {
        if (!std::strcmp(argv[I], "--threshold") && I + 1 < argc)
            Threshold = std::atof(argv[++I]);
        else if (!std::strcmp(argv[I], "--frames"))
            PerFrame = true;
        else if (!std::strcmp(argv[I], "--estimate-only"))
            EstimateOnly = true;
        else
            Files.push_back(argv[I]);
    }
    if (Files.empty()) {
        std::fprintf(stderr, "usage: %s FILE... [--threshold DB] [--frames] [--estimate-only]\n", argv[0]);
        return 2;
    }
    try {
        std::map<std::string, TKindStats> Stats;
        for (const std::string& File : Files) {
            const auto Started = std::chrono::steady_clock::now();
            TMp3FrameIndex Index;
            {
                TFileStream Source(File, TFileMode::fmOpenRead);
                Index = TMp3FrameIndex::Build(Source);
            }
            const auto Indexed = std::chrono::steady_clock::now();
            std::vector<TLevelEstimate> Estimates;
            Estimates.reserve(Index.Count());
            EstimateFrameLevels(
                File, Index, 0, Index.Count(),
                [&](size_t, const TMp3IndexedFrame&, const TLevelEstimate& E) { Estimates.push_back(E); });
            if (EstimateOnly) {
                const auto Ms = [](auto D) { return std::chrono::duration<double, std::milli>(D).count(); };
                std::printf("%s: %zu frames estimated; index %.1f ms, estimate %.1f ms\n", File.c_str(),
                            Estimates.size(), Ms(Indexed - Started), Ms(std::chrono::steady_clock::now() - Indexed));
                continue;
            }
            // Layer and version change rarely: looked up where the kind of frame changes.
            std::string Kind;
            uint16_t LastSamples = 0, LastRate = 0;
            ScanFrameLevels(File, Index, 0, Index.Count(),
                            [&](size_t N, const TMp3IndexedFrame& Frame, const TFrameLevel& D) {
                                if (Frame.Samples != LastSamples || Frame.SampleRate != LastRate || Kind.empty()) {
                                    Kind = KindOf(File, Frame.Offset);
                                    LastSamples = Frame.Samples;
                                    LastRate = Frame.SampleRate;
                                }
                                const TLevelEstimate& E = Estimates[N];
                                TKindStats& S = Stats[Kind];
                                ++S.Frames;
                                if (PerFrame)
                                    std::printf("%zu %s %d %.2f %.2f %.2f %.2f %.2f\n", N, Kind.c_str(), int(E.Known),
                                                E.RmsDb, E.PeakDb, E.CeilingDb, D.LevelDb, D.PeakDb);
                                if (!E.Known) {
                                    ++S.Unknown;
                                    return;
                                }
                                if (D.LevelDb > E.CeilingDb) ++S.AboveCeiling;
                                if (D.LevelDb < Threshold) ++S.Quiet;
                                if (D.LevelDb < Threshold && E.CeilingDb < Threshold) ++S.CertainlyQuiet;
                                if (D.LevelDb > -90.0 && std::isfinite(E.RmsDb)) {
                                    S.RmsError.push_back(E.RmsDb - D.LevelDb);
                                    S.PeakError.push_back(E.PeakDb - D.PeakDb);
                                }
                            });
        }
        if (EstimateOnly) return 0;
        std::printf("%-17s %7s %7s | %-26s | %-19s | %-26s\n", "", "", "", "RMS, |estimate - decoded| dB",
                    "peak, |error| dB", "quiet frames (ceiling shown)");
        std::printf("%-17s %7s %7s | %7s %7s %10s | %7s %10s | %8s %8s %8s\n", "kind", "frames", "unknown", "median",
                    "p99", "bias", "median", "p99", "decoded", "ceiling", "above");
        for (const auto& [Kind, S] : Stats)
            std::printf("%-17s %7ld %7ld | %7.2f %7.2f %+10.2f | %7.2f %10.2f | %8ld %8ld %8ld\n", Kind.c_str(),
                        S.Frames, S.Unknown, Percentile(S.RmsError, 0.5), Percentile(S.RmsError, 0.99),
                        Median(S.RmsError), Percentile(S.PeakError, 0.5), Percentile(S.PeakError, 0.99), S.Quiet,
                        S.CertainlyQuiet, S.AboveCeiling);
        std::printf("(errors over frames decoded above -90 dB; bias: the median of the signed error; quiet: decoded "
                    "below %.0f dB, and of them below by their ceiling; above: frames decoded above their ceiling)\n",
                    Threshold);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    return 0;
}
