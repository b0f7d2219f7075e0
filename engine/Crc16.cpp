#include "engine/Crc16.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SEGMORA_CRC_FOLDING 1
#endif

namespace {

// 0x8005 with its bits reversed, as the CRC runs least significant bit first.
constexpr uint16_t ReversedPolynomial = 0xA001;

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> T{};
    for (unsigned I = 0; I < 256; ++I) {
        unsigned C = I;
        for (int Bit = 0; Bit < 8; ++Bit) C = (C & 1) ? (C >> 1) ^ ReversedPolynomial : C >> 1;
        T[I] = static_cast<uint16_t>(C);
    }
    return T;
}
constexpr std::array<uint16_t, 256> Table = MakeTable();

constexpr std::array<uint16_t, 256> MakeForwardTable() {
    std::array<uint16_t, 256> T{};
    for (unsigned I = 0; I < 256; ++I) {
        unsigned C = I << 8;
        for (int Bit = 0; Bit < 8; ++Bit) C = (C & 0x8000) ? (C << 1) ^ 0x8005 : C << 1;
        T[I] = static_cast<uint16_t>(C);
    }
    return T;
}
constexpr std::array<uint16_t, 256> ForwardTable = MakeForwardTable();

// A linear map of CRC values: the image of each of the 16 bits.
using TCrcMap = std::array<uint16_t, 16>;
uint16_t Apply(const TCrcMap& M, uint16_t Crc) {
    uint16_t R = 0;
    for (int I = 0; I < 16; ++I)
        if (Crc >> I & 1) R ^= M[size_t(I)];
    return R;
}
// What 2^K zero bytes do to a CRC, for K = 0..63.
const std::array<TCrcMap, 64>& ZeroRuns() {
    static const std::array<TCrcMap, 64> Runs = [] {
        std::array<TCrcMap, 64> R{};
        const uint8_t Zero = 0;
        for (int I = 0; I < 16; ++I) R[0][size_t(I)] = Crc16(&Zero, 1, uint16_t(1u << I));
        for (size_t K = 1; K < R.size(); ++K)
            for (size_t I = 0; I < 16; ++I) R[K][I] = Apply(R[K - 1], R[K - 1][I]);
        return R;
    }();
    return Runs;
}

#ifdef SEGMORA_CRC_FOLDING

// Folding: a 16-byte lane L, read as the polynomial whose first bit is its
// highest term, is worth L * x^D against data D bits further on, and L * x^D
// is congruent (mod the CRC polynomial) to two carry-less products of its
// 64-bit halves with constants. Multiplying bit-reversed operands yields
// the product shifted by one place, so the constants are x^(n-1) mod P,
// bit-reversed into 64 bits.
constexpr uint64_t FoldConstant(int Power) {
    constexpr uint32_t Polynomial = 0x18005;  // x^16 + x^15 + x^2 + 1
    uint32_t R = 1;
    for (int I = 0; I < Power - 1; ++I) {
        R <<= 1;
        if (R & 0x10000) R ^= Polynomial;
    }
    uint64_t Reversed = 0;
    for (int D = 0; D < 16; ++D)
        if (R & (1u << D)) Reversed |= uint64_t(1) << (63 - D);
    return Reversed;
}

// Each lane folds over the four lanes' 512 bits: its first 64 bits are
// worth x^(512+64), its last x^512.
constexpr uint64_t Over512[2] = {FoldConstant(512 + 64), FoldConstant(512)};

#define SEGMORA_FOLD_TARGET __attribute__((target("pclmul,avx")))

struct TLanes {
    __m128i L0, L1, L2, L3;
};

SEGMORA_FOLD_TARGET inline __m128i Fold(__m128i Lane, __m128i K, const uint8_t* Next) {
    const __m128i Folded = _mm_xor_si128(_mm_clmulepi64_si128(Lane, K, 0x00), _mm_clmulepi64_si128(Lane, K, 0x11));
    return _mm_xor_si128(Folded, _mm_loadu_si128(reinterpret_cast<const __m128i*>(Next)));
}

SEGMORA_FOLD_TARGET inline void FoldBlock(TLanes& L, __m128i K, const uint8_t* P) {
    L.L0 = Fold(L.L0, K, P), L.L1 = Fold(L.L1, K, P + 16), L.L2 = Fold(L.L2, K, P + 32), L.L3 = Fold(L.L3, K, P + 48);
}

// Adds Count bytes to the lanes (aligned, 64 bytes) and the pending bytes
// of a stream, in one go, the lanes held in registers. Lanes of zeros stand
// for nothing, so the first block folds into them like any other.
SEGMORA_FOLD_TARGET void FoldRun(uint8_t* Lanes, uint8_t* Pending, size_t& PendingCount, const uint8_t* Data,
                                 size_t Count) {
    constexpr size_t B = TCrc16Stream::BlockBytes;
    if (PendingCount + Count < B) {
        std::memcpy(Pending + PendingCount, Data, Count);
        PendingCount += Count;
        return;
    }
    const __m128i K = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Over512));
    auto* Stored = reinterpret_cast<__m128i*>(Lanes);
    TLanes L{_mm_load_si128(Stored), _mm_load_si128(Stored + 1), _mm_load_si128(Stored + 2),
             _mm_load_si128(Stored + 3)};
    if (PendingCount > 0) {
        const size_t Take = B - PendingCount;
        std::memcpy(Pending + PendingCount, Data, Take);
        FoldBlock(L, K, Pending);
        Data += Take;
        Count -= Take;
    }
    for (; Count >= B; Data += B, Count -= B) FoldBlock(L, K, Data);
    std::memcpy(Pending, Data, Count);
    PendingCount = Count;
    _mm_store_si128(Stored, L.L0), _mm_store_si128(Stored + 1, L.L1);
    _mm_store_si128(Stored + 2, L.L2), _mm_store_si128(Stored + 3, L.L3);
}

bool CanFold() { return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("avx"); }

#endif

}  // namespace

uint16_t Crc16(const uint8_t* Data, size_t Count, uint16_t Crc) {
    for (size_t I = 0; I < Count; ++I) Crc = static_cast<uint16_t>((Crc >> 8) ^ Table[(Crc ^ Data[I]) & 0xFF]);
    return Crc;
}

uint16_t Crc16AfterZeros(uint16_t Crc, uint64_t Count) {
    for (size_t K = 0; Count != 0 && Crc != 0; ++K, Count >>= 1)
        if (Count & 1) Crc = Apply(ZeroRuns()[K], Crc);
    return Crc;
}

void TCrc16Changes::Change(uint64_t At, uint8_t Was, uint8_t Is) {
    if (Was == Is) return;
    const uint8_t Difference = Was ^ Is;
    FCrc = Crc16(&Difference, 1, Crc16AfterZeros(FCrc, At - FAt));
    FAt = At + 1;
}

uint16_t FrameCrc16(const uint8_t* Data, size_t Count, uint16_t Crc) {
    for (size_t I = 0; I < Count; ++I)
        Crc = static_cast<uint16_t>((Crc << 8) ^ ForwardTable[((Crc >> 8) ^ Data[I]) & 0xFF]);
    return Crc;
}

TCrc16Stream::TCrc16Stream() {
#ifdef SEGMORA_CRC_FOLDING
    FFolding = CanFold();
#endif
}

void TCrc16Stream::Add(const uint8_t* Data, size_t Count) {
#ifdef SEGMORA_CRC_FOLDING
    if (FFolding) return FoldRun(FLanes, FPending, FPendingCount, Data, Count);
#endif
    FTableCrc = Crc16(Data, Count, FTableCrc);
}

uint16_t TCrc16Stream::Value() const {
    if (!FFolding) return FTableCrc;
    // The lanes are worth the blocks they stand for: their bytes, then the
    // pending ones, give the CRC. (Zeros in front of a CRC that starts from
    // 0 change nothing.)
    return Crc16(FPending, FPendingCount, Crc16(FLanes, BlockBytes));
}
