// The tag options cut and split share: genre and track numbers as given, a
// genre as an ID3v2 tag writes it, and the warning for texts that an ID3v1
// tag cannot hold.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "engine/TagRecord.h"

namespace SegmoraCli {

// A genre by number 0..255 or by name (letter case ignored); -1 when none is
// given. False, with Why, for any other text.
bool ParseGenre(const std::optional<std::string>& Text, int& Genre, std::string& Why);
// A track "N" or "N/TOTAL", N of 0..255 (0: none). False, with Why, for any other text.
bool ParseTrack(const std::optional<std::string>& Text, std::string& Why);
// The number of a track text, for ID3v1: "3" of "3/12".
std::string TrackNumberPart(const std::string& Track);
// A genre as an ID3v2 tag names it: its name, else its number; nothing for
// -1 and 255 (no genre).
std::optional<std::string> GenreText(int Genre);

// Says on Err which of the texts the ID3v1 tag of Target cannot hold as they
// are, and that --id3v2 keeps them.
void WarnOfTextsNotKept(const TTagTexts& Utf8Texts, int CodePage, const std::string& Target, std::ostream& Err);

}  // namespace SegmoraCli
