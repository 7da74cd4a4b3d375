#!/usr/bin/env python3
"""End-to-end: zephrane-play on styles made by zephrane-cli from the demo song and from songs
written here by mido. The rendered accompaniment is read back by mido, an independent MIDI
library, and the sound by the standard wave module."""

import array
import os
import subprocess
import sys
import unittest
import wave

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"
PLAY = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-play"
DEMO = sys.argv.pop(1) if len(sys.argv) > 1 else "demo/zephrane-demo.mid"

TICKS_PER_BEAT = 480
BAR = 4 * TICKS_PER_BEAT
SECTION_NAMES = ("Intro A", "Intro B", "Intro C", "Intro D", "Main A", "Main B", "Main C",
                 "Main D", "Fill In AA", "Fill In BB", "Fill In CC", "Fill In DD", "Fill In BA",
                 "Ending A", "Ending B", "Ending C", "Ending D")


def run(program, *arguments):
    return subprocess.run([program, *arguments], capture_output=True, text=True,
                          encoding="utf-8")


def write_song(path, measures, parts, ticks_per_beat=TICKS_PER_BEAT, numerator=4):
    """A type-0 song: `parts` maps a 0-based channel to (program, [(beat, note, beats)]), the
    same notes in every measure; a bass drum on beat 1 of every measure on channel 10."""
    ticks_per_measure = numerator * ticks_per_beat
    timed = [(0, 0, mido.MetaMessage("time_signature", numerator=numerator, denominator=4))]
    for channel, (program, _) in parts.items():
        timed.append((0, 0, mido.Message("program_change", channel=channel, program=program)))
    for measure in range(measures):
        start = measure * ticks_per_measure
        timed.append((start, 2, mido.Message("note_on", channel=9, note=36, velocity=100)))
        timed.append((start + ticks_per_beat // 4, 1,
                      mido.Message("note_off", channel=9, note=36)))
        for channel, (_, notes) in parts.items():
            for beat, note, beats in notes:
                on = start + int(beat * ticks_per_beat)
                off = on + int(beats * ticks_per_beat)
                timed.append((on, 2, mido.Message("note_on", channel=channel, note=note,
                                                  velocity=90)))
                timed.append((off, 1, mido.Message("note_off", channel=channel, note=note)))
    timed.sort(key=lambda entry: (entry[0], entry[1]))
    track = mido.MidiTrack()
    previous = 0
    for tick, _, message in timed:
        track.append(message.copy(time=tick - previous))
        previous = tick
    track.append(mido.MetaMessage("end_of_track", time=measures * ticks_per_measure - previous))
    mid = mido.MidiFile(type=0, ticks_per_beat=ticks_per_beat)
    mid.tracks.append(track)
    mid.save(path)
    return path


def played_notes(path):
    """[(start, end, channel, note)] of a rendered MIDI file, checking that every note-on is
    released before its key is struck again and that nothing sounds at the end."""
    mid = mido.MidiFile(path)
    assert mid.type == 0 and len(mid.tracks) == 1, "not a type-0 file"
    tick = 0
    sounding = {}
    notes = []
    end = None
    for message in mid.tracks[0]:
        tick += message.time
        if message.type == "note_on" and message.velocity > 0:
            key = (message.channel, message.note)
            assert key not in sounding, "key %s struck twice at %d" % (key, tick)
            sounding[key] = tick
        elif message.type in ("note_on", "note_off"):
            key = (message.channel, message.note)
            assert key in sounding, "key %s released unstruck at %d" % (key, tick)
            notes.append((sounding.pop(key), tick, message.channel, message.note))
        elif message.type == "end_of_track":
            end = tick
    assert not sounding, "notes hang: %s" % sounding
    return sorted(notes), end


def markers(path):
    tick = 0
    found = []
    for message in mido.MidiFile(path).tracks[0]:
        tick += message.time
        if message.type == "marker":
            found.append((tick, message.text))
    return found


def sections_of(path):
    return [message.text for message in mido.MidiFile(path).tracks[0]
            if message.type == "marker" and message.text in SECTION_NAMES]


class Play(FolderTest):
    def make_style(self, song, name, *options):
        output = self.path(name)
        done = run(CLI, "style", "--work-dir", self.fresh_work_dir(), *options, "-o", output, song)
        self.assertEqual(done.returncode, 0, done.stderr)
        return output

    def play(self, style, *options):
        done = run(PLAY, style, *options)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done

    def test_style_from_a_song_plays_note_for_note(self):
        # Guards against wrong transposition of the parts zephrane-cli's automatic CASM gives:
        # piano (Chord 1: chord table, root transposition, high key G), bass (Bass table, high
        # key D#) and drums (never transposed), under F, G and Am.
        song = write_song(self.path("song.mid"), 34, {
            0: (0, [(0, 60, 1), (1, 64, 1), (2, 67, 1)]),  # piano C4 E4 G4
            1: (33, [(0, 48, 2)]),                          # finger bass C3
        })
        style = self.make_style(song, "song.sty", "--all-sections", "--auto-casm")
        out = self.path("song-play.mid")
        self.play(style, "--chords", "F G Am", "--loops", "1", "--midi", out)
        notes, end = played_notes(out)
        self.assertEqual(end, 3 * BAR)
        self.assertEqual([text for _, text in markers(out)], ["F", "G", "Am"])
        expected = []
        for bar, (piano, bass) in enumerate([((65, 69, 72), 41),   # F: up 5 / bass down 7
                                             ((67, 71, 74), 43),   # G: up 7 / bass down 5
                                             ((57, 60, 64), 45)]):  # Am: down 3 (above G)
            start = bar * BAR
            expected.append((start, start + TICKS_PER_BEAT // 4, 9, 36))
            expected.append((start, start + 2 * TICKS_PER_BEAT, 10, bass))
            for beat, note in enumerate(piano):
                on = start + beat * TICKS_PER_BEAT
                expected.append((on, on + TICKS_PER_BEAT, 11, note))
        self.assertEqual(notes, sorted(expected))

    def test_demo_style_renders_midi_and_sound(self):
        # Guards against a rendering other readers cannot take, notes left hanging, parts on
        # the wrong channels, and a silent or malformed WAV file.
        style = self.make_style(DEMO, "demo.sty", "--all-sections", "--auto-casm")
        out = self.path("demo-play.mid")
        done = self.play(style, "--midi", out)
        self.assertIn('Playing "Main A"', done.stdout)
        notes, end = played_notes(out)
        self.assertEqual(end, 2 * 4 * BAR)  # C Am F G7 twice
        self.assertEqual(sorted({channel for _, _, channel, _ in notes}), [9, 10, 11, 12, 13, 14])
        self.assertEqual([tick for tick, _ in markers(out)], [bar * BAR for bar in range(8)])
        wav = self.path("demo.wav")
        self.play(style, "--section", "Intro A", "--chords", "D", "--loops", "1", "-o", wav)
        with wave.open(wav) as sound:
            self.assertEqual((sound.getnchannels(), sound.getsampwidth(), sound.getframerate()),
                             (2, 2, 44100))
            frames = sound.getnframes()
            self.assertGreater(frames, 44100 * 2)  # a bar at 120 BPM and the tail
            samples = array.array("h", sound.readframes(frames))
        self.assertGreater(max(abs(sample) for sample in samples), 1000)

    def test_refusals_name_the_fault(self):
        # Guards against a traceback-like failure or a zero exit on what cannot be played, and
        # against a missing audio device passing unnoticed.
        style = self.make_style(DEMO, "demo.sty", "--all-sections", "--auto-casm")
        done = run(PLAY, style, "--section", "Main Z", "--midi", self.path("x.mid"))
        self.assertEqual(done.returncode, 1)
        self.assertIn('no section "Main Z"', done.stderr)
        done = run(PLAY, style, "--chords", "C Hm", "--midi", self.path("x.mid"))
        self.assertEqual(done.returncode, 1)
        self.assertIn('The chord "Hm" cannot be read', done.stderr)
        done = run(PLAY, DEMO, "--midi", self.path("x.mid"))
        self.assertEqual(done.returncode, 1)
        self.assertIn("no section markers", done.stderr)
        done = run(PLAY, self.path("missing.sty"))
        self.assertEqual(done.returncode, 1)
        self.assertIn("Cannot read", done.stderr)
        self.assertFalse(os.path.exists(self.path("x.mid")))
        self.assertEqual(run(PLAY).returncode, 2)  # no style: a wrong command line
        done = run(PLAY, style, "--loops", "1")  # only the style: played on the audio device
        if done.returncode != 0:  # no audio device here
            self.assertEqual(done.returncode, 3, done.stderr)
            self.assertIn("Write the sound to a file with -o out.wav instead.", done.stderr)

    def test_every_style_our_program_makes_plays_every_section(self):
        # Guards against a style zephrane-cli writes that the player cannot open or render.
        # There is no corpus of real keyboard styles here: the corpus is every style made from
        # the demo song and from generated songs with the option sets below.
        songs = {
            "demo": DEMO,
            "band": write_song(self.path("band.mid"), 48, {
                0: (4, [(0, 60, 0.5), (0.5, 64, 0.5), (1, 67, 2), (3, 71, 1)]),
                1: (33, [(0, 36, 1), (2, 43, 1)]),
                2: (48, [(0, 64, 4), (0, 67, 4)]),
                3: (26, [(0, 62, 1.5), (2, 65, 1)]),
                4: (56, [(1, 72, 0.5), (3, 74, 1)]),
            }),
            "waltz": write_song(self.path("waltz.mid"), 48, {
                0: (0, [(0, 60, 1), (1, 64, 1), (2, 67, 1)]),
                1: (32, [(0, 40, 3)]),
            }, numerator=3),
            "fine": write_song(self.path("fine.mid"), 48, {
                0: (19, [(0, 59, 4)]), 1: (35, [(0, 31, 2)]),
            }, ticks_per_beat=96),
        }
        option_sets = [
            ("--all-sections", "--auto-casm"),
            ("--sections", "Intro A,Main A,Fill AA,End A", "--auto-casm"),
            ("--bb", "--auto-casm"),
            ("--bb8", "--auto-casm", "--convert", "sevenths"),
            ("--all-sections", "--auto-casm", "--no-panel", "--no-xg-on", "--convert", "plain"),
            ("--sections", "Main A,Main B", "--auto-casm", "--add-b", "--convert", "sevenths"),
        ]
        made_styles = []
        for song_name, song in songs.items():
            for number, options in enumerate(option_sets):
                style = self.path("%s%d.sty" % (song_name, number))
                made = run(CLI, "style", "--work-dir", self.fresh_work_dir(), *options, "-o", style, song)
                if made.returncode == 0 and os.path.exists(style):
                    made_styles.append(style)  # else a layout the song is too short for
            # The first style saved again with its own CASM data.
            again = self.path("%s-again.sty" % song_name)
            made = run(CLI, "style", "--work-dir", self.fresh_work_dir(), "--use-style-casm", "-o", again,
                       self.path("%s0.sty" % song_name))
            self.assertEqual(made.returncode, 0, made.stderr)
            made_styles.append(again)
        styles = len(made_styles)
        renders = 0
        for style in made_styles:
            for section in dict.fromkeys(sections_of(style)):
                out = self.path("render.mid")
                done = run(PLAY, style, "--section", section, "--chords", "C Am7 Dm7b5 G7/B",
                           "--midi", out)
                self.assertEqual(done.returncode, 0, "%s %s: %s" % (style, section, done.stderr))
                played_notes(out)
                renders += 1
        print("\nzephrane-play rendered %d sections of %d styles" % (renders, styles),
              file=sys.stderr)
        self.assertEqual(styles, 26)  # 4 songs x 6 option sets, less the demo's 2 BB layouts, + 4


if __name__ == "__main__":
    unittest.main()
