// The tags around the audio of an MP3 file as the engine uses them: an ID3v2
// tag at the start and inside the stream (only measured), an ID3v1 tag in the
// last 128 bytes (read and written field by field), and an APE tag whose
// 32-byte footer stands before the ID3v1 tag or at the very end (only
// measured). The 148 genre names of ID3v1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

class TFileStream;

#pragma pack(push, 1)
// In-memory ID3v1 tag. The first 127 bytes are written to files verbatim,
// so the layout is fixed; Track is where an ID3v1.1 tag keeps comment byte 29.
struct TId3v1Tag {
    char Header[3];
    char Title[30];
    char Artist[30];
    char Album[30];
    char Year[4];
    char Comment[30];
    uint8_t Track;
    uint8_t Genre;
};
#pragma pack(pop)

static_assert(sizeof(TId3v1Tag) == 129);
static_assert(offsetof(TId3v1Tag, Title) == 3);
static_assert(offsetof(TId3v1Tag, Artist) == 33);
static_assert(offsetof(TId3v1Tag, Album) == 63);
static_assert(offsetof(TId3v1Tag, Year) == 93);
static_assert(offsetof(TId3v1Tag, Comment) == 97);
static_assert(offsetof(TId3v1Tag, Track) == 127);
static_assert(offsetof(TId3v1Tag, Genre) == 128);

// ID3v1 in a file: "TAG", the text fields, and the genre byte last; the track
// of ID3v1.1 is comment byte 29 behind a zero comment byte 28.
constexpr std::string_view Id3v1Marker = "TAG";
constexpr int Id3v1TagBytes = 128;
constexpr int Id3v1GenreOffset = 127;
constexpr int Id3v1CommentBytes = sizeof(TId3v1Tag::Comment);
constexpr int Id3v1TrackCommentBytes = Id3v1CommentBytes - 2;  // comment text beside a track number

// ID3v2: "ID3", version and flags, then the tag's size without this header as
// a 28-bit syncsafe number.
constexpr std::string_view Id3v2Marker = "ID3";
constexpr int Id3v2HeaderBytes = 10;
constexpr int Id3v2SizeOffset = 6;

// APEv2: a 32-byte footer beginning "APETAGEX".
constexpr std::string_view ApeMarker = "APETAGEX";
constexpr int ApeFooterBytes = 32;

extern const std::array<const char*, 148> Id3Genres;
// The name of a genre byte; nullptr for a byte beyond the list.
const char* Id3GenreName(uint8_t Genre);

// True when Bytes begin with Marker (Bytes holds at least its length).
inline bool BytesAre(const uint8_t* Bytes, std::string_view Marker) {
    return std::memcmp(Bytes, Marker.data(), Marker.size()) == 0;
}

// The size of an ID3v2 tag as its header gives it: four 7-bit bytes, the top
// bit of each discarded.
int32_t SyncsafeSize(const uint8_t B[4]);
// The whole length of the ID3v2 tag whose first 10 bytes are Header, header included.
inline int32_t Id3v2TagBytes(const uint8_t Header[Id3v2HeaderBytes]) {
    return Id3v2HeaderBytes + SyncsafeSize(Header + Id3v2SizeOffset);
}

// Reads the ID3v1 tag in the last 128 bytes of the stream into Tag; false
// (and only Tag.Header written) when there is none. An ID3v1.1 comment comes
// back as 28 text bytes, two zero bytes and Track.
bool ReadId3v1Tag(TFileStream& Source, TId3v1Tag& Tag);
// True when an APE footer begins at Offset of the stream.
bool ApeFooterAt(TFileStream& Source, int64_t Offset);
// The whole length, header included, of the APE tag whose footer is Footer;
// 0 when Footer is no footer or tells a size smaller than itself.
int64_t ApeTagBytes(const uint8_t Footer[ApeFooterBytes]);
// True when the stream ends with an APE footer whose tag (header included)
// is at least Bytes long.
bool ApeTagEndsStreamOver(TFileStream& Source, int64_t Bytes);
// Appends Tag at the end of Target in the file layout, in the ID3v1.1 form
// when Track is not 0.
void WriteId3v1Tag(TFileStream& Target, const TId3v1Tag& Tag);
