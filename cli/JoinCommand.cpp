// segmora-cli join: one file from many of one format, with one information
// frame for the whole and the first file's tags.
#include "cli/CliCommands.h"
#include "cli/CliShared.h"

#include "engine/JoinFiles.h"
#include "engine/TimeCode.h"
#include "platform/Id3v2Tag.h"

namespace SegmoraCli {

namespace {

// The first input's ID3v2 tag as the result begins with it: its frames but
// those that describe only that file's audio (its length, say).
std::string FirstInputId3v2(const std::string& FileName) {
    const TId3v2Tag Tag = TId3v2Tag::Read(FileName);
    return Tag.Present() ? Tag.Render({}, true) : std::string();
}

TFailure JoinFailure(const TJoinResult& R, const TJoinOptions& O) {
    const std::string Input = R.Input < O.Inputs.size() ? Quoted(O.Inputs[R.Input]) : std::string();
    switch (R.Failure) {
    case TJoinFailure::InputNotValid: return {"SourceNotValid", Input + " is not an MP3 file"};
    case TJoinFailure::FormatDiffers:
        return {"FormatDiffers", Input + " does not match " + Quoted(O.Inputs.front()) + ": " + R.Difference};
    case TJoinFailure::TargetIsInput:
        return {"TargetIsSource", Quoted(O.Target) + " is " + Input + ", one of the files to join"};
    case TJoinFailure::Target: return SaveFailure(R.TargetFailure, R.SystemError, O.Inputs.front(), O.Target);
    case TJoinFailure::NoInput:
    case TJoinFailure::None: break;
    }
    return {"UsageError", "no file to join"};
}

std::string JointText(const TJoint& J) {
    if (J.ExtraSamples == 0)
        return "exact" +
               (J.FramesDropped > 0 ? ", " + std::to_string(J.FramesDropped) + " repeated frames left out" : "");
    return "not exact: " + std::to_string(J.ExtraSamples) + " samples of padding and delay stay";
}

}  // namespace

int RunJoin(const TJoinOptions& O, std::ostream& Out, std::ostream& Err) {
    for (const std::string& Input : O.Inputs)
        if (SameTarget(Input, O.Target))
            return Failed(ExitUsage,
                          {"UsageError", Quoted(O.Target) + " is one of the files to join: the result cannot replace it"},
                          O.Json, Out, Err);
    TJoinSettings Settings;
    Settings.Exact = O.Exact;
    Settings.Existing = ExistingRule(O.Overwrite);
    Settings.Id3v1 = !O.NoTags;
    TJoinResult R;
    try {
        if (!O.NoTags) Settings.LeadingBytes = FirstInputId3v2(O.Inputs.front());
        R = JoinFiles(O.Inputs, O.Target, Settings);
    } catch (const std::exception& E) {
        return Failed(ExitError, FailureOf(E), O.Json, Out, Err);
    }
    if (R.Failure != TJoinFailure::None) return Failed(ExitNegative, JoinFailure(R, O), O.Json, Out, Err, "Not saved: ");

    const auto DurationMs = static_cast<int64_t>(R.Ms);
    const int64_t FileBytes = FileBytesOf(O.Target);
    if (O.Json) {
        json Joints = json::array();
        for (size_t I = 0; I < R.Joints.size(); ++I)
            Joints.push_back({{"Files", {O.Inputs[I], O.Inputs[I + 1]}},
                              {"FramesDropped", R.Joints[I].FramesDropped},
                              {"ExtraSamples", R.Joints[I].ExtraSamples}});
        Out << Dump(json{{"Result", true},
                         {"Name", O.Target},
                         {"Frames", R.Frames},
                         {"ByteCount", R.AudioBytes},
                         {"FileBytes", FileBytes},
                         {"DurationMs", DurationMs},
                         {"Joints", Joints}})
            << "\n";
        return ExitOk;
    }
    Out << "Saved: " << O.Target << "\n"
        << "Frames: " << R.Frames << "\n"
        << "Bytes: " << R.AudioBytes << "\n"
        << "File bytes: " << FileBytes << "\n"
        << "Length: " << MsToTimeCode(DurationMs) << "\n";
    if (O.Exact)
        for (size_t I = 0; I < R.Joints.size(); ++I)
            Out << "Joint " << Quoted(O.Inputs[I]) << " | " << Quoted(O.Inputs[I + 1]) << ": "
                << JointText(R.Joints[I]) << "\n";
    return ExitOk;
}

}  // namespace SegmoraCli
