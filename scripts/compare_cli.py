#!/usr/bin/python3
"""Runs zephrane-cli over a fixed table of songs, styles and options and shows whether every exit
status, every message and every output file is byte for byte what another build gives (compare
mode) or what a recorded digest file holds (record and check modes).

    scripts/compare_cli.py BASE [--candidate CLI] [--keep DIR]
    scripts/compare_cli.py CLI --record DIGESTS [--all] [--keep DIR]
    scripts/compare_cli.py CLI --check DIGESTS [--keep DIR]

BASE (and CLI) is a commit (or branch, tag) whose zephrane-cli is built in build/compare/<commit>,
or the path of a zephrane-cli already built; the candidate is the working tree's
build/release/cli/zephrane-cli unless --candidate names another. The inputs are the demo song,
songs written here with mido (time signatures, tempos, drums, SysEx, short and long songs, a song
of facts for `info`, songs converted with notes held over section markers), the malformed files
of tests/data/invalid (running status after meta and SysEx events among them), a style whose CASM
holds every kind of record, styles that the base build makes from the songs, type-1 files and
files `merge` refuses, and --casm and --effects files whose numbers are refused or at the ends of
their ranges. Each run happens in a folder of its own side (base, candidate) with the same
relative names, so that messages naming files compare as well. Prints one line for each
difference and a summary; exits 1 when anything differs.

--record runs one CLI and writes, for each run, its exit status and the sha256 of its standard
output, standard error and output file into DIGESTS, with the sha256 of every input; --check runs
a CLI over the same table and prints each run whose exit status, texts or file differ from
DIGESTS (exit 1). Both take the golden subset of the table (every option set on a few songs and
on the styles made from them, five runs on every malformed file, every merge and edit file, the
options after FILE) unless --all records the whole table; the file says which. Nothing in a run
depends on the machine, the time or the folder it runs in, so tests/data/golden/cli-digests.json,
recorded from the CLI of commit 04ad3d0, proves the output unchanged since then (ctest
cli_golden_digests). When an output changes on purpose, check the new output first (compare mode
against the previous commit shows every run that differs), then record again and commit the file
with the change, naming the runs that differ:

    scripts/compare_cli.py build/dev/cli/zephrane-cli --record tests/data/golden/cli-digests.json
"""

import argparse
import collections
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile

import mido

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TICKS = 480

# Option sets of `info`, `working` and `style` for a song (the output file, when there is one,
# is added by the run).
SONG_RUNS = [
    ("info", ["--json"]),
    ("info", ["--json", "--raw"]),
    ("info", ["--json", "--auto-casm", "--all-sections"]),
    ("info", ["--json", "--no-panel", "--no-xg-on", "--multiple-tempos", "--add-b"]),
    ("info", ["--json", "--raw", "--sections", "Main A", "--sections", "End A"]),
    ("working", []),
    ("working", ["--raw"]),
    ("working", ["--raw", "--sections", "Main A"]),
    ("working", ["--sections", "Intro A,Main A,Fill AA,End A", "--style-name", "Cmp"]),
    ("working", ["--all-sections", "--auto-casm", "--convert", "plain"]),
    ("style", ["--all-sections", "--auto-casm"]),
    ("style", ["--sections", "Main A"]),
    ("style", ["--sections", "Main A,Main B,Fill AA,Fill BB", "--auto-casm"]),
    ("style", ["--all-sections", "--auto-casm", "--style-name", "Compared", "--copyright",
               "(c) 2026", "--no-panel", "--no-xg-on", "--multiple-tempos", "--add-b"]),
    ("style", ["--all-sections", "--casm", "rows.json", "--effects", "effects.json"]),
    ("style", ["--all-sections", "--auto-casm", "--casm", "refused-limit.json"]),
    ("style", ["--all-sections", "--auto-casm", "--convert", "plain"]),
    ("style", ["--all-sections", "--auto-casm", "--convert", "sevenths", "--add-b"]),
    ("style", ["--all-sections", "--auto-casm", "--clear-casm"]),
    ("style", ["--bb"]),
    ("style", ["--bb8", "--style-name", "Eight"]),
    ("style", ["--raw", "--sections", "Main A", "--auto-casm"]),
    ("casm", ["--json"]),
    ("working", ["--auto-casm", "--convert", "plain"]),
    ("working", ["--sections", "Main A", "--convert", "sevenths"]),
]

# Runs over a style the base build made.
STYLE_RUNS = [
    ("casm", ["--json"]),
    ("casm", []),
    ("info", ["--json"]),
    ("info", ["--json", "--raw"]),
    ("working", []),
    ("style", ["--use-style-casm"]),
    ("style", ["--use-style-casm", "--sections", "Main B", "--auto-casm"]),
    ("style", ["--auto-casm", "--effects", "effects.json"]),
]

CASM_ROWS = [
    {"channel": 1, "part": "Chord 1", "key": "D", "chord": "min", "lowLimit": "C3",
     "highLimit": "G8", "chordMute": [3, 255, 255, 255, 255]},
    {"channel": 2, "part": "Bass"},
    {"channel": 10, "part": "Rhythm"},
]

# Edit files whose numbers are refused, as JSON texts: the numbers must reach the reader exactly
# as written. 4294967297 is 2**32 + 1 and 4294967299 is 2**32 + 3: cut down to 32 bits they
# become 1 and 3; 18446744073709551617 is too large for any 64-bit whole number.
REFUSED_EDIT_FILES = [("--casm", "[%s]" % row) for row in (
    '{"channel": 0}', '{"channel": 17}', '{"channel": -1}', '{"channel": 1.5}',
    '{"channel": 2.0}', '{"channel": "3"}', '{"channel": null}', '{"part": "Bass"}',
    '{"channel": 4294967297, "part": "Bass"}', '{"channel": 18446744073709551617}')] + [
    ("--casm", '[{"channel": 1, "chordMute": %s}]' % mute) for mute in (
        "[3, 255, 255, 255, 256]", "[-1, 255, 255, 255, 255]", "[3.5, 255, 255, 255, 255]",
        '["3", 255, 255, 255, 255]', "[4294967299, 255, 255, 255, 255]", "[3, 255, 255, 255]",
        "[3, 255, 255, 255, 255, 255]", "3")] + [("--effects", text) for text in (
            '{"reverb": -1}', '{"reverb": 1.5}', '{"reverb": "3"}', '{"reverb": true}',
            '{"reverb": {"text": "Hall 1"}}', '{"chorus": {"position": -2}}',
            '{"variation": 18446744073709551617}', '{"reverb": 24}', '{"reverb": 4294967297}',
            '{"chorus": {"position": 4294967296}}', '{"variation": 102}',
            '{"connection": "Insertion", "variation": 75}')]

# Options after FILE, on four-four-34.mid (casm on listing.sty, merge on type1-3.mid): each takes
# exactly its one value and counts as it does before FILE; {out} places the output file, --force
# replaces one already there. `info` prints its text, which holds no CASM and no effects.
READY = ["--sections", "Main A", "--auto-casm"]
POSITION_RUNS = [(command, option + context) for option, contexts in [
    (["--style-name", "Night Train"], ([], [], READY)),
    (["--copyright", "(c) Ann"], ([], [], READY)),
    (["--sections", "Main A,Main B"], ([], [], ["--auto-casm"])),
    (["--sections=Main A,Main B"], ([], [], ["--auto-casm"])),
    (["--casm", "rows.json"], (["--json"], [], ["--sections", "Main A"])),
    (["--effects", "effects.json"], (["--json"], [], READY)),
    (["--convert", "plain"], (READY, READY, READY)), (["--raw"], ([], [], READY))]
    for command, context in zip(("info", "working", "style"), contexts)] + [
    ("casm", ["--json"])] + [
    (command, output + context) for command, context in (
        ("working", []), ("style", READY), ("merge", [])) for output in (
            ["-o", "{out}"], ["-o={out}"], ["-o{out}"], ["--force", "-o", "{out}"])]

EFFECTS = {"reverb": 3, "reverbReturn": "64", "chorus": 2, "chorusReturn": "32",
           "variation": 5, "variationReturn": "50", "pan": "64", "sendToReverb": "40",
           "sendToChorus": "10"}


def write_song(path, measures, numerator=4, denominator=4, tempos=(120,), sysex=False,
               channels=(0, 1, 9)):
    """A type-0 song: a chord track, a bass line and drums over `measures` measures."""
    beat = TICKS * 4 // denominator
    measure = beat * numerator
    events = [(0, mido.MetaMessage("time_signature", numerator=numerator,
                                   denominator=denominator)),
              (0, mido.MetaMessage("key_signature", key="D")),
              (0, mido.MetaMessage("track_name", name="compared song"))]
    for index, bpm in enumerate(tempos):
        events.append((index * measure * max(1, measures // len(tempos)),
                       mido.MetaMessage("set_tempo", tempo=mido.bpm2tempo(bpm))))
    if sysex:
        events.append((0, mido.Message("sysex", data=[0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00])))
    for channel in channels:
        if channel != 9:
            events.append((0, mido.Message("program_change", channel=channel,
                                           program=(channel * 7) % 128)))
            events.append((0, mido.Message("control_change", channel=channel, control=7,
                                           value=100)))
    roots = [62, 67, 69, 62, 71, 64, 69, 62]
    for bar in range(measures):
        start = bar * measure
        root = roots[bar % len(roots)]
        for channel in channels:
            if channel == 9:
                for b in range(numerator):
                    note = 36 if b == 0 else 42
                    events.append((start + b * beat, mido.Message(
                        "note_on", channel=9, note=note, velocity=90)))
                    events.append((start + b * beat + beat // 4, mido.Message(
                        "note_off", channel=9, note=note)))
            elif channel == 1:
                events.append((start, mido.Message("note_on", channel=1, note=root - 24,
                                                   velocity=100)))
                events.append((start + measure - 10, mido.Message("note_off", channel=1,
                                                                  note=root - 24)))
            else:
                for offset in (0, 4, 7):
                    events.append((start + beat, mido.Message(
                        "note_on", channel=channel, note=root + offset, velocity=80)))
                    events.append((start + measure - 20, mido.Message(
                        "note_off", channel=channel, note=root + offset)))
    events.sort(key=lambda item: item[0])
    track = mido.MidiTrack()
    now = 0
    for tick, message in events:
        track.append(message.copy(time=tick - now))
        now = tick
    track.append(mido.MetaMessage("end_of_track", time=measure))
    song = mido.MidiFile(type=0, ticks_per_beat=TICKS)
    song.tracks.append(track)
    song.save(path)


def write_type1(path, tracks):
    song = mido.MidiFile(type=1, ticks_per_beat=TICKS)
    conductor = mido.MidiTrack([mido.MetaMessage("set_tempo", tempo=500000),
                                mido.MetaMessage("time_signature", numerator=4, denominator=4)])
    song.tracks.append(conductor)
    for channel in range(tracks):
        track = mido.MidiTrack([mido.Message("program_change", channel=channel, program=channel)])
        for bar in range(8):
            track.append(mido.Message("note_on", channel=channel, note=60 + channel,
                                      velocity=90, time=0 if bar == 0 else 960))
            track.append(mido.Message("note_off", channel=channel, note=60 + channel, time=960))
        song.tracks.append(track)
    song.save(path)


def write_facts_song(path):
    """12 measures of 3/4 at 100 BPM in E flat minor with a Latin-1 name padded with blanks, a
    copyright, XG bank select, two programs on one channel and a section start marker."""
    events = [mido.MetaMessage("track_name", name="  Caf\xe9 Bossa "),
              mido.MetaMessage("copyright", text="(c) Zephrane"),
              mido.MetaMessage("set_tempo", tempo=600000),
              mido.MetaMessage("time_signature", numerator=3, denominator=4),
              mido.MetaMessage("key_signature", key="Ebm"),
              mido.Message("control_change", channel=0, control=0, value=0),
              mido.Message("control_change", channel=0, control=32, value=0)]
    events += [mido.Message("program_change", channel=channel, program=program)
               for channel, program in ((0, 33), (1, 0), (2, 48), (2, 49))]
    for measure in range(12):
        events += [mido.Message("note_on", channel=channel, note=note, velocity=90)
                   for channel, note in ((9, 36), (0, 40), (1, 60), (2, 64))]
        events[-4].time = 0 if measure == 0 else 960
        events += [mido.Message("note_off", channel=channel, note=note, time=480 * (channel == 9))
                   for channel, note in ((9, 36), (0, 40), (1, 60), (2, 64))]
        events += [mido.MetaMessage("marker", text=">Main A")] if measure == 7 else []
    events.append(mido.MetaMessage("end_of_track", time=960))
    song = mido.MidiFile(type=0, ticks_per_beat=TICKS, charset="latin1")
    song.tracks.append(mido.MidiTrack(events))
    song.save(path)


def write_marked_song(path, measures, timed):
    """A song of (tick, message) events and a click on channel 10 in every measure from the
    eighth, a piano note under it."""
    measure = 4 * TICKS
    for start in range(8 * measure, measures * measure, measure):
        velocity = 90 - start // measure  # tells the measures apart
        timed += [(start, mido.Message("note_on", channel=9, note=36, velocity=100)),
                  (start, mido.Message("note_on", channel=0, note=60, velocity=velocity)),
                  (start + 240, mido.Message("note_off", channel=9, note=36)),
                  (start + 960, mido.Message("note_off", channel=0, note=60))]
    track, now = mido.MidiTrack(), 0
    for tick, message in sorted(timed, key=lambda event: event[0]):
        track.append(message.copy(time=tick - now))
        now = tick
    track.append(mido.MetaMessage("end_of_track", time=measures * measure - now))
    song = mido.MidiFile(type=0, ticks_per_beat=TICKS)
    song.tracks.append(track)
    song.save(path)


def write_held_song(path, key):
    """24 measures in `key` ("D" or "Dm") over a click in every measure: the key's third is held
    from Intro A over its end marker and plays again in End A; in Main A the piano plays D, the
    third and A, then G4, the bass D2 E2 F#2 A2; an E4 is held over the end of Main A, another
    over the start of End A. Notes as (channel, note, on, off), in measures."""
    measure, third = 4 * TICKS, 65 if key.endswith("m") else 66
    timed = [(0, mido.MetaMessage("time_signature", numerator=4, denominator=4)),
             (0, mido.MetaMessage("key_signature", key=key)),
             (0, mido.Message("program_change", channel=0, program=0)),
             (0, mido.Message("program_change", channel=1, program=33))]
    notes = [(9, 36, bar, bar + 0.125) for bar in range(24)] + [
        (0, number, on, off) for number, on, off in (
            (third, 1.25, 2.25), (62, 8, 8.5), (third, 8, 8.5), (69, 8, 8.5), (67, 8.5, 9),
            (64, 9.5, 10.25), (64, 19.5, 20.25), (third, 20.5, 21))]
    notes += [(1, number, 8 + i / 4, 8.125 + i / 4) for i, number in enumerate((38, 40, 42, 45))]
    for channel, number, on, off in notes:
        timed += [(int(on * measure), mido.Message("note_on", channel=channel, note=number,
                                                   velocity=90)),
                  (int(off * measure), mido.Message("note_off", channel=channel, note=number))]
    track, now = mido.MidiTrack(), 0  # at one tick, a note released ends before one struck
    for tick, message in sorted(timed, key=lambda event: (event[0], event[1].type == "note_on")):
        track.append(message.copy(time=tick - now))
        now = tick
    track.append(mido.MetaMessage("end_of_track", time=24 * measure - now))
    mido.MidiFile(type=0, ticks_per_beat=TICKS, tracks=[track]).save(path)


def chunk(tag, data):
    return tag + len(data).to_bytes(4, "big") + data


def write_listing_style(path):
    """A style of one measure whose CASM holds two Ctab records (one with a byte beyond its 27)
    and a Cntt, followed by an OTSc chunk."""
    song = mido.MidiFile(type=0, ticks_per_beat=TICKS)
    song.tracks.append(mido.MidiTrack([
        mido.MetaMessage("marker", text="SFF1"), mido.MetaMessage("marker", text="SInt"),
        mido.MetaMessage("marker", text="Main A"),
        mido.Message("note_on", channel=9, note=36, velocity=100),
        mido.Message("note_off", channel=9, note=36, time=4 * TICKS)]))
    song.save(path)
    bass = bytes([2]) + b"Bass    " + bytes([10, 0, 0x0F, 0xFF, 3, 255, 255, 255, 255,
                                             0, 2, 0, 3, 3, 28, 127, 4, 0])
    rhythm = bytes([9]) + b"Rhythm  " + bytes([9, 0, 0x0F, 0xFF, 7, 255, 255, 255, 255,
                                               0, 0, 0, 0, 0, 0, 127, 0, 0, 0x5A])
    cseg = chunk(b"CSEG", chunk(b"Sdec", b"Main A,Main B") + chunk(b"Ctab", bass) +
                 chunk(b"Ctab", rhythm) + chunk(b"Cntt", bytes([2, 0x83])))
    with open(path, "ab") as out:
        out.write(chunk(b"CASM", cseg) + chunk(b"OTSc", bytes(range(10))))


def make_inputs(folder):
    """Writes the inputs into `folder`; returns (songs, type-1 files, styles), names relative to
    it."""
    write_facts_song(os.path.join(folder, "facts-3-4-e-flat-minor.mid"))
    song = mido.MidiFile(type=0, ticks_per_beat=TICKS)  # the set-up markers take the delta over
    song.tracks.append(mido.MidiTrack([
        mido.Message("note_on", channel=0, note=60, velocity=1, time=200),
        mido.MetaMessage("end_of_track", time=10)]))
    song.save(os.path.join(folder, "late-first-event.mid"))
    # Set-up events running past the set-up measure (a volume change 80 ticks into measure 2);
    # a section start marker without its end marker.
    write_marked_song(os.path.join(folder, "set-up-past-a-measure.mid"), 12, [
        (0, mido.Message("program_change", channel=0, program=0)),
        (4 * TICKS + 80, mido.Message("control_change", channel=0, control=7, value=100))])
    write_marked_song(os.path.join(folder, "start-marker-alone.mid"), 14, [
        (0, mido.Message("program_change", channel=0, program=0)),
        (11 * 4 * TICKS + TICKS, mido.MetaMessage("marker", text=">Main B"))])
    songs = ["facts-3-4-e-flat-minor.mid", "late-first-event.mid", "set-up-past-a-measure.mid",
             "start-marker-alone.mid"]
    write_listing_style(os.path.join(folder, "listing.sty"))
    for key in ("D", "Dm"):
        write_held_song(os.path.join(folder, "held-%s.mid" % key), key)
    shutil.copy(os.path.join(ROOT, "demo", "zephrane-demo.mid"), folder)
    songs.append("zephrane-demo.mid")
    shapes = {
        "four-four-34.mid": dict(measures=34),
        "four-four-40-tempos.mid": dict(measures=40, tempos=(100, 126, 90)),
        "three-four-34.mid": dict(measures=34, numerator=3),
        "six-eight-36.mid": dict(measures=36, numerator=6, denominator=8),
        "short-12.mid": dict(measures=12),
        "sysex-8-channels.mid": dict(measures=34, sysex=True, channels=(0, 1, 2, 3, 4, 5, 8, 9)),
        "bb-44.mid": dict(measures=44),
        "bb-76.mid": dict(measures=76),
    }
    for name, shape in shapes.items():
        write_song(os.path.join(folder, name), **shape)
        songs.append(name)
    invalid = os.path.join(ROOT, "tests", "data", "invalid")
    for entry in sorted(os.listdir(invalid)):
        kind = os.path.join(invalid, entry)
        if not os.path.isdir(kind):
            continue
        for name in sorted(os.listdir(kind)):
            copied = "invalid-%s-%s" % (entry, name)
            shutil.copy(os.path.join(kind, name), os.path.join(folder, copied))
            songs.append(copied)
    merges = []
    for count in (1, 3, 15):
        name = "type1-%d.mid" % count
        write_type1(os.path.join(folder, name), count)
        merges.append(name)
    # Three tracks written by hand: a tempo; notes under running status without End of Track;
    # a note ended by a note-off.
    tracks = [bytes([0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00]),
              bytes([0x00, 0x90, 0x3C, 0x64, 0x60, 0x3E, 0x64, 0x87, 0x40, 0x3C, 0x00,
                     0x00, 0x3E, 0x00]),
              bytes([0x00, 0x91, 0x40, 0x64, 0x60, 0x81, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00])]
    with open(os.path.join(folder, "type1-open-track.mid"), "wb") as out:
        out.write(chunk(b"MThd", bytes([0, 1, 0, 3, 0x01, 0xE0])) +
                  b"".join(chunk(b"MTrk", track) for track in tracks))
    merges.append("type1-open-track.mid")
    type2 = mido.MidiFile(type=2)
    type2.tracks += [mido.MidiTrack([mido.Message("note_on", note=60)])] * 2
    type2.save(os.path.join(folder, "type2.mid"))
    with open(os.path.join(folder, "not-midi.mid"), "w") as out:
        out.write("These are not the notes you are looking for.\n")
    merges += ["zephrane-demo.mid", "type2.mid", "not-midi.mid", "missing.mid"]
    with open(os.path.join(folder, "ends.json"), "w") as out:  # numbers at the ends of ranges
        out.write('[{"channel": 1, "part": "Bass", "chordMute": [-0, 0, 0, 0, 0]}, {"channel": 16, '
                  '"part": "Pad", "chordMute": [255, 255, 255, 255, 255]}]')
    with open(os.path.join(folder, "ends-effects.json"), "w") as out:
        out.write('{"reverb": 23, "chorus": {"position": 0}, "variation": 101}')
    for number, (_, text) in enumerate(REFUSED_EDIT_FILES):
        with open(os.path.join(folder, "refused-%02d.json" % number), "w") as out:
            out.write(text)
    with open(os.path.join(folder, "rows.json"), "w") as out:
        json.dump(CASM_ROWS, out)
    with open(os.path.join(folder, "refused-limit.json"), "w") as out:
        json.dump([{"channel": 2, "part": "Bass", "lowLimit": "H3"}], out)
    with open(os.path.join(folder, "effects.json"), "w") as out:
        json.dump(EFFECTS, out)
    return songs, merges, ["listing.sty"]


def arguments_of(command, options, source, output, after=()):
    """The command line of one run; `after` follows FILE, the output in place of its {out}."""
    args = [command] + options
    if command in ("info", "working", "style"):
        args += ["--work-dir", "work"]
    if output and not any("{out}" in word for word in after):
        args += ["-o", output]
    return args + [source] + [word.replace("{out}", output or "") for word in after]


def read(folder, name):
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        return None
    with open(path, "rb") as data:
        return data.read()


def outcome(cli, folder, args, output):
    """One run in `folder` with a fresh working folder: exit status, standard output, standard
    error and the output file (None when none was written)."""
    work = os.path.join(folder, "work")
    shutil.rmtree(work, ignore_errors=True)
    os.mkdir(work)
    if output and "--force" in args:  # a file the run replaces
        with open(os.path.join(folder, output), "wb") as replaced:
            replaced.write(b"replaced")
    done = subprocess.run([cli] + args, cwd=folder, capture_output=True, timeout=120)
    return done.returncode, done.stdout, done.stderr, read(folder, output) if output else None


PARTS = ("exit status", "standard output", "standard error", "output file")


def sha256(data):
    return None if data is None else hashlib.sha256(data).hexdigest()


def digest(result):
    """What a digest file keeps of one run: the exit status and the sha256 of the rest."""
    return [result[0]] + [sha256(data) for data in result[1:]]


class Runs:
    """Runs the table's command lines with one or more CLIs, each in a folder of its own."""

    def __init__(self, clis, root):
        self.clis = clis
        self.folders = {side: os.path.join(root, side) for side in clis}
        self.runs = 0
        self.files = 0
        self.differences = []
        self.exit_statuses = collections.Counter()

    def make_inputs(self):
        for folder in self.folders.values():
            os.makedirs(os.path.join(folder, "out"), exist_ok=True)
            inputs = make_inputs(folder)
        return inputs

    def run(self, command, options, source, after=()):
        """Runs one command line; returns its output file when the run that decides it (the
        base, or the recorded one) succeeded."""
        output = None
        if command in ("working", "style", "merge"):
            extension = ".sty" if command == "style" else ".mid"
            output = "out/%04d%s" % (self.runs, extension)
        args = arguments_of(command, options, source, output, after)
        results = {side: outcome(cli, self.folders[side], args, output)
                   for side, cli in self.clis.items()}
        self.runs += 1
        status = self.judge(" ".join(args), list(results.values()))
        self.exit_statuses[status] += 1
        self.files += output is not None and list(results.values())[0][3] is not None
        return output if status == 0 else None


class Comparison(Runs):
    def judge(self, label, results):
        base, candidate = results
        for part, ours, theirs in zip(PARTS, base, candidate):
            if ours != theirs:
                self.differences.append("%s: %s differs" % (label, part))
        return base[0]


class Recording(Runs):
    def __init__(self, cli, root):
        super().__init__({"cli": cli}, root)
        self.digests = {}

    def judge(self, label, results):
        self.digests[label] = digest(results[0])
        return results[0][0]


class Check(Runs):
    def __init__(self, cli, root, recorded):
        super().__init__({"cli": cli}, root)
        self.recorded = recorded
        self.seen = set()

    def judge(self, label, results):
        found = digest(results[0])
        self.seen.add(label)
        expected = self.recorded.get(label)
        if expected is None:
            self.differences.append("%s: not recorded" % label)
            return found[0]
        if found[0] != expected[0]:
            self.differences.append("%s: exit status %d, recorded %d"
                                    % (label, found[0], expected[0]))
        for part, ours, theirs in zip(PARTS[1:], found[1:], expected[1:]):
            if ours != theirs:
                what = ("not written" if ours is None else
                        "written, none recorded" if theirs is None else "differs")
                self.differences.append("%s: %s %s" % (label, part, what))
        return expected[0]


# The golden subset: every option set on these songs and on the styles made from them, these runs
# on every malformed file, every merge.
GOLDEN_SONGS = ("facts-3-4-e-flat-minor.mid", "late-first-event.mid", "set-up-past-a-measure.mid",
                "start-marker-alone.mid", "zephrane-demo.mid", "four-four-40-tempos.mid",
                "three-four-34.mid", "six-eight-36.mid", "short-12.mid", "sysex-8-channels.mid",
                "bb-44.mid")
GOLDEN_CORPUS_RUNS = [
    ("casm", ["--json"]),
    ("info", ["--json", "--raw"]),
    ("working", []),
    ("working", ["--raw"]),
    ("style", ["--all-sections", "--auto-casm"]),
]


def runs_of_song(song, golden):
    if not golden or song in GOLDEN_SONGS:
        return SONG_RUNS
    return GOLDEN_CORPUS_RUNS if song.startswith("invalid-") else []


def run_table(runs, songs, merges, styles, golden):
    """Every run of the table (or of its golden subset) over the songs, the type-1 files, the
    styles given and those made; returns the styles."""
    styles = list(styles)
    for song in songs:
        for command, run_options in runs_of_song(song, golden):
            written = runs.run(command, run_options, song)
            if command == "style" and written and run_options[0] in ("--all-sections", "--bb"):
                styles.append(written)
    for style in styles:
        for command, run_options in STYLE_RUNS:
            runs.run(command, run_options, style)
    for merge in merges:
        runs.run("merge", [], merge)
    runs.run("info", ["--json", "--raw", "--casm", "ends.json", "--effects", "ends-effects.json"],
             "zephrane-demo.mid")
    for number, (option, _) in enumerate(REFUSED_EDIT_FILES):
        runs.run("working", ["--raw", option, "refused-%02d.json" % number], "zephrane-demo.mid")
    files = {"casm": "listing.sty", "merge": "type1-3.mid"}
    for command, after in POSITION_RUNS:
        runs.run(command, [], files.get(command, "four-four-34.mid"), after)
    for key, convert in (("D", ["plain"]), ("D", ["sevenths"]), ("D", ["sevenths", "--add-b"]),
                         ("Dm", ["plain"])):
        runs.run("working", ["--sections", "Intro A,Main A,End A", "--auto-casm", "--convert",
                             *convert], "held-%s.mid" % key)
    return styles


def input_digests(folder):
    return {name: sha256(read(folder, name)) for name in sorted(os.listdir(folder))
            if os.path.isfile(os.path.join(folder, name))}


def write_digests(path, table, inputs, digests):
    """One input or run a line, so that a change to the file shows which."""
    def lines(mapping):
        return ",\n".join("  %s: %s" % (json.dumps(key), json.dumps(value))
                          for key, value in mapping.items())
    with open(path, "w", encoding="utf-8") as out:
        out.write('{"table": %s,\n "inputs": {\n%s},\n "runs": {\n%s}}\n'
                  % (json.dumps(table), lines(inputs), lines(digests)))


def build_base(ref):
    """Builds zephrane-cli of `ref` in build/compare/<commit>; returns the program's path."""
    commit = subprocess.run(["git", "rev-parse", "--verify", ref + "^{commit}"], cwd=ROOT,
                            check=True, capture_output=True, text=True).stdout.strip()
    base = os.path.join(ROOT, "build", "compare", commit)
    source = os.path.join(base, "source")
    if not os.path.isdir(source):
        os.makedirs(base, exist_ok=True)
        archive = subprocess.run(["git", "archive", commit], cwd=ROOT, check=True,
                                 capture_output=True).stdout
        os.mkdir(source)
        subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
    build = os.path.join(base, "build")
    subprocess.run(["cmake", "-S", source, "-B", build, "-G", "Ninja",
                    "-DCMAKE_BUILD_TYPE=Release", "-DZEPHRANE_BUILD_TESTS=OFF",
                    "-DZEPHRANE_BUILD_BENCHMARKS=OFF", "-DZEPHRANE_BUILD_GUI=OFF",
                    "-DZEPHRANE_BUILD_PLAYER=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "--target", "zephrane-cli"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build, "cli", "zephrane-cli")


def program(name):
    """A zephrane-cli named by its path, or built from a commit."""
    if os.path.isfile(name) and os.access(name, os.X_OK):
        return os.path.abspath(name)
    return build_base(name)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("base", help="commit or zephrane-cli: the base, or the CLI recorded or "
                        "checked")
    parser.add_argument("--candidate",
                        default=os.path.join(ROOT, "build", "release", "cli", "zephrane-cli"))
    digests = parser.add_mutually_exclusive_group()
    digests.add_argument("--record", metavar="DIGESTS", help="write the digests of BASE's runs")
    digests.add_argument("--check", metavar="DIGESTS", help="check BASE's runs against DIGESTS")
    parser.add_argument("--all", action="store_true",
                        help="record the whole table, not its golden subset")
    parser.add_argument("--keep", help="keep the inputs and outputs in this folder")
    options = parser.parse_args()
    root = options.keep or tempfile.mkdtemp(prefix="zephrane-compare-")
    cli = program(options.base)
    golden = not options.all
    if options.check:
        with open(options.check, encoding="utf-8") as recorded:
            recorded = json.load(recorded)
        golden = recorded["table"] == "golden"
        runs = Check(cli, root, recorded["runs"])
    elif options.record:
        runs = Recording(cli, root)
    else:
        golden = False
        runs = Comparison({"base": cli, "candidate": os.path.abspath(options.candidate)}, root)
    songs, merges, styles = runs.make_inputs()
    inputs = input_digests(list(runs.folders.values())[0])
    if options.check and inputs != recorded["inputs"]:
        runs.differences += ["input %s differs from the recorded one: the songs are no longer "
                             "written the same (another mido?)" % name for name in sorted(
                                 set(inputs) | set(recorded["inputs"]))
                             if inputs.get(name) != recorded["inputs"].get(name)]
    styles = run_table(runs, songs, merges, styles, golden)
    if options.check:
        runs.differences += ["%s: recorded, not run" % label for label in recorded["runs"]
                             if label not in runs.seen]
    if options.record:
        write_digests(options.record, "golden" if golden else "all", inputs, runs.digests)

    for difference in runs.differences:
        print(difference)
    print("exit statuses: " + ", ".join(
        "%d: %d runs" % item for item in sorted(runs.exit_statuses.items())))
    print("%d runs over %d songs, %d styles and %d type-1 files; %d output files; %d differences"
          % (runs.runs, sum(1 for song in songs if runs_of_song(song, golden)), len(styles),
             len(merges), runs.files, len(runs.differences)))
    if not options.keep:
        shutil.rmtree(root)
    return 1 if runs.differences else 0


if __name__ == "__main__":
    sys.exit(main())
