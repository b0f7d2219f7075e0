// Where a recording falls silent: the runs of quiet audio frames of an MP3
// file, measured on the decoded audio, numbered and timed as the engine's
// frame walk counts them, so that a cut that starts at a run's middle starts
// exactly on its middle frame. The engine's skip passes frames until their
// summed duration reaches the start: a cut from floor(SplitMs) ms begins with
// the middle frame, one from ceil(SplitMs) a frame later unless SplitMs is a
// whole number (frames last 8 ms at least, so the frame before the middle
// one always starts before floor(SplitMs)).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TSilenceScanOptions {
    double ThresholdDb = -48.0;   // a frame is quiet when its RMS level (dB full scale) is below this
    int64_t MinSilenceMs = 2000;  // the shortest run of quiet frames that counts
};

// A run of quiet audio frames: FirstFrame .. EndFrame-1, numbered from 0 in the order the
// engine's frame walk (engine/FrameWalk.h, WalkAudioFrames) visits them. StartMs and EndMs are
// that walk's running sum of frame durations (double, summed exactly as the walk sums them:
// Elapsed += Frame.DurationMs from the first audio frame on) before the run's first frame and
// after its last. SplitMs is that same running sum before the middle frame,
// FirstFrame + (EndFrame - FirstFrame) / 2.
struct TSilence {
    int64_t FirstFrame = 0, EndFrame = 0;
    double StartMs = 0.0, EndMs = 0.0, SplitMs = 0.0;
};

// Called now and then (a few times a second at most is plenty) with the audio time scanned
// and the file's total, both in ms.
using TScanProgress = std::function<void(int64_t DoneMs, int64_t TotalMs)>;

// Every run of quiet frames lasting at least MinSilenceMs (EndMs - StartMs), in file order,
// including runs at the very start or end (the caller decides about those). Errors of the file
// layer propagate as they are (EFOpenError / EReadError from platform/FileStream.h); a file that is
// not MP3 (the engine's analysis finds it not valid) or a libmpg123 failure throws std::runtime_error
// with a clear message.
//
// Only the frames that decide the runs are decoded: the frames' level estimates tell which
// are certainly quiet, and a frame decoded every little less than MinSilenceMs shows that no
// run fits between it and the next (player/SilenceFirstPass.cpp). The runs are those of a
// decode of every frame. DecodedFrames, when given, is told how many frames were decoded
// Two threads. Facts, when given, is told what the search met.
struct TSilenceScanFacts {
    size_t Frames = 0;         // the audio frames of the file
    size_t DecodedFrames = 0;  // how many of them were decoded (warm-up frames included, some more than once)
    int64_t LengthMs = 0;      // the file's length as the engine measures it
};
std::vector<TSilence> FindSilences(const std::string& FileName, const TSilenceScanOptions& Options,
                                   const TScanProgress& Progress = {}, TSilenceScanFacts* Facts = nullptr);

// The same by decoding every frame: the file cut into Threads stretches of
// frames decoded side by side (a short file takes fewer). The result is the
// same for any number, and FindSilences' is this one: the tests hold them to that.
std::vector<TSilence> FindSilencesOnThreads(const std::string& FileName, const TSilenceScanOptions& Options,
                                            int Threads, const TScanProgress& Progress = {});
