"""Starting a private Xvfb for a test of the real game (standard library only)."""
import os
import subprocess
import time


def display_free(number):
    return not (os.path.exists("/tmp/.X%d-lock" % number) or os.path.exists("/tmp/.X11-unix/X%d" % number))


def start_xvfb(first, log_dir, width=640, height=480):
    """An Xvfb on the first free display from :first up to :99, ready to use.
    Returns (process, display name); raises RuntimeError when none starts."""
    for number in range(first, 100):
        if not display_free(number):
            continue
        with open(os.path.join(log_dir, "xvfb-%d.log" % number), "w") as log:
            proc = subprocess.Popen(["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx24" % (width, height),
                                     "-nolisten", "tcp", "-noreset"], stdout=log, stderr=log)
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
