#!/usr/bin/env python3
"""End-to-end: `zephrane-cli style` runs side by side. Every command writes the working file and
loads it again, so two runs in one working folder must never load each other's song: each style
must be byte for byte the one its song makes alone. A held working folder is waited for, then
refused by name."""

import fcntl
import itertools
import os
import subprocess
import threading
import unittest

from e2e_support import FolderTest, band_song, read_bytes, take_arguments

CLI = take_arguments("zephrane-cli")
LOCK_FILE = "Zephwork.lock"


class SharedWorkDir(FolderTest):
    made = itertools.count()

    def song(self, seed):
        """A song whose notes and programs depend on `seed`."""
        return band_song(self.path("song%d.mid" % seed), 40, {
            0: (seed % 100, [(beat, 40 + (seed * 7 + beat * 3) % 40, 0.25) for beat in (1, 2, 3)]),
            1: (32 + seed % 8, [(beat, 30 + (seed + beat) % 20, 0.25) for beat in range(4)])})

    def styles(self, songs, work_dir=None, env=None):
        """The styles `songs` make side by side, with `work_dir` the options naming the working
        folder; without it one after the other, each alone in a folder of its own. Each run
        must succeed without a word."""
        runs, outputs = [], []
        for song in songs:
            outputs.append(self.path("style%d.sty" % next(self.made)))
            folder = ["--work-dir", self.fresh_work_dir()] if work_dir is None else work_dir
            runs.append(subprocess.Popen(
                [CLI, "style", *folder, "--sections", "Main A,Main B", "--auto-casm", "-o",
                 outputs[-1], song], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE))
            if work_dir is None:
                runs[-1].wait()
        for started in runs:
            self.assertEqual((started.communicate()[1], started.returncode), (b"", 0))
        return [read_bytes(output) for output in outputs]

    def test_runs_side_by_side_each_make_the_style_of_their_own_song(self):
        # In one working folder, and in the default one, private to the run: nothing of it stays
        # in the temporary folder nor in the per-user folder the desktop program uses.
        temporary, user_data = self.fresh_work_dir(), self.fresh_work_dir()
        env = dict(os.environ, TMPDIR=temporary, XDG_DATA_HOME=user_data)
        for work_dir, rounds in ((["--work-dir", self.fresh_work_dir()], 30), ([], 10)):
            for number in range(rounds):
                songs = [self.song(len(work_dir) * 100 + 2 * number + side) for side in (0, 1)]
                alone = self.styles(songs)
                self.assertNotEqual(alone[0], alone[1])
                self.assertEqual(self.styles(songs, work_dir, env), alone, number)
        self.assertEqual(os.listdir(temporary) + os.listdir(user_data), [])

    def test_a_held_work_dir_is_waited_for_then_refused_by_name(self):
        work, song = self.fresh_work_dir(), self.song(7)
        alone = self.styles([song])
        lock = open(os.path.join(work, LOCK_FILE), "w")
        fcntl.flock(lock, fcntl.LOCK_EX)
        release = threading.Timer(1.0, lock.close)
        release.start()
        self.assertEqual(self.styles([song], ["--work-dir", work]), alone)
        release.join()
        work = self.fresh_work_dir()
        with open(os.path.join(work, LOCK_FILE), "w") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            done = subprocess.run([CLI, "style", "--work-dir", work, "--all-sections", "-o",
                                   self.path("refused.sty"), song], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stderr), (1, (
            "The working folder %s is in use by another run of Zephrane. Wait until it ends or "
            "choose another working folder.\n" % work)))
        self.assertFalse(os.path.exists(self.path("refused.sty")))
        self.assertEqual(sorted(os.listdir(work)), [LOCK_FILE])


if __name__ == "__main__":
    unittest.main()
