// Joining MP3 files into one: the audio frames of each input in order, behind
// one fresh information frame for the whole (frame and byte counts, a seek
// table, a LAME tag with the first input's encoder delay and the last one's
// padding). The inputs' own information frames are left out. Nothing is
// decoded: the frames go over byte for byte, as a cut copies them.
//
// What a joint can and cannot keep exactly: a gapless decoder of one input
// drops the encoder's delay (and its own 529 samples) at the start and the
// padding at the end; one LAME tag can say that only for the start and the
// end of the whole. So at a joint of two files encoded on their own, the
// padding of the first and the delay of the second stay in the result (LAME
// pads by less than a frame more than the decoder's delay, so no whole
// frame of it can go). Pieces cut exactly out of one stream are another
// matter: a piece after the first begins with frames repeated from in front
// of its start, only there to be decoded and dropped, and an exact join
// leaves those out, so that the joined frames are the source's own, in its
// order, and decode as the source does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/VekMp3.h"
#include "platform/TargetFile.h"

struct TJoinSettings {
    // Leave out a later input's leading frames where they repeat the last
    // frames of the input before it and its own decoders would drop them.
    bool Exact = false;
    TExisting Existing = TExisting::Keep;
    // Written in front of the information frame, such as a tag made for the result.
    std::string LeadingBytes{};
    // End the result with the first input's ID3v1 tag, when it has one.
    bool Id3v1 = true;
};

enum class TJoinFailure {
    None,
    NoInput,
    InputNotValid,  // Input is no MP3 file
    FormatDiffers,  // Input's frames are not of the first input's kind; Difference says how
    TargetIsInput,  // the target reaches Input under some name
    Target,         // the result was not saved: TargetFailure and SystemError say why
};

// A joint between an input and the next, as the join leaves it.
struct TJoint {
    int FramesDropped = 0;  // leading frames of the later input left out as repeats
    // Samples that gapless decoding of the two inputs apart would not give,
    // left at the joint (the earlier one's padding, the later one's delay); 0 when exact.
    int64_t ExtraSamples = 0;
};

struct TJoinResult {
    TJoinFailure Failure = TJoinFailure::None;
    size_t Input = 0;        // the input a failure is about
    std::string Difference;  // FormatDiffers: "22050 Hz, not 44100 Hz"
    TSaveFailure TargetFailure = TSaveFailure::None;
    int SystemError = 0;
    uint32_t Frames = 0;     // audio frames written
    int64_t AudioBytes = 0;  // their bytes (the information frame not)
    double Ms = 0.0;         // their summed duration
    int Delay = 0, Padding = 0;  // what the LAME tag has gapless decoders drop
    std::vector<TJoint> Joints;  // one between each input and the next
};

// Joins Inputs into Target through a temporary file that takes Target's name
// only when complete. Nothing is written when an input is no MP3 file, when
// the inputs differ in layer, MPEG version, sample rate or channel count
// (bit rates may differ), or when Target is one of them. Raises the stream
// errors of a file that cannot be read or written.
TJoinResult JoinFiles(const std::vector<std::string>& Inputs, const std::string& Target, const TJoinSettings& Options);
