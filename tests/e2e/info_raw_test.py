#!/usr/bin/env python3
"""End-to-end: songs written by an independent tool (mido) read back by `zephrane-cli info --raw`."""

import json
import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"
DEMO = sys.argv.pop(1) if len(sys.argv) > 1 else "demo/zephrane-demo.mid"


def run_info(path, *extra):
    done = subprocess.run([CLI, "info", "--raw", *extra, path], capture_output=True, text=True,
                          encoding="utf-8")
    return done


def info_json(path):
    done = run_info(path, "--json")
    return done, json.loads(done.stdout)


def song(events, ticks_per_beat=480, type_=0):
    mid = mido.MidiFile(type=type_, ticks_per_beat=ticks_per_beat, charset="latin1")
    track = mido.MidiTrack(events)
    mid.tracks.append(track)
    return mid


def channel(data, number):
    return data["channels"][number - 1]


def casm_of_one_segment():
    """A sound CASM chunk: one CSEG naming "Main A", without records."""
    sdec = b"Sdec" + (6).to_bytes(4, "big") + b"Main A"
    cseg = b"CSEG" + len(sdec).to_bytes(4, "big") + sdec
    return b"CASM" + len(cseg).to_bytes(4, "big") + cseg


class InfoRaw(FolderTest):
    def save(self, mid, name):
        path = self.path(name)
        mid.save(path)
        return path

    def test_song_facts_channels_and_markers(self):
        events = [
            mido.MetaMessage("track_name", name="  Caf\xe9 Bossa "),
            mido.MetaMessage("copyright", text="(c) Zephrane"),
            mido.MetaMessage("set_tempo", tempo=600000),
            mido.MetaMessage("time_signature", numerator=3, denominator=4),
            mido.MetaMessage("key_signature", key="Ebm"),
            mido.Message("control_change", channel=0, control=0, value=0),
            mido.Message("control_change", channel=0, control=32, value=0),
            mido.Message("program_change", channel=0, program=33),
            mido.Message("program_change", channel=1, program=0),
            mido.Message("program_change", channel=2, program=48),
            mido.Message("program_change", channel=2, program=49),
        ]
        for measure in range(12):
            events += [
                mido.Message("note_on", channel=9, note=36, velocity=100, time=0 if measure == 0 else 960),
                mido.Message("note_on", channel=0, note=40, velocity=90),
                mido.Message("note_on", channel=1, note=60, velocity=90),
                mido.Message("note_on", channel=2, note=64, velocity=90),
                mido.Message("note_off", channel=9, note=36, time=480),
                mido.Message("note_off", channel=0, note=40),
                mido.Message("note_off", channel=1, note=60),
                mido.Message("note_off", channel=2, note=64),
            ]
            if measure == 7:
                events.append(mido.MetaMessage("marker", text=">Main A", time=0))
        events.append(mido.MetaMessage("end_of_track", time=960))
        path = self.save(song(events), "bossa.mid")
        size = os.path.getsize(path)

        done, data = info_json(path)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(data["caption"], "Zephrane   bossa.mid")
        self.assertEqual(data["fileBox"], "bossa.mid(modified)")
        self.assertEqual(data["tempo"], "100")
        self.assertEqual(data["timeSignature"], " 3/4")
        self.assertEqual(data["key"], "Ebminor")
        self.assertEqual(data["measuresLabel"], "Measures:  12")
        self.assertEqual(data["styleName"], "Caf\xe9 Bossa")
        self.assertEqual(data["copyright"], "(c) Zephrane")
        self.assertTrue(data["isMidiFile"])
        self.assertFalse(data["isStyleFile"])
        self.assertEqual(data["ticksPerMeasure"], 1440)
        self.assertEqual(data["measureCount"], 12)
        # "SFF1" and "SInt" (8 bytes each) now open the track; End of Track "00 FF 2F 00"
        # had its delta of 960 ("87 40") at the very end of the file.
        self.assertEqual(data["endOfTrackPos"], size + 16 - 4)
        self.assertEqual(data["markers"][:2], [{"text": "SFF1", "position": 22, "tick": 0},
                                               {"text": "SInt", "position": 30, "tick": 0}])
        self.assertEqual(data["markers"][2]["text"], ">Main A")
        self.assertEqual(data["markers"][2]["tick"], 7 * 1440 + 480)
        self.assertEqual(data["sections"], ["Main A"])
        self.assertEqual(channel(data, 1)["voice"], "Bass-XG")
        self.assertEqual(channel(data, 1)["bankMsb"], 0)
        self.assertEqual(channel(data, 2)["voice"], "Keyboard-GM")
        self.assertEqual(channel(data, 3)["voice"], "Strings-GM( 2)")
        self.assertEqual(channel(data, 3)["programChanges"], 2)
        self.assertEqual(channel(data, 10)["voice"], "Drum Kit-GM no PC")
        self.assertEqual([c["channel"] for c in data["channels"] if c["visible"]], [1, 2, 3, 10])
        self.assertEqual(data["messages"], [])

        text = run_info(path)
        self.assertEqual(text.returncode, 0)
        self.assertIn("Channel 3: Strings-GM( 2)", text.stdout)

    def test_set_up_markers_take_over_a_late_first_events_delta(self):
        events = [mido.Message("note_on", channel=0, note=60, velocity=1, time=200),
                  mido.MetaMessage("end_of_track", time=10)]
        path = self.save(song(events), "late.mid")
        done, data = info_json(path)
        self.assertEqual(done.returncode, 0)
        # The markers stand at the first event (tick 200, delta "81 48"), which follows them
        # with delta 0: "81 48" + "FF 06 04 SFF1" at 22, "00 FF 06 04 SInt" at 32, the note at 40.
        self.assertEqual(data["markers"], [{"text": "SFF1", "position": 22, "tick": 200},
                                           {"text": "SInt", "position": 31, "tick": 200}])
        self.assertEqual(data["musicStartPos"], 39)

    def test_type1_file_is_refused_with_the_message(self):
        mid = mido.MidiFile(type=1)
        mid.tracks.append(mido.MidiTrack([mido.MetaMessage("set_tempo", tempo=500000)]))
        mid.tracks.append(mido.MidiTrack([mido.Message("note_on", note=60)]))
        path = self.save(mid, "two-tracks.mid")
        done, data = info_json(path)
        message = ("This is not a type 0 midi file. Use your sequencer program or your PSR to "
                   "convert this midi to the proper form. Ssee Info/Help")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr, message + "\n")
        self.assertEqual(data["messages"], [message])
        self.assertEqual(data["caption"], "Zephrane")

    def test_style_keeps_its_casm_chunk(self):
        events = [mido.MetaMessage("marker", text="SFF1"), mido.MetaMessage("marker", text="SInt"),
                  mido.Message("note_on", channel=9, note=36, velocity=100),
                  mido.MetaMessage("end_of_track", time=0)]
        path = self.save(song(events), "style.sty")
        with open(path, "ab") as out:
            out.write(casm_of_one_segment())
        done, data = info_json(path)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(data["isStyleFile"])
        self.assertTrue(data["hasStyleCasm"])
        self.assertTrue(data["casmOptionsVisible"])

    def test_style_with_a_damaged_casm_chunk_is_not_offered_its_casm(self):
        # A CSEG length that lies past its CASM chunk: carried over, it would make a style that
        # no reader accepts.
        events = [mido.MetaMessage("marker", text="SFF1"), mido.MetaMessage("marker", text="SInt"),
                  mido.Message("note_on", channel=9, note=36, velocity=100),
                  mido.MetaMessage("end_of_track", time=0)]
        path = self.save(song(events), "damaged.sty")
        sound = casm_of_one_segment()
        with open(path, "ab") as out:
            out.write(sound[:12] + (0x7FFFFFFF).to_bytes(4, "big") + sound[16:])
        done, data = info_json(path)
        self.assertEqual(done.returncode, 0, done.stderr)
        offset = os.path.getsize(path) - len(sound) + 8
        problem = ('"CSEG" at offset %d declares 2147483647 data bytes, but only 14 remain in the '
                   'CASM chunk at offset %d; the rest of that CASM chunk is not read.'
                   % (offset, offset - 8))
        message = ("The CASM data of this style is damaged: " + problem +
                   " \"Use Style's Casm\" is not available for it; Save Style makes a new CASM "
                   "from the grid.")
        self.assertEqual(data["messages"], [message])
        self.assertFalse(data["hasStyleCasm"])
        self.assertFalse(data["casmOptionsVisible"])

    def test_missing_file_and_usage(self):
        done = run_info(self.path("nothing.mid"))
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr, "This file is Not found.\n")
        usage = subprocess.run([CLI, "info"], capture_output=True, text=True)
        self.assertEqual(usage.returncode, 2)

    def test_demo_song(self):
        done, data = info_json(DEMO)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(data["measureCount"], 34)
        self.assertEqual(data["styleName"], "Zephrane Demo")
        voices = {c["channel"]: c["voice"] for c in data["channels"] if c["visible"]}
        self.assertEqual(voices, {1: "Keyboard-GM", 2: "Bass-GM", 3: "Guitar-GM",
                                  4: "Strings-GM", 5: "Synth Lead-GM", 10: "Drum Kit-GM no PC"})


if __name__ == "__main__":
    unittest.main(verbosity=1)
