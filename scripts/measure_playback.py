#!/usr/bin/python3
"""Measures how zephrane-play follows chords, one test style for each kind of CASM record, and
prints the figures as the Markdown table of docs/style-playback.md.

    scripts/measure_playback.py PLAY [--keep DIR]

PLAY is a built zephrane-play. Each style holds one "Main A" of two bars whose phrase is written
over CMaj7 the way a style's part of that kind is written (chord voicings, a bass line, melodic
lines of chord tones, strummed and picked guitar chords with their fret noises) and one record
for it: a Ctab with each table and both rules, a Ctb2 with each of its eleven tables, the guitar
rule's three tables, three note ranges, a Cntt over a Ctab and over a Ctb2, and a part whose note
mute leaves out the roots F, A, Bb and Eb. Every style is rendered with --midi under "C Am F G7"
and "Cm7 F7 Bbmaj7 Ebmaj7" (one bar each, four times) and read back with mido. Printed per kind:
the share of struck notes that are tones of the chord held; over all kinds: the share of chord
onsets of root-fixed chord parts whose top voice moves more than a tritone from the onset
before, the notes left sounding at the end, the noises sounded, and the bars of a muted root in
which the note-muted part sounds. Exits 1 when a goal is missed (95 % chord tones for every
kind, at most 2 % large moves, nothing hanging, no noise, silence under every muted root).
"""

import argparse
import os
import subprocess
import sys
import tempfile

import mido

TICKS = 480
BAR = 4 * TICKS
SECTION = 2 * BAR
PROGRESSIONS = ("C Am F G7", "Cm7 F7 Bbmaj7 Ebmaj7")
LOOPS = 4
NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
SUFFIXES = {"": (0, 4, 7), "m": (0, 3, 7), "7": (0, 4, 7, 10), "m7": (0, 3, 7, 10),
            "maj7": (0, 4, 7, 11)}
SOURCE = 11  # 0-based channel of every phrase
NOISE = 100  # a fret noise in the guitar and bass phrases
ONSET_WINDOW = TICKS // 8  # notes struck within a 32nd note of each other are one chord onset

# Phrases: (start tick, key, length), written over CMaj7.
# Chord voicings in several inversions, struck together; the last one humanised by a few ticks.
VOICINGS = [(t + d, k, 400) for t, keys in ((0, (64, 67, 71, 72)), (480, (67, 71, 76)),
                                            (960, (60, 64, 67, 71)), (1440, (64, 67, 72)),
                                            (1920, (71, 76, 79)), (2400, (67, 72, 76)),
                                            (2880, (64, 67, 71, 72)))
            for d, k in enumerate(keys)] + [(3360 + 3 * i, k, 400) for i, k in enumerate((60, 64, 67))]
# A bass line of roots, fifths and thirds, with a fret noise.
BASS = [(0, 36, 400), (480, 43, 400), (960, 40, 200), (1200, 43, 200), (1440, NOISE, 60),
        (1920, 36, 400), (2400, 48, 400), (2880, 43, 400), (3360, 40, 400)]
# A melodic line of the triad's tones.
LINE = [(i * 240, k, 200) for i, k in enumerate((60, 64, 67, 72, 67, 64, 60, 67,
                                                 72, 76, 79, 76, 72, 67, 64, 60))]
# Roots and fifths only, as a part with no table (Bypass) plays.
POWER = [(i * 480, k, 400) for i, k in enumerate((48, 55, 60, 55, 48, 55, 60, 67))]
# Guitar: the open C shape strummed down (10 ticks a string) on each beat, with a fret noise,
# then picked string by string.
STRUMS = [(beat * 480 + 10 * i, k, 300) for beat in range(4)
          for i, k in enumerate((48, 52, 55, 60, 64))] + [(1900, NOISE, 20)]
PICKED = [(1920 + i * 240, k, 200) for i, k in enumerate((48, 55, 60, 64, 67, 64, 60, 55))]
GUITAR = STRUMS + PICKED
# Three ranges: a bass line below G2 (43), chords from G2 to C5, a line above C5 (72).
SPLIT = [(t, k - 12, n) for t, k, n in BASS if k != NOISE and k < 43] + VOICINGS[:7] + \
    [(t, k + 12, n) for t, k, n in LINE[:8] if k + 12 > 72]


def range_rules(ntr, ntt, high_key=11, low=0, high=127, retrigger=3):
    return bytes([ntr, ntt, high_key, low, high, retrigger])


def head(destination, note_mute=(0x0F, 0xFF)):
    return (bytes([SOURCE]) + b"Part    " + bytes([destination, 0]) + bytes(note_mute) +
            bytes([0xFF] * 5) + bytes([0, 2]))  # source root C, source chord maj7


def ctab(ntr, ntt, destination=11, note_mute=(0x0F, 0xFF), high_key=11):
    return [(b"Ctab", head(destination, note_mute) + range_rules(ntr, ntt, high_key) + b"\0")]


def ctb2(ntr, ntt, destination=11, split=None):
    ranges = split or [(ntr, ntt)] * 3
    breaks = bytes([43, 72]) if split else bytes([0, 127])
    return [(b"Ctb2", head(destination) + breaks + b"".join(range_rules(*r) for r in ranges))]


def cntt(ntt):
    return [(b"Cntt", bytes([SOURCE, ntt]))]


CTB2_TABLES = ("Bypass", "Melody", "Chord", "Melodic Minor", "Melodic Minor 5th var.",
               "Harmonic Minor", "Harmonic Minor 5th var.", "Natural Minor",
               "Natural Minor 5th var.", "Dorian", "Dorian 5th var.")
PHRASE_OF_CTB2_TABLE = {0: POWER, 2: VOICINGS}
# (kind, records, phrase, root-fixed chord part)
KINDS = [
    ("Ctab root trans., Bypass", ctab(0, 0), POWER, False),
    ("Ctab root trans., Melody", ctab(0, 1), LINE, False),
    ("Ctab root trans., Chord", ctab(0, 2), VOICINGS, False),
    ("Ctab root trans., Bass (bass part)", ctab(0, 3, destination=10), BASS, False),
    ("Ctab root trans., Melodic Minor", ctab(0, 4), LINE, False),
    ("Ctab root trans., Harmonic Minor", ctab(0, 5), LINE, False),
    ("Ctab root fixed, Chord", ctab(1, 2), VOICINGS, True),
    ("Ctab root fixed, Melody", ctab(1, 1), LINE, False),
] + [("Ctb2 root trans., %s" % name, ctb2(0, ntt), PHRASE_OF_CTB2_TABLE.get(ntt, LINE), False)
     for ntt, name in enumerate(CTB2_TABLES)] + [
    ("Ctb2 root trans., Melody, bass on", ctb2(0, 0x81), LINE, False),
    ("Ctb2 root fixed, Chord", ctb2(1, 2), VOICINGS, True),
    ("Ctb2 guitar, All-purpose", ctb2(2, 0), GUITAR, False),
    ("Ctb2 guitar, Stroke", ctb2(2, 1), GUITAR, False),
    ("Ctb2 guitar, Arpeggio", ctb2(2, 2), GUITAR, False),
    ("Ctb2 three ranges (Bass / Chord / Melody)", ctb2(0, 0, split=[(0, 1), (0, 2), (0, 1)]),
     SPLIT, False),
    ("Ctab Melody + Cntt Natural Minor", ctab(0, 1) + cntt(7), LINE, False),
    ("Ctab Melody + Cntt Dorian 5th var., bass on", ctab(0, 1) + cntt(0x8A), LINE, False),
    ("Ctb2 three ranges + Cntt Chord", ctb2(0, 0, split=[(0, 1), (0, 3), (0, 1)]) + cntt(2),
     SPLIT, False),
]
# Note mute: the roots F (bit 5 of the second byte), A (bit 1), Bb (bit 2, first byte) and Eb
# (bit 3, second byte) are left out.
MUTED_ROOTS = {5, 9, 10, 3}
NOTE_MUTE = ("Ctab root trans., Chord, note mute F A Bb Eb",
             ctab(0, 2, note_mute=(0x09, 0xD7)), VOICINGS, False)


def chunk(tag, data):
    return tag + len(data).to_bytes(4, "big") + data


def write_style(path, records, phrase):
    events = [(0, mido.MetaMessage("marker", text="SFF1")),
              (0, mido.MetaMessage("time_signature", numerator=4, denominator=4)),
              (0, mido.Message("program_change", channel=SOURCE, program=24)),
              (BAR, mido.MetaMessage("marker", text="Main A"))]
    for start, key, length in phrase:
        events.append((BAR + start, mido.Message("note_on", channel=SOURCE, note=key, velocity=90)))
        events.append((BAR + start + length, mido.Message("note_off", channel=SOURCE, note=key)))
    events.sort(key=lambda e: (e[0], e[1].type == "note_on"))
    track, now = mido.MidiTrack(), 0
    for tick, message in events:
        track.append(message.copy(time=tick - now))
        now = tick
    track.append(mido.MetaMessage("end_of_track", time=3 * BAR - now))
    mido.MidiFile(type=0, ticks_per_beat=TICKS, tracks=[track]).save(path)
    cseg = chunk(b"Sdec", b"Main A") + b"".join(chunk(tag, data) for tag, data in records)
    with open(path, "ab") as out:
        out.write(chunk(b"CASM", chunk(b"CSEG", cseg)))


def chord_tones(name):
    """Pitch classes of a chord marker such as "Bbmaj7"."""
    root = NAMES[name[0]] + (-1 if name[1:2] == "b" else 1 if name[1:2] == "#" else 0)
    suffix = name[2:] if name[1:2] in ("b", "#") else name[1:]
    return {(root + interval) % 12 for interval in SUFFIXES[suffix]}, root % 12


def render(play, style, progression, out):
    subprocess.run([play, style, "--chords", progression, "--loops", str(LOOPS), "--midi", out,
                    "-q"], check=True)
    now, chord, events = 0, None, []
    for message in mido.MidiFile(out).tracks[0]:
        now += message.time
        if message.type == "marker":
            chord = chord_tones(message.text)
        events.append((now, chord, message))
    return events


class Figures:
    def __init__(self):
        self.struck = self.in_chord = 0
        self.onsets = self.large_moves = self.large_steps = self.hanging = self.noises = 0
        self.muted_bars = self.muted_bars_sounding = 0

    def take(self, events, phrase, muted):
        """One rendering; `phrase`: the written phrase of a root-fixed chord part, else None."""
        sounding, onsets = {}, []  # onsets: [first tick, top key] of notes struck together
        for tick, chord, message in events:
            if message.type == "note_on" and message.velocity > 0:
                self.struck += 1
                self.in_chord += message.note % 12 in chord[0]
                self.noises += message.note >= 96
                if onsets and tick - onsets[-1][0] <= ONSET_WINDOW:
                    onsets[-1][1] = max(onsets[-1][1], message.note)
                else:
                    onsets.append([tick, message.note])
                sounding[(message.channel, message.note)] = tick
            elif message.type in ("note_on", "note_off"):
                sounding.pop((message.channel, message.note), None)
        self.hanging += len(sounding)
        if phrase:
            self.take_onsets(onsets, phrase)
        if muted:
            self.take_muted(events)

    def take_onsets(self, onsets, phrase):
        """A root-fixed chord part: how far each onset's top voice lies from the written one, and
        how far its step from the onset before differs from the written step."""
        written = []
        for tick, _ in onsets:
            start = tick % SECTION
            written.append(max(k for s, k, _ in phrase if 0 <= s - start <= ONSET_WINDOW))
        for index, (_, top) in enumerate(onsets):
            self.onsets += 1
            self.large_moves += abs(top - written[index]) > 6
            if index:
                step = top - onsets[index - 1][1]
                self.large_steps += abs(step - (written[index] - written[index - 1])) > 6

    def take_muted(self, events):
        """Bars held on a muted root in which the part sounds at all."""
        end = events[-1][0]
        for bar_start in range(0, end, BAR):
            roots = [c[1] for t, c, m in events if m.type == "marker" and t == bar_start]
            if not roots or roots[0] not in MUTED_ROOTS:
                continue
            self.muted_bars += 1
            self.muted_bars_sounding += sounds_within(events, bar_start, bar_start + BAR)


def sounds_within(events, begin, end):
    """True when a note sounds at some time in [begin, end)."""
    on = {}
    for tick, _, message in events:
        if message.type == "note_on" and message.velocity > 0:
            on[(message.channel, message.note)] = tick
        elif message.type in ("note_on", "note_off") and (message.channel, message.note) in on:
            started = on.pop((message.channel, message.note))
            if started < end and tick > begin:
                return True
    return False


def percent(part, whole):
    return "%.1f %%" % (100.0 * part / whole) if whole else "-"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("play")
    parser.add_argument("--keep", help="keep the styles and renderings in this folder")
    arguments = parser.parse_args()
    folder = arguments.keep or tempfile.mkdtemp(prefix="measure-playback-")
    os.makedirs(folder, exist_ok=True)
    total = Figures()
    print("| records | \"%s\" | \"%s\" |" % PROGRESSIONS)
    print("|---|---|---|")
    lowest = 100.0
    for number, (kind, records, phrase, root_fixed) in enumerate(KINDS + [NOTE_MUTE]):
        style = os.path.join(folder, "kind%02d.sty" % number)
        write_style(style, records, phrase)
        shares = []
        for index, progression in enumerate(PROGRESSIONS):
            figures = Figures()
            events = render(arguments.play, style, progression,
                            os.path.join(folder, "kind%02d-%d.mid" % (number, index)))
            fixed_phrase = phrase if root_fixed else None
            figures.take(events, fixed_phrase, kind == NOTE_MUTE[0])
            total.take(events, fixed_phrase, kind == NOTE_MUTE[0])
            shares.append(percent(figures.in_chord, figures.struck))
            if figures.struck:
                lowest = min(lowest, 100.0 * figures.in_chord / figures.struck)
        print("| %s | %s | %s |" % (kind, shares[0], shares[1]))
    print()
    print("- lowest chord-tone share of a kind: %.1f %%" % lowest)
    print("- root-fixed chord onsets whose top voice moves more than a tritone from the written "
          "one: %d of %d (%s)" %
          (total.large_moves, total.onsets, percent(total.large_moves, total.onsets)))
    print("- root-fixed chord onsets whose top voice steps more than a tritone further (or less "
          "far) from the onset before than written: %d of %d (%s)" %
          (total.large_steps, total.onsets, percent(total.large_steps, total.onsets)))
    print("- notes left sounding at the end of a rendering: %d" % total.hanging)
    print("- fret noises (keys 96 and up) sounded: %d" % total.noises)
    print("- bars on a muted root in which the note-muted part sounds: %d of %d" %
          (total.muted_bars_sounding, total.muted_bars))
    missed = (lowest < 95.0 or (total.large_moves + total.large_steps) * 50 > total.onsets or
              total.hanging or
              total.noises or total.muted_bars_sounding or not total.muted_bars)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
