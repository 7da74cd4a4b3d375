#!/usr/bin/env python3
"""End-to-end: a refusal of `zephrane-cli` (exit 1; 2 for a wrong command line) shows its exact
message and writes nothing, no new file and no change to one already there: refusals of every
subcommand, inputs that are not songs, error reports on malformed files (the golden digests hold
the texts and statuses over the whole malformed corpus)."""

import os
import unittest

from e2e_support import FolderTest, band_song, read_bytes, run, take_arguments

CLI, INVALID_DIR = take_arguments("zephrane-cli", "tests/data/invalid")
KEPT = b"a file of the user's, kept unless a run succeeds"
USAGE = "\nRun with --help for more information.\n"
# Command lines ("_" a blank; {out} holds KEPT, {new} is none), exit status, standard error ("..."
# at its end: the start of it).
REFUSALS = [
    ("style {song} --auto-casm -o {new}", 1, "WARNING- Your style does not have a Main A section. "
     "This will cause some PSR's (e.g. 2000/9000) to act strangely.\nAt least one style section "
     "should be selected\n"),
    ("style {song} --sections Main_A --auto-casm -o {out}", 1, "This will replace existing file\n"),
    ("working {song} -o {out}", 1, "This will replace existing file\n"),
    ("merge {type1} -o {out}", 1, "This will replace existing file\n"),
    ("info {missing}", 1, "This file is Not found.\n"),
    ("casm --json {missing}", 1, "This file is Not found.\n"),
    ("working --raw --casm {rows} {song} -o {new}", 2,
     'zephrane-cli: every CASM row needs a "channel" from 1 to 16\n'),
    ("working {song} --sections Main_A --auto-casm --convert chords -o {new}", 2,
     "--convert: chords not in {plain,sevenths}" + USAGE),
    ("working --raw --sections Main_E {song} -o {new}", 2,
     'zephrane-cli: unknown section key "Main E"\n...'),
    ("info --raw --sections Main_A Main_B {song}", 2,
     "The following argument was not expected: {song}" + USAGE),
    ("info", 2, "FILE is required" + USAGE),
    ("casm", 2, "STYLE is required" + USAGE),
    ("merge -o {new}", 2, "IN is required" + USAGE),
    ("merge {type1}", 2, "-o is required" + USAGE),
    ("working --force {corrupt} -o {out}", 1, "Error #: 9, Subscript out of range, encountered in "
     "Function GetInfo. If the solution is not obvious, please report this to the author.\n"),
    ("style --force --all-sections --auto-casm {overflow} -o {out}", 1, "Error #: 6, Overflow, "
     "encountered in Function GetInfo. If the solution is not obvious, please report this to the "
     "author.\n"),
]
NOT_SONGS = [("pipe.mid", " is a device or a pipe, not a file."),
             ("folder.mid", " is a folder, not a file."),
             ("loop-a.mid", " links to itself in a loop."),
             ("huge.mid", " is larger than 256 MB: it is not a song or a style."),
             ("/dev/zero", " is a device or a pipe, not a file.")]
class Refusals(FolderTest):
    def assert_refused(self, arguments, status, stderr):
        """Runs `arguments` ("out" holds KEPT) with a working folder of its own; checks the exit
        status, the message, and that nothing was written."""
        self.write("out", KEPT)
        if arguments[0] in ("info", "working", "style"):
            arguments = arguments + ["--work-dir", self.fresh_work_dir()]
        done = run(CLI, *arguments)
        self.assertEqual((done.returncode, done.stdout), (status, ""), done.stderr)
        shown = done.stderr[:len(stderr) - 3] + "..." if stderr.endswith("...") else done.stderr
        self.assertEqual(shown, stderr)
        self.assertEqual(read_bytes(self.path("out")), KEPT)
        self.assertFalse(os.path.exists(self.path("new")))

    def test_refusals_of_every_subcommand(self):
        files = {"song": band_song(self.path("song.mid"), 12, {0: (0, [(0, 60, 1)])}),
                 "rows": self.write("rows.json", '[{"channel": 2.0}]'),
                 "missing": self.path("missing.mid"), "out": self.path("out"),
                 "new": self.path("new"), "type1": self.path("type1.mid"),
                 "corrupt": os.path.join(INVALID_DIR, "sysex-length-past-end", "f0.mid"),
                 "overflow": os.path.join(INVALID_DIR, "endless-variable-length-quantity",
                                          "delta-beyond-32-bits.mid")}
        data = read_bytes(files["song"])  # the song's track twice, as a type-1 file
        self.write("type1.mid", data[:9] + b"\x01\x00\x02" + data[12:] + data[14:])
        for line, status, stderr in REFUSALS:
            with self.subTest(line):
                arguments = [word.replace("_", " ").format(**files) for word in line.split()]
                self.assert_refused(arguments, status, stderr.replace("{song}", files["song"]))

    def test_inputs_that_are_not_songs_are_refused_by_name(self):
        os.mkfifo(self.path("pipe.mid"))  # without a writer: opened blocking, it waits for ever
        os.mkdir(self.path("folder.mid"))
        os.symlink("loop-b.mid", self.path("loop-a.mid"))
        os.symlink("loop-a.mid", self.path("loop-b.mid"))
        with open(self.path("huge.mid"), "wb") as sparse:
            sparse.truncate(300 << 20)
        for name, reason in NOT_SONGS:
            path = self.path(name)
            for arguments in (["info", "--raw", path], ["info", path], ["casm", path],
                              ["merge", path, "-o", self.path("new")]):
                with self.subTest(arguments):
                    self.assert_refused(arguments, 1, path + reason + "\n")


if __name__ == "__main__":
    unittest.main()
