#!/usr/bin/env bash
# Measures segmora-cli split by a 12-track CUE sheet against cp of the whole
# file (the physical limit: every audio byte is written once) and against
# mp3splt's own CUE split, on the 60-minute CBR and VBR sources of
# bench/run-bench.sh (generated here the same way when missing). Prints the
# peak memory of the split too. Run by hand; nothing here is a test.
#
#   bench/split/split-cue-bench.sh
#
# Environment: SEGMORA_BENCH_DIR, SEGMORA_CLI, BENCH_WARMUP, BENCH_MIN_RUNS as
# for bench/run-bench.sh.
set -euo pipefail

REPO=$(cd "$(dirname "$0")/../.." && pwd)
SCRATCH=${SEGMORA_BENCH_DIR:-/tmp/segmora-bench}
WARMUP=${BENCH_WARMUP:-3}
MIN_RUNS=${BENCH_MIN_RUNS:-10}
for cmd in hyperfine mp3splt sox lame; do
    command -v "$cmd" >/dev/null || { echo "needs $cmd (apt install $cmd)" >&2; exit 1; }
done

if [ -n "${SEGMORA_CLI:-}" ]; then
    CLI=$SEGMORA_CLI
else
    cmake -S "$REPO" -B "$REPO/build-bench" -G Ninja -DSEGMORA_GUI=OFF -DSEGMORA_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$REPO/build-bench" -j2 --target segmora-cli >/dev/null
    CLI=$REPO/build-bench/bin/segmora-cli
fi
CLI=$(readlink -f "$CLI")

mkdir -p "$SCRATCH"
make_source() {  # make_source FILE LAME-ARGS..., as bench/run-bench.sh makes it
    local file=$1
    shift
    [ -s "$file" ] && return 0
    echo "Generating $file ..."
    sox -R -D -n -r 44100 -c 2 -b 16 -t wav - synth 3600 sine 200-2000 pinknoise tremolo 0.7 60 2>/dev/null |
        lame --quiet -q 7 "$@" - "$file.part"
    mv "$file.part" "$file"
}
CBR=$SCRATCH/cbr128-60min.mp3
VBR=$SCRATCH/vbr-v2-60min.mp3
make_source "$CBR" --cbr -b 128
make_source "$VBR" -V 2

# Twelve tracks of five minutes, most with a two-second pregap, their starts
# on odd CD frames, as a ripped album's sheet has them.
write_sheet() {  # write_sheet CUE FILE
    {
        echo 'PERFORMER "Bench Band"'
        echo 'TITLE "Bench Album"'
        echo "FILE \"$(basename "$2")\" MP3"
        for t in $(seq 1 12); do
            local start=$(((t - 1) * 300))
            printf '  TRACK %02d AUDIO\n    TITLE "Track number %d"\n' "$t" "$t"
            if [ "$t" -gt 1 ]; then
                printf '    INDEX 00 %02d:%02d:00\n' $(((start - 2) / 60)) $(((start - 2) % 60))
            fi
            printf '    INDEX 01 %02d:%02d:%02d\n' $((start / 60)) $((start % 60)) $((t * 7 % 75))
        done
    } >"$1"
}

OUT=$SCRATCH/split-out
mkdir -p "$OUT"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
for name in cbr vbr; do
    src=$CBR
    [ $name = vbr ] && src=$VBR
    cue=$SCRATCH/$name-album.cue
    write_sheet "$cue" "$src"
    # The pieces themselves, for cp of twelve files of their sizes: what the
    # file system asks for making twelve files instead of one.
    refs=$SCRATCH/split-ref-$name
    rm -rf "$refs"
    "$CLI" split "$src" --cue "$cue" --output-dir "$refs" >/dev/null
    hyperfine --style basic --warmup "$WARMUP" --min-runs "$MIN_RUNS" \
        --prepare "rm -rf '$OUT'/*; sync" --export-json "$SCRATCH/split-$name.json" \
        -n "split --cue" "'$CLI' split '$src' --cue '$cue' --output-dir '$OUT'" \
        -n "cp whole" "cp '$src' '$OUT/whole.mp3'" \
        -n "cp 12 pieces" "cp '$refs'/* '$OUT'" \
        -n "mp3splt -c" "mp3splt -Q -c '$cue' -d '$OUT' '$src'" \
        >"$SCRATCH/split-$name.log"
    rm -rf "${OUT:?}"/*
    /usr/bin/time -f %M -o "$SCRATCH/split-$name.mem" "$CLI" split "$src" --cue "$cue" --output-dir "$OUT" >/dev/null
    rm -rf "${OUT:?}"/*
done
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$SCRATCH" "$LOAD_BEFORE" "$LOAD_AFTER" <<'PY'
import json, os, sys
scratch = sys.argv[1]
print(f"Load average before: {sys.argv[2]}, after: {sys.argv[3]}")
for name in ("cbr", "vbr"):
    results = {r["command"]: r for r in json.load(open(os.path.join(scratch, f"split-{name}.json")))["results"]}
    print(f"\n{name.upper()}, 12 tracks:")
    for k, r in results.items():
        print(f"  {k:<14}{r['mean'] * 1000:>8.1f} ms ± {r['stddev'] * 1000:.1f}  cpu {(r['user'] + r['system']) * 1000:.1f} ms")
    ratio = results["split --cue"]["mean"] / results["cp whole"]["mean"]
    print(f"  split / cp of the 12 pieces {results['split --cue']['mean'] / results['cp 12 pieces']['mean']:.2f}")
    print(f"  split / cp {ratio:.2f} (target <= 1.1: {'met' if ratio <= 1.1 else 'MISSED'}); "
          f"split / mp3splt {results['split --cue']['mean'] / results['mp3splt -c']['mean']:.2f}")
    print(f"  peak memory of the split: {open(os.path.join(scratch, f'split-{name}.mem')).read().strip()} KB")
PY
