#!/usr/bin/env python3
"""End-to-end: the working MIDI file `zephrane-cli working` writes of the demo song, read back by
mido, midicsv and a strict walk of its bytes (a status byte after every meta and SysEx event):
section markers on their measures, the text edits, the music untouched. (The golden digests hold
the conversions.)"""

import unittest

from e2e_support import FolderTest, MEASURE, STANDARD, absolute, midicsv, note_spans, read_bytes, \
    run, running_status_uses, take_arguments

CLI, DEMO = take_arguments("zephrane-cli", "demo/zephrane-demo.mid")


def musical_events(path):
    """Every event but markers, the track name and the copyright, with its absolute tick."""
    return [(tick, m.copy(time=0)) for tick, m in absolute(path)
            if m.type not in ("marker", "track_name", "copyright")]


class Working(FolderTest):
    def test_all_sections_are_marked_on_their_measures_and_the_music_is_untouched(self):
        out = self.path("out.mid")
        self.assert_run(run(CLI, "working", "--work-dir", self.fresh_work_dir(), "--raw",
                            "--all-sections", "--style-name", "Demo Swing", "--copyright",
                            "(c) 2026 Ann", "-o", out, DEMO))
        running_status_uses(read_bytes(out))  # fails on a status left out after a meta event
        found = {m.text: tick for tick, m in absolute(out) if m.type == "marker"}
        expected = {"SFF1": 0, "SInt": 0}
        for name, (start, end) in STANDARD.items():
            expected.update({">" + name: start * MEASURE, "<" + name: end * MEASURE})
        self.assertEqual(found, expected)
        self.assertEqual(musical_events(out), musical_events(DEMO))
        metas = {m.type: m for _, m in absolute(out) if m.is_meta}
        # The name event keeps its 13 characters: the new name is padded with blanks.
        self.assertEqual((metas["track_name"].name, metas["copyright"].text),
                         ("Demo Swing   ", "(c) 2026 Ann"))
        self.assertIn('Marker_t, ">Main A"', midicsv(out))
        # The demo song itself: one track of 34 measures, using running status, no hanging note.
        self.assertIn("0, 0, Header, 0, 1, 480\n", midicsv(DEMO))
        self.assertTrue(any(running_status_uses(read_bytes(DEMO))))
        self.assertEqual(max(start for start, *_ in note_spans(DEMO)) // MEASURE, 33)


if __name__ == "__main__":
    unittest.main(verbosity=1)
