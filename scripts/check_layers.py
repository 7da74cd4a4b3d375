#!/usr/bin/python3
"""Checks that the includes of the project point one way, from the programs down to the song:

    song  <  subsystems (analysis, sections, casm, effects, style, convert, player)  <  app
          <  programs (cli, gui, the player program, tools)

A file may include headers of its own layer and of the layers below it, never above, nor name
the session's types below app/. The core (src/) includes the standard library only, no Qt.
Prints what it finds; exits 1 on a finding.

    scripts/check_layers.py
"""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

SUBSYSTEMS = ("analysis", "sections", "casm", "effects", "style", "convert", "player")
LAYER_OF_HEADER_FOLDER = {"song": 0, "app": 2, "cli": 3, "gui": 3}
LAYER_OF_HEADER_FOLDER.update({name: 1 for name in SUBSYSTEMS})
LAYER_NAMES = ("song", "subsystem", "app", "program")
PROGRAM_FOLDERS = ("cli", "gui", "player", "tools")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
# The session's types named below app/ (outside comments): the file works on the session, which
# it cannot see.
SESSION_NAME = re.compile(r'\b(Session|SessionState)\b')


def layer_of_file(path):
    """The layer of a source file by its folder, relative to the project."""
    parts = path.split("/")
    if parts[0] == "src":
        return LAYER_OF_HEADER_FOLDER.get(parts[1])
    if parts[0] in PROGRAM_FOLDERS:
        return 3
    return None


def sources():
    for top in ("src",) + PROGRAM_FOLDERS:
        for folder, _, names in os.walk(os.path.join(ROOT, top)):
            for name in sorted(names):
                if name.endswith((".h", ".cpp", ".h.in")):
                    yield os.path.relpath(os.path.join(folder, name), ROOT)


def findings():
    """Every include that points upward or brings Qt into the core, as "FILE -> HEADER", and
    every line below app/ that names the session's types."""
    found = []
    for path in sources():
        layer = layer_of_file(path)
        if layer is None:
            continue
        with open(os.path.join(ROOT, path), encoding="utf-8") as source:
            for line in source:
                code = line.split("//")[0]
                if layer < 2 and SESSION_NAME.search(code):
                    found.append("%s -> %s (names the session)" % (path, line.strip()))
                match = INCLUDE.match(line)
                if not match:
                    continue
                bracket, header = match.groups()
                if bracket == "<":
                    if path.startswith("src/") and header.startswith("Q"):
                        found.append("%s -> %s (Qt in the core)" % (path, header))
                    continue
                target = LAYER_OF_HEADER_FOLDER.get(header.split("/")[0])
                if target is not None and target > layer:
                    found.append("%s -> %s" % (path, header))
    return found


def main():
    found = findings()
    for finding in found:
        print("upward include: " + finding)
    print("%d upward includes" % len(found))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
