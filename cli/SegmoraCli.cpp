// segmora-cli: the engine on the command line, for scripts and batch work.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/CliCommands.h"
#include "platform/TemporaryCleanup.h"
#include "platform/Version.h"

namespace {

// A report that did not reach its reader (a full disk, a closed pipe) is a
// failure, whatever the command did.
int WithOutputChecked(int ExitCode) {
    errno = 0;
    std::cout.flush();
    const bool Failed = !std::cout.good() || std::fflush(stdout) != 0 || std::ferror(stdout);
    if (!Failed) return ExitCode;
    const int Error = errno;
    std::cerr << "segmora-cli: cannot write to the standard output" << (Error ? ": " : "")
              << (Error ? std::strerror(Error) : "") << "\n";
    return SegmoraCli::ExitError;
}

}  // namespace

using namespace SegmoraCli;

int main(int argc, char** argv) {
    IgnoreWriteSignals();
    CLI::App App{"Segmora: cut a piece out of an MP3 file without re-encoding.\n"
                 "TIME is plain milliseconds (\"1500\") or a time code (\"000:00:01.500\")."};
    App.name("segmora-cli");
    App.require_subcommand(1);
    App.set_version_flag("--version", std::string("segmora-cli ") + SegmoraVersion, "Print the version and exit");

    TInfoOptions Info;
    CLI::App* InfoCmd = App.add_subcommand("info", "Show the stream information and ID3v1 tag of an MP3 file");
    InfoCmd->add_option("FILE", Info.File, "The MP3 file")->required();
    InfoCmd->add_flag("--json", Info.Json, "Print one JSON object");

    TCutOptions Cut;
    CLI::App* CutCmd = App.add_subcommand("cut", "Save the whole frames between two times as a new MP3 file");
    CutCmd->add_option("SRC", Cut.Source, "The MP3 file to cut from")->required();
    CutCmd->add_option("DST", Cut.Target, "The new file (replaced when it exists)")->required();
    CutCmd->add_option("--start", Cut.Start, "Start TIME")->required();
    CutCmd->add_option("--end", Cut.End, "End TIME")->required();
    CutCmd->add_flag("--json", Cut.Json, "Print one JSON object");
    CutCmd->add_flag("--no-info-frame", Cut.NoInfoFrame,
                     "Write no information frame (length, seek table, LAME tag) in front of the frames");
    CutCmd->add_flag("--exact", Cut.Exact,
                     "Also copy the frames the first frame's decoding needs, for gapless players to skip, "
                     "so that the piece starts exactly as the source plays there");
    CutCmd->add_flag("--tag", Cut.Tag, "End the new file with an ID3v1 tag made of the fields below");
    CutCmd->add_option("--title", Cut.TagFields.Title, "Tag title (30 bytes)");
    CutCmd->add_option("--artist", Cut.TagFields.Artist, "Tag artist (30 bytes)");
    CutCmd->add_option("--album", Cut.TagFields.Album, "Tag album (30 bytes)");
    CutCmd->add_option("--year", Cut.TagFields.Year, "Tag year (4 bytes)");
    CutCmd->add_option("--comment", Cut.TagFields.Comment, "Tag comment (30 bytes, 28 with a track number)");
    CutCmd->add_option("--track", Cut.TagFields.Track, "Track number 1..255");
    CutCmd->add_option("--genre", Cut.TagFields.Genre, "Genre number 0..255 or name");

    TPlayOptions Play;
    CLI::App* PlayCmd = App.add_subcommand("play", "Play a range of an MP3 file");
    PlayCmd->add_option("FILE", Play.File, "The MP3 file")->required();
    PlayCmd->add_option("--from", Play.From, "Start TIME (default: the beginning)");
    PlayCmd->add_option("--to", Play.To, "End TIME (default: the end)");
    PlayCmd->add_option("--output", Play.Output, "auto: the sound device; null: silent, in real time")
        ->check(CLI::IsMember({"auto", "null"}));

    TSplitOptions Split;
    std::string Every, MinSilence = "2000", MinPiece = "5000";
    CLI::App* SplitCmd = App.add_subcommand(
        "split", "Save many pieces of an MP3 file in one run: the tracks of a CUE sheet, the parts between "
                 "silences, equal parts or parts of a fixed length");
    SplitCmd->add_option("SRC", Split.Source, "The MP3 file to split")->required();
    CLI::Option_group* Way = SplitCmd->add_option_group("way of splitting", "Exactly one of these");
    Way->add_option("--cue", Split.Cue, "The tracks of this CUE sheet (INDEX 01 to the next track's)");
    Way->add_flag("--silence", Split.Silence, "In the middle of each silence");
    Way->add_option("--parts", Split.Parts, "This many parts of equal length")->check(CLI::Range(1, 9999));
    Way->add_option("--every", Every, "Parts of this TIME each, the last one shorter");
    Way->require_option(1);
    SplitCmd->add_option("--output-dir", Split.OutputDir, "Where the pieces go (default: the source's folder)");
    SplitCmd->add_option("--name", Split.NamePattern,
                         "Name PATTERN, \".mp3\" added: {n} (the number), {title}, {performer}, {album}, {name} (the "
                         "source's); default \"{n} - {title}\" with a CUE sheet, else \"{name}_{n}\"");
    SplitCmd->add_flag("--tag", Split.Tag,
                       "End each piece with an ID3v1 tag: track number, the sheet's title, performer and album, "
                       "else what the source's tag says");
    SplitCmd->add_flag("--dry-run", Split.DryRun, "List the pieces (start, end, name) without writing");
    SplitCmd->add_flag("--json", Split.Json, "Print a JSON array, one object per piece");
    SplitCmd->add_flag("--overwrite", Split.Overwrite, "Replace files that exist already (kept otherwise)");
    SplitCmd->add_option("--threshold", Split.ThresholdDb,
                         "Silence: the RMS level below which a frame is quiet, in dB "
                         "(default -48)");
    SplitCmd->add_option("--min-silence", MinSilence, "Silence: the shortest TIME that counts (default 2000)");
    SplitCmd->add_option("--min-piece", MinPiece, "Silence: pieces shorter than this TIME are left out (default 5000)");

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

    try {
        App.parse(argc, argv);
    } catch (const CLI::ParseError& E) {
        const int Rc = App.exit(E);
        return Rc == 0 ? ExitOk : ExitUsage;
    }

    if (*InfoCmd) return WithOutputChecked(RunInfo(Info, std::cout, std::cerr));
    if (*CutCmd) return WithOutputChecked(RunCut(Cut, std::cout, std::cerr));
    if (*PlayCmd) return WithOutputChecked(RunPlay(Play, std::cout, std::cerr));
    if (*LevelsCmd) return WithOutputChecked(RunLevels(Levels, std::cout, std::cerr));
    if (*SplitCmd) {
        if (!Every.empty()) {
            if (!ParseTimeOption(Every, "--every", "the longest time a piece can take", Split.EveryMs, std::cerr))
                return ExitUsage;
            if (Split.EveryMs <= 0) {
                std::cerr << "segmora-cli: --every must be longer than 0\n";
                return ExitUsage;
            }
        }
        if (!ParseTimeOption(MinSilence, "--min-silence", "the longest time a piece can take", Split.MinSilenceMs,
                             std::cerr) ||
            !ParseTimeOption(MinPiece, "--min-piece", "the longest time a piece can take", Split.MinPieceMs, std::cerr))
            return ExitUsage;
        return WithOutputChecked(RunSplit(Split, std::cout, std::cerr));
    }
    return ExitUsage;
}
