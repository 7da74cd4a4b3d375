#!/usr/bin/python3
"""Writes the corpus of malformed songs and styles, every byte by hand so that the files stay
exactly as damaged as intended: one folder per fault, each holding a few files that show it in
different places. Rewrites the folders beside this script, but the fuzz-* ones of fuzzer finds."""

import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))


def be32(value):
    return value.to_bytes(4, "big")


def chunk(tag, data, length=None):
    """A chunk; `length`, when given, lies about the length of its data."""
    return tag + be32(len(data) if length is None else length) + data


def header(division=480, length=None, extra=b""):
    """The MThd chunk of a type-0 file with one track; `extra` follows the division."""
    return chunk(b"MThd", bytes([0, 0, 0, 1]) + division.to_bytes(2, "big") + extra, length)


def song(events, length=None, head=None):
    """A type-0 file of one track holding `events`, after the header `head` (a sound one)."""
    return (head or header()) + chunk(b"MTrk", events, length)


def meta(kind, data):
    """A meta event at delta 0, of fewer than 128 bytes."""
    data = data.encode("latin-1") if isinstance(data, str) else data
    return bytes([0x00, 0xFF, kind, len(data)]) + data


TEMPO = meta(0x51, bytes([0x07, 0xA1, 0x20]))
TIME_SIGNATURE = meta(0x58, bytes([4, 2, 24, 8]))
END_OF_TRACK = bytes([0x00, 0xFF, 0x2F, 0x00])
# A program change, a note-on and the note-off a beat later.
NOTES = bytes([0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00])
# Two notes, then two more under running status after `between`.
RUNNING = bytes([0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x3E, 0x64])
RUN_ON = bytes([0x83, 0x60, 0x40, 0x64, 0x83, 0x60, 0x41, 0x64])

# A sound little song whose pieces the faults below are cut from.
EVENTS = meta(3, "Sound") + TEMPO + TIME_SIGNATURE + NOTES + END_OF_TRACK
SONG = song(EVENTS)
CTAB = b"Chord1  " + bytes([11, 0, 0x0F, 0xFF, 3, 255, 255, 255, 255, 0, 2, 1, 1, 0, 0, 127, 0, 0])


def style_casm(ctab_data=bytes([0]) + CTAB, casm_length=None, cseg_length=None, sdec_length=None,
               ctab_length=None):
    """A CASM chunk with one CSEG, its Sdec and one Ctab; each length may be made to lie."""
    cseg = chunk(b"Sdec", b"Main A", sdec_length) + chunk(b"Ctab", ctab_data, ctab_length)
    return chunk(b"CASM", chunk(b"CSEG", cseg, cseg_length), casm_length)


STYLE_TRACK = song(meta(3, "Style") + TEMPO + TIME_SIGNATURE + meta(6, "SFF1") + meta(6, "SInt") +
                   NOTES + meta(6, "Main A") + NOTES + END_OF_TRACK)

FAULTS = {
    # The file ends inside the MThd chunk, or before the track's length field is complete.
    "truncated-header": {"only-tag.mid": b"MThd", "before-format.mid": SONG[:9],
                         "before-division.mid": SONG[:12], "before-track-tag.mid": SONG[:14],
                         "inside-track-length.mid": SONG[:20]},
    # The track length field promises more bytes than the file holds (and, but in one, no End
    # of Track stops the walk before the end).
    "track-length-past-end": {
        "forty-more.mid": song(EVENTS[:-4], len(EVENTS) + 40),
        "four-gigabytes.mid": song(EVENTS[:-4], 0xFFFFFFFF),
        "cut-inside-note-off.mid": song(EVENTS[:-6], len(EVENTS) + 40),
        "with-end-of-track.mid": song(EVENTS, 0xFFFFFFFF)},
    # A variable-length quantity whose bytes all have their top bit set.
    "endless-variable-length-quantity": {
        "delta-to-the-end.mid": song(bytes([0x80] * 24)),
        "delta-beyond-32-bits.mid": song(bytes([0xFF] * 6 + [0, 0x90, 0x3C, 0x64]) + END_OF_TRACK),
        "meta-length-to-the-end.mid": song(TEMPO + bytes([0x00, 0xFF, 0x01] + [0x81] * 16))},
    # The first event has a data byte where its status byte belongs.
    "running-status-before-status": {
        "first-event.mid": song(bytes([0x00, 0x3C, 0x64]) + NOTES + END_OF_TRACK),
        "after-meta.mid": song(TEMPO + bytes([0x00, 0x3C, 0x64]) + END_OF_TRACK)},
    # Channel messages that go on under running status after a meta or system-exclusive event,
    # which the file format says cancel it; common readers and writers keep the channel's status.
    "running-status-after-meta-or-sysex": {
        name: song(TEMPO + TIME_SIGNATURE + RUNNING + between + RUN_ON + END_OF_TRACK)
        for name, between in (("after-text.mid", meta(1, "half way")), ("after-sysex.mid", bytes(
            [0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7])))},
    # The track stops without its End of Track event.
    "no-end-of-track": {"length-fits.mid": song(EVENTS[:-4]),
                        "cut-inside-end-of-track.mid": song(EVENTS[:-1])},
    # A system-exclusive event whose length runs past the end of the file.
    "sysex-length-past-end": {
        "f0.mid": song(TEMPO + bytes([0x00, 0xF0, 0x40, 0x43, 0x10, 0xF7])),
        "f7-escape.mid": song(TEMPO + bytes([0x00, 0xF7, 0x7F, 0x43])),
        "f0-huge.mid": song(bytes([0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0xF7]) + END_OF_TRACK)},
    # A meta event whose length runs past the end of the file.
    "meta-length-past-end": {
        "track-name.mid": song(bytes([0x00, 0xFF, 0x03, 0x40]) + b"Name"),
        "tempo.mid": song(bytes([0x00, 0xFF, 0x51, 0x20, 0x07, 0xA1])),
        "end-of-track.mid": song(TEMPO + bytes([0x00, 0xFF, 0x2F, 0x10]))},
    # Status bytes of system common and real-time messages, which a file cannot hold.
    "status-f1-to-fe": {  # but F7, which escapes SysEx
        f"status-{status:02x}.mid": song(TEMPO + TIME_SIGNATURE + bytes(
            [0x00, status, 0x00, 0x90, 0x3C, 0x64]) + NOTES + END_OF_TRACK)
        for status in range(0xF1, 0xFF) if status != 0xF7},
    # The division counts SMPTE frames (top bit set) instead of ticks per quarter note.
    "smpte-division": {"25-fps-40-ticks.mid": song(EVENTS, head=header(division=0xE728)),
                       "30-fps-80-ticks.mid": song(EVENTS, head=header(division=0xE250))},
    # A chunk of another type stands between MThd and the track.
    "junk-chunk-before-track": {
        "xfih.mid": song(EVENTS, head=header() + chunk(b"XFIH", b"junk!!")),
        "empty-chunk.mid": song(EVENTS, head=header() + chunk(b"JUNK", b"")),
        "two-chunks.mid": song(EVENTS, head=header() + chunk(b"XFIH", b"ab") +
                               chunk(b"XFKM", b"cde"))},
    # No chunk of the file is a track.
    "no-track-chunk": {
        "only-junk.mid": header() + chunk(b"XFIH", EVENTS),
        "junk-past-end.mid": song(EVENTS, head=header() + b"XFIH" + be32(0x7FFFFFFF)),
        "track-tag-cut.mid": header() + chunk(b"JUNK", b"") + b"MTrk" + bytes([0x00, 0x00])},
    # Not a MIDI file at all.
    "not-a-midi-file": {"zeros.mid": bytes(64),
                        "riff.mid": chunk(b"RIFF", b"WAVEfmt " + bytes(52), 56)},
    # The header chunk's length is not the 6 bytes of format, track count and division.
    "header-length-lies": {
        "too-short.mid": song(EVENTS, head=header(length=2)),
        "four-gigabytes.mid": song(EVENTS, head=header(length=0xFFFFFFFF)),
        "eight-with-extra-bytes.mid": song(EVENTS, head=header(length=8, extra=b"\x00\x00"))},
    # A division of no ticks per quarter note.
    "zero-division": {"division-0.mid": song(EVENTS, head=header(division=0))},
    # Styles whose CASM chunk lengths do not match their content.
    "style-casm-lengths-lie": {
        "casm-past-end.sty": STYLE_TRACK + style_casm(casm_length=0x00100000),
        "cseg-past-casm.sty": STYLE_TRACK + style_casm(cseg_length=0x7FFFFFFF),
        "sdec-past-end.sty": STYLE_TRACK + style_casm(sdec_length=0x01000000),
        "ctab-past-end.sty": STYLE_TRACK + style_casm(ctab_length=0x00010000),
        "ctab-too-short.sty": STYLE_TRACK + style_casm(ctab_data=bytes([0, 1, 2]), ctab_length=27),
        "ctab-channel-17.sty": STYLE_TRACK + style_casm(ctab_data=bytes([16]) + CTAB)},
}


def main():
    for fault, files in FAULTS.items():
        folder = os.path.join(HERE, fault)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)
    print(f"{sum(len(files) for files in FAULTS.values())} files in {len(FAULTS)} folders")


if __name__ == "__main__":
    main()
