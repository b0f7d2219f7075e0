#include "engine/FrameGain.h"

#include <algorithm>

#include "engine/Crc16.h"

namespace {

// N bits (at most 16) of Data from bit At on, most significant first.
unsigned GetBits(const uint8_t* Data, int At, int N) {
    unsigned Value = 0;
    for (int I = At; I < At + N; ++I) Value = Value << 1 | ((Data[I >> 3] >> (7 - (I & 7))) & 1u);
    return Value;
}

void SetBits(uint8_t* Data, int At, int N, unsigned Value) {
    for (int I = At + N - 1; I >= At; --I, Value >>= 1) {
        const auto Mask = static_cast<uint8_t>(1u << (7 - (I & 7)));
        Data[I >> 3] = static_cast<uint8_t>((Value & 1) ? Data[I >> 3] | Mask : Data[I >> 3] & ~Mask);
    }
}

// The CRC covers the header's last two bytes and the side information.
uint16_t CrcOf(const uint8_t* Head, const TSideInfoPlace& Place) {
    return FrameCrc16(Head + Place.Offset, size_t(Place.Bytes), FrameCrc16(Head + 2, 2));
}
uint16_t StoredCrc(const uint8_t* Head) {
    return static_cast<uint16_t>(Head[FrameHeaderBytes] << 8 | Head[FrameHeaderBytes + 1]);
}

}  // namespace

bool TFrameGains::Open(uint8_t* Head, int Count, const TFrameHeader& Frame) {
    FHead = nullptr;
    if (!GainChangeable(Frame) || Count < FrameHeaderBytes || !FindSideInfo(Head, Frame, FPlace) ||
        Count < FPlace.End())
        return false;
    FHead = Head;
    FCrcHeld = FPlace.Crc && CrcOf(Head, FPlace) == StoredCrc(Head);
    return true;
}

bool TFrameGains::Coded(int Unit, int Channel) const {
    return GetBits(FHead + FPlace.Offset, FPlace.GranuleBit(Unit, Channel), Part23Bits) != 0;
}

int TFrameGains::Gain(int Unit, int Channel) const {
    return int(GetBits(FHead + FPlace.Offset, FPlace.GranuleBit(Unit, Channel) + GlobalGainBit, GlobalGainBits));
}

void TFrameGains::SetGain(int Unit, int Channel, int Value) {
    SetBits(FHead + FPlace.Offset, FPlace.GranuleBit(Unit, Channel) + GlobalGainBit, GlobalGainBits,
            unsigned(std::clamp(Value, 0, MaxGlobalGain)));
}

void TFrameGains::Close() {
    if (!FCrcHeld) return;
    const uint16_t Crc = CrcOf(FHead, FPlace);
    FHead[FrameHeaderBytes] = static_cast<uint8_t>(Crc >> 8);
    FHead[FrameHeaderBytes + 1] = static_cast<uint8_t>(Crc);
}

TGainTally ShiftGains(TFrameGains& Gains, const int Steps[2]) {
    TGainTally T;
    for (int U = 0; U < Gains.Units(); ++U)
        for (int C = 0; C < Gains.Channels(); ++C) {
            if (Steps[U] == 0 || !Gains.Coded(U, C)) continue;
            const int Wanted = Gains.Gain(U, C) + Steps[U];
            ++T.Granules;
            if (Wanted < 0 || Wanted > MaxGlobalGain) ++T.Clamped;
            Gains.SetGain(U, C, Wanted);
        }
    return T;
}
