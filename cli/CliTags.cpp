#include "cli/CliTags.h"

#include <strings.h>

#include <vector>

#include "cli/CliReport.h"
#include "engine/Tags.h"

namespace SegmoraCli {

namespace {

constexpr int NoGenre = 255;

bool Digits(const std::string& S, size_t Most) {
    return !S.empty() && S.size() <= Most && S.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

bool ParseGenre(const std::optional<std::string>& Text, int& Genre, std::string& Why) {
    Genre = -1;
    if (!Text) return true;
    if (Digits(*Text, 3) && std::stoi(*Text) <= 255) {
        Genre = std::stoi(*Text);
        return true;
    }
    for (size_t I = 0; I < Id3Genres.size(); ++I)
        if (::strcasecmp(Id3Genres[I], Text->c_str()) == 0) {
            Genre = static_cast<int>(I);
            return true;
        }
    Why = "unknown genre \"" + *Text + "\" (give a number 0..255 or a name)";
    return false;
}

std::string TrackNumberPart(const std::string& Track) { return Track.substr(0, Track.find('/')); }

bool ParseTrack(const std::optional<std::string>& Text, std::string& Why) {
    if (!Text || Text->empty()) return true;
    const std::string Number = TrackNumberPart(*Text);
    const std::string Digits3 = !Number.empty() && Number[0] == '+' ? Number.substr(1) : Number;
    const bool Total = Number.size() < Text->size();
    if (Digits(Digits3, 3) && std::stoi(Digits3) <= 255 && (!Total || Digits(Text->substr(Number.size() + 1), 9)))
        return true;
    Why = "--track \"" + *Text + "\" is not a track number (give 1..255, or 0 for none, and /TOTAL if you like)";
    return false;
}

std::optional<std::string> GenreText(int Genre) {
    if (Genre < 0 || Genre == NoGenre) return std::nullopt;
    const char* Name = Id3GenreName(static_cast<uint8_t>(Genre));
    return Name ? std::string(Name) : std::to_string(Genre);
}

void WarnOfTextsNotKept(const TTagTexts& Utf8Texts, int CodePage, const std::string& Target, std::ostream& Err) {
    const std::vector<std::string> Lost = TextsNotKept(Utf8Texts, CodePage);
    if (Lost.empty()) return;
    std::string Names;
    for (size_t I = 0; I < Lost.size(); ++I) Names += (I == 0 ? "" : I + 1 == Lost.size() ? " and " : ", ") + Lost[I];
    Complain(Err, Quoted(Target) + ": the ID3v1 tag cannot hold the " + Names +
                      " as given (30 bytes of the system's code page): --id3v2 adds a tag that can");
}

}  // namespace SegmoraCli
