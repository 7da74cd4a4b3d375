#!/usr/bin/env python3
"""End-to-end: songs whose channel messages go on under running status after meta and SysEx
events, written byte by byte, opened by `zephrane-cli` (info, working, style); what it writes is
read back by mido and midicsv and walked strictly: no running status over a meta or SysEx
event."""

import json
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"

TICKS_PER_MEASURE = 1920
MEASURES = 34
TEXT = bytes([0xFF, 0x01, 0x04]) + b"half"
MARKER = bytes([0xFF, 0x06, 0x05]) + b"verse"
SYSEX = bytes([0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7])  # GM System On


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def song_bytes():
    """A 4/4 song of MEASURES measures: a click on channel 10 on every first beat and a piano note
    on channel 1 that is released half a measure later under running status, right after a text,
    a marker or a SysEx event in turn. Also the notes it holds, as (tick, channel, note,
    velocity) with channels from 0."""
    events = bytearray(b"\x00\xff\x58\x04\x04\x02\x18\x08\x00\xc0\x00")  # 4/4, piano
    notes = []
    for measure in range(MEASURES):
        tick = measure * TICKS_PER_MEASURE
        note = 60 + measure % 12
        events += vlq(0 if measure == 0 else TICKS_PER_MEASURE // 2)
        events += bytes([0x99, 36, 100, 0x00, 0x90, note, 100])
        events += vlq(TICKS_PER_MEASURE // 2) + (TEXT, MARKER, SYSEX)[measure % 3]
        events += bytes([0x00, note, 0])  # note-on of velocity 0, by running status
        events += bytes([0x00, 0x99, 36, 0])
        notes += [(tick, 9, 36, 100), (tick, 0, note, 100),
                  (tick + TICKS_PER_MEASURE // 2, 0, note, 0),
                  (tick + TICKS_PER_MEASURE // 2, 9, 36, 0)]
    events += vlq(TICKS_PER_MEASURE // 2) + b"\xff\x2f\x00"
    header = b"MThd" + (6).to_bytes(4, "big") + bytes([0, 0, 0, 1, 0x01, 0xE0])
    return header + b"MTrk" + len(events).to_bytes(4, "big") + bytes(events), notes


def strict_walk(data):
    """Every channel message of the first track as (tick, status, data bytes); fails on a data
    byte at a status position after a meta or SysEx event, where the file format cancels running
    status."""
    assert data[14:18] == b"MTrk"
    end = 22 + int.from_bytes(data[18:22], "big")
    pos, tick, status, found = 22, 0, None, []
    while pos < end:
        delta = 0
        while data[pos] & 0x80:
            delta = (delta << 7) | (data[pos] & 0x7F)
            pos += 1
        delta = (delta << 7) | data[pos]
        tick += delta
        pos += 1
        byte = data[pos]
        if byte == 0xFF:
            length_pos = pos + 2
            length = 0
            while data[length_pos] & 0x80:
                length = (length << 7) | (data[length_pos] & 0x7F)
                length_pos += 1
            length = (length << 7) | data[length_pos]
            if data[pos + 1] == 0x2F:
                break
            pos = length_pos + 1 + length
            status = None
        elif byte in (0xF0, 0xF7):
            pos = pos + 2 + data[pos + 1]
            status = None
        else:
            if byte >= 0x80:
                status = byte
                pos += 1
            elif status is None:
                raise AssertionError(f"running status over a meta or SysEx event at {pos}")
            size = 1 if status >> 4 in (0xC, 0xD) else 2
            found.append((tick, status, tuple(data[pos:pos + size])))
            pos += size
    return found


def notes_read_by_mido(path):
    tick, notes = 0, []
    for message in mido.MidiFile(path).tracks[0]:
        tick += message.time
        if message.type in ("note_on", "note_off"):
            velocity = message.velocity if message.type == "note_on" else 0
            notes.append((tick, message.channel, message.note, velocity))
    return notes


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8")


class RunningStatus(FolderTest):
    def setUp(self):
        super().setUp()
        data, self.notes = song_bytes()
        self.song = self.path("scale.mid")
        with open(self.song, "wb") as out:
            out.write(data)

    def assert_written_strictly(self, path):
        with open(path, "rb") as written:
            strict_walk(written.read())
        csv = subprocess.run(["midicsv", path], capture_output=True, text=True)
        self.assertEqual(csv.returncode, 0, csv.stderr)

    def test_the_song_is_read_note_for_note(self):
        # Guards against "Error #: 9 ... GetInfo" for running status after a meta event.
        done = run("info", "--json", "--work-dir", self.fresh_work_dir(), self.song)
        self.assertEqual(done.returncode, 0, done.stderr)
        data = json.loads(done.stdout)
        self.assertEqual(data["messages"], [])
        self.assertEqual(data["measuresLabel"], "Measures:  34")
        self.assertEqual([c["channel"] for c in data["channels"] if c["visible"]], [1, 10])

    def test_working_file_holds_every_note_with_its_status_byte(self):
        out = self.path("working.mid")
        done = run("working", "--work-dir", self.fresh_work_dir(), "-o", out, self.song)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(notes_read_by_mido(out), self.notes)
        self.assert_written_strictly(out)

    def test_style_holds_main_a_note_for_note_with_status_bytes(self):
        out = self.path("scale.sty")
        done = run("style", "--all-sections", "--auto-casm", "--work-dir",
                   self.fresh_work_dir(), "-o", out, self.song)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assert_written_strictly(out)
        tick, main_a = 0, None
        for message in mido.MidiFile(out).tracks[0]:
            tick += message.time
            if message.type == "marker" and message.text == "Main A":
                main_a = tick
        self.assertIsNotNone(main_a)
        # Main A takes measures 8 and 9 of the song.
        first, end = 8 * TICKS_PER_MEASURE, 10 * TICKS_PER_MEASURE
        expected = [(t - first, c, n, v) for t, c, n, v in self.notes if first <= t < end]
        found = [(t - main_a, c, n, v) for t, c, n, v in notes_read_by_mido(out)
                 if main_a <= t < main_a + end - first]
        self.assertEqual(found, expected)

    def test_raw_song_and_style_are_written_with_status_bytes(self):
        # The load alone keeps the song's own bytes; what is written from them spells the status
        # out after each meta and SysEx event, and holds every note.
        for command, name in (("working", "raw.mid"), ("style", "raw.sty")):
            with self.subTest(command=command):
                out = self.path(name)
                done = run(command, "--raw", "--sections", "Main A", "--auto-casm",
                           "--work-dir", self.fresh_work_dir(), "-o", out, self.song)
                self.assertEqual(done.returncode, 0, done.stderr)
                self.assert_written_strictly(out)
                if command == "working":
                    self.assertEqual(notes_read_by_mido(out), self.notes)


if __name__ == "__main__":
    unittest.main(verbosity=1)
