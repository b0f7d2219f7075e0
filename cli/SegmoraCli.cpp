// segmora-cli: the engine on the command line, for scripts and batch work.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <system_error>

#include "cli/CliCommands.h"
#include "cli/CliReport.h"
#include "platform/TemporaryCleanup.h"
#include "platform/Version.h"

namespace {

using namespace SegmoraCli;

// A report that did not reach its reader (a full disk, a closed pipe) is a
// failure, whatever the command did.
int WithOutputChecked(int ExitCode) {
    errno = 0;
    std::cout.flush();
    const bool Failed = !std::cout.good() || std::fflush(stdout) != 0 || std::ferror(stdout);
    if (!Failed) return ExitCode;
    const int Error = errno;
    Complain(std::cerr, std::string("cannot write to the standard output") + (Error ? ": " : "") +
                            (Error ? std::generic_category().message(Error) : ""));
    return ExitError;
}

// A usage error found after the command line was parsed.
int UsageError(const std::string& Text, bool Json) {
    return WithOutputChecked(Failed(ExitUsage, {"UsageError", Text}, Json, std::cout, std::cerr));
}

bool AskedForJson(int argc, char** argv) {
    for (int I = 1; I < argc; ++I)
        if (std::strcmp(argv[I], "--json") == 0) return true;
    return false;
}

constexpr const char* TimeForms =
    "TIME: milliseconds (1500), H:MM:SS[.f] or M:SS[.f] (0:30:00, 1:23.5), or a number with a unit: "
    "ms, s, m, h (250ms, 1.5s, 2m).";

// The options of the tags cut writes.
void AddTagOptions(CLI::App& Cut, TCutOptions& O) {
    Cut.add_flag("--tag", O.Tag, "End the file with an ID3v1 tag of the texts below");
    Cut.add_flag("--id3v2", O.Id3v2, "Begin it with an ID3v2.4 tag (UTF-8) of the texts below");
    Cut.add_flag("--no-copy-tags", O.NoCopyTags, "--id3v2: take nothing from the source's ID3v2 tag");
    TTagOptions& F = O.TagFields;
    Cut.add_option("--title", F.Title, "Title (ID3v1: 30 bytes)")->type_name("T");
    Cut.add_option("--artist", F.Artist, "Artist (ID3v1: 30 bytes)")->type_name("A");
    Cut.add_option("--album", F.Album, "Album (ID3v1: 30 bytes)")->type_name("A");
    Cut.add_option("--year", F.Year, "Year (ID3v1: 4 bytes)")->type_name("Y");
    Cut.add_option("--comment", F.Comment, "Comment (ID3v1: 30 bytes, 28 with a track)")->type_name("C");
    Cut.add_option("--track", F.Track, "Track number 1..255, /TOTAL for ID3v2")->type_name("N[/TOTAL]");
    Cut.add_option("--genre", F.Genre, "Genre number 0..255 or name")->type_name("N|NAME");
}

// A number of dB that compares with levels: "nan", "inf" and numbers beyond
// a double's range pass a range check and silence every comparison.
const CLI::Validator FiniteNumber(
    [](std::string& Text) {
        char* End = nullptr;
        const double Value = std::strtod(Text.c_str(), &End);
        if (End == Text.c_str() || *End != '\0' || !std::isfinite(Value))
            return "\"" + Text + "\" is not a finite number";
        return std::string();
    },
    "NUMBER");

}  // namespace

// An error no command caught (out of memory) is reported, not an abort.
int main(int argc, char** argv) try {
    IgnoreWriteSignals();
    CLI::App App{std::string("Segmora: cut a piece out of an MP3 file without re-encoding.\n") + TimeForms};
    App.name("segmora-cli");
    App.require_subcommand(1);
    App.set_version_flag("--version", std::string("segmora-cli ") + SegmoraVersion, "Print the version and exit");
    App.failure_message([](const CLI::App*, const CLI::Error& E) {
        return "segmora-cli: " + std::string(E.what()) + " (--help shows the usage)\n";
    });

    TInfoOptions Info;
    CLI::App* InfoCmd = App.add_subcommand("info", "Show the stream information and tags of an MP3 file");
    InfoCmd->add_option("FILE", Info.File, "The MP3 file")->required();
    InfoCmd->add_flag("--json", Info.Json, "Print one JSON object");

    TCutOptions Cut;
    CLI::App* CutCmd = App.add_subcommand("cut", "Save the whole frames between two times as a new MP3 file");
    CutCmd->add_option("SRC", Cut.Source, "The MP3 file to cut from")->required();
    CutCmd->add_option("DST", Cut.Target, "The new file")->required();
    CutCmd->add_option("--start", Cut.Start, "Start TIME")->required()->type_name("TIME");
    CutCmd->add_option("--end", Cut.End, "End TIME")->required()->type_name("TIME");
    CutCmd->add_flag("--json", Cut.Json, "Print one JSON object");
    CutCmd->add_flag("-y,--overwrite", Cut.Overwrite, "Replace DST when it exists (kept otherwise)");
    CLI::Option* NoInfoFrame =
        CutCmd->add_flag("--no-info-frame", Cut.NoInfoFrame, "Write no information frame in front of the frames");
    CutCmd->add_flag("--exact", Cut.Exact, "Start exactly as the source plays there (gapless players)")
        ->excludes(NoInfoFrame);
    CutCmd->add_option("--fade-in", Cut.FadeIn, "Fade in over TIME at the start (layer III, without re-encoding)")
        ->type_name("TIME");
    CutCmd->add_option("--fade-out", Cut.FadeOut, "Fade out over TIME at the end (layer III, without re-encoding)")
        ->type_name("TIME");
    AddTagOptions(*CutCmd, Cut);

    CutCmd->footer(TimeForms);

    TPlayOptions Play;
    CLI::App* PlayCmd = App.add_subcommand("play", "Play a range of an MP3 file");
    PlayCmd->add_option("FILE", Play.File, "The MP3 file")->required();
    PlayCmd->add_option("--from", Play.From, "Start TIME (default: the beginning)")->type_name("TIME");
    PlayCmd->add_option("--to", Play.To, "End TIME (default: the end)")->type_name("TIME");
    PlayCmd->add_option("--output", Play.Output, "auto: the sound device; null: silent, in real time")
        ->check(CLI::IsMember({"auto", "null"}).description(""))
        ->type_name("auto|null");
    PlayCmd->footer(TimeForms);

    TSplitOptions Split;
    std::string Every, MinSilence = "2000", MinPiece = "5000";
    CLI::App* SplitCmd = App.add_subcommand("split", "Save many pieces of an MP3 file in one run");
    SplitCmd->add_option("SRC", Split.Source, "The MP3 file to split")->required();
    const char* Way = "Way of splitting (exactly one)";
    CLI::Option* Ways[] = {
        SplitCmd->add_option("--cue", Split.Cue, "The tracks of a CUE sheet")->type_name("FILE.cue")->group(Way),
        SplitCmd->add_flag("--silence", Split.Silence, "In the middle of each silence")->group(Way),
        SplitCmd->add_option("--parts", Split.Parts, "N parts of equal length")
            ->check(CLI::Range(1, 9999).description(""))
            ->type_name("N")
            ->group(Way),
        SplitCmd->add_option("--every", Every, "Parts of TIME each, the last one shorter")
            ->type_name("TIME")
            ->group(Way),
    };
    SplitCmd->add_option("--output-dir", Split.OutputDir, "Where the pieces go (default: beside SRC)")
        ->type_name("DIR");
    SplitCmd->add_option("--name", Split.NamePattern, "File names: {n} {title} {performer} {album} {name}")
        ->type_name("PATTERN");
    SplitCmd->add_flag("--tag", Split.Tag, "End each piece with an ID3v1 tag: track, sheet's texts");
    SplitCmd->add_flag("--id3v2", Split.Id3v2, "Begin each piece with an ID3v2.4 tag (UTF-8)");
    SplitCmd->add_flag("--no-copy-tags", Split.NoCopyTags, "--id3v2: take nothing from the source's ID3v2 tag");
    SplitCmd->add_flag("--dry-run", Split.DryRun, "List the pieces (start, end, name) without writing");
    SplitCmd->add_flag("--json", Split.Json, "Print a JSON array, one object per piece");
    SplitCmd->add_flag("-y,--overwrite", Split.Overwrite, "Replace files that exist (kept otherwise)");
    SplitCmd->add_flag("--exact", Split.Exact, "Pieces that join without a seam in gapless players");
    std::string FadeIn, FadeOut;
    SplitCmd->add_option("--fade-in", FadeIn, "Fade each piece in over TIME (layer III, without re-encoding)")
        ->type_name("TIME");
    SplitCmd->add_option("--fade-out", FadeOut, "Fade each piece out over TIME (layer III, without re-encoding)")
        ->type_name("TIME");
    SplitCmd->add_option("--threshold", Split.ThresholdDb, "Silence: quiet below this RMS level (default -48)")
        ->type_name("DB")
        ->check(FiniteNumber);
    SplitCmd->add_option("--min-silence", MinSilence, "Silence: the shortest that counts (default 2s)")
        ->type_name("TIME");
    SplitCmd->add_option("--min-piece", MinPiece, "Silence: shorter pieces are left out (default 5s)")
        ->type_name("TIME");
    SplitCmd->footer(TimeForms);

    TLevelsOptions Levels;
    CLI::App* LevelsCmd = App.add_subcommand(
        "levels", "Print the loudness envelope of an MP3 file: per bucket of time its start, peak and RMS level "
                  "(dB full scale), estimated from the frames without decoding them, or decoded");
    LevelsCmd->add_option("FILE", Levels.File, "The MP3 file")->required();
    CLI::Option* BucketsOpt =
        LevelsCmd->add_option("--buckets", Levels.Buckets, "This many buckets over the whole length")
            ->check(CLI::Range(1, 1000000));
    LevelsCmd->add_option("--per-second", Levels.PerSecond, "This many buckets a second (default 1)")
        ->check(CLI::Range(0.001, 1000.0))
        ->excludes(BucketsOpt);
    LevelsCmd->add_flag("--json", Levels.Json, "Print one JSON object");
    LevelsCmd->add_flag("--decode", Levels.Decode, "Decode every frame for its levels instead of estimating them");

    TJoinOptions Join;
    CLI::App* JoinCmd = App.add_subcommand("join", "Join MP3 files of one format into one, with one information frame");
    JoinCmd->add_option("FILES", Join.Inputs, "The MP3 files, in order")->required();
    JoinCmd->add_option("-o,--output", Join.Target, "The new file")->required()->type_name("OUT");
    JoinCmd->add_flag("--exact", Join.Exact, "Leave out the frames exact pieces repeat at a joint (gapless players)");
    JoinCmd->add_flag("--no-tags", Join.NoTags, "Take neither the ID3v2 nor the ID3v1 tag of the first file");
    JoinCmd->add_flag("-y,--overwrite", Join.Overwrite, "Replace OUT when it exists (kept otherwise)");
    JoinCmd->add_flag("--json", Join.Json, "Print one JSON object");

    TFixOptions Fix;
    CLI::App* FixCmd = App.add_subcommand("fix", "Rewrite an MP3 file so that players read its length right");
    FixCmd->add_option("FILE", Fix.File, "The MP3 file")->required();
    FixCmd->add_option("-o,--output", Fix.Target, "Save the fixed file as OUT (default: replace FILE, safely)")
        ->type_name("OUT");
    FixCmd->add_flag("--dry-run", Fix.DryRun, "Tell what would change and write nothing (exit 1 if anything would)");
    FixCmd->add_flag("--json", Fix.Json, "Print one JSON object");
    FixCmd->add_flag("-y,--overwrite", Fix.Overwrite, "Replace OUT when it exists (kept otherwise)");

    TGainOptions Gain;
    CLI::App* GainCmd = App.add_subcommand(
        "gain", "Change the level of an MP3 file, or of a range of it, in steps of 1.5 dB without re-encoding");
    GainCmd->add_option("FILE", Gain.File, "The MP3 file")->required();
    CLI::Option* DbOpt = GainCmd->add_option("--db", Gain.Db, "The change in dB, rounded to steps of 1.5 dB")
                             ->type_name("X")
                             ->check(FiniteNumber);
    CLI::Option* GainRange[] = {
        GainCmd->add_option("--start", Gain.Start, "Start TIME of the range (default: the beginning)")
            ->type_name("TIME"),
        GainCmd->add_option("--end", Gain.End, "End TIME of the range (default: the end)")->type_name("TIME"),
    };
    GainCmd->add_option("-o,--output", Gain.Target, "Save the changed file as OUT (default: replace FILE, safely)")
        ->type_name("OUT");
    CLI::Option* UndoInfo = GainCmd->add_flag("--undo-info", Gain.UndoInfo,
                                              "Keep a record of the change in the file's APE tag, for --undo");
    GainCmd->add_flag("--undo", Gain.Undo, "Undo the recorded change: the file's bytes as they were")
        ->excludes(DbOpt)
        ->excludes(GainRange[0])
        ->excludes(GainRange[1])
        ->excludes(UndoInfo);
    GainCmd->add_flag("--json", Gain.Json, "Print one JSON object");
    GainCmd->add_flag("-y,--overwrite", Gain.Overwrite, "Replace OUT when it exists (kept otherwise)");
    GainCmd->footer(TimeForms);

    try {
        App.parse(argc, argv);
    } catch (const CLI::ParseError& E) {
        const int Rc = App.exit(E);
        if (Rc == 0) return ExitOk;
        if (AskedForJson(argc, argv)) std::cout << Dump(FailureJson({"UsageError", E.what()})) << "\n";
        return WithOutputChecked(ExitUsage);
    }

    if (*InfoCmd) return WithOutputChecked(RunInfo(Info, std::cout, std::cerr));
    if (*CutCmd) return WithOutputChecked(RunCut(Cut, std::cout, std::cerr));
    if (*PlayCmd) return WithOutputChecked(RunPlay(Play, std::cout, std::cerr));
    if (*LevelsCmd) return WithOutputChecked(RunLevels(Levels, std::cout, std::cerr));
    if (*JoinCmd) return WithOutputChecked(RunJoin(Join, std::cout, std::cerr));
    if (*FixCmd) return WithOutputChecked(RunFix(Fix, std::cout, std::cerr));
    if (*GainCmd) return WithOutputChecked(RunGain(Gain, std::cout, std::cerr));
    if (*SplitCmd) {
        size_t Given = 0;
        for (const CLI::Option* O : Ways) Given += O->count();
        if (Given != 1) return UsageError("give exactly one of --cue, --silence, --parts and --every", Split.Json);
        constexpr const char* Longest = "the longest time a piece can take";
        std::string Why;
        if (!Every.empty()) {
            if (!ParseTimeOption(Every, "--every", Longest, Split.EveryMs, Why)) return UsageError(Why, Split.Json);
            if (Split.EveryMs <= 0) return UsageError("--every must be longer than 0", Split.Json);
        }
        if (!ParseTimeOption(MinSilence, "--min-silence", Longest, Split.MinSilenceMs, Why) ||
            !ParseTimeOption(MinPiece, "--min-piece", Longest, Split.MinPieceMs, Why) ||
            (!FadeIn.empty() && !ParseTimeOption(FadeIn, "--fade-in", Longest, Split.FadeInMs, Why)) ||
            (!FadeOut.empty() && !ParseTimeOption(FadeOut, "--fade-out", Longest, Split.FadeOutMs, Why)))
            return UsageError(Why, Split.Json);
        return WithOutputChecked(RunSplit(Split, std::cout, std::cerr));
    }
    return ExitUsage;
} catch (const std::exception& E) {
    Complain(std::cerr, E.what());
    return ExitError;
} catch (...) {
    Complain(std::cerr, "an unknown error");
    return ExitError;
}
