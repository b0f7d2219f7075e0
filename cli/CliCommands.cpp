#include "cli/CliCommands.h"
#include "cli/CliShared.h"

#include <nlohmann/json.hpp>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "engine/InfoText.h"
#include "engine/TagRecord.h"
#include "engine/TimeCode.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "platform/LocaleServices.h"

namespace SegmoraCli {

namespace {

// 1, 2, 2.5 or 0, without a needless ".0".
json VersionNumber(double Version) {
    if (Version == std::trunc(Version)) return static_cast<int>(Version);
    return Version;
}

constexpr const char* CutTimeLimit = "the longest time a cut can take";

// The command line's separators, whatever the locale.
const std::string ThousandSeparator = ",";
const std::string DecimalSeparator = ".";

// The tag's text fields in UTF-8, under the names both reports give them.
struct TTagText {
    const char* Name;
    std::string Text;
};

std::array<TTagText, 5> TagTexts(const TId3v1Tag& T, int CodePage) {
    auto Text = [CodePage](const char* Field, size_t Width) { return TagFieldUtf8(Field, Width, CodePage); };
    return {{
        {"Title", Text(T.Title, sizeof T.Title)},
        {"Artist", Text(T.Artist, sizeof T.Artist)},
        {"Album", Text(T.Album, sizeof T.Album)},
        {"Year", Text(T.Year, sizeof T.Year)},
        {"Comment", Text(T.Comment, sizeof T.Comment)},
    }};
}

json TagJson(const TId3v1Tag& Tag, int CodePage) {
    json J = json::object();
    for (const TTagText& Field : TagTexts(Tag, CodePage)) J[Field.Name] = Field.Text;
    const char* Name = Id3GenreName(Tag.Genre);
    J["Track"] = Tag.Track;
    J["Genre"] = Tag.Genre;
    J["GenreName"] = Name ? json(Name) : json(nullptr);
    return J;
}

json InfoJson(const TMp3DataInfo& D, int CodePage) {
    json J = {
        {"FileName", D.FileName},
        {"FileSize", D.FileSize},
        {"Valid", D.Valid},
        {"BitRate", D.BitRate},
        {"SampleRate", D.SampleRate},
        {"FrameSize", D.FrameSize},
        {"Version", VersionNumber(D.Version)},
        {"Layer", D.Layer},
        {"Padding", D.Padding},
        {"Mono", D.Mono},
        {"Vbr", D.Vbr},
        {"Id3v1Size", D.Id3v1Size},
        {"Id3v2Size", D.Id3v2Size},
        {"ApeSize", D.ApeSize},
        {"ZeroPadding", D.ZeroPadding},
        {"LengthMs", D.LengthMs},
    };
    if (D.Id3v1Size == Id3v1TagBytes) J["Id3Tag"] = TagJson(D.Id3Tag, CodePage);
    return J;
}

void PrintInfoText(const TMp3DataInfo& D, int CodePage, std::ostream& Out) {
    Out << "File: " << D.FileName << "\n";
    if (!D.Valid) {
        Out << "Not an MP3 file.\n";
        return;
    }
    Out << "File size: " << FileSizeText(D.FileSize, ThousandSeparator) << "\n"
        << "Encoding: " << EncodingText(D.Version, D.Layer, DecimalSeparator) << "\n"
        << "Channel: " << ChannelText(D.Mono) << "\n"
        << "SampleRate: " << SampleRateText(D.SampleRate) << "\n"
        << "Bitrate: " << BitRateText(D.BitRate) << (D.Vbr ? " (VBR)" : "") << "\n"
        << "Length: " << MsToTimeCode(D.LengthMs) << "\n";
    if (D.Id3v1Size != Id3v1TagBytes) return;
    const TId3v1Tag& T = D.Id3Tag;
    for (const TTagText& Field : TagTexts(T, CodePage)) Out << Field.Name << ": " << Field.Text << "\n";
    if (T.Track > 0) Out << "TrackNumber: " << int(T.Track) << "\n";
    const char* Name = Id3GenreName(T.Genre);
    Out << "Genre: " << (Name ? Name : "") << (Name ? "" : "(none)") << "\n";
}

// Genre by number 0..255 or by name (letter case ignored); -1 when not given.
bool ParseGenre(const std::optional<std::string>& Text, int& Genre, std::ostream& Err) {
    Genre = -1;
    if (!Text) return true;
    if (!Text->empty() && Text->find_first_not_of("0123456789") == std::string::npos && Text->size() <= 3) {
        Genre = std::stoi(*Text);
        if (Genre <= 255) return true;
    }
    for (size_t I = 0; I < Id3Genres.size(); ++I)
        if (::strcasecmp(Id3Genres[I], Text->c_str()) == 0) {
            Genre = static_cast<int>(I);
            return true;
        }
    Err << "segmora-cli: unknown genre \"" << *Text << "\" (give a number 0..255 or a name)\n";
    return false;
}

// Track number 0..255 (0: none), digits only; -1 when not given.
bool ParseTrack(const std::optional<std::string>& Text, std::ostream& Err) {
    if (!Text || Text->empty()) return true;
    const std::string Digits = (*Text)[0] == '+' ? Text->substr(1) : *Text;
    if (!Digits.empty() && Digits.size() <= 3 && Digits.find_first_not_of("0123456789") == std::string::npos &&
        std::stoi(Digits) <= 255)
        return true;
    Err << "segmora-cli: --track \"" << *Text << "\" is not a track number (give 1..255, or 0 for none)\n";
    return false;
}

TId3v1Tag TagFromOptions(const TCutOptions& Options, int Genre, int CodePage) {
    if (!Options.Tag) return TId3v1Tag{};
    const TTagOptions& F = Options.TagFields;
    TTagTexts Texts{F.Title.value_or(""),
                    F.Artist.value_or(""),
                    F.Album.value_or(""),
                    F.Year.value_or(""),
                    F.Comment.value_or(""),
                    F.Track.value_or(""),
                    Genre};
    return MakeTagRecordFromUtf8(Texts, CodePage);
}

}  // namespace

std::string Dump(const json& J) { return J.dump(2, ' ', false, json::error_handler_t::replace); }

bool SameTarget(const std::string& Source, const std::string& Target) {
    namespace fs = std::filesystem;
    std::error_code Ec;
    const std::string AbsSource = fs::absolute(Source, Ec).lexically_normal().string();
    const std::string AbsTarget = fs::absolute(Target, Ec).lexically_normal().string();
    if (SameFileNameIgnoringCase(Source, Target) || SameFileNameIgnoringCase(AbsSource, AbsTarget)) return true;
    TFileIdentity A, B;
    return FileIdentityOf(Source, A) && FileIdentityOf(Target, B) && A == B;
}

// A cut needs where the audio lies, not how long it is: skip the length walk
// over every frame that a full analysis makes.
void AnalyseForCut(TVekMP3& Engine, const std::string& Source) {
    TFileStream Stream(Source, TFileMode::fmOpenRead);
    Engine.DataInfo.FileName = Source;
    AnalyseLayout(Stream, Engine.DataInfo);
}

// What the readable report says after "Not saved: ".
std::string SaveFailureText(TSaveFailure Why, const std::string& Target) {
    switch (Why) {
    case TSaveFailure::SourceNotValid: return "the source is not an MP3 file.";
    case TSaveFailure::SourceMissing: return "the source file no longer exists.";
    case TSaveFailure::TargetIsSource: return "the new file cannot replace the file it is cut from.";
    case TSaveFailure::TargetNotRegular: return "\"" + Target + "\" is not a regular file (a FIFO, device or socket).";
    case TSaveFailure::None:
    case TSaveFailure::TargetNameEmpty:
    case TSaveFailure::TargetIsFolder:
    case TSaveFailure::TargetNotWritable:
    case TSaveFailure::TargetNotCreated:
    case TSaveFailure::TargetNotReplaced:
    case TSaveFailure::TargetExists:
    case TSaveFailure::NothingToSave: break;
    }
    return "the new file could not be created.";
}

bool ParseTimeOption(const std::string& Text, const char* What, const char* Beyond, int64_t& Ms, std::ostream& Err) {
    if (!ParseTimeArgument(Text, Ms)) {
        Err << "segmora-cli: " << What << " \"" << Text
            << "\" is not a time: give milliseconds (1500), H:MM:SS[.f] or M:SS[.f] (0:30:00, 1:23.5), or a "
               "number with a unit, ms, s, m or h (250ms, 1.5s, 2m)\n";
        return false;
    }
    if (Ms > INT32_MAX) {
        Err << "segmora-cli: " << What << " \"" << Text << "\" is beyond " << Beyond << "\n";
        return false;
    }
    return true;
}

int RunInfo(const TInfoOptions& Options, std::ostream& Out, std::ostream& Err) {
    const int CodePage = SystemAnsiCodePage();
    TVekMP3 Engine;
    try {
        Engine.AnalyseFile(Options.File);
    } catch (const std::exception& E) {
        Err << "segmora-cli: " << E.what() << "\n";
        return ExitError;
    }
    if (Options.Json)
        Out << Dump(InfoJson(Engine.DataInfo, CodePage)) << "\n";
    else
        PrintInfoText(Engine.DataInfo, CodePage, Out);
    return Engine.DataInfo.Valid ? ExitOk : ExitNegative;
}

int RunCut(const TCutOptions& Options, std::ostream& Out, std::ostream& Err) {
    int64_t StartMs = 0, EndMs = 0;
    int Genre = -1;
    if (!ParseTimeOption(Options.Start, "--start", CutTimeLimit, StartMs, Err) ||
        !ParseTimeOption(Options.End, "--end", CutTimeLimit, EndMs, Err) ||
        !ParseGenre(Options.TagFields.Genre, Genre, Err) || !ParseTrack(Options.TagFields.Track, Err))
        return ExitUsage;
    if (StartMs >= EndMs) {
        Err << "segmora-cli: the start must lie before the end\n";
        return ExitUsage;
    }
    if (SameTarget(Options.Source, Options.Target)) {
        Err << "segmora-cli: the new file cannot replace the file it is cut from\n";
        return ExitUsage;
    }

    const int CodePage = SystemAnsiCodePage();
    TVekMP3 Engine;
    bool Result = false;
    int64_t ByteCount = 0, DurationMs = 0;
    try {
        AnalyseForCut(Engine, Options.Source);
        TSaveOptions Save;
        Save.InfoFrame = !Options.NoInfoFrame;
        Save.Exact = Options.Exact;
        Result = Engine.SaveSegment(static_cast<int32_t>(StartMs), static_cast<int32_t>(EndMs), Options.Target,
                                    TagFromOptions(Options, Genre, CodePage), ByteCount, DurationMs, Save);
    } catch (const std::exception& E) {
        Err << "segmora-cli: " << E.what() << "\n";
        return ExitError;
    }

    if (Options.Json) {
        Out << Dump(json{{"Result", Result}, {"ByteCount", ByteCount}, {"DurationMs", DurationMs}}) << "\n";
    } else if (Result) {
        Out << "Saved: " << Options.Target << "\n"
            << "Bytes: " << ByteCount << "\n"
            << "Length: " << MsToTimeCode(DurationMs) << "\n";
    } else {
        Out << "Not saved: " << SaveFailureText(Engine.LastSaveFailure(), Options.Target) << "\n";
    }
    return Result ? ExitOk : ExitNegative;
}

}  // namespace SegmoraCli
