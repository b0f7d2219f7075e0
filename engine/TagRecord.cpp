#include "engine/TagRecord.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "platform/LocaleServices.h"

std::string LeftBytes(const std::string& S, int32_t N, const TLeadByteTest& IsLead) {
    if (N < 0) N = 0;
    if (static_cast<size_t>(N) >= S.size()) return S;
    if (N > 0 && IsLead && IsLead(static_cast<unsigned char>(S[N - 1]))) {
        // Cutting here would split a double-byte character. Whether byte N
        // starts one depends on the bytes before it, so walk from the start.
        size_t I = 0;
        while (I < static_cast<size_t>(N - 1)) I += IsLead(static_cast<unsigned char>(S[I])) ? 2 : 1;
        if (I == static_cast<size_t>(N - 1)) return S.substr(0, N - 1);
    }
    return S.substr(0, N);
}

uint8_t TrackNumberOf(const std::string& Text) {
    const char* First = Text.data();
    const char* Last = Text.data() + Text.size();
    if (First != Last && *First == '+') ++First;
    int64_t Value = 0;
    const auto [Ptr, Ec] = std::from_chars(First, Last, Value);
    if (First == Last || Ec != std::errc() || Ptr != Last) return 0;
    if (Value < 0 || Value > 255) return 0;
    return static_cast<uint8_t>(Value);
}

namespace {
// The genre byte of a tag without a genre.
constexpr uint8_t NoGenre = 255;

// Text cut to Limit bytes (the field's width unless given) and zero-filled.
void PutField(char* Field, size_t Width, const std::string& Text, const TLeadByteTest& IsLead, int32_t Limit = -1) {
    const std::string Cut = LeftBytes(Text, Limit < 0 ? static_cast<int32_t>(Width) : Limit, IsLead);
    std::memset(Field, 0, Width);
    std::memcpy(Field, Cut.data(), std::min(Cut.size(), Width));
}
}  // namespace

TId3v1Tag MakeTagRecord(const TTagTexts& Texts, const TLeadByteTest& IsLead) {
    TId3v1Tag Tag{};
    std::memcpy(Tag.Header, Id3v1Marker.data(), sizeof Tag.Header);
    PutField(Tag.Title, sizeof Tag.Title, Texts.Title, IsLead);
    PutField(Tag.Artist, sizeof Tag.Artist, Texts.Artist, IsLead);
    PutField(Tag.Album, sizeof Tag.Album, Texts.Album, IsLead);
    PutField(Tag.Year, sizeof Tag.Year, Texts.Year, IsLead);
    const uint8_t Track = TrackNumberOf(Texts.Track);
    PutField(Tag.Comment, sizeof Tag.Comment, Texts.Comment, IsLead,
             Track > 0 ? Id3v1TrackCommentBytes : Id3v1CommentBytes);
    Tag.Track = Track;
    Tag.Genre =
        (Texts.GenreIndex >= 0 && Texts.GenreIndex <= NoGenre) ? static_cast<uint8_t>(Texts.GenreIndex) : NoGenre;
    return Tag;
}

std::string TagFieldText(const char* Field, size_t Width) {
    const void* Zero = std::memchr(Field, 0, Width);
    return std::string(Field, Zero ? static_cast<const char*>(Zero) - Field : Width);
}

TId3v1Tag MakeTagRecordFromUtf8(const TTagTexts& Utf8Texts, int CodePage) {
    auto Ansi = [CodePage](const std::string& Text) { return Utf8ToAnsi(Text, CodePage); };
    TTagTexts Texts{Ansi(Utf8Texts.Title),   Ansi(Utf8Texts.Artist), Ansi(Utf8Texts.Album), Ansi(Utf8Texts.Year),
                    Ansi(Utf8Texts.Comment), Ansi(Utf8Texts.Track),  Utf8Texts.GenreIndex};
    return MakeTagRecord(Texts, [CodePage](unsigned char Byte) { return IsLeadByte(Byte, CodePage); });
}

std::string TagFieldUtf8(const char* Field, size_t Width, int CodePage) {
    return AnsiToUtf8(TagFieldText(Field, Width), CodePage);
}

std::vector<std::string> TextsNotKept(const TTagTexts& Utf8Texts, int CodePage) {
    const TId3v1Tag Tag = MakeTagRecordFromUtf8(Utf8Texts, CodePage);
    const struct {
        const char* Name;
        const std::string& Text;
        const char* Field;
        size_t Width;
    } Fields[] = {
        {"title", Utf8Texts.Title, Tag.Title, sizeof Tag.Title},
        {"artist", Utf8Texts.Artist, Tag.Artist, sizeof Tag.Artist},
        {"album", Utf8Texts.Album, Tag.Album, sizeof Tag.Album},
        {"year", Utf8Texts.Year, Tag.Year, sizeof Tag.Year},
        {"comment", Utf8Texts.Comment, Tag.Comment, sizeof Tag.Comment},
    };
    std::vector<std::string> Lost;
    for (const auto& F : Fields)
        if (TagFieldUtf8(F.Field, F.Width, CodePage) != F.Text) Lost.push_back(F.Name);
    return Lost;
}
