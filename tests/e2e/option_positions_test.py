#!/usr/bin/env python3
"""End-to-end: every option of every `zephrane-cli` subcommand takes exactly its one value, and
works the same whether it stands before FILE or after it. Songs are written by mido."""

import json
import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"
TICKS_PER_BEAT = 480
TICKS_PER_MEASURE = 4 * TICKS_PER_BEAT
MEASURES = 48  # "Style from BB" needs 44


def write_song(path, tracks=1):
    """A type-0 song in 4/4 with a second tempo inside Main A (measures 9 and 10). Every measure
    has a bass drum on channel 10, an E2 on channel 2 and a C4 on channel 1: converted with 7th
    chords, the C takes a B. With tracks=2 it is a type-1 song whose second track holds it all."""
    timed = [(0, mido.MetaMessage("time_signature", numerator=4, denominator=4)),
             (0, mido.MetaMessage("set_tempo", tempo=500000)),
             (9 * TICKS_PER_MEASURE, mido.MetaMessage("set_tempo", tempo=400000)),
             (0, mido.Message("program_change", channel=0, program=0)),
             (0, mido.Message("program_change", channel=1, program=33))]
    for measure in range(MEASURES):
        tick = measure * TICKS_PER_MEASURE
        for channel, note in ((9, 36), (0, 60), (1, 40)):
            timed.append((tick, mido.Message("note_on", channel=channel, note=note, velocity=90)))
            timed.append((tick + TICKS_PER_BEAT, mido.Message("note_off", channel=channel,
                                                              note=note)))
    timed.sort(key=lambda entry: entry[0])  # stable: the metas stay first
    song = mido.MidiFile(type=0 if tracks == 1 else 1, ticks_per_beat=TICKS_PER_BEAT)
    if tracks == 2:
        song.tracks.append(mido.MidiTrack([mido.MetaMessage("track_name", name="Tempo")]))
    track = mido.MidiTrack()
    previous = 0
    for tick, message in timed:
        track.append(message.copy(time=tick - previous))
        previous = tick
    track.append(mido.MetaMessage("end_of_track", time=MEASURES * TICKS_PER_MEASURE - previous))
    song.tracks.append(track)
    song.save(path)
    return path


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8")


def read_bytes(path):
    with open(path, "rb") as source:
        return source.read()


# What `style` needs to save at all: a section and parts in the CASM.
STYLE_READY = ("--sections", "Main A", "--auto-casm")
CONVERTIBLE = ("--sections", "Main A", "--auto-casm", "--convert", "sevenths")


class Unseen(tuple):
    """The other options a subcommand needs to run with an option of which it keeps no trace."""


# Each editing option with a value that changes something, the file it is tried on ("song", or
# "style": a style with its own CASM), and for each subcommand the other options the change
# needs to show, or Unseen where that subcommand keeps no trace of it: the working MIDI file holds
# no CASM and no effects, `info` does not show where the CASM comes from, and a style is made
# from the song prepared afresh, opened with --raw or not. The CASM grid is blank after opening
# but through "Style from BB", so only then has "Clear CASM" something to clear.
EDITING_OPTIONS = [
    (("--raw",), "song", {"info": (), "working": (), "style": Unseen(STYLE_READY)}),
    (("--no-panel",), "song", {"info": (), "working": (), "style": STYLE_READY}),
    (("--no-xg-on",), "song", {"info": (), "working": (), "style": STYLE_READY}),
    (("--multiple-tempos",), "song", {"info": (), "working": (), "style": STYLE_READY}),
    (("--add-b",), "song", {"info": CONVERTIBLE, "working": CONVERTIBLE,
                            "style": CONVERTIBLE}),
    (("--bb",), "song", {"info": (), "working": (), "style": ("--auto-casm",)}),
    (("--bb8",), "song", {"info": (), "working": (), "style": ("--auto-casm",)}),
    (("--style-name", "Night Train"), "song", {"info": (), "working": (), "style": STYLE_READY}),
    (("--copyright", "(c) Ann"), "song", {"info": (), "working": (), "style": STYLE_READY}),
    (("--sections", "Main A,Main B"), "song", {"info": (), "working": (),
                                               "style": ("--auto-casm",)}),
    (("--sections=Main A,Main B",), "song", {"info": (), "working": (),
                                             "style": ("--auto-casm",)}),
    (("--all-sections",), "song", {"info": (), "working": (), "style": ("--auto-casm",)}),
    (("--clear-casm",), "song", {"info": ("--bb",), "working": Unseen(),
                                 "style": ("--bb", "--casm", "casm.json")}),
    (("--auto-casm",), "song", {"info": (), "working": Unseen(),
                                "style": ("--sections", "Main A")}),
    (("--casm", "casm.json"), "song", {"info": (), "working": Unseen(),
                                       "style": ("--sections", "Main A")}),
    (("--use-style-casm",), "style", {"info": Unseen(), "working": Unseen(),
                                      "style": ("--clear-casm",)}),
    (("--effects", "effects.json"), "song", {"info": (), "working": Unseen(),
                                             "style": STYLE_READY}),
    (("--convert", "plain"), "song", {"info": STYLE_READY, "working": STYLE_READY,
                                      "style": STYLE_READY}),
]


class OptionPositions(FolderTest):
    def setUp(self):
        super().setUp()
        self.work = self.fresh_work_dir()
        self.working_file = os.path.join(self.work, "Zephwork.mid")
        self.out = self.path("out.bin")
        self.song = write_song(self.path("song.mid"))
        with open(self.path("casm.json"), "w", encoding="utf-8") as rows:
            json.dump([{"channel": 2, "part": "Bass", "key": "D"}], rows)
        with open(self.path("effects.json"), "w", encoding="utf-8") as effects:
            json.dump({"reverb": 3, "pan": "40"}, effects)
        self.style = self.path("own-casm.sty")
        made = run("style", "--work-dir", self.work, "--all-sections", "--auto-casm", "-o",
                   self.style, self.song)
        self.assertEqual(made.returncode, 0, made.stderr)
        self.files = {"song": self.song, "style": self.style}

    def argument(self, text):
        """The edit files are named relative to the test's folder."""
        return self.path(text) if text.endswith(".json") else text

    def outcome(self, subcommand, *arguments):
        """Exit status, printed texts and the file written by one run, from a clean start."""
        for leftover in (self.out, self.working_file):
            if os.path.exists(leftover):
                os.remove(leftover)
        done = run(subcommand, *arguments)
        written = read_bytes(self.out) if os.path.exists(self.out) else None
        return done.returncode, done.stdout, done.stderr, written

    def assert_same_on_both_sides(self, subcommand, fixed, option, file, differs_from=None):
        """`option` first, before FILE; right after FILE; and last: all runs succeed alike.
        With `differs_from` (the arguments without the option) the option must also have
        changed the outcome. Arguments follow FILE in every run: a list option that swallows
        arguments stops only where the last ones are needed for FILE."""
        first = self.outcome(subcommand, *option, file, *fixed)
        self.assertEqual(first[0], 0, first[2])
        self.assertEqual(self.outcome(subcommand, file, *option, *fixed), first)
        self.assertEqual(self.outcome(subcommand, *fixed, file, *option), first)
        if differs_from is not None:
            self.assertNotEqual(self.outcome(subcommand, file, *differs_from), first)

    def test_editing_options_before_and_after_file(self):
        output_of = {"info": ("--json",), "working": ("-o", self.out), "style": ("-o", self.out)}
        for option, file_name, contexts in EDITING_OPTIONS:
            option = tuple(map(self.argument, option))
            for subcommand, context in contexts.items():
                with self.subTest(subcommand=subcommand, option=option):
                    fixed = ("--work-dir", self.work, *output_of[subcommand],
                             *map(self.argument, context))
                    self.assert_same_on_both_sides(subcommand, fixed, option,
                                                   self.files[file_name],
                                                   None if isinstance(context, Unseen) else fixed)

    def test_values_reach_info_from_both_sides(self):
        # Guards against a value option swallowing FILE, or FILE swallowed into the value.
        cases = [
            (("--style-name", "Night Train"), "styleName", "Night Train"),
            (("--copyright", "(c) Ann"), "copyright", "(c) Ann"),
            (("--sections", "Main A,Main B"), "sections", ["Main A", "Main B"]),
            (("--sections", "Main A", "--sections", "End A"), "sections", ["Main A", "End A"]),
            (("--sections=Main A",), "sections", ["Main A"]),
        ]
        for option, field, expected in cases:
            for arguments in ((*option, self.song, "--json"), (self.song, *option, "--json")):
                with self.subTest(arguments=arguments):
                    done = run("info", "--raw", *arguments)
                    self.assertEqual(done.returncode, 0, done.stderr)
                    self.assertEqual(json.loads(done.stdout)[field], expected)

    def test_a_second_word_after_a_value_is_taken_for_file(self):
        done = run("info", "--raw", "--sections", "Main A", "Main B", self.song)
        self.assertEqual(done.returncode, 2)
        self.assertEqual(done.stderr, "The following argument was not expected: %s\n"
                         "Run with --help for more information.\n" % self.song)

    def test_work_dir_before_and_after_file(self):
        for arguments in (("--work-dir", self.work, self.song, "--json"),
                          (self.song, "--work-dir", self.work, "--json")):
            with self.subTest(arguments=arguments):
                if os.path.exists(self.working_file):
                    os.remove(self.working_file)
                done = run("info", *arguments)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assertTrue(os.path.exists(self.working_file))

    def test_output_options_before_and_after_file(self):
        type1 = write_song(self.path("type1.mid"), tracks=2)
        cases = [
            ("working", ("--work-dir", self.work), self.song),
            ("style", ("--work-dir", self.work, *STYLE_READY), self.song),
            ("merge", (), type1),
        ]
        for subcommand, fixed, file in cases:
            for output in (("-o", self.out), ("-o=" + self.out,), ("-o" + self.out,)):
                with self.subTest(subcommand=subcommand, output=output):
                    self.assert_same_on_both_sides(subcommand, fixed, output, file,
                                                   differs_from=fixed)
                    self.assertIsNotNone(self.outcome(subcommand, *fixed, *output, file)[3])

    def test_force_before_and_after_file(self):
        type1 = write_song(self.path("type1.mid"), tracks=2)
        cases = [
            ("working", ("--work-dir", self.work, "-o", self.out), self.song),
            ("style", ("--work-dir", self.work, *STYLE_READY, "-o", self.out), self.song),
            ("merge", ("-o", self.out), type1),
        ]
        for subcommand, fixed, file in cases:
            for arguments in (("--force", file, *fixed), (file, "--force", *fixed)):
                with self.subTest(subcommand=subcommand, arguments=arguments):
                    with open(self.out, "wb") as existing:
                        existing.write(b"old")
                    done = run(subcommand, *arguments)
                    self.assertEqual(done.returncode, 0, done.stderr)
                    self.assertNotEqual(read_bytes(self.out), b"old")

    def test_json_before_and_after_file(self):
        for subcommand, fixed, file in (("info", ("--raw",), self.song), ("casm", (), self.style)):
            with self.subTest(subcommand=subcommand):
                self.assert_same_on_both_sides(subcommand, fixed, ("--json",), file,
                                               differs_from=fixed)
                json.loads(self.outcome(subcommand, *fixed, "--json", file)[1])


if __name__ == "__main__":
    unittest.main()
