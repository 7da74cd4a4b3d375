#!/usr/bin/env python3
"""End-to-end: sections marked on any measures with `--mark` and `--plan`, sharing measures; the
style read back by mido and midicsv and by `zephrane-cli casm --json`: the sections in the usual
order, each on its bar line, lasting its measures and holding exactly its measures' notes."""

import json
import os
import unittest

import mido

from e2e_support import FolderTest, MEASURE, absolute, band_song, markers, midicsv, note, \
    notes_between, run, sections, take_arguments

CLI = take_arguments("zephrane-cli")
PARTS = {0: (0, [(0, 60, 2)]), 1: (33, [(0, 40, 2)])}
USAGE = "zephrane-cli: "


class Marks(FolderTest):
    def setUp(self):
        super().setUp()
        self.song = band_song(self.path("song.mid"), 20, PARTS)

    def cli(self, command, *options):
        out = self.path("out." + ("sty" if command == "style" else "mid"))
        return run(CLI, command, "--work-dir", self.fresh_work_dir(), "--force", *options, "-o",
                   out, self.song), out

    def test_shared_measures_make_a_style_of_the_marked_sections(self):
        # Intro A overlaps Main A, the Fill is Main A's last measure, End A lies apart.
        plan = {"measures": 20, "chords": [], "sections": [
            {"section": "Intro A", "first": 8, "last": 10, "chord": "C", "confidence": 0.5,
             "reason": "before the first groove"},
            {"section": "End A", "first": 18, "last": 19, "chord": "Gm7"}]}
        self.write("plan.json", json.dumps(plan))
        done, style = self.cli("style", "--auto-casm", "--plan", self.path("plan.json"),
                               "--mark", "Fill AA=16", "--mark", "Main A=9-16")
        self.assert_run(done)
        layout = {"Intro A": (8, 10), "Main A": (9, 16), "Ending A": (18, 19),
                  "Fill In AA": (16, 16)}
        found = sections(style)
        self.assertEqual([name for name, *_ in found], list(layout))
        for name, start, end in found:
            first, last = layout[name]
            self.assertEqual((start % MEASURE, end - start), (0, (last + 1 - first) * MEASURE),
                             name)
            self.assertEqual(notes_between(style, start, end),
                             notes_between(self.song, first * MEASURE, (last + 1) * MEASURE),
                             name)
        self.assertEqual([text for _, text in markers(style) if text[:1] in "<>"], [])
        self.assertIn("Marker_t, \"Fill In AA\"", midicsv(style))
        # Each section's chord is its source chord, one CSEG a chord: the plan's C and Gm7, and
        # the C the song plays under Main A and the Fill (C and E heard); the drums keep theirs.
        casm = json.loads(run(CLI, "casm", "--json", style).stdout)
        csegs = [(cseg["sections"], [(r["name"].strip(), r["sourceRoot"], r["sourceChord"])
                                     for r in cseg["records"] if r["tag"] == "Ctab"])
                 for chunk in casm["chunks"] for cseg in chunk.get("csegs", [])]
        self.assertEqual(csegs, [
            ("Intro A,Main A,Fill In AA", [("Chord 1", 0, 0), ("Bass", 0, 0), ("Rhythm", 0, 2)]),
            ("Ending A", [("Chord 1", 7, 10), ("Bass", 7, 10), ("Rhythm", 0, 2)])])

    def test_working_file_holds_the_markers_on_their_bar_lines(self):
        done, working = self.cli("working", "--sections", "Main A", "--mark", "Main A=3-4")
        self.assert_run(done)
        self.assertEqual([(tick // MEASURE, text) for tick, text in markers(working)
                          if text[:1] in "<>"], [(3, ">Main A"), (5, "<Main A")])

    def test_suggested_sections_start_on_the_first_measure_of_a_song_that_plays_at_once(self):
        # One groove from the first bar line: the suggestion is Main A on measures 0 to 7, the
        # first measure's set-up events stay before the section in the style's set-up measure.
        song = band_song(self.path("groove.mid"), 8,
                         {1: (32, [(0, 36, 1), (1.5, 43, 0.5), (2, 36, 1)]),
                          2: (0, [(0, 60, 2), (2, 64, 2)])})
        style = self.path("groove.sty")
        done = run(CLI, "style", "--work-dir", self.fresh_work_dir(), "--suggested",
                   "--auto-casm", "-o", style, song)
        self.assert_run(done)
        (name, start, end), = sections(style)
        self.assertEqual((name, start, end), ("Main A", MEASURE, 9 * MEASURE))
        self.assertEqual(notes_between(style, start, end), notes_between(song, 0, 8 * MEASURE))
        set_up = [m.type for tick, m in absolute(style) if tick < start]
        self.assertIn("program_change", set_up)
        self.assertNotIn("note_on", set_up)
        self.assertIn("Marker_t, \"Main A\"", midicsv(style))

    def test_refusals_and_usage_errors_write_nothing(self):
        self.write("no-sections.json", '{"measures": 20}')
        self.write("bad-measure.json", '{"sections": [{"section": "Main A", "first": -1, '
                                       '"last": 2}]}')
        self.write("bad-chord.json", '{"sections": [{"section": "Main A", "first": 1, '
                                     '"last": 2, "chord": 7}]}')
        cases = [
            (("--mark", "Main A=20-21"), 1, "Main A: measures 20 to 21 run past the song's end; "
             "the last measure a section can take is 19.\n"),
            (("--mark", "Main A 1-2"), 2,
             USAGE + "--mark \"Main A 1-2\": expected SECTION=FIRST-LAST, as \"Main A=9-16\"\n"),
            (("--mark", "Main A=2-x"), 2, USAGE + "--mark \"Main A=2-x\": the measures must be "
             "FIRST-LAST or one MEASURE, whole numbers from 0\n"),
            (("--mark", "Main Z=2"), 2,
             USAGE + "unknown section \"Main Z\" in --mark \"Main Z=2\"\n"),
            (("--plan", self.path("no-sections.json")), 2,
             USAGE + self.path("no-sections.json") + " has no \"sections\" list\n"),
            (("--plan", self.path("bad-measure.json")), 2, USAGE + self.path("bad-measure.json") +
             ": \"first\" must be a measure number, a whole number from 0\n"),
            (("--plan", self.path("bad-chord.json")), 2, USAGE + self.path("bad-chord.json") +
             ": \"chord\" must be a chord name, as \"Gm7\"\n"),
        ]
        for options, status, message in cases:
            with self.subTest(options=options):
                done, style = self.cli("style", *options)
                self.assert_run(done, status, message)
                self.assertFalse(os.path.exists(style))



# Dm7 | G7 | C | Am on a piano in measures 1 to 4, a bass drum on every measure from 0 to 5.
PLAYED = [[], [50, 53, 57, 60], [55, 59, 62, 65], [48, 52, 55], [45, 48, 52], []]
# The same measures over C maj7, each chord moved to C as the piano's high key G has it (down
# from D and G) and its tones onto C maj7's: thirds to E, fifths to G, sevenths to B.
OVER_C_MAJ7 = [48, 52, 55, 59, 48, 52, 55, 59, 48, 52, 55, 48, 52, 55]


class ChordChanges(FolderTest):
    def test_a_section_over_several_chords_is_written_over_one(self):
        timed = [(0, mido.MetaMessage("time_signature", numerator=4, denominator=4)),
                 (0, mido.Message("program_change", channel=0, program=0))]
        for measure, chord in enumerate(PLAYED):
            start = measure * MEASURE
            timed += note(9, 36, start, start + MEASURE // 4, velocity=100)
            for number in chord:
                timed += note(0, number, start, start + MEASURE)
        track, now = mido.MidiTrack(), 0
        for tick, message in sorted(timed, key=lambda e: (e[0], e[1].type == "note_on")):
            track.append(message.copy(time=tick - now))
            now = tick
        track.append(mido.MetaMessage("end_of_track", time=0))
        song = self.path("song.mid")
        mido.MidiFile(type=0, ticks_per_beat=MEASURE // 4, tracks=[track]).save(song)
        working = self.path("out.mid")
        done = run(CLI, "working", "--work-dir", self.fresh_work_dir(), "--auto-casm",
                   "--mark", "Main A=1-4", "-o", working, song)
        self.assert_run(done, 0, "Main A changes chord at measures 2 (G7), 3 (C), 4 (Am). Its "
                                 "measures were converted onto one chord, Cmaj7.\n")
        piano = [(m.type, m.note) for _, m in absolute(working)
                 if m.type in ("note_on", "note_off") and m.channel == 0]
        self.assertEqual([number for kind, number in piano if kind == "note_on"], OVER_C_MAJ7)
        self.assertEqual([number for kind, number in piano if kind == "note_off"], OVER_C_MAJ7)

if __name__ == "__main__":
    unittest.main()
