#!/usr/bin/env bash
# Builds the Debian package from a build folder (cpack -G DEB), unpacks it into
# a scratch root (dpkg -x) and runs the installed programs from there as a user
# without write access to that tree (nobody): segmora-cli info and cut on a
# fixture, and the window on Qt's offscreen platform for two seconds.
#
#   scripts/test-package.sh [BUILD_DIR]     (default: build, already built)
#
# Switching to that user needs root (as on CI) or sudo; without either the
# test is skipped with a message and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
fixture=$PWD/tests/fixtures/cbr128.mp3
nobody=65534

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null; then
    as_root=(sudo)
else
    echo "test-package: skipped: running the package as an unprivileged user needs root or sudo"
    exit 0
fi
for tool in cpack dpkg-deb dpkg-shlibdeps setpriv timeout; do
    command -v "$tool" >/dev/null || { echo "test-package: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -f "$build/CPackConfig.cmake" ] || { echo "test-package: $build is not a configured build folder" >&2; exit 1; }

scratch=$(mktemp -d)
trap '"${as_root[@]}" rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
failures=0
fail() {
    echo "test-package: FAIL: $*" >&2
    failures=$((failures + 1))
}

echo "test-package: building the package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; exit 1; }
deb=$(ls "$scratch"/package/*.deb)
depends=$(dpkg-deb --field "$deb" Depends)
echo "test-package: $(basename "$deb"), Depends: $depends"
# The dependencies come from the libraries the programs link.
for lib in libmpg123-0 libout123-0 libstdc++6 $([ -f "$build/bin/segmora" ] && echo libqt6widgets6); do
    [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib"
done

# The unpacked tree belongs to the one who unpacked it and is only readable by
# others; the unprivileged user gets a home and a runtime folder of its own.
root=$scratch/root
dpkg -x "$deb" "$root"
chmod -R a+rX,go-w "$root"
mkdir -m 755 "$scratch/data"
cp "$fixture" "$scratch/data/"
chmod a+r "$scratch/data/"*
mkdir -m 700 "$scratch/home" "$scratch/run"
"${as_root[@]}" chown "$nobody:$nobody" "$scratch/home" "$scratch/run"

as_nobody() {
    "${as_root[@]}" setpriv --reuid=$nobody --regid=$nobody --clear-groups \
        env -i PATH=/usr/bin:/bin HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" LANG=C.UTF-8 "$@"
}
bin=$root/usr/bin

as_nobody test -w "$bin" && fail "the unprivileged user can write to the installed tree"

out=$(as_nobody "$bin/segmora-cli" info "$scratch/data/cbr128.mp3" 2>&1) || fail "segmora-cli info exited $?: $out"
[[ $out == *"Encoding: MPEG 1 Layer 3"* ]] || fail "segmora-cli info printed: $out"
out=$(as_nobody "$bin/segmora-cli" cut "$scratch/data/cbr128.mp3" "$scratch/home/piece.mp3" --start 500 --end 1500 2>&1) ||
    fail "segmora-cli cut exited $?: $out"
[ -s "$scratch/home/piece.mp3" ] || fail "segmora-cli cut made no file: $out"

if [ -x "$bin/segmora" ]; then
    out=$(as_nobody "$bin/segmora" --version 2>&1) || fail "segmora --version exited $?: $out"
    # Still running after two seconds is success: the window was up.
    rc=0
    as_nobody QT_QPA_PLATFORM=offscreen timeout 2 "$bin/segmora" >"$scratch/window.log" 2>&1 || rc=$?
    if [ $rc -ne 124 ]; then
        fail "the window ended by itself after less than two seconds (exit $rc):"
        cat "$scratch/window.log" >&2
    fi
fi

if [ $failures -ne 0 ]; then
    exit 1
fi
echo "test-package: the installed package runs as an unprivileged user"
