// Which pieces a split cuts and what it names them: the ranges, from a CUE
// sheet, from the silences found, in equal parts or of a fixed length; and
// file names from a pattern, safe for any file system and never twice the
// same.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/CueSheet.h"

struct TSplitPiece {
    int Number = 0;  // counted from 1, as the piece is named
    int64_t StartMs = 0;
    int64_t EndMs = 0;                          // EndOfAudio: as far as the audio goes
    std::string Title, Performer, Album, Year;  // UTF-8, for the name and the tag
    std::string FileName;                       // where it is written
};

constexpr int64_t EndOfAudio = INT32_MAX;

// The tracks of a sheet, each from its INDEX 01 to the next one's.
std::vector<TSplitPiece> PiecesFromCue(const TCueSheet& Sheet);
// Count pieces of (nearly) equal length.
std::vector<TSplitPiece> EqualParts(int64_t LengthMs, int Count);
// Pieces of EveryMs each, the last one shorter; a last piece too short to
// hold a frame goes to the one before it.
std::vector<TSplitPiece> FixedLengthParts(int64_t LengthMs, int64_t EveryMs);
// The pieces between the split points (in order, inside the audio), without
// those shorter than MinPieceMs.
std::vector<TSplitPiece> PiecesBetween(const std::vector<int64_t>& SplitsMs, int64_t LengthMs, int64_t MinPieceMs);

// The pattern of names when none is given.
std::string DefaultNamePattern(bool FromCue);
// False, with the offending placeholder in Bad, when Pattern uses one that
// does not exist. The placeholders: {n} (the number, zero-padded to the
// count's width, at least two digits), {title}, {performer}, {album} and
// {name} (the source's name without its extension).
bool CheckNamePattern(const std::string& Pattern, std::string& Bad);
// Gives each piece its FileName in Folder: the pattern filled in, made safe
// (SafeFileName), ".mp3" added, and " (2)", " (3)" ... added to a name that
// an earlier piece has already (letter case ignored).
void NamePieces(std::vector<TSplitPiece>& Pieces, const std::string& Pattern, const std::string& SourceName,
                const std::string& Folder);
// Name with the characters that some file system does not allow ('/', '\',
// ':', '*', '?', '"', '<', '>', '|', control characters) replaced by '_',
// without leading or trailing spaces or trailing dots, at most MaxBytes
// bytes (whole UTF-8 characters), never empty, "." or "..".
std::string SafeFileName(const std::string& Name, size_t MaxBytes = 240);
