#include "cli/CliReport.h"

#include <system_error>

#include "platform/FileStream.h"
#include "platform/Id3v2Tag.h"

namespace SegmoraCli {

std::string Dump(const json& J) { return J.dump(2, ' ', false, json::error_handler_t::replace); }

json ReasonJson(const TFailure& Failure) { return {{"Code", Failure.Code}, {"Text", Failure.Text}}; }

json FailureJson(const TFailure& Failure) { return {{"Result", false}, {"Reason", ReasonJson(Failure)}}; }

void Complain(std::ostream& Err, const std::string& Text) { Err << "segmora-cli: " << Text << "\n"; }

std::string Quoted(const std::string& FileName) { return "\"" + FileName + "\""; }

int Failed(int Exit, const TFailure& Failure, bool Json, std::ostream& Out, std::ostream& Err,
           const std::string& Lead) {
    Complain(Err, Lead + Failure.Text);
    if (Json) Out << Dump(FailureJson(Failure)) << "\n";
    return Exit;
}

TFailure FailureOf(const std::exception& E) {
    const char* Code = "Error";
    if (dynamic_cast<const EReadError*>(&E))
        Code = "ReadError";
    else if (dynamic_cast<const EWriteError*>(&E))
        Code = "WriteError";
    else if (dynamic_cast<const EFOpenError*>(&E))
        Code = "OpenError";
    else if (dynamic_cast<const EId3v2Error*>(&E))
        Code = "TagError";
    return {Code, E.what()};
}

namespace {

const char* SaveFailureCode(TSaveFailure Why) {
    switch (Why) {
    case TSaveFailure::None: break;
    case TSaveFailure::SourceMissing: return "SourceMissing";
    case TSaveFailure::SourceNotValid: return "SourceNotValid";
    case TSaveFailure::TargetIsSource: return "TargetIsSource";
    case TSaveFailure::TargetNameEmpty: return "TargetNameEmpty";
    case TSaveFailure::TargetIsFolder: return "TargetIsFolder";
    case TSaveFailure::TargetNotRegular: return "TargetNotRegular";
    case TSaveFailure::TargetNotWritable: return "TargetNotWritable";
    case TSaveFailure::TargetNotCreated: return "TargetNotCreated";
    case TSaveFailure::TargetNotReplaced: return "TargetNotReplaced";
    case TSaveFailure::TargetExists: return "TargetExists";
    case TSaveFailure::NothingToSave: return "NothingToSave";
    case TSaveFailure::GainUnchangeable: return "GainUnchangeable";
    }
    return "NotSaved";
}

}  // namespace

TFailure SaveFailure(const TVekMP3& Engine, const std::string& Source, const std::string& Target) {
    return SaveFailure(Engine.LastSaveFailure(), Engine.LastSaveError(), Source, Target);
}

TFailure SaveFailure(TSaveFailure Why, int Error, const std::string& Source, const std::string& Target) {
    const std::string T = Quoted(Target);
    std::string Text;
    switch (Why) {
    case TSaveFailure::SourceNotValid: Text = Quoted(Source) + " is not an MP3 file"; break;
    case TSaveFailure::SourceMissing: Text = Quoted(Source) + " no longer exists"; break;
    case TSaveFailure::TargetIsSource: Text = T + " is the file it is cut from"; break;
    case TSaveFailure::TargetNameEmpty: Text = "no name was given for the new file"; break;
    case TSaveFailure::TargetIsFolder: Text = T + " is a folder"; break;
    case TSaveFailure::TargetNotRegular: Text = T + " is not a regular file (a FIFO, device or socket)"; break;
    case TSaveFailure::TargetExists: Text = T + " exists already (--overwrite or -y replaces it)"; break;
    case TSaveFailure::NothingToSave: Text = T + " would start after the end of the audio"; break;
    case TSaveFailure::GainUnchangeable: Text = GainUnchangeableText(Source); break;
    case TSaveFailure::None:
    case TSaveFailure::TargetNotWritable:
    case TSaveFailure::TargetNotCreated:
    case TSaveFailure::TargetNotReplaced:
        Text = T + ": " + (Error ? std::generic_category().message(Error) : "the new file could not be created");
        break;
    }
    return {SaveFailureCode(Why), Text};
}

std::string GainUnchangeableText(const std::string& File) {
    return "the level of " + Quoted(File) +
           " cannot change without re-encoding: only layer III frames with a bit rate in their headers carry a "
           "gain (not layers I and II, not free format)";
}

TExisting ExistingRule(bool Overwrite) { return Overwrite ? TExisting::Replace : TExisting::Keep; }

}  // namespace SegmoraCli
