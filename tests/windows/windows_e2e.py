#!/usr/bin/env python3
"""End-to-end scenarios of the Windows game: the real jewelward.exe under
Wine on its own Xvfb (640 x 480 in full screen; larger screens in a window,
see scenario_large), driven like a player with
xdotool keydown/keyup (XTEST), checked by screenshots against the data
pictures and by the sound recorded from a private PulseAudio sink against the
data music. The picture and sound comparisons are those of the Linux
end-to-end tests (tests/e2e/jewelward_e2e.py).

usage: windows_e2e.py SCENARIO WINE_PREFIX GAME_EXE DATA_DIR OUT_DIR
       SCENARIO: play, damaged_data, or large_WxHxDEPTH_title / _play

The game runs from a folder holding the exe and the data, as the zip lays it
out, started from another working folder: it must find its own.
"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "e2e"))
import jewelward_e2e as e2e  # noqa: E402
from jewelward_e2e import (BOX_AREA, BOX_BAND, DOWN_TO_WALL, NEW_GAME_SAVE, SOUND_RATE, Failure,  # noqa: E402
                           Tracks, check, diff_fraction, enter_game, expect_camera, expect_hero,
                           expect_screen, expect_track, expect_world_view, find_camera_x, resume, view_condition,
                           wait_save)
from wine_env import Pulse, make_prefix, wine_environment  # noqa: E402
from xvfb import display_free  # noqa: E402

ONSET_LEVEL = 200  # a sample this far from silence: the music has begun


class WineSession(e2e.Session):
    """A Session whose game is jewelward.exe under Wine, with sound from PulseAudio."""
    # PulseAudio's recording: signed 16-bit, silence at 0.
    SAMPLE_FORMAT, SAMPLE_ZERO = "h", 0

    def __init__(self, name, prefix, game, data_dir, out_root):
        super().__init__(name, game, data_dir, out_root)
        self.prefix = prefix
        self.pulse = None
        self.launch_to_title = None

    def data_copy(self):
        run_dir = super().data_copy()
        shutil.copy(self.game, run_dir)
        return run_dir

    def start_large_x(self, width, height, depth):
        """An Xvfb larger than the game's 640 x 480, where Wine refuses the
        full-screen mode and the game falls back to a window."""
        for number in range(50, 100):
            if not display_free(number):
                continue
            log = open(os.path.join(self.tmp, "xvfb.log"), "w")
            self.xvfb = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx%d" % (width, height, depth),
                                          "-nolisten", "tcp", "-noreset"], stdout=log, stderr=log)
            log.close()
            deadline = time.time() + 10
            while time.time() < deadline and self.xvfb.poll() is None:
                if subprocess.run(["xdpyinfo", "-display", ":%d" % number], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode == 0:
                    self.display = ":%d" % number
                    return
                time.sleep(0.05)
            if self.xvfb.poll() is None:
                self.xvfb.kill()
            self.xvfb.wait()
        raise Failure("no Xvfb of %dx%dx%d could be started" % (width, height, depth))

    def start_sound(self):
        self.pulse = Pulse(self.tmp)
        self.pulse.record(self.sound_path)

    def start_game(self, display=None, wait_title=True):
        check(self.game_proc is None, "a game is already running")
        self.runs += 1
        env = wine_environment(self.prefix, display or self.display, self.pulse.server if self.pulse else None)
        self.game_out = os.path.join(self.tmp, "game-%d.out" % self.runs)
        self.game_err = os.path.join(self.tmp, "game-%d.err" % self.runs)
        # The Wine session of an earlier run in this prefix has ended: a game
        # started while Wine still restores the screen mode the last one left
        # can find its full-screen window black.
        subprocess.run(["wineserver", "-w"], env=env, timeout=60)
        started = time.time()
        with open(self.game_out, "w") as out, open(self.game_err, "w") as err:
            # Started from elsewhere: the game must make its own folder the working one.
            self.game_proc = subprocess.Popen(["wine", os.path.join(self.run_dir, "jewelward.exe")], cwd=self.tmp,
                                              env=env, stdout=out, stderr=err)
        if wait_title:
            self.wait_title_in_front(started)
            self.focus()

    def wait_title_in_front(self, started, timeout=30):
        """Waits for the title. Allegro's full-screen mode on Windows pauses
        the game while its window is in the background (it waits for the
        foreground before touching the screen), and Xvfb has no window
        manager to bring a new window forward: when Wine has left the game
        behind, the window is given the focus as a window manager, or the
        player's click on it, would."""
        deadline = time.time() + timeout
        while True:
            try:
                self.wait_screen("title", lambda s: diff_fraction(s, self.picture("Main Menu.bmp")) < 0.01, 3)
                break
            except Failure:
                if self.game_proc.poll() is not None or time.time() > deadline:
                    raise
            found = self.xdo("search", "--name", "Jewelward", tolerate=True).split()
            print("the title is not shown yet: giving the game's window the focus (%d windows)" % len(found))
            self.xdo("mousemove", str(e2e.SCREEN_W // 2), str(e2e.SCREEN_H // 2))
            for window in found:
                self.xdo("windowfocus", window, tolerate=True)
        self.launch_to_title = time.time() - started
        print("launch to the title under Wine: %.2f s" % self.launch_to_title)

    def focus(self):
        self.xdo("mousemove", str(e2e.SCREEN_W // 2), str(e2e.SCREEN_H // 2))

    def close(self, failed):
        self.stop_game()
        # Every Wine process of this run (the desktop process too) ends while
        # its X display is still there; a next run must not join a session
        # whose display has gone, which leaves its screen black.
        subprocess.run(["wineserver", "-w"], env=wine_environment(self.prefix), timeout=60)
        super().close(failed)
        if self.pulse:
            self.pulse.close()

    def stop_game(self):
        if self.game_proc is not None and self.game_proc.poll() is None:
            subprocess.run(["wineserver", "-k"], env=wine_environment(self.prefix))
        super().stop_game()

    def sound_onset(self, start, timeout=20):
        """The byte position of the first sound after `start` in the recording."""
        deadline = time.time() + timeout
        at = start
        while True:
            end = self.sound_mark()
            if end > at:
                with open(self.sound_path, "rb") as f:
                    f.seek(at)
                    raw = f.read(end - at)
                values = struct.unpack("<%dh" % (len(raw) // 2), raw[:len(raw) // 2 * 2])
                for i, v in enumerate(values):
                    if abs(v) > ONSET_LEVEL:
                        return at + i // 2 * 4
                at = end
            check(time.time() < deadline, "no sound was recorded within %s s" % timeout)
            time.sleep(0.1)

    def cpu_seconds(self):
        """User and system CPU seconds of the game's process so far."""
        with open("/proc/%d/stat" % self.game_proc.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def answer_no_save(s):
    """F2 on the title with no save: "No saved Found" in the game's own box,
    which stays until a real ENTER closes it; the title is back, unchanged,
    and the ENTER turned no page."""
    title = s.picture("Main Menu.bmp")
    s.press("F2")
    box_shown = lambda shot: (diff_fraction(shot, title, box=BOX_AREA) > 0.3  # noqa: E731
                              and diff_fraction(shot, title, excludes=(BOX_BAND,)) < 0.01)
    s.wait_screen("box", box_shown, 10)
    time.sleep(0.5)  # a screen caught while Wine updates it proves nothing: the box must stay
    check(box_shown(s.shot("box-stays")), "the message box did not stay on the screen")
    deadline = time.time() + 5
    while "No saved Found" not in s.output()[1]:
        check(time.time() < deadline, "the game did not report \"No saved Found\"")
        time.sleep(0.1)
    s.press("Return")
    s.wait_screen("title-after-box", lambda shot: diff_fraction(shot, title) < 0.01, 5)
    time.sleep(0.5)  # the answering key must not turn a page or quit
    check(s.game_proc.poll() is None, "answering the message ended the game")
    expect_screen(s.shot("still-title"), title, "the title after answering the message", 0.01)


def pace_while_walking(s, world):
    """Holds Right for a measured time from the wall below the start and finds
    how far the camera went (4 pixels a tick): ticks per second, measured
    from outside, and the game's CPU share meanwhile."""
    held = 0.6  # 60 ticks: 240 of the 368 pixels to the wall
    cpu0, t0 = s.cpu_seconds(), time.time()
    s.xdo("keydown", "Right")
    time.sleep(held)
    s.xdo("keyup", "Right")
    elapsed = time.time() - t0
    cpu = (s.cpu_seconds() - cpu0) / elapsed
    time.sleep(0.2)
    x = find_camera_x(s.shot("walked-right"), world, DOWN_TO_WALL[1], range(0, 369, 4))
    ticks = x / 4
    print("walking under Wine: %d ticks in %.2f s held = %.0f ticks/s; CPU share %.0f %%"
          % (ticks, elapsed, ticks / elapsed, 100 * cpu))
    check(x > 0, "holding Right did not move the camera")
    return x


def scenario_play(s):
    """The title picture and title music; F2 with no save: "No saved Found",
    closed by a real ENTER with the title kept; four ENTERs reach the world;
    F1 writes the exact 15 lines of a new game; walking moves the camera; F1
    again replaces the save; ESC exits 0; a second run resumes with F2 into
    the saved place, and ESC there exits 0."""
    tracks = Tracks(s.data_dir)
    run_dir = s.data_copy()
    s.start_x()
    s.start_sound()
    mark = s.sound_mark()
    s.start_game()
    expect_screen(s.shot("title"), s.picture("Main Menu.bmp"), "title", 0.01)
    # The recording runs from before the start: the title track is the first
    # sound in it.
    onset = s.sound_onset(mark)
    expect_track(tracks, s.sound(onset + e2e.MUSIC_SETTLED, e2e.MUSIC_SPAN), "title", "title music")
    answer_no_save(s)

    play = enter_game(s)
    world = s.picture("worldMap.bmp")
    expect_world_view(play, world, (0, 0), "new game")
    expect_hero(s, play, "Avatar.bmp", 8, "new game")
    s.press("F1")
    saved = wait_save(run_dir, lambda text: True)
    check(saved == NEW_GAME_SAVE, "the save of a new game is %r, expected %r" % (saved, NEW_GAME_SAVE))

    s.hold_until("Down", "walking-down", view_condition(world, DOWN_TO_WALL), 6)
    down = s.shot("after-down")
    expect_world_view(down, world, DOWN_TO_WALL, "after walking down", wrong=[(world, (0, 0))])
    expect_camera(down, world, DOWN_TO_WALL, "after walking down")
    x = pace_while_walking(s, world)
    walked = s.shot("after-right")
    place = (x, DOWN_TO_WALL[1])
    expect_camera(walked, world, place, "after walking right")
    s.press("F1")
    where = [str(place[0]), str(place[1]), str(272 + place[0]), str(192 + place[1]), "0"]  # camera, hero, zone
    replaced = wait_save(run_dir, lambda text: text.split("\n")[:5] == where)
    check(replaced == "\n".join(where) + NEW_GAME_SAVE[len("0\n0\n272\n192\n0"):],
          "the second save is %r, expected the walked place %r and the new game's statistics"
          % (replaced, where))
    check(s.quit_with("Escape", 15) == 0, "ESC in play did not end with 0")
    # Looked at once the game has ended: while F1 is held every tick saves,
    # so a temporary file of the next save may stand for a moment.
    leftovers = [n for n in os.listdir(run_dir) if n.startswith("heroData.txt.")]
    check(not leftovers, "temporary save files were left: %r" % leftovers)

    s.start_game()
    back = resume(s)
    expect_world_view(back, world, place, "resumed", wrong=[(world, (0, 0))])
    expect_camera(back, world, place, "resumed")
    check(s.quit_with("Escape", 15) == 0, "ESC in play after the resume did not end with 0")


def scenario_damaged_data(s):
    """A damaged data file: before the screen mode the library's Windows box
    says so, a real Return answers it, and the game exits with 255 naming the
    file."""
    file_name = "Lizard.bmp"
    run_dir = s.data_copy()
    path = os.path.join(run_dir, file_name)
    os.truncate(path, os.path.getsize(path) // 2)
    s.start_x()
    s.start_game(wait_title=False)
    deadline = time.time() + 30
    boxes = []
    while not boxes:
        check(s.game_proc.poll() is None, "the game ended (code %s) without a message box" % s.game_proc.returncode)
        check(time.time() < deadline, "no message box appeared within 30 s")
        boxes = s.xdo("search", "--onlyvisible", "--name", ".", tolerate=True).split()
        time.sleep(0.2)
    time.sleep(0.5)  # the box takes the keyboard focus as it opens
    box = s.shot("message-box")
    check(diff_fraction(box, e2e.Image(box.w, box.h, bytes(len(box.data)))) > 0.001, "the box is not on screen")
    s.press("Return")
    code = s.wait_exit(15)
    out, err = s.output()
    check(code == 255, "with %s cut short the game ended with %s, expected 255" % (file_name, code))
    check(file_name in err, "the game's message does not name %s: %r" % (file_name, err[-500:]))


def start_windowed_with_focus(s, width, height, depth):
    """Starts the game on a large screen and, from 2 s after the launch,
    gives its window the focus every half second, as a window manager does
    each time a window is shown and as a player's clicks do, until the game
    has set its screen mode (it names its window "Jewelward" then). Full
    screen at 640 x 480 is refused there (after seconds of attempts, each
    showing the window anew), so the focus arrives during the full-screen
    attempts and while the window is being set up."""
    s.data_copy()
    s.start_large_x(width, height, depth)
    launched = time.time()
    s.start_game(wait_title=False)
    while not focus_game(s):
        check(s.game_proc.poll() is None, "the game ended with %s before its screen mode was set%s"
              % (s.game_proc.returncode, last_words(s)))
        check(time.time() - launched < 90, "no screen mode within 90 s of the launch%s" % last_words(s))
        time.sleep(0.5)
    print("screen mode set %.1f s after the launch" % (time.time() - launched))


def focus_game(s):
    """Gives the game's window the focus (from 2 s after the launch); whether
    the game has set its screen mode."""
    windowed = False
    for window in s.xdo("search", "--name", "jewelward", tolerate=True).split():
        s.xdo("windowfocus", window, tolerate=True)
        windowed = windowed or s.xdo("getwindowname", window, tolerate=True).strip() == "Jewelward"
    return windowed


def last_words(s):
    err = "\n".join(line for line in s.output()[1].splitlines() if not line.startswith("ALSA lib"))
    return (": " + err.strip()[-300:]) if err.strip() else ""


def scenario_large(width, height, depth, where):
    """On a screen larger than 640 x 480 the game plays in a window whatever
    the focus does, and ESC ends it: on the title with 1, in play with 0.
    The keys are pressed until the game shows it has them, not after a
    guessed wait: on the title ESC until the game ends; for play ENTER (three
    story pages, then the world) and F1 until the save appears, which only
    play writes. The window keeps getting the focus meanwhile. The picture is
    not looked at: without a window manager Wine leaves a window that was
    minimised and restored at its minimised place, off the screen, although
    the game runs in it (see the README)."""
    def scenario(s):
        start_windowed_with_focus(s, width, height, depth)
        deadline = time.time() + 60
        if where == "play":
            save = os.path.join(s.run_dir, "heroData.txt")
            while not os.path.exists(save):
                check(s.game_proc.poll() is None, "the game ended with %s before play%s"
                      % (s.game_proc.returncode, last_words(s)))
                check(time.time() < deadline, "ENTER and F1 for 60 s wrote no save: the game never reached play")
                focus_game(s)
                s.press("Return")
                time.sleep(0.3)
                s.press("F1")
                time.sleep(0.3)
            wait_save(s.run_dir, lambda text: True)
        while s.game_proc.poll() is None:
            check(time.time() < deadline, "ESC %s for 60 s did not end the game"
                  % ("in play" if where == "play" else "on the title"))
            focus_game(s)
            s.press("Escape")
            try:
                s.game_proc.wait(1)
            except subprocess.TimeoutExpired:
                pass
        code = s.wait_exit(1)
        expected = 0 if where == "play" else 1
        check(code == expected, "ESC %s ended with %s, expected %d%s"
              % ("in play" if where == "play" else "on the title", code, expected, last_words(s)))
    return scenario


SCENARIOS = {"play": scenario_play, "damaged_data": scenario_damaged_data}
for _w, _h, _d in ((1366, 768, 16), (1920, 1080, 24)):
    for _where in ("title", "play"):
        SCENARIOS["large_%dx%dx%d_%s" % (_w, _h, _d, _where)] = scenario_large(_w, _h, _d, _where)


def main(argv):
    if len(argv) != 6 or argv[1] not in SCENARIOS:
        print(__doc__)
        return 2
    name, prefix, game, data_dir, out_root = argv[1:]
    tools = ["wine", "wineserver", "pulseaudio", "parec", "pactl", "Xvfb", "xdotool", "import", "convert"]
    missing = [tool for tool in tools if not shutil.which(tool)]
    if missing:
        print("FAILED %s: missing tools: %s" % (name, ", ".join(missing)))
        return 1
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    prefix = os.path.abspath(prefix)
    make_prefix(prefix)
    session = WineSession("windows_" + name, prefix, os.path.abspath(game), os.path.abspath(data_dir),
                          os.path.abspath(out_root))
    return e2e.run_scenario(SCENARIOS[name], name, session)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
