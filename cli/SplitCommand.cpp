// segmora-cli split: many pieces out of one file in one run, each the very
// piece a cut of its range gives.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <optional>

#include "cli/CliCommands.h"
#include "cli/CliShared.h"
#include "cli/CliTags.h"
#include "cli/CueSheet.h"
#include "cli/SplitPlan.h"
#include "engine/TagRecord.h"
#include "engine/TimeCode.h"
#include "engine/VekMp3.h"
#include "platform/Id3v2Tag.h"
#include "platform/LocaleServices.h"

namespace SegmoraCli {

namespace {

namespace fs = std::filesystem;

struct TPieceResult {
    bool Done = false;    // measured or saved
    int64_t StartMs = 0;  // where its first frame begins, on the time scale of cut
    bool Result = false;
    bool Raised = false;
    int64_t ByteCount = 0, DurationMs = 0;
    int64_t FileBytes = -1;  // of a piece saved
    std::optional<TFailure> Reason;
};

// The texts of a piece's tags: the sheet's, else what the source's own
// ID3v1 tag says of the whole.
TTagTexts PieceTexts(const TSplitPiece& P, const TMp3DataInfo& Source, int CodePage) {
    TTagTexts Texts;
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
    return Texts;
}

// The texts of a piece's ID3v2 tag: the sheet's; else, when the source's
// ID3v2 frames are carried over, theirs; else those of its ID3v1 tag (in
// Texts, with the sheet's). The track is "n/total".
TId3v2Texts PieceId3v2Texts(const TSplitPiece& P, int Tracks, const TTagTexts& Texts, const TId3v2Tag& Source,
                            bool CarryOver) {
    const TId3v2Texts& Own = Source.Texts();
    const auto Pick = [CarryOver](const std::string& Sheet, const std::string& Text,
                                  const std::optional<std::string>& Carried) -> std::optional<std::string> {
        if (!Sheet.empty()) return Sheet;
        if ((CarryOver && Carried) || Text.empty()) return std::nullopt;
        return Text;
    };
    TId3v2Texts T;
    T.Title = Pick(P.Title, Texts.Title, Own.Title);
    T.Artist = Pick(P.Performer, Texts.Artist, Own.Artist);
    T.Album = Pick(P.Album, Texts.Album, Own.Album);
    T.Year = Pick(P.Year, Texts.Year, Own.Year);
    T.Genre = Pick("", GenreText(Texts.GenreIndex).value_or(""), Own.Genre);
    T.Track = std::to_string(P.Number) + "/" + std::to_string(Tracks);
    return T;
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

// The pieces the options ask for; false, with why and the exit code, when they cannot be had.
bool PlanPieces(const TSplitOptions& O, TVekMP3& Engine, int CodePage, std::vector<TSplitPiece>& Pieces, int& Exit,
                std::optional<TFailure>& Why, std::ostream& Err) {
    const int64_t Length = Engine.DataInfo.LengthMs;
    if (!O.Cue.empty()) {
        try {
            Pieces = PiecesFromCue(ReadCueSheet(O.Cue, O.Source, CodePage));
        } catch (const ECueSheetError& E) {
            Why = TFailure{"CueSheetError", E.what()};
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
        Why = TFailure{"NoPiece", "no piece to cut (every one would be shorter than --min-piece)"};
        Exit = ExitNegative;
        return false;
    }
    return true;
}

// Why Folder can be neither found nor made: it, or the nearest folder above
// it that exists, is no folder, or its path cannot be followed (a loop of
// links, a name longer than the system allows, no right to look). None when
// it is a folder or can be made.
std::error_code FolderProblem(const fs::path& Folder) {
    for (fs::path P = Folder; !P.empty(); P = P.parent_path()) {
        std::error_code Ec;
        const fs::file_status Status = fs::status(P, Ec);
        if (fs::exists(Status))
            return fs::is_directory(Status) ? std::error_code() : std::make_error_code(std::errc::not_a_directory);
        if (Ec && Ec != std::errc::no_such_file_or_directory) return Ec;
        if (P == P.parent_path()) break;
    }
    return {};
}

// What the real run would refuse of a piece's target: an entry of its name
// that is kept without --overwrite, or that no save replaces.
std::optional<TFailure> ForetoldRefusal(const TSplitOptions& O, const TSplitPiece& P) {
    const auto Refused = [&](TSaveFailure Why) { return SaveFailure(Why, 0, O.Source, P.FileName); };
    if (SameTarget(O.Source, P.FileName)) return Refused(TSaveFailure::TargetIsSource);
    std::error_code Ec;
    const fs::file_status Entry = fs::symlink_status(P.FileName, Ec);
    if (!fs::exists(Entry)) return std::nullopt;
    if (!O.Overwrite) return Refused(TSaveFailure::TargetExists);
    if (fs::is_directory(Entry)) return Refused(TSaveFailure::TargetIsFolder);
    if (!fs::is_regular_file(Entry) && !fs::is_symlink(Entry)) return Refused(TSaveFailure::TargetNotRegular);
    return std::nullopt;
}

// What a piece is saved with beside its range.
struct TPieceTags {
    int CodePage = 0;
    int Tracks = 0;      // the highest number of a piece
    TId3v2Tag SourceV2;  // the source's tag, when its frames are carried over
};

TPieceResult CutPiece(TVekMP3& Engine, const TSplitOptions& O, const TSplitPiece& P, TPieceChain& Chain,
                      const TPieceTags& Tags, std::ostream& Err) {
    TPieceResult R;
    // A sheet may name times beyond what a cut takes: such a piece starts
    // where no audio is left, as its end is clamped to the end of the audio.
    const auto Start = static_cast<int32_t>(std::min<int64_t>(P.StartMs, INT32_MAX));
    const auto End = static_cast<int32_t>(std::min<int64_t>(P.EndMs, INT32_MAX));
    try {
        if (O.DryRun) {
            R.Result = Engine.MeasureSegment(Start, End, R.ByteCount, R.DurationMs, &Chain, O.Exact);
            R.Done = R.Result;
            R.StartMs = static_cast<int64_t>(Chain.PieceStartMs);
            if (R.Result && R.ByteCount == 0)
                R.Reason = SaveFailure(TSaveFailure::NothingToSave, 0, O.Source, P.FileName);
            if (!R.Reason) R.Reason = ForetoldRefusal(O, P);
            if (R.Reason) R.Result = false;
            return R;
        }
        if (SameTarget(O.Source, P.FileName)) {
            R.Reason = SaveFailure(TSaveFailure::TargetIsSource, 0, O.Source, P.FileName);
            return R;
        }
        TSaveOptions Save;
        Save.Chain = &Chain;
        // A link planted at a piece's name is replaced, never written through:
        // the names come from a sheet.
        Save.Existing = O.Overwrite ? TExisting::ReplaceName : TExisting::Keep;
        Save.Exact = O.Exact;
        Save.Fades = {static_cast<int32_t>(O.FadeInMs), static_cast<int32_t>(O.FadeOutMs)};
        const TTagTexts Texts = PieceTexts(P, Engine.DataInfo, Tags.CodePage);
        const TId3v1Tag Tag = O.Tag ? MakeTagRecordFromUtf8(Texts, Tags.CodePage) : TId3v1Tag{};
        if (O.Id3v2)
            Save.LeadingBytes = Tags.SourceV2.Render(
                PieceId3v2Texts(P, Tags.Tracks, Texts, Tags.SourceV2, !O.NoCopyTags), !O.NoCopyTags);
        if (O.Tag && !O.Id3v2) WarnOfTextsNotKept(Texts, Tags.CodePage, P.FileName, Err);
        R.Result = Engine.SaveSegment(Start, End, P.FileName, Tag, R.ByteCount, R.DurationMs, Save);
        R.Done = R.Result;
        R.StartMs = static_cast<int64_t>(Chain.PieceStartMs);
        if (R.Result)
            R.FileBytes = FileBytesOf(P.FileName);
        else
            R.Reason = SaveFailure(Engine, O.Source, P.FileName);
    } catch (const std::exception& E) {
        R.Raised = true;
        const TFailure F = FailureOf(E);
        R.Reason = TFailure{F.Code, Quoted(P.FileName) + ": " + F.Text};
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

json PieceJson(const TSplitOptions& O, const TSplitPiece& P, const TPieceResult& R) {
    json J = {{"Name", P.FileName}, {"StartMs", StartOf(P, R)}, {"EndMs", EndOf(P, R)}, {"ByteCount", R.ByteCount}};
    if (R.FileBytes >= 0) J["FileBytes"] = R.FileBytes;
    J["DurationMs"] = R.DurationMs;
    if (O.DryRun) J["DryRun"] = true;
    if (!O.DryRun || R.Reason) J["Result"] = R.Result && !R.Reason;
    if (R.Reason) J["Reason"] = ReasonJson(*R.Reason);
    return J;
}

}  // namespace

int RunSplit(const TSplitOptions& O, std::ostream& Out, std::ostream& Err) {
    const auto Fail = [&](int Exit, const TFailure& F) { return Failed(Exit, F, O.Json, Out, Err); };
    std::string Bad;
    if (!CheckNamePattern(O.NamePattern, Bad))
        return Fail(ExitUsage, {"UsageError", "--name: unknown placeholder \"" + Bad +
                                                  "\" (use {n}, {title}, {performer}, {album}, {name})"});
    TPieceTags Tags;
    Tags.CodePage = SystemAnsiCodePage();
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
        if (!Engine.DataInfo.Valid)
            return Fail(ExitNegative, {"SourceNotValid", Quoted(O.Source) + " is not an MP3 file"});
        // Refused once for all pieces, before any is written.
        if ((O.FadeInMs > 0 || O.FadeOutMs > 0) && (Engine.DataInfo.Layer != 3 || Engine.DataInfo.FreeFormat))
            return Fail(ExitNegative, SaveFailure(TSaveFailure::GainUnchangeable, 0, O.Source, O.Source));
        std::optional<TFailure> Why;
        int Exit = ExitOk;
        if (!PlanPieces(O, Engine, Tags.CodePage, Pieces, Exit, Why, Err)) return Fail(Exit, *Why);
        if (O.Id3v2 && !O.DryRun) {
            TId3v2Tag::RequireTagLib();
            if (!O.NoCopyTags) Tags.SourceV2 = TId3v2Tag::Read(O.Source);
        }
    } catch (const std::exception& E) {
        return Fail(ExitError, FailureOf(E));
    }
    for (const TSplitPiece& P : Pieces) Tags.Tracks = std::max(Tags.Tracks, P.Number);

    const std::string Folder = O.OutputDir.empty() ? fs::path(O.Source).parent_path().string() : O.OutputDir;
    const std::string Pattern = O.NamePattern.empty() ? DefaultNamePattern(!O.Cue.empty()) : O.NamePattern;
    NamePieces(Pieces, Pattern, fs::path(O.Source).stem().string(), Folder);
    if (!Folder.empty()) {
        // A dry run foretells what the real run would say of the folder.
        std::error_code Ec = FolderProblem(Folder);
        if (!Ec && !O.DryRun && !fs::create_directories(Folder, Ec) && Ec) {
            std::error_code Made;
            if (fs::is_directory(Folder, Made)) Ec.clear();
        }
        if (Ec)
            return Fail(ExitError, {"FolderNotMade", "cannot make the folder " + Quoted(Folder) + ": " + Ec.message()});
    }

    TPieceChain Chain;
    json Report = json::array();
    std::vector<std::string> Failed;
    bool Raised = false;
    for (const TSplitPiece& P : Pieces) {
        const TPieceResult R = CutPiece(Engine, O, P, Chain, Tags, Err);
        Raised = Raised || R.Raised;
        if (R.Reason) Failed.push_back(fs::path(P.FileName).filename().string());
        if (R.Reason && !O.DryRun) Complain(Err, "Not saved: " + R.Reason->Text);
        if (O.Json)
            Report.push_back(PieceJson(O, P, R));
        else if (O.DryRun)
            Out << MsToTimeCode(StartOf(P, R)) << "  " << EndText(P, R) << "  " << P.FileName
                << (R.Reason ? "  (" + R.Reason->Text + ")" : "") << "\n";
        else if (R.Result)
            Out << "Saved: " << P.FileName << " (" << MsToTimeCode(StartOf(P, R)) << " - " << EndText(P, R) << ", "
                << R.ByteCount << " bytes)\n";
    }
    if (O.Json) Out << Dump(Report) << "\n";
    if (Failed.empty()) return ExitOk;
    std::string Names;
    for (const std::string& Name : Failed) Names += " " + Quoted(Name);
    Complain(Err, std::to_string(Failed.size()) + " of " + std::to_string(Pieces.size()) + " pieces " +
                      (O.DryRun ? "would not be saved" : "were not saved") + ":" + Names);
    return Raised ? ExitError : ExitNegative;
}

}  // namespace SegmoraCli
