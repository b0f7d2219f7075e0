#!/usr/bin/env bash
# Checks, on the 60-minute files of the benchmarks, that every piece of a
# split (by a 12-track CUE sheet, by silence, in equal parts) decodes without
# an error (ffmpeg), reads its true length (ffprobe against the piece's own
# DurationMs, within one frame) and equals cut's piece for its range. Run by
# hand after bench/split/split-cue-bench.sh and silence-bench.sh have made
# their sources; prints one line per piece and a verdict.
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
SCRATCH=${SEGMORA_BENCH_DIR:-/tmp/segmora-bench}
CLI=$(readlink -f "${SEGMORA_CLI:-$REPO/build-bench/bin/segmora-cli}")
OUT=$SCRATCH/verify
bad=0
check() {  # check LABEL SRC SPLIT-ARGS...
    local label=$1 src=$2
    shift 2
    rm -rf "$OUT"
    "$CLI" split "$src" "$@" --output-dir "$OUT" --json >"$SCRATCH/verify.json"
    python3 - "$CLI" "$src" "$SCRATCH/verify.json" "$label" <<'PY' || bad=1
import json, subprocess, sys
cli, src, report, label = sys.argv[1:5]
pieces = json.load(open(report))
worst = 0.0
failed = 0
for p in pieces:
    name = p["name"]
    errors = subprocess.run(["ffmpeg", "-v", "error", "-nostdin", "-i", name, "-f", "null", "-"],
                            capture_output=True, text=True).stderr.strip()
    probed = float(subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", name],
                                  capture_output=True, text=True).stdout)
    subprocess.run([cli, "cut", src, "/tmp/verify-cut.mp3", "--start", str(p["StartMs"]), "--end", str(p["EndMs"])],
                   check=True, capture_output=True)
    cut, piece = open("/tmp/verify-cut.mp3", "rb").read(), open(name, "rb").read()
    # A piece with --tag is cut's piece and the 128 bytes of its ID3v1 tag.
    same = piece == cut or (piece[:-128] == cut and piece[-128:-125] == b"TAG")
    off = abs(probed * 1000 - p["DurationMs"])
    worst = max(worst, off)
    ok = p["Result"] and not errors and off <= 26.2 and same
    failed += not ok
    print(f"  {label}: {name.rsplit('/', 1)[-1]:<28} {p['StartMs']:>8} {p['EndMs']:>8} ffprobe {probed:9.3f} s, "
          f"DurationMs {p['DurationMs']:>8}, equal to cut: {same}, decode errors: {len(errors.splitlines())}")
print(f"{label}: {len(pieces)} pieces, {failed} failed, largest length difference {worst:.1f} ms")
sys.exit(1 if failed else 0)
PY
}
check "CUE, VBR" "$SCRATCH/vbr-v2-60min.mp3" --cue "$SCRATCH/vbr-album.cue" --tag
check "silence" "$SCRATCH/live-60min.mp3" --silence
check "parts, VBR" "$SCRATCH/vbr-v2-60min.mp3" --parts 5
rm -rf "$OUT" /tmp/verify-cut.mp3
[ $bad -eq 0 ] && echo "All pieces checked out." || { echo "Some pieces did not."; exit 1; }
