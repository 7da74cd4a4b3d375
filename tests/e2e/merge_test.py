#!/usr/bin/env python3
"""End-to-end: type-1 songs written by mido (an independent MIDI library) or by hand, merged by
`zephrane-cli merge`, read back by mido and compared with mido's own merge of the tracks."""

import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"

REPLACE_QUESTION = "This will replace existing file"


def run_cli(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8")


def read_bytes(path):
    with open(path, "rb") as source:
        return source.read()


def _copy_unknown_meta(self, **overrides):
    attributes = {"type_byte": self.type_byte, "data": self.data, "time": self.time}
    attributes.update(overrides)
    return mido.UnknownMetaMessage(**attributes)


# Some mido versions cannot copy an unknown meta message (the copy passes "type" back to the
# constructor), and merge_tracks copies every message: copy it the way the constructor takes it.
try:
    mido.UnknownMetaMessage(type_byte=0x60, data=[1]).copy(time=1)
except TypeError:
    mido.UnknownMetaMessage.copy = _copy_unknown_meta


def absolute(track):
    """(absolute tick, message without its delta) for every message of a track."""
    now = 0
    for message in track:
        now += message.time
        yield now, message.copy(time=0)


def expected_merge(mid):
    """mido's merge of the tracks, with absolute ticks, as the merge is meant to differ from it:
    track names only from the first track, and one End of Track (mido keeps them all)."""
    tracks = []
    for index, track in enumerate(mid.tracks):
        kept, last = [], 0
        for now, message in absolute(track):
            if index > 0 and message.type == "track_name":
                continue
            kept.append(message.copy(time=now - last))
            last = now
        tracks.append(mido.MidiTrack(kept))
    return list(absolute(mido.merge_tracks(tracks)))


def notes(timed_messages):
    return [(now, m.type, m.channel, m.note, m.velocity) for now, m in timed_messages
            if m.type in ("note_on", "note_off")]


def read_quantity(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = value * 128 + (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def status_bytes(path):
    """Status byte of every event of a type-0 file, read here byte by byte; a data byte in place
    of a status (running status) is returned as it is."""
    data = read_bytes(path)
    pos, end = 22, 22 + int.from_bytes(data[18:22], "big")
    statuses = []
    while pos < end:
        _, pos = read_quantity(data, pos)
        status = data[pos]
        statuses.append(status)
        if status == 0xFF:
            length, pos = read_quantity(data, pos + 2)
            pos += length
        elif status in (0xF0, 0xF7):
            length, pos = read_quantity(data, pos + 1)
            pos += length
        elif status >= 0x80:
            pos += 2 if status >> 4 in (0xC, 0xD) else 3
        else:
            break
    return statuses


def chunk(tag, data):
    """A chunk: 4-character tag, 4-byte big-endian length of the data, the data."""
    return tag + len(data).to_bytes(4, "big") + data


def header(format_, tracks, division=480):
    return chunk(b"MThd", format_.to_bytes(2, "big") + tracks.to_bytes(2, "big") +
                 division.to_bytes(2, "big"))


def note_track(channel, name, start, notes_, length=240, program=0):
    """A track playing `notes_` one after another on `channel`, from tick `start`."""
    events = [mido.MetaMessage("track_name", name=name),
              mido.Message("program_change", channel=channel, program=program, time=start)]
    for note in notes_:
        events.append(mido.Message("note_on", channel=channel, note=note, velocity=90))
        events.append(mido.Message("note_on", channel=channel, note=note, velocity=0,
                                   time=length))
    return mido.MidiTrack(events)


def conductor(*extra):
    return mido.MidiTrack([
        mido.MetaMessage("track_name", name="Song"),
        mido.MetaMessage("set_tempo", tempo=500000),
        mido.MetaMessage("time_signature", numerator=4, denominator=4),
        mido.MetaMessage("key_signature", key="F"),
        *extra,
        mido.MetaMessage("set_tempo", tempo=450000, time=960),
        mido.MetaMessage("time_signature", numerator=3, denominator=4, time=960),
        mido.MetaMessage("set_tempo", tempo=400000, time=480),
    ])


class Merge(FolderTest):
    def save(self, mid, name):
        mid.save(self.path(name))
        return self.path(name)

    def merge_and_compare(self, source):
        """Merges `source`; checks the result against mido's merge and that Zephrane opens it."""
        target = self.path("merged.mid")
        done = run_cli("merge", source, "-o", target)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        original, merged = mido.MidiFile(source), mido.MidiFile(target)
        self.assertEqual(merged.type, 0)
        self.assertEqual(len(merged.tracks), 1)
        self.assertEqual(merged.ticks_per_beat, original.ticks_per_beat)
        timed = list(absolute(merged.tracks[0]))
        expected = expected_merge(original)
        self.assertEqual(notes(timed), notes(expected))
        self.assertEqual(timed, expected)
        self.assertTrue(all(s >= 0x80 for s in status_bytes(target)), "running status left")
        info = run_cli("info", "--raw", "--json", target)
        self.assertEqual(info.returncode, 0, info.stderr)
        return merged, timed

    def test_several_tracks_with_a_tempo_map_and_running_status(self):
        mid = mido.MidiFile(type=1, ticks_per_beat=480)
        mid.tracks.append(conductor())
        # Tracks start together and overlap: equal ticks across tracks everywhere; mido writes
        # every run of same-status events with running status.
        mid.tracks.append(note_track(0, "Piano", 0, [60, 64, 67, 72, 67, 64], program=0))
        mid.tracks.append(note_track(1, "Bass", 0, [36, 43, 36, 43], length=480, program=33))
        mid.tracks.append(note_track(9, "Drums", 240, [36, 38, 36, 38, 42], program=0))
        source = self.save(mid, "band.mid")
        self.assertIn(bytes([0x3C, 0x00]), read_bytes(source))  # running status written
        merged, timed = self.merge_and_compare(source)
        self.assertEqual([m.name for m in merged.tracks[0] if m.type == "track_name"], ["Song"])
        # At tick 0 the conductor's tempo comes before the first note of any track.
        self.assertEqual([m.type for now, m in timed if now == 0][:5],
                         ["track_name", "set_tempo", "time_signature", "key_signature",
                          "program_change"])
        self.assertEqual(timed[-1], (2400, mido.MetaMessage("end_of_track")))

    def test_sysex_and_meta_events_of_every_kind(self):
        mid = mido.MidiFile(type=1, ticks_per_beat=96)
        mid.tracks.append(conductor(
            mido.MetaMessage("sequence_number", number=7),
            mido.MetaMessage("text", text="Text"),
            mido.MetaMessage("copyright", text="(c) Zephrane"),
            mido.MetaMessage("instrument_name", name="Organ"),
            mido.MetaMessage("lyrics", text="la " * 60),
            mido.MetaMessage("marker", text="Intro"),
            mido.MetaMessage("cue_marker", text="cue"),
            mido.UnknownMetaMessage(type_byte=0x08, data=b"Program"),
            mido.MetaMessage("device_name", name="Port A"),
            mido.MetaMessage("channel_prefix", channel=3),
            mido.MetaMessage("midi_port", port=1),
            mido.MetaMessage("smpte_offset", frame_rate=25, hours=1, minutes=2, seconds=3),
            mido.UnknownMetaMessage(type_byte=0x7F, data=[0x43, 0x7B, 0x00]),  # for one sequencer
            mido.UnknownMetaMessage(type_byte=0x60, data=[1, 2]),
        ))
        mid.tracks.append(mido.MidiTrack([
            mido.Message("sysex", data=[0x7E, 0x7F, 0x09, 0x01]),
            mido.Message("sysex", data=[0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00]),
            mido.Message("sysex", data=[0x43, 0x00] + [0x11] * 200, time=10),
            mido.Message("control_change", channel=4, control=7, value=100),
            mido.Message("pitchwheel", channel=4, pitch=-2000),
            mido.Message("aftertouch", channel=4, value=30),
            mido.Message("polytouch", channel=4, note=60, value=20),
            mido.Message("note_on", channel=4, note=60, velocity=100),
            mido.Message("note_off", channel=4, note=60, velocity=64, time=96),
        ]))
        self.merge_and_compare(self.save(mid, "every-kind.mid"))

    def test_sixteen_tracks(self):
        mid = mido.MidiFile(type=1, ticks_per_beat=480)
        # Track 1 holds the tempo map and plays channel 1.
        mid.tracks.append(mido.merge_tracks([conductor(), note_track(0, "", 0, [48, 50])[1:]]))
        for channel in range(1, 16):
            mid.tracks.append(note_track(channel, "Channel %d" % (channel + 1), 0,
                                         [48 + channel, 60 + channel], program=channel))
        self.assertEqual(len(mid.tracks), 16)
        merged, timed = self.merge_and_compare(self.save(mid, "sixteen.mid"))
        self.assertEqual(sorted({m.channel for _, m in timed if m.type == "note_on"}),
                         list(range(16)))

    def test_track_without_end_of_track_written_by_hand(self):
        tempo = bytes([0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,   # 0: tempo 500000
                       0x00, 0xFF, 0x2F, 0x00])                    # 0: End of Track
        open_track = bytes([0x00, 0x90, 0x3C, 0x64,                # 0: note-on C4, channel 1
                            0x60, 0x3E, 0x64,                      # 96: running status, D4
                            0x87, 0x40, 0x3C, 0x00,                # 1056: C4 velocity 0
                            0x00, 0x3E, 0x00])                     # 1056: D4; no End of Track
        closed = bytes([0x00, 0x91, 0x40, 0x64,                    # 0: note-on E4, channel 2
                        0x60, 0x81, 0x40, 0x00,                    # 96: note-off E4
                        0x00, 0xFF, 0x2F, 0x00])                   # 96: End of Track
        source = self.path("open-track.mid")
        with open(source, "wb") as out:
            out.write(header(1, 3) + chunk(b"MTrk", tempo) + chunk(b"MTrk", open_track) +
                      chunk(b"MTrk", closed))
        merged, timed = self.merge_and_compare(source)
        self.assertEqual(timed[-1], (1056, mido.MetaMessage("end_of_track")))

    def test_refusals_write_nothing(self):
        type0 = mido.MidiFile(type=0)
        type0.tracks.append(mido.MidiTrack([mido.Message("note_on", note=60)]))
        type2 = mido.MidiFile(type=2)
        type2.tracks += [mido.MidiTrack([mido.Message("note_on", note=60)])] * 2
        text = self.path("notes.mid")
        with open(text, "w") as out:
            out.write("These are not the notes you are looking for.\n")
        cases = [
            (self.save(type0, "type0.mid"),
             "This MIDI file is already type 0 (a single track): it needs no merge and can be "
             "opened as it is."),
            (self.save(type2, "type2.mid"),
             "Type 2 MIDI files (independent patterns) cannot be merged into one song."),
            (text, "This file is not a MIDI file."),
            (self.path("missing.mid"), "This file is Not found."),
        ]
        for source, message in cases:
            target = self.path("never.mid")
            done = run_cli("merge", source, "-o", target)
            self.assertEqual(done.returncode, 1, source)
            self.assertEqual(done.stderr, message + "\n")
            self.assertFalse(os.path.exists(target))

    def test_existing_file_is_replaced_only_with_force(self):
        mid = mido.MidiFile(type=1)
        mid.tracks.append(conductor())
        mid.tracks.append(note_track(0, "Piano", 0, [60]))
        source = self.save(mid, "song.mid")
        target = self.path("kept.mid")
        with open(target, "wb") as out:
            out.write(b"old")
        done = run_cli("merge", source, "-o", target)
        self.assertEqual((done.returncode, done.stderr), (1, REPLACE_QUESTION + "\n"))
        self.assertEqual(read_bytes(target), b"old")
        forced = run_cli("merge", source, "-o", target, "--force")
        self.assertEqual(forced.returncode, 0, forced.stderr)
        self.assertEqual(mido.MidiFile(target).type, 0)

    def test_usage(self):
        self.assertEqual(run_cli("merge", self.path("a.mid")).returncode, 2)
        self.assertEqual(run_cli("merge", "-o", self.path("b.mid")).returncode, 2)


if __name__ == "__main__":
    unittest.main(verbosity=1)
