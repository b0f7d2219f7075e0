#!/usr/bin/env bash
# The window on a real X server of its own (Xvfb), driven by real pointer and
# key events (xdotool):
#   1. with a window manager (openbox): dragging the title band with the left
#      and with the right button moves the window, and the manager's close
#      request (wmctrl -c) closes it through the window's close path, which
#      shows the closing message and then writes the settings file (in the
#      user's configuration folder, which the first close makes);
#   2. the same with Alt+F4;
#   3. without a window manager: the band still moves the window (the window
#      follows the mouse itself), and the close button closes it.
# Usage: check-window-manager.sh PROGRAM (a window test program). Exits 77 (a
# skip for ctest) when a tool is missing.
set -euo pipefail

program=$1
# A settings file beside it would be a portable copy's, used in place of the user's.
rm -f "$(dirname "$program")/Segmora.ini"

need() {
    command -v "$1" >/dev/null || {
        echo "skipped: $1 is missing (Debian package $2)"
        exit 77
    }
}
need Xvfb xvfb
need openbox openbox
need xdotool xdotool
need wmctrl wmctrl
need xwininfo x11-utils

work=$(mktemp -d)
# The program keeps its settings in a configuration folder of this run's own.
export XDG_CONFIG_HOME=$work/config
settings=$XDG_CONFIG_HOME/segmora/Segmora.ini
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Polls COMMAND every 50 ms for up to 10 seconds (a loaded machine starts X slowly);
# TRIES=N polls N times instead.
until_true() {
    for _ in $(seq "${TRIES:-200}"); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.05
    done
    return 1
}

# A display of our own: Xvfb writes its number once it takes connections.
# It must not reset when its last client leaves (a probe, the window
# manager between two runs): it would turn the next one away meanwhile.
Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
until_true test -s "$work/display" || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 LC_ALL= LC_MESSAGES=

start_wm() {
    openbox --sm-disable 2>"$work/openbox.log" &
    wm=$!
    pids+=($wm)
    TRIES=600 until_true wmctrl -m || { echo "openbox did not start"; cat "$work/openbox.log"; exit 1; }
}

stop_wm() {
    kill "$wm"
    wait "$wm" 2>/dev/null || true
    until_true bash -c '! wmctrl -m' || true
}

start_program() {
    rm -rf "$XDG_CONFIG_HOME"
    "$program" 2>"$work/program.log" &
    app=$!
    pids+=($app)
    window=$(timeout 10 xdotool search --sync --onlyvisible --pid "$app" | head -n 1)
    [ -n "$window" ] || { echo "the window did not show"; cat "$work/program.log"; exit 1; }
    sleep 0.2
}

# The window's upper left corner on the screen.
position() {
    xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }'
}

# Drags the band with BUTTON from (300, 20) in the window by DX, DY in a few steps.
drag_band() {
    local button=$1 dx=$2 dy=$3 x y
    read -r x y < <(position)
    xdotool mousemove $((x + 300)) $((y + 20))
    sleep 0.05
    xdotool mousedown "$button"
    sleep 0.1
    for step in 1 2 3 4; do
        xdotool mousemove $((x + 300 + dx * step / 4)) $((y + 20 + dy * step / 4))
        sleep 0.05
    done
    xdotool mouseup "$button"
}

# The window comes to rest at X0 + DX, Y0 + DY (a window manager may take a moment).
expect_moved() {
    local what=$1 want="$(($2 + $4)) $(($3 + $5))"
    until_true test "$(position)" = "$want" || fail "$what: the window is at $(position), not at $want"
}

# Every close shows the closing message first; its "later" button (RzButton2 at
# 252, 108, 85 x 28) lets the window close.
answer_closing_message() {
    local what=$1 message="" candidate
    # Its title is "信息" (Qt may add " — Segmora"); it is 364 x 156.
    for _ in $(seq 100); do
        for candidate in $(xdotool search --onlyvisible --pid "$app" --name '^信息' 2>/dev/null); do
            xwininfo -id "$candidate" | grep -q 'Width: 364' && message=$candidate
        done
        [ -n "$message" ] && break
        sleep 0.1
    done
    [ -n "$message" ] || { fail "$what: no closing message"; return; }
    sleep 0.2
    xdotool mousemove --window "$message" 294 122 click 1
}

expect_closed() {
    local what=$1
    answer_closing_message "$what"
    until_true bash -c "! kill -0 $app" || { fail "$what: the program is still running"; kill "$app"; }
    wait "$app" 2>/dev/null || true
    grep -q '^Default=' "$settings" 2>/dev/null || fail "$what: no settings file written at close"
}

# 1. With a window manager.
start_wm
start_program
read -r x0 y0 < <(position)
drag_band 1 120 80
expect_moved "left button, window manager" "$x0" "$y0" 120 80
read -r x0 y0 < <(position)
drag_band 3 -60 40
expect_moved "right button, window manager" "$x0" "$y0" -60 40
# Clicking the title text does not move the window.
read -r x0 y0 < <(position)
xdotool mousemove $((x0 + 20)) $((y0 + 12)) mousedown 1 mousemove $((x0 + 90)) $((y0 + 62)) mouseup 1
sleep 0.2
expect_moved "the title text" "$x0" "$y0" 0 0
wmctrl -i -c "$window"
expect_closed "the window manager's close"

# 2. Alt+F4.
start_program
xdotool windowactivate --sync "$window" key alt+F4
expect_closed "Alt+F4"
stop_wm

# 3. Without a window manager.
start_program
read -r x0 y0 < <(position)
drag_band 1 100 -50
expect_moved "left button, no window manager" "$x0" "$y0" 100 -50
read -r x0 y0 < <(position)
xdotool mousemove $((x0 + 560)) $((y0 + 10)) click 1
expect_closed "the close button"

[ "$failures" -eq 0 ]
