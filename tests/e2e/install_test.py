#!/usr/bin/env python3
"""End-to-end checks of what the build makes: --version of each program, and `cmake --install`
into a staging folder (DESTDIR, as a package build does), whose zephrane-cli finds its effect list
where it was installed, not under the prefix the build was configured with.
Usage: install_test.py CMAKE BUILD VERSION DEMO NAME=PROGRAM... [TEST]"""

import json
import os
import subprocess
import sys
import unittest

from e2e_support import FolderTest, run, take_arguments

CMAKE, BUILD, VERSION, DEMO = take_arguments("cmake", "build", "0.0.0", "demo/zephrane-demo.mid")
PROGRAMS = dict(argument.split("=", 1) for argument in sys.argv[1:] if "=" in argument)
sys.argv[1:] = [argument for argument in sys.argv[1:] if "=" not in argument]
REVERB_POSITION = 3  # a reverb type past "No Effect" and the first entries


class VersionOption(unittest.TestCase):
    def test_every_program_prints_its_name_and_version_without_a_display(self):
        self.assertTrue(PROGRAMS, "no programs given")
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            os.environ.pop(name, None)
        for name, path in PROGRAMS.items():
            done = run(path, "--version")
            self.assertEqual((done.returncode, done.stdout, done.stderr),
                             (0, "%s %s\n" % (name, VERSION), ""))


class StagedInstall(FolderTest):
    def test_files_land_under_the_prefix_and_the_cli_finds_its_effect_list(self):
        done = subprocess.run([CMAKE, "--install", BUILD, "--prefix", "/usr"], text=True,
                              env=dict(os.environ, DESTDIR=self.path("stage")), capture_output=True)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        usr = self.path("stage/usr")
        expected = ["share/zephrane/" + name for name in
                    ("cbo3.dat", "Zephrane.rtf", "ZephraneQuickStart.rtf")]
        expected += ["share/doc/zephrane/copyright"] + ["bin/" + name for name in PROGRAMS]
        if "zephrane" in PROGRAMS:
            expected += ["share/applications/zephrane.desktop",
                         "share/icons/hicolor/scalable/apps/zephrane.svg",
                         "share/metainfo/org.zephrane.Zephrane.metainfo.xml"]
        for relative in expected:
            self.assertTrue(os.path.isfile(os.path.join(usr, relative)), relative)
        self.assertTrue(all(os.access(os.path.join(usr, "bin", n), os.X_OK) for n in PROGRAMS))
        self.assertFalse(os.path.exists(os.path.join(usr, "bin/cbo3.dat")))

        cli = os.path.join(usr, "bin/zephrane-cli")
        effects = self.write("effects.json", json.dumps({"reverb": REVERB_POSITION}))
        self.assert_run(run(cli, "style", "--work-dir", self.fresh_work_dir(), "--all-sections",
                            "--auto-casm", "--effects", effects, "-o", self.path("out.sty"), DEMO))
        done = run(cli, "info", "--json", "--work-dir", self.fresh_work_dir(), "--effects",
                   effects, DEMO)
        self.assert_run(done)
        with open(os.path.join(usr, "share/zephrane/cbo3.dat"), encoding="latin-1") as listing:
            name, code = [line for line in listing.read().splitlines() if line][
                REVERB_POSITION].rsplit(",", 1)
        self.assertEqual(json.loads(done.stdout)["effects"]["reverb"],
                         {"position": REVERB_POSITION, "text": name, "code": int(code)})


if __name__ == "__main__":
    unittest.main()
