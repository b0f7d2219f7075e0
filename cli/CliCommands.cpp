#include "cli/CliCommands.h"
#include "cli/CliShared.h"

#include <array>
#include <climits>
#include <cmath>
#include <filesystem>
#include <optional>
#include <utility>

#include "cli/CliTags.h"
#include "engine/InfoText.h"
#include "engine/TagRecord.h"
#include "engine/TimeCode.h"
#include "engine/VekMp3.h"
#include "platform/FileStream.h"
#include "platform/Id3v2Tag.h"
#include "platform/LocaleServices.h"
#include "platform/Version.h"

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

// The usual texts of an ID3v2 tag, under the names the ID3v1 report gives them.
std::array<std::pair<const char*, const std::optional<std::string>*>, 7> Id3v2Texts(const TId3v2Texts& T) {
    return {{{"Title", &T.Title},
             {"Artist", &T.Artist},
             {"Album", &T.Album},
             {"Year", &T.Year},
             {"Comment", &T.Comment},
             {"Track", &T.Track},
             {"Genre", &T.Genre}}};
}

json Id3v2Json(const TId3v2Tag& Tag) {
    json J = {{"Version", "2." + std::to_string(Tag.Version())}};
    for (const auto& [Name, Text] : Id3v2Texts(Tag.Texts()))
        if (*Text) J[Name] = **Text;
    json Pictures = json::array();
    for (const TId3v2Picture& P : Tag.Pictures())
        Pictures.push_back(
            {{"Type", P.Type}, {"MimeType", P.MimeType}, {"Description", P.Description}, {"ByteCount", P.Data.size()}});
    J["Pictures"] = Pictures;
    J["Frames"] = Tag.FrameIds();
    return J;
}

// The ID3v2 tag info shows; none, with a warning, when it cannot be read.
TId3v2Tag Id3v2ForInfo(const TMp3DataInfo& D, std::ostream& Err) {
    if (!D.Valid || D.Id3v2Size == 0) return {};
    try {
        return TId3v2Tag::Read(D.FileName);
    } catch (const std::exception& E) {
        Complain(Err, Quoted(D.FileName) + ": the ID3v2 tag is not shown: " + E.what());
        return {};
    }
}

void PrintInfoText(const TMp3DataInfo& D, const TId3v2Tag& V2, int CodePage, std::ostream& Out) {
    Out << "File: " << D.FileName << "\n";
    if (!D.Valid) return;
    Out << "File size: " << FileSizeText(D.FileSize, ThousandSeparator) << "\n"
        << "Encoding: " << EncodingText(D.Version, D.Layer, DecimalSeparator) << "\n"
        << "Channel: " << ChannelText(D.Mono) << "\n"
        << "SampleRate: " << SampleRateText(D.SampleRate) << "\n"
        << "Bitrate: " << BitRateText(D.BitRate) << (D.Vbr ? " (VBR)" : "") << "\n"
        << "Length: " << MsToTimeCode(D.LengthMs) << "\n";
    if (D.Id3v1Size == Id3v1TagBytes) {
        const TId3v1Tag& T = D.Id3Tag;
        for (const TTagText& Field : TagTexts(T, CodePage)) Out << Field.Name << ": " << Field.Text << "\n";
        if (T.Track > 0) Out << "TrackNumber: " << int(T.Track) << "\n";
        const char* Name = Id3GenreName(T.Genre);
        Out << "Genre: " << (Name ? Name : "") << (Name ? "" : "(none)") << "\n";
    }
    if (!V2.Present()) return;
    Out << "ID3v2: version 2." << V2.Version() << ", " << V2.FrameIds().size() << " frames\n";
    for (const auto& [Name, Text] : Id3v2Texts(V2.Texts()))
        if (*Text) Out << "ID3v2 " << Name << ": " << **Text << "\n";
    for (const TId3v2Picture& P : V2.Pictures())
        Out << "ID3v2 Picture: type " << P.Type << ", " << P.MimeType << ", " << P.Data.size() << " bytes\n";
}

TTagTexts CutTagTexts(const TCutOptions& Options, int Genre) {
    const TTagOptions& F = Options.TagFields;
    return {F.Title.value_or(""),
            F.Artist.value_or(""),
            F.Album.value_or(""),
            F.Year.value_or(""),
            F.Comment.value_or(""),
            TrackNumberPart(F.Track.value_or("")),
            Genre};
}

// The ID3v2 tag in front of the piece: the texts given and, unless told not
// to, what the source's own tag holds beside them.
std::string CutId3v2(const TCutOptions& Options, int Genre) {
    const TTagOptions& F = Options.TagFields;
    const TId3v2Texts Texts{F.Title, F.Artist, F.Album, F.Year, F.Comment, F.Track, GenreText(Genre)};
    const TId3v2Tag Source = Options.NoCopyTags ? TId3v2Tag() : TId3v2Tag::Read(Options.Source);
    return Source.Render(Texts, !Options.NoCopyTags);
}

}  // namespace

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

int64_t FileBytesOf(const std::string& FileName) {
    std::error_code Ec;
    const auto Size = std::filesystem::file_size(FileName, Ec);
    return Ec ? -1 : static_cast<int64_t>(Size);
}

bool ParseTimeOption(const std::string& Text, const char* What, const char* Beyond, int64_t& Ms, std::string& Why) {
    if (!ParseTimeArgument(Text, Ms)) {
        Why = std::string(What) + " \"" + Text +
              "\" is not a time: give milliseconds (1500), H:MM:SS[.f] or M:SS[.f] (0:30:00, 1:23.5), or a number "
              "with a unit, ms, s, m or h (250ms, 1.5s, 2m)";
        return false;
    }
    if (Ms > INT32_MAX) {
        Why = std::string(What) + " \"" + Text + "\" is beyond " + Beyond;
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
        return Failed(ExitError, FailureOf(E), Options.Json, Out, Err);
    }
    const TMp3DataInfo& D = Engine.DataInfo;
    const TId3v2Tag V2 = Id3v2ForInfo(D, Err);
    if (Options.Json) {
        json J = InfoJson(D, CodePage);
        if (V2.Present()) J["Id3v2Tag"] = Id3v2Json(V2);
        J["ProgramVersion"] = SegmoraVersion;
        Out << Dump(J) << "\n";
    } else {
        PrintInfoText(D, V2, CodePage, Out);
    }
    if (D.Valid) return ExitOk;
    Complain(Err, Quoted(Options.File) + " is not an MP3 file");
    return ExitNegative;
}

int RunCut(const TCutOptions& Options, std::ostream& Out, std::ostream& Err) {
    const auto Usage = [&](const std::string& Why) {
        return Failed(ExitUsage, {"UsageError", Why}, Options.Json, Out, Err);
    };
    int64_t StartMs = 0, EndMs = 0;
    int Genre = -1;
    std::string Why;
    if (!ParseTimeOption(Options.Start, "--start", CutTimeLimit, StartMs, Why) ||
        !ParseTimeOption(Options.End, "--end", CutTimeLimit, EndMs, Why) ||
        !ParseGenre(Options.TagFields.Genre, Genre, Why) || !ParseTrack(Options.TagFields.Track, Why))
        return Usage(Why);
    if (StartMs >= EndMs) return Usage("the start must lie before the end");
    int64_t FadeInMs = 0, FadeOutMs = 0;
    if ((!Options.FadeIn.empty() && !ParseTimeOption(Options.FadeIn, "--fade-in", CutTimeLimit, FadeInMs, Why)) ||
        (!Options.FadeOut.empty() && !ParseTimeOption(Options.FadeOut, "--fade-out", CutTimeLimit, FadeOutMs, Why)))
        return Usage(Why);
    if (SameTarget(Options.Source, Options.Target))
        return Usage(Quoted(Options.Target) + " is the file it is cut from: the new file cannot replace it");

    const int CodePage = SystemAnsiCodePage();
    TVekMP3 Engine;
    bool Result = false;
    int64_t ByteCount = 0, DurationMs = 0;
    try {
        AnalyseForCut(Engine, Options.Source);
        TSaveOptions Save;
        Save.InfoFrame = !Options.NoInfoFrame;
        Save.Exact = Options.Exact;
        Save.Existing = ExistingRule(Options.Overwrite);
        Save.RequireAudio = true;
        Save.Fades = {static_cast<int32_t>(FadeInMs), static_cast<int32_t>(FadeOutMs)};
        const TTagTexts Texts = CutTagTexts(Options, Genre);
        const TId3v1Tag Tag = Options.Tag ? MakeTagRecordFromUtf8(Texts, CodePage) : TId3v1Tag{};
        if (Options.Id3v2 && Engine.DataInfo.Valid) Save.LeadingBytes = CutId3v2(Options, Genre);
        if (Options.Tag && !Options.Id3v2) WarnOfTextsNotKept(Texts, CodePage, Options.Target, Err);
        Result = Engine.SaveSegment(static_cast<int32_t>(StartMs), static_cast<int32_t>(EndMs), Options.Target, Tag,
                                    ByteCount, DurationMs, Save);
    } catch (const std::exception& E) {
        return Failed(ExitError, FailureOf(E), Options.Json, Out, Err);
    }
    if (!Result)
        return Failed(ExitNegative, SaveFailure(Engine, Options.Source, Options.Target), Options.Json, Out, Err,
                      "Not saved: ");

    // A copy stops short of the span only where the audio ends.
    if (DurationMs < EndMs - StartMs)
        Complain(Err, "--end " + Options.End + " lies beyond the end of the audio: the piece runs to its end");
    const int64_t FileBytes = FileBytesOf(Options.Target);
    if (Options.Json) {
        Out << Dump(json{{"Result", true},
                         {"Name", Options.Target},
                         {"ByteCount", ByteCount},
                         {"FileBytes", FileBytes},
                         {"DurationMs", DurationMs}})
            << "\n";
    } else {
        Out << "Saved: " << Options.Target << "\n"
            << "Bytes: " << ByteCount << "\n"
            << "File bytes: " << FileBytes << "\n"
            << "Length: " << MsToTimeCode(DurationMs) << "\n";
    }
    return ExitOk;
}

}  // namespace SegmoraCli
