#!/usr/bin/env python3
"""The fades of a cut piece, decoded, against the ideal.

fade-curve.py PLAIN.raw FADED.raw RATE CHANNELS FADE_IN_MS FADE_OUT_MS GRANULE

PLAIN and FADED are the same piece without and with fades, decoded without
gapless trimming (s16le, channels interleaved), so that their samples line up
with the frames. Prints, per granule of the fade in and of the fade out: the
ideal level of a linear ramp of amplitude at the granule's start (end), the
level of the gain steps the fade chose, and the level measured (the faded
granule's RMS against the plain one's), all in dB; then the largest
deviations where the fade has risen above -30 dB (below, the overlap with
the neighbouring granules, 20 dB apart, dominates). The decoder's 529 samples of delay are taken into account.
"""
import math
import struct
import sys

STEP_DB = 20 * math.log10(2 ** 0.25)
FLOOR_STEPS = 40
DELAY = 529


def samples(path, channels):
    data = open(path, "rb").read()
    count = len(data) // 2
    values = struct.unpack("<%dh" % count, data[: count * 2])
    return [values[i::channels] for i in range(channels)]


def steps(fraction):
    if fraction <= 0:
        return FLOOR_STEPS
    return min(FLOOR_STEPS, max(0, round(-20 * math.log10(fraction) / STEP_DB)))


def rms(chans, start, count):
    total, n = 0.0, 0
    for ch in chans:
        for v in ch[start : start + count]:
            total += v * v
            n += 1
    return math.sqrt(total / n) if n else 0.0


def main():
    plain_path, faded_path, rate, channels, fade_in, fade_out, granule = sys.argv[1:8]
    rate, channels, granule = int(rate), int(channels), int(granule)
    fade_in, fade_out = float(fade_in), float(fade_out)
    plain, faded = samples(plain_path, channels), samples(faded_path, channels)
    length = min(len(plain[0]), len(faded[0]))
    # Decoded without trimming, the piece is its frames' granules; gapless
    # players stop the decoder's delay before their end, where the fade out
    # ends.
    total = length // granule
    granules = (length - DELAY) // granule
    granule_ms = 1000.0 * granule / rate
    end_ms = total * granule_ms - 1000.0 * DELAY / rate
    rows, worst_step, worst_ideal = [], 0.0, 0.0
    for k in range(granules):
        start_ms, stop_ms = k * granule_ms, (k + 1) * granule_ms
        s = 0
        ideal = 0.0
        if start_ms < fade_in:
            s += steps(start_ms / fade_in)
            ideal += 20 * math.log10(start_ms / fade_in) if start_ms > 0 else -math.inf
        if stop_ms > end_ms - fade_out:
            f = max(end_ms - stop_ms, 0) / fade_out
            s += steps(f)
            ideal += 20 * math.log10(f) if f > 0 else -math.inf
        if s == 0:
            continue
        s = min(s, FLOOR_STEPS)
        a = rms(plain, DELAY + k * granule, granule)
        b = rms(faded, DELAY + k * granule, granule)
        measured = 20 * math.log10(b / a) if a > 0 and b > 0 else -math.inf
        stepped = -s * STEP_DB
        rows.append((k, start_ms, max(ideal, -60.2), stepped, measured))
        if stepped > -30:
            worst_step = max(worst_step, abs(measured - stepped))
            worst_ideal = max(worst_ideal, abs(measured - max(ideal, -60.2)))
    print("granule  start_ms  ideal_dB  steps_dB  decoded_dB")
    for k, start_ms, ideal, stepped, measured in rows:
        print("%7d  %8.1f  %8.1f  %8.1f  %10.1f" % (k, start_ms, ideal, stepped, measured))
    print("largest |decoded - steps| where the steps lie above -30 dB: %.2f dB" % worst_step)
    print("largest |decoded - ideal ramp| there: %.2f dB" % worst_ideal)


main()
