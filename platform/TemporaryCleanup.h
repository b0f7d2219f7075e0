// Named temporary files that a signal ending the process removes first, so
// that an interrupted save leaves nothing behind, and the signals a program
// turns into write errors.
#pragma once

#include <string>

// Registers a file name for removal if SIGINT, SIGTERM or SIGHUP ends the
// process while the object lives. The process then ends as the signal would
// have ended it (a shell sees 130, 143 or 129). Signals the program handles
// or ignores itself are left to it.
class TCleanupOnSignal {
public:
    explicit TCleanupOnSignal(const std::string& FileName);
    ~TCleanupOnSignal();
    TCleanupOnSignal(const TCleanupOnSignal&) = delete;
    TCleanupOnSignal& operator=(const TCleanupOnSignal&) = delete;

    // False when the name could not be registered (too long, or too many at once).
    bool Armed() const { return FSlot >= 0; }

private:
    int FSlot = -1;
};

// SIGPIPE (a closed pipe) and SIGXFSZ (the file size limit) would end the
// process in the middle of a write; ignored, the write fails with EPIPE or
// EFBIG and is reported like any other write error.
void IgnoreWriteSignals();
