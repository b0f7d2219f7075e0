#!/usr/bin/env python3
"""The click at a piece's edges: jumps.py FILE.raw CHANNELS RATE [LABEL]

For decoded s16le audio, prints in dB full scale: the first sample's
magnitude (the step from silence into the piece); where the sound sets in
(the first sample above -60 dBFS; a piece cut without --exact decodes its
first frames silent or roughly, as their bit reservoir is missing) and the
largest sample-to-sample jump within 20 ms from there; and the largest jump
within the last 20 ms and the last sample's magnitude (the step back to
silence).
"""
import math
import struct
import sys


def db(v):
    return 20 * math.log10(v / 32768.0) if v > 0 else -math.inf


path, channels, rate = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
label = sys.argv[4] if len(sys.argv) > 4 else path
data = open(path, "rb").read()
count = len(data) // 2
values = struct.unpack("<%dh" % count, data[: count * 2])
chans = [values[i::channels] for i in range(channels)]
length = len(chans[0])
window = rate // 50
threshold = 32768 * 10 ** (-60 / 20)
onset = next((i for i in range(length) if any(abs(c[i]) > threshold for c in chans)), length)


def jump(start, stop):
    return max((abs(c[i + 1] - c[i]) for c in chans for i in range(max(start, 0), min(stop, length - 1))), default=0)


print("%-20s first %6.1f  onset %6.1f ms  jump %6.1f  |  jump-out %6.1f  last %6.1f" % (
    label, db(max(abs(c[0]) for c in chans)), 1000.0 * onset / rate, db(jump(onset - 1, onset + window)),
    db(jump(length - window - 1, length)), db(max(abs(c[-1]) for c in chans))))
