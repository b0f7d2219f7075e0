#!/usr/bin/env bash
# Installs what is missing, builds, and starts Segmora (with the file named, if any).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/bin/segmora ]; then
  exec build/bin/segmora "$@"
else
  exec build/bin/segmora-cli --help
fi
