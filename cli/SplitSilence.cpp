#include <cmath>

#include "cli/CliShared.h"
#include "player/SilenceScan.h"

namespace SegmoraCli {

std::vector<int64_t> SilenceSplits(const TSplitOptions& Options, TMp3DataInfo& Info,
                                   const std::function<void(int64_t, int64_t)>& Progress) {
    TSilenceScanOptions Scan;
    Scan.ThresholdDb = Options.ThresholdDb;
    Scan.MinSilenceMs = Options.MinSilenceMs;
    TSilenceScanFacts Facts;
    const std::vector<TSilence> Runs = FindSilences(Info.FileName, Scan, Progress, &Facts);
    Info.LengthMs = Facts.LengthMs;
    std::vector<int64_t> Splits;
    for (const TSilence& Run : Runs) {
        // Silence before the first sound or after the last is no gap between pieces.
        if (Run.FirstFrame == 0 || Run.EndMs >= double(Info.LengthMs)) continue;
        // A skip to a start stops on the first frame that begins at or after
        // it; the middle frame begins at SplitMs, and the frame before it
        // more than a millisecond earlier.
        const auto At = static_cast<int64_t>(std::floor(Run.SplitMs));
        if (Splits.empty() || At > Splits.back()) Splits.push_back(At);
    }
    return Splits;
}

}  // namespace SegmoraCli
