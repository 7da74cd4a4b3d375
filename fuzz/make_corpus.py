#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The songs are written here byte by byte; the working files and styles are made from them by
zephrane-cli, as a user would make them. Every seed stays a few KB, so that the fuzzers mutate
quickly. Run after a change of the file formats, then commit the result:

    fuzz/make_corpus.py path/to/zephrane-cli
"""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
TARGETS = ("load", "prepare", "style", "convert", "casm", "sections")

DIVISION = 96  # ticks per quarter note: small deltas keep the seeds small


def vlq(value):
    """A MIDI variable-length quantity."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def meta(delta, kind, data):
    return vlq(delta) + bytes([0xFF, kind]) + vlq(len(data)) + data


def text(delta, kind, words):
    return meta(delta, kind, words.encode("latin-1"))


def sysex(delta, data_with_f7):
    return vlq(delta) + bytes([0xF0]) + vlq(len(data_with_f7)) + data_with_f7


def channel(delta, status, *data):
    return vlq(delta) + bytes([status, *data])


def end_of_track(delta=0):
    return meta(delta, 0x2F, b"")


def song(events, division=DIVISION):
    """A type-0 Standard MIDI File with one track."""
    track = b"".join(events)
    return (b"MThd" + (6).to_bytes(4, "big") + (0).to_bytes(2, "big") + (1).to_bytes(2, "big") +
            division.to_bytes(2, "big") + b"MTrk" + len(track).to_bytes(4, "big") + track)


def set_up(name, numerator=4, denominator_power=2, sharps=0, minor=0, tempo=500000):
    return [
        text(0, 3, name),
        text(0, 2, "(c) Zephrane seeds"),
        meta(0, 0x51, tempo.to_bytes(3, "big")),
        meta(0, 0x58, bytes([numerator, denominator_power, 24, 8])),
        meta(0, 0x59, bytes([sharps & 0xFF, minor])),
        sysex(0, bytes([0x7E, 0x7F, 0x09, 0x01, 0xF7])),  # GM System On
        sysex(0, bytes([0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7])),  # XG System On
    ]


def voices(assignments):
    """Bank select and program change for (channel, bank MSB, program) triples."""
    events = []
    for chan, msb, program in assignments:
        events.append(channel(0, 0xB0 | chan, 0, msb))
        events.append(channel(0, 0xB0 | chan, 32, 0))
        events.append(channel(0, 0xC0 | chan, program))
        events.append(channel(0, 0xB0 | chan, 7, 100))
    return events


def band_song(name, measures, beats=4, sharps=0, minor=0):
    """Piano, bass, guitar, strings and drums, one short figure per measure and part."""
    beat = DIVISION * 4 // (4 if beats != 6 else 8)
    measure = beats * beat
    events = set_up(name, beats, 2 if beats != 6 else 3, sharps, minor)
    events += voices([(0, 0, 0), (1, 0, 33), (2, 0, 25), (3, 0, 48), (9, 127, 0)])
    roots = [48, 53, 55, 48, 57, 50, 55, 52]
    pending = 0
    for bar in range(measures):
        root = roots[bar % len(roots)]
        # Drums: kick on the first beat, snare on the second, under running status.
        events.append(channel(pending, 0x99, 36, 100))
        events.append(vlq(0) + bytes([42, 80]))
        events.append(vlq(beat) + bytes([36, 0]))
        events.append(vlq(0) + bytes([42, 0]))
        events.append(channel(0, 0x99, 38, 90))
        events.append(channel(0, 0x91, root - 12, 96))  # bass
        events.append(channel(0, 0x90, root + 12, 80))  # piano chord
        events.append(channel(0, 0x90, root + 16, 80))
        events.append(channel(0, 0x93, root + 7, 60))  # strings
        events.append(channel(beat // 2, 0x92, root + 19, 70))  # guitar
        events.append(channel(beat // 2, 0x89, 38, 0))
        events.append(channel(0, 0x82, root + 19, 0))
        if bar % 4 == 3:
            events.append(channel(0, 0xE0, 0x00, 0x50))  # a pitch bend and its return
            events.append(channel(0, 0xE0, 0x00, 0x40))
        events.append(channel(0, 0x81, root - 12, 0))
        events.append(channel(0, 0x80, root + 12, 0))
        events.append(channel(0, 0x80, root + 16, 0))
        events.append(channel(0, 0x83, root + 7, 64))
        pending = measure - 2 * beat
    events.append(end_of_track(pending))
    return song(events)


def odd_events_song():
    """Every kind of event a reader has to step over, in a few measures."""
    measure = 4 * DIVISION
    events = set_up("Odd events", sharps=-3, minor=1)
    events += [
        meta(0, 0x00, b"\x00\x01"),  # sequence number
        text(0, 1, "Text event"),
        text(0, 4, "Instrument"),
        text(0, 5, "Lyric"),
        text(0, 7, "Cue point"),
        meta(0, 0x20, b"\x00"),  # channel prefix
        meta(0, 0x21, b"\x00"),  # port
        meta(0, 0x54, bytes([0x60, 0, 0, 0, 0])),  # SMPTE offset
        meta(0, 0x7F, bytes([0x43, 0x7B, 0x00, 0x58, 0x46, 0x30, 0x32])),  # sequencer-specific
        vlq(0) + bytes([0xF7, 0x03, 0x43, 0x12, 0x00]),  # escaped bytes
        sysex(0, bytes([0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x00, 0xF7])),  # reverb type
        sysex(0, bytes([0x43, 0x10, 0x4C, 0x02, 0x01, 0x20, 0x42, 0x11, 0xF7])),  # chorus type
        channel(0, 0xB4, 0, 8),
        channel(0, 0xC4, 80),
        channel(0, 0xB4, 91, 40),
        channel(0, 0xB4, 93, 20),
        channel(0, 0xB4, 10, 64),
        channel(0, 0xB4, 11, 127),
        channel(0, 0xB4, 64, 127),
        channel(0, 0xD4, 30),  # channel pressure
        channel(0, 0x94, 72, 100),
        channel(0, 0xA4, 72, 40),  # key pressure
        channel(DIVISION, 0x94, 72, 0),
        text(0, 6, "Main A"),
        channel(0, 0x94, 74, 90),
        channel(measure - DIVISION, 0x84, 74, 0),
        meta(0, 0x51, (600000).to_bytes(3, "big")),
        meta(0, 0x58, bytes([3, 2, 24, 8])),
        channel(0, 0x94, 76, 90),
        channel(3 * DIVISION, 0x84, 76, 0),
        text(0, 6, "Main B"),
        channel(0, 0x95, 60, 90),
        channel(3 * DIVISION, 0x85, 60, 0),
        end_of_track(),
    ]
    return song(events)


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def run_cli(cli, work, *arguments):
    result = subprocess.run([cli, *arguments, "--work-dir", work, "--force"], capture_output=True,
                            text=True)
    if result.returncode != 0:
        sys.exit(f"zephrane-cli {' '.join(arguments)} failed:\n{result.stderr}")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    cli = os.path.abspath(sys.argv[1])
    for target in TARGETS:
        shutil.rmtree(os.path.join(CORPUS, target), ignore_errors=True)

    with tempfile.TemporaryDirectory() as scratch:
        work = os.path.join(scratch, "work")
        made = os.path.join(scratch, "made")
        os.makedirs(work)
        songs = {
            "band-34.mid": band_song("Band 34", 34, sharps=1),
            "waltz-14.mid": band_song("Waltz 14", 14, beats=3, sharps=-1, minor=1),
            "six-eight-8.mid": band_song("Six Eight", 8, beats=6, sharps=2),
            "bb-44.mid": band_song("BB 44", 44),
            "odd-events.mid": odd_events_song(),
        }
        for name, data in songs.items():
            write(made, name, data)
        made_path = lambda name: os.path.join(made, name)  # noqa: E731

        # Working files, as "Open File" and the section buttons leave them.
        run_cli(cli, work, "working", "--all-sections", "--auto-casm", made_path("band-34.mid"),
                "-o", made_path("work-band-34.mid"))
        run_cli(cli, work, "working", "--sections", "Intro A,Intro B,Main A,Main B", "--auto-casm",
                made_path("waltz-14.mid"), "-o", made_path("work-waltz-14.mid"))
        run_cli(cli, work, "working", "--sections", "Main A", "--auto-casm", "--convert",
                "sevenths", made_path("band-34.mid"), "-o", made_path("work-converted.mid"))
        # Styles, as "Save Style" writes them.
        run_cli(cli, work, "style", "--all-sections", "--auto-casm", made_path("band-34.mid"),
                "-o", made_path("band-34.sty"))
        run_cli(cli, work, "style", "--sections", "Intro A,Intro B,Main A,Main B", "--auto-casm",
                made_path("waltz-14.mid"), "-o", made_path("waltz-14.sty"))
        run_cli(cli, work, "style", "--bb", "--auto-casm", made_path("bb-44.mid"), "-o",
                made_path("bb-44.sty"))
        run_cli(cli, work, "style", "--use-style-casm", made_path("waltz-14.sty"), "-o",
                made_path("restyled.sty"))

        song_seeds = list(songs)
        working_seeds = ["work-band-34.mid", "work-waltz-14.mid", "work-converted.mid"]
        style_seeds = ["band-34.sty", "waltz-14.sty", "bb-44.sty", "restyled.sty"]
        chosen = {
            "load": song_seeds + working_seeds + style_seeds,
            "prepare": song_seeds + working_seeds + style_seeds,
            "style": ["band-34.mid", "odd-events.mid"] + working_seeds + style_seeds,
            "convert": ["waltz-14.mid", "odd-events.mid"] + working_seeds + style_seeds,
            "casm": style_seeds,
            "sections": ["band-34.mid", "bb-44.mid", "odd-events.mid"] + working_seeds,
        }
        for target, names in chosen.items():
            for name in names:
                with open(made_path(name), "rb") as seed:
                    write(os.path.join(CORPUS, target), name, seed.read())
    for target in TARGETS:
        folder = os.path.join(CORPUS, target)
        sizes = [os.path.getsize(os.path.join(folder, name)) for name in os.listdir(folder)]
        print(f"{target}: {len(sizes)} seeds, largest {max(sizes)} bytes")


if __name__ == "__main__":
    main()
