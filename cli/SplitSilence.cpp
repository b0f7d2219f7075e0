#include <stdexcept>

#include "cli/CliShared.h"

namespace SegmoraCli {
std::vector<int64_t> SilenceSplits(const TSplitOptions&, const TMp3DataInfo&,
                                   const std::function<void(int64_t, int64_t)>&) {
    throw std::runtime_error("splitting by silence is not built yet");
}
}  // namespace SegmoraCli
