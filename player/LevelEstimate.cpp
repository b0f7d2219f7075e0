#include "player/LevelEstimate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/FrameEnergy.h"
#include "platform/FileStream.h"
#include "platform/MappedFile.h"

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Frames read ahead of a range that starts inside the file: enough for the
// two granules the decoder's overlap and filters carry into a frame, and for
// the bytes of main data a layer III frame may take from the frames before
// it (at most 511).
constexpr int64_t CarryBytes = 2048;
constexpr size_t CarryFrames = 3;
// Frames read from the map at a time (their first bytes), so that no
// visitor runs while the map is read.
constexpr size_t BatchFrames = 256;
// After a frame this cannot read, the decoder may lose the frames that
// follow while it finds its footing again: their ceilings are not trusted.
constexpr int SettleFrames = 2;
// More than main data can reach back for (9 bits of bytes).
constexpr int ReservoirLimit = 4096;

double Db(double MeanSquare) { return MeanSquare > 0.0 ? 10.0 * std::log10(MeanSquare) : -Infinity; }

// A unit whose values reach into later frames' samples.
struct TPastUnit {
    TEnergyUnit Unit;
    double LappedGain = 0.0, AnyGain = 0.0;
    int Channels = 0;
    bool Known = false;
    bool Silent = false;  // before the stream's first frame: nothing, fitting any window
};

// Turns each frame's energies into levels, with what carries over from the
// frames before it.
class TLevelCombiner {
public:
    explicit TLevelCombiner(bool FromStreamStart) {
        for (TPastUnit& P : FPast) P.Known = P.Silent = FromStreamStart;
        FReservoir = FromStreamStart ? 0 : -1;
        FUnsettled = FromStreamStart ? 0 : SettleFrames;
    }

    TLevelEstimate Next(const TFrameEnergy& E, const TMp3IndexedFrame& Frame) {
        TLevelEstimate L;
        L.PeakDb = L.RmsDb = L.CeilingDb = Infinity;
        if (!E.Known) {
            Forget();
            return L;
        }
        L.Known = true;
        const double Samples = double(Frame.Samples) * E.Channels;
        // A granule's samples come out spread over its own span and the
        // next (the lapped transform) and later by 481 samples of 576 (the
        // synthesis filters): a span holds, of the granules' energies,
        // about these shares of the one two before, the one before and its
        // own. Before the first granule known, the first stands for them.
        const TEnergyUnit* Spans[4] = {FPast[1].Known ? &FPast[1].Unit : &E.Unit[0],
                                       FPast[0].Known ? &FPast[0].Unit : &E.Unit[0], &E.Unit[0], &E.Unit[1]};
        constexpr double Share[3] = {0.42, 0.5, 0.08};
        double Estimate = 0.0, Peak = 0.0;
        for (int U = 0; U < E.Units; ++U)
            for (int W = 0; W < 3; ++W) {
                Estimate += Share[W] * Spans[U + W]->Estimate;
                Peak += Share[W] * Spans[U + W]->PeakEstimate;
            }
        // The model overshoots most at an onset, where a short block codes
        // what the window's overlap then takes back: never above what a
        // decoder's 16-bit samples can hold. Its two guesses are made apart;
        // no sample is below the RMS level of them all.
        L.RmsDb = std::min(Db(Estimate / Samples), 0.0);
        L.PeakDb = std::clamp(Db(Peak), L.RmsDb, 0.0);

        // The decoder can take the frame's main data only when the frames
        // before it held it.
        const bool Fed = E.Layer != 3 || (FReservoir >= 0 && E.MainDataBegin <= FReservoir);
        FReservoir = E.Layer == 3 ? std::min(std::max(FReservoir, 0) + E.MainDataRoom, ReservoirLimit) : 0;
        // Its samples come from its own units and the two before them: they
        // reach it through the lapped transform's overlap and the synthesis
        // filter's memory.
        const TPastUnit* Window[4] = {&FPast[1], &FPast[0], nullptr, nullptr};
        TPastUnit Now[2];
        for (int U = 0; U < E.Units; ++U) {
            Now[U] = {E.Unit[U], E.LappedGain, E.AnyGain, E.Channels, true, false};
            Window[2 + U] = &Now[U];
        }
        const int Count = 2 + E.Units;
        bool Certain = Fed && FUnsettled == 0, Follow = true;
        double Bound = 0.0;
        for (int W = 0; W < Count; ++W) {
            const TPastUnit& P = *Window[W];
            Certain = Certain && P.Known;
            Bound += P.Unit.Bound;
            if (W > 0 && !P.Silent && !Window[W - 1]->Silent)
                Follow =
                    Follow && WindowsFollow(Window[W - 1]->Unit, P.Unit, std::min(P.Channels, Window[W - 1]->Channels));
        }
        double Gain = 0.0;
        for (int W = 0; W < Count; ++W)
            if (!Window[W]->Silent) Gain = std::max(Gain, Follow ? Window[W]->LappedGain : Window[W]->AnyGain);
        L.CeilingDb = Certain ? Db(Gain * Bound / Samples) : Infinity;
        for (int U = 0; U < E.Units; ++U) Push(Now[U]);
        if (FUnsettled > 0) --FUnsettled;
        return L;
    }

private:
    void Push(const TPastUnit& Unit) {
        FPast[1] = FPast[0];
        FPast[0] = Unit;
    }
    void Forget() {
        FPast[0] = FPast[1] = TPastUnit{};
        FReservoir = -1;
        FUnsettled = SettleFrames;
    }

    TPastUnit FPast[2];  // the last unit, and the one before it
    int FReservoir = 0;  // bytes of main data the frames so far hold; -1 unknown
    int FUnsettled = 0;
};

}  // namespace

void EstimateFrameLevels(const std::string& FileName, const TMp3FrameIndex& Index, size_t First, size_t End,
                         const TLevelEstimateVisitor& Visit, const std::atomic<bool>* Stop) {
    End = std::min(End, Index.Count());
    if (First >= End) return;
    size_t Feed = First;
    int64_t Carried = 0;
    while (Feed > 0 && (First - Feed < CarryFrames || Carried < CarryBytes)) Carried += Index.Frames()[--Feed].Length;

    TFileStream Source(FileName, TFileMode::fmOpenRead);
    TMappedFile Map(Source);
    TLevelCombiner Combiner(Feed == 0);
    // Read in batches inside the map's guard, so that no visitor runs there.
    std::vector<TFrameEnergy> Energies(BatchFrames);
    std::vector<TMp3IndexedFrame> Frames(BatchFrames);
    TMp3FrameIndex::TIterator It = Index.From(Feed);
    while (It.Number() < End) {
        if (Stop && Stop->load(std::memory_order_relaxed)) return;
        const size_t Batch = std::min(BatchFrames, End - It.Number());
        const size_t BatchStart = It.Number();
        TFrameEnergy* const EnergyOf = Energies.data();
        TMp3IndexedFrame* const FrameOf = Frames.data();
        bool Short = false;  // the file ends before a frame the index holds
        Map.Guarded([&] {
            uint8_t Copy[FrameEnergyHeadBytes];
            for (size_t I = 0; I < Batch; ++I, ++It) {
                FrameOf[I] = *It;
                const int Want = std::min<int>(It->Length, FrameEnergyHeadBytes);
                Map.SetPosition(It->Offset);
                const auto* Head = reinterpret_cast<const uint8_t*>(Map.Peek(Want));
                if (!Head) {
                    Short = Short || Map.Read(Copy, Want) != Want;
                    Head = Copy;
                }
                TFrameHeader Header;
                bool Decoded = !Short && DecodeFrameHeader(Head, Header);
                // A free-format frame is as long as the walk measured it.
                if (!Short && !Decoded && DecodeFreeFormatHeader(Head, Header)) {
                    SetFreeFormatLength(Header, It->Length - Header.Padding * PaddingSlotBytes(Header.Layer));
                    Decoded = true;
                }
                EnergyOf[I] = Decoded ? ReadFrameEnergy(Head, Want, Header) : TFrameEnergy{};
            }
        });
        if (Short) throw EReadError(FileName, "The file is shorter than its frames.");
        for (size_t I = 0; I < Batch; ++I) {
            const TLevelEstimate Level = Combiner.Next(EnergyOf[I], FrameOf[I]);
            if (BatchStart + I >= First) Visit(BatchStart + I, FrameOf[I], Level);
        }
    }
}
