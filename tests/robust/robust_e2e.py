#!/usr/bin/env python3
"""Robustness runs of the real jewelward binary under its own Xvfb.

  robust_e2e.py data_fault ACTION FILE GAME DATA_DIR
      ACTION: remove, truncate_half, truncate10, wrong (a readable BMP of a
      size the game cannot use, a 24-bit WAV), or all; FILE a data file's
      name or all. The game must end with code 255 and name FILE both
      on standard error and in its message box (an xmessage it starts under
      X11 before any screen mode, read from the child's command line and
      answered as a player would: the pointer over it and a real ENTER).

  robust_e2e.py bad_data GAME DATA_DIR
      The files measured to pass an older data check and then stop or crash
      the game (a BMP with a 124-byte header, a top-down BMP, 8- and 4-bit
      RLE pictures with a short body, a 768 kHz WAV, a link to /dev/zero, a
      FIFO, a 2 GiB sparse tail), one at a time: the game must show its
      message box before any window of its own, name the file on standard
      error and in the box, read only headers (its read count stays small),
      and end with 255 once a real ENTER closes the box.

  robust_e2e.py changed_after_check GAME DATA_DIR SHIM
      Data files changed after the start-up check (replaced while the title
      is up, then the ENTER that loads them; renamed over right after the
      check by SHIM, the test library change_shim; cut in half by SHIM while
      loading; a good world with no memory left to load it): each time the
      game's own box shows the message, line by line, over the picture it
      stood at, standard error names the file and what is wrong, and a real
      ENTER ends the game with 255 - never a hang, a signal or garbage drawn.

  robust_e2e.py kill_during_save GAME DATA_DIR SAVE_CHECK [KILLS]
      The game resumes a save, F1 goes down in play, and the game is killed
      with SIGKILL 0..300 ms later, KILLS times (50). After each kill
      heroData.txt is either the previous file byte for byte or the game's
      new save whole, and SAVE_CHECK (the game's own parser) accepts it.

  robust_e2e.py silent_sound_server GAME DATA_DIR
      ALSA's default device is PulseAudio at a socket whose server accepts
      and never answers (opening it waits 30 s): the title must still come
      within 15 s, standard error must say the game starts without sound,
      no child of the game may be left, and ESC on the title ends with 1.

  robust_e2e.py small_screen GAME DATA_DIR
      Screens of 320 x 240, 640 x 400 and 1024 x 768: on the two smaller
      ones standard error says that only the middle of the picture shows, on
      the larger one nothing of the kind; ESC on the title ends with 1.

Only the Python standard library; the tools called are Xvfb, xdpyinfo,
xdotool, import (ImageMagick) and prlimit (util-linux).
"""
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import children_of, read_framebuffer, start_xvfb  # noqa: E402


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Display:
    """An Xvfb of its own on the first free display from :60, its screen
    read from the server's own screen file (a screenshot program takes a
    loaded machine a second or more to start)."""

    def __init__(self, tmp):
        self.fbdir = tempfile.mkdtemp(prefix="screen-", dir=tmp)
        try:
            self.proc, self.name = start_xvfb(60, tmp, fbdir=self.fbdir)
        except RuntimeError as error:
            raise Failure(str(error))

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    def xdo(self, *args):
        subprocess.run(["xdotool"] + list(args), env=dict(os.environ, DISPLAY=self.name),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def screen(self):
        """The screen as 640 x 480 RGB bytes, top row first."""
        try:
            return read_framebuffer(self.fbdir)[2]
        except (OSError, RuntimeError) as error:
            raise Failure("cannot read the screen: %s" % error)


def bmp_rgb(path):
    """A 24-bit bottom-up BMP as RGB bytes, top row first."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    w, h, bits = struct.unpack_from("<iiH", data, 18)[0], struct.unpack_from("<i", data, 22)[0], \
        struct.unpack_from("<H", data, 28)[0]
    check(bits == 24 and h > 0, "%s is not a 24-bit bottom-up BMP" % path)
    row = (w * 3 + 3) // 4 * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        line = data[offset + y * row: offset + y * row + w * 3]
        for x in range(0, w * 3, 3):
            out += bytes((line[x + 2], line[x + 1], line[x]))
    return bytes(out), w


def differing(screen, picture, picture_w, step=97):
    """The fraction of sampled screen pixels unlike the picture's top-left 640 x 480."""
    if len(screen) != 640 * 480 * 3:
        return 1.0
    samples = bad = 0
    for i in range(0, 640 * 480, step):
        x, y = i % 640, i // 640
        a = screen[i * 3: i * 3 + 3]
        p = (y * picture_w + x) * 3
        b = picture[p: p + 3]
        samples += 1
        bad += any(abs(a[k] - b[k]) > 8 for k in range(3))
    return bad / samples


def start_game(game, run_dir, display, tmp, tag, extra_env=None):
    home = os.path.join(tmp, "home")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write("pcm.!default { type null }\n")
    env = dict(os.environ, HOME=home, DISPLAY=display.name, **(extra_env or {}))
    env.pop("XAUTHORITY", None)
    out = open(os.path.join(tmp, "game-%s.out" % tag), "w")
    err = open(os.path.join(tmp, "game-%s.err" % tag), "w")
    proc = subprocess.Popen([game], cwd=run_dir, env=env, stdout=out, stderr=err)
    out.close()
    err.close()
    return proc


def kill_with_children(proc):
    for pid, _ in children_of(proc.pid):
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    if proc.poll() is None:
        proc.kill()
    proc.wait()


# ---------------------------------------------------------------- broken data

def bmp(w, h):
    row = (w * 3 + 3) // 4 * 4
    pixels = b"\x80" * (row * h)
    return (b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0) + pixels)


def wav(fmt, channels, bits, rate=22050):
    align = channels * bits // 8
    data = b"\x00" * (rate * align)
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, fmt, channels, rate, rate * align, align, bits) +
            b"data" + struct.pack("<I", len(data)) + data)


# Pictures the game only needs to be readable: any size from 1 x 1 will do.
ANY_SIZE = {"slash.bmp", "jewel.bmp", "looking s0000.bmp", "villager1.bmp", "villager2.bmp", "villager3.bmp",
            "villager4.bmp"}


def break_file(path, action):
    if action == "remove":
        os.remove(path)
    elif action == "truncate_half":
        os.truncate(path, os.path.getsize(path) // 2)
    elif action == "truncate10":
        os.truncate(path, 10)
    elif action == "wrong":  # readable, but not what the game can use
        with open(path, "wb") as f:
            if path.endswith(".wav"):
                f.write(wav(1, 2, 24))
            elif os.path.basename(path) in ANY_SIZE:
                f.write(bmp(0, 0))
            else:
                f.write(bmp(1, 1))
    elif action == "wrong_size":
        with open(path, "wb") as f:
            f.write(bmp(640, 480))
    elif action == "pcm24":
        with open(path, "wb") as f:
            f.write(wav(1, 2, 24))
    else:
        raise Failure("unknown action %s" % action)


def viewable_windows(display):
    """(id, tree line, x, y, width, height) of every top-level window on the screen."""
    env = dict(os.environ, DISPLAY=display.name)
    tree = subprocess.run(["xwininfo", "-root", "-children"], env=env, stdout=subprocess.PIPE,
                          universal_newlines=True).stdout
    found = []
    for line in tree.splitlines():
        words = line.split()
        if not words or not words[0].startswith("0x"):
            continue
        info = subprocess.run(["xwininfo", "-id", words[0]], env=env, stdout=subprocess.PIPE,
                              universal_newlines=True).stdout
        if "IsViewable" in info:
            fields = {k.strip(): v.strip() for k, v in (l.split(":", 1) for l in info.splitlines() if ":" in l)}
            found.append((words[0], line.strip()) + tuple(int(fields[k]) for k in (
                "Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")))
    return found


def run_broken(game, run_dir, display, tmp, tag):
    """Runs the game in run_dir until it ends. A message box it raises is read
    and answered as a player would: the pointer over it and a real ENTER.
    Returns a dict: the exit code, standard error, the box's text, the time
    from launch to the box on screen (s), the bytes the game had read by then,
    and the other windows then on the screen."""
    proc = start_game(game, run_dir, display, tmp, tag)
    start = time.time()
    run = {"box_text": None, "box_time": None, "read_bytes": None, "other_windows": []}
    try:
        deadline = start + 20
        while time.time() < deadline and proc.poll() is None:
            boxes = [argv for _, argv in children_of(proc.pid) if argv and os.path.basename(argv[0]) == "xmessage"]
            windows = viewable_windows(display) if boxes else []
            box = next((w for w in windows if '"Xmessage"' in w[1]), None)
            if box is None:
                time.sleep(0.01)
                continue
            run["box_time"] = time.time() - start
            run["box_text"] = " ".join(boxes[0][1:])
            with open("/proc/%d/io" % proc.pid) as f:
                run["read_bytes"] = int(next(l for l in f if l.startswith("rchar:")).split()[1])
            run["other_windows"] = [w[1] for w in windows if w is not box]
            display.xdo("mousemove", str(box[2] + box[4] // 2), str(box[3] + box[5] // 2))
            time.sleep(0.1)
            display.xdo("keydown", "Return")
            time.sleep(0.08)
            display.xdo("keyup", "Return")
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                raise Failure("a real ENTER on the message box did not end the game")
        check(proc.poll() is not None, "the game neither ended nor showed a message within 20 s")
        run["code"] = proc.returncode
        proc = None
    finally:
        if proc is not None:
            kill_with_children(proc)
    with open(os.path.join(tmp, "game-%s.err" % tag), errors="replace") as f:
        run["err"] = f.read()
    return run


def scenario_data_fault(action, file_name, game, data_dir, tmp):
    """One file broken one way; "all" for either runs every file every way."""
    run_dir = os.path.join(tmp, "run")
    shutil.copytree(data_dir, run_dir, ignore=shutil.ignore_patterns(".stamp", "heroData.txt*"))
    names = sorted(n for n in os.listdir(run_dir) if n.endswith((".bmp", ".wav"))) if file_name == "all" \
        else [file_name]
    actions = ["remove", "truncate_half", "truncate10", "wrong"] if action == "all" else [action]
    display = Display(tmp)
    failures = []
    try:
        for name in names:
            for how in actions:
                break_file(os.path.join(run_dir, name), how)
                run = run_broken(game, run_dir, display, tmp, "fault")
                code, err, box_text = run["code"], run["err"], run["box_text"]
                shutil.copy2(os.path.join(data_dir, name), os.path.join(run_dir, name))
                print("%-20s %-13s exit %s; message box: %r" % (name, how, code, box_text))
                if code != 255:
                    failures.append("%s %s: exit %s, expected 255" % (name, how, code))
                if '"%s"' % name not in err:
                    failures.append("%s %s: standard error does not name it: %r" % (name, how, err[-300:]))
                if box_text is not None and name not in box_text:
                    failures.append("%s %s: the message box does not name it: %r" % (name, how, box_text))
    finally:
        display.close()
    check(not failures, "\n".join(failures))


# ---------------------------------------------------------------- the measured bad files

def bmp_parts(path):
    """(width, height, bits per pixel, pixel bytes) of a 24- or 32-bit bottom-up
    BMP with the 40-byte header."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    w, h = struct.unpack_from("<ii", data, 18)
    bits, = struct.unpack_from("<H", data, 28)
    check(bits in (24, 32), "%s is not a 24- or 32-bit BMP" % path)
    return w, h, bits, data[offset:]


def bmp_v5_header(path):
    """The same picture behind a 124-byte (V5) header, as ImageMagick writes by default."""
    w, h, bits, pixels = bmp_parts(path)
    info = struct.pack("<IiiHHIIiiII", 124, w, h, 1, bits, 0, len(pixels), 2835, 2835, 0, 0) + bytes(124 - 40)
    return b"BM" + struct.pack("<IHHI", 14 + 124 + len(pixels), 0, 0, 14 + 124) + info + pixels


def bmp_top_down(path):
    w, h, bits, pixels = bmp_parts(path)
    row = (w * bits // 8 + 3) // 4 * 4
    rows = [pixels[y * row:(y + 1) * row] for y in range(h)]
    return (b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, w, -h, 1, bits, 0, len(pixels), 2835, 2835, 0, 0) + b"".join(rows[::-1]))


def bmp_rle_short(path, bits):
    """The picture run-length coded at 8 bits (3-3-2 colours) or 4 bits (greys),
    then cut to a third of its body."""
    w, h, bits_in, pixels = bmp_parts(path)
    check(bits_in == 24, "%s is not a 24-bit BMP" % path)
    row = (w * 3 + 3) // 4 * 4
    body = bytearray()
    for y in range(h):
        line = pixels[y * row:y * row + w * 3]
        idx = []
        for x in range(0, w * 3, 3):
            b, g, r = line[x], line[x + 1], line[x + 2]
            idx.append((r >> 5) << 5 | (g >> 5) << 2 | b >> 6 if bits == 8 else (r + g + b) // 3 >> 4)
        x = 0
        while x < w:
            run = 1
            while x + run < w and run < 255 and idx[x + run] == idx[x]:
                run += 1
            body += bytes((run, idx[x] if bits == 8 else idx[x] << 4 | idx[x]))
            x += run
        body += b"\x00\x00"
    body[-1] = 1  # end of the picture
    colours = 1 << bits
    palette = b"".join(bytes(((i & 3) * 85, (i >> 2 & 7) * 36, (i >> 5) * 36, 0)) if bits == 8 else
                       bytes((i * 17, i * 17, i * 17, 0)) for i in range(colours))
    offset = 54 + len(palette)
    body = bytes(body[:len(body) // 3])
    return (b"BM" + struct.pack("<IHHI", offset + len(body), 0, 0, offset) +
            struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 1 if bits == 8 else 2, len(body), 2835, 2835, 0, 0) +
            palette + body)


def wav_rate(path, rate):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    channels, = struct.unpack_from("<H", data, 22)
    bits, = struct.unpack_from("<H", data, 34)
    struct.pack_into("<II", data, 24, rate, rate * channels * bits // 8)
    return bytes(data)


def make_bad_file(kind, name, data_dir, path):
    source = os.path.join(data_dir, name)
    if kind == "link to /dev/zero":
        os.symlink("/dev/zero", path)
    elif kind == "FIFO":
        os.mkfifo(path)
    elif kind == "2 GiB sparse tail":
        shutil.copyfile(source, path)
        os.truncate(path, os.path.getsize(source) + (2 << 30))
    else:
        maker = {"124-byte header": bmp_v5_header, "top-down": bmp_top_down,
                 "8-bit RLE, short body": lambda p: bmp_rle_short(p, 8),
                 "4-bit RLE, short body": lambda p: bmp_rle_short(p, 4),
                 "768 kHz": lambda p: wav_rate(p, 768000)}[kind]
        with open(path, "wb") as f:
            f.write(maker(source))


BAD_FILES = [("gameover.bmp", "124-byte header"), ("Victory.bmp", "top-down"),
             ("slash.bmp", "8-bit RLE, short body"), ("slash.bmp", "4-bit RLE, short body"),
             ("BGM_00009.wav", "768 kHz"), ("Lizard.bmp", "link to /dev/zero"), ("ogre.bmp", "FIFO"),
             ("worldMap.bmp", "2 GiB sparse tail")]


def scenario_bad_data(game, data_dir, tmp):
    display = Display(tmp)
    failures = []
    try:
        for name, kind in BAD_FILES:
            run_dir = os.path.join(tmp, "run-bad")
            os.makedirs(run_dir)
            for entry in os.listdir(data_dir):
                if entry.endswith((".bmp", ".wav")) and entry != name:
                    os.symlink(os.path.join(data_dir, entry), os.path.join(run_dir, entry))
            make_bad_file(kind, name, data_dir, os.path.join(run_dir, name))
            problems = []
            try:
                run = run_broken(game, run_dir, display, tmp, "bad")
            except Failure as failure:
                failures.append("%s (%s): %s" % (name, kind, failure))
                shutil.rmtree(run_dir)
                continue
            line = next((l for l in run["err"].splitlines() if '"%s"' % name in l), "")
            if run["box_text"] is None:
                problems.append("no message box")
            else:
                print("%-14s %-22s message box after %4.0f ms, %6d bytes read, exit %s: %s" %
                      (name, kind, run["box_time"] * 1000, run["read_bytes"], run["code"], line))
                if name not in run["box_text"]:
                    problems.append("the message box does not name it: %r" % run["box_text"])
                if run["other_windows"]:
                    problems.append("a window besides the message box is open: %s" % run["other_windows"])
                # The data folder holds 110 MB; reading any one of these files
                # whole (30 MB and more, or endless for /dev/zero) passes this.
                if run["read_bytes"] > (4 << 20):
                    problems.append("%d bytes read before the message: more than headers" % run["read_bytes"])
            if run["code"] != 255:
                problems.append("exit %s, expected 255" % run["code"])
            if not line:
                problems.append("standard error does not name it: %r" % run["err"][-300:])
            failures += ["%s (%s): %s" % (name, kind, p) for p in problems]
            shutil.rmtree(run_dir)
    finally:
        display.close()
    check(not failures, "\n".join(failures))


# ---------------------------------------------------------------- files changed after the check

BOX_INK = (244, 238, 220)  # the text and button outline of the game's message box
BOX_CHARS, BOX_SCALE, BOX_LINE, BOX_PAD, BUTTON_W, BUTTON_H = 34, 2, 22, 24, 112, 36


def wrap_message(text, width=BOX_CHARS, max_lines=12):
    """The lines the game's box splits `text` into: at spaces and newlines,
    a word longer than a line cut."""
    lines, line = [], ""
    for piece in text.replace("\n", " \n ").split(" "):
        if piece == "\n":
            lines.append(line)
            line = ""
            continue
        word = piece
        while word:
            room = width - len(line) - (1 if line else 0)
            if len(word) <= room or (not line and room > 0):
                take = min(len(word), room)
                line = (line + " " if line else "") + word[:take]
                word = word[take:]
                if word:
                    lines.append(line)
                    line = ""
            else:
                lines.append(line)
                line = ""
    if line:
        lines.append(line)
    return lines[:max_lines]


def ink_rows(screen, rect):
    """(top, bottom, left, right) of each run of rows inside rect holding the box's ink."""
    runs, current = [], None
    for y in range(rect[1], rect[3]):
        xs = [x for x in range(rect[0], rect[2])
              if all(abs(screen[(y * 640 + x) * 3 + k] - BOX_INK[k]) <= 6 for k in range(3))]
        if xs and current:
            current = (current[0], y, min(current[2], xs[0]), max(current[3], xs[-1]))
        elif xs:
            current = (y, y, xs[0], xs[-1])
        elif current:
            runs.append(current)
            current = None
    if current:
        runs.append(current)
    return runs


def box_problems(screen, lines):
    """What is wrong with the game's box on `screen` showing `lines`: a row of
    ink per line, each as wide as its text and centred, then the OK button."""
    runs = ink_rows(screen, box_rect(lines))
    if len(runs) != len(lines) + 1:
        return ["%d rows of text and button on the screen, expected %d" % (len(runs), len(lines) + 1)]
    problems = []
    for (top, bottom, left, right), line in zip(runs, lines):
        width = len(line) * 8 * BOX_SCALE
        if not (width - 20 <= right - left + 1 <= width) or abs((left + right) / 2 - 320) > 10 \
                or bottom - top + 1 > 8 * BOX_SCALE:
            problems.append("the line %r is drawn over x %d..%d, y %d..%d" % (line, left, right, top, bottom))
    top, bottom, left, right = runs[-1]
    if (bottom - top + 1, right - left + 1) != (BUTTON_H + 4, BUTTON_W + 4):
        problems.append("no OK button under the text (%d x %d)" % (right - left + 1, bottom - top + 1))
    return problems


def box_rect(lines):
    """(left, top, right, bottom) the box and its shadow cover."""
    w = max(max(len(l) for l in lines) * 8 * BOX_SCALE, BUTTON_W) + 2 * BOX_PAD
    h = len(lines) * BOX_LINE + BUTTON_H + 3 * BOX_PAD
    left, top = (640 - w) // 2, (480 - h) // 2
    return left, top, left + w + 6, top + h + 6


def differing_outside(screen, picture, picture_w, rect):
    """The fraction of screen pixels outside rect unlike the picture (None: black)."""
    samples = bad = 0
    for i in range(0, 640 * 480, 7):
        x, y = i % 640, i // 640
        if rect[0] <= x < rect[2] and rect[1] <= y < rect[3]:
            continue
        a = screen[i * 3: i * 3 + 3]
        b = picture[(y * picture_w + x) * 3: (y * picture_w + x) * 3 + 3] if picture else b"\0\0\0"
        samples += 1
        bad += any(abs(a[k] - b[k]) > 8 for k in range(3))
    return bad / samples


def half(good):
    return good[:len(good) // 2]


def relabel_16_bit(good):
    return good[:28] + struct.pack("<H", 16) + good[30:]


def rate_768_khz(good):
    return good[:24] + struct.pack("<II", 768000, 768000 * 4) + good[32:]


# File, change, when it happens, ENTER presses after it, the new bytes from
# the good ones, and how the message's line about the file begins. "title":
# replaced while the title is up; "check": the shim renames the new file over
# it right after the start-up check opened it; "cut": the shim cuts it to half
# in place while it is being loaded; "memory": the file stays good, but the
# game may take only 16 MiB more address space once the title is up.
CHANGES = [
    ("worldMap.bmp", "a valid 640 x 480 BMP", "title", 4, lambda g: bmp(640, 480),
     '"worldMap.bmp" is 640 x 480 pixels but must be 3200 x 3200'),
    ("worldMap.bmp", "a valid 90 x 100 BMP", "title", 4, lambda g: bmp(90, 100),
     '"worldMap.bmp" is 90 x 100 pixels but must be 3200 x 3200'),
    ("worldMap.bmp", "cut in half", "title", 4, half, '"worldMap.bmp" is cut short'),
    ("worldMap.bmp", "cut in half while it loads", "cut", 4, None,
     '"worldMap.bmp" changed while it was being loaded (40960054 bytes, then 20480027)'),
    ("bitmap1.bmp", "cut short by a row", "title", 1, lambda g: g[:-640 * 3], '"bitmap1.bmp" is cut short'),
    ("Main Menu.bmp", "relabelled 16-bit", "check", 0, relabel_16_bit, '"Main Menu.bmp" is a 16-bit BMP'),
    ("Avatar.bmp", "a 1 x 1 picture", "title", 4, lambda g: bmp(1, 1),
     '"Avatar.bmp" is 1 x 1 pixels but must be at least 768 x 768'),
    ("BGM_00009.wav", "at 768,000 Hz", "check", 0, rate_768_khz, '"BGM_00009.wav" plays at 768000 Hz'),
    ("worldMap.bmp", "good, with no memory to load it", "memory", 4, None,
     'Jewelward ran out of memory while loading "worldMap.bmp" (the file itself is good)'),
]
PAGES = ["Main Menu.bmp", "bitmap1.bmp", "bitmap2.bmp", "bitmap3.bmp"]


def wait_picture(display, proc, picture, w, label, timeout=30):
    deadline = time.time() + timeout
    while differing(display.screen(), picture, w) > 0.01:
        check(proc.poll() is None, "%s: the game ended with %s" % (label, proc.returncode))
        check(time.time() < deadline, "%s: not on the screen within %d s" % (label, timeout))
        time.sleep(0.05)


def run_changed(game, data_dir, run_dir, shim, display, tmp, case):
    """One change; returns the problems seen."""
    name, what, when, presses, make, expected = case
    path = os.path.join(run_dir, name)
    with open(path, "rb") as f:
        good = f.read()
    env = {}
    if when == "check":
        with open(os.path.join(run_dir, ".swap"), "wb") as f:
            f.write(make(good))
        env = {"LD_PRELOAD": shim, "CHANGE_SHIM_FILE": name, "CHANGE_SHIM_SWAP": os.path.join(run_dir, ".swap")}
    elif when == "cut":
        env = {"LD_PRELOAD": shim, "CHANGE_SHIM_FILE": name, "CHANGE_SHIM_CUT": "1"}
    proc = start_game(game, run_dir, display, tmp, "changed", env)
    problems = []
    try:
        shown = None  # the picture the box must stand over
        if when != "check":
            shown = bmp_rgb(os.path.join(data_dir, PAGES[0]))
            wait_picture(display, proc, shown[0], shown[1], "the title")
            display.xdo("mousemove", "639", "479")  # the box's pointer away from its text
            if when == "title":
                with open(path + ".new", "wb") as f:
                    f.write(make(good))
                os.replace(path + ".new", path)
            elif when == "memory":
                with open("/proc/%d/status" % proc.pid) as f:
                    size = int(next(l for l in f if l.startswith("VmSize:")).split()[1]) * 1024
                subprocess.run(["prlimit", "--pid", str(proc.pid), "--as=%d" % (size + (16 << 20))], check=True)
            for page in range(1, presses + 1):
                display.xdo("keydown", "Return")
                time.sleep(0.1)
                display.xdo("keyup", "Return")
                if page < presses:
                    shown = bmp_rgb(os.path.join(data_dir, PAGES[page]))
                    wait_picture(display, proc, shown[0], shown[1], PAGES[page])
        # The box, once the game has told standard error what it shows. The
        # world's loads come first, so a busy machine may take a while: the
        # figure that must stay small is measured for the cut below.
        deadline = time.time() + 30
        lines = None
        while lines is None or box_problems(display.screen(), lines):
            check(proc.poll() is None, "the game ended with %s before its message was answered" % proc.returncode)
            if time.time() > deadline:
                problems.append("no box showing the message within 30 s" if lines is None else
                                "; ".join(box_problems(display.screen(), lines)))
                return problems
            with open(os.path.join(tmp, "game-changed.err"), errors="replace") as f:
                err = f.read().splitlines()
            told = [l for l in err if l.startswith("Jewelward ")]
            if told:
                first = err.index(told[-1])
                message = "\n".join(err[first:first + 2]) if told[-1].endswith("unusable.") else told[-1]
                lines = wrap_message(message)
            time.sleep(0.1)
        seen = time.monotonic()
        with open("/proc/%d/stat" % proc.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        used = (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime + stime
        screen = display.screen()
        if when == "cut":
            # How soon after the cut the player sees the box, and the work the
            # game did meanwhile: the shim tells the cut's time on the same
            # monotonic clock and the processor time used until then. Other
            # programs on a busy machine stretch the first, never the second.
            cuts = [l for l in err if l.startswith("change_shim: cut at ")]
            if not cuts:
                problems.append("the shim never cut the file")
            else:
                at, cpu = (float(v) for v in cuts[0].split()[-2:])
                print("%-14s %-32s the box was on the screen %.2f s after the cut, the game used %.2f s of "
                      "processor time meanwhile" % (name, what, seen - at, used - cpu))
                if used - cpu > 1.0:
                    problems.append("the game worked %.2f s of processor time after the cut before its box "
                                    "showed, more than a second" % (used - cpu))
        off = differing_outside(screen, shown[0] if shown else None, shown[1] if shown else 640, box_rect(lines))
        if off > 0.01:
            problems.append("%.1f %% of the screen around the box is not the picture before it" % (100 * off))
        print("%-14s %-32s box of %d lines, %.1f %% around it changed: %s" % (name, what, len(lines), 100 * off,
                                                                                 " / ".join(lines)))
        keep = os.environ.get("JEWELWARD_E2E_KEEP")  # a folder for the screenshots of the boxes
        if keep:
            os.makedirs(keep, exist_ok=True)
            subprocess.run(["convert", "-size", "640x480", "-depth", "8", "rgb:-",
                            os.path.join(keep, "%s-%s.png" % (name.replace(" ", "_"), when))], input=screen)
        if expected not in "\n".join(err):
            problems.append("standard error does not hold %r: %r" % (expected, err[-3:]))
        time.sleep(0.3)
        check(proc.poll() is None, "the game ended before its message was answered")
        display.xdo("keydown", "Return")
        time.sleep(0.1)
        display.xdo("keyup", "Return")
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            problems.append("a real ENTER on the box did not end the game")
            return problems
        if proc.returncode != 255:
            problems.append("exit %s, expected 255" % proc.returncode)
        proc = None
    finally:
        if proc is not None:
            kill_with_children(proc)
        shutil.copy2(os.path.join(data_dir, name), path)
    return problems


def scenario_changed_after_check(game, data_dir, shim, tmp):
    run_dir = os.path.join(tmp, "run")
    shutil.copytree(data_dir, run_dir, ignore=shutil.ignore_patterns(".stamp", "heroData.txt*"))
    display = Display(tmp)
    failures = []
    try:
        for case in CHANGES:
            try:
                problems = run_changed(game, data_dir, run_dir, shim, display, tmp, case)
            except Failure as failure:
                problems = [str(failure)]
            failures += ["%s, %s: %s" % (case[0], case[1], p) for p in problems]
    finally:
        display.close()
    check(not failures, "\n".join(failures))


# ---------------------------------------------------------------- killed while saving

def scenario_kill_during_save(game, data_dir, save_check, kills, tmp):
    run_dir = os.path.join(tmp, "run")
    os.makedirs(run_dir)
    for name in os.listdir(data_dir):
        if not name.startswith("."):
            os.symlink(os.path.join(data_dir, name), os.path.join(run_dir, name))
    save_path = os.path.join(run_dir, "heroData.txt")
    rng = random.Random(int(os.environ.get("JEWELWARD_KILL_SEED", "7")))
    title, title_w = bmp_rgb(os.path.join(data_dir, "Main Menu.bmp"))
    display = Display(tmp)
    outcomes = {"previous": 0, "new": 0}
    try:
        for n in range(kills):
            # Each round saves other values: experience n, so files differ.
            values = [0, 0, 272, 192, 0, 1, 25, 25, 20, 20, n, 10, 0, 0, 0]
            previous = (" ".join(str(v) for v in values) + "\n").encode()  # not the game's layout
            new = "".join("%d\n" % v for v in values).encode()
            with open(save_path, "wb") as f:
                f.write(previous)
            proc = start_game(game, run_dir, display, tmp, "kill")
            try:
                # The title picture on the screen, then F2 until it has gone (play).
                deadline = time.time() + 20
                while differing(display.screen(), title, title_w) > 0.01:
                    check(proc.poll() is None, "round %d: the game ended with %s before play" % (n, proc.returncode))
                    check(time.time() < deadline, "round %d: no title within 20 s" % n)
                    time.sleep(0.05)
                display.xdo("mousemove", "320", "240")
                # F2 held until play shows, as a player keeps it down: a short
                # tap can fall wholly inside one slow tick of a loaded machine,
                # and the game reads its keys once a tick.
                display.xdo("keydown", "F2")
                try:
                    deadline = time.time() + 20
                    while differing(display.screen(), title, title_w) < 0.5:
                        check(proc.poll() is None, "round %d: the game ended with %s after F2" % (n, proc.returncode))
                        check(time.time() < deadline, "round %d: the game did not leave the title after F2" % n)
                        time.sleep(0.05)
                finally:
                    display.xdo("keyup", "F2")
                display.xdo("keydown", "F1")
                time.sleep(rng.uniform(0.0, 0.3))
                proc.send_signal(signal.SIGKILL)
                proc.wait()
            finally:
                display.xdo("keyup", "F1")
                kill_with_children(proc)
            with open(save_path, "rb") as f:
                text = f.read()
            if text == previous:
                outcomes["previous"] += 1
            elif text == new:
                outcomes["new"] += 1
            else:
                raise Failure("round %d: heroData.txt is neither the previous nor the new save: %r" % (n, text))
            parsed = subprocess.run([save_check, save_path], stdout=subprocess.PIPE, universal_newlines=True)
            check(parsed.returncode == 0 and parsed.stdout.split() == [str(v) for v in values],
                  "round %d: the game's parser reads %r" % (n, parsed.stdout))
    finally:
        display.close()
    print("%d kills while F1 was held: previous file kept %d times, new save whole %d times" %
          (kills, outcomes["previous"], outcomes["new"]))
    check(outcomes["new"] > 0, "no round saved before the kill: F1 never reached the game in play")


# ---------------------------------------------------------------- refusals nobody saw

def run_dir_of_links(data_dir, tmp):
    run_dir = os.path.join(tmp, "run")
    os.makedirs(run_dir, exist_ok=True)
    for name in os.listdir(data_dir):
        if name.endswith((".bmp", ".wav")) and not os.path.exists(os.path.join(run_dir, name)):
            os.symlink(os.path.join(data_dir, name), os.path.join(run_dir, name))
    return run_dir


def escape_until_ended(display, proc, timeout=20):
    """ESC as a player presses it, again until the game has ended (the first
    presses may come before the keyboard is up); returns the exit code."""
    deadline = time.time() + timeout
    while proc.poll() is None:
        check(time.time() < deadline, "ESC did not end the game within %d s" % timeout)
        display.xdo("keydown", "Escape")
        time.sleep(0.08)
        display.xdo("keyup", "Escape")
        try:
            proc.wait(1)
        except subprocess.TimeoutExpired:
            pass
    return proc.returncode


def scenario_silent_sound_server(game, data_dir, tmp):
    import socket
    import threading
    run_dir = run_dir_of_links(data_dir, tmp)
    home = os.path.join(tmp, "silent-home")
    os.makedirs(home)
    server_path = os.path.join(tmp, "pulse-native")
    with open(os.path.join(home, ".asoundrc"), "w") as f:
        f.write('pcm.!default { type pulse server "unix:%s" }\nctl.!default { type pulse server "unix:%s" }\n'
                % (server_path, server_path))
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(server_path)
    server.listen(16)
    accepted = []

    def accept_and_never_answer():
        while True:
            try:
                accepted.append(server.accept()[0])
            except OSError:
                return

    threading.Thread(target=accept_and_never_answer, daemon=True).start()
    title, title_w = bmp_rgb(os.path.join(data_dir, "Main Menu.bmp"))
    display = Display(tmp)
    proc = None
    try:
        env = dict(os.environ, HOME=home, DISPLAY=display.name)
        env.pop("XAUTHORITY", None)
        env.pop("PULSE_SERVER", None)
        with open(os.path.join(tmp, "game-silent.err"), "w") as err:
            start = time.time()
            proc = subprocess.Popen([game], cwd=run_dir, env=env, stdout=subprocess.DEVNULL, stderr=err)
        while differing(display.screen(), title, title_w) > 0.01:
            check(proc.poll() is None, "the game ended with %s before its title" % proc.returncode)
            check(time.time() - start < 15, "no title within 15 s with a sound server that never answers")
            time.sleep(0.05)
        took = time.time() - start
        check(accepted, "the game never reached the silent sound server: the test proves nothing")
        with open(os.path.join(tmp, "game-silent.err"), errors="replace") as f:
            err = f.read()
        print("title after %.1f s with a sound server that accepts and never answers; standard error: %r"
              % (took, err.strip()[-200:]))
        check("Jewelward starts without sound" in err, "standard error does not say the game starts without "
              "sound: %r" % err[-300:])
        left = children_of(proc.pid)
        check(not left, "children of the game left on the title: %s" % left)
        display.xdo("mousemove", "320", "240")
        code = escape_until_ended(display, proc)
        proc = None
        check(code == 1, "ESC on the title ended the game with %s, expected 1" % code)
    finally:
        if proc is not None:
            kill_with_children(proc)
        server.close()
        for connection in accepted:
            connection.close()
        display.close()


class SizedDisplay(Display):
    def __init__(self, tmp, width, height):
        try:
            self.proc, self.name = start_xvfb(60, tmp, width, height)
        except RuntimeError as error:
            raise Failure(str(error))


SCREENS = [(320, 240, True), (640, 400, True), (1024, 768, False)]  # width, height, told


def scenario_small_screen(game, data_dir, tmp):
    run_dir = run_dir_of_links(data_dir, tmp)
    failures = []
    for width, height, told in SCREENS:
        display = SizedDisplay(tmp, width, height)
        proc = start_game(game, run_dir, display, tmp, "screen")
        try:
            display.xdo("mousemove", str(width // 2), str(height // 2))
            code = escape_until_ended(display, proc)
            proc = None
        finally:
            if proc is not None:
                kill_with_children(proc)
            display.close()
        with open(os.path.join(tmp, "game-screen.err"), errors="replace") as f:
            err = f.read()
        line = next((l for l in err.splitlines() if "only the middle of the picture shows" in l), "")
        print("%4d x %-4d exit %s: %s" % (width, height, code, line or "(nothing said of the screen)"))
        if code != 1:
            failures.append("%d x %d: ESC on the title ended the game with %s, expected 1" % (width, height, code))
        if told and "this one is %d x %d" % (width, height) not in line:
            failures.append("%d x %d: standard error does not say the screen is too small: %r"
                            % (width, height, err[-300:]))
        if not told and line:
            failures.append("%d x %d: standard error calls the screen too small: %r" % (width, height, line))
    check(not failures, "\n".join(failures))


def main(argv):
    argv = [a if not os.path.exists(a) else os.path.abspath(a) for a in argv]
    tmp = tempfile.mkdtemp(prefix="jewelward-robust-e2e-")
    try:
        if argv[1] == "data_fault" and len(argv) == 6:
            scenario_data_fault(argv[2], argv[3], argv[4], argv[5], tmp)
        elif argv[1] == "bad_data" and len(argv) == 4:
            scenario_bad_data(argv[2], argv[3], tmp)
        elif argv[1] == "changed_after_check" and len(argv) == 5:
            scenario_changed_after_check(argv[2], argv[3], argv[4], tmp)
        elif argv[1] == "kill_during_save" and len(argv) in (5, 6):
            kills = int(argv[5]) if len(argv) == 6 else 50
            scenario_kill_during_save(argv[2], argv[3], argv[4], kills, tmp)
        elif argv[1] == "silent_sound_server" and len(argv) == 4:
            scenario_silent_sound_server(argv[2], argv[3], tmp)
        elif argv[1] == "small_screen" and len(argv) == 4:
            scenario_small_screen(argv[2], argv[3], tmp)
        else:
            print(__doc__)
            return 2
    except Failure as failure:
        print("FAILED: %s" % failure)
        for entry in sorted(os.listdir(tmp)):
            if entry.endswith((".err", ".out", ".log")):
                with open(os.path.join(tmp, entry), errors="replace") as f:
                    print("--- %s\n%s" % (entry, f.read()[-2000:]))
        return 1
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
