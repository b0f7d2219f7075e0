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

#ifdef SEGMORA_CRC_FOLDING

// Folding: a 16-byte lane L, read as the polynomial whose first bit is its
// highest term, is worth L * x^D against data D bits further on, and L * x^D
// is congruent (mod the CRC polynomial) to two carry-less products of its
// 64-bit halves with constants. Multiplying bit-reversed operands yields
// the product shifted by one place, so the constants are x^(n-1) mod P.
uint64_t FoldConstant(int Power) {
    constexpr uint32_t Polynomial = 0x18005;  // x^16 + x^15 + x^2 + 1
    uint32_t R = 1;
    for (int I = 0; I < Power - 1; ++I) {
        R <<= 1;
        if (R & 0x10000) R ^= Polynomial;
    }
    // Reversed into 64 bits: the term x^d goes to bit 63 - d.
    uint64_t Reversed = 0;
    for (int D = 0; D < 16; ++D)
        if (R & (1u << D)) Reversed |= uint64_t(1) << (63 - D);
    return Reversed;
}

struct TFoldConstants {
    // Low half: the lane's first 64 bits, worth x^(D+64); high half: x^D.
    uint64_t Over512[2];
    uint64_t Over128[2];
};

const TFoldConstants& Constants() {
    static const TFoldConstants C{{FoldConstant(512 + 64), FoldConstant(512)},
                                  {FoldConstant(128 + 64), FoldConstant(128)}};
    return C;
}

__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i Lane, __m128i K) {
    return _mm_xor_si128(_mm_clmulepi64_si128(Lane, K, 0x00), _mm_clmulepi64_si128(Lane, K, 0x11));
}

__attribute__((target("pclmul,sse2"))) void FoldBlocks(uint8_t Lanes[64], bool Started, const uint8_t* Data,
                                                       size_t Blocks) {
    const TFoldConstants& C = Constants();
    const __m128i K = _mm_loadu_si128(reinterpret_cast<const __m128i*>(C.Over512));
    __m128i L0, L1, L2, L3;
    auto In = [&Data](size_t At) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(Data + At)); };
    if (Started) {
        L0 = _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes));
        L1 = _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes + 16));
        L2 = _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes + 32));
        L3 = _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes + 48));
    } else {
        L0 = In(0), L1 = In(16), L2 = In(32), L3 = In(48);
        Data += 64;
        --Blocks;
    }
    for (; Blocks > 0; --Blocks, Data += 64) {
        L0 = _mm_xor_si128(Fold(L0, K), In(0));
        L1 = _mm_xor_si128(Fold(L1, K), In(16));
        L2 = _mm_xor_si128(Fold(L2, K), In(32));
        L3 = _mm_xor_si128(Fold(L3, K), In(48));
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(Lanes), L0);
    _mm_store_si128(reinterpret_cast<__m128i*>(Lanes + 16), L1);
    _mm_store_si128(reinterpret_cast<__m128i*>(Lanes + 32), L2);
    _mm_store_si128(reinterpret_cast<__m128i*>(Lanes + 48), L3);
}

// The four lanes folded into one, which stands for them in the CRC.
__attribute__((target("pclmul,sse2"))) void FoldLanes(const uint8_t Lanes[64], uint8_t Out[16]) {
    const __m128i K = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Constants().Over128));
    __m128i X = _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes));
    for (int I = 1; I < 4; ++I)
        X = _mm_xor_si128(Fold(X, K), _mm_load_si128(reinterpret_cast<const __m128i*>(Lanes + 16 * I)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), X);
}

bool CanFold() {
    static const bool Can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return Can;
}

#endif

}  // namespace

uint16_t Crc16(const uint8_t* Data, size_t Count, uint16_t Crc) {
    for (size_t I = 0; I < Count; ++I) Crc = static_cast<uint16_t>((Crc >> 8) ^ Table[(Crc ^ Data[I]) & 0xFF]);
    return Crc;
}

TCrc16Stream::TCrc16Stream() {
#ifdef SEGMORA_CRC_FOLDING
    FFolding = CanFold();
#endif
}

void TCrc16Stream::AddBlocks(const uint8_t* Data, size_t Blocks) {
#ifdef SEGMORA_CRC_FOLDING
    FoldBlocks(FLanes, FStarted, Data, Blocks);
    FStarted = true;
#else
    (void)Data;
    (void)Blocks;
#endif
}

void TCrc16Stream::Add(const uint8_t* Data, size_t Count) {
    if (!FFolding) {
        FTableCrc = Crc16(Data, Count, FTableCrc);
        return;
    }
    if (FPendingCount > 0) {
        const size_t Take = std::min(Count, BlockBytes - FPendingCount);
        std::memcpy(FPending + FPendingCount, Data, Take);
        FPendingCount += Take;
        Data += Take;
        Count -= Take;
        if (FPendingCount < BlockBytes) return;
        AddBlocks(FPending, 1);
        FPendingCount = 0;
    }
    const size_t Blocks = Count / BlockBytes;
    if (Blocks > 0) AddBlocks(Data, Blocks);
    FPendingCount = Count - Blocks * BlockBytes;
    std::memcpy(FPending, Data + Blocks * BlockBytes, FPendingCount);
}

uint16_t TCrc16Stream::Value() const {
    if (!FFolding) return FTableCrc;
    uint16_t Crc = 0;
#ifdef SEGMORA_CRC_FOLDING
    if (FStarted) {
        uint8_t Folded[16];
        FoldLanes(FLanes, Folded);
        Crc = Crc16(Folded, sizeof Folded);
    }
#endif
    return Crc16(FPending, FPendingCount, Crc);
}
