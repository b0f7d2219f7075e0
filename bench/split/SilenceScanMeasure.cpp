// Runs the silence scan once over a file and prints what it found: the split
// point of each silence in seconds (the same form as the peer's list in
// bench/split/silence-bench.sh), or with --runs each run in full and how
// many frames were decoded. FindSilences, or with --threads the decode of
// every frame on that many threads (the reference). Run by that script
// under hyperfine; nothing here is a test.
//
//   silence-scan-measure FILE [--threshold DB] [--min-silence MS] [--threads N] [--runs]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "player/SilenceScan.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [--threshold DB] [--min-silence MS] [--threads N] [--runs]\n", argv[0]);
        return 2;
    }
    TSilenceScanOptions Options;
    int Threads = 0;  // FindSilences' own choice
    bool Runs = false;
    for (int I = 2; I < argc; ++I) {
        const bool HasValue = I + 1 < argc;
        if (!std::strcmp(argv[I], "--threshold") && HasValue)
            Options.ThresholdDb = std::atof(argv[++I]);
        else if (!std::strcmp(argv[I], "--min-silence") && HasValue)
            Options.MinSilenceMs = std::atoll(argv[++I]);
        else if (!std::strcmp(argv[I], "--threads") && HasValue)
            Threads = std::atoi(argv[++I]);
        else if (!std::strcmp(argv[I], "--runs"))
            Runs = true;
        else {
            std::fprintf(stderr, "unknown argument %s\n", argv[I]);
            return 2;
        }
    }
    try {
        TSilenceScanFacts Facts;
        const std::vector<TSilence> Found =
            Threads > 0 ? FindSilencesOnThreads(argv[1], Options, Threads) : FindSilences(argv[1], Options, {}, &Facts);
        if (Runs && Threads == 0) std::printf("decoded %zu of %zu frames\n", Facts.DecodedFrames, Facts.Frames);
        for (const TSilence& S : Found) {
            if (Runs)
                std::printf("frames %lld..%lld  %.3f..%.3f s  split %.3f s\n", (long long)S.FirstFrame,
                            (long long)S.EndFrame, S.StartMs / 1000.0, S.EndMs / 1000.0, S.SplitMs / 1000.0);
            else
                std::printf("%.3f\n", S.SplitMs / 1000.0);
        }
    } catch (const std::exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    return 0;
}
