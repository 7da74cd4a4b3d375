#!/usr/bin/env python3
"""End-to-end: inputs that are not songs (a pipe, a folder, a loop of links, a device, a huge
file) refused by name by `zephrane-cli info`, `merge` and `casm` without waiting or reading, and a
song whose track follows a chunk of another type, written by mido, read as the plain song."""

import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"

# A pipe without a writer would make a blocking open wait for ever: the runs may not.
SECONDS_ALLOWED = 60


def run_cli(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8",
                          timeout=SECONDS_ALLOWED)


class NotASong(FolderTest):
    def make_inputs(self):
        """(path, message after the path) for each kind of input that is not a song."""
        pipe = self.path("pipe.mid")
        os.mkfifo(pipe)
        folder = self.path("folder.mid")
        os.mkdir(folder)
        os.symlink("loop-b.mid", self.path("loop-a.mid"))
        os.symlink("loop-a.mid", self.path("loop-b.mid"))
        huge = self.path("huge.mid")
        with open(huge, "wb") as sparse:
            sparse.truncate(300 << 20)
        return [(pipe, " is a device or a pipe, not a file."),
                (folder, " is a folder, not a file."),
                (self.path("loop-a.mid"), " links to itself in a loop."),
                (huge, " is larger than 256 MB: it is not a song or a style."),
                ("/dev/zero", " is a device or a pipe, not a file.")]

    def test_info_merge_and_casm_refuse_each_by_name(self):
        out = self.path("merged.mid")
        for path, reason in self.make_inputs():
            commands = {"info": ["info", "--raw", path],
                        "info prepared": ["info", "--work-dir", self.fresh_work_dir(), path],
                        "merge": ["merge", path, "-o", out],
                        "casm": ["casm", path]}
            for name, arguments in commands.items():
                with self.subTest(input=path, command=name):
                    done = run_cli(*arguments)
                    self.assertEqual(done.returncode, 1, done.stderr)
                    self.assertEqual(done.stderr, path + reason + "\n")
                    self.assertEqual(done.stdout, "")
            self.assertFalse(os.path.exists(out))


class ChunkBeforeTrack(FolderTest):
    def test_song_with_a_chunk_before_its_track_shows_as_the_plain_song(self):
        mid = mido.MidiFile(type=0, ticks_per_beat=480)
        mid.tracks.append(mido.MidiTrack([
            mido.MetaMessage("track_name", name="Junk Waltz"),
            mido.MetaMessage("time_signature", numerator=3, denominator=4),
            mido.Message("program_change", channel=3, program=24),
            mido.Message("note_on", channel=3, note=64, velocity=80),
            mido.Message("note_on", channel=3, note=64, velocity=0, time=1440 * 4),
        ]))
        plain = self.path("plain.mid")
        mid.save(plain)
        with open(plain, "rb") as source:
            data = source.read()
        junk = b"XFIH" + (5).to_bytes(4, "big") + b"junk!"
        with_junk = self.path("with-junk.mid")
        with open(with_junk, "wb") as target:
            target.write(data[:14] + junk + data[14:])

        expected = run_cli("info", "--raw", "--json", plain)
        done = run_cli("info", "--raw", "--json", with_junk)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        self.assertEqual(done.stdout.replace("with-junk.mid", "plain.mid"), expected.stdout)
        self.assertIn("Junk Waltz", done.stdout)


if __name__ == "__main__":
    unittest.main()
