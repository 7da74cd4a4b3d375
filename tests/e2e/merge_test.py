#!/usr/bin/env python3
"""End-to-end: type-1 songs written by mido (an independent MIDI library), merged by
`zephrane-cli merge`, read back by mido and compared with mido's own merge of the tracks."""

import unittest

import mido

from e2e_support import FolderTest, absolute, read_bytes, run, running_status_uses, take_arguments

CLI = take_arguments("zephrane-cli")
Meta, Unknown = mido.MetaMessage, mido.UnknownMetaMessage

# Some mido versions cannot copy an unknown meta message (the copy passes "type" back to the
# constructor), and merge_tracks copies every message: copy it the way the constructor takes it.
try:
    Unknown(type_byte=0x60, data=[1]).copy(time=1)
except TypeError:
    Unknown.copy = lambda self, **changes: Unknown(**dict(
        {"type_byte": self.type_byte, "data": self.data, "time": self.time}, **changes))


def expected_merge(song):
    """mido's merge of the tracks, as the merge is meant to differ from it: track names only from
    the first track, and one End of Track (mido keeps them all)."""
    tracks = []
    for index, track in enumerate(song.tracks):
        kept = [(now, m) for now, m in absolute(track) if index == 0 or m.type != "track_name"]
        tracks.append(mido.MidiTrack(m.copy(time=now - last) for (now, m), last in
                                     zip(kept, [0] + [now for now, _ in kept])))
    return absolute(mido.merge_tracks(tracks))


def note_track(channel, name, start, notes, length=240, program=0):
    """A track playing `notes` one after another on `channel`, from tick `start`; mido writes the
    run of note-ons with running status."""
    events = [Meta("track_name", name=name),
              mido.Message("program_change", channel=channel, program=program, time=start)]
    for number in notes:
        events += [mido.Message("note_on", channel=channel, note=number, velocity=90),
                   mido.Message("note_on", channel=channel, note=number, velocity=0, time=length)]
    return mido.MidiTrack(events)


class Merge(FolderTest):
    def test_merged_as_mido_merges_with_a_status_byte_for_every_event(self):
        # Tracks that start together and overlap; the tempo map and every kind of meta event in
        # the first, every other kind of event in the last. (The golden digests hold a merge of a
        # track without End of Track.)
        conductor = [
            Meta("track_name", name="Song"), Meta("set_tempo", tempo=500000),
            Meta("time_signature", numerator=4, denominator=4), Meta("key_signature", key="F"),
            Meta("sequence_number", number=7), Meta("text", text="T"),
            Meta("copyright", text="(c) Zephrane"), Meta("instrument_name", name="Organ"),
            Meta("lyrics", text="la " * 60), Meta("marker", text="I"),
            Meta("cue_marker", text="cue"), Meta("midi_port", port=1),
            Unknown(type_byte=0x08, data=b"Program"), Meta("device_name", name="Port A"),
            Meta("channel_prefix", channel=3),
            Meta("smpte_offset", frame_rate=25, hours=1, minutes=2, seconds=3),
            Unknown(type_byte=0x7F, data=[0x43, 0x7B, 0x00]), Unknown(type_byte=0x60, data=[1, 2]),
            Meta("set_tempo", tempo=450000, time=960),
            Meta("time_signature", numerator=3, denominator=4, time=960),
            Meta("set_tempo", tempo=400000, time=480)]
        others = [mido.Message("sysex", data=[0x7E, 0x7F, 0x09, 0x01]),
                  mido.Message("sysex", data=[0x43, 0x00] + [0x11] * 200, time=10),
                  mido.Message("control_change", channel=4, control=7, value=100),
                  mido.Message("pitchwheel", channel=4, pitch=-2000),
                  mido.Message("aftertouch", channel=4, value=30),
                  mido.Message("polytouch", channel=4, note=60, value=20),
                  mido.Message("note_on", channel=4, note=60, velocity=100),
                  mido.Message("note_off", channel=4, note=60, velocity=64, time=96)]
        song = mido.MidiFile(type=1, ticks_per_beat=96, tracks=[
            mido.MidiTrack(conductor), note_track(0, "Piano", 0, [60, 64, 67, 72, 67, 64]),
            note_track(1, "Bass", 0, [36, 43, 36, 43], length=480, program=33),
            note_track(9, "Drums", 240, [36, 38, 36, 38, 42]), mido.MidiTrack(others)])
        source, target = self.path("band.mid"), self.path("merged.mid")
        song.save(source)
        self.assertIn(bytes([0x3C, 0x00]), read_bytes(source))  # running status written
        self.assert_run(run(CLI, "merge", source, "-o", target))
        merged = mido.MidiFile(target)
        self.assertEqual((merged.type, len(merged.tracks), merged.ticks_per_beat), (0, 1, 96))
        timed = absolute(merged.tracks[0])
        self.assertEqual(timed, expected_merge(mido.MidiFile(source)))
        self.assertEqual(timed[-1], (2400, Meta("end_of_track")))
        self.assertFalse(any(running_status_uses(read_bytes(target))))
        self.assertEqual(run(CLI, "info", "--raw", "--json", target).returncode, 0)


if __name__ == "__main__":
    unittest.main(verbosity=1)
