// The inspection reader of the chunks after a style's track: every byte of the styles below is
// written out here, with the offsets at which each chunk starts.

#include "casm/casm_reader.h"

#include <gtest/gtest.h>

#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;

// clang-format off

// The song every style starts with: the track ends at offset 34.
const Bytes kSong = {
    'M', 'T', 'h', 'd', 0, 0, 0, 6,          //  0: header chunk, 6 bytes
    0, 0, 0, 1, 0x01, 0xE0,                  //  8: type 0, one track, 480 ticks a quarter
    'M', 'T', 'r', 'k', 0, 0, 0, 12,         // 14: track chunk, 12 bytes from 22
    0x00, 0xFF, 0x06, 4, 'S', 'F', 'F', '1', // 22: marker "SFF1"
    0x00, 0xFF, 0x2F, 0x00,                  // 30: End of Track; 34 is the byte after it
};

// Sdec "Main A": 14 bytes.
const Bytes kSdecMainA = {'S', 'd', 'e', 'c', 0, 0, 0, 6, 'M', 'a', 'i', 'n', ' ', 'A'};
const Bytes kSdecMainB = {'S', 'd', 'e', 'c', 0, 0, 0, 6, 'M', 'a', 'i', 'n', ' ', 'B'};

// Ctab records, 8 header bytes and 27 data bytes: source channel, name (8), destination,
// editable, note mute (2), chord mute (5), source root, source chord, NTR, NTT, high key,
// low limit, high limit, retrigger, special feature.
const Bytes kCtabChannel9Rhythm = {
    'C', 't', 'a', 'b', 0, 0, 0, 27,
    8, 'R', 'h', 'y', 't', 'h', 'm', ' ', ' ', 9, 0, 0x0F, 0xFF,
    0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 127, 0, 0,
};
const Bytes kCtabChannel10SubRhythm = {
    'C', 't', 'a', 'b', 0, 0, 0, 27,
    9, 'S', 'u', 'b', 'R', 'h', 'y', 't', 'h', 8, 0, 0x0F, 0xFF,
    0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 127, 0, 0,
};
// Bass written in D maj7 (2, 2), sounding on the "Major" chords only (chord mute 3 FF F9 00 FF):
// NTR "Root Trans" (0), NTT "Bass" (3), high key D# (3), notes E2 (28) to G10 (127), retrigger
// "Retrigger to Root" (4).
const Bytes kCtabChannel11Bass = {
    'C', 't', 'a', 'b', 0, 0, 0, 27,
    10, 'B', 'a', 's', 's', ' ', ' ', ' ', ' ', 10, 0, 0x0F, 0xFF,
    3, 0xFF, 0xF9, 0x00, 0xFF, 2, 2, 0, 3, 3, 28, 127, 4, 0,
};
// Chord 1 written in D min7 (2, 10): NTR "Root Fixed" (1), NTT "Melody" (1), high key G (7), notes
// C4 (48) to C7 (84), retrigger "Pitch Shift To Root" (2). The second one is written in F maj.
const Bytes kCtabChannel12Chord1InD = {
    'C', 't', 'a', 'b', 0, 0, 0, 27,
    11, 'C', 'h', 'o', 'r', 'd', ' ', '1', ' ', 11, 0, 0x0F, 0xFF,
    3, 0xFF, 0xFF, 0xFF, 0xFF, 2, 10, 1, 1, 7, 48, 84, 2, 0,
};
const Bytes kCtabChannel12Chord1InF = {
    'C', 't', 'a', 'b', 0, 0, 0, 27,
    11, 'C', 'h', 'o', 'r', 'd', ' ', '1', ' ', 11, 0, 0x0F, 0xFF,
    3, 0xFF, 0xFF, 0xFF, 0xFF, 5, 0, 1, 1, 7, 48, 84, 2, 0,
};

// One CSEG for "Main A,Main B" with Ctab records for channels 9, 10, 11 and 12.
Bytes OneSegmentStyle() {
    return Concat({
        kSong,
        {'C', 'A', 'S', 'M', 0, 0, 0, 169},  // 34: 8 + 161
        {'C', 'S', 'E', 'G', 0, 0, 0, 161},  // 42: 21 + 4 * 35
        {'S', 'd', 'e', 'c', 0, 0, 0, 13,    // 50: 13 characters
         'M', 'a', 'i', 'n', ' ', 'A', ',', 'M', 'a', 'i', 'n', ' ', 'B'},
        kCtabChannel9Rhythm,                 // 71
        kCtabChannel10SubRhythm,             // 106
        kCtabChannel11Bass,                  // 141
        kCtabChannel12Chord1InD,             // 176; the file ends at 211
    });
}

// Two CSEGs, "Main A" and "Main B", each with its own Ctab for channel 12.
Bytes TwoSegmentStyle() {
    return Concat({
        kSong,
        {'C', 'A', 'S', 'M', 0, 0, 0, 114},  // 34: 2 * 57
        {'C', 'S', 'E', 'G', 0, 0, 0, 49},   // 42: 14 + 35
        kSdecMainA,                          // 50
        kCtabChannel12Chord1InD,             // 64
        {'C', 'S', 'E', 'G', 0, 0, 0, 49},   // 99
        kSdecMainB,                          // 107
        kCtabChannel12Chord1InF,             // 121; the file ends at 156
    });
}

// A Ctab with one data byte beyond its fields, a Cntt record, then an OTSc chunk after the CASM.
Bytes RecordsAndChunksStyle() {
    return Concat({
        kSong,
        {'C', 'A', 'S', 'M', 0, 0, 0, 68},   // 34: 8 + 60
        {'C', 'S', 'E', 'G', 0, 0, 0, 60},   // 42: 14 + 36 + 10
        kSdecMainA,                          // 50
        {'C', 't', 'a', 'b', 0, 0, 0, 28,    // 64: 27 field bytes and one more
         10, 'B', 'a', 's', 's', ' ', ' ', ' ', ' ', 10, 0, 0x0F, 0xFF,
         3, 0xFF, 0xFF, 0xFF, 0xFF, 2, 2, 0, 3, 3, 28, 127, 4, 0,
         0x5A},
        {'C', 'n', 't', 't', 0, 0, 0, 2,     // 100: source channel 10, NTT bits 0x83
         10, 0x83},
        {'O', 'T', 'S', 'c', 0, 0, 0, 4,     // 110: a one-touch-setting chunk, not read
         1, 2, 3, 4},                        // the file ends at 122
    });
}

// clang-format on

CasmListing Read(const Bytes& bytes) {
    return ReadCasmListing(ByteImage(bytes));
}

// --- Sound styles ---------------------------------------------------------------------------

TEST(CasmReaderSound, OneSegmentGivesItsSectionListAndEveryCtabByField) {
    // Guards against field offsets shifted by one inside the 27 data bytes, a section list read
    // with the wrong length, and offsets counted from the chunk instead of the file.
    const CasmListing listing = Read(OneSegmentStyle());
    EXPECT_EQ(listing.problems, std::vector<std::string>{});
    ASSERT_EQ(listing.trackEnd, std::optional<int64_t>{34});
    ASSERT_EQ(listing.chunks.size(), 1u);
    const StyleChunk& casm = listing.chunks[0];
    EXPECT_EQ(casm.tag, "CASM");
    EXPECT_EQ(casm.offset, 34);
    EXPECT_EQ(casm.length, 169u);
    ASSERT_EQ(casm.csegs.size(), 1u);
    const CasmSegment& cseg = casm.csegs[0];
    EXPECT_EQ(cseg.offset, 42);
    EXPECT_EQ(cseg.length, 161u);
    EXPECT_EQ(cseg.sections, std::optional<std::string>{"Main A,Main B"});
    ASSERT_EQ(cseg.records.size(), 4u);

    const int64_t offsets[] = {71, 106, 141, 176};
    const uint8_t sources[] = {8, 9, 10, 11};
    const uint8_t destinations[] = {9, 8, 10, 11};
    const char* names[] = {"Rhythm  ", "SubRhyth", "Bass    ", "Chord 1 "};
    for (size_t i = 0; i < 4; ++i) {
        const CasmRecord& record = cseg.records[i];
        EXPECT_EQ(record.tag, "Ctab");
        EXPECT_EQ(record.offset, offsets[i]);
        EXPECT_EQ(record.length, 27u);
        EXPECT_EQ(record.bytes, Bytes{});
        ASSERT_TRUE(record.ctab.has_value());
        EXPECT_EQ(record.ctab->sourceChannel, sources[i]);
        EXPECT_EQ(record.ctab->name, names[i]);
        EXPECT_EQ(record.ctab->destinationChannel, destinations[i]);
    }

    const CtabFields& bass = *cseg.records[2].ctab;
    EXPECT_EQ(bass.editable, 0);
    EXPECT_EQ(bass.noteMute, (std::array<uint8_t, 2>{0x0F, 0xFF}));
    EXPECT_EQ(bass.chordMute, (std::array<uint8_t, 5>{3, 255, 249, 0, 255}));
    EXPECT_EQ(bass.sourceRoot, 2);
    EXPECT_EQ(bass.sourceChord, 2);
    EXPECT_EQ(bass.ntr, 0);
    EXPECT_EQ(bass.ntt, 3);
    EXPECT_EQ(bass.highKey, 3);
    EXPECT_EQ(bass.lowLimit, 28);
    EXPECT_EQ(bass.highLimit, 127);
    EXPECT_EQ(bass.retrigger, 4);
    EXPECT_EQ(bass.specialFeature, 0);
    EXPECT_EQ(bass.extra, Bytes{});

    const CtabFields& chord = *cseg.records[3].ctab;
    EXPECT_EQ(chord.sourceRoot, 2);
    EXPECT_EQ(chord.sourceChord, 10);
    EXPECT_EQ(chord.ntr, 1);
    EXPECT_EQ(chord.ntt, 1);
    EXPECT_EQ(chord.highKey, 7);
    EXPECT_EQ(chord.lowLimit, 48);
    EXPECT_EQ(chord.highLimit, 84);
    EXPECT_EQ(chord.retrigger, 2);
}

TEST(CasmReaderSound, EachSegmentKeepsItsOwnSectionsAndRecords) {
    // Guards against records of a later CSEG being filed under the first one's section list, and
    // against reading stopping after the first CSEG.
    const CasmListing listing = Read(TwoSegmentStyle());
    EXPECT_EQ(listing.problems, std::vector<std::string>{});
    ASSERT_EQ(listing.chunks.size(), 1u);
    const std::vector<CasmSegment>& csegs = listing.chunks[0].csegs;
    ASSERT_EQ(csegs.size(), 2u);
    EXPECT_EQ(csegs[0].offset, 42);
    EXPECT_EQ(csegs[0].sections, std::optional<std::string>{"Main A"});
    ASSERT_EQ(csegs[0].records.size(), 1u);
    EXPECT_EQ(csegs[0].records[0].offset, 64);
    EXPECT_EQ(csegs[0].records[0].ctab->sourceRoot, 2);  // D
    EXPECT_EQ(csegs[1].offset, 99);
    EXPECT_EQ(csegs[1].length, 49u);
    EXPECT_EQ(csegs[1].sections, std::optional<std::string>{"Main B"});
    ASSERT_EQ(csegs[1].records.size(), 1u);
    EXPECT_EQ(csegs[1].records[0].offset, 121);
    EXPECT_EQ(csegs[1].records[0].ctab->sourceChannel, 11);
    EXPECT_EQ(csegs[1].records[0].ctab->sourceRoot, 5);  // F
    EXPECT_EQ(csegs[1].records[0].ctab->sourceChord, 0);
}

TEST(CasmReaderSound, CtabLongerThanItsFieldsKeepsTheRestAsExtra) {
    // Guards against the 28th data byte being dropped, or read as the next record's tag.
    const CasmListing listing = Read(RecordsAndChunksStyle());
    EXPECT_EQ(listing.problems, std::vector<std::string>{});
    ASSERT_EQ(listing.chunks.size(), 2u);
    ASSERT_EQ(listing.chunks[0].csegs.size(), 1u);
    const CasmRecord& ctab = listing.chunks[0].csegs[0].records.at(0);
    EXPECT_EQ(ctab.length, 28u);
    ASSERT_TRUE(ctab.ctab.has_value());
    EXPECT_EQ(ctab.ctab->retrigger, 4);
    EXPECT_EQ(ctab.ctab->specialFeature, 0);
    EXPECT_EQ(ctab.ctab->extra, Bytes{0x5A});
}

TEST(CasmReaderSound, OtherRecordsKeepTheirRawBytes) {
    // Guards against a Cntt record ending the reading of its CSEG or being read as a Ctab.
    const CasmListing listing = Read(RecordsAndChunksStyle());
    const std::vector<CasmRecord>& records = listing.chunks.at(0).csegs.at(0).records;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].tag, "Cntt");
    EXPECT_EQ(records[1].offset, 100);
    EXPECT_EQ(records[1].length, 2u);
    EXPECT_FALSE(records[1].ctab.has_value());
    EXPECT_EQ(records[1].bytes, (Bytes{10, 0x83}));
}

TEST(CasmReaderSound, ChunkAfterTheCasmIsListedWithItsOffset) {
    // Guards against chunks after the CASM being lost, or their content being read as CSEGs.
    const CasmListing listing = Read(RecordsAndChunksStyle());
    ASSERT_EQ(listing.chunks.size(), 2u);
    EXPECT_EQ(listing.chunks[0].tag, "CASM");
    EXPECT_EQ(listing.chunks[0].length, 68u);
    const StyleChunk& otsc = listing.chunks[1];
    EXPECT_EQ(otsc.tag, "OTSc");
    EXPECT_EQ(otsc.offset, 110);
    EXPECT_EQ(otsc.length, 4u);
    EXPECT_FALSE(otsc.IsCasm());
    EXPECT_TRUE(otsc.csegs.empty());
}

TEST(CasmReaderSound, TrackEndFollowsTheEndOfTrackEventAfterRunningStatusAndSysEx) {
    // Guards against the track end being found by searching for the bytes FF 2F 00 rather than by
    // walking the events: the system-exclusive message below carries them as data, and a note
    // under running status comes before the real End of Track.
    // clang-format off
    const Bytes style = Concat({
        {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
         'M', 'T', 'r', 'k', 0, 0, 0, 18},
        {0x00, 0xF0, 4, 0xFF, 0x2F, 0x00, 0xF7},  // 22: sysex, 4 data bytes
        {0x00, 0x90, 60, 100},                    // 29: note on
        {0x10, 60, 0},                            // 33: note off by running status
        {0x00, 0xFF, 0x2F, 0x00},                 // 36: End of Track
        {'O', 'T', 'S', 'c', 0, 0, 0, 0},         // 40: the first byte after it
    });
    // clang-format on
    const CasmListing listing = Read(style);
    EXPECT_EQ(listing.trackEnd, std::optional<int64_t>{40});
    ASSERT_EQ(listing.chunks.size(), 1u);
    EXPECT_EQ(listing.chunks[0].offset, 40);
    EXPECT_EQ(
        listing.problems,
        std::vector<std::string>{
            "The only chunk after the track is not a \"CASM\" chunk: there is no CASM data."});
}

// --- Damaged styles -------------------------------------------------------------------------

TEST(CasmReaderDamaged, CasmLengthPastTheEndOfTheFileStopsTheReading) {
    // Guards against reading the CASM content up to a declared length the file does not have.
    // clang-format off
    const Bytes style = Concat({
        kSong,
        {'C', 'A', 'S', 'M', 0, 0, 1, 0},      // 34: declares 256 bytes
        {'C', 'S', 'E', 'G', 0, 0, 0, 2, 0, 0}, // 42: only 10 bytes follow the CASM header
    });
    // clang-format on
    const CasmListing listing = Read(style);
    EXPECT_EQ(listing.trackEnd, std::optional<int64_t>{34});
    EXPECT_TRUE(listing.chunks.empty());
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{"\"CASM\" at offset 34 declares 256 data bytes, but only "
                                       "10 remain in the file; the rest of the file is not read."});
}

TEST(CasmReaderDamaged, CtabLengthPastItsSegmentStopsThatSegmentOnly) {
    // Guards against a Ctab running into the next CSEG: its CSEG is cut off there, and the
    // following CSEG, whose own length is sound, is still read.
    // clang-format off
    const Bytes style = Concat({
        kSong,
        {'C', 'A', 'S', 'M', 0, 0, 0, 114},  // 34
        {'C', 'S', 'E', 'G', 0, 0, 0, 49},   // 42: 14 + 35
        kSdecMainA,                          // 50
        {'C', 't', 'a', 'b', 0, 0, 0, 40},   // 64: declares 40, the CSEG holds 27 more
        Bytes(27, 0),
        {'C', 'S', 'E', 'G', 0, 0, 0, 49},   // 99
        kSdecMainB,                          // 107
        kCtabChannel12Chord1InF,             // 121
    });
    // clang-format on
    const CasmListing listing = Read(style);
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{
                  "\"Ctab\" at offset 64 declares 40 data bytes, but only 27 remain in the CSEG "
                  "at offset 42; the rest of that CSEG is not read."});
    ASSERT_EQ(listing.chunks.size(), 1u);
    const std::vector<CasmSegment>& csegs = listing.chunks[0].csegs;
    ASSERT_EQ(csegs.size(), 2u);
    EXPECT_EQ(csegs[0].sections, std::optional<std::string>{"Main A"});
    EXPECT_TRUE(csegs[0].records.empty());
    EXPECT_EQ(csegs[1].sections, std::optional<std::string>{"Main B"});
    ASSERT_EQ(csegs[1].records.size(), 1u);
    EXPECT_EQ(csegs[1].records[0].ctab->sourceRoot, 5);
}

TEST(CasmReaderDamaged, HeaderCutShortIsReportedNotRead) {
    // Guards against reading a length from bytes past the end of the file or of a CSEG.
    const Bytes cutInFile = Concat({kSong, {'C', 'A', 'S', 'M', 0}});  // 34: 5 bytes
    CasmListing listing = Read(cutInFile);
    EXPECT_TRUE(listing.chunks.empty());
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{
                  "The last 5 bytes of the file, from offset 34, are too few for a chunk header (a "
                  "4-character tag and a 4-byte length); they are not read."});

    // clang-format off
    const Bytes cutInSegment = Concat({
        kSong,
        {'C', 'A', 'S', 'M', 0, 0, 0, 25},  // 34
        {'C', 'S', 'E', 'G', 0, 0, 0, 17},  // 42: 14 + 3
        kSdecMainA,                         // 50
        {'C', 't', 'a'},                    // 64: 3 bytes left in the CSEG
    });
    // clang-format on
    listing = Read(cutInSegment);
    ASSERT_EQ(listing.chunks.size(), 1u);
    ASSERT_EQ(listing.chunks[0].csegs.size(), 1u);
    EXPECT_EQ(listing.chunks[0].csegs[0].sections, std::optional<std::string>{"Main A"});
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{
                  "The last 3 bytes of the CSEG at offset 42, from offset 64, are too few for a "
                  "chunk header (a 4-character tag and a 4-byte length); they are not read."});
}

TEST(CasmReaderDamaged, NoChunkAfterTheTrackIsAProblem) {
    // Guards against a plain song passing as a sound style with an empty CASM listing.
    const CasmListing listing = Read(kSong);
    EXPECT_EQ(listing.trackEnd, std::optional<int64_t>{34});
    EXPECT_TRUE(listing.chunks.empty());
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{"No chunk follows the track, which ends at offset 34 with "
                                       "the file: there is no CASM data."});
}

TEST(CasmReaderDamaged, FileEndingInsideTheTrackGivesNoTrackEnd) {
    // Guards against a read past the end of the file while walking a cut track, and against
    // taking the end of the file for the end of the track.
    const Bytes cutInEndOfTrack(kSong.begin(), kSong.begin() + 33);  // 30: 00 FF 2F, no length
    CasmListing listing = Read(cutInEndOfTrack);
    EXPECT_EQ(listing.trackEnd, std::nullopt);
    EXPECT_TRUE(listing.chunks.empty());
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{"The file ends inside the track: the event at offset 30 "
                                       "runs past the end of the file (33 bytes); no chunks are "
                                       "read."});

    const Bytes noEndOfTrack(kSong.begin(), kSong.begin() + 30);  // ends after the marker
    listing = Read(noEndOfTrack);
    EXPECT_EQ(listing.trackEnd, std::nullopt);
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{"The track has no End of Track event before the end of "
                                       "the file (30 bytes); no chunks are read."});
}

TEST(CasmReaderDamaged, FileThatIsNotATypeZeroSongIsNotWalked) {
    // Guards against walking a file without the single-track layout the chunks rely on.
    EXPECT_EQ(Read(Bytes(kSong.begin(), kSong.begin() + 10)).problems,
              std::vector<std::string>{"The file has 10 bytes, too few for the MIDI header and "
                                       "the track header (22 bytes); no chunks are read."});

    Bytes riff = kSong;
    riff[0] = 'R', riff[1] = 'I', riff[2] = 'F', riff[3] = 0x00;
    EXPECT_EQ(Read(riff).problems,
              std::vector<std::string>{"The file does not begin with \"MThd\" (it begins with "
                                       "\"RIF\\x00\"): it is not a Standard MIDI File; no chunks "
                                       "are read."});

    Bytes typeOne = kSong;
    typeOne[9] = 1;
    const CasmListing listing = Read(typeOne);
    EXPECT_EQ(listing.trackEnd, std::nullopt);
    EXPECT_EQ(listing.problems, std::vector<std::string>{"The MIDI file is of type 1, not type 0 "
                                                         "(a single track); no chunks are read."});

    Bytes noTrack = kSong;
    noTrack[14] = 'X';
    EXPECT_EQ(Read(noTrack).problems,
              std::vector<std::string>{"Offset 14 holds \"XTrk\" where the track chunk \"MTrk\" "
                                       "must begin; no chunks are read."});
}

TEST(CasmReaderSound, ChunkBeforeTheTrackIsSkippedAndTheOffsetsStayTheFiles) {
    // Guards against refusing a style whose track follows a chunk of another type, which every
    // MIDI reader skips.
    const Bytes style = OneSegmentStyle();
    const Bytes junk = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xAB, 0xCD};  // 14: 10 bytes
    const CasmListing listing = Read(Concat(
        {Bytes(style.begin(), style.begin() + 14), junk, Bytes(style.begin() + 14, style.end())}));
    EXPECT_EQ(listing.problems, std::vector<std::string>{});
    EXPECT_EQ(listing.trackEnd, std::optional<int64_t>{44});
    ASSERT_EQ(listing.chunks.size(), 1u);
    EXPECT_EQ(listing.chunks[0].offset, 44);
    ASSERT_EQ(listing.chunks[0].csegs.size(), 1u);
    EXPECT_EQ(listing.chunks[0].csegs[0].records.size(), 4u);
}

TEST(CasmReaderDamaged, HeaderChunkOfFewerThanSixBytesIsNotWalked) {
    Bytes song = OneSegmentStyle();
    song[7] = 4;
    EXPECT_EQ(Read(song).problems,
              std::vector<std::string>{"The header chunk \"MThd\" declares 4 data bytes, too few "
                                       "for the format, the track count and the division (6 "
                                       "bytes); no chunks are read."});
}

TEST(CasmReaderDamaged, StaleTrackLengthIsReportedAndTheEventsDecide) {
    // Guards against chunks being read from a track end that the length field invents.
    Bytes style = OneSegmentStyle();
    style[21] = 8;  // the field says 8 bytes; the End of Track event ends the track after 12
    const CasmListing listing = Read(style);
    EXPECT_EQ(listing.trackEnd, std::optional<int64_t>{34});
    ASSERT_EQ(listing.chunks.size(), 1u);
    EXPECT_EQ(listing.chunks[0].csegs.at(0).records.size(), 4u);
    EXPECT_EQ(listing.problems,
              std::vector<std::string>{
                  "The track length at offset 18 declares 8 bytes, but the End of Track event "
                  "ends the track after 12 bytes, at offset 34; the chunks are read from there."});
}

TEST(CasmReaderDamaged, IncompleteSegmentsAreDescribed) {
    // Guards against a Ctab too short for its fields being read past its end, a CSEG without a
    // section list passing unnoticed, and a stray chunk inside the CASM being taken for a CSEG.
    // clang-format off
    const Bytes style = Concat({
        kSong,
        {'C', 'A', 'S', 'M', 0, 0, 0, 54},   // 34: 30 + 3 * 8
        {'C', 'S', 'E', 'G', 0, 0, 0, 22},   // 42: 14 + 8
        kSdecMainA,                          // 50
        {'C', 't', 'a', 'b', 0, 0, 0, 0},    // 64: no data bytes
        {'C', 'S', 'E', 'G', 0, 0, 0, 0},    // 72: empty, no Sdec
        {'J', 'U', 'N', 'K', 0, 0, 0, 0},    // 80: not a CSEG
        {'C', 'S', 'E', 'G', 0, 0, 0, 0},    // 88: read after the stray chunk
    });
    // clang-format on
    const CasmListing listing = Read(style);
    ASSERT_EQ(listing.chunks.size(), 1u);
    const std::vector<CasmSegment>& csegs = listing.chunks[0].csegs;
    ASSERT_EQ(csegs.size(), 3u);
    ASSERT_EQ(csegs[0].records.size(), 1u);
    EXPECT_FALSE(csegs[0].records[0].ctab.has_value());
    EXPECT_EQ(csegs[0].records[0].bytes, Bytes{});
    EXPECT_EQ(csegs[1].sections, std::nullopt);
    EXPECT_EQ(csegs[2].offset, 88);
    EXPECT_EQ(listing.problems,
              (std::vector<std::string>{
                  "\"Ctab\" at offset 64 has 0 data bytes, fewer than the 27 of its fields; its "
                  "bytes are listed as they are.",
                  "The CSEG at offset 72 holds no \"Sdec\" chunk: no sections are named for its "
                  "records.",
                  "\"JUNK\" at offset 80 inside the CASM chunk at offset 34 is not a CSEG; it is "
                  "skipped.",
                  "The CSEG at offset 88 holds no \"Sdec\" chunk: no sections are named for its "
                  "records.",
              }));
}

TEST(CasmReaderDamaged, EveryCutAndEveryChangedByteEndsInAListingNeverAFault) {
    // Guards against any unchecked read: every prefix of a sound style, and the style with each
    // byte replaced by 00, 7F, 80 or FF, must be read without an exception (the sanitizer build
    // also sees every read).
    const Bytes style = Concat({OneSegmentStyle(), {'O', 'T', 'S', 'c', 0, 0, 0, 1, 9}});
    for (size_t size = 0; size <= style.size(); ++size) {
        const Bytes cut(style.begin(), style.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_NO_THROW(Read(cut)) << "cut at " << size;
    }
    for (size_t at = 0; at < style.size(); ++at) {
        for (const uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            Bytes changed = style;
            changed[at] = value;
            EXPECT_NO_THROW(Read(changed)) << "byte " << at << " = " << int{value};
        }
    }
}

}  // namespace
}  // namespace zephrane
