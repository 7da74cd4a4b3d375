// Each listing is compared whole: a line per chunk, CSEG and record (tag, file offset, declared
// length, Ctab fields), then the problems.

#include "casm/casm_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using Lines = std::vector<std::string>;

// Marker "SFF1", End of Track: the track ends at offset 34.
const Bytes kSong = test::SongFile(test::TrackBuilder().Marker(0, "SFF1").EndOfTrack());

// Ctab fields as hex bytes with the 8-character name quoted: source channel, name, destination,
// editable, note mute (2), chord mute (5), source root and chord, NTR, NTT, high key, low and
// high limit, retrigger, special feature; "+" and the bytes beyond the 27.
const std::string kSubRhythm =
    "09 'SubRhyth' 08 00 0F FF 07 FF FF FF FF 00 00 00 00 00 00 7F 00 00";
// Bass in D maj7 on the major chords: Root Trans, Bass, high key D#, E2..G10, Retrigger to Root.
const std::string kBass = "0A 'Bass    ' 0A 00 0F FF 03 FF F9 00 FF 02 02 00 03 03 1C 7F 04 00";
// Chord 1 in D min7 and in F maj: Root Fixed, Melody, high key G, C4..C7, Pitch Shift To Root.
const std::string kChordInD = "0B 'Chord 1 ' 0B 00 0F FF 03 FF FF FF FF 02 0A 01 01 07 30 54 02 00";
const std::string kChordInF = "0B 'Chord 1 ' 0B 00 0F FF 03 FF FF FF FF 05 00 01 01 07 30 54 02 00";

std::string Hex(const Bytes& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += (text.empty() ? "" : " ") + std::string(digits);
    }
    return text;
}

Bytes Ctab(const std::string& fields) {
    Bytes data;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == '\'') {
            const size_t close = fields.find('\'', i + 1);
            data.insert(data.end(), fields.begin() + i + 1, fields.begin() + close);
            i = close;
        } else if (std::isxdigit(static_cast<unsigned char>(fields[i]))) {
            data.push_back(static_cast<uint8_t>(std::stoi(fields.substr(i++, 2), nullptr, 16)));
        }
    }
    return Chunk("Ctab", data);
}

Bytes Cseg(const std::string& sections, const Bytes& records) {
    return Chunk("CSEG", Concat({Chunk("Sdec", Bytes(sections.begin(), sections.end())), records}));
}
Bytes Style(const Bytes& csegs) {
    return Concat({kSong, Chunk("CASM", csegs)});
}

std::string Fields(const CtabFields& c) {
    Bytes rest = {c.destinationChannel, c.editable, c.noteMute[0], c.noteMute[1]};
    rest.insert(rest.end(), c.chordMute.begin(), c.chordMute.end());
    rest.insert(rest.end(), {c.sourceRoot, c.sourceChord, c.ntr, c.ntt, c.highKey, c.lowLimit,
                             c.highLimit, c.retrigger, c.specialFeature});
    const std::string extra = c.extra.empty() ? "" : " + " + Hex(c.extra);
    return Hex({c.sourceChannel}) + " '" + c.name + "' " + Hex(rest) + extra;
}

std::string Header(const std::string& tag, int64_t offset, uint32_t length) {
    return tag + " " + std::to_string(offset) + " " + std::to_string(length);
}

Lines Listing(const Bytes& file) {
    const CasmListing listing = ReadCasmListing(ByteImage(file));
    Lines lines = {"end " + (listing.trackEnd ? std::to_string(*listing.trackEnd) : "none")};
    for (const StyleChunk& chunk : listing.chunks) {
        lines.push_back(Header(chunk.tag, chunk.offset, chunk.length));
        for (const CasmSegment& cseg : chunk.csegs) {
            lines.push_back(Header("CSEG", cseg.offset, cseg.length) + " " +
                            cseg.sections.value_or("(no Sdec)"));
            for (const CasmRecord& r : cseg.records)
                lines.push_back(Header(r.tag, r.offset, r.length) + " " +
                                (r.ctab ? Fields(*r.ctab) : "raw " + Hex(r.bytes)));
        }
    }
    for (const std::string& problem : listing.problems)
        lines.push_back("! " + problem);
    return lines;
}

// The Bass Ctab has a byte beyond its fields; an OTSc chunk follows the CASM.
Bytes SoundStyle() {
    const Bytes records = Concat(
        {Ctab(kSubRhythm), Ctab(kBass + " + 5A"), Ctab(kChordInD), Chunk("Cntt", {10, 0x83})});
    return Concat({Style(Cseg("Main A,Main B", records)), Chunk("OTSc", {1, 2, 3, 4})});
}

Bytes Patched(Bytes bytes, size_t at, const Bytes& patch) {
    std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

Bytes Cut(const Bytes& bytes, size_t size) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

TEST(CasmReader, SoundStyleIsListedChunkByChunkAndCtabsFieldByField) {
    EXPECT_EQ(Listing(SoundStyle()),
              (Lines{"end 34", "CASM 34 145", "CSEG 42 137 Main A,Main B",
                     "Ctab 71 27 " + kSubRhythm, "Ctab 106 28 " + kBass + " + 5A",
                     "Ctab 142 27 " + kChordInD, "Cntt 177 2 raw 0A 83", "OTSc 187 4"}));
}

// The events are walked: the SysEx carries FF 2F 00 as data, a note under running status follows.
TEST(CasmReader, TrackEndFollowsTheEndOfTrackEventAfterRunningStatusAndSysEx) {
    test::TrackBuilder track;
    track.SysEx(0, {0xFF, 0x2F, 0x00, 0xF7}).NoteOn(0, 1, 60, 100).RunningStatus(16, {60, 0});
    track.EndOfTrack();
    EXPECT_EQ(Listing(Concat({test::SongFile(track), Chunk("OTSc", {})})),
              (Lines{"end 40", "OTSc 40 0",
                     "! The only chunk after the track is not a \"CASM\" chunk: there is no CASM "
                     "data."}));
}

TEST(CasmReader, StaleTrackLengthIsReportedAndTheEventsDecide) {
    const Lines stale = Listing(Patched(SoundStyle(), 21, {8}));
    EXPECT_EQ(
        Lines(stale.begin() + 7, stale.end()),
        (Lines{"OTSc 187 4",
               "! The track length at offset 18 declares 8 bytes, but the End of Track event "
               "ends the track after 12 bytes, at offset 34; the chunks are read from there."}));
}

// A Ctab too short for its fields, a CSEG without Sdec, a stray chunk in the CASM, a header cut
// by its CSEG's end; a Ctab running past its CSEG ends that CSEG only.
TEST(CasmReader, IncompleteSegmentsAreDescribed) {
    const Bytes badCtab = Concat({{'C', 't', 'a', 'b', 0, 0, 0, 40}, Bytes(27, 0)});
    const Bytes style =
        Style(Concat({Cseg("Main A", Concat({Ctab(kChordInD), badCtab})),
                      Cseg("Main B", Chunk("Ctab", {})), Chunk("CSEG", {}), Chunk("JUNK", {}),
                      Cseg("Main C", Concat({Ctab(kChordInF), {'C', 't', 'a'}}))}));
    EXPECT_EQ(
        Listing(style),
        (Lines{"end 34", "CASM 34 198", "CSEG 42 84 Main A", "Ctab 64 27 " + kChordInD,
               "CSEG 134 22 Main B", "Ctab 156 0 raw ", "CSEG 164 0 (no Sdec)",
               "CSEG 180 52 Main C", "Ctab 202 27 " + kChordInF,
               "! \"Ctab\" at offset 99 declares 40 data bytes, but only 27 remain in the CSEG "
               "at offset 42; the rest of that CSEG is not read.",
               "! \"Ctab\" at offset 156 has 0 data bytes, fewer than the 27 of its fields; its "
               "bytes are listed as they are.",
               "! The CSEG at offset 164 holds no \"Sdec\" chunk: no sections are named for its "
               "records.",
               "! \"JUNK\" at offset 172 inside the CASM chunk at offset 34 is not a CSEG; it is "
               "skipped.",
               "! The last 3 bytes of the CSEG at offset 180, from offset 237, are too few for a "
               "chunk header (a 4-character tag and a 4-byte length); they are not read."}));
}

// Files whose track or chunks cannot be read at all: nothing is listed, the problem is named.
TEST(CasmReader, DamagedFilesListNoChunksAndNameTheirProblem) {
    const struct {
        Bytes file;
        const char* end;
        const char* problem;
    } cases[] = {
        {Cut(kSong, 10), "end none",
         "The file has 10 bytes, too few for the MIDI header and the track header (22 bytes); no "
         "chunks are read."},
        {Patched(kSong, 0, {'R', 'I', 'F', 0}), "end none",
         "The file does not begin with \"MThd\" (it begins with \"RIF\\x00\"): it is not a "
         "Standard MIDI File; no chunks are read."},
        {Patched(SoundStyle(), 7, {4}), "end none",
         "The header chunk \"MThd\" declares 4 data bytes, too few for the format, the track "
         "count and the division (6 bytes); no chunks are read."},
        {Patched(kSong, 9, {1}), "end none",
         "The MIDI file is of type 1, not type 0 (a single track); no chunks are read."},
        {Patched(kSong, 14, {'X'}), "end none",
         "Offset 14 holds \"XTrk\" where the track chunk \"MTrk\" must begin; no chunks are read."},
        {Cut(kSong, 33), "end none",  // 30: 00 FF 2F without its length
         "The file ends inside the track: the event at offset 30 runs past the end of the file "
         "(33 bytes); no chunks are read."},
        {Cut(kSong, 30), "end none",
         "The track has no End of Track event before the end of the file (30 bytes); no chunks "
         "are read."},
        {kSong, "end 34",
         "No chunk follows the track, which ends at offset 34 with the file: there is no CASM "
         "data."},
        {Concat({kSong, {'C', 'A', 'S', 'M', 0, 0, 1, 0}, Chunk("CSEG", {0, 0})}), "end 34",
         "\"CASM\" at offset 34 declares 256 data bytes, but only 10 remain in the file; the rest "
         "of the file is not read."},
        {Concat({kSong, {'C', 'A', 'S', 'M', 0}}), "end 34",
         "The last 5 bytes of the file, from offset 34, are too few for a chunk header (a "
         "4-character tag and a 4-byte length); they are not read."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Listing(c.file), (Lines{c.end, std::string("! ") + c.problem}));
}

// Guards against any unchecked read: every prefix of a sound style, and the style with each byte
// replaced by 00, 7F, 80 or FF, must be read without an exception (the sanitizer build also sees
// every read).
TEST(CasmReader, EveryCutAndEveryChangedByteEndsInAListingNeverAFault) {
    const Bytes style = SoundStyle();
    for (size_t size = 0; size <= style.size(); ++size)
        EXPECT_NO_THROW(Listing(Cut(style, size))) << "cut at " << size;
    for (size_t at = 0; at < style.size(); ++at) {
        for (const uint8_t value : {0x00, 0x7F, 0x80, 0xFF})
            EXPECT_NO_THROW(Listing(Patched(style, at, {value}))) << at << " = " << int{value};
    }
}

}  // namespace
}  // namespace zephrane
