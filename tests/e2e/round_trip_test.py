#!/usr/bin/env python3
"""End-to-end round trip: a style plays a song (intro, mains with the fills into them, ending)
under a chord progression of a chord a bar; `zephrane-cli style --suggested` makes a style of
that song alone; played under a new progression, each section of the new style must play the
notes the original's section plays. Reports the share of section boundaries found on the right
measure, of measures whose chord was found, and of notes that match (pitch, channel, onset within
a 32nd note), for the demo's style and for a style of a song mido writes."""

import json
import os
import sys
import unittest

import mido

from e2e_support import STANDARD, FolderTest, MEASURE, TICKS_PER_BEAT, note, run, \
    take_arguments

CLI, PLAY, DEMO = take_arguments("zephrane-cli", "zephrane-play", "demo/zephrane-demo.mid")
GOAL = 0.9
THIRTY_SECOND = TICKS_PER_BEAT // 8

# The song: each section as the suggestion names it, the style's section it plays, its chords.
SONG = [
    ("Intro A", "Intro A", ["C"]),
    ("Main A", "Main A", ["Dm7", "G7", "Cmaj7", "Am7"]),
    ("Fill BB", "Fill In BB", ["G7"]),
    ("Main B", "Main B", ["F", "G", "Em", "Am"]),
    ("Fill CC", "Fill In CC", ["D7"]),
    ("Main C", "Main C", ["G", "Em7", "Am7", "D7"]),
    ("Fill DD", "Fill In DD", ["G7"]),
    ("Main D", "Main D", ["C", "F", "G7", "C"]),
    ("End A", "Ending A", ["C"]),
]
# The progression both styles play afterwards: other roots, other chord types.
NEW_CHORDS = ["F", "Bb7", "Gm7", "C7"]


def timed_events(path):
    tick, events = 0, []
    for message in mido.MidiFile(path).tracks[0]:
        tick += message.time
        events.append((tick, message))
    return events


def notes(path):
    """(onset, channel, pitch) of every note struck."""
    return sorted((tick, m.channel, m.note) for tick, m in timed_events(path)
                  if m.type == "note_on" and m.velocity > 0)


def matched_share(expected, played):
    """The share of notes of both lists paired with a note of the same pitch and channel whose
    onset lies within a 32nd note; each note pairs once."""
    left = list(played)
    pairs = 0
    for onset, channel, pitch in expected:
        for i, (other, other_channel, other_pitch) in enumerate(left):
            if (other_channel, other_pitch) == (channel, pitch) and \
                    abs(other - onset) <= THIRTY_SECOND:
                del left[i]
                pairs += 1
                break
    total = max(len(expected), len(played))
    return 1.0 if total == 0 else pairs / total


def layout_song(path):
    """A song on the standard layout whose sections each play a groove of their own over C maj7:
    drums, a bass riff and piano chords with their own rhythms, fills busier than their mains."""
    timed = [(0, mido.MetaMessage("time_signature", numerator=4, denominator=4))] + \
        [(0, mido.Message("program_change", channel=c, program=p)) for c, p in ((0, 0), (1, 33))]
    sixteenth = TICKS_PER_BEAT // 4
    for number, (section, (first, end)) in enumerate(STANDARD.items()):
        kick = {0, 8} | {(3 * number) % 16, (5 * number + 2) % 16}
        snare = {4, 12} | (set(range(8, 16)) if section.startswith("Fill") else set())
        hat = set(range(0, 16, 1 + number % 3))
        riff = [(0, 36), ((number % 4) * 2 + 4, 43), (10 + number % 3, 40), (14, 47)]
        piano = sorted({0, (number * 3) % 16, 8 + number % 8})
        for measure in range(first, end):
            start = measure * MEASURE
            for steps, key in ((kick, 36), (snare, 38), (hat, 42)):
                for step in steps:
                    timed += note(9, key, start + step * sixteenth,
                                  start + step * sixteenth + sixteenth // 2)
            for step, key in riff:
                timed += note(1, key, start + step * sixteenth,
                              start + (step + 2) * sixteenth)
            for step in piano:
                for key in (60, 64, 67, 71):
                    timed += note(0, key, start + step * sixteenth,
                                  start + (step + 3) * sixteenth)
    track, now = mido.MidiTrack(), 0
    for tick, message in sorted(timed, key=lambda e: (e[0], e[1].type == "note_on")):
        track.append(message.copy(time=tick - now))
        now = tick
    track.append(mido.MetaMessage("end_of_track", time=34 * MEASURE - now))
    mido.MidiFile(type=0, ticks_per_beat=TICKS_PER_BEAT, tracks=[track]).save(path)
    return path


class RoundTrip(FolderTest):
    def cli(self, *arguments):
        done = run(CLI, arguments[0], "--work-dir", self.fresh_work_dir(), *arguments[1:])
        self.assert_run(done)
        return done.stdout

    def render(self, style, section, chords, name):
        out = self.path(name)
        done = run(PLAY, "--quiet", "--section", section, "--chords", " ".join(chords),
                   "--loops", "1", "--midi", out, style)
        self.assert_run(done)
        return out

    def render_song(self, style):
        """The song as one type-0 file: the first section's set-up, then every section's notes
        and controllers one after the other on its bar lines."""
        track, now, start = mido.MidiTrack(), 0, 0
        layout = []
        for index, (key, section, chords) in enumerate(SONG):
            part = self.render(style, section, chords, "part%d.mid" % index)
            for tick, message in timed_events(part):
                if message.is_meta and (index > 0 or message.type == "end_of_track"):
                    continue
                if index > 0 and message.type in ("program_change", "control_change") and \
                        tick == 0:
                    continue
                track.append(message.copy(time=start + tick - now))
                now = start + tick
            measures = len(chords)
            layout.append((key, start // MEASURE, start // MEASURE + measures - 1))
            start += measures * MEASURE
        track.append(mido.MetaMessage("end_of_track", time=start - now))
        song = self.path("song.mid")
        mido.MidiFile(type=0, ticks_per_beat=TICKS_PER_BEAT, tracks=[track]).save(song)
        return song, layout

    def remake(self, song):
        """The style `style --suggested` makes of the song alone."""
        new_style = self.path("new.sty")
        done = run(CLI, "style", "--work-dir", self.fresh_work_dir(), "--suggested",
                   "--auto-casm", "-o", new_style, song)
        self.assertEqual(done.returncode, 0, done.stderr)
        # The mains change chord every measure: each is converted onto one chord, and said so.
        self.assertIn("Its measures were converted onto one chord, Cmaj7.", done.stderr)
        return new_style

    def notes_matched(self, style, new_style, found):
        """Per section of the song, the share of its notes the new style plays as the original
        does under NEW_CHORDS, a chord a bar for as many bars as the new section lasts."""
        shares = []
        for key, section, _ in SONG:
            if key not in found:
                shares.append(0.0)
                continue
            measures = found[key][1] - found[key][0] + 1
            chords = (NEW_CHORDS * measures)[:measures]
            original = notes(self.render(style, section, chords, "old-%s.mid" % key))
            remade = notes(self.render(new_style, section, chords, "new-%s.mid" % key))
            shares.append(matched_share(original, remade))
        return shares

    def round_trip(self, style):
        song, layout = self.render_song(style)
        plan = json.loads(self.cli("suggest", "--json", song))
        found = {s["section"]: (s["first"], s["last"]) for s in plan["sections"]}
        boundaries = [found.get(key, (None, None))[end] == measures[end]
                      for key, *measures in layout for end in (0, 1)]
        played = [chord for _, _, progression in SONG for chord in progression]
        changes = {c["measure"]: c["chord"] for c in plan["chords"] if c["beat"] == 1}
        heard = [changes.get(0)]
        for bar in range(1, len(played)):
            heard.append(changes.get(bar, heard[-1]))
        matched = self.notes_matched(style, self.remake(song), found)
        report = {"boundaries": sum(boundaries) / len(boundaries),
                  "chords": sum(h == p for h, p in zip(heard, played)) / len(played),
                  "notes": sum(matched) / len(matched)}
        shares = ", ".join("%s %.0f %%" % (name, 100 * share) for name, share in report.items())
        print("\nround trip of %s: %s" % (os.path.basename(style), shares), file=sys.stderr)
        return report

    def assert_goals(self, report):
        for name, share in report.items():
            self.assertGreaterEqual(share, GOAL, name)

    def test_the_demo_style(self):
        style = self.path("demo.sty")
        self.cli("style", "--all-sections", "--auto-casm", "-o", style, DEMO)
        self.assert_goals(self.round_trip(style))

    def test_a_style_of_a_song_mido_writes(self):
        style = self.path("layout.sty")
        self.cli("style", "--all-sections", "--auto-casm", "-o", style,
                 layout_song(self.path("layout.mid")))
        self.assert_goals(self.round_trip(style))


if __name__ == "__main__":
    unittest.main()
