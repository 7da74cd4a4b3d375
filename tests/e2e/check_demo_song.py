#!/usr/bin/python3
"""Structural checks of the bundled demo song (a type-0 Standard MIDI File).

Usage: check_demo_song.py FILE.mid
Exits non-zero with a message at the first failed check.
"""

import collections
import shutil
import subprocess
import sys

import mido

DIVISION = 480
BAR = 4 * DIVISION
MEASURES = 34
# Channels as stored in the file (zero-based); musicians call them 1, 2, 3, 4, 5 and 10.
DRUMS = 9
PROGRAMS = {0: 0, 1: 33, 2: 25, 3: 48, 4: 80}  # General MIDI programs, counted from 0
NOTE_CHANNELS = {0, 1, 2, 3, 4, DRUMS}


class Checker:
    def __init__(self):
        self.passed = 0

    def check(self, condition, message):
        if not condition:
            sys.exit(f"demo song check failed: {message}")
        self.passed += 1


def read_variable_length(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, pos


def count_running_status(track):
    """Channel messages stored without their status byte (running status)."""
    data_lengths = {0x80: 2, 0x90: 2, 0xA0: 2, 0xB0: 2, 0xC0: 1, 0xD0: 1, 0xE0: 2}
    pos, running, reused = 0, None, 0
    while pos < len(track):
        _, pos = read_variable_length(track, pos)
        status = track[pos]
        if status == 0xFF:  # meta event: type, length, data; cancels running status
            length, pos = read_variable_length(track, pos + 2)
            pos += length
            running = None
        elif status in (0xF0, 0xF7):  # system exclusive; cancels running status
            length, pos = read_variable_length(track, pos + 1)
            pos += length
            running = None
        elif status >= 0x80:
            running = status
            pos += 1 + data_lengths[status & 0xF0]
        else:
            if running is None:
                raise ValueError(f"data byte without running status at offset {pos}")
            reused += 1
            pos += data_lengths[running & 0xF0]
    return reused


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_demo_song.py FILE.mid")
    path = sys.argv[1]
    c = Checker()

    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as error:
        sys.exit(f"demo song check failed: cannot read {path}: {error}")
    c.check(raw[:4] == b"MThd" and raw[4:8] == (6).to_bytes(4, "big"), "MThd header of length 6")
    c.check(raw[8:10] == b"\x00\x00", "format field is 0 in the header bytes")
    c.check(raw[10:12] == b"\x00\x01", "exactly one track chunk in the header bytes")
    c.check(raw[12:14] == DIVISION.to_bytes(2, "big"), f"division {DIVISION} in the header bytes")
    c.check(raw[14:18] == b"MTrk", "track chunk follows the header")
    track_length = int.from_bytes(raw[18:22], "big")
    c.check(22 + track_length == len(raw), "track chunk length matches the file size")
    for name, sequence in (
        ("time signature 4/4", b"\xff\x58\x04\x04\x02\x18\x08"),
        ("tempo 120", b"\xff\x51\x03\x07\xa1\x20"),
        ("key signature C major", b"\xff\x59\x02\x00\x00"),
        ("track name", b"\xff\x03\x0dZephrane Demo"),
    ):
        c.check(sequence in raw, f"{name} stored as {sequence.hex(' ')}")
    try:
        reused = count_running_status(raw[22:])
    except (IndexError, KeyError, ValueError) as error:
        sys.exit(f"demo song check failed: track bytes do not parse: {error}")
    c.check(reused > 0, "running status is used somewhere")

    mid = mido.MidiFile(path)
    c.check(mid.type == 0, f"file type is 0, found {mid.type}")
    c.check(len(mid.tracks) == 1, f"one track, found {len(mid.tracks)}")
    c.check(mid.ticks_per_beat == DIVISION, f"division {DIVISION}, found {mid.ticks_per_beat}")

    events = []  # (absolute tick, message)
    tick = 0
    for msg in mid.tracks[0]:
        tick += msg.time
        events.append((tick, msg))

    def metas(kind):
        return [(t, m) for t, m in events if m.is_meta and m.type == kind]

    time_signatures = metas("time_signature")
    c.check(len(time_signatures) == 1 and time_signatures[0][0] == 0, "one time signature, tick 0")
    ts = time_signatures[0][1]
    c.check(
        (ts.numerator, ts.denominator, ts.clocks_per_click, ts.notated_32nd_notes_per_beat)
        == (4, 4, 24, 8),
        f"time signature 4/4, 24, 8; found {ts}",
    )
    tempos = metas("set_tempo")
    c.check(len(tempos) == 1 and tempos[0][0] == 0, "one tempo, at tick 0")
    c.check(tempos[0][1].tempo == 500000, f"tempo 500000 us a quarter, found {tempos[0][1]}")
    keys = metas("key_signature")
    c.check(len(keys) == 1 and keys[0][0] == 0, "one key signature, at tick 0")
    c.check(keys[0][1].key == "C", f"key signature C major, found {keys[0][1].key}")
    names = metas("track_name")
    c.check(len(names) == 1 and names[0][0] == 0, "one track name, at tick 0")
    c.check(names[0][1].name == "Zephrane Demo", f"track name 'Zephrane Demo', found {names[0][1]}")

    end_tick = MEASURES * BAR
    ends = metas("end_of_track")
    c.check(len(ends) == 1 and events[-1][1].type == "end_of_track", "End of Track comes last")
    c.check(ends[0][0] == end_tick, f"End of Track at tick {end_tick}, found {ends[0][0]}")

    channel_events = [(t, m) for t, m in events if not m.is_meta]
    starts = [(t, m) for t, m in channel_events if m.type == "note_on" and m.velocity > 0]
    stops = [
        (t, m)
        for t, m in channel_events
        if m.type == "note_off" or (m.type == "note_on" and m.velocity == 0)
    ]
    c.check(starts and max(t for t, _ in starts) // BAR == MEASURES - 1, "last note in measure 33")
    c.check(all(t < end_tick for t, _ in starts), "no note starts after measure 33")
    c.check(all(t <= end_tick for t, _ in channel_events), "no event after the last bar line")
    c.check(
        len({t // BAR for t, _ in starts}) == MEASURES,
        "34 measures (0..33), each carrying music",
    )

    programs = [(t, m) for t, m in channel_events if m.type == "program_change"]
    found = {m.channel: m.program for _, m in programs}
    c.check(found == PROGRAMS, f"programs by channel {PROGRAMS}, found {found}")
    c.check(len(programs) == len(PROGRAMS), "one program change a channel")
    c.check(all(t == 0 for t, _ in programs), "program changes at tick 0")
    c.check(DRUMS not in found, "no program change on the drum channel")
    controls = [(t, m) for t, m in channel_events if m.type == "control_change"]
    c.check(
        not any(m.control in (0, 32) for _, m in controls), "no bank select (controllers 0, 32)"
    )
    for channel in sorted(NOTE_CHANNELS):
        for number, name in ((7, "volume"), (10, "pan")):
            c.check(
                any(t == 0 and m.channel == channel and m.control == number for t, m in controls),
                f"{name} on channel {channel + 1} at tick 0",
            )

    used = {m.channel for _, m in starts}
    c.check(
        used == NOTE_CHANNELS,
        f"notes on channels 1, 2, 3, 4, 5, 10; found {sorted(ch + 1 for ch in used)}",
    )
    for channel in sorted(NOTE_CHANNELS):
        c.check(
            any(m.channel == channel for _, m in starts), f"notes on channel {channel + 1}"
        )

    for measure in range(MEASURES):
        downbeat = measure * BAR
        c.check(
            any(t == downbeat for t, _ in channel_events), f"event on beat 1 of measure {measure}"
        )
        c.check(
            any(t == downbeat and m.channel == DRUMS for t, m in starts),
            f"drum note on beat 1 of measure {measure}",
        )

    sounding = collections.defaultdict(list)
    unmatched_stops = 0
    for t, m in channel_events:
        if m.type == "note_on" and m.velocity > 0:
            sounding[(m.channel, m.note)].append(t)
        elif m.type == "note_off" or (m.type == "note_on" and m.velocity == 0):
            if sounding[(m.channel, m.note)]:
                sounding[(m.channel, m.note)].pop(0)
            else:
                unmatched_stops += 1
    hanging = sorted((ch + 1, note, ticks[0]) for (ch, note), ticks in sounding.items() if ticks)
    c.check(not hanging, f"every note-on has its note-off; hanging (channel, key, tick): {hanging}")
    c.check(unmatched_stops == 0, f"{unmatched_stops} note-offs without a sounding note")
    c.check(len(starts) == len(stops), "as many note-offs as note-ons")

    midicsv = shutil.which("midicsv")
    c.check(midicsv is not None, "midicsv is installed")
    result = subprocess.run([midicsv, path], capture_output=True, text=True)
    c.check(result.returncode == 0, f"midicsv exits 0, got {result.returncode}: {result.stderr}")
    header = [line.split(",") for line in result.stdout.splitlines() if ", Header," in line]
    c.check(len(header) == 1, "midicsv prints one Header line")
    c.check(
        [field.strip() for field in header[0][3:6]] == ["0", "1", str(DIVISION)],
        f"midicsv Header says format 0, 1 track, division {DIVISION}: {','.join(header[0])}",
    )

    print(f"demo song: {c.passed} checks passed")


if __name__ == "__main__":
    main()
