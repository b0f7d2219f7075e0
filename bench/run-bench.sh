#!/usr/bin/env bash
# Measures segmora-cli against the physical limit (cp) and against other
# tools, on a generated 60-minute CBR file and a 60-minute VBR file, with
# hyperfine; then the peak memory of a cut of a 1 GB input against a 10 MB
# one. Run by hand (see bench/README.md); nothing here is a test.
#
#   bench/run-bench.sh
#
# Environment:
#   SEGMORA_BENCH_DIR   scratch directory (default /tmp/segmora-bench); the
#                       generated sources stay there for the next run, the cut
#                       targets go to its out/ directory, on the same file system
#   SEGMORA_CLI         a segmora-cli to measure instead of building one in
#                       build-bench (Release)
#   BENCH_WARMUP        hyperfine warm-up runs (default 3)
#   BENCH_MIN_RUNS      hyperfine minimum runs (default 10)
#   BENCH_PARTS         what to measure: "cut" (cut, info, peak memory), "join"
#                       (join and fix, and the samples at the joints); default both
set -euo pipefail

REPO=$(cd "$(dirname "$0")/.." && pwd)
SCRATCH=${SEGMORA_BENCH_DIR:-/tmp/segmora-bench}
WARMUP=${BENCH_WARMUP:-3}
MIN_RUNS=${BENCH_MIN_RUNS:-10}

# --- peers and generators, for the benchmark only ---
need=()
for pair in ffmpeg:ffmpeg ffprobe:ffmpeg mp3splt:mp3splt hyperfine:hyperfine sox:sox lame:lame mpg123:mpg123 \
            python3:python3 time:time mp3wrap:mp3wrap mediainfo:mediainfo; do
    cmd=${pair%%:*} pkg=${pair##*:}
    if [ "$cmd" = time ]; then [ -x /usr/bin/time ] || need+=("$pkg"); continue; fi
    command -v "$cmd" >/dev/null || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    echo "Installing for the benchmark: ${need[*]}"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

# --- the program under test ---
if [ -n "${SEGMORA_CLI:-}" ]; then
    CLI=$SEGMORA_CLI
else
    cmake -S "$REPO" -B "$REPO/build-bench" -G Ninja -DSEGMORA_GUI=OFF -DSEGMORA_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$REPO/build-bench" -j2 --target segmora-cli >/dev/null
    CLI=$REPO/build-bench/bin/segmora-cli
fi
CLI=$(readlink -f "$CLI")

mkdir -p "$SCRATCH/out"
OUT=$SCRATCH/out
rm -rf "${OUT:?}"/*

# --- sources: 60 minutes of tones and noise, CBR 128 kbit/s and VBR -V 2 ---
# Encoded in one go (a few minutes, once), so that each file is one valid
# stream with the encoder's own Info/Xing frame, as users' files are.
synth() {  # 60 minutes, 44.1 kHz stereo: sweeps on the left, noise on the right, slow tremolo
    sox -R -D -n -r 44100 -c 2 -b 16 -t wav - synth 3600 sine 200-2000 pinknoise tremolo 0.7 60 2>/dev/null
}
make_source() {  # make_source FILE LAME-ARGS...
    local file=$1
    shift
    [ -s "$file" ] && return 0
    echo "Generating $file ..."
    synth | lame --quiet -q 7 "$@" - "$file.part"
    # One decoding pass, to be sure the stream is valid.
    if ! mpg123 -q -t "$file.part"; then
        echo "mpg123 rejects $file.part" >&2
        exit 1
    fi
    mv "$file.part" "$file"
}
CBR=$SCRATCH/cbr128-60min.mp3
VBR=$SCRATCH/vbr-v2-60min.mp3
make_source "$CBR" --cbr -b 128 &
cbr_job=$!
make_source "$VBR" -V 2 &
vbr_job=$!
wait $cbr_job
wait $vbr_job

PARTS=" ${BENCH_PARTS:-cut join} "
if [[ $PARTS == *" cut "* ]]; then

# 25:00 and 35:00, and beyond the end for "everything".
MID_START=1500000
MID_END=2100000
ALL_END=2147483647

# --- hyperfine, one run per source with every contender ---
# A segmora-cli from before split --exact is measured without it.
EXACT=()
if "$CLI" split --help | grep -q -- --exact; then EXACT=(1); fi
bench_source() {  # bench_source NAME FILE
    local name=$1 src=$2
    local exact_split=()
    [ ${#EXACT[@]} -gt 0 ] &&
        exact_split=(-n "split 12 parts --exact" "'$CLI' split '$src' --parts 12 --exact --output-dir '$OUT/split'")
    # Files of exactly the cut outputs' sizes, for cp.
    # Made anew: a segmora-cli of today keeps an existing file without -y.
    rm -f "$SCRATCH/$name-ref-whole.mp3" "$SCRATCH/$name-ref-middle.mp3"
    "$CLI" cut "$src" "$SCRATCH/$name-ref-whole.mp3" --start 0 --end $ALL_END >/dev/null
    "$CLI" cut "$src" "$SCRATCH/$name-ref-middle.mp3" --start $MID_START --end $MID_END >/dev/null
    hyperfine --style basic --warmup "$WARMUP" --min-runs "$MIN_RUNS" \
        --prepare "rm -rf '$OUT'/*; sync" \
        --export-json "$SCRATCH/$name.json" \
        -n "cut whole" "'$CLI' cut '$src' '$OUT/cut-whole.mp3' --start 0 --end $ALL_END" \
        -n "cp whole" "cp '$SCRATCH/$name-ref-whole.mp3' '$OUT/cp-whole.mp3'" \
        -n "mp3splt whole" "mp3splt -Q -f -d '$OUT' -o mp3splt-whole '$src' 0.00 EOF" \
        -n "cut middle" "'$CLI' cut '$src' '$OUT/cut-middle.mp3' --start $MID_START --end $MID_END" \
        -n "cp middle" "cp '$SCRATCH/$name-ref-middle.mp3' '$OUT/cp-middle.mp3'" \
        -n "mp3splt middle" "mp3splt -Q -f -d '$OUT' -o mp3splt-middle '$src' 25.00 35.00" \
        -n "ffmpeg middle" "ffmpeg -v error -nostdin -y -ss 1500 -to 2100 -i '$src' -c copy '$OUT/ffmpeg-middle.mp3'" \
        -n "info" "'$CLI' info '$src' >/dev/null" \
        -n "ffprobe" "ffprobe -v error -show_format -show_streams '$src' >/dev/null" \
        -n "ffprobe -count_packets" "ffprobe -v error -count_packets -show_streams '$src' >/dev/null" \
        -n "cat" "cat '$src' >/dev/null" \
        -n "split 12 parts" "'$CLI' split '$src' --parts 12 --output-dir '$OUT/split'" \
        "${exact_split[@]}" \
        -n "mp3splt -f -b 12 parts" "mp3splt -Q -f -b -S 12 -d '$OUT/mp3splt' '$src'" \
        >"$SCRATCH/$name.log"
    rm -rf "${OUT:?}"/*
}
# Other work on the machine shows in every wall time: the load is printed
# before and after, to be reported with the figures.
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Measuring (CBR) ..."
bench_source cbr "$CBR"
echo "Measuring (VBR) ..."
bench_source vbr "$VBR"

LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

# --- peak memory: a 1 GB input against a 10 MB one ---
# The 1 GB input is the CBR source followed by the audio frames of further
# copies of it (its first frame is the encoder's Info frame).
BIG=$SCRATCH/big-1g.mp3
SMALL=$SCRATCH/small-10m.mp3
INFO_BYTES=$("$CLI" info "$CBR" --json | python3 -c 'import json,sys; print(json.load(sys.stdin)["FrameSize"])')
cp "$CBR" "$BIG"
while [ "$(stat -c %s "$BIG")" -lt 1073741824 ]; do
    tail -c +$((INFO_BYTES + 1)) "$CBR" >>"$BIG"
done
head -c 10485760 "$CBR" >"$SMALL"
peak_kb() {  # peak_kb FILE: max RSS in KB of a cut of everything
    /usr/bin/time -f %M -o "$SCRATCH/time.out" "$CLI" cut "$1" "$OUT/mem.mp3" --start 0 --end $ALL_END >/dev/null
    rm -f "$OUT/mem.mp3"
    cat "$SCRATCH/time.out"
}
peak_kb_info() {
    /usr/bin/time -f %M -o "$SCRATCH/time.out" "$CLI" info "$1" >/dev/null
    cat "$SCRATCH/time.out"
}
BIG_SIZE=$(stat -c %s "$BIG")
SMALL_SIZE=$(stat -c %s "$SMALL")
MEM_BIG=$(peak_kb "$BIG")
MEM_SMALL=$(peak_kb "$SMALL")
MEM_INFO_BIG=$(peak_kb_info "$BIG")
MEM_INFO_SMALL=$(peak_kb_info "$SMALL")
rm -f "$BIG" "$SMALL" "$SCRATCH/time.out"

# --- the table ---
python3 - "$SCRATCH" "$CBR" "$VBR" "$BIG_SIZE" "$SMALL_SIZE" "$MEM_BIG" "$MEM_SMALL" "$MEM_INFO_BIG" "$MEM_INFO_SMALL" \
    "$LOAD_BEFORE" "$LOAD_AFTER" <<'PY'
import json, os, sys

scratch, cbr, vbr = sys.argv[1:4]
big_size, small_size, mem_big, mem_small, info_big, info_small = map(int, sys.argv[4:10])
print(f"\nLoad average (1, 5, 15 min) before the timings: {sys.argv[10]}, after: {sys.argv[11]}")

for name, src in (("cbr", cbr), ("vbr", vbr)):
    results = {r["command"]: r for r in json.load(open(os.path.join(scratch, name + ".json")))["results"]}
    wall = lambda k: results[k]["mean"]
    cpu = lambda k: results[k]["user"] + results[k]["system"]
    print(f"\n{name.upper()}: {os.path.basename(src)}, {os.path.getsize(src) / 1e6:.1f} MB")
    print(f"  {'command':<26}{'wall ms':>9}{'± ms':>8}{'cpu ms':>9}{'runs':>6}")
    for k, r in results.items():
        print(f"  {k:<26}{r['mean'] * 1000:>9.1f}{r['stddev'] * 1000:>8.1f}{cpu(k) * 1000:>9.1f}{len(r['times']):>6}")
    print(f"  {'ratio':<34}{'wall':>7}{'cpu':>7}  target")
    rows = (
        ("whole cut / cp", "cut whole", "cp whole", "<= 1.0", lambda v: v <= 1.0),
        ("middle cut / cp (same size)", "cut middle", "cp middle", "<= 1.5", lambda v: v <= 1.5),
        ("middle cut / mp3splt -f", "cut middle", "mp3splt middle", "<= 0.7", lambda v: v <= 0.7),
        ("middle cut / ffmpeg -c copy", "cut middle", "ffmpeg middle", "several times faster", None),
        ("mp3splt -f whole / cp", "mp3splt whole", "cp whole", "", None),
        ("info / ffprobe", "info", "ffprobe", "<= 0.5", lambda v: v <= 0.5),
        ("info / ffprobe -count_packets", "info", "ffprobe -count_packets", "", None),
        ("info / cat", "info", "cat", "about 1", None),
        ("split 12 parts / mp3splt -f -b", "split 12 parts", "mp3splt -f -b 12 parts", "", None),
        ("split --exact / split (12 parts)", "split 12 parts --exact", "split 12 parts", "about 1", None),
    )
    for label, a, b, target, ok in rows:
        if a not in results or b not in results:
            continue
        value = wall(a) / wall(b)
        verdict = "" if ok is None else ("met" if ok(value) else "MISSED")
        print(f"  {label:<34}{value:>7.2f}{cpu(a) / cpu(b):>7.2f}  {target} {verdict}")

print(f"\nPeak memory (max RSS), cut of everything: {big_size / 2**20:.0f} MiB input {mem_big} KB, "
      f"{small_size / 2**20:.0f} MiB input {mem_small} KB ({'met' if mem_big <= mem_small * 1.05 + 256 else 'MISSED'}: "
      f"independent of the file size)")
print(f"Peak memory, info: {info_big} KB against {info_small} KB")
PY
echo
echo "hyperfine logs and JSON: $SCRATCH/{cbr,vbr}.{log,json}"
fi

# --- join and fix: three pieces of the CBR source made one, and a stale header made right ---
if [[ $PARTS == *" join "* ]]; then
JOIN=$SCRATCH/join
mkdir -p "$JOIN"
rm -f "$JOIN"/*.mp3
# Plain pieces, each from the frame after the last of the one before, and
# exact ones, each beginning with the frames its start needs in front of it.
"$CLI" split "$CBR" --parts 3 --output-dir "$JOIN" --name 'plain{n}' -y >/dev/null
PLAIN=("$JOIN"/plain01.mp3 "$JOIN"/plain02.mp3 "$JOIN"/plain03.mp3)
mapfile -t EXACT < <(python3 "$REPO/bench/join/joint-table.py" --pieces "$JOIN/exact" "$CLI" "$CBR")
PLAIN_Q=$(printf "'%s' " "${PLAIN[@]}")
EXACT_Q=$(printf "'%s' " "${EXACT[@]}")
# cat leaves the first piece's information frame in front of all three: a stale header.
STALE=$JOIN/stale.mp3
cat "${PLAIN[@]}" >"$STALE"
"$CLI" join "${PLAIN[@]}" -o "$JOIN/ref-join.mp3" -y >/dev/null
printf "file '%s'\n" "${PLAIN[@]}" >"$JOIN/list.txt"
LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
echo "Measuring (join and fix) ..."
clean="rm -f '$OUT'/*; sync"
hyperfine --style basic --warmup "$WARMUP" --min-runs "$MIN_RUNS" \
    --export-json "$SCRATCH/join.json" \
    -p "$clean" -n "join" "'$CLI' join $PLAIN_Q -o '$OUT/join.mp3'" \
    -p "$clean" -n "join --exact" "'$CLI' join $EXACT_Q -o '$OUT/join-exact.mp3' --exact" \
    -p "$clean" -n "cut whole" "'$CLI' cut '$STALE' '$OUT/cut.mp3' --start 0 --end 2147483647" \
    -p "$clean" -n "cp" "cp '$JOIN/ref-join.mp3' '$OUT/cp.mp3'" \
    -p "$clean" -n "cp + sync" "cp '$JOIN/ref-join.mp3' '$OUT/cp.mp3' && sync '$OUT/cp.mp3'" \
    -p "$clean" -n "cat" "cat $PLAIN_Q >'$OUT/cat.mp3'" \
    -p "$clean" -n "cat + fix" "cat $PLAIN_Q >'$OUT/cat.mp3' && '$CLI' fix '$OUT/cat.mp3' >/dev/null" \
    -p "$clean" -n "mp3wrap" "mp3wrap '$OUT/wrap.mp3' $PLAIN_Q >/dev/null" \
    -p "$clean" -n "ffmpeg concat" "ffmpeg -v error -nostdin -f concat -safe 0 -i '$JOIN/list.txt' -c copy '$OUT/ffmpeg.mp3'" \
    -p "$clean" -n "fix -o" "'$CLI' fix '$STALE' -o '$OUT/fixed.mp3' >/dev/null" \
    -p "rm -f '$OUT'/*; cp '$STALE' '$OUT/in-place.mp3'; sync" -n "fix in place" "'$CLI' fix '$OUT/in-place.mp3' >/dev/null" \
    -p "$clean" -n "fix --dry-run" "'$CLI' fix '$STALE' --dry-run >/dev/null || true" \
    -p "$clean" -n "cat to null" "cat '$STALE' >/dev/null" \
    >"$SCRATCH/join.log"
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)
rm -f "$OUT"/*
python3 - "$SCRATCH/join.json" "$LOAD_BEFORE" "$LOAD_AFTER" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
wall = lambda k: results[k]["mean"]
cpu = lambda k: results[k]["user"] + results[k]["system"]
print(f"\nJoin and fix, three pieces of the 60-minute CBR source; load average before {sys.argv[2]}, after {sys.argv[3]}")
print(f"  {'command':<26}{'wall ms':>9}{'± ms':>8}{'cpu ms':>9}{'runs':>6}")
for k, r in results.items():
    print(f"  {k:<26}{r['mean'] * 1000:>9.1f}{r['stddev'] * 1000:>8.1f}{cpu(k) * 1000:>9.1f}{len(r['times']):>6}")
print(f"  {'ratio':<34}{'wall':>7}{'cpu':>7}")
for a, b in (("join", "cp"), ("join --exact", "cp"), ("join", "cut whole"), ("cut whole", "cp"),
             ("fix -o", "cut whole"), ("cat + fix", "cp"), ("mp3wrap", "join"),
             ("ffmpeg concat", "join"), ("fix -o", "cp"), ("fix in place", "cp + sync"), ("fix --dry-run", "cat to null")):
    print(f"  {a + ' / ' + b:<34}{wall(a) / wall(b):>7.2f}{cpu(a) / cpu(b):>7.2f}")
PY
echo "hyperfine log and JSON: $SCRATCH/join.{log,json}"

# What players read of a stale header, and of the file fix makes of it.
FIXED=$JOIN/fixed.mp3
"$CLI" fix "$STALE" -o "$FIXED" -y >/dev/null
echo
echo "Length of the three pieces joined with cat (stale header) and fixed, against the join:"
for f in "$STALE" "$FIXED" "$JOIN/ref-join.mp3"; do
    probe=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f")
    samples=$(mpg123 -q --gapless -e s16 -s "$f" | wc -c)
    info=$(mediainfo --Inform='Audio;%Duration%' "$f")
    echo "  $(basename "$f"): ffprobe ${probe} s, mpg123 $((samples / 4)) samples ($(python3 -c "print(f'{$samples / 4 / 44100:.3f}')") s), mediainfo ${info} ms"
done

# The joints, sample for sample, in libmpg123 and ffmpeg.
python3 -W ignore::DeprecationWarning "$REPO/bench/join/joint-table.py" "$JOIN/joints" "$CLI" "$CBR" "$VBR"
fi
