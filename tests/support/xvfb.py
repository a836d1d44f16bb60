"""For tests of the real game (standard library only): a private Xvfb, and
the game's child processes (the message boxes it raises)."""
import os
import struct
import subprocess
import time


def display_free(number):
    return not (os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number))


def start_xvfb(first, log_dir, width=640, height=480, fbdir=None):
    """An Xvfb on the first free display from :first up to :99, ready to use;
    with fbdir, its screen is also a file there (see read_framebuffer).
    Returns (process, display name); raises RuntimeError when none starts."""
    for number in range(first, 100):
        if not display_free(number):
            continue
        with open(os.path.join(log_dir, "xvfb-%d.log" % number), "w") as log:
            proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx24" % (width, height),
                                     "-nolisten", "tcp", "-noreset"] + (["-fbdir", fbdir] if fbdir else []),
                                    stdout=log, stderr=log)
        deadline = time.time() + 10
        while time.time() < deadline and proc.poll() is None:
            if subprocess.run(["xdpyinfo", "-display", ":%d" % number], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return proc, ":%d" % number
            time.sleep(0.05)
        if proc.poll() is None:
            proc.kill()
        proc.wait()
    raise RuntimeError("no Xvfb could be started on displays :%d to :99" % first)


def children_of(pid):
    """(pid, command line) of every process whose parent is pid."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
            ppid = int(stat[stat.rindex(")") + 2:].split()[1])
            if ppid == pid:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    found.append((int(entry), [a.decode(errors="replace") for a in f.read().split(b"\0") if a]))
        except (OSError, ValueError):
            continue
    return found


def read_framebuffer(fbdir):
    """(width, height, RGB bytes) of the screen of an Xvfb started with fbdir:
    read from the file the server draws into, at once, where a screenshot
    program takes a loaded machine a second or more to start."""
    with open(os.path.join(fbdir, "Xvfb_screen0"), "rb") as f:
        blob = f.read()
    (header_size, _, pixmap_format, _, width, height, _, byte_order, _, _, _, bits_per_pixel, bytes_per_line,
     _, red_mask, green_mask, blue_mask, _, _, colours) = struct.unpack(">20I", blob[:80])
    if (pixmap_format, byte_order, bits_per_pixel, red_mask, green_mask, blue_mask) != \
            (2, 0, 32, 0xff0000, 0xff00, 0xff) or bytes_per_line != width * 4:
        raise RuntimeError("an Xvfb screen file of an unexpected layout")
    start = header_size + colours * 12
    pixels = blob[start:start + width * height * 4]
    if len(pixels) != width * height * 4:
        raise RuntimeError("a short Xvfb screen file")
    rgb = bytearray(width * height * 3)
    rgb[0::3], rgb[1::3], rgb[2::3] = pixels[2::4], pixels[1::4], pixels[0::4]
    return width, height, bytes(rgb)
