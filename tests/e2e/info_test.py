#!/usr/bin/env python3
"""End-to-end: the chords that `zephrane-cli info --json` finds in the demo song, one entry where
the chord changes."""

import json
import unittest

from e2e_support import FolderTest, run, take_arguments

CLI, DEMO = take_arguments("zephrane-cli", "demo/zephrane-demo.mid")


def change(measure, beat, chord):
    return {"measure": measure, "beat": beat, "chord": chord}


class Chords(FolderTest):
    def chords(self, song):
        done = run(CLI, "info", "--json", "--work-dir", self.fresh_work_dir(), song)
        self.assert_run(done)
        info = json.loads(done.stdout)
        self.assertEqual(list(info)[-1], "chords")
        return info["chords"]

    def test_the_demo_song_plays_c_major_7_and_its_endings_come_to_rest_on_c(self):
        # Measure 0 holds the count-in alone; the free measures only keep time. The endings
        # strike their final chord on beat 3 (measures 20 and 24) or on beat 4 (22, within the
        # half that still holds the major seventh).
        self.assertEqual(self.chords(DEMO), [
            change(0, 1, "N.C."), change(1, 1, "Cmaj7"), change(20, 3, "C"),
            change(22, 1, "Cmaj7"), change(24, 3, "C"), change(26, 1, "Cmaj7")])


if __name__ == "__main__":
    unittest.main(verbosity=1)
