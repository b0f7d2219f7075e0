// Runs the built segmora-cli as a separate process and collects what it printed.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ProcessRun.h"

using TCliRun = TestProcess::TRun;

// Runs segmora-cli with Args. The child gets LC_ALL=Locale (the locale decides
// the code page of tag texts), and nothing else of the environment changes.
inline TCliRun RunCli(const std::vector<std::string>& Args, const std::string& Locale = "en_US.UTF-8") {
    TestProcess::TRunOptions Options;
    Options.Locale = Locale;
    return TestProcess::Run(SEGMORA_CLI, Args, Options);
}
