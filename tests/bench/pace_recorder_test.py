#!/usr/bin/env python3
"""The benchmark's pace recorder, preloaded into a program that runs the
game's own pacer: it records every tick and nothing else, and writes nothing
unless asked.

usage: pace_recorder_test.py PACER_DRIVER PACE_RECORDER
"""
import os
import subprocess
import sys
import tempfile

TICKS = 30
TICK_NS = 10_000_000


def run(driver, recorder, record, folder):
    env = dict(os.environ, LD_PRELOAD=recorder)
    if record:
        env["JEWELWARD_PACE_RECORD"] = record
    else:
        env.pop("JEWELWARD_PACE_RECORD", None)
    result = subprocess.run([driver, str(TICKS)], env=env, cwd=folder, stderr=subprocess.PIPE,
                            universal_newlines=True)
    if result.returncode != 0:
        sys.exit("FAILED: the driver ended with %d: %s" % (result.returncode, result.stderr))


def main(driver, recorder):
    with tempfile.TemporaryDirectory() as tmp:
        record = os.path.join(tmp, "ticks.txt")
        run(driver, recorder, record, tmp)
        with open(record) as f:
            ticks = [tuple(int(x) for x in line.split()) for line in f]
        problems = []
        # One line per tick: the other thread's sleep and the relative sleep
        # before the ticks are no ticks.
        if len(ticks) != TICKS:
            problems.append("%d ticks recorded, expected %d: %s" % (len(ticks), TICKS, ticks[:3]))
        # Each line: the sleep's start, then its deadline, both on the
        # monotonic clock and both moving on; the deadlines a whole number of
        # ticks apart (one, unless a stall made the pacer start a new schedule).
        for (began, deadline), (next_began, next_deadline) in zip(ticks, ticks[1:]):
            if not (began < next_began and deadline < next_deadline and began < next_deadline):
                problems.append("the lines %s and %s do not move on" % ((began, deadline), (next_began, next_deadline)))
        steps = [b[1] - a[1] for a, b in zip(ticks, ticks[1:])]
        if steps.count(TICK_NS) < len(steps) // 2:
            problems.append("the deadlines are not a tick apart: %s" % steps[:10])
        with open("/proc/uptime") as f:
            boot_ns = float(f.read().split()[0]) * 1e9
        if ticks and not 0 < ticks[0][0] < boot_ns + 1e9:
            problems.append("the times %d are not on the monotonic clock (up %d ns)" % (ticks[0][0], boot_ns))

        # Without the variable nothing is written, not even in the folder the
        # program runs in.
        os.remove(record)
        run(driver, recorder, None, tmp)
        if os.listdir(tmp):
            problems.append("without JEWELWARD_PACE_RECORD the recorder wrote %s" % os.listdir(tmp))
    if problems:
        print("FAILED: " + "\n  ".join(problems))
        return 1
    print("the pace recorder saw %d ticks, deadlines %s ns apart" % (len(ticks), sorted(set(steps))))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(*(os.path.abspath(a) for a in sys.argv[1:3])))
