#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/: songs written byte by
byte here, working files and styles made from them by zephrane-cli as a user makes them, each a
few KB so that the fuzzers mutate quickly. Run after a change of the file formats, then commit:

    fuzz/make_corpus.py path/to/zephrane-cli
"""

import os
import shutil
import subprocess
import sys
import tempfile

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
DIVISION = 96  # ticks per quarter note: small deltas keep the seeds small


def vlq(value):
    out = [value & 0x7F]
    while value > 0x7F:
        value >>= 7
        out.insert(0, 0x80 | (value & 0x7F))
    return bytes(out)


def ev(delta, *data):
    return vlq(delta) + bytes(data)


def meta(delta, kind, data):
    return ev(delta, 0xFF, kind) + vlq(len(data)) + data


def text(delta, kind, words):
    return meta(delta, kind, words.encode("latin-1"))


def sysex(*data_with_f7):
    return ev(0, 0xF0) + vlq(len(data_with_f7)) + bytes(data_with_f7)


def song(events):
    """A type-0 Standard MIDI File with one track."""
    track = b"".join(events)
    return (b"MThd" + bytes([0, 0, 0, 6, 0, 0, 0, 1]) + DIVISION.to_bytes(2, "big") + b"MTrk" +
            len(track).to_bytes(4, "big") + track)


def set_up(name, numerator=4, denominator_power=2, sharps=0, minor=0):
    return [text(0, 3, name), text(0, 2, "(c) Zephrane seeds"),
            meta(0, 0x51, (500000).to_bytes(3, "big")),
            meta(0, 0x58, bytes([numerator, denominator_power, 24, 8])),
            meta(0, 0x59, bytes([sharps & 0xFF, minor])),
            sysex(0x7E, 0x7F, 0x09, 0x01, 0xF7),  # GM System On
            sysex(0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7)]  # XG System On


def band_song(name, measures, beats=4, sharps=0, minor=0):
    """Piano, bass, guitar, strings and drums, one short figure per measure and part."""
    beat = DIVISION * 4 // (4 if beats != 6 else 8)
    events = set_up(name, beats, 2 if beats != 6 else 3, sharps, minor)
    for chan, msb, program in [(0, 0, 0), (1, 0, 33), (2, 0, 25), (3, 0, 48), (9, 127, 0)]:
        events += [ev(0, 0xB0 | chan, 0, msb), ev(0, 0xB0 | chan, 32, 0),
                   ev(0, 0xC0 | chan, program), ev(0, 0xB0 | chan, 7, 100)]
    pending = 0
    for bar in range(measures):
        root = [48, 53, 55, 48, 57, 50, 55, 52][bar % 8]
        # Drums: kick and hi-hat on the first beat under running status, snare on the second.
        events += [ev(pending, 0x99, 36, 100), ev(0, 42, 80), ev(beat, 36, 0), ev(0, 42, 0),
                   ev(0, 0x99, 38, 90), ev(0, 0x91, root - 12, 96), ev(0, 0x90, root + 12, 80),
                   ev(0, 0x90, root + 16, 80), ev(0, 0x93, root + 7, 60),
                   ev(beat // 2, 0x92, root + 19, 70), ev(beat // 2, 0x89, 38, 0),
                   ev(0, 0x82, root + 19, 0)]
        if bar % 4 == 3:  # a pitch bend and its return
            events += [ev(0, 0xE0, 0x00, 0x50), ev(0, 0xE0, 0x00, 0x40)]
        events += [ev(0, 0x81, root - 12, 0), ev(0, 0x80, root + 12, 0),
                   ev(0, 0x80, root + 16, 0), ev(0, 0x83, root + 7, 64)]
        pending = (beats - 2) * beat
    return song(events + [meta(pending, 0x2F, b"")])


def odd_events_song():
    """Every kind of event a reader has to step over, in a few measures."""
    return song(set_up("Odd events", sharps=-3, minor=1) + [
        meta(0, 0x00, b"\x00\x01"), text(0, 1, "Text event"), text(0, 4, "Instrument"),
        text(0, 5, "Lyric"), text(0, 7, "Cue point"), meta(0, 0x20, b"\x00"),  # channel prefix
        meta(0, 0x21, b"\x00"), meta(0, 0x54, bytes([0x60, 0, 0, 0, 0])),  # port, SMPTE offset
        meta(0, 0x7F, bytes([0x43, 0x7B, 0x00, 0x58, 0x46, 0x30, 0x32])),  # sequencer-specific
        ev(0, 0xF7, 0x03, 0x43, 0x12, 0x00),  # escaped bytes
        sysex(0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x00, 0xF7),  # reverb type
        sysex(0x43, 0x10, 0x4C, 0x02, 0x01, 0x20, 0x42, 0x11, 0xF7),  # chorus type
        ev(0, 0xB4, 0, 8), ev(0, 0xC4, 80), ev(0, 0xB4, 91, 40), ev(0, 0xB4, 93, 20),
        ev(0, 0xB4, 10, 64), ev(0, 0xB4, 11, 127), ev(0, 0xB4, 64, 127),
        ev(0, 0xD4, 30), ev(0, 0x94, 72, 100), ev(0, 0xA4, 72, 40),  # channel and key pressure
        ev(DIVISION, 0x94, 72, 0), text(0, 6, "Main A"), ev(0, 0x94, 74, 90),
        ev(3 * DIVISION, 0x84, 74, 0), meta(0, 0x51, (600000).to_bytes(3, "big")),
        meta(0, 0x58, bytes([3, 2, 24, 8])), ev(0, 0x94, 76, 90), ev(3 * DIVISION, 0x84, 76, 0),
        text(0, 6, "Main B"), ev(0, 0x95, 60, 90), ev(3 * DIVISION, 0x85, 60, 0),
        meta(0, 0x2F, b"")])


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    cli = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as scratch:
        made = lambda name: os.path.join(scratch, name)  # noqa: E731

        def run_cli(*arguments):
            result = subprocess.run([cli, *arguments, "--work-dir", scratch, "--force"],
                                    capture_output=True, text=True)
            if result.returncode != 0:
                sys.exit(f"zephrane-cli {' '.join(arguments)} failed:\n{result.stderr}")

        songs = {"band-34.mid": band_song("Band 34", 34, sharps=1),
                 "waltz-14.mid": band_song("Waltz 14", 14, beats=3, sharps=-1, minor=1),
                 "six-eight-8.mid": band_song("Six Eight", 8, beats=6, sharps=2),
                 "bb-44.mid": band_song("BB 44", 44), "odd-events.mid": odd_events_song()}
        for name, data in songs.items():
            with open(made(name), "wb") as out:
                out.write(data)
        four = "Intro A,Intro B,Main A,Main B"
        # Working files, as "Open File" and the section buttons leave them; styles, as
        # "Save Style" writes them.
        for command, options, source, seed in [
                ("working", ["--all-sections"], "band-34.mid", "work-band-34.mid"),
                ("working", ["--sections", four], "waltz-14.mid", "work-waltz-14.mid"),
                ("working", ["--sections", "Main A", "--convert", "sevenths"], "band-34.mid",
                 "work-converted.mid"),
                ("style", ["--all-sections"], "band-34.mid", "band-34.sty"),
                ("style", ["--sections", four], "waltz-14.mid", "waltz-14.sty"),
                ("style", ["--bb"], "bb-44.mid", "bb-44.sty")]:
            run_cli(command, *options, "--auto-casm", made(source), "-o", made(seed))
        run_cli("style", "--use-style-casm", made("waltz-14.sty"), "-o", made("restyled.sty"))

        working = ["work-band-34.mid", "work-waltz-14.mid", "work-converted.mid"]
        styles = ["band-34.sty", "waltz-14.sty", "bb-44.sty", "restyled.sty"]
        chosen = {"load": list(songs) + working + styles,
                  "prepare": list(songs) + working + styles,
                  "style": ["band-34.mid", "odd-events.mid"] + working + styles,
                  "convert": ["waltz-14.mid", "odd-events.mid"] + working + styles,
                  "casm": styles,
                  "sections": ["band-34.mid", "bb-44.mid", "odd-events.mid"] + working}
        for target, names in chosen.items():
            folder = os.path.join(CORPUS, target)
            shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(folder)
            for name in names:
                shutil.copy(made(name), folder)
            print(f"{target}: {len(names)} seeds, largest "
                  f"{max(os.path.getsize(made(name)) for name in names)} bytes")


if __name__ == "__main__":
    main()
