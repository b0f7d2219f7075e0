#include "player/LevelEnvelope.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <utility>

#include "player/FrameLevels.h"
#include "player/LevelEstimate.h"

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

// A bucket while its frames come in: energies add up, peaks take the largest.
struct TSum {
    size_t FirstFrame = 0, EndFrame = 0;
    double StartMs = 0.0;
    double Energy = 0.0, Samples = 0.0, Peak = -Infinity;
    bool Decoded = false, Used = false;

    void Add(size_t Number, const TMp3IndexedFrame& Frame) {
        if (!Used || Number < FirstFrame) {
            FirstFrame = Number;
            StartMs = Frame.StartMs;
        }
        EndFrame = std::max(EndFrame, Number + 1);
        Used = true;
    }
    void Level(double RmsDb, double PeakDb, double Count) {
        Energy += std::pow(10.0, RmsDb / 10.0) * Count;
        Samples += Count;
        Peak = std::max(Peak, PeakDb);
    }
    void Merge(const TSum& Other) {
        if (!Other.Used) return;
        if (!Used || Other.FirstFrame < FirstFrame) {
            FirstFrame = Other.FirstFrame;
            StartMs = Other.StartMs;
        }
        EndFrame = std::max(EndFrame, Other.EndFrame);
        Energy += Other.Energy;
        Samples += Other.Samples;
        Peak = std::max(Peak, Other.Peak);
        Decoded = Decoded || Other.Decoded;
        Used = true;
    }
};

// One thread's frames and the buckets they start in, in order: no room for
// buckets that no frame starts in.
class TPart {
public:
    TPart(size_t Begin, size_t End, double BucketMs) : FBegin(Begin), FEnd(End), FBucketMs(BucketMs) {}

    void Run(const std::string& FileName, const TMp3FrameIndex& Index, bool Decode, const std::atomic<bool>* Stop) {
        std::vector<std::pair<size_t, size_t>> Unknown;  // stretches the estimate knew nothing of
        if (Decode)
            Unknown.emplace_back(FBegin, FEnd);
        else
            EstimateFrameLevels(
                FileName, Index, FBegin, FEnd,
                [&](size_t N, const TMp3IndexedFrame& Frame, const TLevelEstimate& E) {
                    TSum& S = SumOf(N, Frame);
                    if (E.Known) {
                        S.Level(E.RmsDb, E.PeakDb, double(Frame.Samples) * (Frame.Mono ? 1 : 2));
                    } else if (!Unknown.empty() && Unknown.back().second == N) {
                        ++Unknown.back().second;
                    } else {
                        Unknown.emplace_back(N, N + 1);
                    }
                },
                Stop);
        if (Unknown.empty()) return;
        TLevelDecoder Decoder(FileName, Index);
        for (const auto& [First, End] : Unknown)
            if (!Decoder.Decode(
                    TLevelDecoder::ExactFeed(Index, First), First, End,
                    [&](size_t N, const TMp3IndexedFrame& Frame, const TFrameLevel& L) {
                        TSum& S = SumOf(N, Frame);
                        S.Decoded = true;
                        if (L.Samples > 0) S.Level(L.LevelDb, L.PeakDb, double(L.Samples) * (Frame.Mono ? 1 : 2));
                    },
                    Stop))
                return;
    }

    // Appends this part's buckets to All, in order.
    void AppendTo(std::vector<std::pair<double, TSum>>& All) const {
        for (const auto& [Bucket, Sum] : FSums)
            if (!All.empty() && All.back().first == Bucket)
                All.back().second.Merge(Sum);
            else
                All.emplace_back(Bucket, Sum);
    }

private:
    TSum& SumOf(size_t N, const TMp3IndexedFrame& Frame) {
        const double Bucket = std::floor(std::max(Frame.StartMs, 0.0) / FBucketMs);
        if (FSums.empty() || FSums.back().first < Bucket) {
            FSums.emplace_back(Bucket, TSum{});
        } else if (FSums.back().first != Bucket) {  // a frame decoded after the estimate
            auto It = std::lower_bound(FSums.begin(), FSums.end(), Bucket,
                                       [](const auto& Entry, double B) { return Entry.first < B; });
            It->second.Add(N, Frame);
            return It->second;
        }
        FSums.back().second.Add(N, Frame);
        return FSums.back().second;
    }

    size_t FBegin, FEnd;
    double FBucketMs;
    std::vector<std::pair<double, TSum>> FSums;  // by bucket number
};

}  // namespace

std::vector<TLevelBucket> LevelEnvelope(const std::string& FileName, const TMp3FrameIndex& Index,
                                        const TEnvelopeOptions& Options, const std::atomic<bool>* Stop) {
    const size_t Count = Index.Count();
    if (Count == 0 || !(Options.BucketMs > 0.0)) return {};
    // Fewer than a few hundred frames a thread are not worth one.
    const size_t Threads =
        std::clamp<size_t>(size_t(std::max(Options.Threads, 1)), 1, std::max<size_t>(Count / 256, 1));
    std::vector<TPart> Parts;
    for (size_t P = 0; P < Threads; ++P)
        Parts.emplace_back(Count * P / Threads, Count * (P + 1) / Threads, Options.BucketMs);
    std::vector<std::future<void>> Others;
    for (size_t P = 1; P < Threads; ++P)
        Others.push_back(
            std::async(std::launch::async, [&, P] { Parts[P].Run(FileName, Index, Options.Decode, Stop); }));
    std::exception_ptr Failed;
    try {
        Parts[0].Run(FileName, Index, Options.Decode, Stop);
    } catch (...) {
        Failed = std::current_exception();
    }
    for (auto& Other : Others) try {
            Other.get();
        } catch (...) {
            if (!Failed) Failed = std::current_exception();
        }
    if (Failed) std::rethrow_exception(Failed);

    std::vector<std::pair<double, TSum>> All;
    for (const TPart& Part : Parts) Part.AppendTo(All);
    std::vector<TLevelBucket> Envelope;
    Envelope.reserve(All.size());
    for (const auto& [Bucket, S] : All) {
        const double Rms = S.Samples > 0.0 ? S.Energy / S.Samples : 0.0;
        Envelope.push_back({S.FirstFrame, S.EndFrame, S.StartMs, S.Samples > 0.0 ? S.Peak : -Infinity,
                            Rms > 0.0 ? 10.0 * std::log10(Rms) : -Infinity, S.Decoded || Options.Decode});
    }
    return Envelope;
}
