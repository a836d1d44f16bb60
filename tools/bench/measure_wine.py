#!/usr/bin/env python3
"""The real game on Linux and the Windows game under Wine, measured the same
way from outside: launch to the title on screen, and while walking the ticks
per second (the camera's distance walked over the time a key was held, 4
pixels a tick) and the game process' CPU share. Prints one row per system.

    measure_wine.py JEWELWARD JEWELWARD_EXE DATA_FOLDER WINE_PREFIX
"""
import os
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "..", "tests", "windows"))
import windows_e2e as w  # noqa: E402
from jewelward_e2e import DOWN_TO_WALL, Session, enter_game, find_camera_x, view_condition  # noqa: E402

HOLD = 0.6    # seconds a walk key is held: 60 ticks, 240 of the 368 pixels between the walls
WALKS = 4     # right, left, right, left


class LinuxSession(Session):
    def cpu_seconds(self):
        return w.WineSession.cpu_seconds(self)


def measure(session):
    session.data_copy()
    session.start_x()
    started = time.time()
    session.start_game()
    to_title = time.time() - started
    enter_game(session)
    world = session.picture("worldMap.bmp")
    session.hold_until("Down", "down", view_condition(world, DOWN_TO_WALL), 6)
    x, ticks, held, cpu = 0, 0, 0.0, 0.0
    for walk in range(WALKS):
        key = "Right" if walk % 2 == 0 else "Left"
        cpu0 = session.cpu_seconds()
        session.xdo("keydown", key)
        down = time.time()
        time.sleep(HOLD)
        up = time.time()
        session.xdo("keyup", key)
        held += up - down
        time.sleep(0.2)
        cpu += session.cpu_seconds() - cpu0
        now = find_camera_x(session.shot("walk-%d" % walk), world, DOWN_TO_WALL[1], range(0, 369, 4))
        ticks += abs(now - x) // 4
        x = now
    session.press("Escape")
    session.wait_exit(15)
    return to_title, ticks / held, cpu / (held + WALKS * 0.2)


def main(argv):
    if len(argv) != 5:
        print(__doc__)
        return 2
    game, exe, data, prefix = [os.path.abspath(a) for a in argv[1:]]
    w.make_prefix(prefix)
    print("| the real game, measured from outside | launch to title | ticks/s while walking | CPU share |")
    print("|---|---|---|---|")
    for label, session in [("Linux (native)", LinuxSession("bench-linux", game, data, "/tmp")),
                           ("Windows under Wine 8", w.WineSession("bench-wine", prefix, exe, data, "/tmp"))]:
        failed = True
        try:
            to_title, pace, cpu = measure(session)
            failed = False
            print("| %s | %.2f s | %.0f | %.0f %% |" % (label, to_title, pace, 100 * cpu))
        finally:
            session.close(failed)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
