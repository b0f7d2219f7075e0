// The level of an MP3 file, or of a range of it, changed without re-encoding:
// every coded granule's global gain moved by the same number of 1.5 dB steps
// (FrameGain.h), held within the field's range. Everything else stays byte
// for byte: the tags, whatever lies between frames, the information frame but
// for its LAME tag's CRCs, which are made anew where they held. Lowering and
// then raising by the same steps gives back the file's bytes, unless a
// granule was held at the field's end.
//
// A record of the change can be kept in the file's APE tag (an item of UTF-8
// text, as level tools keep theirs: it can be added and taken away without
// touching another byte of the file, where an ID3v2 tag would be rewritten
// by its library). It names the steps, the frames and the gain of each
// granule held at the field's end, so that an undo gives back the very bytes
// the file had. A further change of the same frames brings the record up to
// date; a change of other frames is refused while the file carries one.
#pragma once

#include <cstdint>
#include <string>

#include "engine/VekMp3.h"
#include "platform/TargetFile.h"

// The APE item of the record.
extern const char* const GainRecordKey;

struct TGainRequest {
    int Steps = 0;  // ignored by an undo
    // The frames a cut from StartMs to EndMs takes (EndMs -1: to the end).
    int64_t StartMs = 0, EndMs = -1;
    bool Record = false;  // keep a record of the change
    bool Undo = false;    // undo the recorded change, and drop the record
};

enum class TGainRefusal {
    None,
    NotValid,        // no MP3 file
    Unchangeable,    // its frames (or one of them in the range) are not layer III of a bit rate the header tells
    NoRecord,        // an undo of a file without a record
    BadRecord,       // a record (or the APE tag it is to go into) that cannot be read
    OtherRange,      // the file records a change of other frames
    NothingInRange,  // no frame lies in the range
};

struct TGainResult {
    TGainRefusal Refusal = TGainRefusal::None;
    bool Saved = false;
    TSaveFailure Failure = TSaveFailure::None;  // why the target was not written
    int SystemError = 0;
    int Steps = 0;                       // applied
    uint32_t Frames = 0;                 // in the range
    uint64_t Granules = 0, Clamped = 0;  // as TGainTally counts them
    bool Recorded = false;               // the new file carries a record
    bool MusicCrc = false;               // its LAME tag's music CRC was made anew
};

// Writes FileName with its level changed as Request says to Target (FileName
// itself to change it in place) through a temporary file that takes Target's
// name only when complete; nothing is written when the change is refused.
// Raises the stream errors of the files.
TGainResult ChangeGain(const std::string& FileName, const std::string& Target, TExisting Existing,
                       const TGainRequest& Request);
