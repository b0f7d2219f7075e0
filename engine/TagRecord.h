// The ID3v1 record and its texts: building the record a save writes from
// edited texts, and reading a field back as text. Tag bytes are in the
// system's ANSI code page; the ...Utf8 functions convert to and from it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Tags.h"

using TLeadByteTest = std::function<bool(unsigned char)>;

// At most the first N bytes of S, never ending in the first byte of a
// double-byte character.
std::string LeftBytes(const std::string& S, int32_t N, const TLeadByteTest& IsLead);

// A track text read as a decimal integer with an optional sign; 0 when it is
// empty, not such a number, or outside 0..255.
uint8_t TrackNumberOf(const std::string& Text);

// The edited texts, already in the tag's code page.
struct TTagTexts {
    std::string Title, Artist, Album, Year, Comment, Track;
    int GenreIndex = -1;  // -1: no genre chosen, written as 255
};

// The record with Header "TAG": texts cut to their field widths and
// zero-filled, the comment cut to 28 bytes when a track number is given.
TId3v1Tag MakeTagRecord(const TTagTexts& Texts, const TLeadByteTest& IsLead);

// MakeTagRecord for UTF-8 texts: each is converted to CodePage (characters it
// lacks become '?') and cut with the code page's lead-byte test.
TId3v1Tag MakeTagRecordFromUtf8(const TTagTexts& Utf8Texts, int CodePage);

// The names ("title", "artist", "album", "year", "comment") of the UTF-8
// texts that the record MakeTagRecordFromUtf8 makes cannot hold as they are:
// too long for their fields, or with characters CodePage lacks.
std::vector<std::string> TextsNotKept(const TTagTexts& Utf8Texts, int CodePage);

// Text of a tag field: its bytes up to the first zero byte, all of them when
// there is none. No other change (trailing spaces stay).
std::string TagFieldText(const char* Field, size_t Width);
// The same text read in CodePage, as UTF-8 (invalid bytes become U+FFFD).
std::string TagFieldUtf8(const char* Field, size_t Width, int CodePage);
