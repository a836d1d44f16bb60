#!/usr/bin/env python3
"""Measures the real game under Xvfb: launch to title, ENTER to world, the
pace held and the CPU share while walking for ten seconds and while swinging
for ten (a swing's sound with each), beside a minimal
paced program doing the bare frame floor, and the peak resident memory.

    measure_game.py JEWELWARD BENCH_FLOOR DATA_FOLDER PACE_RECORDER

The game runs exactly as shipped; its ticks are seen from outside by the
preload library PACE_RECORDER (pace_recorder.cpp), which notes each sleep of
the game's pacer until the next tick's deadline.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def start_xvfb():
    for number in range(71, 99):
        if os.path.exists(f"/tmp/.X{number}-lock"):
            continue
        server = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "640x480x24", "-nolisten", "tcp"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if subprocess.run(["xdpyinfo", "-display", f":{number}"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return server, f":{number}"
            time.sleep(0.05)
        server.kill()
    sys.exit("no Xvfb display could be started")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def peak_memory_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def key(env, action, name):
    subprocess.run(["xdotool", action, name], env=env, check=True)


def press(env, name, hold=0.08):
    key(env, "keydown", name)
    time.sleep(hold)
    key(env, "keyup", name)


def read_pace_record(path):
    """The monotonic nanoseconds at which each tick's work ended (its sleep
    began), from the lines "<began ns> <deadline ns>" a pace recorder writes."""
    with open(path) as record:
        return [int(line.split()[0]) for line in record]


def first_after_longest_pause(ticks, since, until):
    """The tick that ends the longest pause between `since` and `until`: after
    the 4th ENTER, the game set-up (sheets cut, enemies placed, the world
    loaded) pauses the ticks far longer than any late tick, so this is the
    first tick of play."""
    pauses = [(tick - before, tick) for before, tick in zip(ticks, ticks[1:]) if since < tick < until]
    if not pauses:
        sys.exit("no tick was seen between the 4th ENTER and the walk")
    return max(pauses)[1]


def main():
    game, floor_program, data, recorder = (os.path.abspath(a) for a in sys.argv[1:5])
    server, display = start_xvfb()
    work = tempfile.mkdtemp(prefix="jewelward-measure-")
    try:
        shutil.copytree(data, os.path.join(work, "data"))
        home = os.path.join(work, "home")
        os.makedirs(home)
        with open(os.path.join(home, ".asoundrc"), "w") as rc:
            rc.write('pcm.!default { type file slave.pcm "null" file "/dev/null" format "raw" }\n')
        with open(os.path.join(home, ".allegrorc"), "w") as rc:
            rc.write("[sound]\nalsa_fragsize = 441\n")
        env = dict(os.environ, DISPLAY=display, HOME=home)
        cwd = os.path.join(work, "data")
        record = os.path.join(work, "ticks.txt")
        game_env = dict(env, LD_PRELOAD=recorder, JEWELWARD_PACE_RECORD=record)

        launched = time.monotonic_ns()
        game_process = subprocess.Popen([game], cwd=cwd, env=game_env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        time.sleep(1.5)
        subprocess.run(["xdotool", "mousemove", "320", "240"], env=env)
        for _ in range(3):
            press(env, "Return")
            time.sleep(0.25)
        fourth_enter = time.monotonic_ns()
        press(env, "Return", hold=0.02)
        time.sleep(1.0)

        keys = ["Right", "Down", "Left", "Up"]
        cpu_before = cpu_seconds(game_process.pid)
        walk_start = time.monotonic_ns()
        for second in range(10):
            name = keys[second % 4]
            key(env, "keydown", name)
            time.sleep(1.0)
            key(env, "keyup", name)
        walk_end = time.monotonic_ns()
        game_cpu = (cpu_seconds(game_process.pid) - cpu_before) / ((walk_end - walk_start) / 1e9)
        # A fight's sound: ENTER held swings every 92 ticks, each with its sound effect.
        cpu_before = cpu_seconds(game_process.pid)
        swing_start = time.monotonic_ns()
        key(env, "keydown", "Return")
        time.sleep(10.0)
        key(env, "keyup", "Return")
        swing_cpu = (cpu_seconds(game_process.pid) - cpu_before) / ((time.monotonic_ns() - swing_start) / 1e9)
        peak = peak_memory_mib(game_process.pid)
        press(env, "Escape", hold=0.2)
        game_process.wait(timeout=10)

        floor_process = subprocess.Popen([floor_program, "12"], cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL)
        time.sleep(1.5)
        floor_before = cpu_seconds(floor_process.pid)
        floor_start = time.monotonic_ns()
        time.sleep(10)
        floor_cpu = (cpu_seconds(floor_process.pid) - floor_before) / ((time.monotonic_ns() - floor_start) / 1e9)
        floor_process.wait(timeout=10)

        ticks = read_pace_record(record)
        first_title = ticks[0]
        first_play = first_after_longest_pause(ticks, fourth_enter, walk_start)
        walking = [ns for ns in ticks if walk_start <= ns <= walk_end]
        intervals = sorted((b - a) / 1e6 for a, b in zip(walking, walking[1:]))
        rate = (len(walking) - 1) / ((walking[-1] - walking[0]) / 1e9)
        p99 = intervals[int(len(intervals) * 0.99)]

        print("| measurement (real game under Xvfb) | figure |")
        print("|---|---|")
        print(f"| launch to the title on screen | {(first_title - launched) / 1e6:.0f} ms |")
        print(f"| 4th ENTER to the world on screen | {(first_play - fourth_enter) / 1e6:.0f} ms |")
        print(f"| ticks per second held while walking 10 s | {rate:.2f} |")
        print(f"| tick interval: median / 99th percentile / max | {intervals[len(intervals) // 2]:.2f} / "
              f"{p99:.2f} / {intervals[-1]:.2f} ms |")
        print(f"| CPU share of one core, game walking | {game_cpu * 100:.1f} % |")
        print(f"| CPU share of one core, game swinging 10 s (ENTER held) | {swing_cpu * 100:.1f} % |")
        print(f"| CPU share of one core, bare paced frame floor | {floor_cpu * 100:.1f} % |")
        print(f"| ratio game / floor | {game_cpu / floor_cpu:.2f} |")
        print(f"| peak resident memory of the game | {peak:.1f} MiB |")
    finally:
        # Terminated, not killed: Xvfb then removes its lock file and socket,
        # which would otherwise keep the display taken for every later run.
        server.terminate()
        try:
            server.wait(5)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
