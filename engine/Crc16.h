// The 16-bit CRC that the LAME tag of an information frame carries twice:
// over the frame's own first bytes, and over all the audio that follows it
// (polynomial 0x8005, processed least significant bit first, starting from 0).
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of Count bytes, continuing from Crc (0 for a fresh start).
uint16_t Crc16(const uint8_t* Data, size_t Count, uint16_t Crc = 0);

// The CRC of a long run of bytes handed over piece by piece, as a copy sees
// them. Where the processor multiplies without carries, it folds 64 bytes at
// a time, so that the music of a whole file costs a few milliseconds.
class TCrc16Stream {
public:
    TCrc16Stream();
    void Add(const uint8_t* Data, size_t Count);
    // The CRC of everything added so far.
    uint16_t Value() const;

    static constexpr size_t BlockBytes = 64;

private:
    bool FFolding = false;  // the carry-less path is used
    // Four 16-byte lanes that stand for the whole blocks added so far: the
    // CRC of their bytes is the CRC of those blocks.
    alignas(16) uint8_t FLanes[BlockBytes] = {};
    uint8_t FPending[BlockBytes] = {};  // bytes not yet a whole block
    size_t FPendingCount = 0;
    uint16_t FTableCrc = 0;  // the running CRC where there is no folding
};
