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

    try {
        App.parse(argc, argv);
    } catch (const CLI::ParseError& E) {
        const int Rc = App.exit(E);
        return Rc == 0 ? ExitOk : ExitUsage;
    }

    if (*InfoCmd) return WithOutputChecked(RunInfo(Info, std::cout, std::cerr));
    if (*CutCmd) return WithOutputChecked(RunCut(Cut, std::cout, std::cerr));
    if (*PlayCmd) return WithOutputChecked(RunPlay(Play, std::cout, std::cerr));
    return ExitUsage;
}
