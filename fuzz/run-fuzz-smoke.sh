#!/usr/bin/env bash
# Builds the fuzz targets with clang in a build directory of their own
# (build-fuzz) and runs them briefly over their seed corpora through ctest:
# segmora_fuzz_analyse_save over fuzz/corpus, segmora_fuzz_sponsor (the
# sponsor window's reply parser and JPEG decoder) over fuzz/corpus-sponsor,
# segmora_fuzz_text (ini and language files, time codes, name patterns, CUE
# sheets) over fuzz/corpus-text. Quick when the build is up to date.
#
#   fuzz/run-fuzz-smoke.sh            configure, build, run the ctest smoke test
#
# A long run by hand, with a work corpus that git ignores:
#   mkdir -p fuzz-corpus-work
#   build-fuzz/bin/segmora_fuzz_analyse_save fuzz-corpus-work fuzz/corpus \
#       -max_len=8192 -timeout=5 -rss_limit_mb=2048 -max_total_time=1800
#   build-fuzz/bin/segmora_fuzz_sponsor fuzz-corpus-work fuzz/corpus-sponsor \
#       -max_len=65536 -timeout=5 -rss_limit_mb=2048 -max_total_time=1800
#   build-fuzz/bin/segmora_fuzz_text fuzz-corpus-work fuzz/corpus-text \
#       -max_len=4096 -timeout=5 -rss_limit_mb=2048 -max_total_time=1800
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${SEGMORA_FUZZ_BUILD:-build-fuzz}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DSEGMORA_FUZZ=ON -DSEGMORA_GUI=OFF -DSEGMORA_TESTS=OFF -DSEGMORA_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target segmora_fuzz_analyse_save segmora_fuzz_sponsor segmora_fuzz_text
ctest --test-dir "$BUILD/fuzz" --output-on-failure -L fuzz
