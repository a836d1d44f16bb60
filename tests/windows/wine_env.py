"""Wine for the Windows tests (standard library only): one private prefix
made once, the settings a test run needs, and a private PulseAudio daemon
whose null sink records what the game plays.

usage: wine_env.py PREFIX                 makes the prefix (once; later calls return at once)
       wine_env.py PREFIX run LINE EXE [ARG...]
           runs a Windows program in it on a private Xvfb (its working folder a
           fresh temporary one); passes when the program exits with 0 and its
           output holds LINE (under Wine a crash may end with 0 too)
"""
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xvfb import start_xvfb  # noqa: E402

READY = ".jewelward-ready"


def wine_environment(prefix, display=None, pulse_server=None):
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
               # no Mono or Gecko installer dialog
               WINEDLLOVERRIDES="mscoree,mshtml=")
    if display:
        env["DISPLAY"] = display
    env.pop("XAUTHORITY", None)
    if pulse_server:
        env["PULSE_SERVER"] = pulse_server
    return env


def make_prefix(prefix):
    """A Wine prefix with a crash ending the program (no modal crash dialog,
    which would hang a run) and Direct3D drawn through GDI (the OpenGL path
    takes a whole core). Made once; a lock keeps parallel callers apart."""
    os.makedirs(prefix, exist_ok=True)
    with open(prefix + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(os.path.join(prefix, READY)):
            return
        env = wine_environment(prefix)
        env.pop("DISPLAY", None)
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        subprocess.run(["wineboot", "--init"], check=True, timeout=300, **quiet)
        for key, name, kind, value in [(r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
                                       (r"HKCU\Software\Wine\Direct3D", "renderer", "REG_SZ", "gdi")]:
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", value, "/f"],
                           check=True, timeout=120, **quiet)
        subprocess.run(["wineserver", "-w"], timeout=120, **quiet)
        open(os.path.join(prefix, READY), "w").close()


class Pulse:
    """A private PulseAudio daemon with a null sink; record() writes what the
    sink plays, as signed 16-bit little-endian stereo at 44,100 Hz, in real
    time (the ALSA file plugin runs too fast and chopped under Wine)."""

    def __init__(self, folder):
        self.folder = os.path.join(folder, "pulse")
        os.makedirs(self.folder, exist_ok=True)
        self.server = "unix:" + os.path.join(self.folder, "native")
        self.env = dict(os.environ, HOME=self.folder, PULSE_RUNTIME_PATH=self.folder,
                        PULSE_STATE_PATH=self.folder, PULSE_SERVER=self.server)
        self.log = open(os.path.join(folder, "pulseaudio.log"), "w")
        self.daemon = subprocess.Popen(
            ["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-n",
             "--load=module-native-protocol-unix socket=%s auth-anonymous=1" % os.path.join(self.folder, "native"),
             "--load=module-null-sink sink_name=capture rate=44100 channels=2"],
            env=self.env, stdout=self.log, stderr=self.log)
        self.recorder = None
        deadline = time.time() + 10
        while subprocess.run(["pactl", "info"], env=self.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode != 0:
            if time.time() > deadline or self.daemon.poll() is not None:
                raise RuntimeError("the private PulseAudio daemon did not start (see %s)" % self.log.name)
            time.sleep(0.1)

    def record(self, path):
        self.recorder = subprocess.Popen(
            ["parec", "-d", "capture.monitor", "--format=s16le", "--rate=44100", "--channels=2", "--raw",
             "--latency-msec=20", path], env=self.env, stdout=self.log, stderr=self.log)

    def close(self):
        for proc in (self.recorder, self.daemon):
            if proc and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
        self.log.close()


def run_program(prefix, argv):
    """The program's exit code and output (echoed)."""
    folder = tempfile.mkdtemp(prefix="jewelward-wine-")
    xvfb = None
    try:
        xvfb, display = start_xvfb(60, folder)
        result = subprocess.run(["wine", os.path.abspath(argv[0])] + argv[1:], cwd=folder, timeout=300,
                                env=wine_environment(prefix, display), stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, universal_newlines=True, errors="replace")
        lines = [line for line in result.stdout.splitlines() if not line.startswith("ALSA lib ")]
        print("\n".join(lines))
        # Wine's processes end while the display is there (see windows_e2e.py).
        subprocess.run(["wineserver", "-w"], env=wine_environment(prefix), timeout=60)
        return result.returncode, lines
    finally:
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
        shutil.rmtree(folder, ignore_errors=True)


def main(argv):
    if len(argv) < 2 or (len(argv) > 2 and (argv[2] != "run" or len(argv) < 5)):
        print(__doc__)
        return 2
    missing = [tool for tool in ("wine", "wineboot", "wineserver", "Xvfb") if not shutil.which(tool)]
    if missing:
        print("FAILED: missing %s (Debian packages wine, wine64 and xvfb)" % ", ".join(missing))
        return 1
    prefix = os.path.abspath(argv[1])
    started = time.time()
    make_prefix(prefix)
    if len(argv) == 2:
        print("Wine prefix %s ready in %.1f s" % (argv[1], time.time() - started))
        return 0
    code, lines = run_program(prefix, argv[4:])
    name = os.path.basename(argv[4])
    if code != 0 or argv[3] not in lines:
        print("FAILED: %s ended with %d%s" % (name, code, "" if argv[3] in lines else ", without %r" % argv[3]))
        return 1
    print("%s passed" % name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
