// How every command of segmora-cli reports: errors, warnings and notes on
// the standard error, each a line beginning "segmora-cli: " that names the
// file and gives the system's reason; results on the standard output; a
// failure also as a JSON object where the command was asked for JSON. And
// the one rule for a file that stands where a new one is to be saved.
#pragma once

#include <nlohmann/json.hpp>

#include <exception>
#include <ostream>
#include <string>

#include "engine/VekMp3.h"

namespace SegmoraCli {

using json = nlohmann::ordered_json;

// JSON as every command prints it: two spaces, UTF-8 kept, bad bytes replaced.
std::string Dump(const json& J);

// Why something failed: a code that scripts can rely on ("UsageError",
// "TargetExists", the names of TSaveFailure, "ReadError", ...) and the text
// for people, without the program's name.
struct TFailure {
    std::string Code;
    std::string Text;
};

// {"Code": ..., "Text": ...}
json ReasonJson(const TFailure& Failure);
// {"Result": false, "Reason": {...}}: the report of a command that failed.
json FailureJson(const TFailure& Failure);

// One line "segmora-cli: Text" on Err.
void Complain(std::ostream& Err, const std::string& Text);
// A file name as the messages quote it.
std::string Quoted(const std::string& FileName);

// Reports a command's failure (on Err, after Lead, and as FailureJson on Out
// when Json) and returns Exit.
int Failed(int Exit, const TFailure& Failure, bool Json, std::ostream& Out, std::ostream& Err,
           const std::string& Lead = "");

// The failure an exception escaping a command stands for; its text names the
// file and the reason.
TFailure FailureOf(const std::exception& E);

// Why the engine's last save of Target, cut from Source, did not happen; the
// text follows "Not saved: " in a message.
TFailure SaveFailure(const TVekMP3& Engine, const std::string& Source, const std::string& Target);
// The same for a save that failed for Why, with the system's error number.
TFailure SaveFailure(TSaveFailure Why, int Error, const std::string& Source, const std::string& Target);

// Why fades or a change of gain are refused for File.
std::string GainUnchangeableText(const std::string& File);

// A file of a target's name is kept, and that save fails, unless the user
// said --overwrite (-y).
TExisting ExistingRule(bool Overwrite);

}  // namespace SegmoraCli
