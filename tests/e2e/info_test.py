#!/usr/bin/env python3
"""End-to-end: the chords that `zephrane-cli info --json` finds, one entry where the chord
changes, in the demo song and in a song that mido writes over a progression."""

import json
import unittest

import mido

from e2e_support import FolderTest, MEASURE, TICKS_PER_BEAT, note, run, take_arguments

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

    def test_a_progression_written_by_mido_is_found_by_measure_and_half_measure(self):
        # (measure, beat, keys, beats) on channel 1 over a drum click on channel 10.
        progression = [(0, 0, (43, 62, 65, 71), 4),                         # G7
                       (1, 0, (48, 64, 67, 72), 2), (1, 2, (45, 64, 69, 72), 2),  # C, Am
                       (2, 0, (38, 65, 69, 72), 4),                         # Dm7
                       (3, 0, (40, 67, 72), 4)]                             # C/E
        timed = []
        for measure, beat, keys, beats in progression:
            start = measure * MEASURE + beat * TICKS_PER_BEAT
            timed += note(9, 36, start, start + 60)
            for key in keys:
                timed += note(0, key, start, start + beats * TICKS_PER_BEAT)
        track, now = mido.MidiTrack(), 0
        for tick, message in sorted(timed, key=lambda e: (e[0], e[1].type == "note_on")):
            track.append(message.copy(time=tick - now))
            now = tick
        song = self.path("progression.mid")
        mido.MidiFile(type=0, ticks_per_beat=TICKS_PER_BEAT, tracks=[track]).save(song)
        self.assertEqual(self.chords(song), [
            change(0, 1, "G7"), change(1, 1, "C"), change(1, 3, "Am"), change(2, 1, "Dm7"),
            change(3, 1, "C/E")])


if __name__ == "__main__":
    unittest.main(verbosity=1)
