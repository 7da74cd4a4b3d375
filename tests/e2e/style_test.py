#!/usr/bin/env python3
"""End-to-end: `zephrane-cli style` on songs written by mido, the styles read back by mido,
midicsv and the raw bytes as well as by `zephrane-cli casm --json`: each section stands on its bar
line, lasts its measures and holds exactly its measures' notes."""

import json
import unittest

from e2e_support import FolderTest, MEASURE, STANDARD, absolute, band_song, markers, midicsv, \
    read_bytes, run, take_arguments

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


def notes_between(path, first, end):
    return [(tick - first, m.copy(time=0)) for tick, m in absolute(path)
            if first <= tick < end and m.type in ("note_on", "note_off")]


def sections(path):
    """(name, marker tick, end tick) in file order; a section ends at the next section marker or
    at End of Track."""
    found = [(tick, text) for tick, text in markers(path) if text in STANDARD]
    ends = [tick for tick, _ in found[1:]] + [absolute(path)[-1][0]]
    return [(text, tick, end) for (tick, text), end in zip(found, ends)]


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


if __name__ == "__main__":
    unittest.main(verbosity=1)
