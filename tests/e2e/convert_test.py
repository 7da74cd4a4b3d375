#!/usr/bin/env python3
"""End-to-end: `zephrane-cli working --convert` on songs written by mido, read back by mido."""

import collections
import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"
MEASURE = 1920  # 4/4 at 480 ticks a quarter
SECTIONS = "Intro A,Main A,End A"  # measures 1-2, 8-10 and 20-21
PIANO, BASS, DRUMS = 0, 1, 9  # mido channels; Auto CASM makes them Chord 1, Bass and Rhythm


def write_song(path, key):
    """A 24-measure song in `key` ("D" or "Dm"), with notes held across section markers.

    The third of the key (F#4 in D, F4 in Dm) is held from the intro over its end marker and
    plays again in the ending; in Main A the piano plays D-third-A then G4, the bass D2 E2 F#2 A2;
    an E4 is held over the end of Main A, another over the start of the ending.
    """
    events = [
        (0, mido.MetaMessage("time_signature", numerator=4, denominator=4)),
        (0, mido.MetaMessage("key_signature", key=key)),
        (0, mido.Message("program_change", channel=PIANO, program=0)),
        (0, mido.Message("program_change", channel=BASS, program=33)),
    ]

    def note(channel, number, on, off):
        events.append((on, mido.Message("note_on", channel=channel, note=number, velocity=90)))
        events.append((off, mido.Message("note_off", channel=channel, note=number, velocity=0)))

    for measure in range(24):
        note(DRUMS, 36, measure * MEASURE, measure * MEASURE + 240)
    third = 65 if key.endswith("m") else 66
    note(PIANO, third, 1 * MEASURE + 480, 2 * MEASURE + 480)  # over "<Intro A"
    for number in (62, third, 69):
        note(PIANO, number, 8 * MEASURE, 8 * MEASURE + 960)
    note(PIANO, 67, 8 * MEASURE + 960, 9 * MEASURE)
    note(PIANO, 64, 9 * MEASURE + 960, 10 * MEASURE + 480)  # over "<Main A"
    note(PIANO, 64, 19 * MEASURE + 960, 20 * MEASURE + 480)  # over ">Ending A"
    note(PIANO, third, 20 * MEASURE + 960, 21 * MEASURE)
    for i, number in enumerate((38, 40, 42, 45)):
        note(BASS, number, 8 * MEASURE + 480 * i, 8 * MEASURE + 480 * i + 240)

    events.sort(key=lambda event: event[0])  # stable: a note-off stays before a note-on
    track = mido.MidiTrack()
    last = 0
    for tick, message in events:
        track.append(message.copy(time=tick - last))
        last = tick
    track.append(mido.MetaMessage("end_of_track", time=MEASURE - 240))
    song = mido.MidiFile(type=0, ticks_per_beat=480)
    song.tracks.append(track)
    song.save(path)


def absolute_events(path):
    tick = 0
    for message in mido.MidiFile(path).tracks[0]:
        tick += message.time
        yield tick, message


def is_note_on(message):
    return message.type == "note_on" and message.velocity > 0


def is_note_off(message):
    return message.type == "note_off" or (message.type == "note_on" and message.velocity == 0)


def note_ons(path, channel):
    """Tick -> sorted note numbers of the note-ons of `channel`."""
    notes = collections.defaultdict(list)
    for tick, message in absolute_events(path):
        if is_note_on(message) and message.channel == channel:
            notes[tick].append(message.note)
    return {tick: sorted(numbers) for tick, numbers in notes.items()}


def channel_events(path, channel):
    return [(tick, message.type, message.bytes()) for tick, message in absolute_events(path)
            if not message.is_meta and message.type != "sysex" and message.channel == channel]


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8")


class Convert(FolderTest):
    def setUp(self):
        super().setUp()
        self.work = self.path("work")
        self.out = self.path("out.mid")
        self.major = self.path("major.mid")
        self.minor = self.path("minor.mid")
        write_song(self.major, "D")
        write_song(self.minor, "Dm")

    def convert(self, song, item, *options):
        done = run("working", "--work-dir", self.work, "--sections", SECTIONS, "--auto-casm",
                   "--convert", item, *options, "-o", self.out, song)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")

    def assert_no_hanging_note(self):
        """Every note-off ends a sounding note of its pitch and channel, and none is left."""
        sounding = collections.Counter()
        for tick, message in absolute_events(self.out):
            key = (getattr(message, "channel", None), getattr(message, "note", None))
            if is_note_on(message):
                sounding[key] += 1
            elif is_note_off(message):
                self.assertGreater(sounding[key], 0, f"note-off without note-on at {tick}: {key}")
                sounding[key] -= 1
        self.assertEqual(+sounding, collections.Counter())

    def assert_rhythm_and_key(self, song):
        self.assertEqual(channel_events(self.out, DRUMS), channel_events(song, DRUMS))
        keys = [message.key for _, message in absolute_events(self.out)
                if message.type == "key_signature"]
        self.assertEqual(keys, ["C"])

    def test_plain_moves_to_c_and_onto_chord_and_scale_notes(self):
        self.convert(self.major, "plain")
        self.assert_no_hanging_note()
        self.assert_rhythm_and_key(self.major)
        self.assertEqual(note_ons(self.out, PIANO), {
            1 * MEASURE + 480: [64],        # F#4 in the intro: moved by the key only
            8 * MEASURE: [60, 64, 67],      # D F# A: C E G
            8 * MEASURE + 960: [64],        # G4: E4
            9 * MEASURE + 960: [60],        # E4 in Main A: C4, ending after "<Main A"
            19 * MEASURE + 960: [62],       # E4 outside the sections: D4
            20 * MEASURE + 960: [64],       # F#4 in the ending
        })
        self.assertEqual(note_ons(self.out, BASS), {
            8 * MEASURE: [36], 8 * MEASURE + 480: [38],
            8 * MEASURE + 960: [40], 8 * MEASURE + 1440: [43],
        })

    def test_sevenths_by_adding_a_b(self):
        self.convert(self.major, "sevenths", "--add-b")
        self.assert_no_hanging_note()
        self.assert_rhythm_and_key(self.major)
        piano = note_ons(self.out, PIANO)
        self.assertEqual(piano[8 * MEASURE], [60, 64, 67, 71])
        self.assertEqual(piano[9 * MEASURE + 960], [60, 71])
        self.assertEqual(piano[19 * MEASURE + 960], [62])  # outside the sections: no seventh
        self.assertEqual(note_ons(self.out, BASS)[8 * MEASURE], [36, 47])

    def test_sevenths_by_lowering_the_root(self):
        self.convert(self.major, "sevenths")
        self.assert_no_hanging_note()
        self.assert_rhythm_and_key(self.major)
        piano = note_ons(self.out, PIANO)
        self.assertEqual(piano[8 * MEASURE], [59, 64, 67])
        self.assertEqual(piano[9 * MEASURE + 960], [59])
        self.assertEqual(note_ons(self.out, BASS)[8 * MEASURE], [35])

    def test_minor_third_of_intro_and_ending_becomes_major_and_ends_on_its_pitch(self):
        self.convert(self.minor, "plain")
        self.assert_no_hanging_note()
        self.assert_rhythm_and_key(self.minor)
        piano = note_ons(self.out, PIANO)
        self.assertEqual(piano[1 * MEASURE + 480], [64])  # F4 held over "<Intro A"
        self.assertEqual(piano[8 * MEASURE], [60, 64, 67])  # D F A: C E G
        self.assertEqual(piano[20 * MEASURE + 960], [64])

    def test_refusals_end_the_run_and_write_nothing(self):
        done = run("working", "--work-dir", self.work, "--sections", SECTIONS, "--auto-casm",
                   "--convert", "chords", "-o", self.out, self.major)
        self.assertEqual(done.returncode, 2)

        done = run("working", "--work-dir", self.work, "--auto-casm", "--convert", "plain",
                   "-o", self.out, self.major)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr, "At least one style section should be selected\n")

        done = run("working", "--work-dir", self.work, "--sections", SECTIONS,
                   "--convert", "plain", "-o", self.out, self.major)
        self.assertEqual(done.returncode, 1)
        self.assertTrue(done.stderr.startswith("You must first select parts (bass, chord1, etc)"))
        self.assertFalse(os.path.exists(self.out))


if __name__ == "__main__":
    unittest.main(verbosity=1)
