// What the fuzz targets do when an input breaks a check of their own: say
// which, and abort, so that libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

[[noreturn]] inline void Fail(const char* What, const std::string& Detail = std::string()) {
    std::fprintf(stderr, "\n*** invariant broken: %s%s%s\n", What, Detail.empty() ? "" : ": ", Detail.c_str());
    std::abort();
}

inline void Check(bool Condition, const char* What, const std::string& Detail = std::string()) {
    if (!Condition) Fail(What, Detail);
}
