"""What the end-to-end tests share: their programs, a temporary folder of their own, songs written
by mido (an independent MIDI library) and readers of what the programs write."""

import os
import subprocess
import sys
import tempfile
import unittest

import mido

TICKS_PER_BEAT = 480
MEASURE = 4 * TICKS_PER_BEAT
# Section: (first measure, end) in the standard layout, in the order of a style's sections.
STANDARD = {"Intro A": (1, 2), "Intro B": (3, 5), "Intro C": (6, 7), "Main A": (8, 10),
            "Main B": (11, 13), "Main C": (14, 16), "Main D": (17, 19), "Ending A": (20, 21),
            "Ending B": (22, 23), "Ending C": (24, 25), "Fill In AA": (26, 27),
            "Fill In BB": (28, 29), "Fill In CC": (30, 31), "Fill In DD": (32, 33)}


def take_arguments(*defaults):
    """The test's own leading arguments (programs, files), taken off the command line so that
    unittest sees only its own."""
    taken = [sys.argv.pop(1) if len(sys.argv) > 1 else default for default in defaults]
    return taken[0] if len(taken) == 1 else taken


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, encoding="utf-8",
                          errors="replace", timeout=120)


def read_bytes(path):
    with open(path, "rb") as source:
        return source.read()


def note(channel, number, on, off, velocity=90):
    return [(on, mido.Message("note_on", channel=channel, note=number, velocity=velocity)),
            (off, mido.Message("note_off", channel=channel, note=number))]


def band_song(path, measures, parts, numerator=4, ticks_per_beat=TICKS_PER_BEAT,
              time_signature=True):
    """A song whose `parts` (channel: (program, [(beat, note, beats)])) play the same notes in
    every measure, each a little softer, over a bass drum on channel 10 on each first beat, the
    click the section markers need."""
    per_measure = numerator * ticks_per_beat
    timed = [(0, mido.MetaMessage("time_signature", numerator=numerator, denominator=4))] * \
        time_signature + [(0, mido.Message("program_change", channel=channel, program=program))
                          for channel, (program, _) in parts.items()]
    for start in range(0, measures * per_measure, per_measure):
        timed += note(9, 36, start, start + ticks_per_beat // 4, velocity=100)
        for channel, (_, notes) in parts.items():
            for beat, number, beats in notes:
                on = start + int(beat * ticks_per_beat)
                timed += note(channel, number, on, on + int(beats * ticks_per_beat),
                              velocity=100 - start // per_measure % 80)  # tells measures apart
    track, now = mido.MidiTrack(), 0  # at one tick, a note released ends before one struck
    for tick, message in sorted(timed, key=lambda e: (e[0], e[1].type == "note_on")):
        track.append(message.copy(time=tick - now))
        now = tick
    track.append(mido.MetaMessage("end_of_track", time=measures * per_measure - now))
    mido.MidiFile(type=0, ticks_per_beat=ticks_per_beat, tracks=[track]).save(path)
    return path


def absolute(source):
    """(tick, message without its delta) for every event of a track, or of a file's first one."""
    tick, events = 0, []
    for message in mido.MidiFile(source).tracks[0] if isinstance(source, str) else source:
        tick += message.time
        events.append((tick, message.copy(time=0)))
    return events


def markers(path):
    return [(tick, m.text) for tick, m in absolute(path) if m.type == "marker"]


def notes_between(path, first, end):
    return [(tick - first, m.copy(time=0)) for tick, m in absolute(path)
            if first <= tick < end and m.type in ("note_on", "note_off")]


def sections(path):
    """(name, marker tick, end tick) in file order; a section ends at the next section marker or
    at End of Track."""
    found = [(tick, text) for tick, text in markers(path) if text in STANDARD]
    ends = [tick for tick, _ in found[1:]] + [absolute(path)[-1][0]]
    return [(text, tick, end) for (tick, text), end in zip(found, ends)]


def note_spans(path):
    """Sorted (start, end, channel, note) of every note; fails on a key struck while it sounds,
    released while silent, or still sounding at the end."""
    sounding, spans = {}, []
    for tick, m in absolute(path):
        if m.type in ("note_on", "note_off"):
            key = (m.channel, m.note)
            if m.type == "note_on" and m.velocity > 0:
                assert key not in sounding, "key %s struck twice at %d" % (key, tick)
                sounding[key] = tick
            else:
                assert key in sounding, "key %s released unstruck at %d" % (key, tick)
                spans.append((sounding.pop(key), tick) + key)
    assert not sounding, "notes hang: %s" % sounding
    return sorted(spans)


def running_status_uses(data):
    """Whether each channel message of the first track, walked byte by byte, goes on under running
    status; fails on a data byte where a status belongs after a meta or SysEx event, which cancel
    running status."""
    assert data[14:18] == b"MTrk", "no track after the header"
    pos, end, status, uses = 22, 22 + int.from_bytes(data[18:22], "big"), None, []

    def quantity():
        nonlocal pos
        value = 0
        while data[pos] & 0x80:
            value, pos = (value << 7) | (data[pos] & 0x7F), pos + 1
        pos += 1
        return (value << 7) | data[pos - 1]

    while pos < end:
        quantity()
        if data[pos] in (0xFF, 0xF0, 0xF7):
            pos += 2 if data[pos] == 0xFF else 1
            pos, status = quantity() + pos, None
            continue
        uses.append(data[pos] < 0x80)
        assert status or not uses[-1], "data byte without a status at offset %d" % pos
        status = status if uses[-1] else data[pos]
        pos += (0 if uses[-1] else 1) + (1 if status >> 4 in (0xC, 0xD) else 2)
    return uses


def midicsv(path):
    """midicsv's listing of the file; it must read it."""
    done = subprocess.run(["midicsv", path], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    return done.stdout


class FolderTest(unittest.TestCase):
    """A test case whose files live in a temporary folder, removed after each test."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as out:
            out.write(data.encode() if isinstance(data, str) else data)
        return self.path(name)

    def fresh_work_dir(self):
        """A new empty folder for the working file of one zephrane-cli run."""
        return tempfile.mkdtemp(prefix="work", dir=self.dir.name)

    def assert_run(self, done, status=0, stderr=""):
        self.assertEqual((done.returncode, done.stderr), (status, stderr))
