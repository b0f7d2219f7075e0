#include "engine/FrameEnergy.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr int CrcBytes = 2;
constexpr int MaxBigValues = 288;  // pairs: 576 values
constexpr int GranuleValues = 576;
constexpr int SubbandCount = 32;

// The synthesis filter bank's energy gain, 32, with 0.1 dB to spare for the
// ripple of its near-perfect reconstruction (measured within 0.02 dB).
const double SynthesisGain = 32.0 * std::pow(10.0, 0.1 / 10.0);
// The lapped transform: 18 values of a subband make 36 samples, each basis
// function of energy 18; with windows that overlap as they must, the
// transform is orthogonal up to 18 / 2, otherwise a sample span gets two
// halves of at most 18 each.
constexpr double LappedGain = 9.0, UnlappedGain = 36.0;

// Huffman tables 0..31: the largest magnitude each one codes. Tables 16..31
// add linbits to 15; 4 and 14 do not exist (-1).
constexpr int TableLargest[32] = {0,  1,  2,  2,  -1, 3,   3,    3,    5,  5,  5,  7,   7,   7,   -1,   15,
                                  16, 18, 22, 30, 78, 270, 1038, 8206, 30, 46, 78, 142, 270, 526, 2062, 8206};

// Bits taken from a frame's first bytes, most significant first, out of
// 64-bit words loaded once; reading past the bytes gives zeros and is
// remembered.
class TBits {
public:
    static constexpr int Room = FrameEnergyHeadBytes, Words = Room / 8 + 1;
    TBits(const uint8_t* Data, int Count) : FCount(std::clamp(Count, 0, Room)) {
        // The words that hold the bytes, and one more of zeros.
        const int Loaded = FCount / 8 + 1;
        uint8_t Bytes[(Words + 1) * 8];
        std::memcpy(Bytes, Data, size_t(FCount));
        std::memset(Bytes + FCount, 0, size_t(Loaded * 8 + 8 - FCount));
        for (int W = 0; W <= Loaded; ++W) {
            uint64_t Word;
            std::memcpy(&Word, Bytes + 8 * W, sizeof Word);
            if constexpr (std::endian::native == std::endian::little) Word = __builtin_bswap64(Word);
            FWords[W] = Word;
        }
    }
    // 1..32 bits.
    uint32_t Take(int N) { return uint32_t(TakeWide(N)); }
    // 1..64 bits.
    uint64_t TakeWide(int N) {
        const int At = FPos;
        FPos += N;
        if (FPos > FCount * 8) {
            FOverrun = true;
            return 0;
        }
        const int W = At >> 6, Shift = At & 63;
        uint64_t Word = FWords[W] << Shift;
        if (Shift + N > 64) Word |= FWords[W + 1] >> (64 - Shift);  // Shift > 0 here
        return Word >> (64 - N);
    }
    bool Overrun() const { return FOverrun; }

private:
    uint64_t FWords[Words + 1];  // as many as the constructor loads
    int FCount;
    int FPos = 0;
    bool FOverrun = false;
};

// MPEG 1 layer III: the bits of the scale factors of the first and the
// second group of bands, by scalefac_compress.
constexpr uint8_t ScaleBits1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
constexpr uint8_t ScaleBits2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};

// The most bits of a scale factor by scalefac_compress: MPEG 1 by the
// tables above, MPEG 2 and 2.5 by their arithmetic (for the channels
// without intensity stereo).
int ScaleFactorBits(bool Mpeg1, int Compress) {
    if (Mpeg1) return std::max(ScaleBits1[Compress], ScaleBits2[Compress]);
    if (Compress < 400) return std::max({(Compress >> 4) / 5, (Compress >> 4) % 5, (Compress % 16) >> 2, Compress % 4});
    if (Compress < 500) return std::max({((Compress - 400) >> 2) / 5, ((Compress - 400) >> 2) % 5, Compress % 4});
    return std::max((Compress - 500) / 3, (Compress - 500) % 3);
}

// Layer III: one granule of one channel as its side information tells it.
struct TGranuleSide {
    int Part23 = 0, BigValues = 0, GlobalGain = 0;
    int Part2 = 0;           // bits of its scale factors (MPEG 1; 0 for MPEG 2, whose count takes tables)
    int Table = 0;           // of the big-value tables in use, the one that codes the largest magnitude
    int ScaleBits = 0;       // the most bits a scale factor of it takes
    int SubblockGain = 0;    // short blocks: the three windows' gains, summed
    bool ScaleStep = false;  // scalefac_scale: scale factors in steps of 2^1 rather than 2^0.5
    bool Short = false;
    uint8_t Window = 0;
    bool BadTable = false;
};

// Scfsi: the MPEG 1 scale factor selection of the channel, for the second
// granule (its four band groups, first group in bit 3).
// A granule's fields take 59 bits in MPEG 1, 63 in MPEG 2 and 2.5.
int GranuleWidth(bool Mpeg1) { return Mpeg1 ? 59 : 63; }

TGranuleSide ReadGranule(TBits& B, bool Mpeg1, int Scfsi) {
    // The granule's bits at once, the fields taken from the top.
    const int Width = GranuleWidth(Mpeg1);
    const uint64_t Bits = B.TakeWide(Width);
    int At = 0;
    const auto Field = [&](int N) {
        At += N;
        return int((Bits >> (Width - At)) & ((uint64_t(1) << N) - 1));
    };
    TGranuleSide G;
    G.Part23 = Field(12);
    G.BigValues = Field(9);
    G.GlobalGain = Field(8);
    const int Compress = Field(Mpeg1 ? 4 : 9);
    G.ScaleBits = ScaleFactorBits(Mpeg1, Compress);
    const int S1 = Mpeg1 ? ScaleBits1[Compress] : 0, S2 = Mpeg1 ? ScaleBits2[Compress] : 0;
    // Long blocks: bands 0-5 and 6-10 with S1 bits, 11-15 and 16-20 with S2;
    // a group whose selection bit is set is taken from the first granule.
    G.Part2 = (Scfsi & 8 ? 0 : 6 * S1) + (Scfsi & 4 ? 0 : 5 * S1) + (Scfsi & 2 ? 0 : 5 * S2) + (Scfsi & 1 ? 0 : 5 * S2);
    int Tables[3] = {0, 0, 0};
    if (Field(1)) {  // window switching
        const auto BlockType = uint8_t(Field(2));
        const bool Mixed = Field(1) != 0;
        G.Window = BlockType == 0 ? 0xFF : Mixed ? MixedWindow : BlockType;  // type 0 here is an error
        G.Short = BlockType == 2;
        if (G.Short) G.Part2 = Mixed ? 17 * S1 + 18 * S2 : 18 * (S1 + S2);
        Tables[0] = Field(5);
        Tables[1] = Field(5);
        for (int W = 0; W < 3; ++W) G.SubblockGain += Field(3);
    } else {
        for (int& Table : Tables) Table = Field(5);
        Field(7);  // region counts
    }
    for (const int Table : Tables) {
        if (TableLargest[Table] < 0) G.BadTable = true;
        if (TableLargest[Table] > TableLargest[G.Table]) G.Table = Table;
    }
    if (Mpeg1) Field(1);  // preflag
    G.ScaleStep = Field(1) != 0;
    return G;  // the last bit, the count1 table, says nothing of size
}

// Likely energies of a granule's decoded samples (Rms) and of their largest
// one (Peak). The Huffman bits hide how the values spread: the largest
// table in use says how large the largest ones are (LAME takes the smallest
// table that codes them), the count and the bits of the values how many
// there are of which size, the scale factors' bits and the subblock gains
// how far bands lie below the global step. The logarithm of the energy is
// linear in the logarithms of those, with these weights: a fit to the decoded
// levels of LAME's MPEG 1, 2 and 2.5 frames at 32 to 320 kbit/s (tones,
// noise, fades, quiet passages), within 1 to 4 dB for half the frames.
struct TGuessWeights {
    double Scale, Largest, Values, Bits, ScaleStep, SubblockGain, ScaleBits, ScaleBitsByStep, Short;
    double Shape(int Step, int IsShort, int ScaleBits_, int Gain) const {
        return std::exp(ScaleStep * Step + SubblockGain * Gain + ScaleBits * ScaleBits_ +
                        ScaleBitsByStep * ScaleBits_ * Step + Short * IsShort);
    }
};
constexpr TGuessWeights Rms{5.944, 2.36, -1.028, 0.962, 1.231, -4.422, -0.249, -1.284, -0.331};
constexpr TGuessWeights Peak{1.752, 2.178, -1.473, 1.103, 0.801, -3.057, -0.123, -1.07, -0.181};

// The powers the bound and the estimates take, computed once: a long file
// has a few hundred thousand granules.
struct TGranulePowers {
    static constexpr int MaxBits = 4096;  // part2_3_length has 12 bits
    double Step[256];                     // 2^((global_gain - 210) / 2): the step's square
    // By Huffman table: the largest |q|^(8/3) it codes, and powers of that |q|.
    double LargestBound[32], LargestRms[32], LargestPeak[32];
    double ValuesRms[2 * MaxBigValues + 1], ValuesPeak[2 * MaxBigValues + 1];
    double BitsRms[MaxBits], BitsPeak[MaxBits];
    // By scalefac_scale, short blocks, scale factor bits and summed subblock gains.
    static constexpr int MaxScaleBits = 8, MaxSubblockGain = 21;
    double ShapeRms[2][2][MaxScaleBits][MaxSubblockGain + 1], ShapePeak[2][2][MaxScaleBits][MaxSubblockGain + 1];

    TGranulePowers() {
        for (int G = 0; G < 256; ++G) Step[G] = std::exp2((G - 210) / 2.0);
        for (int T = 0; T < 32; ++T) {
            const double L = std::max(TableLargest[T], 0);
            LargestBound[T] = std::pow(L, 8.0 / 3.0);
            LargestRms[T] = std::pow(L + 1.0, Rms.Largest) * std::exp(Rms.Scale);
            LargestPeak[T] = std::pow(L + 1.0, Peak.Largest) * std::exp(Peak.Scale);
        }
        for (int N = 0; N <= 2 * MaxBigValues; ++N) {
            ValuesRms[N] = std::pow(N + 1.0, Rms.Values);
            ValuesPeak[N] = std::pow(N + 1.0, Peak.Values);
        }
        for (int H = 0; H < MaxBits; ++H) {
            BitsRms[H] = std::pow(std::max(H, 1), Rms.Bits);
            BitsPeak[H] = std::pow(std::max(H, 1), Peak.Bits);
        }
        for (int Step = 0; Step < 2; ++Step)
            for (int Short = 0; Short < 2; ++Short)
                for (int Scale = 0; Scale < MaxScaleBits; ++Scale)
                    for (int Gain = 0; Gain <= MaxSubblockGain; ++Gain) {
                        ShapeRms[Step][Short][Scale][Gain] = Rms.Shape(Step, Short, Scale, Gain);
                        ShapePeak[Step][Short][Scale][Gain] = Peak.Shape(Step, Short, Scale, Gain);
                    }
    }
};
const TGranulePowers& Powers() {
    static const TGranulePowers Table;
    return Table;
}

// The energy of a granule's dequantised values is at most this: every value
// is sign * |q|^(4/3) * 2^((global_gain - 210) / 4) times factors of at most
// 1 (scale factors, pre-emphasis, subblock gains), |q| is at most what its
// table codes (1 in the count1 region behind the big values), and every
// value but zero costs a sign bit of part2_3_length (a decoder may read a
// quadruple beyond it: 4 values to spare).
double GranuleBound(const TGranuleSide& G, const TGranulePowers& P) {
    if (G.Part23 == 0) return 0.0;
    const int NonZero = G.Part23 + 4;
    const int Big = G.Table > 0 ? std::min(2 * G.BigValues, NonZero) : 0;
    const int Small = std::min(GranuleValues - 2 * G.BigValues, NonZero - Big);
    return P.Step[G.GlobalGain] * (Big * P.LargestBound[G.Table] + Small);
}

struct TGranuleGuess {
    double Rms = 0.0, Peak = 0.0;
};
TGranuleGuess GranuleEstimate(const TGranuleSide& G, const TGranulePowers& P) {
    if (G.Part23 == 0) return {};
    const int Bits = std::max(G.Part23 - G.Part2, 0);
    const double Step = P.Step[G.GlobalGain];
    const int Scale = std::min(G.ScaleBits, TGranulePowers::MaxScaleBits - 1);
    return {Step * P.LargestRms[G.Table] * P.ValuesRms[2 * G.BigValues] * P.BitsRms[Bits] *
                P.ShapeRms[G.ScaleStep][G.Short][Scale][G.SubblockGain],
            Step * P.LargestPeak[G.Table] * P.ValuesPeak[2 * G.BigValues] * P.BitsPeak[Bits] *
                P.ShapePeak[G.ScaleStep][G.Short][Scale][G.SubblockGain]};
}

TFrameEnergy ReadLayer3(const uint8_t* Bytes, int Count, const TFrameHeader& Frame) {
    TFrameEnergy E;
    E.Layer = 3;
    TSideInfoPlace Side;
    if (!FindSideInfo(Bytes, Frame, Side) || Count < Side.End()) return E;
    const bool Mpeg1 = Side.Mpeg1;
    E.Channels = Side.Channels;
    E.Units = Side.Units;
    const int Mode = Bytes[3] >> 6, Extension = (Bytes[3] >> 4) & 3;
    const bool Intensity = Mode == 1 && (Extension & 1);

    const TGranulePowers& Powers = ::Powers();
    TBits B(Bytes + Side.Offset, Side.Bytes);
    E.MainDataBegin = int(B.Take(Mpeg1 ? 9 : 8));
    E.MainDataRoom = Frame.Length - Side.End();
    B.Take(Mpeg1 ? (Frame.Mono ? 5 : 3) : (Frame.Mono ? 1 : 2));  // private bits
    int Scfsi[2] = {0, 0};
    if (Mpeg1)
        for (int C = 0; C < E.Channels; ++C) Scfsi[C] = int(B.Take(4));
    for (int U = 0; U < E.Units; ++U) {
        TEnergyUnit& Unit = E.Unit[U];
        for (int C = 0; C < E.Channels; ++C) {
            const TGranuleSide G = ReadGranule(B, Mpeg1, U == 0 ? 0 : Scfsi[C]);
            if (G.BigValues > MaxBigValues || G.Window == 0xFF || (G.BadTable && G.BigValues > 0) ||
                (G.Part23 == 0 && G.BigValues > 0))
                return E;
            // Intensity stereo makes the right channel out of the left's
            // values, each side at most as loud as they are.
            const double Spread = Intensity && C == 0 ? 2.0 : 1.0;
            Unit.Bound += Spread * GranuleBound(G, Powers);
            const TGranuleGuess Guess = GranuleEstimate(G, Powers);
            Unit.Estimate += Guess.Rms;
            Unit.PeakEstimate += Guess.Peak;
            Unit.Windows[C] = G.Window;
        }
    }
    if (B.Overrun()) return E;
    E.LappedGain = LappedGain * SynthesisGain;
    E.AnyGain = UnlappedGain * SynthesisGain;
    E.Known = true;
    return E;
}

// Layers I and II: a subband sample is its scale factor, 2^(1 - index / 3),
// times a fraction below 4/3 (below 1 for every code but one a layer I
// encoder never writes).
constexpr double SampleLargest = 4.0 / 3.0;
double ScaleFactor(uint32_t Index) { return std::exp2(1.0 - double(Index) / 3.0); }
// The likely mean square of a subband's samples, and of the largest
// decoded sample, per square of the scale factors (fitted as for layer III).
constexpr double SubbandMeanSquare = 0.35, SubbandPeak = 0.85;

// Layer II: the bits of each subband's allocation, by the allocation
// table; the table by version, bit rate per channel and sample rate.
struct TAllocationTable {
    int Subbands;
    uint8_t Bits[32];
};
constexpr TAllocationTable HighRate27 = {
    27, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2}};
constexpr TAllocationTable HighRate30 = {
    30, {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2}};
constexpr TAllocationTable LowRate8 = {8, {4, 4, 3, 3, 3, 3, 3, 3}};
constexpr TAllocationTable LowRate12 = {12, {4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}};
constexpr TAllocationTable LowSampleRate = {
    30, {4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}};

const TAllocationTable& AllocationTable(const TFrameHeader& Frame) {
    if (Frame.Version != 1.0) return LowSampleRate;
    const int PerChannel = Frame.BitRate / (Frame.Mono ? 1 : 2);
    if (PerChannel <= 48) return Frame.SampleRate == 32000 ? LowRate12 : LowRate8;
    if (PerChannel <= 80 || Frame.SampleRate == 48000) return HighRate27;
    return HighRate30;
}

// Layers I and II: the allocation of every subband and channel, then the
// scale factors of those that carry samples; the bound is their square
// times the samples (12 per part; layer II has three parts, each with its
// own scale factor or sharing one by the selection bits).
TFrameEnergy ReadSubbandLayer(const uint8_t* Bytes, int Count, const TFrameHeader& Frame) {
    TFrameEnergy E;
    E.Layer = Frame.Layer;
    E.Units = 1;
    E.Channels = Frame.Mono ? 1 : 2;
    const bool Crc = (Bytes[1] & 1) == 0;
    const int Offset = FrameHeaderBytes + (Crc ? CrcBytes : 0);
    if (Count <= Offset) return E;
    const int Mode = Bytes[3] >> 6, Extension = (Bytes[3] >> 4) & 3;
    const bool LayerI = Frame.Layer == 1;
    const TAllocationTable* Table = LayerI ? nullptr : &AllocationTable(Frame);
    const int Subbands = LayerI ? SubbandCount : Table->Subbands;
    // Joint stereo: the subbands from the bound on share one allocation.
    const int Bound = std::min(Mode == 1 ? 4 * (Extension + 1) : Subbands, Subbands);

    TBits B(Bytes + Offset, Count - Offset);
    uint8_t Allocation[SubbandCount][2] = {};
    for (int Sb = 0; Sb < Subbands; ++Sb) {
        const int Bits = LayerI ? 4 : Table->Bits[Sb];
        for (int C = 0; C < E.Channels; ++C)
            Allocation[Sb][C] = Sb < Bound || C == 0 ? uint8_t(B.Take(Bits)) : Allocation[Sb][0];
        if (LayerI && (Allocation[Sb][0] == 15 || Allocation[Sb][E.Channels - 1] == 15)) return E;  // forbidden
    }
    uint8_t Selection[SubbandCount][2] = {};
    if (!LayerI)
        for (int Sb = 0; Sb < Subbands; ++Sb)
            for (int C = 0; C < E.Channels; ++C)
                if (Allocation[Sb][C]) Selection[Sb][C] = uint8_t(B.Take(2));
    constexpr int Parts[4] = {3, 2, 1, 2};  // scale factors by the selection bits
    double Sum = 0.0, Largest = 0.0;
    for (int Sb = 0; Sb < Subbands; ++Sb)
        for (int C = 0; C < E.Channels; ++C) {
            if (!Allocation[Sb][C]) continue;
            if (LayerI) {
                const double F = ScaleFactor(B.Take(6));
                Sum += 12 * F * F;
                Largest = std::max(Largest, F);
                continue;
            }
            const int Selected = Selection[Sb][C];
            double F[3];
            for (int P = 0; P < Parts[Selected]; ++P) F[P] = ScaleFactor(B.Take(6));
            // Which part takes which scale factor.
            const int Of[4][3] = {{0, 1, 2}, {0, 0, 1}, {0, 0, 0}, {0, 1, 1}};
            for (int P = 0; P < 3; ++P) {
                const double Part = F[Of[Selected][P]];
                Sum += 12 * Part * Part;
                Largest = std::max(Largest, Part);
            }
        }
    if (B.Overrun()) return E;
    E.Unit[0].Bound = SampleLargest * SampleLargest * Sum;
    E.Unit[0].Estimate = SynthesisGain * SubbandMeanSquare * Sum;
    E.Unit[0].PeakEstimate = SubbandPeak * Largest * Largest;
    E.LappedGain = E.AnyGain = SynthesisGain;
    E.Known = true;
    return E;
}

}  // namespace

int TSideInfoPlace::GranuleBit(int Unit, int Channel) const {
    // In front of the granules: main_data_begin, the private bits and (MPEG 1)
    // the scale factor selection of each channel.
    const int Lead = Mpeg1 ? 9 + (Channels == 1 ? 5 : 3) + 4 * Channels : 8 + Channels;
    return Lead + (Unit * Channels + Channel) * GranuleWidth(Mpeg1);
}

bool FindSideInfo(const uint8_t Header[FrameHeaderBytes], const TFrameHeader& Frame, TSideInfoPlace& Place) {
    if (Frame.Layer != 3) return false;
    Place.Mpeg1 = Frame.Version == 1.0;
    Place.Crc = (Header[1] & 1) == 0;
    Place.Offset = FrameHeaderBytes + (Place.Crc ? CrcBytes : 0);
    Place.Channels = Frame.Mono ? 1 : 2;
    Place.Units = Place.Mpeg1 ? 2 : 1;
    Place.Bytes = Place.Mpeg1 ? (Frame.Mono ? 17 : 32) : (Frame.Mono ? 9 : 17);
    return Frame.Length >= Place.End();
}

TFrameEnergy ReadFrameEnergy(const uint8_t* Bytes, int Count, const TFrameHeader& Frame) {
    Count = std::min(Count, int(Frame.Length));
    // The decoder checks all eleven sync bits, the walk only the first byte.
    if (Count < FrameHeaderBytes || Bytes[0] != FrameSyncByte || (Bytes[1] & 0xE0) != 0xE0) return {};
    return Frame.Layer == 3 ? ReadLayer3(Bytes, Count, Frame) : ReadSubbandLayer(Bytes, Count, Frame);
}

bool WindowsFollow(const TEnergyUnit& Before, const TEnergyUnit& After, int Channels) {
    for (int C = 0; C < Channels; ++C) {
        const uint8_t A = Before.Windows[C], B = After.Windows[C];
        if (A == MixedWindow || B == MixedWindow) return false;
        // A long or stop window ends on a long slope, a start or short one on a short slope.
        const bool EndsShort = A == 1 || A == 2;
        const bool StartsShort = B == 2 || B == 3;
        if (EndsShort != StartsShort) return false;
    }
    return true;
}
