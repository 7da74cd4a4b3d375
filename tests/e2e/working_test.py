#!/usr/bin/env python3
"""End-to-end: the working MIDI files `zephrane-cli working` writes, read back by mido, midicsv and
a strict walk of their bytes (a status byte after every meta and SysEx event): the demo song's
section markers and text edits, and songs written by mido with notes held over section markers,
converted plain and with sevenths."""

import os
import unittest

import mido

from e2e_support import FolderTest, MEASURE, STANDARD, absolute, midicsv, note, note_spans, \
    read_bytes, run, running_status_uses, save_song, take_arguments

CLI, DEMO = take_arguments("zephrane-cli", "demo/zephrane-demo.mid")
PIANO, BASS, DRUMS = 0, 1, 9  # Auto CASM makes them Chord 1, Bass and Rhythm


def musical_events(path):
    """Every event but markers, the track name and the copyright, with its absolute tick."""
    return [(tick, m.copy(time=0)) for tick, m in absolute(path)
            if m.type not in ("marker", "track_name", "copyright")]


def held_over_markers(path, key):
    """A 24-measure song in `key` ("D" or "Dm"). The third of the key (F#4 in D, F4 in Dm) is held
    from the intro over its end marker and plays again in the ending; in Main A the piano plays
    D-third-A then G4, the bass D2 E2 F#2 A2; an E4 is held over the end of Main A, another over
    the start of the ending."""
    third = 65 if key.endswith("m") else 66
    timed = [(0, mido.MetaMessage("time_signature", numerator=4, denominator=4)),
             (0, mido.MetaMessage("key_signature", key=key)),
             (0, mido.Message("program_change", channel=PIANO, program=0)),
             (0, mido.Message("program_change", channel=BASS, program=33))]
    for measure in range(24):
        timed += note(DRUMS, 36, measure * MEASURE, measure * MEASURE + 240)
    for number, on, off in ((third, 1.25, 2.25), (62, 8, 8.5), (third, 8, 8.5), (69, 8, 8.5),
                            (67, 8.5, 9), (64, 9.5, 10.25), (64, 19.5, 20.25),
                            (third, 20.5, 21)):  # in measures
        timed += note(PIANO, number, int(on * MEASURE), int(off * MEASURE))
    for i, number in enumerate((38, 40, 42, 45)):
        timed += note(BASS, number, 8 * MEASURE + 480 * i, 8 * MEASURE + 480 * i + 240)
    return save_song(path, timed, 24 * MEASURE)


class Working(FolderTest):
    def working(self, song, *options):
        """The file written, which midicsv reads and which holds a status byte after every meta
        and SysEx event."""
        work = self.fresh_work_dir()
        out = os.path.join(work, "out.mid")
        self.assert_run(run(CLI, "working", "--work-dir", work, *options, "-o", out, song))
        running_status_uses(read_bytes(out))
        midicsv(out)
        return out

    def test_all_sections_are_marked_on_their_measures_and_the_music_is_untouched(self):
        out = self.working(DEMO, "--raw", "--all-sections", "--style-name", "Demo Swing",
                           "--copyright", "(c) 2026 Ann")
        found = {m.text: tick for tick, m in absolute(out) if m.type == "marker"}
        expected = {"SFF1": 0, "SInt": 0}
        for name, (start, end) in STANDARD.items():
            expected.update({">" + name: start * MEASURE, "<" + name: end * MEASURE})
        self.assertEqual(found, expected)
        self.assertEqual(musical_events(out), musical_events(DEMO))
        metas = {m.type: m for _, m in absolute(out) if m.is_meta}
        # The name event keeps its 13 characters: the new name is padded with blanks.
        self.assertEqual((metas["track_name"].name, metas["copyright"].text),
                         ("Demo Swing   ", "(c) 2026 Ann"))
        self.assertIn('Marker_t, ">Main A"', midicsv(out))
        # The demo song itself: one track of 34 measures, using running status, no hanging note.
        self.assertIn("0, 0, Header, 0, 1, 480\n", midicsv(DEMO))
        self.assertTrue(any(running_status_uses(read_bytes(DEMO))))
        self.assertEqual(max(start for start, *_ in note_spans(DEMO)) // MEASURE, 33)

    def convert(self, key, *options):
        """Intro A, Main A and End A (measures 1-2, 8-10, 20-21) converted: the piano's and the
        bass's notes (start tick: notes); the drums and the key signature are checked here."""
        song = held_over_markers(self.path("song.mid"), key)
        out = self.working(song, "--sections", "Intro A,Main A,End A", "--auto-casm", "--convert",
                           *options)
        spans = note_spans(out)

        def drums(path):
            return [(t, m.bytes()) for t, m in absolute(path) if getattr(m, "channel", 0) == DRUMS]
        self.assertEqual(drums(out), drums(song))
        self.assertEqual([m.key for _, m in absolute(out) if m.type == "key_signature"], ["C"])
        return [{start: sorted(n for s, _, c, n in spans if s == start and c == channel)
                 for start, _, c, _ in spans if c == channel} for channel in (PIANO, BASS)]

    def test_convert_moves_to_c_onto_chord_and_scale_notes_and_makes_sevenths(self):
        m = MEASURE
        cases = [  # key, options, piano and bass notes by start tick
            ("D", ("plain",), {m + 480: [64],            # F#4 in the intro: moved by the key only
                               8 * m: [60, 64, 67],      # D F# A: C E G
                               8 * m + 960: [64],        # G4: E4
                               9 * m + 960: [60],        # E4 in Main A: C4, ending after "<Main A"
                               19 * m + 960: [62],       # E4 outside the sections: D4
                               20 * m + 960: [64]},      # F#4 in the ending
             {8 * m: [36], 8 * m + 480: [38], 8 * m + 960: [40], 8 * m + 1440: [43]}),
            ("D", ("sevenths", "--add-b"), {8 * m: [60, 64, 67, 71], 9 * m + 960: [60, 71],
                                            19 * m + 960: [62]}, {8 * m: [36, 47]}),
            ("D", ("sevenths",), {8 * m: [59, 64, 67], 9 * m + 960: [59], 19 * m + 960: [62]},
             {8 * m: [35]}),
            # The minor third held over "<Intro A" and in the ending becomes major; D F A: C E G.
            ("Dm", ("plain",), {m + 480: [64], 8 * m: [60, 64, 67], 20 * m + 960: [64]}, {})]
        for key, options, piano, bass in cases:
            with self.subTest(key=key, options=options):
                found = self.convert(key, *options)
                self.assertEqual([{tick: notes.get(tick) for tick in expected}
                                  for notes, expected in zip(found, (piano, bass))], [piano, bass])


if __name__ == "__main__":
    unittest.main(verbosity=1)
