#include "player/SilenceScan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>

#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "player/FrameLevels.h"
#include "player/Mp3FrameIndex.h"

namespace {

using TClock = std::chrono::steady_clock;

// Fewer frames than this are not worth a thread of their own.
constexpr size_t MinFramesPerThread = 32;
constexpr auto ProgressInterval = std::chrono::milliseconds(250);
// How often a stretch tells how far it got.
constexpr size_t ProgressFrames = 64;

// One stretch of frames, scanned on one thread.
struct TStretch {
    size_t Begin = 0, End = 0;
    std::atomic<int64_t> DoneMs{0};
    std::vector<TSilence> Runs;
};

// The quiet runs of a stretch. A run that touches either end of the
// stretch is kept whatever its length: it may go on in the next one.
void ScanStretch(const std::string& FileName, const TMp3FrameIndex& Index, const TSilenceScanOptions& Options,
                 TStretch& Stretch, const std::atomic<bool>& Stop, const std::function<void()>& Tick) {
    const double BeginMs = Index.StartOf(Stretch.Begin);
    const auto Keep = [&](const TSilence& Run) {
        if (Run.FirstFrame == int64_t(Stretch.Begin) || Run.EndFrame == int64_t(Stretch.End) ||
            Run.EndMs - Run.StartMs >= double(Options.MinSilenceMs))
            Stretch.Runs.push_back(Run);
    };
    TSilence Run;
    bool InRun = false;
    ScanFrameLevels(
        FileName, Index, Stretch.Begin, Stretch.End,
        [&](size_t Number, const TMp3IndexedFrame& Frame, const TFrameLevel& Level) {
            const bool Quiet = Level.LevelDb < Options.ThresholdDb;
            if (Quiet && !InRun) {
                Run.FirstFrame = int64_t(Number);
                Run.StartMs = Frame.StartMs;
                InRun = true;
            } else if (!Quiet && InRun) {
                Run.EndFrame = int64_t(Number);
                Run.EndMs = Frame.StartMs;
                Keep(Run);
                InRun = false;
            }
            if (Number % ProgressFrames == 0) {
                Stretch.DoneMs.store(int64_t(Frame.StartMs - BeginMs), std::memory_order_relaxed);
                if (Tick) Tick();
            }
        },
        &Stop);
    if (InRun) {
        Run.EndFrame = int64_t(Stretch.End);
        Run.EndMs = Index.StartOf(Stretch.End);
        Keep(Run);
    }
    Stretch.DoneMs.store(int64_t(Index.StartOf(Stretch.End) - BeginMs), std::memory_order_relaxed);
}

// The stretches' runs joined where one goes on in the next, the short ones
// dropped, each split at its middle frame.
std::vector<TSilence> JoinRuns(const TMp3FrameIndex& Index, const std::vector<std::unique_ptr<TStretch>>& Stretches,
                               const TSilenceScanOptions& Options) {
    std::vector<TSilence> Joined;
    for (const auto& Stretch : Stretches)
        for (const TSilence& Run : Stretch->Runs) {
            if (!Joined.empty() && Joined.back().EndFrame == Run.FirstFrame) {
                Joined.back().EndFrame = Run.EndFrame;
                Joined.back().EndMs = Run.EndMs;
            } else {
                Joined.push_back(Run);
            }
        }
    std::erase_if(Joined, [&](const TSilence& Run) { return Run.EndMs - Run.StartMs < double(Options.MinSilenceMs); });
    for (TSilence& Run : Joined)
        Run.SplitMs = Index.StartOf(size_t(Run.FirstFrame + (Run.EndFrame - Run.FirstFrame) / 2));
    return Joined;
}

}  // namespace

std::vector<TSilence> FindSilencesOnThreads(const std::string& FileName, const TSilenceScanOptions& Options,
                                            int Threads, const TScanProgress& Progress) {
    const TMp3FrameIndex Index = TMp3FrameIndex::OfFile(FileName);
    const size_t Count = Index.Count();
    const size_t Parts =
        std::clamp<size_t>(size_t(std::max(Threads, 1)), 1, std::max<size_t>(Count / MinFramesPerThread, 1));
    std::vector<std::unique_ptr<TStretch>> Stretches;
    for (size_t P = 0; P < Parts; ++P) {
        auto& Stretch = Stretches.emplace_back(std::make_unique<TStretch>());
        Stretch->Begin = Count * P / Parts;
        Stretch->End = Count * (P + 1) / Parts;
    }

    // Progress is told on the caller's thread only: from the first
    // stretch's scan, then while waiting for the others.
    const int64_t TotalMs = Index.LengthMs();
    TClock::time_point LastTold = TClock::now();
    std::function<void()> Tick;
    if (Progress)
        Tick = [&] {
            const TClock::time_point Now = TClock::now();
            if (Now - LastTold < ProgressInterval) return;
            LastTold = Now;
            int64_t Done = 0;
            for (const auto& Stretch : Stretches) Done += Stretch->DoneMs.load(std::memory_order_relaxed);
            Progress(std::min(Done, TotalMs), TotalMs);
        };

    std::atomic<bool> Stop{false};
    std::vector<std::future<void>> Others;
    try {
        for (size_t P = 1; P < Parts; ++P)
            Others.push_back(std::async(std::launch::async, [&, P] {
                try {
                    ScanStretch(FileName, Index, Options, *Stretches[P], Stop, nullptr);
                } catch (...) {
                    Stop.store(true, std::memory_order_relaxed);
                    throw;
                }
            }));
        ScanStretch(FileName, Index, Options, *Stretches[0], Stop, Tick);
        for (auto& Other : Others) {
            while (Other.wait_for(ProgressInterval) != std::future_status::ready)
                if (Tick) Tick();
            Other.get();
        }
    } catch (...) {
        // The other threads end at their next frame; the futures wait for them.
        Stop.store(true, std::memory_order_relaxed);
        throw;
    }
    if (Progress) Progress(TotalMs, TotalMs);
    return JoinRuns(Index, Stretches, Options);
}
