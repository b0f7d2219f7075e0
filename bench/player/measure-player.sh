#!/usr/bin/env bash
# Measures the media player on a generated 60-minute file: seek-to-sound at
# positions all over the file, how long PlayRange/StopPlay/the polls block the
# caller, the analysis and Open times, and the position's error against the
# wall clock. Run by hand; nothing here is a test.
#
#   bench/player/measure-player.sh [--output null|auto]
#
# Environment:
#   SEGMORA_BENCH_DIR   scratch directory (default /tmp/segmora-bench); the
#                       60-minute source stays there for the next run
set -euo pipefail

REPO=$(cd "$(dirname "$0")/../.." && pwd)
SCRATCH=${SEGMORA_BENCH_DIR:-/tmp/segmora-bench}
OUTPUT=null
[ "${1:-}" = "--output" ] && OUTPUT=${2:-null}
for cmd in sox lame; do
    command -v "$cmd" >/dev/null || { echo "needs $cmd (apt-get install sox lame)" >&2; exit 1; }
done
mkdir -p "$SCRATCH"

# The same 60-minute CBR source as bench/run-bench.sh (about two minutes to make, once).
SRC=$SCRATCH/cbr128-60min.mp3
if [ ! -s "$SRC" ]; then
    echo "Generating $SRC ..."
    sox -R -D -n -r 44100 -c 2 -b 16 -t wav - synth 3600 sine 200-2000 pinknoise tremolo 0.7 60 2>/dev/null |
        lame --quiet -q 7 --cbr -b 128 - "$SRC.part"
    mv "$SRC.part" "$SRC"
fi

BUILD=$REPO/build-bench
cmake -S "$REPO" -B "$BUILD" -G Ninja -DSEGMORA_GUI=OFF -DSEGMORA_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target segmora_player segmora_engine >/dev/null
g++ -std=c++20 -O2 -I"$REPO" "$REPO/bench/player/PlayerMeasure.cpp" \
    "$BUILD/player/libsegmora_player.a" "$BUILD/engine/libsegmora_engine.a" \
    "$BUILD/platform/libsegmora_platform.a" \
    $(pkg-config --libs libmpg123 libout123) -lpthread -o "$BUILD/player-measure"

# Once with the file in the page cache (the usual case right after opening it).
cat "$SRC" >/dev/null
"$BUILD/player-measure" "$SRC" --output "$OUTPUT" --seeks 40
