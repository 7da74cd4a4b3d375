// Each listing is compared whole: a line per chunk, CSEG and record (tag, offset, declared length;
// whether a record's Ctab fields were read, else its byte count), then the problems.

#include "casm/casm_reader.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using Lines = std::vector<std::string>;

// Marker "SFF1", End of Track: the track ends at offset 34.
const Bytes kSong = test::SongFile(test::TrackBuilder().Marker(0, "SFF1").EndOfTrack());

Bytes Cseg(const std::string& sections, const Bytes& records) {
    return Chunk("CSEG", Concat({Chunk("Sdec", Bytes(sections.begin(), sections.end())), records}));
}
Bytes Style(const Bytes& csegs) {
    return Concat({kSong, Chunk("CASM", csegs)});
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
                lines.push_back(Header(r.tag, r.offset, r.length) +
                                (r.ctab ? " fields" : " raw " + std::to_string(r.bytes.size())));
        }
    }
    for (const std::string& problem : listing.problems)
        lines.push_back("! " + problem);
    return lines;
}

// A Ctab running past its CSEG ends that CSEG only; a Ctab too short for its fields, a stray
// chunk in the CASM, a header cut by its CSEG's end.
TEST(CasmReader, IncompleteSegmentsAreDescribed) {
    const Bytes badCtab = Concat({{'C', 't', 'a', 'b', 0, 0, 0, 40}, Bytes(27, 0)});
    const Bytes style =
        Style(Concat({Cseg("Main A", Concat({Chunk("Ctab", Bytes(27, 0x0B)), badCtab})),
                      Cseg("Main B", Chunk("Ctab", {})), Chunk("JUNK", {}),
                      Cseg("Main C", Concat({Chunk("Ctab", Bytes(27, 0x05)), {'C', 't', 'a'}}))}));
    EXPECT_EQ(
        Listing(style),
        (Lines{"end 34", "CASM 34 190", "CSEG 42 84 Main A", "Ctab 64 27 fields",
               "CSEG 134 22 Main B", "Ctab 156 0 raw 0", "CSEG 172 52 Main C", "Ctab 194 27 fields",
               "! \"Ctab\" at offset 99 declares 40 data bytes, but only 27 remain in the CSEG "
               "at offset 42; the rest of that CSEG is not read.",
               "! \"Ctab\" at offset 156 has 0 data bytes, fewer than the 27 of its fields; its "
               "bytes are listed as they are.",
               "! \"JUNK\" at offset 164 inside the CASM chunk at offset 34 is not a CSEG; it is "
               "skipped.",
               "! The last 3 bytes of the CSEG at offset 172, from offset 229, are too few for a "
               "chunk header (a 4-character tag and a 4-byte length); they are not read."}));
}

// Ctb2 and Cntt records read into their fields (each byte a different value, so that a field
// read from the wrong byte shows), and records of both too short for their fields.
TEST(CasmReader, Ctb2AndCnttRecordsAreReadIntoTheirFields) {
    Bytes ctb2 = {3, 'G', 't', 'r', ' ', 'e', '-', 'f', '#', 12, 1, 0x00, 0x70};
    for (uint8_t byte = 13; byte <= 40; ++byte)
        ctb2.push_back(byte);  // chord mute 13-17, root, chord, range 20 21, ranges 22..39, extra
    const Bytes style =
        Style(Cseg("Main A", Concat({Chunk("Ctb2", ctb2), Chunk("Cntt", {3, 0x8A}),
                                     Chunk("Ctb2", Bytes(39, 0)), Chunk("Cntt", {3})})));
    const CasmListing listing = ReadCasmListing(ByteImage(style));
    const std::vector<CasmRecord>& records = listing.chunks.at(0).csegs.at(0).records;
    ASSERT_EQ(records.size(), 4u);
    const Ctb2Fields& f = records[0].ctb2.value();
    EXPECT_EQ((std::vector<int>{f.common.sourceChannel, f.common.destinationChannel,
                                f.common.editable, f.common.noteMute[0], f.common.noteMute[1],
                                f.common.chordMute[0], f.common.chordMute[4], f.common.sourceRoot,
                                f.common.sourceChord, f.middleLowest, f.middleHighest}),
              (std::vector<int>{3, 12, 1, 0x00, 0x70, 13, 17, 18, 19, 20, 21}));
    EXPECT_EQ(f.common.name, "Gtr e-f#");
    std::vector<int> ranges;
    for (const RangeFields& r : {f.low, f.middle, f.high})
        ranges.insert(ranges.end(),
                      {r.ntr, r.ntt, r.highKey, r.lowLimit, r.highLimit, r.retrigger});
    std::vector<int> expected(18);
    std::iota(expected.begin(), expected.end(), 22);
    EXPECT_EQ(ranges, expected);
    EXPECT_EQ(f.extra, Bytes{40});
    EXPECT_EQ(records[0].bytes.size(), 41u);
    EXPECT_EQ((std::vector<int>{records[1].cntt->sourceChannel, records[1].cntt->ntt}),
              (std::vector<int>{3, 0x8A}));
    EXPECT_FALSE(records[2].ctb2 || records[3].cntt);
    EXPECT_EQ(listing.problems,
              (Lines{"\"Ctb2\" at offset 123 has 39 data bytes, fewer than the 40 of its fields; "
                     "its bytes are listed as they are.",
                     "\"Cntt\" at offset 170 has 1 data bytes, fewer than the 2 of its fields; its "
                     "bytes are listed as they are."}));
}

// The track's end, found by walking its events (the SysEx carries FF 2F 00 as data, a note under
// running status follows), and damage the malformed-file corpus does not hold.
TEST(CasmReader, TrackEndAndDamageOutsideTheCasmAreNamed) {
    test::TrackBuilder track;
    track.SysEx(0, {0xFF, 0x2F, 0x00, 0xF7}).NoteOn(0, 1, 60, 100).RunningStatus(16, {60, 0});
    const std::pair<Bytes, Lines> cases[] = {
        {Concat({test::SongFile(track.EndOfTrack()), Chunk("OTSc", {})}),
         {"end 40", "OTSc 40 0",
          "! The only chunk after the track is not a \"CASM\" chunk: there is no CASM data."}},
        {test::SongFile(test::TrackBuilder().Marker(0, "SFF1").EndOfTrack().Events(), 480, 1),
         {"end none",
          "! The MIDI file is of type 1, not type 0 (a single track); no chunks are read."}},
        {Concat({kSong, {'C', 'A', 'S', 'M', 0}}),
         {"end 34",
          "! The last 5 bytes of the file, from offset 34, are too few for a chunk header "
          "(a 4-character tag and a 4-byte length); they are not read."}}};
    for (const auto& [file, lines] : cases)
        EXPECT_EQ(Listing(file), lines);
}

// Guards against unchecked reads (the sanitizer build sees each one): every prefix of a sound style
// (a Ctab with a byte beyond its fields, OTSc after the CASM) and each byte set to 00, 7F, 80, FF.
TEST(CasmReader, EveryCutAndEveryChangedByteEndsInAListingNeverAFault) {
    const Bytes records = Concat({Chunk("Ctab", Bytes(27, 0x0B)), Chunk("Ctab", Bytes(28, 0x05)),
                                  Chunk("Cntt", {10, 0x83})});
    const Bytes style =
        Concat({Style(Cseg("Main A,Main B", records)), Chunk("OTSc", {1, 2, 3, 4})});
    for (size_t size = 0; size <= style.size(); ++size)
        EXPECT_NO_THROW(Listing(Bytes(style.begin(), style.begin() + size))) << "cut at " << size;
    for (size_t at = 0; at < style.size(); ++at) {
        for (const uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            Bytes changed = style;
            changed[at] = value;
            EXPECT_NO_THROW(Listing(changed)) << at << " = " << int{value};
        }
    }
}

}  // namespace
}  // namespace zephrane
