#!/usr/bin/env bash
# The checks of the files that make Segmora an installed Linux program, one per
# ctest test:
#   check-packaging.sh desktop-entry  SOURCE_DIR
#   check-packaging.sh metainfo       SOURCE_DIR
#   check-packaging.sh manual-pages   SOURCE_DIR
#   check-packaging.sh completion     SOURCE_DIR
#   check-packaging.sh cli-options    SOURCE_DIR BIN_DIR
#   check-packaging.sh versions       SOURCE_DIR VERSION BIN_DIR
#   check-packaging.sh window-command-line BIN_DIR
#   check-packaging.sh installed-tree BUILD_DIR VERSION GUI(ON|OFF) DATA_FROM_PROGRAM
# Exits 77 (a skip for ctest) when a tool it needs is missing.
set -euo pipefail

check=$1
shift
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
need() {
    command -v "$1" >/dev/null || {
        echo "skipped: $1 is missing (Debian package $2)"
        exit 77
    }
}

case $check in
desktop-entry)
    need desktop-file-validate desktop-file-utils
    # It prints its complaints and exits 0 for mere hints: any output counts.
    out=$(desktop-file-validate "$1/packaging/segmora.desktop" 2>&1) || fail "desktop-file-validate failed"
    [ -z "$out" ] || fail "desktop-file-validate: $out"
    ;;
metainfo)
    need appstreamcli appstream
    # --strict: also the hints (a missing content rating is only one of those).
    appstreamcli validate --no-net --strict "$1/packaging/io.github.segmora.Segmora.metainfo.xml" || fail "appstreamcli validate"
    ;;
manual-pages)
    need groff groff-base
    for page in "$1"/packaging/*.1; do
        out=$(LC_ALL=C.UTF-8 groff -man -ww -z "$page" 2>&1) || fail "groff failed on $page"
        [ -z "$out" ] || fail "$page: $out"
    done
    ;;
completion)
    # A fresh bash with nothing but the script: it must load, register itself
    # and complete from the words of a command line.
    bash --norc --noprofile -c '
        set -u
        source "$1/packaging/segmora-cli.bash-completion" || exit 1
        complete -p segmora-cli >/dev/null || { echo "segmora-cli has no completion"; exit 1; }
        bad=0
        expect() {
            local want=$1; shift
            COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
            _segmora_cli
            local got="${COMPREPLY[*]}"
            [ "$got" = "$want" ] || { echo "[$*]: \"$got\", \"$want\" expected"; bad=1; }
        }
        expect "cut"                   segmora-cli c
        expect "info cut play split levels join fix gain" segmora-cli ""
        expect "--version"             segmora-cli --v
        expect "--start"               segmora-cli cut a.mp3 --st
        expect "--tag --title --track" segmora-cli cut a.mp3 b.mp3 --t
        expect "1500 0:30:00 1:23.5 90s 250ms" segmora-cli cut a.mp3 b.mp3 --start ""
        expect ""                      segmora-cli split a.mp3 --every 1
        expect "--json"                segmora-cli info --j
        expect "--no-tags"             segmora-cli join a.mp3 b.mp3 --n
        expect "--undo-info --undo"    segmora-cli gain a.mp3 --un
        expect ""                      segmora-cli gain a.mp3 --db ""
        expect "1500 0:30:00 1:23.5 90s 250ms" segmora-cli cut a.mp3 b.mp3 --fade-in ""
        expect "auto null"             segmora-cli play a.mp3 --output ""
        expect "null"                  segmora-cli play a.mp3 --output n
        expect "--min-silence --min-piece" segmora-cli split a.mp3 --mi
        expect ""                      segmora-cli split a.mp3 --parts ""
        cd "$1/tests/fixtures"
        expect "cbr128.mp3"            segmora-cli info cb
        expect "vbr.mp3"               segmora-cli cut --start 0 v
        exit $bad' bash "$1" || fail "completion"
    ;;
cli-options)
    # What segmora-cli's help shows, the manual page describes and the
    # completion offers: every subcommand, and every option of each.
    cli=$2/segmora-cli
    page=$1/packaging/segmora-cli.1
    offered() {
        bash --norc --noprofile -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
            _segmora_cli; printf "%s\n" "${COMPREPLY[@]}"' bash "$1/packaging/segmora-cli.bash-completion" "${@:2}"
    }
    commands=$(sed -n '/^Subcommands:/,$s/^  \([a-z]*\) .*/\1/p' <<<"$("$cli" --help)")
    [ -n "$commands" ] || fail "segmora-cli --help shows no subcommands"
    [ "$(offered "$1" segmora-cli "" | sort)" = "$(sort <<<"$commands")" ] ||
        fail "the completion offers other subcommands than $(echo $commands)"
    for command in "" $commands; do
        grep -q "^\.BI $command " "$page" || [ -z "$command" ] || fail "segmora-cli.1 does not describe $command"
        options=$(grep -o -- '--[a-z][a-z0-9-]*' <<<"$("$cli" $command --help)" | sort -u)
        [ -n "$options" ] || fail "segmora-cli $command --help shows no options"
        [ "$(offered "$1" segmora-cli $command -- | sort)" = "$options" ] ||
            fail "the completion offers other options than these for \"$command\": $(echo $options)"
        for option in $options; do
            grep -qF -- "${option//-/\\-}" "$page" || fail "segmora-cli.1 lacks $command $option"
        done
    done
    ;;
versions)
    version=$2 bin=$3
    out=$("$bin/segmora-cli" --version) || fail "segmora-cli --version exited $?"
    [ "$out" = "segmora-cli $version" ] || fail "segmora-cli --version: \"$out\""
    if [ -x "$bin/segmora" ]; then
        # Without a display: the answer must come before any window is made.
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/segmora" --version) ||
            fail "segmora --version exited $?"
        [ "$out" = "segmora $version" ] || fail "segmora --version: \"$out\""
    fi
    # Texts that cannot be generated name the version too; keep them in step.
    release=$(grep -o -m1 '<release version="[^"]*"' "$1/packaging/io.github.segmora.Segmora.metainfo.xml" | cut -d'"' -f2)
    [ "$release" = "$version" ] || fail "the metainfo's newest release is \"$release\", the build's version $version"
    for page in "$1"/packaging/*.1; do
        grep -q "^\.TH .* \"Segmora $version\" " "$page" || fail "$page: .TH does not name Segmora $version"
    done
    ;;
window-command-line)
    # What the window program answers without showing a window.
    bin=$1
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    # The help, like the version, needs no display.
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/segmora" --help) || fail "segmora --help exited $?"
    [[ $out == "Usage: segmora "*"[FILE]"* ]] || fail "segmora --help printed: $out"
    # A wrong line is refused before any window shows (and before any settings are written).
    export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$scratch/config
    for line in "--bogus" "a.mp3 b.mp3" "-x a.mp3" "--version=2"; do
        rc=0
        # shellcheck disable=SC2086
        timeout 20 "$bin/segmora" $line >"$scratch/out" 2>"$scratch/err" || rc=$?
        [ $rc -eq 2 ] || fail "segmora $line exited $rc, not 2"
        [ ! -s "$scratch/out" ] || fail "segmora $line printed on the standard output: $(cat "$scratch/out")"
        grep -q "^Usage: segmora " "$scratch/err" || fail "segmora $line gave no usage: $(cat "$scratch/err")"
    done
    [ ! -e "$scratch/config" ] || fail "a refused command line left settings behind"
    # Qt's own options are Qt's, not the program's.
    out=$("$bin/segmora" -platform offscreen --version) || fail "segmora -platform offscreen --version exited $?"
    [[ $out == "segmora "* ]] || fail "segmora -platform offscreen --version printed: $out"
    ;;
installed-tree)
    build=$1 version=$2 gui=$3 data_from_program=${4:-}
    root=$(mktemp -d)
    trap 'rm -rf "$root"' EXIT
    cmake --install "$build" --prefix "$root" >/dev/null || fail "cmake --install"
    files=(bin/segmora-cli lib/segmora/segmora-id3v2.so share/man/man1/segmora-cli.1
        share/bash-completion/completions/segmora-cli)
    if [ "$gui" = ON ]; then
        # The files the window only reads are in the data folder, where the
        # installed program looks for them (share/segmora beside bin/).
        data=share/segmora
        files+=(bin/segmora $data/MarkStart.bmp $data/MarkEnd.bmp $data/MarkStartD.bmp $data/MarkEndD.bmp
            $data/Languages/English.isl $data/Languages/Spanish.isl $data/Languages/German.isl
            $data/Languages/Italian.isl $data/Languages/French.isl
            $data/guide/flya/mp3_guide.html $data/guide/flya/mp3_guide_en.html
            share/man/man1/segmora.1 share/applications/segmora.desktop
            share/metainfo/io.github.segmora.Segmora.metainfo.xml
            share/icons/hicolor/scalable/apps/segmora.svg
            share/icons/hicolor/48x48/apps/segmora.png share/icons/hicolor/256x256/apps/segmora.png)
    fi
    for f in "${files[@]}"; do [ -s "$root/$f" ] || fail "$f is not installed"; done
    # The installed window looks for them where the install put them.
    if [ "$gui" = ON ]; then
        case $data_from_program in
        # Absolute: a folder of the system, outside the scratch prefix.
        /*) ;;
        *) [ -s "$root/bin/$data_from_program/MarkStart.bmp" ] ||
            fail "the program looks for its files in bin/$data_from_program, where there are none" ;;
        esac
    fi
    # Nothing but the programs among the programs.
    others=$(cd "$root/bin" && find . -mindepth 1 ! -name segmora ! -name segmora-cli)
    [ -z "$others" ] || fail "bin/ holds more than the programs: $others"
    out=$("$root/bin/segmora-cli" --version) && [ "$out" = "segmora-cli $version" ] ||
        fail "the installed segmora-cli --version: \"${out:-}\""
    ;;
*)
    echo "unknown check: $check" >&2
    exit 2
    ;;
esac
[ $failures -eq 0 ]
