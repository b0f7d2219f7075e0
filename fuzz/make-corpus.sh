#!/usr/bin/env bash
# Writes the seed corpus of the fuzz targets into fuzz/corpus: tiny files of
# a few hundred bytes that reach every branch of the analysis and the walk.
#
#   synthetic seeds   frame headers of every version and layer, information
#                     frames (Xing/Info at each offset, VBRI), an ID3v2 tag
#                     with zero padding, ID3v1 and ID3v1.1 tails, APE footers,
#                     stray and zero bytes, an ID3v2 tag between frames, the
#                     header codes that are no frame, a truncated last frame,
#                     frames shorter than 40 bytes;
#   lame-*.mp3        the first three frames of small files made by lame
#                     (CBR with its Info frame, VBR with its Xing frame at
#                     the MPEG 2 mono offset, MPEG 2.5), so that the seeds
#                     carry real side information;
#   regress-*.mp3     inputs that once broke the checks (see below).
#
# Needs python3; the lame seeds also need sox and lame (skipped without them).
set -euo pipefail

OUT=$(cd "$(dirname "$0")" && pwd)/corpus
mkdir -p "$OUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

if command -v sox >/dev/null && command -v lame >/dev/null; then
    sox -R -D -n -r 44100 -c 1 -b 16 "$WORK/mono.wav" synth 0.3 sine 440
    sox -R -D -n -r 8000 -c 2 -b 16 "$WORK/low.wav" synth 0.5 sine 300 pinknoise vol 0.5
    lame --quiet --noreplaygain --resample 44.1 --cbr -b 64 "$WORK/mono.wav" "$WORK/cbr.mp3"
    lame --quiet --noreplaygain -V 9 "$WORK/mono.wav" "$WORK/vbr.mp3"
    lame --quiet --noreplaygain -V 9 "$WORK/low.wav" "$WORK/mpeg25.mp3"
fi

python3 - "$OUT" "$WORK" <<'PY'
import os, sys

out, work = sys.argv[1], sys.argv[2]

BITRATES = {  # (version row, layer) -> kbit/s by index 1..14
    (1, 1): [32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    (1, 2): [32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    (1, 3): [32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    (2, 1): [32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    (2, 2): [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
    (2, 3): [8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}
RATES = {1.0: [44100, 48000, 32000], 2.0: [22050, 24000, 16000], 2.5: [11025, 12000, 8000]}
VERSION_CODE = {1.0: 3, 2.0: 2, 2.5: 0}

def frame(version=1.0, layer=3, br_index=1, sr_index=0, pad=0, mono=False, fill=0x55, marker=None, at=None):
    code = VERSION_CODE[version]
    h1 = 0xE0 | (code << 3) | ((4 - layer) << 1) | 1
    h2 = (br_index << 4) | (sr_index << 2) | (pad << 1)
    h3 = 0xC0 if mono else 0x40
    row = 1 if version == 1.0 else 2
    samples = {1: 384, 2: 1152, 3: 1152 if version == 1.0 else 576}[layer]
    br = BITRATES[(row, layer)][br_index - 1]
    length = int(samples / 8 * br * 1000 / RATES[version][sr_index]) + pad
    body = bytearray(bytes([0xFF, h1, h2, h3]) + bytes((fill + i) & 0xFF for i in range(length - 4)))
    if marker:
        body[at:at + len(marker)] = marker.encode()
    return bytes(body)

def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])

def id3v2(body_size):
    return b"ID3\x03\x00\x00" + syncsafe(body_size) + b"TIT2" + bytes(body_size - 4)

def id3v1(track=0, genre=17):
    comment = b"seed".ljust(28, b"\x00") + (bytes([0, track]) if track else b"\x00\x00")
    return (b"TAG" + b"Title".ljust(30, b"\x00") + b"Artist".ljust(30, b"\x00") + b"Album".ljust(30, b"\x00")
            + b"2001" + comment + bytes([genre]))

def ape_footer():
    return b"APETAGEX" + (2000).to_bytes(4, "little") + (32).to_bytes(4, "little") + bytes(4) \
        + (0x80000000).to_bytes(4, "little") + bytes(8)

def put(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)

f1 = lambda **k: frame(1.0, 3, 1, 0, **k)       # MPEG 1 layer 3, 32 kbit/s, 44.1 kHz: 104 bytes
put("two-frames.mp3", f1() + f1(fill=0x23))
put("info-frame.mp3", f1(marker="Info", at=36) + f1() + f1(pad=1))
put("xing-mono.mp3", f1(mono=True, marker="Xing", at=21) + f1(mono=True) + f1(mono=True))
put("vbri.mp3", f1(marker="VBRI", at=36) + f1() + f1())
put("id3v2-zeros.mp3", id3v2(40) + bytes(12) + f1() + f1())
put("id3v1-tail.mp3", f1() + f1() + id3v1(track=3))
put("id3v10-tail.mp3", f1() + f1() + id3v1(track=0, genre=255))
put("ape-id3v1.mp3", f1() + f1() + ape_footer() + id3v1(track=9))
put("ape-tail.mp3", f1() + f1() + f1() + ape_footer())
put("truncated-last.mp3", f1() + f1() + f1()[:60])
put("stray-bytes.mp3", f1() + b"\x00\x01\xFF\x00" + b"junk" + f1() + id3v2(8) + f1())
put("bad-codes.mp3", f1() + b"\xFF\xEB\x10\x00" + b"\xFF\xF9\x10\x00" + b"\xFF\xFB\xF0\x00"
    + b"\xFF\xFB\x0C\x00" + b"\xFF\xFB\x00\x00" + f1())
# MPEG 2 layer 3 at 8 kbit/s, 22.05 kHz: 26-byte frames, shorter than the
# 40 bytes the information check looks at.
m2 = lambda **k: frame(2.0, 3, 1, 0, **k)
put("mpeg2-short.mp3", m2(mono=True, marker="Xing", at=13) + m2(mono=True) + m2(mono=True, pad=1) + m2(mono=True))
put("mpeg2-stereo-info.mp3", frame(2.0, 3, 8, 1, marker="Info", at=21) + frame(2.0, 3, 8, 1) + frame(2.0, 3, 8, 1))
put("mpeg25.mp3", frame(2.5, 3, 2, 2, marker="Xing", at=21) + frame(2.5, 3, 2, 2) + frame(2.5, 3, 2, 2, pad=1))
put("layer1.mp3", frame(1.0, 1, 1, 1) + frame(1.0, 1, 1, 1, pad=1) + frame(2.0, 1, 1, 1))
put("layer2.mp2", frame(1.0, 2, 1, 1) + frame(1.0, 2, 1, 1) + frame(2.5, 2, 1, 2))
put("id3v2-only.mp3", id3v2(16))
# Inputs that once broke the fuzz target's checks, kept as regression seeds:
# a frame of 32 bytes (MPEG 1 layer 1, 32 kbit/s, 48 kHz) followed by stray
# bytes and then by a frame whose bytes 4..7 read "Xing": in a cut the two
# frames meet, and the short one is taken for an information frame;
put("regress-short-frame-marker.mp3", frame(1.0, 1, 1, 1, fill=0x10)[:32] + bytes(40)
    + frame(2.0, 1, 1, 1, fill=0x3C, marker="Xing", at=4))
# five 104-byte frames with "TAG" where the middle third's cut has its last
# 128 bytes: a tag asked for must follow those bytes, not replace them.
tagged = bytearray(f1() * 5)
tagged[288:291] = b"TAG"
put("regress-tag-over-audio.mp3", bytes(tagged))
# an information frame ("VBRI") cut short by the end of the file: a change of
# gain took its whole length for the record in front of the audio.
put("regress-record-cut-short.mp3", frame(1.0, 3, 1, 0, marker="VBRI", at=36)[:84])
put("short.mp3", b"\xFF\xFB\x90")

def first_frames(name, count):
    path = os.path.join(work, name)
    if not os.path.exists(path):
        return None
    data = open(path, "rb").read()
    pos = 0
    if data[:3] == b"ID3":
        s = data[6:10]
        pos = 10 + (s[0] << 21 | s[1] << 14 | s[2] << 7 | s[3])
    start = pos
    for _ in range(count):
        h = data[pos:pos + 4]
        version = {3: 1.0, 2: 2.0, 0: 2.5}[(h[1] >> 3) & 3]
        layer = 4 - ((h[1] >> 1) & 3)
        row = 1 if version == 1.0 else 2
        samples = {1: 384, 2: 1152, 3: 1152 if version == 1.0 else 576}[layer]
        br = BITRATES[(row, layer)][(h[2] >> 4) - 1]
        sr = RATES[version][(h[2] >> 2) & 3]
        pos += int(samples / 8 * br * 1000 / sr) + ((h[2] >> 1) & 1)
    return data[start:pos]

for name, count in (("cbr.mp3", 3), ("vbr.mp3", 3), ("mpeg25.mp3", 3)):
    frames = first_frames(name, count)
    if frames:
        put("lame-" + name, frames)
PY
ls -l "$OUT"
