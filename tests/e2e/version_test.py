#!/usr/bin/env python3
"""End-to-end: each program answers --version with its name and the project's version, exit 0,
and without a display (the desktop program answers before it opens a window)."""

import os
import subprocess
import sys
import unittest

# Arguments: the version, then NAME=PATH for each program built.
VERSION = sys.argv.pop(1) if len(sys.argv) > 1 else "0.0.0"
PROGRAMS = {}
while len(sys.argv) > 1 and "=" in sys.argv[1]:
    name, path = sys.argv.pop(1).split("=", 1)
    PROGRAMS[name] = path


def without_display():
    """This process's environment with nothing that would let Qt reach a display."""
    environment = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        environment.pop(name, None)
    return environment


class VersionOption(unittest.TestCase):
    def test_every_program_prints_its_name_and_version(self):
        self.assertTrue(PROGRAMS, "no programs given")
        for name, path in PROGRAMS.items():
            with self.subTest(program=name):
                result = subprocess.run([path, "--version"], capture_output=True, text=True,
                                        env=without_display(), timeout=60)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, "%s %s\n" % (name, VERSION))
                self.assertEqual(result.stderr, "")


if __name__ == "__main__":
    unittest.main()
