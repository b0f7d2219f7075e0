// Repairing an MP3 file so that players read it right: a survey of what its
// audio really holds against what its information frame says, and a copy
// with a fresh information frame for the frames it really has, without the
// bytes between frames that belong to none (stray bytes, the information
// frames and ID3v2 tags of files joined to it with cat) and without a last
// frame cut short. The tags around the audio are kept byte for byte.
#pragma once

#include <cstdint>
#include <string>

#include "engine/InfoFrame.h"
#include "engine/Mp3DataInfo.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "platform/TargetFile.h"

// How the information frame a file begins with fits its frames.
enum class TRecordState {
    Fits,     // it tells the frames and bytes there are
    Stale,    // it tells other counts, or none
    Missing,  // there is none, and the bit rates vary: players guess the length from the first frame
    None,     // there is none, and a constant bit rate needs none
};

struct TRepairSurvey {
    TMp3DataInfo Info;  // the analysis
    TFileIdentity Identity{};
    int64_t AudioStart = 0;  // the first frame, behind the ID3v2 tag and zero bytes after it
    int64_t AudioEnd = 0;    // where the tags at the end begin (a whole APE tag among them)
    TInfoFrame Record;       // the information frame the audio begins with
    int32_t RecordBytes = 0;  // its length; 0 without one
    TRecordState RecordState = TRecordState::None;

    uint32_t Frames = 0;  // audio frames, as a cut of the whole file takes them
    int64_t AudioBytes = 0;
    double Ms = 0.0;
    bool Vbr = false;  // their bit rates differ

    int InnerRecords = 0;  // information frames behind the first frame
    int InnerTags = 0;     // ID3v2 tags between frames
    int64_t InnerBytes = 0;  // the bytes of both
    int64_t StrayBytes = 0;  // bytes between frames that belong to nothing
    int StrayPlaces = 0;     // runs of them
    int64_t TruncatedBytes = 0;  // what is left of a last frame cut short

    // What the fresh LAME tag says: the first information frame's delay, the
    // padding of the last one (that of the last file joined to it).
    int Delay = 0, Padding = 0;

    bool NeedsRepair() const {
        return RecordState == TRecordState::Stale || RecordState == TRecordState::Missing || InnerRecords > 0 ||
               InnerTags > 0 || StrayBytes > 0 || TruncatedBytes > 0;
    }
};

// Surveys FileName. Info.Valid false: no MP3 file (nothing else is set).
// Raises the stream errors of a file that cannot be read.
TRepairSurvey SurveyFile(const std::string& FileName);

struct TRepairResult {
    bool Saved = false;
    TSaveFailure Failure = TSaveFailure::None;
    int SystemError = 0;
};

// Writes the repaired file of a valid Survey to Target (FileName itself for a
// repair in place) through a temporary file that takes Target's name only
// when complete. Raises the stream errors of the files, and EReadError when
// the file is no longer the one surveyed.
TRepairResult WriteRepaired(const TRepairSurvey& Survey, const std::string& Target, TExisting Existing);
