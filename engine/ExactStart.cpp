#include "engine/ExactStart.h"

#include <algorithm>
#include <numeric>

#include "engine/InfoFrame.h"

namespace {

constexpr int CrcBytes = 2;
// The frames in front of its first kept sample that a gapless decoder decodes.
constexpr int DecodedAhead = 4;
// The synthesis window moves 18 steps a granule and comes round after 16.
constexpr int WindowSteps = 16, StepsPerGranule = 18;

bool HasCrc(const uint8_t Header[FrameHeaderBytes]) { return (Header[1] & 0x01) == 0; }

int MainDataStart(const TFrameHeader& Frame, bool Crc) { return SideInfoEnd(Frame) + (Crc ? CrcBytes : 0); }

// The bytes of main data a frame has room for: all behind its side information.
int MainDataRoom(const TFrameTrail::TTrailFrame& F) {
    return std::max(0, F.Frame.Length - MainDataStart(F.Frame, F.Crc));
}

// How far before its own main data a frame's main data begins: the first 9
// bits of the side information (8 in MPEG 2 and 2.5).
int MainDataBegin(TMappedFile& Source, int64_t Offset, const TFrameHeader& Frame, bool Crc) {
    uint8_t Side[2] = {0, 0};
    Source.SetPosition(Offset + FrameHeaderBytes + (Crc ? CrcBytes : 0));
    Source.Read(Side, sizeof Side);
    return Frame.Version == 1.0 ? (Side[0] << 1 | Side[1] >> 7) : Side[0];
}

// How many of the trail's frames, from Back on, hold the Begin bytes of main
// data a frame reaches back for; all that are left when they do not suffice.
int FramesHolding(const TFrameTrail& Trail, int Back, int Begin) {
    int Frames = 0;
    for (int Room = 0; Room < Begin && Back + Frames < Trail.Size(); ++Frames)
        Room += MainDataRoom(Trail.Back(Back + Frames));
    return Frames;
}

// The last Count bytes of main data of the trail's frames from Back on
// backwards, or all there are.
std::vector<uint8_t> ReservoirBefore(TMappedFile& Source, const TFrameTrail& Trail, int Back, int Count) {
    std::vector<uint8_t> Bytes(static_cast<size_t>(Count));
    size_t Left = Bytes.size();
    for (int B = Back; Left > 0 && B < Trail.Size(); ++B) {
        const TFrameTrail::TTrailFrame& F = Trail.Back(B);
        const auto Take = std::min<size_t>(Left, size_t(MainDataRoom(F)));
        Left -= Take;
        Source.SetPosition(F.Offset + F.Frame.Length - int64_t(Take));
        Source.Read(Bytes.data() + Left, int64_t(Take));
    }
    Bytes.erase(Bytes.begin(), Bytes.begin() + std::ptrdiff_t(Left));
    return Bytes;
}

// A silent frame of the start frame's stream (no CRC, its sample rate and
// channel mode, no granule coded) that holds Reservoir at the end of its main
// data, at the smallest bit rate it fits in; empty when none holds it.
std::vector<uint8_t> CarrierFrame(const uint8_t StartHeader[FrameHeaderBytes], const std::vector<uint8_t>& Reservoir) {
    for (int Index = 1; Index <= 14; ++Index) {
        const uint8_t H[FrameHeaderBytes] = {
            FrameSyncByte,
            static_cast<uint8_t>(StartHeader[1] | 0x01),
            static_cast<uint8_t>(Index << 4 | (StartHeader[2] & 0x0C)),
            static_cast<uint8_t>(StartHeader[3] & 0xCF),
        };
        TFrameHeader Frame;
        if (!DecodeFrameHeader(H, Frame) || Frame.Length - SideInfoEnd(Frame) < int(Reservoir.size())) continue;
        std::vector<uint8_t> Bytes(size_t(Frame.Length), 0);
        std::copy(H, H + FrameHeaderBytes, Bytes.begin());
        std::copy(Reservoir.begin(), Reservoir.end(), Bytes.end() - std::ptrdiff_t(Reservoir.size()));
        return Bytes;
    }
    return {};
}

}  // namespace

void TFrameTrail::FramePassed(int64_t Offset, const TFrameHeader& Frame, const uint8_t Header[FrameHeaderBytes]) {
    FFrames[size_t(FPassed % Capacity)] = {Offset, FPassed, Frame, HasCrc(Header)};
    ++FPassed;
}

int TFrameTrail::Size() const { return static_cast<int>(std::min<int64_t>(FPassed, Capacity)); }

const TFrameTrail::TTrailFrame& TFrameTrail::Back(int Back) const {
    return FFrames[size_t((FPassed - 1 - Back) % Capacity)];
}

TPreroll FindPreroll(TMappedFile& Source, int64_t AudioEnd, const TFrameTrail& Trail) {
    const int64_t Was = Source.Position();
    TFrameHeader Start;
    uint8_t Header[FrameHeaderBytes];
    const int64_t StartAt = NextAudioFrame(Source, AudioEnd, Start, Header);
    TPreroll P;
    P.Offset = P.StartOffset = StartAt;
    if (StartAt < 0 || Start.Layer != 3 || Trail.Size() == 0) return P;

    // The start frame reaches back for its main data. So do the frames
    // whose last granules must decode whole before it: the one it overlaps,
    // and the one that overlaps that (the synthesis carries them over), the
    // frame before in MPEG 1 (two granules a frame), two frames otherwise.
    const int Whole = Start.Version == 1.0 ? 1 : 2;
    int Needed = FramesHolding(Trail, 0, MainDataBegin(Source, StartAt, Start, HasCrc(Header)));
    for (int Back = 0; Back < std::min(Trail.Size(), Whole); ++Back) {
        const TFrameTrail::TTrailFrame& F = Trail.Back(Back);
        Needed = std::max(Needed,
                          Back + 1 + FramesHolding(Trail, Back + 1, MainDataBegin(Source, F.Offset, F.Frame, F.Crc)));
    }

    const int64_t Before = Trail.Passed();  // audio frames in front of the start in the whole stream
    const int Reach = std::min(DecodedAhead, (MaxLameSamples + DecoderDelaySamples) / Start.Samples);
    const int Granules = Start.Version == 1.0 ? 2 : 1;
    // The source's frames will do when they hold all the start needs and a
    // decoder counts their main data (not in a CRC-protected stream).
    auto OwnFramesDo = [&](int Frames) { return Frames >= Needed && Frames <= Trail.Size() && !HasCrc(Header); };
    int Frames = 0;
    bool Carried = false;
    if (Before <= Reach && Before <= Trail.Size()) {
        Frames = int(Before);  // all of them, from the first: nothing reaches further back
    } else {
        // In step with the whole stream over the window's whole cycle where
        // the frames allow it, else over as much of it as they do.
        for (int Cycle = WindowSteps / std::gcd(WindowSteps, StepsPerGranule * Granules); Cycle >= 1 && Frames == 0;
             Cycle /= 2) {
            for (int F = Whole + 1; F <= Reach && Frames == 0; ++F)
                if ((Before - F) % Cycle == 0 && OwnFramesDo(F)) Frames = F;
            for (int F = Whole + 1; F <= Reach && Frames == 0 && !Start.FreeFormat; ++F)
                if ((Before - F) % Cycle == 0 && F - 1 <= Trail.Size()) Frames = F, Carried = true;
        }
        if (Frames == 0) Frames = std::min({Needed, Reach, Trail.Size()});
    }

    const int Own = Carried ? Frames - 1 : Frames;
    if (Carried) {
        const int Limit = Start.Version == 1.0 ? 511 : 255;
        P.Carrier = CarrierFrame(Header, ReservoirBefore(Source, Trail, Own, Limit));
    }
    Source.SetPosition(Was);
    if (Carried && P.Carrier.empty()) return P;
    P.Frames = Frames;
    P.Bytes = int64_t(P.Carrier.size());
    for (int B = 0; B < Own; ++B) P.Bytes += Trail.Back(B).Frame.Length;
    if (Own > 0) {
        const TFrameTrail::TTrailFrame& First = Trail.Back(Own - 1);
        P.Offset = First.Offset;
        P.FromFirstFrame = First.Index == 0 && !Carried;
    }
    P.DelaySamples = P.Frames * Start.Samples - DecoderDelaySamples;
    return P;
}
