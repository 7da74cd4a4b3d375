#!/usr/bin/env python3
"""End-to-end: `cmake --install` into a staging folder (DESTDIR, as a package build does), then the
installed zephrane-cli makes a style from the demo song and finds its effect list where it was
installed, not under the prefix the build was configured with."""

import json
import os
import subprocess
import sys
import unittest

from e2e_support import FolderTest

CMAKE = sys.argv.pop(1) if len(sys.argv) > 1 else "cmake"
BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else "build"
DEMO = sys.argv.pop(1) if len(sys.argv) > 1 else "demo/zephrane-demo.mid"
PROGRAMS = sys.argv[1:]
del sys.argv[1:]

DATA_FILES = ["cbo3.dat", "Zephrane.rtf", "ZephraneQuickStart.rtf"]
DESKTOP_FILES = ["share/applications/zephrane.desktop",
                 "share/icons/hicolor/scalable/apps/zephrane.svg",
                 "share/metainfo/org.zephrane.Zephrane.metainfo.xml"]
REVERB_POSITION = 3  # a reverb type past "No Effect" and the first entries


class StagedInstall(FolderTest):
    def setUp(self):
        super().setUp()
        self.stage = self.path("stage")
        result = subprocess.run([CMAKE, "--install", BUILD, "--prefix", "/usr"],
                                env=dict(os.environ, DESTDIR=self.stage),
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.usr = os.path.join(self.stage, "usr")
        self.cli = os.path.join(self.usr, "bin", "zephrane-cli")

    def installed(self, relative):
        return os.path.join(self.usr, relative)

    def reverb_entry(self, position):
        """The name and code of a reverb list entry, read from the installed effect list."""
        with open(self.installed("share/zephrane/cbo3.dat"), encoding="latin-1") as listing:
            lines = [line for line in listing.read().splitlines() if line]
        name, code = lines[position].rsplit(",", 1)
        return name, int(code)

    def test_the_files_land_under_the_prefix(self):
        expected = ["bin/" + program for program in PROGRAMS]
        expected += ["share/zephrane/" + name for name in DATA_FILES]
        expected += ["share/doc/zephrane/copyright"]
        if "zephrane" in PROGRAMS:
            expected += DESKTOP_FILES
        for relative in expected:
            with self.subTest(file=relative):
                self.assertTrue(os.path.isfile(self.installed(relative)))
        for program in PROGRAMS:
            self.assertTrue(os.access(self.installed("bin/" + program), os.X_OK))
        self.assertFalse(os.path.exists(self.installed("bin/cbo3.dat")))

    def test_installed_cli_makes_a_style_with_the_installed_effect_list(self):
        effects = self.path("effects.json")
        with open(effects, "w", encoding="utf-8") as settings:
            json.dump({"reverb": REVERB_POSITION}, settings)
        style = self.path("out.sty")
        result = subprocess.run(
            [self.cli, "style", "--work-dir", self.fresh_work_dir(), "--all-sections",
             "--auto-casm", "--force", "--effects", effects, "-o", style, DEMO],
            capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        with open(style, "rb") as written:
            self.assertEqual(written.read(4), b"MThd")

        result = subprocess.run(
            [self.cli, "info", "--json", "--work-dir", self.fresh_work_dir(), "--effects",
             effects, DEMO], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr, "")
        name, code = self.reverb_entry(REVERB_POSITION)
        self.assertEqual(json.loads(result.stdout)["effects"]["reverb"],
                         {"position": REVERB_POSITION, "text": name, "code": code})


if __name__ == "__main__":
    unittest.main()
