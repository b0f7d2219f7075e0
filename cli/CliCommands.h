// The commands of segmora-cli. Each returns the process exit code:
// 0 success, 1 a negative result (not valid, not saved), 2 usage,
// 3 an error was raised (the file cannot be read, a device error).
// Results go to Out, errors, warnings and notes to Err (CliReport.h).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace SegmoraCli {

enum ExitCode { ExitOk = 0, ExitNegative = 1, ExitUsage = 2, ExitError = 3 };

struct TInfoOptions {
    std::string File;
    bool Json = false;
};

struct TTagOptions {
    std::optional<std::string> Title, Artist, Album, Year, Comment, Track, Genre;
};

struct TCutOptions {
    std::string Source, Target;
    std::string Start, End;  // TIMEs as given
    bool Json = false;
    bool Overwrite = false;
    bool Tag = false;    // an ID3v1 tag at the end
    bool Id3v2 = false;  // an ID3v2 tag in front
    bool NoCopyTags = false;
    TTagOptions TagFields;
    bool NoInfoFrame = false;
    bool Exact = false;
    std::string FadeIn, FadeOut;  // TIMEs as given; empty: none
};

struct TPlayOptions {
    std::string File;
    std::string From, To;         // empty: from the start, to the end
    std::string Output = "auto";  // "auto" or "null"
};

// Reads a TIME option (ParseTimeArgument), at most INT32_MAX ms. False for
// a bad one, with Why naming the option (What) and, when it is too large,
// what it is beyond.
bool ParseTimeOption(const std::string& Text, const char* What, const char* Beyond, int64_t& Ms, std::string& Why);

struct TSplitOptions {
    std::string Source;
    // One way of splitting: a CUE sheet's tracks, silences, equal parts or a fixed length.
    std::string Cue;
    bool Silence = false;
    int Parts = 0;
    int64_t EveryMs = 0;
    std::string OutputDir;    // empty: the source's folder
    std::string NamePattern;  // empty: the default for the way of splitting
    bool Tag = false;
    bool Id3v2 = false;
    bool NoCopyTags = false;
    bool DryRun = false;
    bool Json = false;
    bool Overwrite = false;
    bool Exact = false;  // pieces that join without a seam in gapless players
    double ThresholdDb = -48.0;
    int64_t MinSilenceMs = 2000;
    int64_t MinPieceMs = 5000;
    int64_t FadeInMs = 0, FadeOutMs = 0;  // each piece's
};

struct TLevelsOptions {
    std::string File;
    int Buckets = 0;         // this many buckets over the whole length, or
    double PerSecond = 1.0;  // this many buckets a second
    bool Json = false;
    bool Decode = false;  // decoded levels instead of estimates
};

struct TJoinOptions {
    std::vector<std::string> Inputs;
    std::string Target;
    bool Exact = false;
    bool NoTags = false;  // neither the first input's ID3v2 tag nor its ID3v1 tag
    bool Overwrite = false;
    bool Json = false;
};

struct TFixOptions {
    std::string File;
    std::string Target;  // empty: the file itself
    bool DryRun = false;
    bool Json = false;
    bool Overwrite = false;  // of a Target other than the file
};

struct TGainOptions {
    std::string File;
    std::string Target;        // empty: the file itself
    std::optional<double> Db;  // the change, or
    bool Undo = false;         // the recorded change undone
    std::string Start, End;    // TIMEs as given; empty: the whole file
    bool UndoInfo = false;
    bool Json = false;
    bool Overwrite = false;  // of a Target other than the file
};

int RunInfo(const TInfoOptions& Options, std::ostream& Out, std::ostream& Err);
int RunCut(const TCutOptions& Options, std::ostream& Out, std::ostream& Err);
int RunPlay(const TPlayOptions& Options, std::ostream& Out, std::ostream& Err);
int RunSplit(const TSplitOptions& Options, std::ostream& Out, std::ostream& Err);
int RunLevels(const TLevelsOptions& Options, std::ostream& Out, std::ostream& Err);
int RunJoin(const TJoinOptions& Options, std::ostream& Out, std::ostream& Err);
// Exit 1 from a dry run that finds something to change.
int RunFix(const TFixOptions& Options, std::ostream& Out, std::ostream& Err);
int RunGain(const TGainOptions& Options, std::ostream& Out, std::ostream& Err);

}  // namespace SegmoraCli
