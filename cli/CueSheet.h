// A CUE sheet's tracks, for splitting the file it describes. The sheet is
// read by libcue; here it is decoded (UTF-8 with or without a byte order
// mark, UTF-16 with one, or the system's ANSI code page), checked, and
// reduced to the tracks of one audio file.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Thrown for a sheet that cannot be read or used; the message says why.
class ECueSheetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TCueTrack {
    int Number = 0;         // as the sheet numbers it
    int64_t StartFrames;    // INDEX 01, in seventy-fifths of a second from the file's start
    std::string Title;      // UTF-8; empty when the sheet gives none
    std::string Performer;  // the track's, else the sheet's
};

struct TCueSheet {
    std::string Title;      // the album
    std::string Performer;  // the album's
    std::string Date;       // REM DATE, when given
    std::string FileName;   // the audio file whose tracks these are, as the sheet names it
    std::vector<TCueTrack> Tracks;
};

// Milliseconds of a CUE time in seventy-fifths of a second, rounded to the
// nearest (1/75 s is 13 1/3 ms): integer arithmetic, no drift.
int64_t CueFramesToMs(int64_t Frames);

// The sheet's text as UTF-8 with line feeds for line ends, as libcue reads
// it: UTF-8 or UTF-16 by a byte order mark, which is dropped; without one,
// as it is when it is valid UTF-8, else read in CodePage. Line ends of any
// system (CR LF, LF, CR alone) become line feeds.
std::string CueTextAsUtf8(const std::string& Bytes, int CodePage);

// Reads the sheet at FileName. A sheet of several audio files gives the tracks
// of the one that names Source (its base name, letter case and extension
// ignored), and is refused when none does. Raises ECueSheetError for a sheet
// that cannot be read or parsed, holds no track, or whose tracks do not start
// one after another.
TCueSheet ReadCueSheet(const std::string& FileName, const std::string& Source, int CodePage);
// The same for the sheet's bytes, read from FileName.
TCueSheet ParseCueSheet(const std::string& Bytes, const std::string& FileName, const std::string& Source, int CodePage);
