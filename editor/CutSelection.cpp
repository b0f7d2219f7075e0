#include "editor/CutSelection.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A frame's duration exactly as the engine's header decoding works it out.
double DurationOf(const TMp3IndexedFrame& Frame) { return Frame.Samples * 1000.0 / Frame.SampleRate; }

int64_t StepMs(TNudgeStep Step) { return Step == TNudgeStep::Second ? 1000 : 10000; }

}  // namespace

void TCutSelection::Open(int64_t LengthMs, double NominalFrameMs) {
    FLengthMs = std::max<int64_t>(LengthMs, 0);
    FNominalFrameMs = NominalFrameMs;
    FStartMs = 0;
    FEndMs = FLengthMs;
    FTouched = TMarkSide::Start;
    FFrames.reset();
}

void TCutSelection::Close() { Open(0, 0.0); }

void TCutSelection::SetFrames(std::shared_ptr<const TMp3FrameIndex> Frames) { FFrames = std::move(Frames); }

void TCutSelection::SetMarks(int64_t StartMs, int64_t EndMs) {
    FStartMs = StartMs;
    FEndMs = EndMs;
}

size_t TCutSelection::FirstFrame() const { return FFrames->FirstFrameAtOrAfter(double(FStartMs)); }

// The copy goes on while the span is longer than what it has taken, the
// durations summed from nothing in the order the frames come.
size_t TCutSelection::EndFrame(size_t First, double* Span) const {
    const double Wanted = double(FEndMs - FStartMs);
    double Taken = 0.0;
    auto Frame = FFrames->From(First);
    const auto End = FFrames->From(FFrames->Count());
    for (; Frame != End && Wanted > Taken; ++Frame) Taken += DurationOf(*Frame);
    if (Span) *Span = Taken;
    return Frame.Number();
}

double TCutSelection::SpanOf(size_t First, size_t End) const {
    double Taken = 0.0;
    for (auto Frame = FFrames->From(First); Frame.Number() < End; ++Frame) Taken += DurationOf(*Frame);
    return Taken;
}

int64_t TCutSelection::Nudged(int Steps, TNudgeStep Step) const {
    if (!HasFile() || Steps == 0) return FTouched == TMarkSide::Start ? FStartMs : FEndMs;
    const bool Start = FTouched == TMarkSide::Start;
    const int64_t Was = Start ? FStartMs : FEndMs;
    int64_t Ms;
    if (Step != TNudgeStep::Frame)
        Ms = Was + Steps * StepMs(Step);
    else if (!FFrames)
        Ms = Was + std::llround(Steps * FNominalFrameMs);
    else
        Ms = Start ? NudgedStart(Steps) : NudgedEnd(Steps);
    // Never against the direction asked for, where a boundary lies within a
    // millisecond of where the mark already is.
    Ms = Steps > 0 ? std::max(Ms, Was) : std::min(Ms, Was);
    return Start ? std::clamp<int64_t>(Ms, 0, FEndMs) : std::clamp<int64_t>(Ms, FStartMs, FLengthMs);
}

// A save from floor(start of frame N) begins with frame N: the frame before
// it starts at least 8 ms earlier, so before that time.
int64_t TCutSelection::NudgedStart(int Steps) const {
    const auto First = static_cast<int64_t>(FirstFrame());
    const auto Target = static_cast<size_t>(std::clamp<int64_t>(First + Steps, 0, int64_t(FFrames->Count())));
    return static_cast<int64_t>(std::floor(FFrames->StartOf(Target)));
}

// A save whose span is floor(duration of frames First .. N - 1) ends with
// frame N - 1: the span is then more than the frames before it last, and no
// more than all of them.
int64_t TCutSelection::NudgedEnd(int Steps) const {
    const size_t First = FirstFrame();
    const auto End = static_cast<int64_t>(EndFrame(First));
    const auto Target =
        static_cast<size_t>(std::clamp<int64_t>(End + Steps, int64_t(First), int64_t(FFrames->Count())));
    return FStartMs + static_cast<int64_t>(std::floor(SpanOf(First, Target)));
}

TPieceSize TCutSelection::Piece() const {
    if (!HasFile()) return {};
    if (!FFrames) return {-1, double(std::max<int64_t>(FEndMs - FStartMs, 0))};
    const size_t First = FirstFrame();
    double Span = 0.0;
    const size_t End = EndFrame(First, &Span);
    return {int64_t(End - First), Span};
}

int64_t TCutSelection::PieceEndMs() const {
    if (!FFrames) return FEndMs;
    const size_t End = EndFrame(FirstFrame());
    return std::min<int64_t>(static_cast<int64_t>(std::ceil(FFrames->StartOf(End))), FLengthMs);
}

TPlayStretch TCutSelection::Selection() const { return {FStartMs, PieceEndMs()}; }

TPlayStretch TCutSelection::BeforeEnd() const {
    const int64_t End = PieceEndMs();
    return {std::max<int64_t>(End - EdgeMs, 0), End};
}

TPlayStretch TCutSelection::AfterStart() const { return {FStartMs, std::min(FStartMs + EdgeMs, FLengthMs)}; }
