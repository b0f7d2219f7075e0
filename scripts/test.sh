#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build with
# the window program (its Chinese edition) with compiler warnings as errors,
# clang-tidy over our sources, the international edition's window program and
# its window tests, the Debian package installed into a scratch
# root and run from there, a short fuzz run of the engine, then the engine,
# platform, player and CLI tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

JOBS=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEGMORA_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"
(cd build && ctest --output-on-failure -j "$JOBS")

# Static analysis of our sources with that build's compile database (.clang-tidy).
scripts/clang-tidy.sh build

# The international edition: only the window program and the window tests differ.
cmake -S . -B build-intl -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSEGMORA_EDITION=International \
    -DSEGMORA_BENCH=OFF -DSEGMORA_WERROR=ON >/dev/null
cmake --build build-intl -j "$JOBS" --target segmora segmora_window_tests
(cd build-intl && ctest --output-on-failure -j "$JOBS" -L window)

# The Debian package of that build, unpacked and run as an unprivileged user
# (needs root or sudo; skipped with a message otherwise).
scripts/test-package.sh build

# Short fuzz runs of the engine, the sponsor window's parsers and the text
# parsers over their seed corpora (clang's libFuzzer).
fuzz/run-fuzz-smoke.sh

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSEGMORA_SANITIZE=ON -DSEGMORA_GUI=OFF \
    -DSEGMORA_WERROR=ON >/dev/null
cmake --build build-asan -j "$JOBS"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j "$JOBS")
