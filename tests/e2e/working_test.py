#!/usr/bin/env python3
"""End-to-end: `zephrane-cli working --raw` edits read back by independent readers (mido, midicsv)."""

import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"
DEMO = sys.argv.pop(1) if len(sys.argv) > 1 else "demo/zephrane-demo.mid"
TICKS_PER_MEASURE = 1920

SECTION_MEASURES = {  # marker name: (start, end) in the standard layout
    "Intro A": (1, 2), "Intro B": (3, 5), "Intro C": (6, 7), "Main A": (8, 10),
    "Main B": (11, 13), "Main C": (14, 16), "Main D": (17, 19), "Ending A": (20, 21),
    "Ending B": (22, 23), "Ending C": (24, 25), "Fill In AA": (26, 27), "Fill In BB": (28, 29),
    "Fill In CC": (30, 31), "Fill In DD": (32, 33),
}


def absolute_events(path):
    """(tick, message) for every event of the single track."""
    tick = 0
    events = []
    for message in mido.MidiFile(path).tracks[0]:
        tick += message.time
        events.append((tick, message))
    return events


def musical_events(path):
    """Every event but markers and the track name, with its absolute tick."""
    return [(tick, message.copy(time=0)) for tick, message in absolute_events(path)
            if not (message.is_meta and message.type in ("marker", "track_name", "copyright"))]


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8")


class Working(FolderTest):
    def setUp(self):
        super().setUp()
        self.out = self.path("out.mid")

    def test_all_sections_are_marked_on_their_measures_and_the_music_is_untouched(self):
        done = run("working", "--raw", "--all-sections", "--style-name", "Demo Swing",
                   "--copyright", "(c) 2026 Ann", "-o", self.out, DEMO)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")

        markers = {message.text: tick for tick, message in absolute_events(self.out)
                   if message.is_meta and message.type == "marker"}
        self.assertEqual(markers.pop("SFF1"), 0)
        self.assertEqual(markers.pop("SInt"), 0)
        expected = {}
        for name, (start, end) in SECTION_MEASURES.items():
            expected[">" + name] = start * TICKS_PER_MEASURE
            expected["<" + name] = end * TICKS_PER_MEASURE
        self.assertEqual(markers, expected)
        self.assertEqual(musical_events(self.out), musical_events(DEMO))

        metas = {message.type: message for _, message in absolute_events(self.out)
                 if message.is_meta}
        # The name event keeps its 13 characters: the new name is padded with blanks.
        self.assertEqual(metas["track_name"].name, "Demo Swing   ")
        self.assertEqual(metas["copyright"].text, "(c) 2026 Ann")

        csv = subprocess.run(["midicsv", self.out], capture_output=True, text=True)
        self.assertEqual(csv.returncode, 0, csv.stderr)
        self.assertIn('Marker_t, ">Main A"', csv.stdout)

    def test_existing_output_is_replaced_only_when_forced(self):
        with open(self.out, "wb") as existing:
            existing.write(b"keep me")
        done = run("working", "--raw", "-o", self.out, DEMO)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr, "This will replace existing file\n")
        with open(self.out, "rb") as kept:
            self.assertEqual(kept.read(), b"keep me")

        done = run("working", "--raw", "--force", "-o", self.out, DEMO)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(musical_events(self.out), musical_events(DEMO))

    def test_refused_section_saves_nothing(self):
        short = self.path("short.mid")
        mid = mido.MidiFile(type=0)
        track = mido.MidiTrack([mido.MetaMessage("time_signature", numerator=4, denominator=4)])
        for measure in range(5):
            track.append(mido.Message("note_on", channel=9, note=36, velocity=90,
                                      time=0 if measure == 0 else 1920))
        track.append(mido.MetaMessage("end_of_track", time=1920))
        mid.tracks.append(track)
        mid.ticks_per_beat = 480
        mid.save(short)
        done = run("working", "--raw", "--sections", "Intro A,Main A", "-o", self.out, short)
        self.assertEqual(done.returncode, 1)
        self.assertTrue(done.stderr.startswith(
            "To add this part requires a midi of at least 11 measures."))
        self.assertFalse(os.path.exists(self.out))

    def test_unknown_section_key_is_a_usage_error(self):
        done = run("working", "--raw", "--sections", "Main E", "-o", self.out, DEMO)
        self.assertEqual(done.returncode, 2)
        self.assertFalse(os.path.exists(self.out))


if __name__ == "__main__":
    unittest.main(verbosity=1)
