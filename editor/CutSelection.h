// The piece between the two marks as the cutting aids of the window see it:
// where the marks stand in milliseconds and in frames, where a mark goes when
// it is moved by a frame, a second or ten, how long the piece a save writes
// is, which stretches can be listened to, and what is possible at all. Free
// of the window, so that the frame arithmetic can be checked on its own.
//
// Frames are counted as the engine's cut counts them: a save from StartMs
// begins with the first frame that starts at or after StartMs, and takes
// frames until their summed duration reaches EndMs - StartMs. Until the
// file's frames are known (they are indexed off the window thread), a frame
// is taken to last NominalFrameMs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "player/Mp3FrameIndex.h"

enum class TMarkSide { Start, End };
enum class TNudgeStep { Frame, Second, TenSeconds };

// A stretch to play, in milliseconds.
struct TPlayStretch {
    int64_t From = 0;
    int64_t To = 0;
};

// What a save of the marks writes: its frames and their summed duration;
// Frames is -1 while the file's frames are not known yet.
struct TPieceSize {
    int64_t Frames = -1;
    double Ms = 0.0;
};

class TCutSelection {
public:
    static constexpr int64_t EdgeMs = 3000;  // how much of an edge is listened to

    // A file of LengthMs is open; its marks span it, the start mark is the one touched.
    void Open(int64_t LengthMs, double NominalFrameMs);
    // No file is open.
    void Close();
    // The frames of the open file, as the engine's walk finds them.
    void SetFrames(std::shared_ptr<const TMp3FrameIndex> Frames);
    bool HasFrames() const { return FFrames != nullptr; }

    void SetMarks(int64_t StartMs, int64_t EndMs);
    void Touch(TMarkSide Side) { FTouched = Side; }
    TMarkSide Touched() const { return FTouched; }

    bool HasFile() const { return FLengthMs > 0; }
    int64_t StartMs() const { return FStartMs; }
    int64_t EndMs() const { return FEndMs; }
    int64_t LengthMs() const { return FLengthMs; }

    // Where the touched mark goes when moved by Steps (negative: back) of
    // Step, inside its bounds (the start 0 to the end mark, the end the start
    // mark to the file's end). A frame step puts it on the frame boundary a
    // save then starts or ends at.
    int64_t Nudged(int Steps, TNudgeStep Step) const;

    TPieceSize Piece() const;

    // The piece from its start mark to where its last frame ends.
    TPlayStretch Selection() const;
    // EdgeMs up to the piece's end, and EdgeMs from its start.
    TPlayStretch BeforeEnd() const;
    TPlayStretch AfterStart() const;
    bool CanPlaySelection() const { return HasFile() && FStartMs < FEndMs; }
    bool CanPlayBeforeEnd() const { return HasFile() && PieceEndMs() > 0; }
    bool CanPlayAfterStart() const { return HasFile() && FStartMs < FLengthMs; }

private:
    // The frame a save from the start mark begins with.
    size_t FirstFrame() const;
    // The frame boundary a save of the marks ends at (one past its last
    // frame), and the summed duration of its frames in Span.
    size_t EndFrame(size_t First, double* Span = nullptr) const;
    // The summed duration of the frames First .. End - 1, added as the engine adds them.
    double SpanOf(size_t First, size_t End) const;
    int64_t NudgedStart(int Steps) const;
    int64_t NudgedEnd(int Steps) const;
    int64_t PieceEndMs() const;

    int64_t FLengthMs = 0;
    double FNominalFrameMs = 0.0;
    int64_t FStartMs = 0;
    int64_t FEndMs = 0;
    TMarkSide FTouched = TMarkSide::Start;
    std::shared_ptr<const TMp3FrameIndex> FFrames;
};
