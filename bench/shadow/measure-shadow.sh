#!/usr/bin/env bash
# Measures the window shadow's rebuild and move costs, on the offscreen
# platform and on a private X server with xcompmgr. Run by hand; nothing here
# is a test.
#
#   bench/shadow/measure-shadow.sh [ROUNDS]
set -euo pipefail

REPO=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$REPO/build-bench-shadow
ROUNDS=${1:-200}
cmake -S "$REPO" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSEGMORA_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j2 --target segmora_shadow_measure >/dev/null
MEASURE=$BUILD/bin/segmora_shadow_measure

echo "== offscreen"
QT_QPA_PLATFORM=offscreen "$MEASURE" "$ROUNDS"
echo "== X server with xcompmgr"
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    bash -c 'xcompmgr & sleep 0.5; QT_QPA_PLATFORM=xcb "$0" "$1"; kill %1' "$MEASURE" "$ROUNDS"
