#!/usr/bin/env python3
"""End-to-end: every option of `zephrane-cli` that takes a value takes exactly its one value, and
works the same whether it stands before FILE or after it. Songs are written by mido."""

import json
import os
import unittest

import mido

from e2e_support import FolderTest, band_song, read_bytes, run, take_arguments

CLI = take_arguments("zephrane-cli")
READY = ("--sections", "Main A", "--auto-casm")  # what `style` needs to save at all


class Unseen(tuple):
    """The other options a subcommand needs to run with an option of which it keeps no trace."""


# Each editing option that takes a value, and for `info`, `working` and `style` the other options
# its change needs to show, or Unseen: the working file holds no CASM and no effects. (A flag
# cannot swallow FILE; the golden digests hold what each one does.)
EDITING_OPTIONS = [
    (("--style-name", "Night Train"), ((), (), READY)),
    (("--copyright", "(c) Ann"), ((), (), READY)),
    (("--sections", "Main A,Main B"), ((), (), ("--auto-casm",))),
    (("--sections=Main A,Main B",), ((), (), ("--auto-casm",))),
    (("--casm", "casm.json"), ((), Unseen(), ("--sections", "Main A"))),
    (("--effects", "effects.json"), ((), Unseen(), READY)),
    (("--convert", "plain"), (READY, READY, READY)),
    (("--raw",), ((), (), Unseen(READY))),  # a style is made from the song prepared afresh
]


class OptionPositions(FolderTest):
    def setUp(self):
        super().setUp()
        self.work, self.out = self.fresh_work_dir(), self.path("out.bin")
        self.song = band_song(self.path("song.mid"), 34, {0: (0, [(0, 60, 1)]),
                                                          1: (33, [(0, 40, 1)])})
        self.write("casm.json", json.dumps([{"channel": 2, "part": "Bass", "key": "D"}]))
        self.write("effects.json", json.dumps({"reverb": 3, "pan": "40"}))
        self.style = self.path("own-casm.sty")
        self.assert_run(run(CLI, "style", "--work-dir", self.work, "--all-sections",
                            "--auto-casm", "-o", self.style, self.song))
        self.type1 = self.path("type1.mid")
        song = mido.MidiFile(self.song)
        song.type = 1
        song.tracks.insert(0, mido.MidiTrack([mido.MetaMessage("track_name", name="Tempo")]))
        song.save(self.type1)

    def outcome(self, *arguments):
        """Exit status, printed texts and the file written by one run, from a clean start."""
        for leftover in (self.out, os.path.join(self.work, "Zephwork.mid")):
            if os.path.exists(leftover):
                os.remove(leftover)
        done = run(CLI, *arguments)
        written = read_bytes(self.out) if os.path.exists(self.out) else None
        return done.returncode, done.stdout, done.stderr, written

    def assert_same_on_both_sides(self, command, fixed, option, file, changes):
        """`option` first, right after FILE, and last: all runs succeed alike; when `changes`,
        the outcome without the option differs. The fixed arguments follow FILE but in the last
        run: an option that swallows arguments stops where the last ones are needed for FILE."""
        first = self.outcome(command, *option, file, *fixed)
        self.assertEqual(first[0], 0, first[2])
        self.assertEqual(self.outcome(command, file, *option, *fixed), first)
        self.assertEqual(self.outcome(command, *fixed, file, *option), first)
        if changes:
            self.assertNotEqual(self.outcome(command, file, *fixed), first)

    def test_editing_options_before_and_after_file(self):
        outputs = (("--json",), ("-o", self.out), ("-o", self.out))
        for option, contexts in EDITING_OPTIONS:
            option = [self.path(word) if word.endswith(".json") else word for word in option]
            for command, output, context in zip(("info", "working", "style"), outputs, contexts):
                with self.subTest(command=command, option=option):
                    fixed = ("--work-dir", self.work, *output,
                             *[self.path(w) if w.endswith(".json") else w for w in context])
                    self.assert_same_on_both_sides(command, fixed, option, self.song,
                                                   not isinstance(context, Unseen))

    def test_output_force_and_json_before_and_after_file(self):  # info's --json: above
        cases = [("working", ("--work-dir", self.work), self.song),
                 ("style", ("--work-dir", self.work, *READY), self.song),
                 ("merge", (), self.type1)]
        for command, fixed, file in cases:
            for output in (("-o", self.out), ("-o=" + self.out,), ("-o" + self.out,)):
                with self.subTest(command=command, output=output):
                    self.assert_same_on_both_sides(command, fixed, output, file, True)
            for arguments in (("--force", file), (file, "--force")):
                with self.subTest(command=command, arguments=arguments):
                    self.write("out.bin", "old")
                    self.assertEqual(run(CLI, command, *arguments, *fixed, "-o", self.out)
                                     .returncode, 0)
                    self.assertNotEqual(read_bytes(self.out), b"old")
        self.assert_same_on_both_sides("casm", (), ("--json",), self.style, True)
        json.loads(self.outcome("casm", "--json", self.style)[1])


if __name__ == "__main__":
    unittest.main()
