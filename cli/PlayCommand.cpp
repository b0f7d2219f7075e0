#include "CliCommands.h"

namespace SegmoraCli {

int RunPlay(const TPlayOptions&, std::ostream&, std::ostream& Err) {
    Err << "segmora-cli: play is not available in this build\n";
    return ExitError;
}

} // namespace SegmoraCli
