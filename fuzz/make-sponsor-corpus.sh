#!/usr/bin/env bash
# Writes the seed corpus of segmora_fuzz_sponsor into fuzz/corpus-sponsor:
#   reply-*.txt   replies of the information service, understood and not;
#   *.jpg         tiny JPEG pictures made by cjpeg (Debian package
#                 libjpeg-turbo-progs) in the codings libjpeg reads: baseline
#                 with 4:2:0 and 4:4:4 sampling, grey, progressive, restart
#                 markers, arithmetic coding, an odd size.
set -euo pipefail

OUT=$(cd "$(dirname "$0")" && pwd)/corpus-sponsor
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
command -v cjpeg >/dev/null || { echo "cjpeg is missing: apt-get install libjpeg-turbo-progs" >&2; exit 1; }

printf '%s' '!ok-http://127.0.0.1:8080/pic.jpg' >"$OUT/reply-plain.txt"
printf '%s\r\n' '!x-http://my-host/a-b.jpg' >"$OUT/reply-dashes-line-break.txt"
printf '%s' '!-' >"$OUT/reply-empty-address.txt"
printf '%s' 'ok-http://127.0.0.1/pic.jpg' >"$OUT/reply-no-mark.txt"

# A colour gradient as a binary PPM of the given size.
ppm() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
w, h, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
pixels = bytes(v for y in range(h) for x in range(w) for v in (x * 255 // w, y * 255 // h, 128))
open(path, "wb").write(b"P6\n%d %d\n255\n" % (w, h) + pixels)
PY
}
ppm 16 12 "$WORK/small.ppm"
ppm 13 7 "$WORK/odd.ppm"

cjpeg -quality 80 -outfile "$OUT/baseline-420.jpg" "$WORK/small.ppm"
cjpeg -quality 80 -sample 1x1 -outfile "$OUT/baseline-444.jpg" "$WORK/small.ppm"
cjpeg -quality 80 -grayscale -outfile "$OUT/grey.jpg" "$WORK/small.ppm"
cjpeg -quality 80 -progressive -outfile "$OUT/progressive.jpg" "$WORK/small.ppm"
cjpeg -quality 80 -restart 1B -outfile "$OUT/restart.jpg" "$WORK/small.ppm"
cjpeg -quality 80 -arithmetic -outfile "$OUT/arithmetic.jpg" "$WORK/small.ppm"
cjpeg -quality 50 -optimize -outfile "$OUT/odd-size.jpg" "$WORK/odd.ppm"
ls -l "$OUT"
