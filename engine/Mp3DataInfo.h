// What the analysis of an MP3 file finds: the first frame's header, the tags
// around the audio, and where the audio lies.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Tags.h"

// The information of the file last analysed. Everything but FileName is
// meaningful only while Valid is true; Id3Tag only while Id3v1Size is 128.
struct TMp3DataInfo {
    std::string FileName;
    int64_t FileSize = 0;
    bool Valid = false;
    int32_t BitRate = 0;     // kbit/s of the first frame
    int32_t SampleRate = 0;  // Hz of the first frame
    int32_t FrameSize = 0;   // bytes of the first frame
    double Version = 0.0;    // 1.0, 2.0, 2.5; 0.0 for the reserved code
    int32_t Layer = 0;       // 1..3; 4 for the reserved code
    int32_t Padding = 0;
    bool FreeFormat = false;  // the first frame's bit rate is not in its header
    bool Mono = false;
    bool Vbr = false;         // "Xing" at offset 36 of the first frame
    int32_t Id3v1Size = 0;    // 128 or 0
    int32_t Id3v2Size = 0;    // whole tag, header included, or 0
    int32_t ApeSize = 0;      // 32 (the footer) or 0
    int64_t ZeroPadding = 0;  // zero bytes between the ID3v2 tag and the first frame
    int64_t LengthMs = 0;
    TId3v1Tag Id3Tag{};

    // The first frame starts behind the ID3v2 tag and the zero bytes after it;
    // the audio ends where the tags at the end begin.
    int64_t FirstFrameOffset() const { return int64_t(Id3v2Size) + ZeroPadding; }
    int64_t AudioEnd() const { return FileSize - Id3v1Size - ApeSize; }
};
