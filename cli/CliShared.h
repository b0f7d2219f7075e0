// What the commands of segmora-cli share beyond their interface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliReport.h"
#include "engine/Mp3DataInfo.h"
#include "engine/VekMp3.h"

namespace SegmoraCli {

// True when Target names Source under any name.
bool SameTarget(const std::string& Source, const std::string& Target);
// The analysis a cut needs: where the audio lies, not how long it is, so
// that the length walk over every frame is not made.
void AnalyseForCut(TVekMP3& Engine, const std::string& Source);
// The size of a file just saved, its tags and information frame included.
int64_t FileBytesOf(const std::string& FileName);

// The times at which a split by silence cuts the file Info describes where
// its audio lies: in the middle of each silence that the options describe
// and that neither begins the audio nor ends it, each at the start of a
// frame. The search measures the length too: Info.LengthMs is set. Progress
// is told the audio time scanned and the whole.
std::vector<int64_t> SilenceSplits(const TSplitOptions& Options, TMp3DataInfo& Info,
                                   const std::function<void(int64_t, int64_t)>& Progress);

}  // namespace SegmoraCli
