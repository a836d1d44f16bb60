#!/usr/bin/env python3
"""The source folders form layers, top-down:

    game     entry, start-up, title, main loop, hero control, pacing
    persist  the save file
    combat   hero statistics and HUD, the swing, contact, jewels, the two ends
    actors   the roster, wandering, drawing
    state    ShellState, the values main owns for the whole run
    sprites  sheet cutting, Character
    assets   the data gate: the check of every data file and its only loads
    world    the walk grids and their probes
    core     failures, the player's message box, music calls, the quit request

A file may include headers of its own folder and of folders below it, never
of a folder above. Program-wide variables are declared `extern` in headers
only, so each has one owner .cpp and one declaring header.

usage: check_layers.py SRC_DIR   (prints every breach; exit 1 if any)
"""
import os
import re
import sys

LAYERS = ["game", "persist", "combat", "actors", "state", "sprites", "assets", "world", "core"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/[^"]+"', re.M)
EXTERN = re.compile(r'^\s*extern\b', re.M)


def breaches(src):
    found = []
    folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    for folder in folders:
        if folder not in LAYERS:
            found.append("%s/: a folder outside the layer list" % folder)
            continue
        rank = LAYERS.index(folder)
        for name in sorted(os.listdir(os.path.join(src, folder))):
            path = os.path.join(src, folder, name)
            with open(path) as f:
                text = f.read()
            for target in INCLUDE.findall(text):
                if target not in LAYERS:
                    found.append("%s/%s includes from %s/, a folder outside the layer list" % (folder, name, target))
                elif LAYERS.index(target) < rank:
                    found.append("%s/%s includes from %s/, which sits above it" % (folder, name, target))
            if name.endswith(".cpp") and EXTERN.search(text):
                found.append("%s/%s declares a program-wide variable extern outside a header" % (folder, name))
    return found


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    found = breaches(argv[1])
    for line in found:
        print(line)
    print("layers: %d breach(es) in %s" % (len(found), argv[1]))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
