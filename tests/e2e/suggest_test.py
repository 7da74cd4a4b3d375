#!/usr/bin/env python3
"""End-to-end: the section plan `zephrane-cli suggest` proposes for the demo song, whose mains
stand at their usual measures between free measures, and for a song mido writes: the JSON form
field for field, the text form line for line, and a file that is not a song refused."""

import json
import unittest

from e2e_support import STANDARD, FolderTest, band_song, run, take_arguments

CLI, DEMO = take_arguments("zephrane-cli", "demo/zephrane-demo.mid")

SECTION_FIELDS = ["section", "first", "last", "chord", "confidence", "reason"]


class Suggest(FolderTest):
    def suggest(self, song, *options):
        done = run(CLI, "suggest", "--work-dir", self.fresh_work_dir(), *options, song)
        self.assert_run(done)
        return done.stdout

    def test_the_demo_songs_mains_intro_and_ending_are_found_as_json_and_as_text(self):
        plan = json.loads(self.suggest(DEMO, "--json"))
        self.assertEqual(list(plan), ["measures", "chords", "sections"])
        self.assertEqual(plan["measures"], 34)
        # The chords as info --json finds them; every section starts over Cmaj7.
        self.assertEqual([(c["measure"], c["beat"], c["chord"]) for c in plan["chords"]],
                         [(0, 1, "N.C."), (1, 1, "Cmaj7"), (20, 3, "C"), (22, 1, "Cmaj7"),
                          (24, 3, "C"), (26, 1, "Cmaj7")])
        for section in plan["sections"]:
            self.assertEqual(list(section), SECTION_FIELDS)
            self.assertEqual(section["chord"], "Cmaj7")
            self.assertTrue(0 <= section["confidence"] <= 1, section)
        found = {s["section"]: (s["first"], s["last"]) for s in plan["sections"]}
        # Each main's two measures where the layout puts them; before Main A the intros, after
        # Main D the endings and fills, each alone between free measures, repeat nothing.
        mains = {key: (STANDARD[key][0], STANDARD[key][1] - 1)
                 for key in ("Main A", "Main B", "Main C", "Main D")}
        self.assertEqual(found, {"Intro A": (1, 7), **mains, "End A": (26, 32)})
        reasons = {s["section"]: s["reason"] for s in plan["sections"]}
        self.assertEqual(reasons["Main C"], "repeats 2 times from measure 14")
        self.assertEqual(reasons["Intro A"],
                         "the 7 measures before the first groove (Main A from measure 8)")
        # The text form: one line for each section of the JSON form.
        lines = self.suggest(DEMO).splitlines()
        self.assertEqual(len(lines), len(plan["sections"]))
        for line, s in zip(lines, plan["sections"]):
            measures, confidence = "%d-%d" % (s["first"], s["last"]), "%.2f" % s["confidence"]
            self.assertEqual(line.split()[:4], [*s["section"].split(), measures, confidence])
            self.assertTrue(line.endswith("  " + s["reason"]), line)
        self.assertEqual(lines[1], "Main A   8-9     0.51  repeats 2 times from measure 8")

    def test_a_song_of_one_groove_from_an_independent_writer_is_one_main(self):
        song = band_song(self.path("band.mid"), 8,
                         {1: (32, [(0, 36, 1), (1.5, 43, 0.5), (2, 36, 1)]),
                          2: (0, [(0, 60, 2), (2, 64, 2)])})
        plan = json.loads(self.suggest(song, "--json"))
        for section in plan["sections"]:
            del section["chord"]  # the demo's case checks the chords
        self.assertEqual(plan["sections"], [
            {"section": "Main A", "first": 0, "last": 7, "confidence": 1.0,
             "reason": "repeats 8 times from measure 0"}])

    def test_a_file_that_is_not_a_song_is_refused_and_nothing_printed(self):
        not_a_song = self.write("notes.mid", "just text")
        done = run(CLI, "suggest", "--json", "--work-dir", self.fresh_work_dir(), not_a_song)
        self.assertEqual((done.returncode, done.stdout), (1, ""))
        self.assertIn("This is not a type 0 midi file.", done.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=1)
