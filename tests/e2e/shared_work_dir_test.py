#!/usr/bin/env python3
"""End-to-end: `zephrane-cli style` runs side by side. Every command writes the working file and
loads it again, so two runs in one working folder must never load each other's song: each style
must be byte for byte the one its song makes alone."""

import fcntl
import os
import subprocess
import sys
import threading
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"

ROUNDS = 30
TICKS_PER_MEASURE = 1920
LOCK_FILE = "Zephwork.lock"


def write_song(path, seed, measures=40):
    """A type-0 song whose notes and programs depend on `seed`, with a click on channel 10 in
    every measure for the section markers."""
    track = mido.MidiTrack()
    track.append(mido.MetaMessage("time_signature", numerator=4, denominator=4))
    track.append(mido.Message("program_change", channel=0, program=seed % 100))
    track.append(mido.Message("program_change", channel=1, program=32 + seed % 8))
    for measure in range(measures):
        for beat in range(4):
            note = 40 + (seed * 7 + measure * 3 + beat) % 40
            track.append(mido.Message("note_on", channel=9 if beat == 0 else 0,
                                      note=36 if beat == 0 else note, velocity=64 + seed % 60))
            track.append(mido.Message("note_on", channel=1, note=30 + (seed + beat) % 20,
                                      velocity=90))
            track.append(mido.Message("note_off", channel=1, note=30 + (seed + beat) % 20,
                                      time=TICKS_PER_MEASURE // 8))
            track.append(mido.Message("note_off", channel=9 if beat == 0 else 0,
                                      note=36 if beat == 0 else note,
                                      time=TICKS_PER_MEASURE // 8))
    track.append(mido.MetaMessage("end_of_track"))
    song = mido.MidiFile(type=0, ticks_per_beat=TICKS_PER_MEASURE // 4)
    song.tracks.append(track)
    song.save(path)
    return path


def style_command(song, output, *work_dir):
    return [CLI, "style", *work_dir, "--sections", "Main A,Main B", "--auto-casm", "-o", output,
            song]


def read(path):
    with open(path, "rb") as file:
        return file.read()


class SharedWorkDir(FolderTest):
    def make_alone(self, song, name):
        """The style `song` makes in a working folder of its own."""
        output = self.path(name)
        done = subprocess.run(style_command(song, output, "--work-dir", self.fresh_work_dir()),
                              capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        return read(output)

    def run_side_by_side(self, songs, outputs, work_dir_options, env=None):
        runs = [subprocess.Popen(style_command(song, output, *work_dir_options), env=env,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
                for song, output in zip(songs, outputs)]
        for run in runs:
            _, errors = run.communicate()
            self.assertEqual((run.returncode, errors), (0, ""))

    def test_runs_sharing_a_work_dir_each_make_the_style_of_their_own_song(self):
        work = self.fresh_work_dir()
        for round_number in range(ROUNDS):
            songs = [write_song(self.path("song%d-%d.mid" % (round_number, side)),
                                2 * round_number + side) for side in (0, 1)]
            alone = [self.make_alone(song, "alone%d-%d.sty" % (round_number, side))
                     for side, song in enumerate(songs)]
            self.assertNotEqual(alone[0], alone[1])
            outputs = [self.path("side%d-%d.sty" % (round_number, side)) for side in (0, 1)]
            self.run_side_by_side(songs, outputs, ["--work-dir", work])
            for side in (0, 1):
                self.assertEqual(read(outputs[side]), alone[side],
                                 "round %d: the style of song %d is not its own" %
                                 (round_number, side))

    def test_runs_without_a_work_dir_each_work_in_a_fresh_folder_removed_at_the_end(self):
        # The default folder is private to the run: nothing of it stays in the temporary folder
        # nor in the per-user folder the desktop program uses.
        temporary = self.fresh_work_dir()
        user_data = self.fresh_work_dir()
        env = dict(os.environ, TMPDIR=temporary, XDG_DATA_HOME=user_data)
        for round_number in range(ROUNDS // 3):
            songs = [write_song(self.path("song%d-%d.mid" % (round_number, side)),
                                100 + 2 * round_number + side) for side in (0, 1)]
            alone = [self.make_alone(song, "alone%d-%d.sty" % (round_number, side))
                     for side, song in enumerate(songs)]
            outputs = [self.path("side%d-%d.sty" % (round_number, side)) for side in (0, 1)]
            self.run_side_by_side(songs, outputs, [], env=env)
            self.assertEqual([read(output) for output in outputs], alone)
        self.assertEqual(os.listdir(temporary), [])
        self.assertEqual(os.listdir(user_data), [])

    def hold_work_dir(self, work):
        lock = open(os.path.join(work, LOCK_FILE), "w")
        fcntl.flock(lock, fcntl.LOCK_EX)
        return lock

    def test_a_run_waits_while_another_holds_the_work_dir(self):
        work = self.fresh_work_dir()
        song = write_song(self.path("song.mid"), 7)
        alone = self.make_alone(song, "alone.sty")
        lock = self.hold_work_dir(work)
        release = threading.Timer(1.0, lock.close)
        release.start()
        output = self.path("waited.sty")
        done = subprocess.run(style_command(song, output, "--work-dir", work),
                              capture_output=True, text=True)
        release.join()
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        self.assertEqual(read(output), alone)

    def test_a_run_refuses_a_work_dir_held_too_long_and_names_it(self):
        work = self.fresh_work_dir()
        song = write_song(self.path("song.mid"), 7)
        with self.hold_work_dir(work):
            output = self.path("refused.sty")
            done = subprocess.run(style_command(song, output, "--work-dir", work),
                                  capture_output=True, text=True)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr,
                         "The working folder %s is in use by another run of Zephrane. Wait until "
                         "it ends or choose another working folder.\n" % work)
        self.assertFalse(os.path.exists(output))
        self.assertEqual(sorted(os.listdir(work)), [LOCK_FILE])


if __name__ == "__main__":
    unittest.main()
