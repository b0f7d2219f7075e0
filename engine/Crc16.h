// The 16-bit CRC that the LAME tag of an information frame carries twice:
// over the frame's own first bytes, and over all the audio that follows it
// (polynomial 0x8005, processed least significant bit first, starting from 0).
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of Count bytes, continuing from Crc (0 for a fresh start).
uint16_t Crc16(const uint8_t* Data, size_t Count, uint16_t Crc = 0);

// What the CRC Crc of a run of bytes becomes when Count zero bytes follow.
// The CRC is linear: the CRC of a run changed in a few places is its old CRC
// plus the CRC of the changes alone, zeros between and behind them, which
// this works out without a pass over the zeros.
uint16_t Crc16AfterZeros(uint16_t Crc, uint64_t Count);

// The CRC of the changes to a run of bytes, told in order of their place:
// its Value, added (xor) to the old run's CRC, gives the CRC of the new run.
class TCrc16Changes {
public:
    void Change(uint64_t At, uint8_t Was, uint8_t Is);
    uint16_t Value(uint64_t Length) const { return Crc16AfterZeros(FCrc, Length - FAt); }

private:
    uint16_t FCrc = 0;
    uint64_t FAt = 0;  // the place behind the last change
};

// The CRC that protects an MPEG audio frame (the 16 bits behind a header
// whose protection bit is 0): the same polynomial, but processed most
// significant bit first and starting from all ones. It covers the header's
// last two bytes and the side information.
uint16_t FrameCrc16(const uint8_t* Data, size_t Count, uint16_t Crc = 0xFFFF);

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
