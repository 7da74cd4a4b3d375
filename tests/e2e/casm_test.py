#!/usr/bin/env python3
"""End-to-end: `zephrane-cli casm` on styles whose track is written by mido, an independent MIDI
library, followed by CASM bytes written out here."""

import json
import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"


def run_casm(path, *extra):
    return subprocess.run([CLI, "casm", *extra, path], capture_output=True, text=True,
                          encoding="utf-8")


def chunk(tag, data):
    """A chunk: 4-character tag, 4-byte big-endian length of the data, the data."""
    return tag + len(data).to_bytes(4, "big") + data


# Ctab data, 27 bytes: source channel, name (8), destination, editable, note mute (2),
# chord mute (5), source root, source chord, NTR, NTT, high key, low limit, high limit,
# retrigger, special feature.
BASS = bytes([2]) + b"Bass    " + bytes([10, 0, 0x0F, 0xFF, 3, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0, 2, 0, 3, 3, 28, 127, 4, 0])
# Channel 10 as the rhythm part, with one byte beyond the 27 fields.
RHYTHM = bytes([9]) + b"Rhythm  " + bytes([9, 0, 0x0F, 0xFF, 7, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0, 0, 0, 0, 0, 0, 127, 0, 0]) + bytes([0x5A])


class CasmCommand(FolderTest):
    def song(self, name):
        """A type-0 song written by mido; returns its path and size (where the track ends)."""
        mid = mido.MidiFile(type=0, ticks_per_beat=480)
        mid.tracks.append(mido.MidiTrack([
            mido.MetaMessage("marker", text="SFF1"),
            mido.MetaMessage("marker", text="SInt"),
            mido.Message("program_change", channel=2, program=33),
            mido.Message("note_on", channel=2, note=40, velocity=100),
            mido.Message("note_on", channel=9, note=36, velocity=100),
            mido.Message("note_off", channel=2, note=40, time=1920),
            mido.Message("note_off", channel=9, note=36),
            mido.MetaMessage("end_of_track", time=0),
        ]))
        path = self.path(name)
        mid.save(path)
        return path, os.path.getsize(path)

    def style(self, name, after_track):
        path, track_end = self.song(name)
        with open(path, "ab") as out:
            out.write(after_track)
        return path, track_end

    def test_sound_style_lists_every_chunk_and_ctab_field(self):
        sdec = chunk(b"Sdec", b"Main A,Main B")                # 8 + 13
        cntt = chunk(b"Cntt", bytes([2, 0x83]))                # 8 + 2
        cseg = chunk(b"CSEG", sdec + chunk(b"Ctab", BASS) + chunk(b"Ctab", RHYTHM) + cntt)
        casm = chunk(b"CASM", cseg)
        otsc = chunk(b"OTSc", bytes(range(10)))
        path, end = self.style("sound.sty", casm + otsc)
        self.assertEqual(len(cseg), 8 + 21 + 35 + 36 + 10)

        done = run_casm(path, "--json")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        data = json.loads(done.stdout)
        self.assertEqual(list(data), ["file", "trackEnd", "chunks", "problems"])
        self.assertEqual(data["file"], path)
        self.assertEqual(data["trackEnd"], end)
        self.assertEqual(data["problems"], [])
        self.assertEqual(len(data["chunks"]), 2)
        casm_out, otsc_out = data["chunks"]
        self.assertEqual(otsc_out, {"tag": "OTSc", "offset": end + len(casm), "length": 10})
        self.assertEqual(list(casm_out), ["tag", "offset", "length", "csegs"])
        self.assertEqual((casm_out["tag"], casm_out["offset"], casm_out["length"]),
                         ("CASM", end, len(cseg)))
        self.assertEqual(len(casm_out["csegs"]), 1)
        cseg_out = casm_out["csegs"][0]
        self.assertEqual(cseg_out["length"], len(cseg) - 8)
        self.assertEqual(cseg_out["sections"], "Main A,Main B")
        bass, rhythm, cntt_out = cseg_out["records"]
        self.assertEqual(bass, {
            "tag": "Ctab", "length": 27, "sourceChannel": 2, "name": "Bass    ",
            "destinationChannel": 10, "editable": 0, "noteMute": [15, 255],
            "chordMute": [3, 255, 255, 255, 255], "sourceRoot": 0, "sourceChord": 2,
            "ntr": 0, "ntt": 3, "highKey": 3, "lowLimit": 28, "highLimit": 127,
            "retrigger": 4, "specialFeature": 0, "extra": []})
        self.assertEqual(list(bass), [  # the fields in the order of their bytes
            "tag", "length", "sourceChannel", "name", "destinationChannel", "editable",
            "noteMute", "chordMute", "sourceRoot", "sourceChord", "ntr", "ntt", "highKey",
            "lowLimit", "highLimit", "retrigger", "specialFeature", "extra"])
        self.assertEqual(list(cseg_out), ["length", "sections", "records"])
        self.assertEqual(rhythm["length"], 28)
        self.assertEqual(rhythm["sourceChannel"], 9)
        self.assertEqual(rhythm["destinationChannel"], 9)
        self.assertEqual(rhythm["chordMute"], [7, 255, 255, 255, 255])
        self.assertEqual(rhythm["extra"], [0x5A])
        self.assertEqual(cntt_out, {"tag": "Cntt", "length": 2, "bytes": [2, 131]})

        text = run_casm(path)
        self.assertEqual(text.returncode, 0)
        self.assertIn(f"Track ends at offset {end}\n", text.stdout)
        self.assertIn('sections "Main A,Main B"', text.stdout)
        self.assertIn(f"OTSc at {end + len(casm)}, length 10\n", text.stdout)
        self.assertNotIn("Problems", text.stdout)

    def test_casm_length_past_the_end_is_a_problem(self):
        casm = b"CASM" + (500).to_bytes(4, "big") + chunk(b"CSEG", chunk(b"Sdec", b"Main A"))
        path, end = self.style("long.sty", casm)
        done = run_casm(path, "--json")
        self.assertEqual(done.returncode, 1)
        data = json.loads(done.stdout)
        self.assertEqual(data["trackEnd"], end)
        self.assertEqual(data["chunks"], [])
        self.assertEqual(data["problems"], [
            f'"CASM" at offset {end} declares 500 data bytes, but only 22 remain in the file; '
            "the rest of the file is not read."])
        text = run_casm(path)
        self.assertEqual(text.returncode, 1)
        self.assertIn("Problems:\n", text.stdout)

    def test_ctab_past_its_segment_keeps_the_listing_before_it(self):
        # The CSEG says 14 + 20 bytes; its Ctab declares 27 data bytes.
        cseg_content = chunk(b"Sdec", b"Main A") + b"Ctab" + (27).to_bytes(4, "big") + BASS[:12]
        path, end = self.style("short.sty", chunk(b"CASM", chunk(b"CSEG", cseg_content)))
        done = run_casm(path, "--json")
        self.assertEqual(done.returncode, 1)
        data = json.loads(done.stdout)
        self.assertEqual(data["chunks"][0]["csegs"],
                         [{"length": 34, "sections": "Main A", "records": []}])
        self.assertEqual(data["problems"], [
            f'"Ctab" at offset {end + 30} declares 27 data bytes, but only 12 remain in the CSEG '
            f"at offset {end + 8}; the rest of that CSEG is not read."])

    def test_song_without_chunks_and_missing_file(self):
        path, end = self.song("plain.mid")
        done = run_casm(path, "--json")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(json.loads(done.stdout)["problems"], [
            f"No chunk follows the track, which ends at offset {end} with the file: there is no "
            "CASM data."])

        missing = run_casm(self.path("nothing.sty"), "--json")
        self.assertEqual(missing.returncode, 1)
        self.assertEqual(missing.stdout, "")
        self.assertEqual(missing.stderr, "This file is Not found.\n")

        usage = subprocess.run([CLI, "casm"], capture_output=True, text=True)
        self.assertEqual(usage.returncode, 2)


if __name__ == "__main__":
    unittest.main(verbosity=1)
