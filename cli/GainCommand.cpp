// segmora-cli gain: the level of a file or a range of it changed in steps of
// 1.5 dB without re-encoding, in place (the old file stays until the new one
// is complete) or to another file; and a recorded change undone.
#include <cmath>
#include <cstdio>

#include "cli/CliCommands.h"
#include "cli/CliShared.h"
#include "engine/FrameGain.h"
#include "engine/GainFile.h"

namespace SegmoraCli {

namespace {

TFailure RefusalOf(TGainRefusal Why, const std::string& File, bool Ranged) {
    const std::string F = Quoted(File);
    switch (Why) {
    case TGainRefusal::NotValid: return {"SourceNotValid", F + " is not an MP3 file"};
    case TGainRefusal::Unchangeable: break;
    case TGainRefusal::NoRecord:
        return {"NoUndoRecord", F + " carries no record of a change of gain to undo (gain --undo-info keeps one)"};
    case TGainRefusal::BadRecord:
        return {"BadUndoRecord", "the APE tag of " + F + " or the record of a change of gain in it cannot be read"};
    case TGainRefusal::OtherRange:
        return {"UndoRecordDiffers",
                F + " records a change of gain of other frames: undo that first (--undo), or change the same range"};
    case TGainRefusal::NothingInRange:
        return {"NothingToSave", Ranged ? "no frame of " + F + " lies in the range" : F + " holds no audio frame"};
    case TGainRefusal::None: break;
    }
    return {"GainUnchangeable", GainUnchangeableText(File)};
}

std::string DbText(double Db) {
    char Text[32];
    std::snprintf(Text, sizeof Text, "%+.1f", Db);
    return Text;
}

}  // namespace

int RunGain(const TGainOptions& O, std::ostream& Out, std::ostream& Err) {
    const auto Usage = [&](const std::string& Why) { return Failed(ExitUsage, {"UsageError", Why}, O.Json, Out, Err); };
    TGainRequest Request;
    Request.Undo = O.Undo;
    if (!O.Undo) {
        if (!O.Db) return Usage("give the change with --db X, or --undo");
        const double Steps = std::round(*O.Db / GainStepDb);
        if (Steps == 0)
            return Usage("--db " + json(*O.Db).dump() + " is less than half a step of 1.5 dB: nothing would change");
        if (std::abs(Steps) > MaxGlobalGain) return Usage("--db is beyond the gain's range of 255 steps of 1.5 dB");
        Request.Steps = static_cast<int>(Steps);
        Request.Record = O.UndoInfo;
        constexpr const char* Limit = "the longest time a range can take";
        std::string Why;
        if ((!O.Start.empty() && !ParseTimeOption(O.Start, "--start", Limit, Request.StartMs, Why)) ||
            (!O.End.empty() && !ParseTimeOption(O.End, "--end", Limit, Request.EndMs, Why)))
            return Usage(Why);
        if (!O.End.empty() && Request.EndMs <= Request.StartMs) return Usage("the start must lie before the end");
    }
    const bool InPlace = O.Target.empty() || SameTarget(O.File, O.Target);
    const std::string& Target = InPlace ? O.File : O.Target;
    TGainResult R;
    try {
        R = ChangeGain(O.File, Target, InPlace ? TExisting::Replace : ExistingRule(O.Overwrite), Request);
    } catch (const std::exception& E) {
        return Failed(ExitError, FailureOf(E), O.Json, Out, Err);
    }
    if (R.Refusal != TGainRefusal::None)
        return Failed(ExitNegative, RefusalOf(R.Refusal, O.File, !O.Start.empty() || !O.End.empty()), O.Json, Out, Err,
                      "Not changed: ");
    if (!R.Saved)
        return Failed(ExitNegative, SaveFailure(R.Failure, R.SystemError, O.File, Target), O.Json, Out, Err,
                      "Not saved: ");

    if (R.Clamped > 0 && !R.Recorded)
        Complain(Err, std::to_string(R.Clamped) +
                          " granules were held at the limit of their gain: the opposite change will not give back "
                          "the file's bytes (--undo-info keeps what they were)");
    if (O.Json) {
        Out << Dump(json{{"Result", true},
                         {"Name", O.File},
                         {"Target", Target},
                         {"Undo", O.Undo},
                         {"Steps", R.Steps},
                         {"Db", std::round(R.Steps * GainStepDb * 100.0) / 100.0},
                         {"Frames", R.Frames},
                         {"Granules", R.Granules},
                         {"Clamped", R.Clamped},
                         {"UndoRecord", R.Recorded},
                         {"FileBytes", FileBytesOf(Target)}})
            << "\n";
    } else {
        Out << (O.Undo ? "Undone: " : "Gain: ") << DbText(R.Steps * GainStepDb) << " dB (" << R.Steps
            << " steps of 1.5 dB) on " << R.Frames << " frames, " << R.Granules << " granules\n";
        if (R.Clamped > 0) Out << "Clamped: " << R.Clamped << " granules held at the limit of their gain\n";
        Out << "Undo record: " << (R.Recorded ? "kept in the APE tag" : "none") << "\n"
            << (InPlace ? "Changed: " : "Saved: ") << Target << "\n";
    }
    return ExitOk;
}

}  // namespace SegmoraCli
