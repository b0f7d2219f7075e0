#include "engine/Tags.h"

#include "platform/FileStream.h"

// clang-format off
const std::array<const char*, 148> Id3Genres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop",
    "Instrumental Rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera",
    "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club",
    "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock",
    "Drum Solo", "Acapella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore",
    "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Trash Metal", "Anime", "Jpop", "Synthpop",
};
// clang-format on

const char* Id3GenreName(uint8_t Genre) { return Genre < Id3Genres.size() ? Id3Genres[Genre] : nullptr; }

int32_t SyncsafeSize(const uint8_t B[4]) {
    return (int32_t(B[0] & 0x7F) << 21) | (int32_t(B[1] & 0x7F) << 14) | (int32_t(B[2] & 0x7F) << 7) |
           int32_t(B[3] & 0x7F);
}

namespace {
// Where the fields stand in the 128 bytes of a tag in a file.
constexpr int Id3v1CommentOffset = offsetof(TId3v1Tag, Comment);
constexpr int Id3v1TrackGapByte = 28;  // comment byte that is 0 in an ID3v1.1 tag
constexpr int Id3v1TrackByte = 29;     // comment byte that then holds the track
// The record up to Track is laid out as the file is: header, texts, comment.
constexpr int Id3v1BytesAsInFile = offsetof(TId3v1Tag, Track);
static_assert(Id3v1BytesAsInFile == Id3v1GenreOffset);
}  // namespace

bool ReadId3v1Tag(TFileStream& Source, TId3v1Tag& Tag) {
    const int64_t At = Source.Size() - Id3v1TagBytes;
    if (At < 0) return false;
    Source.SetPosition(At);
    Source.Read(Tag.Header, sizeof Tag.Header);
    if (!BytesAre(reinterpret_cast<const uint8_t*>(Tag.Header), Id3v1Marker)) return false;

    uint8_t Raw[Id3v1TagBytes] = {0};
    Source.SetPosition(At);
    Source.Read(Raw, Id3v1TagBytes);
    // Header, title, artist, album and year stand in the record as in the file.
    std::memcpy(&Tag, Raw, Id3v1CommentOffset);
    const uint8_t* Comment = Raw + Id3v1CommentOffset;
    if (Comment[Id3v1TrackGapByte] == 0) {
        std::memcpy(Tag.Comment, Comment, Id3v1TrackCommentBytes);
        Tag.Comment[Id3v1TrackGapByte] = Tag.Comment[Id3v1TrackByte] = 0;
        Tag.Track = Comment[Id3v1TrackByte];
    } else {
        std::memcpy(Tag.Comment, Comment, Id3v1CommentBytes);
        Tag.Track = 0;
    }
    Tag.Genre = Raw[Id3v1GenreOffset];
    return true;
}

bool ApeFooterAt(TFileStream& Source, int64_t Offset) {
    if (Offset < 0) return false;
    uint8_t Marker[ApeMarker.size()] = {0};
    Source.SetPosition(Offset);
    return Source.Read(Marker, sizeof Marker) == int64_t(sizeof Marker) && BytesAre(Marker, ApeMarker);
}

int64_t ApeTagBytes(const uint8_t Footer[ApeFooterBytes]) {
    if (!BytesAre(Footer, ApeMarker)) return 0;
    constexpr int SizeAt = 12, FlagsAt = 20;  // the size counts the items and the footer
    const uint8_t* P = Footer + SizeAt;
    const int64_t Size = int64_t(P[0]) | int64_t(P[1]) << 8 | int64_t(P[2]) << 16 | int64_t(P[3]) << 24;
    const bool Header = (Footer[FlagsAt + 3] & 0x80) != 0;
    return Size < ApeFooterBytes ? 0 : Size + (Header ? ApeFooterBytes : 0);
}

bool ApeTagEndsStreamOver(TFileStream& Source, int64_t Bytes) {
    const int64_t At = Source.Size() - ApeFooterBytes;
    uint8_t F[ApeFooterBytes] = {0};
    if (At < 0) return false;
    Source.SetPosition(At);
    return Source.Read(F, ApeFooterBytes) == ApeFooterBytes && ApeTagBytes(F) >= Bytes;
}

void WriteId3v1Tag(TFileStream& Target, const TId3v1Tag& Tag) {
    Target.Seek(0, TSeekOrigin::soEnd);
    Target.WriteBuffer(&Tag, Id3v1BytesAsInFile);
    if (Tag.Track > 0) {
        const uint8_t TrackForm[2] = {0, Tag.Track};
        Target.Seek(-int64_t(sizeof TrackForm), TSeekOrigin::soCurrent);
        Target.WriteBuffer(TrackForm, sizeof TrackForm);
    }
    Target.WriteBuffer(&Tag.Genre, 1);
}
