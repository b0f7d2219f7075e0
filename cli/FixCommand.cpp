// segmora-cli fix: a file rewritten so that players read it right, in place
// (the old file stays until the new one is complete) or to another file.
#include "cli/CliCommands.h"
#include "cli/CliShared.h"

#include <optional>

#include "engine/RepairFile.h"
#include "engine/TimeCode.h"

namespace SegmoraCli {

namespace {

const char* StateName(TRecordState State) {
    switch (State) {
    case TRecordState::Fits: return "Fits";
    case TRecordState::Stale: return "Stale";
    case TRecordState::Missing: return "Missing";
    case TRecordState::None: break;
    }
    return "None";
}

json MarkerJson(TInfoMarker Marker) {
    switch (Marker) {
    case TInfoMarker::Xing: return "Xing";
    case TInfoMarker::Info: return "Info";
    case TInfoMarker::Vbri: return "VBRI";
    case TInfoMarker::None: break;
    }
    return nullptr;
}

// The frame and byte counts the information frame gives, as they stand in it.
std::optional<uint32_t> RecordFrames(const TInfoFrame& R) {
    if (R.Vbri) return R.Vbri->Frames;
    return R.Frames;
}
std::optional<uint32_t> RecordBytes(const TInfoFrame& R) {
    if (R.Vbri) return R.Vbri->Bytes;
    return R.Bytes;
}

json Optional(const std::optional<uint32_t>& V) { return V ? json(*V) : json(nullptr); }

json SurveyJson(const TRepairSurvey& S) {
    return {
        {"NeedsFix", S.NeedsRepair()},
        {"Frames", S.Frames},
        {"ByteCount", S.AudioBytes},
        {"DurationMs", static_cast<int64_t>(S.Ms)},
        {"InformationFrame",
         {{"State", StateName(S.RecordState)},
          {"Marker", MarkerJson(S.Record.Marker)},
          {"Frames", Optional(RecordFrames(S.Record))},
          {"Bytes", Optional(RecordBytes(S.Record))}}},
        {"InnerInformationFrames", S.InnerRecords},
        {"InnerTags", S.InnerTags},
        {"InnerBytes", S.InnerBytes},
        {"StrayBytes", S.StrayBytes},
        {"StrayPlaces", S.StrayPlaces},
        {"TruncatedBytes", S.TruncatedBytes},
    };
}

std::string Count(const std::optional<uint32_t>& V) { return V ? std::to_string(*V) : "no"; }

void PrintSurvey(const TRepairSurvey& S, std::ostream& Out) {
    Out << "File: " << S.Info.FileName << "\n"
        << "Frames: " << S.Frames << " (" << S.AudioBytes << " bytes, " << MsToTimeCode(static_cast<int64_t>(S.Ms))
        << ")\n";
    switch (S.RecordState) {
    case TRecordState::Fits: Out << "Information frame: fits\n"; break;
    case TRecordState::Stale:
        Out << "Information frame: stale, it says " << Count(RecordFrames(S.Record)) << " frames and "
            << Count(RecordBytes(S.Record)) << " bytes\n";
        break;
    case TRecordState::Missing: Out << "Information frame: missing, and the bit rate varies\n"; break;
    case TRecordState::None: Out << "Information frame: none, none needed at a constant bit rate\n"; break;
    }
    if (S.InnerRecords > 0) Out << "Information frames inside the audio: " << S.InnerRecords << "\n";
    if (S.InnerTags > 0) Out << "ID3v2 tags inside the audio: " << S.InnerTags << "\n";
    if (S.StrayBytes > 0) Out << "Stray bytes: " << S.StrayBytes << " in " << S.StrayPlaces << (S.StrayPlaces == 1 ? " place\n" : " places\n");
    if (S.TruncatedBytes > 0) Out << "Last frame cut short: " << S.TruncatedBytes << " bytes\n";
}

}  // namespace

int RunFix(const TFixOptions& O, std::ostream& Out, std::ostream& Err) {
    const bool InPlace = O.Target.empty() || SameTarget(O.File, O.Target);
    const std::string& Target = InPlace ? O.File : O.Target;
    TRepairSurvey S;
    bool Wrote = false;
    try {
        S = SurveyFile(O.File);
        if (!S.Info.Valid)
            return Failed(ExitNegative, {"SourceNotValid", Quoted(O.File) + " is not an MP3 file"}, O.Json, Out, Err);
        // In place, a file that needs nothing is left as it is.
        if (!O.DryRun && (S.NeedsRepair() || !InPlace)) {
            if (S.Frames == 0)
                return Failed(ExitNegative, {"NothingToSave", Quoted(O.File) + " holds no audio frame"}, O.Json, Out,
                              Err, "Not saved: ");
            const TRepairResult R =
                WriteRepaired(S, Target, InPlace ? TExisting::Replace : ExistingRule(O.Overwrite));
            if (!R.Saved)
                return Failed(ExitNegative, SaveFailure(R.Failure, R.SystemError, O.File, Target), O.Json, Out, Err,
                              "Not saved: ");
            Wrote = true;
        }
    } catch (const std::exception& E) {
        return Failed(ExitError, FailureOf(E), O.Json, Out, Err);
    }

    if (O.Json) {
        json J = {{"Name", O.File}, {"Target", Target}};
        if (O.DryRun)
            J["DryRun"] = true;
        else
            J["Result"] = true;
        J.update(SurveyJson(S));
        if (Wrote) J["FileBytes"] = FileBytesOf(Target);
        Out << Dump(J) << "\n";
    } else {
        PrintSurvey(S, Out);
        if (O.DryRun)
            Out << (S.NeedsRepair() ? "Would fix: " : "Nothing to fix: ") << O.File << "\n";
        else if (Wrote)
            Out << (InPlace ? "Fixed: " : "Saved: ") << Target << "\n";
        else
            Out << "Nothing to fix: " << O.File << "\n";
    }
    return O.DryRun && S.NeedsRepair() ? ExitNegative : ExitOk;
}

}  // namespace SegmoraCli
