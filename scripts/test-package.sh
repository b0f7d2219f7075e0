#!/usr/bin/env bash
# Builds the Debian package from a build folder (cpack -G DEB), unpacks it into
# a scratch root (dpkg -x) and runs the installed programs from there as a user
# without write access to that tree (nobody): segmora-cli info and cut on a
# fixture; and the window twice on an X server of its own (Xvfb, driven with
# xdotool): first opening the fixture named on its command line, then without
# a file. Each run is closed through the window's close button and its closing
# message, and must then end by itself (a message box, such as a settings file
# that cannot be written, would hold it); the first close must have made the
# settings file in the user's configuration folder, and the second start must
# have read it.
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
tools=(cpack dpkg-deb dpkg-shlibdeps setpriv timeout)
[ -f "$build/bin/segmora" ] && tools+=(Xvfb xdotool xwininfo xdpyinfo)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "test-package: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -f "$build/CPackConfig.cmake" ] || { echo "test-package: $build is not a configured build folder" >&2; exit 1; }

scratch=$(mktemp -d)
xvfb=
trap '[ -z "$xvfb" ] || kill "$xvfb"; "${as_root[@]}" rm -rf "$scratch"' EXIT
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

# The visible windows on the test's display, one "ID WIDTHxHEIGHT NAME" a line.
windows() {
    local id
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        echo "$id $(xwininfo -id "$id" 2>/dev/null | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')" \
            "$(xdotool getwindowname "$id" 2>/dev/null)"
    done
}

# Waits up to ten seconds for a visible window of SIZE (WIDTHxHEIGHT); its id.
window_sized() {
    local id
    for _ in $(seq 100); do
        id=$(windows | awk -v size="$1" '$2 == size { print $1; exit }')
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# Runs the installed window as the unprivileged user with ARGS, closes it with
# its close button (RzBmpButton1, at 540, 1 in the 592 x 452 window) and answers
# the closing message with "later" (RzButton2, at 252, 108 in the 364 x 156
# message); the window must then end by itself, with status 0.
run_window() {
    local what=$1 main message rc=0
    shift
    as_nobody DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$config" \
        timeout 30 "$bin/segmora" "$@" >"$scratch/window.log" 2>&1 &
    local job=$!
    if ! main=$(window_sized 592x452); then
        fail "$what: the window did not show"
    else
        # A file named on the command line opens once the window is up.
        sleep 1
        xdotool mousemove --window "$main" 560 10 click 1
        if ! message=$(window_sized 364x156); then
            fail "$what: no closing message; the windows: $(windows)"
        else
            sleep 0.2
            xdotool mousemove --window "$message" 294 122 click 1
            for _ in $(seq 100); do kill -0 "$job" 2>/dev/null || break; sleep 0.1; done
            kill -0 "$job" 2>/dev/null && fail "$what: still running after its close; the windows: $(windows)"
        fi
    fi
    wait "$job" || rc=$?
    [ $rc -eq 0 ] || { fail "$what: the window exited $rc"; cat "$scratch/window.log" >&2; }
}

if [ -x "$bin/segmora" ]; then
    out=$(as_nobody "$bin/segmora" --version 2>&1) || fail "segmora --version exited $?: $out"

    # A display of the test's own, without a window manager; Xvfb writes its
    # number once it takes connections. Without -noreset it resets when its
    # last client leaves, and refuses the next one while it does: the probe
    # below leaving would turn the window away.
    Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
    xvfb=$!
    for _ in $(seq 200); do [ -s "$scratch/display" ] && break; sleep 0.05; done
    [ -s "$scratch/display" ] || { cat "$scratch/xvfb.log" >&2; echo "test-package: Xvfb did not start" >&2; exit 1; }
    DISPLAY=:$(cat "$scratch/display")
    export DISPLAY
    # The number comes a moment before every client is let in: the window's
    # user waits until it is, or its first start fails to reach the display.
    for _ in $(seq 100); do as_nobody DISPLAY="$DISPLAY" xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
    # The user's configuration folder, which the first close makes.
    config=$scratch/home/config
    settings=$config/segmora/Segmora.ini

    run_window "the first start, with a file" "$scratch/data/cbr128.mp3"
    if as_nobody grep -q '^Default=' "$settings"; then
        # A stored language the second start must read and write back as it is.
        as_nobody sed -i 's/^Default=.*/Default=3/' "$settings"
        run_window "the second start"
        as_nobody grep -q '^Default=3$' "$settings" ||
            fail "the second start did not keep the stored setting: $(as_nobody cat "$settings")"
    else
        fail "the first close wrote no $settings"
    fi
fi

if [ $failures -ne 0 ]; then
    exit 1
fi
echo "test-package: the installed package runs as an unprivileged user"
