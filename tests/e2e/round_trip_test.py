#!/usr/bin/env python3
"""End-to-end round trip: a style plays a song (intro, mains with the fills into them, ending)
under a chord progression of a chord a bar; `zephrane-cli style --suggested` makes a style of
that song alone; played under a new progression, each section of the new style must play the
notes the original's section plays. Reports the share of section boundaries found on the right
measure, of measures whose chord was found, and of notes that match (pitch, channel, onset within
a 32nd note), for the demo's style and for a style of a song mido writes."""

import json
import sys
import unittest

import mido

from e2e_support import FolderTest, MEASURE, TICKS_PER_BEAT, band_song, run, take_arguments

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

    def round_trip(self, style):
        song, layout = self.render_song(style)
        plan = json.loads(self.cli("suggest", "--json", song))
        found = {s["section"]: (s["first"], s["last"]) for s in plan["sections"]}
        boundaries = [found.get(key, (None, None))[end] == measures[end]
                      for key, *measures in layout for end in (0, 1)]
        chords = {c["measure"]: c["chord"] for c in plan["chords"] if c["beat"] == 1}
        sounding, chord_found = None, []
        bar = 0
        for _, _, progression in SONG:
            for chord in progression:
                sounding = chords.get(bar, sounding)
                chord_found.append(sounding == chord)
                bar += 1
        new_style = self.path("new.sty")
        self.cli("style", "--suggested", "--auto-casm", "-o", new_style, song)
        shares = []
        for key, section, _ in SONG:
            if key not in found:
                shares.append(0.0)
                continue
            measures = found[key][1] - found[key][0] + 1
            chords = (NEW_CHORDS * measures)[:max(measures, 1)]
            original = notes(self.render(style, section, chords, "old-%s.mid" % key))
            remade = notes(self.render(new_style, section, chords, "new-%s.mid" % key))
            shares.append(matched_share(original, remade))
        report = {"boundaries": sum(boundaries) / len(boundaries),
                  "chords": sum(chord_found) / len(chord_found),
                  "notes": sum(shares) / len(shares)}
        print("\nround trip: %s" % ", ".join("%s %.0f %%" % (name, 100 * share)
                                             for name, share in report.items()), file=sys.stderr)
        return report

    def assert_goals(self, report):
        for name, share in report.items():
            self.assertGreaterEqual(share, GOAL, name)

    def test_the_demo_style(self):
        style = self.path("demo.sty")
        self.cli("style", "--all-sections", "--auto-casm", "-o", style, DEMO)
        self.assert_goals(self.round_trip(style))


if __name__ == "__main__":
    unittest.main()
