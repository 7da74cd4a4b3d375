#!/usr/bin/env python3
"""End-to-end: `zephrane-cli style` on songs written by mido, the styles read back by independent
readers (mido, midicsv, the raw bytes) as well as by `zephrane-cli casm --json`."""

import json
import os
import subprocess
import sys
import unittest

import mido

from e2e_support import FolderTest

CLI = sys.argv.pop(1) if len(sys.argv) > 1 else "zephrane-cli"
DEMO = sys.argv.pop(1) if len(sys.argv) > 1 else "demo/zephrane-demo.mid"

TICKS_PER_BEAT = 480
TICKS_PER_MEASURE = 4 * TICKS_PER_BEAT

# Every marker text that names a section in a style.
SECTION_NAMES = {
    "Intro A", "Intro B", "Intro C", "Intro D", "Main A", "Main B", "Main C", "Main D",
    "Ending A", "Ending B", "Ending C", "Ending D", "Fill In AA", "Fill In BB", "Fill In CC",
    "Fill In DD", "Fill In BA",
}

# Standard layout: section name: (first measure, measure after the last one).
STANDARD = {
    "Intro A": (1, 2), "Intro B": (3, 5), "Intro C": (6, 7), "Main A": (8, 10),
    "Main B": (11, 13), "Main C": (14, 16), "Main D": (17, 19), "Ending A": (20, 21),
    "Ending B": (22, 23), "Ending C": (24, 25), "Fill In AA": (26, 27), "Fill In BB": (28, 29),
    "Fill In CC": (30, 31), "Fill In DD": (32, 33),
}
STANDARD_LIST = ("Intro A,Intro B,Intro C,Main A,Main B,Main C,Main D,Ending A,Ending B,"
                 "Ending C,Fill In AA,Fill In BB,Fill In CC,Fill In DD")

# BB layout: section name: (first measure, end with 4-measure mains, end with 8-measure mains).
BB = {
    "Intro A": (2, 6, 6), "Intro B": (6, 10, 10), "Intro C": (2, 10, 10),
    "Main A": (10, 14, 18), "Main B": (18, 22, 26), "Main C": (26, 30, 34),
    "Main D": (34, 38, 42), "Ending A": (42, 44, 44), "Ending B": (41, 44, 44),
    "Ending C": (40, 44, 44), "Fill In AA": (17, 18, 18), "Fill In BB": (25, 26, 26),
    "Fill In CC": (33, 34, 34), "Fill In DD": (41, 42, 42),
}
# Start markers in file order: where several share a measure the last one placed stands first.
BB_ORDER = ["Intro C", "Intro A", "Intro B", "Main A", "Fill In AA", "Main B", "Fill In BB",
            "Main C", "Fill In CC", "Main D", "Ending C", "Ending B", "Fill In DD", "Ending A"]

MIN_MEASURES_MAIN_A = (
    "To add this part requires a midi of at least 11 measures. GoSequencer and add the measures "
    "by copying and pasting the rhythm track or making a click track with a event on the first "
    "beat of every measure before selecting this part. Do this for 34 measures to accommodate "
    "all parts. ")
NO_MAIN_A = ("WARNING- Your style does not have a Main A section. This will cause some PSR's "
             "(e.g. 2000/9000) to act strangely.")


def run(*arguments):
    return subprocess.run([CLI, *arguments], capture_output=True, text=True, encoding="utf-8")


def write_song(path, measures, ticks_per_beat=TICKS_PER_BEAT, extra=(), time_signature=True):
    """A type-0 song in 4/4: programs at tick 0, then in every measure a bass drum on channel 10
    (a click on the first beat, which the section markers need) and notes on channels 1 to 3 that
    are released half a measure later, so every section's last event lies mid-measure.
    `extra` holds (tick, message) pairs placed after the other events of their tick. Without
    `time_signature` the song leaves 4/4 to the MIDI default."""
    ticks_per_measure = 4 * ticks_per_beat
    timed = [(0, 0, mido.MetaMessage("time_signature", numerator=4, denominator=4))]
    if not time_signature:
        timed = []
    timed += [(0, 0, mido.Message("program_change", channel=0, program=0)),      # piano
             (0, 0, mido.Message("program_change", channel=1, program=33)),     # finger bass
             (0, 0, mido.Message("program_change", channel=2, program=48))]     # strings
    for measure in range(measures):
        tick = measure * ticks_per_measure
        for channel, note in ((9, 36), (0, 60), (1, 40 + measure % 5), (2, 64)):
            timed.append((tick, 1, mido.Message("note_on", channel=channel, note=note,
                                                velocity=100 - measure)))
        timed.append((tick + ticks_per_beat // 2, 0, mido.Message("note_off", channel=9, note=36)))
        for channel, note in ((0, 60), (1, 40 + measure % 5), (2, 64)):
            timed.append((tick + ticks_per_measure // 2, 0,
                          mido.Message("note_off", channel=channel, note=note)))
    timed += [(tick, 2, message) for tick, message in extra]
    timed.sort(key=lambda entry: (entry[0], entry[1]))
    track = mido.MidiTrack()
    previous = 0
    for tick, _, message in timed:
        track.append(message.copy(time=tick - previous))
        previous = tick
    track.append(mido.MetaMessage("end_of_track", time=measures * ticks_per_measure - previous))
    mid = mido.MidiFile(type=0, ticks_per_beat=ticks_per_beat)
    mid.tracks.append(track)
    mid.save(path)
    return path


def absolute_events(path):
    """(tick, message) for every event of the first track; mido must read the file."""
    tick = 0
    events = []
    for message in mido.MidiFile(path).tracks[0]:
        tick += message.time
        events.append((tick, message))
    return events


def is_music(message):
    return not message.is_meta and message.type in ("note_on", "note_off")


def song_notes(path, first_tick, end_tick):
    """The notes of a song from first_tick up to end_tick, timed from first_tick."""
    return [(tick - first_tick, message.copy(time=0)) for tick, message in absolute_events(path)
            if first_tick <= tick < end_tick and is_music(message)]


def sections(path):
    """[(name, marker tick, end tick, notes timed from the marker)] in file order; a section ends
    at the next section marker or at End of Track."""
    found = []
    for tick, message in absolute_events(path):
        if message.is_meta and message.type == "marker" and message.text in SECTION_NAMES:
            found.append([message.text, tick, None, []])
        elif message.is_meta and message.type == "end_of_track":
            end = tick
        elif found and is_music(message):
            found[-1][3].append((tick - found[-1][1], message.copy(time=0)))
    for index, section in enumerate(found):
        section[2] = found[index + 1][1] if index + 1 < len(found) else end
    return [tuple(section) for section in found]


def markers(path):
    return [(tick, message.text) for tick, message in absolute_events(path)
            if message.is_meta and message.type == "marker"]


def track_end(path):
    """Index of the first byte after the track chunk, from the raw header bytes."""
    with open(path, "rb") as style:
        data = style.read()
    header_length = int.from_bytes(data[4:8], "big")
    track = 8 + header_length
    assert data[track:track + 4] == b"MTrk"
    return data, track + 8 + int.from_bytes(data[track + 4:track + 8], "big")


class Style(FolderTest):
    def style(self, song, output, *options):
        """Runs `style` with a fresh working folder; returns the finished process."""
        return run("style", "--work-dir", self.fresh_work_dir(), *options, "-o", output, song)

    def make(self, song, name, *options, messages=""):
        """A style that must be written: exit 0, only the expected messages; returns its path."""
        output = self.path(name)
        done = self.style(song, output, *options)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, messages)
        absolute_events(output)  # mido reads it
        return output

    def casm(self, style):
        done = run("casm", "--json", style)
        data = json.loads(done.stdout)
        self.assertEqual(done.returncode, 0, data["problems"])
        self.assertEqual(data["problems"], [])
        return data

    def section_list(self, style):
        return ",".join(cseg["sections"] for chunk in self.casm(style)["chunks"]
                        for cseg in chunk.get("csegs", []))

    def assert_layout(self, style, song, layout, order, ticks_per_measure=TICKS_PER_MEASURE):
        """Each section in `order` stands on a bar line, lasts its layout length and holds
        exactly the song's notes of its measures."""
        found = sections(style)
        self.assertEqual([name for name, *_ in found], order)
        for name, start, end, notes in found:
            first, last = layout[name]
            self.assertEqual(start % ticks_per_measure, 0, name + " is off the bar line")
            self.assertEqual(end - start, (last - first) * ticks_per_measure,
                             name + " does not last its measures")
            self.assertEqual(notes, song_notes(song, first * ticks_per_measure,
                                               last * ticks_per_measure),
                             name + " does not hold its measures' notes")

    def test_standard_layout_with_every_section(self):
        # Guards against a wrong lead-in, lost padding (sections drifting off the bar lines),
        # a wrong section order in the CASM, and ">"/"<" markers left in the style.
        song = write_song(self.path("song.mid"), 34)
        style = self.make(song, "all.sty", "--all-sections", "--auto-casm")

        found = markers(style)
        self.assertEqual(found[:2], [(0, "SFF1"), (0, "SInt")])
        self.assertEqual(found[2], (TICKS_PER_MEASURE, "Intro A"))
        self.assertEqual([text for _, text in found if text[0] in "<>"], [])
        self.assertEqual(len(found), 2 + 14)
        # The set-up part takes no time, so "Intro A" carries a whole measure, 1920 = "8F 00",
        # right after the last set-up event, the strings' program change "C2 30".
        data, _ = track_end(style)
        at = data.index(b"\xff\x06\x07Intro A")
        self.assertEqual(data[at - 4:at], b"\xc2\x30\x8f\x00")

        self.assertEqual(self.section_list(style), STANDARD_LIST)
        self.assert_layout(style, song, STANDARD, STANDARD_LIST.split(","))
        # The set-up measure and the 19 measures of the sections, back to back.
        self.assertEqual(sections(style)[-1][2], 20 * TICKS_PER_MEASURE)

        csv = subprocess.run(["midicsv", style], capture_output=True, text=True)
        self.assertEqual(csv.returncode, 0, csv.stderr)
        self.assertIn('Marker_t, "Fill In DD"', csv.stdout)

    def test_song_without_time_signature_takes_every_section_in_four_four(self):
        # Guards against a song without time signature counting no measures, which refuses
        # every section button.
        song = write_song(self.path("song.mid"), 35, time_signature=False)
        done = run("info", "--json", "--work-dir", self.fresh_work_dir(), song)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(json.loads(done.stdout)["measuresLabel"], "Measures:  35")

        style = self.make(song, "all.sty", "--all-sections", "--auto-casm")
        self.assertEqual(self.section_list(style), STANDARD_LIST)
        self.assert_layout(style, song, STANDARD, STANDARD_LIST.split(","))

    def test_section_ending_mid_measure_is_padded_to_its_bar_line(self):
        # Guards against a pad of the wrong size, a pad lost on the next marker, and the last
        # section stopping at its last note-off instead of on its bar line.
        song = write_song(self.path("song.mid"), 14)
        style = self.make(song, "pad.sty", "--sections", "Main A,Main B", "--auto-casm")

        events = absolute_events(style)
        main_a = [tick for tick, m in events if m.is_meta and m.type == "marker"
                  and m.text == "Main A"][0]
        main_b = [(tick, m.time) for tick, m in events if m.is_meta and m.type == "marker"
                  and m.text == "Main B"][0]
        end_of_track = [(tick, m.time) for tick, m in events if m.type == "end_of_track"][0]
        last_note_a = max(tick for tick, m in events if is_music(m) and tick < main_b[0])
        last_note_b = max(tick for tick, m in events if is_music(m))

        self.assertEqual(main_a, TICKS_PER_MEASURE)
        self.assertEqual(last_note_a - main_a, 3 * TICKS_PER_MEASURE // 2)
        # Half a measure of rest takes "Main B" to the bar line 2 measures on.
        self.assertEqual(main_b, (main_a + 2 * TICKS_PER_MEASURE, TICKS_PER_MEASURE // 2))
        self.assertEqual(last_note_b - main_b[0], 3 * TICKS_PER_MEASURE // 2)
        # The last section's rest rides on End of Track.
        self.assertEqual(end_of_track, (main_b[0] + 2 * TICKS_PER_MEASURE, TICKS_PER_MEASURE // 2))
        self.assertEqual(self.section_list(style), "Main A,Main B")
        self.assert_layout(style, song, STANDARD, ["Main A", "Main B"])

    def test_long_lead_in_takes_three_delta_bytes(self):
        # Guards against a lead-in cut to two bytes or written without its zero middle group:
        # 16384 ticks = 1 0000000 0000000 in groups of seven bits.
        song = write_song(self.path("fine.mid"), 4, ticks_per_beat=4096)
        style = self.make(song, "fine.sty", "--sections", "Intro A", "--auto-casm",
                          messages=NO_MAIN_A + "\n")

        # After the strings' program change "C2 30", the last set-up event.
        data, _ = track_end(style)
        at = data.index(b"\xff\x06\x07Intro A")
        self.assertEqual(data[at - 5:at], b"\xc2\x30\x81\x80\x00")
        self.assertEqual(mido.MidiFile(style).ticks_per_beat, 4096)
        self.assert_layout(style, song, STANDARD, ["Intro A"], ticks_per_measure=16384)

    def test_set_up_longer_than_a_measure_starts_on_the_next_bar_line(self):
        # Guards against a negative lead-in when the set-up events run past the set-up measure:
        # a volume change at 1 measure + 80 ticks leaves 1840 ticks to the bar line at 2 measures.
        volume_at = TICKS_PER_MEASURE + 80
        song = self.path("late.mid")
        track = mido.MidiTrack([
            mido.MetaMessage("time_signature", numerator=4, denominator=4),
            mido.Message("program_change", channel=0, program=0),
            mido.Message("control_change", channel=0, control=7, value=100, time=volume_at)])
        previous = volume_at
        for measure in range(8, 12):
            tick = measure * TICKS_PER_MEASURE
            track += [mido.Message("note_on", channel=9, note=36, velocity=100, time=tick - previous),
                      mido.Message("note_on", channel=0, note=60, velocity=100),
                      mido.Message("note_off", channel=9, note=36, time=240),
                      mido.Message("note_off", channel=0, note=60, time=720)]
            previous = tick + 960
        track.append(mido.MetaMessage("end_of_track", time=12 * TICKS_PER_MEASURE - previous))
        mid = mido.MidiFile(type=0, ticks_per_beat=TICKS_PER_BEAT)
        mid.tracks.append(track)
        mid.save(song)
        style = self.make(song, "late.sty", "--sections", "Main A", "--auto-casm")

        events = absolute_events(style)
        volume = [tick for tick, m in events if m.type == "control_change" and m.control == 7]
        self.assertEqual(volume, [volume_at])
        main_a = [(tick, m.time) for tick, m in events if m.is_meta and m.type == "marker"
                  and m.text == "Main A"]
        self.assertEqual(main_a, [(2 * TICKS_PER_MEASURE, TICKS_PER_MEASURE - 80)])
        self.assert_layout(style, song, STANDARD, ["Main A"])

    def test_start_marker_without_end_marker_is_listed_without_data(self):
        # Guards against a section copied to the end of the song (or the track broken) when its
        # end marker is missing, and against its name missing from the CASM.
        song = write_song(self.path("song.mid"), 14, extra=[
            (11 * TICKS_PER_MEASURE + TICKS_PER_BEAT, mido.MetaMessage("marker", text=">Main B"))])
        style = self.make(song, "open.sty", "--sections", "Main A", "--auto-casm")

        self.assertEqual(self.section_list(style), "Main A,Main B")
        self.assertEqual(markers(style), [(0, "SFF1"), (0, "SInt"), (TICKS_PER_MEASURE, "Main A")])
        self.assert_layout(style, song, STANDARD, ["Main A"])
        # Nothing of measures 10 to 13 came along: only Main A's notes are in the style.
        self.assertEqual(len([1 for _, m in absolute_events(style) if is_music(m)]),
                         len(song_notes(song, 8 * TICKS_PER_MEASURE, 10 * TICKS_PER_MEASURE)))

    def test_bb_layout_with_four_and_eight_measure_mains(self):
        # Guards against wrong BB lengths, overlapping sections copied short, and sections off
        # their bar lines where several markers share a measure.
        song = write_song(self.path("bb.mid"), 45)
        for flag, end in (("--bb", 1), ("--bb8", 2)):
            with self.subTest(flag):
                style = self.make(song, flag[2:] + ".sty", flag)
                layout = {name: (row[0], row[end]) for name, row in BB.items()}
                self.assertEqual(self.section_list(style), ",".join(BB_ORDER))
                self.assert_layout(style, song, layout, BB_ORDER)
                self.assertEqual([text for _, text in markers(style) if text[0] in "<>"], [])
                lengths = {name: (e - s) // TICKS_PER_MEASURE for name, s, e, _ in sections(style)}
                self.assertEqual(lengths["Main A"], 4 * end)
                self.assertEqual(lengths["Intro C"], 8)
                self.assertEqual(lengths["Ending A"], 2)
                self.assertEqual(lengths["Ending C"], 4)

    def test_style_saved_again_with_its_own_casm(self):
        # Guards against a CASM chunk rebuilt or altered instead of copied, against sections
        # whose music changes on a second pass, and against the last section losing its rest.
        song = write_song(self.path("song.mid"), 34)
        first = self.make(song, "first.sty", "--all-sections", "--auto-casm")
        second = self.make(first, "second.sty", "--use-style-casm")

        first_bytes, first_end = track_end(first)
        second_bytes, second_end = track_end(second)
        self.assertEqual(self.casm(second)["trackEnd"], second_end)
        self.assertEqual(second_bytes[second_end:], first_bytes[first_end:])
        self.assertEqual(self.section_list(second), STANDARD_LIST)
        self.assertEqual(sections(second), sections(first))
        name, start, end, _ = sections(second)[-1]
        self.assertEqual((name, end - start), ("Fill In DD", TICKS_PER_MEASURE))

    def test_demo_song_with_automatic_casm(self):
        # Guards against channels dropped from the CASM or given the wrong parts.
        style = self.make(DEMO, "demo.sty", "--all-sections", "--auto-casm")
        data = self.casm(style)
        records = [record for chunk in data["chunks"] for cseg in chunk.get("csegs", [])
                   for record in cseg["records"] if record["tag"] == "Ctab"]
        parts = {record["sourceChannel"] + 1: record["name"].rstrip() for record in records}
        self.assertEqual(len(records), 6)
        self.assertEqual(parts, {1: "Chord 1", 2: "Bass", 3: "Chord 2", 4: "Pad", 5: "Phrase 1",
                                 10: "Rhythm"})
        self.assertEqual(self.section_list(style), STANDARD_LIST)
        csv = subprocess.run(["midicsv", style], capture_output=True, text=True)
        self.assertEqual(csv.returncode, 0, csv.stderr)
        self.assertIn("End_track", csv.stdout)

    def test_refusals_write_nothing(self):
        # Guards against a style written (or an old one overwritten) after a refusal.
        short = write_song(self.path("short.mid"), 5)
        song = write_song(self.path("song.mid"), 12)
        output = self.path("out.sty")

        done = self.style(short, output, "--sections", "Main A", "--auto-casm")
        self.assertEqual((done.returncode, done.stderr), (1, MIN_MEASURES_MAIN_A + "\n"))
        self.assertFalse(os.path.exists(output))

        done = self.style(song, output, "--auto-casm")
        self.assertEqual((done.returncode, done.stderr),
                         (1, NO_MAIN_A + "\nAt least one style section should be selected\n"))
        self.assertFalse(os.path.exists(output))

        done = self.style(song, output, "--sections", "Main A", "--clear-casm")
        self.assertEqual(
            (done.returncode, done.stderr),
            (1, "At least one Part In the CASM must be assigned for a style to be created\n"))
        self.assertFalse(os.path.exists(output))

        with open(output, "wb") as existing:
            existing.write(b"keep me")
        done = self.style(song, output, "--sections", "Main A", "--auto-casm")
        self.assertEqual((done.returncode, done.stderr), (1, "This will replace existing file\n"))
        with open(output, "rb") as kept:
            self.assertEqual(kept.read(), b"keep me")


if __name__ == "__main__":
    unittest.main(verbosity=1)
