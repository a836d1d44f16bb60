#!/usr/bin/env python3
"""The Windows zip: one folder holding jewelward.exe, every data file the
start-up check names (listed by LIST_DATA_FILES), README.txt and the licence
(LICENSE.txt); the exe carries its icon and version and imports only DLLs
that come with Windows.

usage: check_zip.py ZIP LIST_DATA_FILES
"""
import os
import re
import subprocess
import sys
import tempfile
import zipfile

# DLLs every Windows has; anything else (the MinGW run-time, Allegro) would
# have to travel with the exe.
WINDOWS_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "ole32.dll", "ddraw.dll", "dsound.dll",
                "winmm.dll", "dinput.dll", "dinput8.dll", "comdlg32.dll", "advapi32.dll", "shell32.dll"}


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    zip_path, lister = argv[1:]
    problems = []
    version = re.search(r"jewelward-([0-9.]+)-windows-x64\.zip$", zip_path).group(1)
    folder = "jewelward-%s-windows-x64/" % version
    data = subprocess.run([lister], check=True, stdout=subprocess.PIPE, universal_newlines=True).stdout.split("\n")
    data = [name for name in data if name]
    with zipfile.ZipFile(zip_path) as z:
        names = set(z.namelist())
        expected = {folder + n for n in ["jewelward.exe", "README.txt", "LICENSE.txt"] + data}
        problems += ["missing from the zip: %s" % n for n in sorted(expected - names)]
        problems += ["not expected in the zip: %s" % n for n in sorted(names - expected - {folder})]
        print("%d files in %s (%.1f MB), %d of them data files"
              % (len(names - {folder}), os.path.basename(zip_path), os.path.getsize(zip_path) / 1e6, len(data)))
        if folder + "README.txt" in names:
            readme = z.read(folder + "README.txt").decode()
            for needed in ["heroData.txt", "F1", "F2", "ESC", "arrow keys", "right Shift", "LICENSE.txt", version]:
                if needed not in readme:
                    problems.append("README.txt does not mention %r" % needed)
        with tempfile.TemporaryDirectory() as tmp:
            if folder + "jewelward.exe" in names:
                exe = z.extract(folder + "jewelward.exe", tmp)
                dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], check=True,
                                      stdout=subprocess.PIPE, universal_newlines=True).stdout
                dlls = re.findall(r"DLL Name: (\S+)", dump)
                print("jewelward.exe (%.1f MB) imports %s" % (os.path.getsize(exe) / 1e6, ", ".join(dlls)))
                if not dlls:
                    problems.append("objdump found no imports in jewelward.exe")
                problems += ["jewelward.exe needs %s, which Windows does not have" % d
                             for d in dlls if d.lower() not in WINDOWS_DLLS]
                with open(exe, "rb") as f:
                    blob = f.read()
                utf16 = lambda text: text.encode("utf-16-le")  # noqa: E731
                if utf16("ProductVersion") not in blob or utf16(version) not in blob:
                    problems.append("jewelward.exe has no version resource naming %s" % version)
                if b"\x89PNG\r\n\x1a\n" not in blob or utf16("ALLEGRO_ICON") not in blob:
                    problems.append("jewelward.exe has no icon")
    for problem in problems:
        print("FAILED: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
