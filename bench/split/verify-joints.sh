#!/usr/bin/env bash
# Shows, decoder by decoder, what the joints of split pieces sound like:
# each source is split into equal parts by segmora-cli (default and --exact)
# and by mp3splt in frame mode with its reservoir option (-f -b); every piece
# is decoded gaplessly, by mpg123 (libmpg123) and by ffmpeg where installed,
# and the pieces' decodes, joined, are laid against the source's decode.
# Prints per source, tool and decoder: the samples lost (+) or doubled (-)
# at each joint, how many samples (of each channel) differ within two frames
# of a joint and by how much at most, and
# whether the joined decode equals the source's sample for sample.
#
#   bench/split/verify-joints.sh [--parts N] [--strict] FILE...
#
# Without FILEs it checks the test fixtures' layer III files. --strict makes
# it fail (exit 1) unless every segmora --exact split joins exactly. Run by
# hand (also on the 60-minute sources of bench/run-bench.sh); nothing here
# is timed.
#
# Environment: SEGMORA_CLI (default build/bin/segmora-cli), SEGMORA_BENCH_DIR
# (scratch, default /tmp/segmora-bench).
set -euo pipefail
REPO=$(cd "$(dirname "$0")/../.." && pwd)
CLI=$(readlink -f "${SEGMORA_CLI:-$REPO/build/bin/segmora-cli}")
SCRATCH=${SEGMORA_BENCH_DIR:-/tmp/segmora-bench}/joints
PARTS=5
STRICT=0
files=()
while [ $# -gt 0 ]; do
    case $1 in
    --parts) PARTS=$2; shift 2 ;;
    --strict) STRICT=1; shift ;;
    *) files+=("$1"); shift ;;
    esac
done
if [ ${#files[@]} -eq 0 ]; then
    F=$REPO/tests/fixtures
    files=("$F/cbr128.mp3" "$F/vbr.mp3" "$F/mono.mp3" "$F/mpeg2-mono.mp3" "$F/mpeg2-mono-vbr.mp3" "$F/mpeg25.mp3"
           "$F/crc.mp3" "$F/gaps.mp3" "$F/free-format.mp3")
fi
command -v mpg123 >/dev/null || { echo "needs mpg123 (apt install mpg123)" >&2; exit 1; }
decoders=(mpg123)
command -v ffmpeg >/dev/null && decoders+=(ffmpeg) || echo "ffmpeg is not installed: libmpg123 alone is asked"
tools=(segmora segmora-exact)
command -v mp3splt >/dev/null && tools+=(mp3splt-b) || echo "mp3splt is not installed: it is left out"

mkdir -p "$SCRATCH"
rc=0
for src in "${files[@]}"; do
    for tool in "${tools[@]}"; do
        out=$SCRATCH/$tool
        rm -rf "$out"
        mkdir -p "$out"
        case $tool in
        segmora) "$CLI" split "$src" --parts "$PARTS" --output-dir "$out" --name 'p{n}' >/dev/null ;;
        segmora-exact) "$CLI" split "$src" --parts "$PARTS" --exact --output-dir "$out" --name 'p{n}' >/dev/null ;;
        mp3splt-b)
            # The same split points as segmora's, to the hundredth of a second.
            mapfile -t points < <("$CLI" split "$src" --parts "$PARTS" --dry-run --json | python3 -c '
import json, sys
for p in json.load(sys.stdin):
    cs = round(p["StartMs"] / 10)
    print(f"{cs // 6000}.{cs // 100 % 60:02d}.{cs % 100:02d}")')
            mp3splt -Q -f -b -d "$out" -o 'p@N' "$src" "${points[@]}" EOF >/dev/null 2>&1 || true ;;
        esac
    done
    python3 - "$src" "$SCRATCH" "$STRICT" "${decoders[*]}" "${tools[*]}" "$CLI" <<'PY' || rc=1
import json, mmap, os, struct, subprocess, sys

src, scratch, strict, decoders, tools, cli = sys.argv[1], sys.argv[2], sys.argv[3] == "1", sys.argv[4].split(), sys.argv[5].split(), sys.argv[6]
Lead = 4608  # samples into a piece before it is looked for: its first frames may decode roughly
Probe = 1152
Reach = 20000

def decode(decoder, path, raw):
    with open(raw, "wb") as f:
        if decoder == "mpg123":
            cmd = ["mpg123", "-q", "-e", "s16", "-s", path]
        else:
            cmd = ["ffmpeg", "-v", "error", "-nostdin", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-"]
        subprocess.run(cmd, stdout=f, stderr=subprocess.DEVNULL, check=False)
    return raw

def channels(path):
    info = json.loads(subprocess.run([cli, "info", path, "--json"], capture_output=True, text=True).stdout)
    return 1 if info.get("Mono") else 2

def mapped(path):
    f = open(path, "rb")
    return mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) if os.path.getsize(path) else b""

def locate(source, piece, expected, fs):
    """Where piece's first sample lies in source, by an exact match of a run
    of its samples from Lead on (a decoder that rounds a sample here and there
    otherwise than in the whole stream leaves most runs whole); None when
    they are nowhere near."""
    n = len(piece) // fs
    for a in range(min(Lead, max(0, n - Probe)), max(n - 64, 1), 499):
        needle = piece[a * fs:(a + min(64, n - a)) * fs]
        if not needle:
            break
        if needle.count(needle[:fs]) * fs == len(needle):
            continue  # silence matches anywhere
        lo = max(0, expected + a - Reach) * fs
        hi = (expected + a + Reach) * fs + len(needle)
        at = source.find(needle, lo, hi)
        while at >= 0 and at % fs:
            at = source.find(needle, at + 1, hi)
        if at >= 0:
            return at // fs - a
    return None

base = os.path.basename(src)
fs = 2 * channels(src)
failed = False
for tool in tools:
    folder = os.path.join(scratch, tool)
    names = sorted(n for n in os.listdir(folder) if n.endswith(".mp3"))
    if not names:
        print(f"{base:<22} {tool:<14} wrote no pieces")
        continue
    for decoder in decoders:
        s = mapped(decode(decoder, src, os.path.join(scratch, "source.raw")))
        if not len(s):
            print(f"{base:<22} {tool:<14} {decoder:<7} cannot decode the source")
            continue
        pieces = [mapped(decode(decoder, os.path.join(folder, n), os.path.join(scratch, f"{tool}-{i}.raw")))
                  for i, n in enumerate(names)]
        total = len(s) // fs
        lengths = [len(p) // fs for p in pieces]
        changes, differing, largest, at = [], 0, 0, 0
        positions = [locate(s, p, sum(lengths[:i]), fs) for i, p in enumerate(pieces)]
        for k in range(1, len(pieces)):
            if positions[k] is None or positions[k - 1] is None:
                changes.append(None)
            else:
                changes.append(positions[k] - (positions[k - 1] + lengths[k - 1]))
        # The joined decode against the source's, around each joint.
        joined_equal = total == sum(lengths)
        for k, p in enumerate(pieces):
            if joined_equal and p[:] != s[at * fs:(at + lengths[k]) * fs]:
                joined_equal = False
            if k > 0:
                w = 2 * 1152
                left = pieces[k - 1][max(0, lengths[k - 1] - w) * fs:]
                window = left + p[:w * fs]
                ref = s[(at - len(left) // fs) * fs:(at - len(left) // fs) * fs + len(window)]
                n = min(len(window), len(ref)) // 2
                a, b = struct.unpack(f"<{n}h", window[:2 * n]), struct.unpack(f"<{n}h", ref[:2 * n])
                diffs = [abs(x - y) for x, y in zip(a, b) if x != y]
                differing += len(diffs)
                largest = max([largest] + diffs)
                differing += abs(len(window) - len(ref)) // 2
            at += lengths[k]
        start = positions[0] if positions and positions[0] is not None else None
        end = None if positions[-1] is None else total - (positions[-1] + lengths[-1])
        summary = {}
        for c in changes:
            summary[c] = summary.get(c, 0) + 1
        text = ", ".join(f"{'?' if c is None else f'{c:+d}'} at {n}" for c, n in sorted(summary.items(), key=lambda x: (x[0] is None, x[0] or 0)))
        print(f"{base:<22} {tool:<14} {decoder:<7} joints {len(changes):>3}: {text or '-':<22} "
              f"start {start if start is not None else '?':>5}, end {end if end is not None else '?':>5}, "
              f"differing near joints {differing:>6} (by up to {largest}), joined = source: {'yes' if joined_equal else 'no'}")
        if tool == "segmora-exact" and not joined_equal:
            failed = True
sys.exit(1 if strict and failed else 0)
PY
done
rm -rf "$SCRATCH"
exit $rc
