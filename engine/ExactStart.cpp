#include "engine/ExactStart.h"

#include <algorithm>

#include "engine/InfoFrame.h"

namespace {

constexpr int CrcBytes = 2;

bool HasCrc(const uint8_t Header[FrameHeaderBytes]) { return (Header[1] & 0x01) == 0; }

// The bytes of main data a frame has room for: all behind its side information.
int MainDataRoom(const TFrameTrail::TTrailFrame& F) {
    return std::max(0, F.Frame.Length - SideInfoEnd(F.Frame) - (F.Crc ? CrcBytes : 0));
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
    P.StartOffset = StartAt;
    if (StartAt < 0 || Start.Layer != 3 || Trail.Size() == 0) return P;

    // The start frame reaches back for its main data. So do the frames
    // whose last granules must decode whole before it: the one it overlaps,
    // and the one that overlaps that (the synthesis carries them over), the
    // frame before in MPEG 1 (two granules a frame), two frames otherwise.
    int Needed = FramesHolding(Trail, 0, MainDataBegin(Source, StartAt, Start, HasCrc(Header)));
    const int Whole = std::min(Trail.Size(), Start.Version == 1.0 ? 1 : 2);
    for (int Back = 0; Back < Whole; ++Back) {
        const TFrameTrail::TTrailFrame& F = Trail.Back(Back);
        Needed = std::max(Needed,
                          Back + 1 + FramesHolding(Trail, Back + 1, MainDataBegin(Source, F.Offset, F.Frame, F.Crc)));
    }
    Source.SetPosition(Was);

    const int Reach = (MaxLameSamples + DecoderDelaySamples) / Start.Samples;
    P.Frames = std::min({Needed, Reach, Trail.Size()});
    const TFrameTrail::TTrailFrame& First = Trail.Back(P.Frames - 1);
    P.Offset = First.Offset;
    P.FromFirstFrame = First.Index == 0;
    P.DelaySamples = P.Frames * Start.Samples - DecoderDelaySamples;
    return P;
}
