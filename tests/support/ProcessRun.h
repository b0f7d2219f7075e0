// Runs a program of the build as a separate process and collects what it
// printed, for the tests of segmora-cli.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace TestProcess {

struct TRun {
    int ExitCode = -1;  // the exit status, or 128 + the signal that ended it
    std::string Out, Err;
};

struct TRunOptions {
    // LC_ALL for the child (the locale decides the code page of tag texts);
    // empty: the environment stays as it is.
    std::string Locale;
    // When positive, SIGINT is sent after this time, as Ctrl-C would.
    std::chrono::milliseconds InterruptAfter{0};
    // When given, the child's standard output goes to this file (opened for
    // writing, as a shell's ">" would) instead of being collected.
    std::string StdoutFile;
    // When set, the child's standard output is a pipe nobody reads from.
    bool StdoutClosedPipe = false;
    // When positive, the largest file the child may write (RLIMIT_FSIZE).
    int64_t FileSizeLimit = 0;
    // Called with the child's id while it runs, before it is waited for.
    std::function<void(pid_t)> WhileRunning;
};

TRun Run(const std::string& Program, const std::vector<std::string>& Args, const TRunOptions& Options = {});

// Text split at line feeds; no empty line for a final line feed.
std::vector<std::string> Lines(const std::string& Text);

}  // namespace TestProcess
