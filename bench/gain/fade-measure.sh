#!/usr/bin/env bash
# Fades and gain changes without re-encoding, measured: the decoded fade curve
# against the ideal, the click at a piece's edges with and without fades, the
# gain round trip, and what ffmpeg and mpg123 make of the results.
#
#   bench/gain/fade-measure.sh [SEGMORA_CLI]
#
# Needs sox, lame, mpg123, ffmpeg and python3. Works in a scratch folder.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
CLI=${1:-$HERE/../../build/bin/segmora-cli}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# A loud source: a chord and pink noise near full scale, 12 s.
sox -R -D -n -r 44100 -c 2 -b 16 loud.wav synth 12 sine 220 sine 330 pinknoise vol 0.9 gain -n -1
lame --quiet --noreplaygain -b 192 loud.wav loud.mp3
sox -R -D -n -r 22050 -c 1 -b 16 loud2.wav synth 12 sine 220 pinknoise gain -n -1
lame --quiet --noreplaygain -b 64 loud2.wav loud-mpeg2.mp3

raw() {  # raw MP3 RAW [gapless|plain]
    if [ "$3" = gapless ]; then mpg123 -q -s "$1" >"$2"; else mpg123 -q --no-gapless -s "$1" >"$2"; fi
}

for src in loud.mp3 loud-mpeg2.mp3; do
    if [ $src = loud.mp3 ]; then rate=44100 ch=2; else rate=22050 ch=1; fi
    granule=576
    echo "== $src: cut 3 s to 9 s, --fade-in 2s --fade-out 2s"
    "$CLI" cut $src plain.mp3 --start 3s --end 9s -y >/dev/null
    "$CLI" cut $src faded.mp3 --start 3s --end 9s --fade-in 2s --fade-out 2s -y >/dev/null
    "$CLI" cut $src plain-exact.mp3 --start 3s --end 9s --exact -y >/dev/null
    "$CLI" cut $src faded-exact.mp3 --start 3s --end 9s --exact --fade-in 2s --fade-out 2s -y >/dev/null
    echo "bytes that differ between plain and faded: $(cmp -l plain.mp3 faded.mp3 | wc -l) of $(stat -c %s plain.mp3)"
    raw plain.mp3 plain.raw plain
    raw faded.mp3 faded.raw plain
    python3 "$HERE/fade-curve.py" plain.raw faded.raw $rate $ch 2000 2000 $granule | awk 'NR == 1 || NR % 8 == 2 || /largest/'
    echo "-- the click (mpg123 gapless, ffmpeg):"
    for f in plain faded plain-exact faded-exact; do
        raw $f.mp3 $f-g.raw gapless
        python3 "$HERE/jumps.py" $f-g.raw $ch $rate "mpg123 $f"
        ffmpeg -v error -y -i $f.mp3 -f s16le -acodec pcm_s16le $f-f.raw
        python3 "$HERE/jumps.py" $f-f.raw $ch $rate "ffmpeg $f"
    done
    echo "-- decoders' complaints (none expected):"
    for f in faded faded-exact; do
        ffmpeg -v error -err_detect crccheck -i $f.mp3 -f null - 2>&1 | head -3
        mpg123 -q -t $f.mp3 2>&1 | head -3
    done
done

echo "== gain round trip"
for src in loud.mp3 loud-mpeg2.mp3; do
    cp $src g.mp3
    "$CLI" gain g.mp3 --db -3 >/dev/null
    "$CLI" gain g.mp3 --db +3 >/dev/null
    cmp -s g.mp3 $src && echo "$src: --db -3 then --db +3: the original bytes" || echo "$src: DIFFERS"
    cp $src g.mp3
    "$CLI" gain g.mp3 --db 30 --undo-info | grep -E 'Gain|Clamped' || true
    "$CLI" gain g.mp3 --undo >/dev/null
    cmp -s g.mp3 $src && echo "$src: --db 30 --undo-info then --undo: the original bytes" || echo "$src: DIFFERS"
done
