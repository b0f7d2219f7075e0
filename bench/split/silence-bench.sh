#!/usr/bin/env bash
# Measures the silence search behind `segmora-cli split --silence` (FindSilences
# of player/SilenceScan.h, through a small driver) against the scan that
# decodes every frame (FindSilencesOnThreads, the reference) and mp3splt's
# silence split on a generated 60-minute live recording, with hyperfine in
# one run: the search, the reference, split --silence end to end (and the
# one of SEGMORA_CLI_BEFORE, a segmora-cli from before the search decoded
# only what it must), mp3splt -s, and segmora-cli levels against
# segmora-cli info. Then how many frames the search decodes, the split
# points of all three side by side (the search's must equal the
# reference's), the peak memory, and the level estimate against the decoded
# levels of every frame of the fixtures and of the 60-minute files. Run by
# hand; nothing here is a test.
#
#   bench/split/silence-bench.sh
#
# The recording (44.1 kHz stereo, CBR 128 kbit/s): 12 tracks of tones and
# noise of different lengths, 3 s between them of digital silence or of
# noise at -70 dB, two tracks broken by a quiet passage of 1.2 s (shorter
# than the 2 s a silence must last: no split there) and the last track
# fading out. 11 splits are expected.
#
# Environment:
#   SEGMORA_BENCH_DIR   scratch directory (default /tmp/segmora-bench); the
#                       recording stays there for the next run (making it
#                       takes a minute or two)
#   BENCH_WARMUP        hyperfine warm-up runs (default 1)
#   BENCH_MIN_RUNS      hyperfine minimum runs (default 5)
#   SEGMORA_CLI_BEFORE  a segmora-cli to time split --silence of beside this one
set -euo pipefail

REPO=$(cd "$(dirname "$0")/../.." && pwd)
SCRATCH=${SEGMORA_BENCH_DIR:-/tmp/segmora-bench}
WARMUP=${BENCH_WARMUP:-1}
MIN_RUNS=${BENCH_MIN_RUNS:-5}
for cmd in sox lame mp3splt hyperfine /usr/bin/time; do
    command -v "$cmd" >/dev/null || { echo "needs $cmd (apt-get install sox lame mp3splt hyperfine time)" >&2; exit 1; }
done
mkdir -p "$SCRATCH"

SRC=$SCRATCH/live-60min.mp3
if [ ! -s "$SRC" ]; then
    echo "Generating $SRC ..."
    WORK=$(mktemp -d)
    trap 'rm -rf "$WORK"' EXIT
    piece() {  # piece FILE SECONDS SYNTH-ARGS... (-R -D: the same bytes every time)
        local file=$1 seconds=$2
        shift 2
        sox -R -D -n -r 44100 -c 2 -b 16 "$WORK/$file" synth "$seconds" "$@"
    }
    lengths=(240 330 270 310 295 280 350 265 300 320 285)
    used=0
    for l in "${lengths[@]}"; do used=$((used + l)); done
    lengths+=($((3600 - used - 11 * 3)))  # the twelfth track fills the hour
    list=()
    for i in "${!lengths[@]}"; do
        len=${lengths[$i]}
        f=$((150 + 40 * i))
        case $((i % 3)) in
        0) args=(sine "$f" pinknoise tremolo 0.5 40 vol 0.5) ;;
        1) args=(sine "$f-$((f * 4))" brownnoise vol 0.6) ;;
        2) args=(square "$f" pinknoise tremolo 2 60 vol 0.3) ;;
        esac
        if [ "$i" -eq 3 ] || [ "$i" -eq 7 ]; then
            # A quiet passage inside the track, too short to split at.
            piece "t$i-a.wav" 100 "${args[@]}"
            sox -R -D -n -r 44100 -c 2 -b 16 "$WORK/t$i-q.wav" trim 0 1.2
            piece "t$i-b.wav" $((len - 100)) "${args[@]}"
            sox -R -D "$WORK/t$i-a.wav" "$WORK/t$i-q.wav" "$WORK/t$i-b.wav" "$WORK/t$i.wav"
            rm "$WORK/t$i-a.wav" "$WORK/t$i-q.wav" "$WORK/t$i-b.wav"
        elif [ "$i" -eq 11 ]; then
            piece "t$i.wav" "$len" "${args[@]}" fade t 0 "$len" 8
        else
            piece "t$i.wav" "$len" "${args[@]}"
        fi
        list+=("$WORK/t$i.wav")
        if [ "$i" -lt 11 ]; then
            if [ $((i % 2)) -eq 0 ]; then
                sox -R -D -n -r 44100 -c 2 -b 16 "$WORK/g$i.wav" trim 0 3
            else
                piece "g$i.wav" 3 whitenoise vol -70dB
            fi
            list+=("$WORK/g$i.wav")
        fi
    done
    sox -R -D "${list[@]}" -t wav - | lame --quiet -q 7 --cbr -b 128 - "$SRC.part"
    mv "$SRC.part" "$SRC"
fi

BUILD=$REPO/build-bench
cmake -S "$REPO" -B "$BUILD" -G Ninja -DSEGMORA_GUI=OFF -DSEGMORA_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target segmora-cli segmora_silence_scan_measure segmora_level_estimate_measure >/dev/null
SCAN=$BUILD/bin/segmora_silence_scan_measure
ESTIMATE=$BUILD/bin/segmora_level_estimate_measure
CLI=$BUILD/bin/segmora-cli
BEFORE=${SEGMORA_CLI_BEFORE:-}

OUT=$SCRATCH/silence-out
PIECES=$SCRATCH/silence-pieces
SPLT="cd $OUT && mp3splt -q -s -p th=-48,min=2,off=0.5 -d $OUT $SRC >/dev/null"
rm -rf "$OUT" && mkdir -p "$OUT"
cat "$SRC" >/dev/null  # in the page cache for all

echo "== Time, one hyperfine run (load before: $(cut -d' ' -f1-3 /proc/loadavg))"
contenders=(-n "search (FindSilences)" "$SCAN $SRC"
    -n "full decode (FindSilencesOnThreads, 2 threads)" "$SCAN $SRC --threads 2"
    -n "split --silence" "$CLI split $SRC --silence --output-dir $PIECES --overwrite"
    -n "mp3splt -s" "$SPLT"
    -n "levels" "$CLI levels $SRC"
    -n "info" "$CLI info $SRC")
prepares=(--prepare true --prepare true --prepare "rm -rf $PIECES" --prepare "rm -rf $OUT && mkdir -p $OUT"
    --prepare true --prepare true)
if [ -n "$BEFORE" ]; then
    contenders+=(-n "split --silence before" "$BEFORE split $SRC --silence --output-dir $PIECES --overwrite")
    prepares+=(--prepare "rm -rf $PIECES")
fi
hyperfine --style basic --warmup "$WARMUP" --min-runs "$MIN_RUNS" --export-json "$SCRATCH/silence.json" \
    "${prepares[@]}" "${contenders[@]}" | tee "$SCRATCH/silence.log"
echo "  (load after: $(cut -d' ' -f1-3 /proc/loadavg))"
python3 - "$SCRATCH/silence.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
def ratio(a, b, target):
    if a in r and b in r:
        print(f"  {a} / {b}: {r[a] / r[b]:.3f}  ({target})")
ratio("split --silence", "split --silence before", "target: at most 0.1")
ratio("split --silence", "mp3splt -s", "target: at most 0.05")
ratio("search (FindSilences)", "full decode (FindSilencesOnThreads, 2 threads)", "the search alone")
ratio("levels", "info", "target: at most 2")
PY

echo
echo "== The same, interleaved: each contender in turn, round after round, so that other work on the"
echo "   machine slows them alike (medians)"
interleaved=("split --silence=$CLI split $SRC --silence --output-dir $PIECES --overwrite"
    "mp3splt -s=$SPLT" "levels=$CLI levels $SRC" "info=$CLI info $SRC"
    --prepare "split --silence=rm -rf $PIECES" --prepare "mp3splt -s=rm -rf $OUT && mkdir -p $OUT")
if [ -n "$BEFORE" ]; then
    interleaved+=("split --silence before=$BEFORE split $SRC --silence --output-dir $PIECES --overwrite"
        --prepare "split --silence before=rm -rf $PIECES")
fi
python3 "$REPO/bench/split/interleaved.py" "$MIN_RUNS" "${interleaved[@]}"

echo
echo "== Frames the search decodes"
"$SCAN" "$SRC" --runs | head -1

echo
echo "== Peak memory (max RSS)"
printf '  %-24s %s kB\n' "search" "$(/usr/bin/time -f %M "$SCAN" "$SRC" 2>&1 >/dev/null)"
printf '  %-24s %s kB\n' "levels" "$(/usr/bin/time -f %M "$CLI" levels "$SRC" 2>&1 >/dev/null)"
rm -rf "$OUT" && mkdir -p "$OUT"
printf '  %-24s %s kB\n' "mp3splt -s" "$(cd "$OUT" && /usr/bin/time -f %M mp3splt -q -s -p th=-48,min=2,off=0.5 \
    -d "$OUT" "$SRC" 2>&1 >/dev/null | tail -1)"

echo
echo "== Split points (s): search | full decode | mp3splt (middle of each silence in its log)"
"$SCAN" "$SRC" >"$SCRATCH/silence-segmora.txt"
"$SCAN" "$SRC" --threads 2 >"$SCRATCH/silence-reference.txt"
LOG=$OUT/mp3splt.log
# The log: the file, the parameters, then one line per silence: begin end (s).
tail -n +3 "$LOG" | awk '{ printf "%.3f\n", ($1 + $2) / 2 }' | sort -n >"$SCRATCH/silence-mp3splt.txt"
paste "$SCRATCH/silence-segmora.txt" "$SCRATCH/silence-reference.txt" "$SCRATCH/silence-mp3splt.txt" |
    awk -F'\t' '{ d = ($1 != "" && $3 != "") ? sprintf("%+.3f", $1 - $3) : ""; printf "  %10s  %10s  %10s  %s\n", $1, $2, $3, d }'
if cmp -s "$SCRATCH/silence-segmora.txt" "$SCRATCH/silence-reference.txt"; then
    echo "  the search's split points are the full decode's"
else
    echo "  THE SEARCH'S SPLIT POINTS DIFFER FROM THE FULL DECODE'S"
fi
echo "  segmora: $(wc -l <"$SCRATCH/silence-segmora.txt") splits, mp3splt: $(wc -l <"$SCRATCH/silence-mp3splt.txt")"
echo "  (mp3splt $(ls "$OUT"/*.mp3 | wc -l) pieces written)"

echo
echo "== Level estimate against the decoded levels, every frame (|error| in dB)"
SOURCES=("$SRC")
for f in "$SCRATCH/cbr128-60min.mp3" "$SCRATCH/vbr-v2-60min.mp3"; do [ -s "$f" ] && SOURCES+=("$f"); done
echo "-- the fixtures"
"$ESTIMATE" "$REPO"/tests/fixtures/*.mp3 "$REPO"/tests/fixtures/*.mp2
echo "-- the 60-minute files: ${SOURCES[*]##*/}"
"$ESTIMATE" "${SOURCES[@]}"
