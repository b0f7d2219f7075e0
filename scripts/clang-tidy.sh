#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over our own sources (the
# layers: platform, engine, player, widgets, shadow, editor, sponsor, cli;
# not the tests, benchmarks, fuzz targets or generated files), as a build
# compiles them: with its compile database. Any warning fails the run.
#
#   scripts/clang-tidy.sh [BUILD_DIR]      default: build
#
# The build must have been configured (CMake writes compile_commands.json)
# and built, so that the generated headers exist.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build}
TIDY=$(command -v clang-tidy-14 || command -v clang-tidy || true)
if [ -z "$TIDY" ]; then
    echo "clang-tidy is not installed (Debian package clang-tidy)" >&2
    exit 1
fi
if [ ! -f "$BUILD/compile_commands.json" ]; then
    echo "no $BUILD/compile_commands.json: configure and build first" >&2
    exit 1
fi

# The sources of the layers that the database compiles, each once.
mapfile -t Files < <(python3 - "$BUILD/compile_commands.json" "$PWD" <<'EOF'
import json, os, re, sys
root = os.path.realpath(sys.argv[2])
seen = set()
for entry in json.load(open(sys.argv[1])):
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    rel = os.path.relpath(path, root)
    if re.match(r"(platform|engine|player|widgets|shadow|editor|sponsor|cli)/[^/]+\.cpp$", rel) and rel not in seen:
        seen.add(rel)
        print(rel)
EOF
)
if [ "${#Files[@]}" -eq 0 ]; then
    echo "no sources of ours in $BUILD/compile_commands.json" >&2
    exit 1
fi

echo "clang-tidy: ${#Files[@]} files"
Log=$(mktemp)
trap 'rm -f "$Log"' EXIT
Start=$SECONDS
Status=0
printf '%s\n' "${Files[@]}" | xargs -P "$(nproc)" -n 2 "$TIDY" -p "$BUILD" --quiet >"$Log" 2>/dev/null || Status=$?
if [ "$Status" -ne 0 ]; then
    cat "$Log"
    echo "clang-tidy: $(grep -c ': error: ' "$Log" || true) warnings (see above)" >&2
    exit 1
fi
echo "clang-tidy: clean ($((SECONDS - Start)) s)"
