#!/usr/bin/env python3
"""End-to-end: zephrane-play on styles zephrane-cli makes from the demo song and from songs written
by mido; the accompaniment read back by mido, the sound by the wave module."""

import array
import os
import unittest
import wave

from e2e_support import FolderTest, MEASURE, STANDARD, TICKS_PER_BEAT, band_song, markers, \
    note_spans, run, take_arguments

CLI, PLAY, DEMO = take_arguments("zephrane-cli", "zephrane-play", "demo/zephrane-demo.mid")
SECTION_NAMES = set(STANDARD) | {"Intro D", "Fill In BA", "Ending D"}
ALL = ("--all-sections", "--auto-casm")


class Play(FolderTest):
    def make_style(self, song, name, *options):
        done = run(CLI, "style", "--work-dir", self.fresh_work_dir(), *options, "-o",
                   self.path(name), song)
        return self.path(name) if done.returncode == 0 else None

    def play(self, style, *options):
        done = run(PLAY, style, *options)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done

    def test_style_from_a_song_plays_note_for_note(self):
        # The parts the automatic CASM gives: piano (Chord 1: chord table, root transposition,
        # high key G), bass (Bass table, high key D#), drums (never transposed); F, G and Am.
        song = band_song(self.path("song.mid"), 34, {0: (0, [(0, 60, 1), (1, 64, 1), (2, 67, 1)]),
                                                     1: (33, [(0, 48, 2)])})
        out = self.path("song-play.mid")
        self.play(self.make_style(song, "song.sty", *ALL), "--chords", "F G Am", "--loops", "1",
                  "--midi", out)
        self.assertEqual(markers(out), [(0, "F"), (MEASURE, "G"), (2 * MEASURE, "Am")])
        expected = []
        for bar, (piano, bass) in enumerate([((65, 69, 72), 41),   # F: up 5 / bass down 7
                                             ((67, 71, 74), 43),   # G: up 7 / bass down 5
                                             ((57, 60, 64), 45)]):  # Am: down 3 (above G)
            start = bar * MEASURE
            expected += [(start, start + TICKS_PER_BEAT // 4, 9, 36),
                         (start, start + 2 * TICKS_PER_BEAT, 10, bass)]
            expected += [(start + beat * TICKS_PER_BEAT, start + (beat + 1) * TICKS_PER_BEAT, 11,
                          number) for beat, number in enumerate(piano)]
        self.assertEqual(note_spans(out), sorted(expected))

    def test_demo_style_renders_midi_and_sound_and_refusals_name_the_fault(self):
        style = self.make_style(DEMO, "demo.sty", *ALL)
        out = self.path("demo-play.mid")
        self.assertIn('Playing "Main A"', self.play(style, "--midi", out).stdout)
        spans = note_spans(out)  # C Am F G7 twice
        self.assertEqual(sorted({channel for *_, channel, _ in spans}), [9, 10, 11, 12, 13, 14])
        self.assertEqual([tick for tick, _ in markers(out)], [bar * MEASURE for bar in range(8)])
        self.play(style, "--section", "Intro A", "--chords", "D", "--loops", "1", "-o",
                  self.path("demo.wav"))
        with wave.open(self.path("demo.wav")) as sound:  # a bar at 120 BPM and the tail
            self.assertEqual(sound.getparams()[:3], (2, 2, 44100))
            self.assertGreater(sound.getnframes(), 44100 * 2)
            loudest = max(map(abs, array.array("h", sound.readframes(sound.getnframes()))))
        self.assertGreater(loudest, 1000)
        for arguments, message in [((style, "--section", "Main Z"), 'no section "Main Z"'),
                                   ((style, "--chords", "C Hm"), 'The chord "Hm" cannot be read'),
                                   ((DEMO,), "no section markers"),
                                   ((self.path("missing.sty"),), "Cannot read"),
                                   ((), "")]:  # no style: a wrong command line
            done = run(PLAY, *arguments, "--midi", self.path("x.mid"))
            self.assertEqual(done.returncode, 1 if arguments else 2)
            self.assertIn(message, done.stderr)
        self.assertFalse(os.path.exists(self.path("x.mid")))
        done = run(PLAY, style, "--loops", "1")  # played on the audio device, if there is one
        self.assertIn((done.returncode, "Write the sound to a file with -o out.wav instead."
                       in done.stderr), [(0, False), (3, True)], done.stderr)

    def test_every_style_our_program_makes_plays_every_section(self):
        # There is no corpus of keyboard makers' styles here: the corpus is every style made
        # from the demo song and from generated songs with the option sets below.
        songs = {"demo": DEMO,
                 "band": band_song(self.path("band.mid"), 48, {
                     0: (4, [(0, 60, 0.5), (0.5, 64, 0.5), (1, 67, 2), (3, 71, 1)]),
                     1: (33, [(0, 36, 1), (2, 43, 1)]), 2: (48, [(0, 64, 4), (0, 67, 4)]),
                     3: (26, [(0, 62, 1.5), (2, 65, 1)]), 4: (56, [(1, 72, 0.5), (3, 74, 1)])}),
                 "waltz": band_song(self.path("waltz.mid"), 48, {
                     0: (0, [(0, 60, 1), (1, 64, 1), (2, 67, 1)]), 1: (32, [(0, 40, 3)])},
                                    numerator=3),
                 "fine": band_song(self.path("fine.mid"), 48, {
                     0: (19, [(0, 59, 4)]), 1: (35, [(0, 31, 2)])}, ticks_per_beat=96)}
        option_sets = [ALL, ("--sections", "Intro A,Main A,Fill AA,End A", "--auto-casm"),
                       ("--bb", "--auto-casm"), ("--bb8", "--auto-casm", "--convert", "sevenths"),
                       ALL + ("--no-panel", "--no-xg-on", "--convert", "plain"),
                       ("--sections", "Main A,Main B", "--auto-casm", "--add-b", "--convert",
                        "sevenths")]
        styles = []
        for name, song in songs.items():
            made = [self.make_style(song, "%s%d.sty" % (name, number), *options)
                    for number, options in enumerate(option_sets)]
            # None: a layout the song is too short for. The first saved again with its own CASM.
            styles += [style for style in made if style]
            styles.append(self.make_style(made[0], name + "-again.sty", "--use-style-casm"))
        # 4 songs with 6 option sets, but the demo's 2 BB layouts, and the 4 saved again.
        self.assertEqual(len(styles), 26)
        self.assertNotIn(None, styles)
        for style in styles:
            for section in dict.fromkeys(t for _, t in markers(style) if t in SECTION_NAMES):
                done = run(PLAY, style, "--section", section, "--chords", "C Am7 Dm7b5 G7/B",
                           "--midi", self.path("render.mid"))
                self.assertEqual(done.returncode, 0, "%s %s: %s" % (style, section, done.stderr))
                note_spans(self.path("render.mid"))


if __name__ == "__main__":
    unittest.main()
