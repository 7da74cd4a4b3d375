#!/usr/bin/env python3
"""End-to-end: the numbers of the `--casm` and `--effects` files of `zephrane-cli working`, each
taken whole or refused with a usage error that names its field and range."""

import json
import os
import subprocess
import sys
import unittest

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"
DEMO = sys.argv.pop(1) if len(sys.argv) > 1 else "demo/zephrane-demo.mid"

CHANNEL = 'every CASM row needs a "channel" from 1 to 16'
CHORD_MUTE = "chordMute must be five bytes, each from 0 to 255"
ALL_CHORDS = [3, 255, 255, 255, 255]

# JSON texts, not Python values: the numbers must reach the reader exactly as written.
# 4294967297 is 2**32 + 1 and 4294967299 is 2**32 + 3: cut down to 32 bits they become 1 and 3;
# 18446744073709551617 is too large for any 64-bit whole number.
BAD_CASM_ROWS = [
    ('{"channel": 0}', CHANNEL),
    ('{"channel": 17}', CHANNEL),
    ('{"channel": -1}', CHANNEL),
    ('{"channel": 1.5}', CHANNEL),
    ('{"channel": 2.0}', CHANNEL),
    ('{"channel": "3"}', CHANNEL),
    ('{"channel": null}', CHANNEL),
    ('{"part": "Bass"}', CHANNEL),
    ('{"channel": 4294967297, "part": "Bass"}', CHANNEL),
    ('{"channel": 18446744073709551617}', CHANNEL),
    ('{"channel": 1, "chordMute": [3, 255, 255, 255, 256]}', CHORD_MUTE),
    ('{"channel": 1, "chordMute": [-1, 255, 255, 255, 255]}', CHORD_MUTE),
    ('{"channel": 1, "chordMute": [3.5, 255, 255, 255, 255]}', CHORD_MUTE),
    ('{"channel": 1, "chordMute": ["3", 255, 255, 255, 255]}', CHORD_MUTE),
    ('{"channel": 1, "chordMute": [4294967299, 255, 255, 255, 255]}', CHORD_MUTE),
    ('{"channel": 1, "chordMute": [3, 255, 255, 255]}', CHORD_MUTE),
    ('{"channel": 1, "chordMute": [3, 255, 255, 255, 255, 255]}', CHORD_MUTE),
    ('{"channel": 1, "chordMute": 3}', CHORD_MUTE),
]

BAD_EFFECTS = [
    ('{"reverb": -1}', "reverb must be a list position, a whole number from 0"),
    ('{"reverb": 1.5}', "reverb must be a list position, a whole number from 0"),
    ('{"reverb": "3"}', "reverb must be a list position, a whole number from 0"),
    ('{"reverb": true}', "reverb must be a list position, a whole number from 0"),
    ('{"reverb": {"text": "Hall 1"}}', "reverb must be a list position, a whole number from 0"),
    ('{"chorus": {"position": -2}}', "chorus must be a list position, a whole number from 0"),
    ('{"variation": 18446744073709551617}',
     "variation must be a list position, a whole number from 0"),
    ('{"reverb": 24}', "reverb position 24 is not in its list of 24"),
    ('{"reverb": 4294967297}', "reverb position 4294967297 is not in its list of 24"),
    ('{"chorus": {"position": 4294967296}}', "chorus position 4294967296 is not in its list of 20"),
    ('{"variation": 102}', "variation position 102 is not in its list of 102"),
    ('{"connection": "Insertion", "variation": 75}',
     "variation position 75 is not in its list of 75"),
]


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8")


class EditFileNumbers(FolderTest):
    def setUp(self):
        super().setUp()
        self.out = self.path("out.mid")

    def edit_file(self, text):
        path = self.path("edit.json")
        with open(path, "w", encoding="utf-8") as edit:
            edit.write(text)
        return path

    def assert_refused(self, option, text, message):
        if os.path.exists(self.out):
            os.remove(self.out)  # left by a case that failed
        done = run("working", "--raw", option, self.edit_file(text), "-o", self.out, DEMO)
        self.assertEqual((done.returncode, done.stderr), (2, "zephrane-cli: " + message + "\n"))
        self.assertEqual(done.stdout, "")
        self.assertFalse(os.path.exists(self.out))

    def test_casm_numbers_out_of_range_are_refused(self):
        for row, message in BAD_CASM_ROWS:
            with self.subTest(row=row):
                self.assert_refused("--casm", "[" + row + "]", message)

    def test_effect_positions_out_of_range_are_refused(self):
        for effects, message in BAD_EFFECTS:
            with self.subTest(effects=effects):
                self.assert_refused("--effects", effects, message)

    def test_numbers_at_the_ends_of_their_ranges_are_taken(self):
        rows = self.edit_file('[{"channel": 1, "part": "Bass", "chordMute": [-0, 0, 0, 0, 0]},'
                              ' {"channel": 16, "part": "Pad",'
                              ' "chordMute": [255, 255, 255, 255, 255]}]')
        effects = self.path("effects.json")
        with open(effects, "w", encoding="utf-8") as edit:
            edit.write('{"reverb": 23, "chorus": {"position": 0}, "variation": 101}')
        done = run("info", "--raw", "--json", "--casm", rows, "--effects", effects, DEMO)
        self.assertEqual(done.returncode, 0, done.stderr)
        info = json.loads(done.stdout)
        casm = {row["channel"]: (row["part"], row["chordMute"]) for row in info["casm"]}
        self.assertEqual(casm[1], ("Bass", [0, 0, 0, 0, 0]))
        self.assertEqual(casm[16], ("Pad", [255, 255, 255, 255, 255]))
        self.assertEqual(info["effects"]["reverb"]["position"], 23)
        self.assertEqual(info["effects"]["chorus"]["position"], 0)
        self.assertEqual(info["effects"]["variation"]["position"], 101)


if __name__ == "__main__":
    unittest.main()
