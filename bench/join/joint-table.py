#!/usr/bin/env python3
"""What a join keeps at its joints, sample for sample, in two decoders.

    joint-table.py WORKDIR SEGMORA_CLI SOURCE.mp3 [SOURCE.mp3 ...]
    joint-table.py --pieces WORKDIR SEGMORA_CLI SOURCE.mp3   (only cuts the pieces)

For each source (a long MP3 file), cuts three consecutive pieces with
`cut --exact`, joins them with and without `--exact`, and decodes the pieces
one by one and the joined files with libmpg123 (the mpg123 program, gapless)
and with ffmpeg. The decoded pieces, one after the other, are what gapless
players give for the separate files: at each joint the joined decoding is
aligned with them, and the table tells how many samples the joint adds (more
than 0: doubled or kept that the separate files drop) or loses (less than 0),
and whether the samples around it are the same to the bit. Then the same for
three files encoded on their own (lame), where a joint cannot be exact, and
the lengths ffprobe and mpg123 read. Run by hand (bench/run-bench.sh runs it).
"""
import audioop  # deprecated in Python 3.11, still there in Debian 12's 3.11
import json
import mmap
import os
import subprocess
import sys

SAMPLE_BYTES = 4  # 16-bit stereo
WINDOW = 4096  # samples compared to align a joint
SEARCH = 6000  # samples either way
SETTLE = 4096  # the alignment window starts this far behind a joint
AROUND = 8192  # samples either side of a joint compared after alignment


def run(*args, **kw):
    return subprocess.run(args, check=True, **kw)


def decode(decoder, mp3, raw, append=False):
    with open(raw, "ab" if append else "wb") as out:
        if decoder == "mpg123":
            run("mpg123", "-q", "--gapless", "-e", "s16", "-s", mp3, stdout=out)
        else:
            run("ffmpeg", "-v", "error", "-nostdin", "-i", mp3, "-f", "s16le", "-acodec", "pcm_s16le", "-", stdout=out)


class Raw:
    def __init__(self, path):
        self.file = open(path, "rb")
        self.size = os.path.getsize(path)
        self.map = mmap.mmap(self.file.fileno(), 0, access=mmap.ACCESS_READ) if self.size else b""

    def samples(self):
        return self.size // SAMPLE_BYTES

    def span(self, start, count):
        if start < 0 or start + count > self.samples():
            return None
        return self.map[start * SAMPLE_BYTES:(start + count) * SAMPLE_BYTES]


def best_shift(joined, apart, at, previous):
    """The offset of joined against apart behind position at: exact first."""
    ref = apart.span(at + SETTLE, WINDOW)
    if ref is None:
        return previous, None
    order = sorted(range(previous - SEARCH, previous + SEARCH + 1), key=lambda d: abs(d - previous))
    for d in order:
        if joined.span(at + SETTLE + d, WINDOW) == ref:
            return d, 0
    best = (None, None)
    for d in order:
        got = joined.span(at + SETTLE + d, WINDOW)
        if got is None:
            continue
        rms = audioop.rms(audioop.add(got, audioop.mul(ref, 2, -1), 2), 2)
        if best[1] is None or rms < best[1]:
            best = (d, rms)
    return best


def peak_difference(joined, apart, start, count, shift):
    a, b = apart.span(start, count), joined.span(start + shift, count)
    if a is None or b is None:
        return None
    return audioop.max(audioop.add(b, audioop.mul(a, 2, -1), 2), 2)


def joints_of(joined, apart, lengths):
    rows, shift, at = [], 0, 0
    for length in lengths[:-1]:
        at += length
        before = peak_difference(joined, apart, at - AROUND, AROUND, shift)
        new_shift, _ = best_shift(joined, apart, at, shift)
        after = peak_difference(joined, apart, at, AROUND, new_shift)
        rows.append((new_shift - shift, before, after))
        shift = new_shift
    return rows


def info(cli, mp3):
    return json.loads(run(cli, "info", mp3, "--json", stdout=subprocess.PIPE).stdout)


def exact_pieces(work, cli, source):
    """Three consecutive pieces cut with --exact: the second and third each
    begin with the frames their start needs in front of it."""
    i = info(cli, source)
    samples = 1152 if i["Version"] == 1 else 576
    frame_ms = samples * 1000.0 / i["SampleRate"]
    total = int(round(i["LengthMs"] / frame_ms))
    counts = [total // 3, total // 3]
    pieces, first = [], 0
    for n, count in enumerate(counts + [None]):
        # 10 ms inside the frames, away from the rounding of their sums.
        start = 0 if first == 0 else int(first * frame_ms - 10)
        end = 2147483647 if count is None else int(first * frame_ms - 10 + count * frame_ms)
        piece = os.path.join(work, f"piece{n + 1}.mp3")
        run(cli, "cut", source, piece, "--start", str(start), "--end", str(end), "--exact", "-y",
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pieces.append(piece)
        first += count or 0
    return pieces


def own_encodes(work):
    """Three files encoded on their own from consecutive stretches of one signal."""
    wav = os.path.join(work, "own.wav")
    run("sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "30", "sine", "200-2000", "pinknoise")
    files = []
    for n in range(3):
        part = os.path.join(work, f"own{n + 1}.wav")
        run("sox", wav, part, "trim", str(10 * n), "10")
        mp3 = os.path.join(work, f"own{n + 1}.mp3")
        run("lame", "--quiet", "-V", "2", part, mp3)
        files.append(mp3)
    return files


def duration(mp3):
    return run("ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", mp3,
               stdout=subprocess.PIPE, text=True).stdout.strip()


def decoded_samples(decoder, mp3, work):
    raw = os.path.join(work, "whole.raw")
    decode(decoder, mp3, raw)
    samples = os.path.getsize(raw) // SAMPLE_BYTES
    os.remove(raw)
    return samples


def table(work, cli, name, pieces, source=None):
    joined = {}
    for label, extra in (("join --exact", ["--exact"]), ("join", [])):
        out = os.path.join(work, f"joined-{'exact' if extra else 'plain'}.mp3")
        run(cli, "join", *pieces, "-o", out, "-y", *extra, stdout=subprocess.DEVNULL)
        joined[label] = out
    print(f"\n{name}: three pieces, {', '.join(os.path.basename(p) for p in pieces)}")
    print(f"  {'decoder':<8}{'file':<14}{'joint':>6}{'samples':>9}{'peak diff before':>18}{'after':>7}"
          f"{'length':>12}{'apart':>12}")
    for decoder in ("mpg123", "ffmpeg"):
        if source:
            print(f"  {decoder}: the source decodes to {decoded_samples(decoder, source, work)} samples")
        apart_path = os.path.join(work, f"apart-{decoder}.raw")
        open(apart_path, "wb").close()
        lengths = []
        for p in pieces:
            before = os.path.getsize(apart_path)
            decode(decoder, p, apart_path, append=True)
            lengths.append((os.path.getsize(apart_path) - before) // SAMPLE_BYTES)
        apart = Raw(apart_path)
        for label, mp3 in joined.items():
            raw = os.path.join(work, f"joined-{decoder}.raw")
            decode(decoder, mp3, raw)
            j = Raw(raw)
            for n, (shift, before, after) in enumerate(joints_of(j, apart, lengths)):
                print(f"  {decoder:<8}{label:<14}{n + 1:>6}{shift:>+9}{str(before):>18}{str(after):>7}"
                      f"{j.samples():>12}{apart.samples():>12}")
            os.remove(raw)
        os.remove(apart_path)
    for label, mp3 in joined.items():
        probe = duration(mp3)
        i = info(cli, mp3)
        print(f"  {label}: ffprobe {probe} s, segmora-cli info {i['LengthMs'] / 1000:.3f} s")
    if source:
        print(f"  source: ffprobe {duration(source)} s, segmora-cli info {info(cli, source)['LengthMs'] / 1000:.3f} s")


def main():
    only_pieces = sys.argv[1] == "--pieces"
    work, cli, sources = sys.argv[1 + only_pieces], sys.argv[2 + only_pieces], sys.argv[3 + only_pieces:]
    os.makedirs(work, exist_ok=True)
    if only_pieces:
        print("\n".join(exact_pieces(work, cli, sources[0])))
        return
    print("samples: what a joint adds (+) or loses (-) against the pieces decoded apart; "
          "peak diff: the largest sample difference within 8192 samples before and after it, once aligned")
    for source in sources:
        table(work, cli, os.path.basename(source), exact_pieces(work, cli, source), source)
    table(work, cli, "three files encoded on their own (lame -V 2, 10 s each)", own_encodes(work))


if __name__ == "__main__":
    main()
