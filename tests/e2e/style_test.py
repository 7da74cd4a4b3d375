#!/usr/bin/env python3
"""End-to-end: `zephrane-cli style` on songs written by mido, the styles read back by mido,
midicsv and the raw bytes as well as by `zephrane-cli casm --json`: each section stands on its bar
line, lasts its measures and holds exactly its measures' notes."""

import json
import unittest

from e2e_support import FolderTest, MEASURE, STANDARD, band_song, markers, midicsv, \
    notes_between, read_bytes, run, sections, take_arguments

CLI = take_arguments("zephrane-cli")
PARTS = {0: (0, [(0, 60, 2)]), 1: (33, [(0, 40, 2)]), 2: (48, [(0, 64, 2)])}  # released mid-bar
# BB layout: section: (first measure, end with 4-measure mains, end with 8-measure mains), in
# file order: where several share a measure the last one placed stands first.
BB = {"Intro C": (2, 10, 10), "Intro A": (2, 6, 6), "Intro B": (6, 10, 10),
      "Main A": (10, 14, 18), "Fill In AA": (17, 18, 18), "Main B": (18, 22, 26),
      "Fill In BB": (25, 26, 26), "Main C": (26, 30, 34), "Fill In CC": (33, 34, 34),
      "Main D": (34, 38, 42), "Ending C": (40, 44, 44), "Ending B": (41, 44, 44),
      "Fill In DD": (41, 42, 42), "Ending A": (42, 44, 44)}
ALL = ("--all-sections", "--auto-casm")
NO_MAIN_A = ("WARNING- Your style does not have a Main A section. This will cause some PSR's "
             "(e.g. 2000/9000) to act strangely.\n")


class Style(FolderTest):
    def make(self, song, name, *options, messages=""):
        self.assert_run(run(CLI, "style", "--work-dir", self.fresh_work_dir(), *options, "-o",
                            self.path(name), song), 0, messages)
        return self.path(name)

    def section_list(self, style):
        done = run(CLI, "casm", "--json", style)
        data = json.loads(done.stdout)
        self.assertEqual((done.returncode, data["problems"]), (0, []))
        return ",".join(cseg["sections"] for chunk in data["chunks"]
                        for cseg in chunk.get("csegs", []))

    def assert_layout(self, style, song, layout, per_measure=MEASURE):
        """The style's sections are those of `layout` in its order, in its CASM too; each stands on
        a bar line, lasts its measures and holds exactly the song's notes of them."""
        found = sections(style)
        self.assertEqual([name for name, *_ in found], list(layout))
        self.assertEqual(self.section_list(style).split(","), list(layout))
        for name, start, end in found:
            first, last = layout[name]
            self.assertEqual((start % per_measure, end - start), (0, (last - first) * per_measure),
                             name)
            self.assertEqual(notes_between(style, start, end),
                             notes_between(song, first * per_measure, last * per_measure), name)

    def test_layouts(self):
        # Guards against a wrong lead-in, lost padding (sections drifting off their bar lines),
        # a wrong section order in the CASM, and ">"/"<" markers left in the style. The set-up
        # takes no time: after its last event, the strings' program "C2 30", the first section
        # carries a whole measure, 1920 = "8F 00", or 16384 = 1 0000000 0000000 in three bytes.
        cases = [  # song: (measures, band_song options), style options, layout, lead-in, messages
            ((35, {}), ALL, STANDARD, b"\x8f\x00", ""),
            ((35, {"time_signature": False}), ALL, STANDARD, b"\x8f\x00", ""),  # 4/4 then
            ((14, {}), ("--sections", "Main A,Main B", "--auto-casm"),
             {"Main A": (8, 10), "Main B": (11, 13)}, None, ""),
            ((4, {"ticks_per_beat": 4096}), ("--sections", "Intro A", "--auto-casm"),
             {"Intro A": (1, 2)}, b"\x81\x80\x00", NO_MAIN_A),
            ((45, {}), ("--bb",), {name: row[:2] for name, row in BB.items()}, None, ""),
            ((45, {}), ("--bb8",), {name: row[::2] for name, row in BB.items()}, None, "")]
        for number, ((measures, shape), options, layout, lead_in, messages) in enumerate(cases):
            with self.subTest(options=options, **shape):
                song = band_song(self.path("song%d.mid" % number), measures, PARTS, **shape)
                style = self.make(song, "%d.sty" % number, *options, messages=messages)
                self.assert_layout(style, song, layout, 4 * shape.get("ticks_per_beat", 480))
                self.assertEqual(markers(style)[:2], [(0, "SFF1"), (0, "SInt")])
                self.assertEqual([text for _, text in markers(style) if text[0] in "<>"], [])
                if lead_in:
                    self.assertIn(b"\xc2\x30" + lead_in + b"\xff\x06\x07Intro A", read_bytes(style))
                self.assertIn("End_track", midicsv(style))

    def test_casm_lists_the_fields_of_ctb2_and_cntt_records(self):
        """A Ctb2's three ranges (each byte of them a different number, so that a field printed
        from the wrong byte shows) with the bass-on bit of its NTT, and a Cntt, in text and
        JSON; the JSON keeps their bytes too."""
        header = bytes([3]) + b"Gtr e-f#" + bytes([12, 0, 0x00, 0x70, 1, 2, 3, 4, 5, 9, 2, 48, 84])
        ranges = bytes([1, 0, 1, 10, 20, 0, 2, 1, 11, 12, 13, 3, 0, 0x89, 7, 36, 96, 4])
        ctb2 = header + ranges + bytes([99])
        style = self.write("gtr.sty", style_with_ctb2(ctb2, bytes([3, 0x83])))
        done = run(CLI, "casm", style)
        self.assert_run(done)
        self.assertEqual(done.stdout.splitlines()[4:], [
            "    Ctb2 at 66, length 41: source channel 3 \"Gtr e-f#\" to destination 12, editable 0",
            "      note mute 0 112, chord mute 1 2 3 4 5",
            "      source root 9, source chord 2, middle range 48 to 84",
            "      low range: NTR 1, NTT 0, high key 1, low limit 10, high limit 20, retrigger 0",
            "      middle range: NTR 2, NTT 1, high key 11, low limit 12, high limit 13, retrigger 3",
            "      high range: NTR 0, NTT 9 (bass on), high key 7, low limit 36, high limit 96, "
            "retrigger 4",
            "      extra 99",
            "    Cntt at 115, length 2: source channel 3, NTT 3 (bass on)"])
        records = json.loads(run(CLI, "casm", "--json", style).stdout)["chunks"][0]["csegs"][0][
            "records"]
        self.assertEqual(records[0]["ranges"]["high"], {
            "ntr": 0, "ntt": 9, "bassOn": True, "highKey": 7, "lowLimit": 36, "highLimit": 96,
            "retrigger": 4})
        self.assertEqual([records[0][key] for key in ("middleLowest", "middleHighest", "extra")],
                         [48, 84, [99]])
        self.assertEqual(records[0]["bytes"], list(ctb2))
        self.assertEqual(records[1], {"tag": "Cntt", "length": 2, "sourceChannel": 3, "ntt": 3,
                                      "bassOn": True, "bytes": [3, 0x83]})


def style_with_ctb2(ctb2, cntt):
    """A style of one empty "Main A" section (its track written byte by byte: it ends at offset
    36) whose CASM holds one CSEG with `ctb2` and `cntt`."""
    def chunk(tag, data):
        return tag + len(data).to_bytes(4, "big") + data
    track = b"\x00\xff\x06\x06Main A\x00\xff\x2f\x00"
    song = chunk(b"MThd", bytes([0, 0, 0, 1, 1, 0xE0])) + chunk(b"MTrk", track)
    return song + chunk(b"CASM", chunk(b"CSEG", chunk(b"Sdec", b"Main A") + chunk(b"Ctb2", ctb2) +
                                       chunk(b"Cntt", cntt)))


if __name__ == "__main__":
    unittest.main(verbosity=1)
