// Runs the built segmora-cli as a separate process and collects what it printed.
#pragma once

#include <string>
#include <vector>

struct TCliRun {
    int ExitCode = -1;  // -1 when it did not exit normally
    std::string Out, Err;
};

// Runs segmora-cli with Args. The child gets LC_ALL=Locale (the locale decides
// the code page of tag texts), and nothing else of the environment changes.
TCliRun RunCli(const std::vector<std::string>& Args, const std::string& Locale = "en_US.UTF-8");
