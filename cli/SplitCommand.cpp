// segmora-cli split: many pieces out of one file in one run, each the very
// piece a cut of its range gives.
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "cli/CliCommands.h"
#include "cli/CliShared.h"
#include "cli/CueSheet.h"
#include "cli/SplitPlan.h"
#include "engine/TagRecord.h"
#include "engine/TimeCode.h"
#include "engine/VekMp3.h"
#include "platform/LocaleServices.h"

namespace SegmoraCli {

namespace {

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr const char* SplitTimeLimit = "the longest time a split can take";

struct TPieceResult {
    bool Done = false;    // measured or saved
    int64_t StartMs = 0;  // where its first frame begins, on the time scale of cut
    bool Result = false;
    bool Raised = false;
    int64_t ByteCount = 0, DurationMs = 0;
    std::string Reason;
};

std::string SplitFailureText(TSaveFailure Why, const std::string& Target) {
    switch (Why) {
    case TSaveFailure::TargetExists: return "\"" + Target + "\" exists already (--overwrite replaces it)";
    case TSaveFailure::NothingToSave: return "it starts after the end of the audio";
    default: return SaveFailureText(Why, Target);
    }
}

TId3v1Tag PieceTag(const TSplitPiece& P, const TMp3DataInfo& Source, int CodePage) {
    TTagTexts Texts;
    // Without a sheet the pieces keep what the source's own tag says of them.
    if (Source.Id3v1Size == Id3v1TagBytes) {
        const TId3v1Tag& T = Source.Id3Tag;
        Texts.Title = TagFieldUtf8(T.Title, sizeof T.Title, CodePage);
        Texts.Artist = TagFieldUtf8(T.Artist, sizeof T.Artist, CodePage);
        Texts.Album = TagFieldUtf8(T.Album, sizeof T.Album, CodePage);
        Texts.Year = TagFieldUtf8(T.Year, sizeof T.Year, CodePage);
        Texts.GenreIndex = T.Genre == 255 ? -1 : T.Genre;
    }
    if (!P.Title.empty()) Texts.Title = P.Title;
    if (!P.Performer.empty()) Texts.Artist = P.Performer;
    if (!P.Album.empty()) Texts.Album = P.Album;
    if (!P.Year.empty()) Texts.Year = P.Year;
    if (P.Number <= 255) Texts.Track = std::to_string(P.Number);
    return MakeTagRecordFromUtf8(Texts, CodePage);
}

// The one-line progress of a long scan, on a terminal only.
class TScanDisplay {
public:
    explicit TScanDisplay(std::ostream& Err) : FErr(Err), FShown(::isatty(STDERR_FILENO) == 1) {}
    ~TScanDisplay() {
        if (FShown && FUsed) FErr << "\r\033[K" << std::flush;
    }
    TScanDisplay(const TScanDisplay&) = delete;
    TScanDisplay& operator=(const TScanDisplay&) = delete;
    void operator()(int64_t DoneMs, int64_t TotalMs) {
        if (!FShown) return;
        FUsed = true;
        FErr << "\rLooking for silence: " << MsToTimeCode(DoneMs) << " / " << MsToTimeCode(TotalMs) << std::flush;
    }

private:
    std::ostream& FErr;
    const bool FShown;
    bool FUsed = false;
};

// The pieces the options ask for; false (reported) when they cannot be had.
bool PlanPieces(const TSplitOptions& O, TVekMP3& Engine, int CodePage, std::vector<TSplitPiece>& Pieces, int& Exit,
                std::ostream& Err) {
    const int64_t Length = Engine.DataInfo.LengthMs;
    if (!O.Cue.empty()) {
        try {
            Pieces = PiecesFromCue(ReadCueSheet(O.Cue, O.Source, CodePage));
        } catch (const ECueSheetError& E) {
            Err << "segmora-cli: " << E.what() << "\n";
            Exit = ExitUsage;
            return false;
        }
    } else if (O.Parts > 0) {
        Pieces = EqualParts(Length, O.Parts);
    } else if (O.EveryMs > 0) {
        Pieces = FixedLengthParts(Length, O.EveryMs);
    } else {
        TScanDisplay Display(Err);
        const std::vector<int64_t> Splits =
            SilenceSplits(O, Engine.DataInfo, [&Display](int64_t Done, int64_t Total) { Display(Done, Total); });
        Pieces = PiecesBetween(Splits, Engine.DataInfo.LengthMs, O.MinPieceMs);
    }
    if (Pieces.empty()) {
        Err << "segmora-cli: no piece to cut (every one would be shorter than --min-piece)\n";
        Exit = ExitNegative;
        return false;
    }
    return true;
}

TPieceResult CutPiece(TVekMP3& Engine, const TSplitOptions& O, const TSplitPiece& P, TPieceChain& Chain, int CodePage) {
    TPieceResult R;
    const auto Start = static_cast<int32_t>(P.StartMs);
    const auto End = static_cast<int32_t>(std::min<int64_t>(P.EndMs, INT32_MAX));
    try {
        if (O.DryRun) {
            R.Result = Engine.MeasureSegment(Start, End, R.ByteCount, R.DurationMs, &Chain);
            R.Done = R.Result;
            R.StartMs = static_cast<int64_t>(Chain.PieceStartMs);
            if (R.Result && R.ByteCount == 0) R.Reason = SplitFailureText(TSaveFailure::NothingToSave, P.FileName);
            return R;
        }
        if (SameTarget(O.Source, P.FileName)) {
            R.Reason = "it would replace the file it is cut from";
            return R;
        }
        TSaveOptions Save;
        Save.Chain = &Chain;
        Save.Existing = O.Overwrite ? TExisting::Replace : TExisting::Keep;
        const TId3v1Tag Tag = O.Tag ? PieceTag(P, Engine.DataInfo, CodePage) : TId3v1Tag{};
        R.Result = Engine.SaveSegment(Start, End, P.FileName, Tag, R.ByteCount, R.DurationMs, Save);
        R.Done = R.Result;
        R.StartMs = static_cast<int64_t>(Chain.PieceStartMs);
        if (!R.Result) R.Reason = SplitFailureText(Engine.LastSaveFailure(), P.FileName);
    } catch (const std::exception& E) {
        R.Raised = true;
        R.Reason = E.what();
    }
    return R;
}

// Where a piece starts and ends on the time scale of cut: a cut of that
// range writes the same piece. Before it is cut, the range asked for.
int64_t StartOf(const TSplitPiece& P, const TPieceResult& R) { return R.Done ? R.StartMs : P.StartMs; }

json EndOf(const TSplitPiece& P, const TPieceResult& R) {
    if (R.Done) return R.StartMs + R.DurationMs;
    return P.EndMs == EndOfAudio ? json(nullptr) : json(P.EndMs);
}

std::string EndText(const TSplitPiece& P, const TPieceResult& R) {
    const json End = EndOf(P, R);
    return End.is_null() ? "end          " : MsToTimeCode(End.get<int64_t>());
}

}  // namespace

int RunSplit(const TSplitOptions& O, std::ostream& Out, std::ostream& Err) {
    std::string Bad;
    if (!CheckNamePattern(O.NamePattern, Bad)) {
        Err << "segmora-cli: --name: unknown placeholder \"" << Bad
            << "\" (use {n}, {title}, {performer}, {album}, {name})\n";
        return ExitUsage;
    }
    const int CodePage = SystemAnsiCodePage();
    TVekMP3 Engine;
    std::vector<TSplitPiece> Pieces;
    try {
        // A sheet's tracks need only where the audio lies, and the search
        // for silences measures the length itself; the other ways of
        // splitting need the length first.
        if (!O.Cue.empty() || O.Silence)
            AnalyseForCut(Engine, O.Source);
        else
            Engine.AnalyseFile(O.Source);
        if (!Engine.DataInfo.Valid) {
            Err << "segmora-cli: \"" << O.Source << "\" is not an MP3 file\n";
            return ExitNegative;
        }
        int Exit = ExitOk;
        if (!PlanPieces(O, Engine, CodePage, Pieces, Exit, Err)) return Exit;
    } catch (const std::exception& E) {
        Err << "segmora-cli: " << E.what() << "\n";
        return ExitError;
    }

    const std::string Folder = O.OutputDir.empty() ? fs::path(O.Source).parent_path().string() : O.OutputDir;
    const std::string Pattern = O.NamePattern.empty() ? DefaultNamePattern(!O.Cue.empty()) : O.NamePattern;
    NamePieces(Pieces, Pattern, fs::path(O.Source).stem().string(), Folder);
    if (!O.DryRun && !Folder.empty()) {
        std::error_code Ec;
        fs::create_directories(Folder, Ec);
        if (Ec && !fs::is_directory(Folder)) {
            Err << "segmora-cli: cannot make the folder \"" << Folder << "\": " << Ec.message() << "\n";
            return ExitError;
        }
    }

    TPieceChain Chain;
    json Report = json::array();
    std::vector<std::string> Failed;
    bool Raised = false;
    for (const TSplitPiece& P : Pieces) {
        const TPieceResult R = CutPiece(Engine, O, P, Chain, CodePage);
        Raised = Raised || R.Raised;
        if (!R.Result || !R.Reason.empty()) Failed.push_back(fs::path(P.FileName).filename().string());
        if (O.Json) {
            json J = {{"name", P.FileName},
                      {"StartMs", StartOf(P, R)},
                      {"EndMs", EndOf(P, R)},
                      {"ByteCount", R.ByteCount},
                      {"DurationMs", R.DurationMs},
                      {"Result", O.DryRun && R.Reason.empty() ? json(nullptr) : json(R.Result && R.Reason.empty())}};
            if (!R.Reason.empty()) J["Reason"] = R.Reason;
            Report.push_back(std::move(J));
        } else if (O.DryRun) {
            Out << MsToTimeCode(StartOf(P, R)) << "  " << EndText(P, R) << "  " << P.FileName
                << (R.Reason.empty() ? "" : "  (" + R.Reason + ")") << "\n";
        } else if (R.Result) {
            Out << "Saved: " << P.FileName << " (" << MsToTimeCode(StartOf(P, R)) << " - " << EndText(P, R) << ", "
                << R.ByteCount << " bytes)\n";
        } else {
            Out << "Not saved: " << P.FileName << ": " << R.Reason << "\n";
        }
    }
    if (O.Json) Out << Dump(Report) << "\n";
    if (Failed.empty()) return ExitOk;
    Err << "segmora-cli: " << Failed.size() << " of " << Pieces.size() << " pieces "
        << (O.DryRun ? "would not be saved" : "were not saved") << ":";
    for (const std::string& Name : Failed) Err << " \"" << Name << "\"";
    Err << "\n";
    return Raised ? ExitError : ExitNegative;
}

}  // namespace SegmoraCli
