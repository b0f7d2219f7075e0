// FindSilences: the quiet runs of a file found with as little decoding as
// the decoded levels allow, the very runs a decode of every frame finds
// (FindSilencesOnThreads).
//
// A frame's level estimate (player/LevelEstimate.h) comes with a ceiling:
// a frame whose ceiling lies below the threshold is quiet, decoded or not.
// Nothing but decoding shows that a frame is loud, and a run of quiet
// frames cannot hold a loud one: so in every stretch of frames that may be
// loud, one frame is decoded every little less than the shortest silence
// (the probes). A probe that decodes loud cuts the stretch; only where the
// frames that are not known loud add up to a silence's length is every
// frame decoded, from far enough before to give each one exactly the level
// a decode of the whole file gives it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <utility>
#include <vector>

#include "player/FrameLevels.h"
#include "player/LevelEstimate.h"
#include "player/Mp3FrameIndex.h"
#include "player/SilenceScan.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr auto ProgressInterval = std::chrono::milliseconds(250);
constexpr int Threads = 2;

// What is known of a frame.
enum : uint8_t {
    Unknown = 0,
    Quiet = 1,
    Loud = 2,
    StatusBits = 3,
    Settled = 4,  // its ceiling is finite: it and the frames before it decode as they do in the whole file
};

// A probe decodes a frame with only what its samples depend on before it
// (not from the frames that make its level exact to the last bit): its
// level lies within rounding of the exact one, and is taken as loud only
// this far above the threshold.
constexpr double ProbeMargin = 0.01;
// A probe may move this many frames to a frame more likely loud.
constexpr size_t ProbeLeeway = 4;
// Probes closer than this would decode about every frame anyway.
constexpr size_t MinProbeSpacing = 4 * ProbeLeeway + 8;
// The bytes a layer III frame's main data may reach back (9 bits), and the
// most bytes before a frame's main data (header, CRC, side information).
constexpr int64_t MainDataReach = 511, MainDataOffset = 38;
// Stretches to decode this close together are decoded as one.
constexpr size_t JoinGap = 16;

struct TProgress {
    const TScanProgress& Report;
    int64_t TotalMs;
    TClock::time_point Last = TClock::now();
    // Work done so far in phases of the search: each phase gets its share of the display.
    void operator()(double Fraction) {
        if (!Report) return;
        const TClock::time_point Now = TClock::now();
        if (Now - Last < ProgressInterval) return;
        Last = Now;
        Report(std::min(TotalMs, int64_t(double(TotalMs) * Fraction)), TotalMs);
    }
};

// Runs Work(Part) for each part on its own thread (the first on the
// caller's, which ticks while it waits for the others); the first error
// stops the others and passes.
template <class TWork>
void OnThreads(size_t Parts, std::atomic<bool>& Stop, const std::function<void()>& Tick, TWork&& Work) {
    std::vector<std::future<void>> Others;
    try {
        for (size_t P = 1; P < Parts; ++P)
            Others.push_back(std::async(std::launch::async, [&, P] {
                try {
                    Work(P);
                } catch (...) {
                    Stop.store(true, std::memory_order_relaxed);
                    throw;
                }
            }));
        if (Parts > 0) Work(0);
        for (auto& Other : Others) {
            while (Other.wait_for(ProgressInterval) != std::future_status::ready) Tick();
            Other.get();
        }
    } catch (...) {
        Stop.store(true, std::memory_order_relaxed);
        throw;
    }
}

class TFirstPass {
public:
    TFirstPass(const std::string& FileName, const TSilenceScanOptions& Options, const TScanProgress& Progress)
        : FFileName(FileName), FOptions(Options),
          FIndex(TMp3FrameIndex::OfFile(FileName)), FProgress{Progress, FIndex.LengthMs()},
          FState(FIndex.Count(), Unknown), FGuess(FIndex.Count(), 0) {}

    std::vector<TSilence> Run() {
        Estimate();
        Probe();
        DecodeCandidates();
        if (FProgress.Report) FProgress.Report(FProgress.TotalMs, FProgress.TotalMs);
        return Runs();
    }

    TSilenceScanFacts Facts() const { return Facts(FDecoded); }
    TSilenceScanFacts Facts(size_t Decoded) const { return {FIndex.Count(), Decoded, FIndex.LengthMs()}; }
    bool Protected() const { return TLevelDecoder(FFileName, FIndex).Protected(); }

private:
    size_t Count() const { return FIndex.Count(); }
    size_t Parts(size_t Items) const { return std::clamp<size_t>(Items / 64, 1, Threads); }
    std::function<void()> Tick(double From, double Share, const std::atomic<size_t>& Done, size_t Of) {
        return [this, From, Share, &Done, Of] {
            FProgress(From + Share * double(Done.load(std::memory_order_relaxed)) / double(std::max<size_t>(Of, 1)));
        };
    }

    // Every frame's estimate: quiet by its ceiling, or how loud it likely is.
    void Estimate() {
        const size_t N = Count(), Split = Parts(N);
        std::atomic<size_t> Done{0};
        std::vector<double> Longest(Split, 0.0);
        OnThreads(Split, FStop, Tick(0.0, 0.2, Done, N), [&](size_t P) {
            EstimateFrameLevels(
                FFileName, FIndex, N * P / Split, N * (P + 1) / Split,
                [&](size_t I, const TMp3IndexedFrame& Frame, const TLevelEstimate& E) {
                    uint8_t State = std::isfinite(E.CeilingDb) ? Settled : 0;
                    if (E.CeilingDb < FOptions.ThresholdDb) State |= Quiet;
                    FState[I] = State;
                    FGuess[I] = int8_t(std::clamp(std::isfinite(E.RmsDb) ? E.RmsDb : -128.0, -128.0, 127.0));
                    Longest[P] = std::max(Longest[P], Frame.Samples * 1000.0 / Frame.SampleRate);
                    if (I % 4096 == 0) Done.fetch_add(4096, std::memory_order_relaxed);
                },
                &FStop);
        });
        FLongestMs = *std::max_element(Longest.begin(), Longest.end());
    }

    // Whether frame P can be probed (TLevelDecoder::DecodeAlone): the
    // frames whose values reach its samples (one frame of 1152 samples, two
    // of fewer) and those that hold the first one's main data are settled
    // and of its kind.
    bool Probeable(size_t P) const {
        const TMp3IndexedFrame Frame = FIndex.Frames()[P];
        const size_t Reach = Frame.Samples == 1152 ? 1 : 2;
        if (P < Reach) return false;
        size_t Feed = P - Reach;
        int64_t Held = 0;
        while (Feed > 0 && Held < MainDataReach) Held += FIndex.Frames()[--Feed].Length - MainDataOffset;
        for (TMp3FrameIndex::TIterator It = FIndex.From(Feed); It.Number() <= P; ++It)
            if (!(FState[It.Number()] & Settled) || It->Samples != Frame.Samples ||
                It->SampleRate != Frame.SampleRate || It->Mono != Frame.Mono)
                return false;
        return true;
    }

    // The likeliest loud frame of [From, To) that can be probed.
    bool PickProbe(size_t From, size_t To, size_t& Probe) const {
        bool Found = false;
        for (size_t I = From; I < To; ++I)
            if ((!Found || FGuess[I] > FGuess[Probe]) && Probeable(I)) {
                Probe = I;
                Found = true;
            }
        return Found;
    }

    // Probes in every stretch of frames not known quiet that is longer than
    // a silence: near both its ends and never more than Spacing frames apart.
    void Probe() {
        if (FLongestMs <= 0.0) return;
        const double Frames = std::ceil(double(FOptions.MinSilenceMs) / FLongestMs) - 1.0;
        if (Frames < double(MinProbeSpacing)) return;  // every frame not known quiet gets decoded
        const auto Spacing = size_t(Frames);
        std::vector<size_t> Probes;
        for (size_t A = 0; A < Count();) {
            if ((FState[A] & StatusBits) == Quiet) {
                ++A;
                continue;
            }
            size_t B = A;
            while (B < Count() && (FState[B] & StatusBits) != Quiet) ++B;
            if (B - A > Spacing) {
                size_t Last = A, Probe;
                bool Have = PickProbe(A, std::min(A + 2 * ProbeLeeway + 1, B), Probe);
                if (Have) Probes.push_back(Last = Probe);
                while (B - Last > Spacing + 1) {
                    const size_t From = Last + Spacing - 2 * ProbeLeeway, To = std::min(Last + Spacing + 1, B);
                    if (PickProbe(From, To, Probe))
                        Probes.push_back(Probe);
                    else
                        Probe = To - 1;  // the frames up to here get decoded, if they must
                    Last = Probe;
                }
                if (B - Last > 2 * ProbeLeeway + 1 && PickProbe(B - 2 * ProbeLeeway - 1, B, Probe))
                    Probes.push_back(Probe);
            }
            A = B;
        }

        const size_t Split = Parts(Probes.size() * 16);
        std::atomic<size_t> Done{0};
        OnThreads(Split, FStop, Tick(0.2, 0.5, Done, Probes.size()), [&](size_t P) {
            TLevelDecoder Decoder(FFileName, FIndex);
            for (size_t I = Probes.size() * P / Split; I < Probes.size() * (P + 1) / Split; ++I) {
                if (FStop.load(std::memory_order_relaxed)) return;
                const size_t Frame = Probes[I];
                size_t Fed = 0;
                const TFrameLevel Level = Decoder.DecodeAlone(Frame, &Fed);
                // A frame the decoder gives nothing for here may decode in the whole file.
                if (Level.Samples > 0 && Level.LevelDb >= FOptions.ThresholdDb + ProbeMargin)
                    FState[Frame] = uint8_t((FState[Frame] & ~StatusBits) | Loud);
                FDecodedPart[P] += Fed;
                Done.fetch_add(1, std::memory_order_relaxed);
            }
        });
        for (size_t P = 0; P < Split; ++P) FDecoded += std::exchange(FDecodedPart[P], 0);
    }

    // The stretches of frames not known loud that last a silence or longer.
    template <class TVisit>
    void ForEachCandidate(TVisit&& Visit) const {
        size_t Begin = 0;
        double BeginMs = 0.0;
        bool In = false;
        for (TMp3FrameIndex::TIterator It = FIndex.From(0);; ++It) {
            const size_t I = It.Number();
            const bool Open = I < Count() && (FState[I] & StatusBits) != Loud;
            if (Open && !In) {
                Begin = I;
                BeginMs = It->StartMs;
                In = true;
            } else if (!Open && In) {
                const double EndMs = I < Count() ? It->StartMs : FIndex.TotalMs();
                if (EndMs - BeginMs >= double(FOptions.MinSilenceMs)) Visit(Begin, I);
                In = false;
            }
            if (I >= Count()) break;
        }
    }

    // Every frame of the candidates whose level is not known, decoded
    // exactly; stretches close together decoded in one go.
    void DecodeCandidates() {
        std::vector<std::pair<size_t, size_t>> Stretches;
        ForEachCandidate([&](size_t Begin, size_t End) {
            for (size_t I = Begin; I < End;) {
                if ((FState[I] & StatusBits) != Unknown) {
                    ++I;
                    continue;
                }
                size_t J = I;
                while (J < End && (FState[J] & StatusBits) == Unknown) ++J;
                if (!Stretches.empty() && I - Stretches.back().second <= JoinGap)
                    Stretches.back().second = J;
                else
                    Stretches.emplace_back(I, J);
                I = J;
            }
        });
        size_t Total = 0;
        for (const auto& [Begin, End] : Stretches) Total += End - Begin;
        // Split where the frames to decode are halved.
        std::vector<size_t> Bounds{0};
        for (size_t S = 0, Sum = 0; S < Stretches.size() && Bounds.size() < Threads; ++S) {
            Sum += Stretches[S].second - Stretches[S].first;
            if (Sum * Threads >= Total * Bounds.size() && S + 1 < Stretches.size()) Bounds.push_back(S + 1);
        }
        Bounds.push_back(Stretches.size());
        std::atomic<size_t> Done{0};
        OnThreads(Bounds.size() - 1, FStop, Tick(0.7, 0.3, Done, Total), [&](size_t P) {
            TLevelDecoder Decoder(FFileName, FIndex);
            for (size_t S = Bounds[P]; S < Bounds[P + 1]; ++S) {
                const auto [Begin, End] = Stretches[S];
                const size_t Feed = TLevelDecoder::ExactFeed(FIndex, Begin);
                const bool Going = Decoder.Decode(
                    Feed, Begin, End,
                    [&](size_t I, const TMp3IndexedFrame&, const TFrameLevel& Level) {
                        if ((FState[I] & StatusBits) == Quiet) return;
                        FState[I] =
                            uint8_t((FState[I] & ~StatusBits) | (Level.LevelDb < FOptions.ThresholdDb ? Quiet : Loud));
                    },
                    &FStop);
                if (!Going) return;
                FDecodedPart[P] += End - Feed;
                Done.fetch_add(End - Begin, std::memory_order_relaxed);
            }
        });
        for (size_t P = 0; P < Threads; ++P) FDecoded += std::exchange(FDecodedPart[P], 0);
    }

    // The quiet runs that last a silence: inside the candidates, where
    // every frame is known now.
    std::vector<TSilence> Runs() const {
        std::vector<TSilence> Found;
        ForEachCandidate([&](size_t Begin, size_t End) {
            for (size_t I = Begin; I < End;) {
                if ((FState[I] & StatusBits) != Quiet) {
                    ++I;
                    continue;
                }
                size_t J = I;
                while (J < End && (FState[J] & StatusBits) == Quiet) ++J;
                TSilence Run;
                Run.FirstFrame = int64_t(I);
                Run.EndFrame = int64_t(J);
                Run.StartMs = FIndex.StartOf(I);
                Run.EndMs = FIndex.StartOf(J);
                if (Run.EndMs - Run.StartMs >= double(FOptions.MinSilenceMs)) {
                    Run.SplitMs = FIndex.StartOf(I + (J - I) / 2);
                    Found.push_back(Run);
                }
                I = J;
            }
        });
        return Found;
    }

    const std::string& FFileName;
    const TSilenceScanOptions FOptions;
    const TMp3FrameIndex FIndex;
    TProgress FProgress;
    std::vector<uint8_t> FState;
    std::vector<int8_t> FGuess;  // the estimated RMS level, dB
    double FLongestMs = 0.0;     // the longest frame
    std::atomic<bool> FStop{false};
    size_t FDecodedPart[Threads] = {};
    size_t FDecoded = 0;
};

}  // namespace

std::vector<TSilence> FindSilences(const std::string& FileName, const TSilenceScanOptions& Options,
                                   const TScanProgress& Progress, TSilenceScanFacts* Facts) {
    TFirstPass Pass(FileName, Options, Progress);
    if (Pass.Protected()) {
        // No frame of it decodes alone as in the whole: every frame is decoded.
        std::vector<TSilence> Runs = FindSilencesOnThreads(FileName, Options, Threads, Progress);
        if (Facts) *Facts = Pass.Facts(Pass.Facts().Frames);
        return Runs;
    }
    std::vector<TSilence> Runs = Pass.Run();
    if (Facts) *Facts = Pass.Facts();
    return Runs;
}
