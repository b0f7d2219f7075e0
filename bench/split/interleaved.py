#!/usr/bin/env python3
"""Times commands in turn, round after round, so that a machine shared with
other work slows them alike: the medians of the wall times and their ratios.

    interleaved.py ROUNDS NAME=COMMAND [NAME=COMMAND ...] [--prepare NAME=COMMAND ...]

A prepare command runs before each run of the command of that name, outside
the timing. Run by bench/split/silence-bench.sh; nothing here is a test."""
import statistics
import subprocess
import sys
import time

rounds = int(sys.argv[1])
commands, prepares, target = {}, {}, None
for arg in sys.argv[2:]:
    if arg == "--prepare":
        target = prepares
        continue
    name, command = arg.split("=", 1)
    (target if target is not None else commands)[name] = command
    target = None
times = {name: [] for name in commands}
for _ in range(rounds):
    for name, command in commands.items():
        if name in prepares:
            subprocess.run(prepares[name], shell=True, check=True)
        start = time.perf_counter()
        subprocess.run(command, shell=True, check=True, stdout=subprocess.DEVNULL)
        times[name].append(time.perf_counter() - start)
for name, values in times.items():
    print(f"  {name:32s} median {statistics.median(values) * 1000:9.1f} ms  "
          f"(min {min(values) * 1000:.1f}, max {max(values) * 1000:.1f}, {len(values)} runs)")
median = {name: statistics.median(values) for name, values in times.items()}
for a, b, target in (("split --silence", "split --silence before", "at most 0.1"),
                     ("split --silence", "mp3splt -s", "at most 0.05"),
                     ("levels", "info", "at most 2")):
    if a in median and b in median:
        print(f"  {a} / {b}: {median[a] / median[b]:.3f}  (target: {target})")
