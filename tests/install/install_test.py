#!/usr/bin/env python3
"""Tests of the installed game: the tree that `cmake --install` lays out, the
launcher's player folder, the installed game played under Xvfb, and the
Debian package.

usage: install_test.py CHECK BUILD_DIR OUT_DIR
  tree      cmake --install into a temporary prefix: every file in place, the
            icons sound, the menu entry and the metainfo valid
  launcher  the launcher with a stand-in game: the player's folder, its
            links, the save left alone, the exit status, the refusals
  play      the installed launcher under Xvfb with a fresh HOME: title, new
            game, F1 save in the player's folder, ESC; F2 resumes in a second
            run; the installed data read-only and unchanged; a broken data
            file named in the library's box, a real ENTER ending with 255
  package   the .deb built by CPack, lintian'd (errors fail), its contents
            against the install tree, its dependencies (the libraries, and
            the package of xmessage, which shows start-up refusals)

The game runs as the user nobody when the test runs as root, so that the
installed data is as read-only to it as to a player.
"""

import datetime
import hashlib
import os
import re
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import jewelward_e2e as e2e  # noqa: E402
from jewelward_e2e import Failure, check  # noqa: E402

APP_ID = "org.jewelward.jewelward"
ICON_SIZES = (32, 48, 64, 128, 256)
DATA = "share/games/jewelward"
GAME = "lib/games/jewelward/jewelward"
LAUNCHER = "games/jewelward"
NOBODY = 65534
AS_ROOT = os.geteuid() == 0


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True, **kw)


def install(build_dir, prefix):
    result = run(["cmake", "--install", build_dir, "--prefix", prefix])
    check(result.returncode == 0, "cmake --install failed: %s" % result.stderr)


def data_names(build_dir):
    """The pictures and music of the build's data folder: what must be installed."""
    data_dir = None
    with open(os.path.join(build_dir, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("JEWELWARD_PREBUILT_DATA:") and line.split("=", 1)[1].strip():
                data_dir = line.split("=", 1)[1].strip()
    data_dir = data_dir or os.path.join(build_dir, "data")
    names = sorted(n for n in os.listdir(data_dir) if n.endswith((".bmp", ".wav")))
    check(len(names) >= 20, "the data folder %s holds only %d files" % (data_dir, len(names)))
    return data_dir, names


def tree(prefix):
    """{relative path: (kind, mode, size)} of everything under prefix."""
    found = {}
    for root, dirs, files in os.walk(prefix):
        for name in dirs + files:
            path = os.path.join(root, name)
            st = os.lstat(path)
            kind = "d" if stat.S_ISDIR(st.st_mode) else "l" if stat.S_ISLNK(st.st_mode) else "f"
            found[os.path.relpath(path, prefix)] = (kind, stat.S_IMODE(st.st_mode), st.st_size if kind == "f" else 0)
    return found


def expected_files(names):
    files = [GAME, LAUNCHER, "share/applications/%s.desktop" % APP_ID,
             "share/metainfo/%s.metainfo.xml" % APP_ID, "share/man/man6/jewelward.6.gz",
             "share/doc/jewelward/copyright", "share/doc/jewelward/changelog.gz"]
    files += ["share/icons/hicolor/%dx%d/apps/jewelward.png" % (s, s) for s in ICON_SIZES]
    files += ["%s/%s" % (DATA, n) for n in names]
    return sorted(files)


def png_pixels(path):
    """(width, height, RGBA bytes) of a PNG of 8-bit RGBA without filters,
    as the generator writes it; zlib reads the deflate stream."""
    import zlib
    with open(path, "rb") as f:
        blob = f.read()
    check(blob[:8] == b"\x89PNG\r\n\x1a\n", "%s is no PNG" % path)
    at, idat, header = 8, b"", None
    while at < len(blob):
        length, kind = struct.unpack(">I4s", blob[at:at + 8])
        body = blob[at + 8:at + 8 + length]
        crc = struct.unpack(">I", blob[at + 8 + length:at + 12 + length])[0]
        check(zlib.crc32(kind + body) == crc, "%s: bad CRC in chunk %r" % (path, kind))
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    check(header and header[2:5] == (8, 6, 0), "%s is not 8-bit RGBA: %s" % (path, header))
    w, h = header[0], header[1]
    raw = zlib.decompress(idat)
    check(len(raw) == h * (1 + 4 * w), "%s: %d bytes of rows, expected %d" % (path, len(raw), h * (1 + 4 * w)))
    rows = [raw[y * (1 + 4 * w):(y + 1) * (1 + 4 * w)] for y in range(h)]
    check(all(r[0] == 0 for r in rows), "%s: a row uses a filter" % path)
    return w, h, b"".join(r[1:] for r in rows)


# ---------------------------------------------------------------- tree

def check_tree(build_dir, tmp):
    prefix = os.path.join(tmp, "prefix")
    install(build_dir, prefix)
    data_dir, names = data_names(build_dir)
    found = tree(prefix)
    files = sorted(p for p, (kind, _, _) in found.items() if kind != "d")
    missing = sorted(set(expected_files(names)) - set(files))
    extra = sorted(set(files) - set(expected_files(names)))
    check(not missing and not extra, "the install tree differs: missing %s, unexpected %s" % (missing, extra))
    for path, (kind, mode, _) in found.items():
        want = 0o755 if kind == "d" or path in (GAME, LAUNCHER) else 0o644
        check(mode == want, "%s has mode %o, expected %o" % (path, mode, want))
    for name in names:
        with open(os.path.join(data_dir, name), "rb") as a, open(os.path.join(prefix, DATA, name), "rb") as b:
            check(a.read() == b.read(), "the installed %s differs from the build's" % name)

    for size in ICON_SIZES:
        path = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/jewelward.png" % (size, size))
        w, h, px = png_pixels(path)
        check((w, h) == (size, size), "the %d px icon is %d x %d" % (size, w, h))
        alpha = px[3::4]
        corners = [alpha[0], alpha[w - 1], alpha[(h - 1) * w], alpha[h * w - 1]]
        check(corners == [0, 0, 0, 0], "the %d px icon's corners are not clear: %s" % (size, corners))
        opaque = sum(1 for a in alpha if a == 255) / len(alpha)
        check(0.5 < opaque < 0.8, "the %d px icon is %.0f %% opaque, expected a round badge" % (size, 100 * opaque))
        colours = len(set(px[i:i + 3] for i in range(0, len(px), 4 * 3)))
        check(colours > 20, "the %d px icon has only %d colours: no picture on it" % (size, colours))

    # The generator paints the same icons on every run.
    again = os.path.join(tmp, "icons-again")
    os.makedirs(again)
    result = run([os.path.join(build_dir, "tools", "gendata"), "--icons", again])
    check(result.returncode == 0, "gendata --icons failed: %s" % result.stderr)
    for size in ICON_SIZES:
        with open(os.path.join(again, "jewelward-%d.png" % size), "rb") as a, \
                open(os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/jewelward.png" % (size, size)), "rb") as b:
            check(a.read() == b.read(), "the %d px icon differs between two runs of the generator" % size)

    desktop = os.path.join(prefix, "share/applications/%s.desktop" % APP_ID)
    result = run(["desktop-file-validate", desktop])
    check(result.returncode == 0 and not result.stdout.strip(),
          "desktop-file-validate: %s%s" % (result.stdout, result.stderr))
    with open(desktop) as f:
        entry = dict(line.strip().split("=", 1) for line in f if "=" in line)
    check(entry["Exec"] == "jewelward" and entry["Icon"] == "jewelward",
          "the menu entry runs %r with icon %r" % (entry["Exec"], entry["Icon"]))
    check(entry["Categories"] == "Game;ActionGame;RolePlaying;", "categories %r" % entry["Categories"])
    metainfo = os.path.join(prefix, "share/metainfo/%s.metainfo.xml" % APP_ID)
    result = run(["appstreamcli", "validate", "--no-net", "--pedantic", metainfo])
    print(result.stdout.strip())
    check(result.returncode == 0, "appstreamcli validate: %s%s" % (result.stdout, result.stderr))
    with open(metainfo) as f:
        text = f.read()
    check("@" not in text, "the metainfo holds an unreplaced @NAME@")
    # The game has no web home: no address at all, rather than an invented one.
    check("://" not in text, "the metainfo names a web address")
    version, date = release()
    check('<project_license>MIT</project_license>' in text, "the metainfo's licence is not MIT")
    check('<releases>\n    <release version="%s" date="%s"/>' % (version, date) in text,
          "the metainfo's newest release is not %s of %s" % (version, date))
    result = run(["gzip", "-dc", os.path.join(prefix, "share/man/man6/jewelward.6.gz")])
    for heading in ("NAME", "SYNOPSIS", "DESCRIPTION", "KEYS", "FILES", "EXIT STATUS", "COPYRIGHT"):
        check(".SH %s" % heading in result.stdout, "the manual page has no %s section" % heading)
    check("@" not in result.stdout, "the manual page holds an unreplaced @NAME@")
    check('.TH JEWELWARD 6 %s "Jewelward %s"' % (date, version) in result.stdout,
          "the manual page does not show version %s of %s" % (version, date))
    result = run(["gzip", "-dc", os.path.join(prefix, "share/doc/jewelward/changelog.gz")])
    top = result.stdout.split("\n\n -- ", 1)
    day = datetime.date.fromisoformat(date)
    stamp = "%s, %02d %s %d" % (day.strftime("%a"), day.day, day.strftime("%b"), day.year)  # as Debian writes it
    check(top[0].startswith("jewelward (%s) unstable;" % version) and len(top) == 2 and stamp in top[1].split("\n")[0],
          "the changelog does not begin with %s of %s: %r" % (version, stamp, result.stdout[:60]))
    check_copyright(os.path.join(prefix, "share/doc/jewelward/copyright"))


def release():
    """(version, date) of the release, both from the one place they are set:
    the top CMakeLists.txt's project() and JEWELWARD_RELEASE_DATE."""
    path = os.path.join(HERE, "..", "..", "CMakeLists.txt")
    with open(path) as f:
        text = f.read()
    version = re.search(r"^project\(\s*Jewelward\s+VERSION\s+([0-9.]+)", text, re.M)
    date = re.search(r"^set\(\s*JEWELWARD_RELEASE_DATE\s+([0-9]{4}-[0-9]{2}-[0-9]{2})\s*\)", text, re.M)
    check(version and date, "%s sets no project version or no JEWELWARD_RELEASE_DATE" % path)
    return version.group(1), date.group(1)


def check_copyright(path):
    """The copyright file: Debian's machine-readable format, the whole game
    under the MIT (Expat) licence, and the SoundFont's notice with the music."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    paragraphs = [dict(line.split(": ", 1) for line in block.splitlines() if line[:1] not in (" ", "") and ": " in line)
                  for block in text.split("\n\n")]
    check(paragraphs[0].get("Format") == "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/",
          "the copyright file is not in the machine-readable format: %r" % text[:80])
    files = {p["Files"]: p for p in paragraphs if "Files" in p}
    check(files.get("*", {}).get("License") == "Expat" and
          files["*"].get("Copyright") == "2026 the Jewelward developers",
          "the whole game is not under the MIT licence of its developers: %s" % files.get("*"))
    music = [p for pattern, p in files.items() if pattern.endswith("BGM_*.wav")]
    check(music and music[0]["License"] == "Expat", "the music's paragraph is missing: %s" % sorted(files))
    for words in ("MuseScore_General SoundFont", "S. Christian Collins", "Frank Wen", "Michael Cowgill"):
        check(words in text, "the copyright file lacks the SoundFont's notice (%s)" % words)
    licences = [p for p in paragraphs if list(p) == ["License"]]
    check(licences == [{"License": "Expat"}] and "Permission is hereby granted, free of charge" in text,
          "the copyright file does not give the Expat licence's text once")


# ---------------------------------------------------------------- launcher

STAND_IN = """#!/bin/sh
# Stands in for the game: tells where it runs and what it sees there.
pwd > "$STAND_IN_REPORT"
ls -A >> "$STAND_IN_REPORT"
exit "${STAND_IN_EXIT:-0}"
"""


def player_kw():
    """subprocess arguments that run a command as an ordinary player."""
    return dict(user=NOBODY, group=NOBODY, extra_groups=[]) if AS_ROOT else {}


def give_to_player(path):
    if AS_ROOT:
        os.chown(path, NOBODY, NOBODY)


def check_launcher(build_dir, tmp):
    os.chmod(tmp, 0o755)  # the player must reach the folders inside
    prefix = os.path.join(tmp, "prefix")
    install(build_dir, prefix)
    _, names = data_names(build_dir)
    os.remove(os.path.join(prefix, GAME))
    with open(os.path.join(prefix, GAME), "w") as f:
        f.write(STAND_IN)
    os.chmod(os.path.join(prefix, GAME), 0o755)
    launcher = os.path.join(prefix, LAUNCHER)
    report = os.path.join(tmp, "report")

    def launch(env, code=0):
        for name in ("HOME", "XDG_DATA_HOME"):
            if env.get(name) and not os.path.exists(env[name]):
                os.makedirs(env[name])
                give_to_player(env[name])
        if os.path.exists(report):
            os.remove(report)
        full = {"PATH": os.environ["PATH"], "STAND_IN_REPORT": report, "STAND_IN_EXIT": str(code)}
        full.update((k, v) for k, v in env.items() if v is not None)
        open(report, "w").close()
        give_to_player(report)
        result = run([launcher], env=full, cwd="/", **player_kw())
        lines = open(report).read().split("\n")
        return result, lines[0], set(filter(None, lines[1:]))

    def expect_folder(folder, extra=()):
        check(sorted(os.listdir(folder)) == sorted(list(names) + list(extra)),
              "%s holds %s" % (folder, sorted(os.listdir(folder))))
        for name in names:
            link = os.path.join(folder, name)
            check(os.path.islink(link) and os.readlink(link) == os.path.join(os.path.realpath(prefix), DATA, name),
                  "%s is no link to the installed %s" % (link, name))

    # Where the player's folder is, and that the game runs in it with its
    # status passed through (the stand-in's code of each case).
    home = os.path.join(tmp, "home-a")
    xdg = os.path.join(tmp, "xdg-b")
    for label, env, folder, code in (
            ("HOME only", {"HOME": home}, os.path.join(home, ".local/share/jewelward"), 0),
            ("XDG_DATA_HOME", {"HOME": home, "XDG_DATA_HOME": xdg}, os.path.join(xdg, "jewelward"), 1),
            ("a second run", {"HOME": home}, os.path.join(home, ".local/share/jewelward"), 7)):
        result, cwd, seen = launch(env, code)
        check(result.returncode == code, "%s: the launcher ended with %d, the game with %d (stderr %r)"
              % (label, result.returncode, code, result.stderr))
        check(cwd == folder, "%s: the game ran in %s, expected %s" % (label, cwd, folder))
        check(seen == set(names), "%s: the game saw %s" % (label, sorted(seen)))
        expect_folder(folder)

    # The save, a file of the player's own and fresh links stay; a link to a
    # file an upgrade dropped goes; a link into another (old) prefix, a file
    # in a data file's place and a link to the wrong file are made right.
    folder = os.path.join(home, ".local/share/jewelward")
    save = "1\n2\n3\n"
    for name, text in (("heroData.txt", save), ("notes.txt", "mine")):
        with open(os.path.join(folder, name), "w") as f:
            f.write(text)
    os.symlink("/old/prefix/share/games/jewelward/dropped.bmp", os.path.join(folder, "dropped.bmp"))
    os.remove(os.path.join(folder, names[0]))
    os.symlink("/old/prefix/share/games/jewelward/" + names[0], os.path.join(folder, names[0]))
    os.remove(os.path.join(folder, names[1]))
    with open(os.path.join(folder, names[1]), "w") as f:
        f.write("stale copy")
    os.remove(os.path.join(folder, names[2]))
    os.symlink(os.path.join(os.path.realpath(prefix), DATA, names[3]), os.path.join(folder, names[2]))
    result, _, seen = launch({"HOME": home})
    check(result.returncode == 0, "after an upgrade the launcher ended with %d: %r" % (result.returncode,
                                                                                        result.stderr))
    expect_folder(folder, ("heroData.txt", "notes.txt"))
    check(open(os.path.join(folder, "heroData.txt")).read() == save, "the launcher changed the save")
    check(open(os.path.join(folder, "notes.txt")).read() == "mine", "the launcher changed the player's file")

    # Two launchers at once (a double click) on an empty folder and on one an
    # older install left: both run the game and see every link, and the folder
    # ends with the links only, whichever of them made each one.
    def start_player(env, report):
        open(report, "w").close()
        give_to_player(report)
        full = dict(env, PATH=os.environ["PATH"], STAND_IN_REPORT=report)
        return subprocess.Popen([launcher], env=full, cwd="/", stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                universal_newlines=True, **player_kw())

    def older_install(folder):
        os.makedirs(folder)
        for name in names:
            os.symlink("/old/prefix/share/games/jewelward/" + name, os.path.join(folder, name))
        give_to_player(folder)

    for label, prepare, trials in (("an empty folder", lambda folder: None, 20),
                                   ("an older install's folder", older_install, 20)):
        for trial in range(trials):
            twin_home = os.path.join(tmp, "twins-%s-%d" % (label.split()[1], trial))
            os.makedirs(twin_home)
            give_to_player(twin_home)
            folder = os.path.join(twin_home, "jewelward")
            prepare(folder)
            env = {"HOME": twin_home, "XDG_DATA_HOME": twin_home}
            reports = [os.path.join(tmp, "twin-report-%d" % i) for i in (0, 1)]
            players = [start_player(env, r) for r in reports]
            for number, (player, report) in enumerate(zip(players, reports)):
                _, err = player.communicate(timeout=60)
                lines = open(report).read().split("\n")
                # The other launcher may still be at work: its link in the
                # making can be there too, but none of ours may be missing.
                missing = set(names) - set(lines[1:])
                check(player.returncode == 0 and not err and lines[0] == folder and not missing,
                      "%s, trial %d: launcher %d of two at once ended with %d (stderr %r), its game ran in %r "
                      "without %s" % (label, trial, number + 1, player.returncode, err, lines[0], sorted(missing)))
            expect_folder(folder)

    # Refusals: message on stderr, exit 255, the game not started.
    blocker = os.path.join(tmp, "a-file")
    open(blocker, "w").close()
    locked = os.path.join(tmp, "locked")
    os.makedirs(os.path.join(locked, "jewelward"))
    os.chmod(os.path.join(locked, "jewelward"), 0o555)
    cases = [("a file in the way", {"HOME": home, "XDG_DATA_HOME": blocker}, "cannot make"),
             ("no HOME, no XDG_DATA_HOME", {}, "neither XDG_DATA_HOME nor HOME"),
             ("a folder that cannot be written", {"HOME": home, "XDG_DATA_HOME": locked}, "cannot write")]
    for label, env, words in cases:
        result, cwd, _ = launch(env)
        check(result.returncode == 255, "%s: the launcher ended with %d, expected 255" % (label, result.returncode))
        check(words in result.stderr and "jewelward:" in result.stderr,
              "%s: the message is %r, expected one with %r" % (label, result.stderr, words))
        check(cwd == "", "%s: the game was started anyway (in %s)" % (label, cwd))
    os.chmod(os.path.join(locked, "jewelward"), 0o755)


# ---------------------------------------------------------------- play

def snapshot(folder):
    """{name: (mode, size, mtime, sha256)} of a folder's files, and its own mode."""
    found = {".": (stat.S_IMODE(os.stat(folder).st_mode),)}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        st = os.lstat(path)
        with open(path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        found[name] = (stat.S_IMODE(st.st_mode), st.st_size, st.st_mtime_ns, digest)
    return found


class InstalledSession(e2e.Session):
    """An e2e session that starts the installed launcher as a player with a
    fresh HOME, from no particular folder."""

    def __init__(self, build_dir, out_root):
        tmp = tempfile.mkdtemp(prefix="jewelward-install-")
        self.prefix = os.path.join(tmp, "prefix")
        install(build_dir, self.prefix)
        super().__init__("install_play", os.path.join(self.prefix, LAUNCHER),
                         os.path.join(self.prefix, DATA), out_root)
        shutil.rmtree(self.tmp)
        self.tmp = tmp
        os.chmod(tmp, 0o755)
        self.player_home = os.path.join(tmp, "player")
        os.makedirs(self.player_home)
        give_to_player(self.player_home)
        self.folder = os.path.join(self.player_home, ".local/share/jewelward")
        if not AS_ROOT:  # root ignores modes: it runs the game as nobody instead
            for path in [self.data_dir] + [os.path.join(self.data_dir, n) for n in os.listdir(self.data_dir)]:
                os.chmod(path, os.stat(path).st_mode & ~0o222)

    def start_game(self, display=None, wait_title=True):
        check(self.game_proc is None, "a game is already running")
        self.runs += 1
        env = {"PATH": os.environ["PATH"], "HOME": self.player_home, "DISPLAY": self.display}
        self.game_out = os.path.join(self.tmp, "game-%d.out" % self.runs)
        self.game_err = os.path.join(self.tmp, "game-%d.err" % self.runs)
        with open(self.game_out, "w") as out, open(self.game_err, "w") as err:
            self.game_proc = subprocess.Popen([self.game], cwd="/", env=env, stdout=out, stderr=err,
                                              **player_kw())
        if not wait_title:
            return
        self.wait_screen("title", lambda s: e2e.diff_fraction(s, self.picture("Main Menu.bmp")) < 0.01,
                         e2e.TITLE_WAIT)
        self.focus()

    def close(self, failed):
        os.chmod(self.data_dir, 0o755)  # so that the clean-up can remove it
        super().close(failed)


def check_play(build_dir, out_dir):
    s = InstalledSession(build_dir, out_dir)
    failed = True
    try:
        before = snapshot(s.data_dir)
        s.start_x()
        s.start_game()  # waits for the title
        e2e.enter_game(s)
        s.press("F1")
        saved = e2e.wait_save(s.folder, lambda text: True)
        check(saved == e2e.NEW_GAME_SAVE, "F1 wrote %r into %s, expected %r" % (saved, s.folder, e2e.NEW_GAME_SAVE))
        owner = os.stat(os.path.join(s.folder, "heroData.txt")).st_uid
        check(owner == (NOBODY if AS_ROOT else os.geteuid()), "the save belongs to user %d: the game ran as whom?" % owner)
        check(s.quit_with("Escape", 10) == 0, "ESC in play did not end with 0")
        out, err = s.output()
        check(snapshot(s.data_dir) == before, "the installed data changed during the first run")

        # The second run resumes the player's save: moved to the wall below
        # the start, so the view tells it from a new game.
        e2e.write_save(s.folder, camera=e2e.DOWN_TO_WALL, hero=(272, 416))
        give_to_player(os.path.join(s.folder, "heroData.txt"))
        s.start_game()
        back = e2e.resume(s)
        world = s.picture("worldMap.bmp")
        e2e.expect_world_view(back, world, e2e.DOWN_TO_WALL, "resumed", wrong=[(world, (0, 0))])
        e2e.expect_hero(s, back, "Avatar.bmp", 8, "resumed", camera=e2e.DOWN_TO_WALL)
        check(s.quit_with("Escape", 10) == 0, "ESC in the resumed game did not end with 0")
        check(snapshot(s.data_dir) == before, "the installed data changed during the second run")
        extra = sorted(set(os.listdir(s.folder)) - set(os.listdir(s.data_dir)))
        check(extra == ["heroData.txt"], "the player's folder holds more than links and the save: %s" % extra)

        # A data file broken after the install (a disk fault, a failed
        # upgrade): started from the menu, the game names it in the library's
        # box (xmessage, which the package depends on) before any window of
        # its own, and a real ENTER on the box ends it with 255.
        broken = os.path.join(s.data_dir, "Avatar.bmp")
        os.chmod(broken, 0o644)
        os.truncate(broken, os.path.getsize(broken) // 2)
        s.start_game(wait_title=False)
        _, argv = s.message_box(10)
        boxes = s.find_windows("--class", "Xmessage")
        s.xdo("windowfocus", "--sync", boxes[-1], tolerate=True)
        s.press("Return")
        check(s.wait_exit(10) == 255, "the game with a broken data file did not end with 255")
        out, err = s.output()
        check("Avatar.bmp" in " ".join(argv[1:]), "the box does not name the broken file: %r" % argv)
        check('"Avatar.bmp"' in err, "standard error does not name the broken file: %r" % err[-300:])
        s.expect_game_ended()
        failed = False
    finally:
        s.close(failed)


# ---------------------------------------------------------------- package

def check_package(build_dir, tmp):
    out = os.path.join(tmp, "package")
    started = time.time()
    result = run(["cpack", "--config", os.path.join(build_dir, "CPackConfig.cmake"), "-B", out], cwd=build_dir)
    check(result.returncode == 0, "cpack failed: %s%s" % (result.stdout, result.stderr))
    debs = [n for n in os.listdir(out) if n.endswith(".deb")]
    check(len(debs) == 1, "cpack made %s" % debs)
    deb = os.path.join(out, debs[0])
    print("built %s in %.0f s" % (debs[0], time.time() - started))

    fields = {}
    for field in ("Package", "Version", "Architecture", "Section", "Depends", "Installed-Size"):
        fields[field] = run(["dpkg-deb", "-f", deb, field]).stdout.strip()
    print("package %d bytes, installed size %s KiB, depends %s"
          % (os.path.getsize(deb), fields["Installed-Size"], fields["Depends"]))
    check(debs[0] == "jewelward_%s_amd64.deb" % fields["Version"] and fields["Version"] == release()[0],
          "the package is named %s, expected version %s" % (debs[0], release()[0]))
    check(fields["Package"] == "jewelward" and fields["Section"] == "games" and fields["Architecture"] == "amd64",
          "control fields %s" % fields)
    depends = [d.split("(")[0].strip() for d in fields["Depends"].split(",")]
    check("liballegro4.4" in depends and "libc6" in depends,
          "the dependencies %r lack Allegro or the C library: shlibdeps did not run" % fields["Depends"])
    # The library shows a refusal at start-up (a broken data file) with
    # xmessage: without it the game from the menu ends without a word.
    owner = run(["dpkg", "-S", os.path.realpath(shutil.which("xmessage") or "/usr/bin/xmessage")])
    check(owner.returncode == 0, "no package holds xmessage here: %s" % owner.stderr)
    owner = owner.stdout.split(":")[0]
    check(owner in depends, "the dependencies %r lack %s, whose xmessage shows the game's refusals"
          % (fields["Depends"], owner))

    # The licence travels with the package.
    unpacked = os.path.join(tmp, "copyright")
    result = run(["sh", "-c", 'dpkg-deb --fsys-tarfile "$1" | tar -xOf - ./usr/share/doc/jewelward/copyright >"$2"',
                  "-", deb, unpacked])
    check(result.returncode == 0, "the package's copyright file cannot be read: %s" % result.stderr)
    check_copyright(unpacked)

    started = time.time()
    result = run(["lintian", "--fail-on", "error", "--pedantic", deb])
    findings = [line for line in result.stdout.splitlines() if line[:2] in ("E:", "W:", "I:", "P:", "X:")]
    print("lintian (%.0f s): %s" % (time.time() - started, "\n  ".join(["%d findings" % len(findings)] + findings)))
    check(result.returncode == 0, "lintian failed: %s%s" % (result.stdout, result.stderr))
    check(not any(line.startswith("E:") for line in findings), "lintian reports errors")

    # The package's files are the install tree's under /usr, with the same
    # modes, owned by root, and the same sizes but for the stripped game.
    prefix = os.path.join(tmp, "usr")
    install(build_dir, prefix)
    want = tree(prefix)
    listing = run(["dpkg-deb", "-c", deb])
    check(listing.returncode == 0, "dpkg-deb -c failed: %s" % listing.stderr)
    got = {}
    for line in listing.stdout.splitlines():
        fields_ = line.split(None, 5)
        mode, owner, size, path = fields_[0], fields_[1], int(fields_[2]), fields_[5]
        check(owner == "root/root", "%s is owned by %s" % (path, owner))
        path = path[len("./"):].rstrip("/")
        if not path.startswith("usr/"):
            continue
        bits = sum(1 << (8 - i) for i, c in enumerate(mode[1:10]) if c != "-")
        got[path[len("usr/"):]] = ("d" if mode[0] == "d" else "l" if mode[0] == "l" else "f", bits,
                                   size if mode[0] == "-" else 0)
    missing = sorted(set(want) - set(got))
    extra = sorted(set(got) - set(want))
    check(not missing and not extra, "the package differs from the install tree: missing %s, extra %s"
          % (missing, extra))
    for path, (kind, mode, size) in want.items():
        gkind, gmode, gsize = got[path]
        check((gkind, gmode) == (kind, mode), "%s: %s %o in the package, %s %o installed" % (path, gkind, gmode,
                                                                                              kind, mode))
        if path == GAME:
            check(0 < gsize < size, "the packaged game (%d bytes) is not stripped (%d installed)" % (gsize, size))
        else:
            check(gsize == size, "%s: %d bytes in the package, %d installed" % (path, gsize, size))


CHECKS = {"tree": check_tree, "launcher": check_launcher, "package": check_package}


def main(argv):
    if len(argv) != 4 or argv[1] not in list(CHECKS) + ["play"]:
        print(__doc__)
        return 2
    name, build_dir, out_dir = argv[1], os.path.abspath(argv[2]), os.path.abspath(argv[3])
    tools = {"tree": ["cmake", "desktop-file-validate", "appstreamcli", "gzip"], "launcher": ["cmake"],
             "play": ["cmake", "Xvfb", "xdotool", "import", "convert", "xmessage"],
             "package": ["cpack", "dpkg", "dpkg-deb", "dpkg-shlibdeps", "lintian", "file", "xmessage"]}[name]
    missing = [t for t in tools if not shutil.which(t)]
    if missing:
        print("FAILED %s: missing tools: %s" % (name, ", ".join(missing)))
        return 1
    started = time.time()
    try:
        if name == "play":
            check_play(build_dir, out_dir)
        else:
            tmp = tempfile.mkdtemp(prefix="jewelward-install-")
            try:
                CHECKS[name](build_dir, tmp)
            finally:
                shutil.rmtree(tmp, ignore_errors=True)
    except Failure as problem:
        print("FAILED %s: %s" % (name, problem))
        return 1
    print("%s passed in %.1f s" % (name, time.time() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
