// The CASM chunk: the listing read from a style, the chunk written after the track and read back
// per section, and the table and chord mute dialog that feed it.

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <stdexcept>

#include "app/casm_commands.h"
#include "app/chord_mute_commands.h"
#include "app/convert_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "casm/casm_chunk.h"
#include "casm/casm_reader.h"
#include "casm/casm_table.h"
#include "casm/chord_mute.h"
#include "player/note_rules.h"
#include "player/style_reader.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;

Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
// A CSEG naming `sections` in its Sdec, then the records.
Bytes Cseg(const std::string& sections, const Bytes& records) {
    return Chunk("CSEG", Concat({Chunk("Sdec", Ascii(sections)), records}));
}

// Each listing is compared whole: a line per chunk, CSEG and record (tag, offset, declared length;
// whether a record's Ctab fields were read, else its byte count), then the problems.
using Lines = std::vector<std::string>;

// Marker "SFF1", End of Track: the track ends at offset 34.
const Bytes kSong = test::SongFile(test::TrackBuilder().Marker(0, "SFF1").EndOfTrack());

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
    std::vector<int> ranges, expected(18);
    for (const RangeFields& r : {f.low, f.middle, f.high})
        ranges.insert(ranges.end(),
                      {r.ntr, r.ntt, r.highKey, r.lowLimit, r.highLimit, r.retrigger});
    std::iota(expected.begin(), expected.end(), 22);
    EXPECT_EQ(ranges, expected);
    EXPECT_EQ(std::tie(f.extra, records[0].bytes), std::tuple(Bytes{40}, ctb2));
    EXPECT_EQ(std::tie(records[1].cntt->sourceChannel, records[1].cntt->ntt), std::tuple(3, 0x8A));
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

// CreateCasm writes after the track, GetChannels reads the CASM kept from an opened style.
class CasmChunkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        s.output = ByteImage(Bytes(4, 0xEE));  // the track ends before the write position
        s.outputWritePos = 4;
    }
    Bytes Written() const {
        const auto& all = s.output.Bytes();
        return Bytes(all.begin() + 4, all.begin() + s.outputWritePos);
    }
    void Keep(const Bytes& csegs) { s.song.styleCasmBytes = ByteImage(Chunk("CASM", csegs)); }
    StubSession test;
    Session& s = test.session;
};

// Only channels with notes and an accompaniment part get a record; a melodic part keeps its own
// chord mute, rhythm parts always sound on every chord.
TEST_F(CasmChunkTest, ChunkHoldsACtabForEachChannelWithNotesAndAPart) {
    for (int channel : {2, 4, 10})
        s.Channel(channel).hasNotes = true;
    PickPart(s, 9, kRhythmPart);
    s.casm[9].chordMute = {0, 0, 0, 0, 0};
    PickPart(s, 1, kBassPart);
    s.casm[1].chordMute = {0x03, 0xFF, 0xF9, 0x00, 0xFF};
    PickPart(s, 2, kChord1Part);    // channel 3 has no notes
    PickPart(s, 3, kMuteLockPart);  // no accompaniment part
    CreateCasm(s, "Main A");
    // Source channel, name, destination, editable, note mute; chord mute; source key and chord,
    // NTR, NTT, high key; low and high limit, retrigger, special feature.
    const auto ctab = [](uint8_t source, const std::string& name, const Bytes& fields) {
        return Chunk("Ctab", Concat({{source}, Ascii(name), fields}));
    };
    EXPECT_EQ(Written(),
              Concat({{'C', 'A', 'S', 'M', 0, 0, 0, 92, 'C', 'S', 'E', 'G', 0, 0, 0, 84},
                      Chunk("Sdec", Ascii("Main A")),
                      ctab(1, "Bass    ",
                           {10, 0, 15, 255, 3, 255, 249, 0, 255, 0, 2, 0, 3, 3, 28, 127, 4, 0}),
                      ctab(9, "Rhythm  ",
                           {9, 0, 15, 255, 7, 255, 255, 255, 255, 0, 2, 1, 0, 6, 0, 127, 1, 0})}));
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(CasmChunkTest, UnsetFieldIsAnOverflowReportedUnderCreateCasm) {
    s.Channel(1).hasNotes = true;
    s.casm[0].part = kBassPart;  // a part without its settings
    CreateCasm(s, "Main A");
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"Error #: 6, Overflow, encountered in Function "
                                        "CreateCasm. If the solution is not obvious, please "
                                        "report this to the author."}));
}

// A Ctab record for source channel `channel` (1-16) playing into `destination` from `root`.
Bytes Ctab(int channel, uint8_t destination, uint8_t root) {
    Bytes data(27, 0);  // byte 19, the source chord: maj7
    std::tie(data[0], data[9], data[18], data[19]) = std::tuple(channel - 1, destination, root, 2);
    return Chunk("Ctab", data);
}

// Only segments naming the section count; a record of another kind ends the reading. Per channel
// the destination + 1 and the source key; each record's source root offset is noted (CASM 8 + CSEG
// 8 + Sdec 21 bytes, then 35 a record; the second CSEG's record comes at 165).
TEST_F(CasmChunkTest, GetChannelsReadsTheRecordsOfSegmentsNamingTheSection) {
    Keep(Concat({Cseg("Main A,Main B", Concat({Ctab(1, 10, 2), Ctab(9, 8, 2), Ctab(12, 11, 2)})),
                 Cseg("Intro A", Ctab(16, 13, 7)),
                 Cseg("Main C", Concat({Chunk("Cntt", {2, 131}), Ctab(5, 4, 3)}))}));
    using Channels = std::array<int16_t, 17>;
    GetChannels(s, "Intro A");
    EXPECT_EQ(s.casmSnapshot.part, (Channels{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14}));
    EXPECT_EQ(s.casmSnapshot.sourceKey,
              (Channels{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}));
    GetChannels(s, "Main B");
    GetChannels(s, "Main C");
    EXPECT_EQ(s.casmSnapshot.part,
              (Channels{0, 11, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 12, 0, 0, 0, 14}));
    EXPECT_EQ(s.casmSnapshot.sourceKey,
              (Channels{0, 2, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 2, 0, 0, 0, 7}));
    EXPECT_EQ(s.notedRecords, (std::vector<int32_t>{165 + 26, 37 + 26, 72 + 26, 107 + 26}));
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(CasmChunkTest, GetChannelsReportsAChunkThatEndsEarlyAndKeepsWhatWasRead) {
    const Bytes casm = Chunk("CASM", Cseg("Main A", Concat({Ctab(9, 8, 3), Ctab(10, 9, 3)})));
    s.song.styleCasmBytes = ByteImage(Bytes(casm.begin(), casm.end() - 20));  // a record cut short
    GetChannels(s, "Main A");
    EXPECT_EQ(std::tie(s.casmSnapshot.part[9], s.casmSnapshot.part[10]), std::tuple(9, 0));
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"Error #: 9, Subscript out of range, encountered in "
                                        "Function GetChannels. If the solution is not obvious, "
                                        "please report this to the author."}));
}

// Sections with a source chord of their own: the CSEGs written for a bass on channel 2 and a
// rhythm on channel 10, the table's source key and chord being C maj7 (0, 2).
struct OwnChordCase {
    const char* name;
    std::vector<SectionSourceChord> ownChords;
    // Per CSEG its section list and the bass record's source root and chord.
    std::vector<std::tuple<std::string, uint8_t, uint8_t>> csegs;
};

// clang-format off
const OwnChordCase kOwnChordCases[] = {
    {"NoneKeepOneCsegForAll", {}, {{"Intro A,Main A,Fill In AA", 0, 2}}},
    {"ChordsOfSectionsNotInTheStyleChangeNothing", {{"Main B", 7, 10}},
     {{"Intro A,Main A,Fill In AA", 0, 2}}},
    {"OneSectionOwnsAChord", {{"Main A", 7, 10}},
     {{"Intro A,Fill In AA", 0, 2}, {"Main A", 7, 10}}},
    {"EverySectionOwnsOneNoTableCseg",
     {{"Main A", 7, 19}, {"Fill In AA", 2, 8}, {"Intro A", 2, 8}},
     {{"Intro A,Fill In AA", 2, 8}, {"Main A", 7, 19}}},
    {"SameRootOtherTypeIsAnotherChord", {{"Intro A", 2, 8}, {"Main A", 2, 10}},
     {{"Fill In AA", 0, 2}, {"Intro A", 2, 8}, {"Main A", 2, 10}}},
};
// clang-format on

struct OwnChordTest : CasmChunkTest, ::testing::WithParamInterface<OwnChordCase> {
    void SetUp() override {
        CasmChunkTest::SetUp();
        for (int channel : {2, 10})
            s.Channel(channel).hasNotes = true;
        PickPart(s, 1, kBassPart);
        PickPart(s, 9, kRhythmPart);
    }
    void Append(std::span<const SectionSourceChord> ownChords) {
        AppendNewCasm({s.output, s.outputWritePos}, s.casm, s.channels, "Intro A,Main A,Fill In AA",
                      ownChords);
    }
};

// Only the melodic parts take a section's own chord: drums are never transposed.
TEST_P(OwnChordTest, EachChordGetsItsOwnCsegWithThatSourceRootAndChord) {
    Append(GetParam().ownChords);
    Bytes csegs;
    for (const auto& [sections, root, chord] : GetParam().csegs) {
        const Bytes bass = Chunk(
            "Ctab",
            Concat({{1},
                    Ascii("Bass    "),
                    {10, 0, 15, 255, 3, 255, 255, 255, 255, root, chord, 0, 3, 3, 28, 127, 4, 0}}));
        const Bytes rhythm = Chunk(
            "Ctab", Concat({{9},
                            Ascii("Rhythm  "),
                            {9, 0, 15, 255, 7, 255, 255, 255, 255, 0, 2, 1, 0, 6, 0, 127, 1, 0}}));
        csegs = Concat({csegs, Cseg(sections, Concat({bass, rhythm}))});
    }
    EXPECT_EQ(Written(), Chunk("CASM", csegs));
}

INSTANTIATE_TEST_SUITE_P(Casm, OwnChordTest, ::testing::ValuesIn(kOwnChordCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Both readers take each section's records from the CSEG naming it. The player moves the bass to
// the held root from the written one, down an octave for a root above the high key D#: Main A's
// G2, written over G min7, sounds as G1 under G min7 and as C2 under C; Intro A's, written over
// the table's C maj7, moves to a D under G min7.
TEST_F(OwnChordTest, OurReaderAndThePlayersReadEachSectionFromItsOwnCseg) {
    const SectionSourceChord mainA[] = {{"Main A", 7, 10}};
    Append(mainA);
    const Bytes track = test::SongFile(test::TrackBuilder()
                                           .Marker(0, "SFF1")
                                           .Marker(0, "SInt")
                                           .Marker(1920, "Intro A")
                                           .Marker(1920, "Main A")
                                           .Marker(1920, "Fill In AA")
                                           .EndOfTrack(1920));
    const ByteImage style(Concat({track, Written()}));
    const CasmListing listing = ReadCasmListing(style);
    EXPECT_TRUE(listing.problems.empty());
    std::vector<std::tuple<std::string, int, int>> read;
    for (const CasmSegment& cseg : listing.chunks.at(0).csegs) {
        const CtabFields& bass = *cseg.records.at(0).ctab;
        read.emplace_back(*cseg.sections, bass.sourceRoot, bass.sourceChord);
    }
    EXPECT_EQ(read, (std::vector<std::tuple<std::string, int, int>>{{"Intro A,Fill In AA", 0, 2},
                                                                    {"Main A", 7, 10}}));
    const player::PlayableStyle playable = player::ReadPlayableStyle(style);
    const auto bassOf = [&](std::string_view section) {
        return player::PartsFor(playable, section).rules.at(0);
    };
    constexpr int kG2 = 43;
    EXPECT_EQ(player::ConvertNote(bassOf("Main A"), kG2, player::ParseChord("Gm7")), kG2 - 12);
    EXPECT_EQ(player::ConvertNote(bassOf("Main A"), kG2, player::ParseChord("C")), kG2 - 7);
    EXPECT_EQ(player::ConvertNote(bassOf("Intro A"), kG2, player::ParseChord("Gm7")), kG2 - 5);
}

class CasmTableTest : public ::testing::Test {
  protected:
    std::string Parts() const {
        std::string parts;
        for (const CasmRow& row : s.casm)
            parts.append(row.part < 0 ? "-" : kPartList[row.part].text).append(",");
        return parts;
    }

    StubSession test;
    Session& s = test.session;
};

// A refused cell text is held by the CLI runs; an empty one is kept but not checked at all.
TEST_F(CasmTableTest, LimitTextsGiveNoteNumbersUpToG10AnEmptyCellIsLetBeKeyTextsGiveAKey) {
    constexpr std::nullopt_t kNo = std::nullopt;
    // clang-format off
    const std::pair<const char*, std::optional<int16_t>> limits[] = {{"C0", 0}, {"c5", 60},
        {"G10", 127}, {"Eb10", 123}, {"C3 ", 36}, {"C 3", 36}, {"f#4", 54}, {"bb9", 118},
        {"G#10", kNo}, {"C11", kNo}, {"C-1", kNo}, {"H3", kNo}, {"10", kNo}, {"C", kNo}, {"", kNo}};
    const std::pair<const char*, int> keys[] = {{"Dbmajor", 1}, {"C#major", 1}, {"Cbmajor", 0},
        {"", 0}, {"Bbminor", 10}, {"Aminor", 9}, {"BMode  3", 11}, {"major", 0}};
    // clang-format on
    for (const auto& [text, number] : limits)
        EXPECT_EQ(LimitNoteNumber(text), number) << '"' << text << '"';
    PickPart(s, 0, kBassPart);
    EXPECT_TRUE(LeaveLimitCell(s, 0, LimitCell::Low, ""));
    EXPECT_EQ(std::tie(s.casm[0].lowLimitText, s.casm[0].highLimitText), std::tuple("", "G10"));
    for (const auto& [keyText, index] : keys)
        EXPECT_EQ(SongKeyIndex(keyText), index) << keyText;
}

TEST_F(CasmTableTest, AutoAssignmentGivesPartsByInstrumentInTurnAndEveryRowTheSongsKey) {
    s.facts.keyText = "Ebminor";
    s.facts.modeWord = "minor";
    PickPart(s, 6, kMuteLockPart);  // kept by the clearing that comes first, and given nothing
    // Per channel from 1 the voice label and first program, ";" between channels.
    const std::pair<std::string, const char*> cases[] = {
        // Later channels of the same group and first program join the first's part.
        {"Strings-XG 48;Keyboard-GM 0;Strings-GM 48;Keyboard-Panel 0;Synth Pad-GM 48;Guitar-GM 25;"
         "Bass-GM 33",
         "Pad,Chord 1,Pad,Chord 1,Pad,Chord 2,Mute-Lock,-,-,-,-,-,-,-,-,-,"},
        // A second pad of its own program takes a chord part; four chord parts at most.
        {"Strings-GM 48;Strings-GM 49;Guitar-GM 25;Guitar-GM 26;Guitar-GM 27;Guitar-GM 28",
         "Pad,Chord 1,Chord 2,Phrase 1,Phrase 2,-,Mute-Lock,-,-,-,-,-,-,-,-,-,"},
        // Drums get rhythm parts only on channels 9 and 10.
        {";;Drum Kit-GM 0;;;;;;Std Drum Kit 1 0;Drum Kit-GM no PC 0;SoundFx Kit 0",
         "-,-,-,-,-,-,Mute-Lock,-,SubRhythm,Rhythm,-,-,-,-,-,-,"},
    };
    for (const auto& [instruments, parts] : cases) {
        std::istringstream list(instruments + ";;;;;;;;;;;;;;;;");
        std::string voice;
        for (int row = 0; row < 16 && std::getline(list, voice, ';'); ++row) {
            const size_t blank = voice.rfind(' ');
            s.view.rows[row].voice = voice.substr(0, blank);
            s.channels[row].firstProgram = static_cast<int16_t>(
                blank == std::string::npos ? 0 : std::stoi(voice.substr(blank)));
        }
        AutoSetCasm(s);
        EXPECT_EQ(Parts(), parts);
        for (const CasmRow& row : s.casm)
            EXPECT_EQ(std::tie(row.sourceKey, row.sourceChord), std::tuple(3, 8));
    }
    // A kit on another channel gets the rhythm settings but no part; earlier settings are cleared.
    const CasmRow& kit = s.casm[2];
    EXPECT_EQ(std::tie(kit.ntr, kit.ntt, kit.highKey, kit.retrigger, kit.lowLimit, kit.highLimit),
              std::tuple(1, 0, 6, 1, 0, 127));
    EXPECT_EQ(std::tie(s.casm[0].ntr, s.casm[0].highLimitText), std::tuple(-1, std::string()));
}

// The boxes follow the bits, byte 0 bits 0-1, then bytes 1-4 bits 0-7, each with its chord type:
// the writer copies these bits into the style, so one shifted box silences the wrong chord.
TEST(ChordMute, EveryBoxStandsForItsOwnBitAndChordType) {
    std::istringstream chordTypes(
        "sus4 1+2+5 7(13) 7(b9) 7(b13) 7(#9) maj7aug 7ang 1+8 1+5 minMaj7(9) dim dim7 7th 7sus4 "
        "7b5 7(9) 7(#11) min min6 min7 min7b5 min(9) min7(9) min7(11) minMaj7 maj maj6 maj7 "
        "maj7#11 maj(9) maj7(9) maj6(9) aug");
    int box = 0;
    for (int byte = 0; byte < 5; ++byte) {
        for (int bit = 0; bit < (byte == 0 ? 2 : 8); ++bit, ++box) {
            std::string chordType;
            chordTypes >> chordType;
            EXPECT_EQ(kChordTypeList.at(kChordMuteBoxes.at(box).chordType), chordType);
            ChordMute single{};
            single[byte] = static_cast<uint8_t>(1u << bit);
            const ChordMuteDialog dialog(0, single);
            EXPECT_TRUE(dialog.IsChecked(box)) << chordType;
            EXPECT_EQ(dialog.Bytes(), single) << chordType;
        }
    }
    EXPECT_EQ(box, kChordMuteBoxCount);
}

// OK stores the boxes alone (byte 0 keeps its two chord bits) into its own row; once the dialog is
// gone, by OK or Cancel, the buttons of present sections (slots 1-24) show pressed again.
TEST_F(CasmTableTest, OkStoresTheBoxesIntoItsRowOnlyAndBothPressThePresentSections) {
    for (int slot : {0, 1, 24, 25})
        s.sectionFlags[slot] = true;
    const auto pressed = [&] {
        std::string slots;
        for (int slot = 0; slot <= 25; ++slot)
            if (s.view.sectionPressed[slot]) slots += std::to_string(slot) + " ";
        return slots;
    };
    s.casm[7].chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ChordMuteDialog dialog = OpenChordMuteDialog(s, 7);
    dialog.SetChecked(13, false);  // "7"
    EXPECT_TRUE(StoreChordMute(s, dialog));
    EXPECT_EQ(pressed(), "1 24 ");
    s.view.sectionPressed = {};
    s.view.sectionPressed[17] = true;  // pressed without a flag: stays
    CloseChordMuteDialog(s);
    EXPECT_EQ(pressed(), "1 17 24 ");
    EXPECT_EQ(s.casm[7].chordMute, (ChordMute{3, 255, 0xF7, 255, 255}));
    EXPECT_EQ(s.casm[6].chordMute, kAllChordsOn);
}

TEST(ChordMute, PresetButtonsGiveTheirExactBytesAndRowsAreChannels) {
    using D = ChordMuteDialog;  // Major keeps m7M(9) on
    const std::pair<void (D::*)(), ChordMute> presets[] = {{&D::Major, {3, 255, 249, 0, 255}},
                                                           {&D::Minor, {0, 0, 6, 255, 0}},
                                                           {&D::None, {0, 0, 0, 0, 0}},
                                                           {&D::All, {3, 255, 255, 255, 255}}};
    for (const auto& [press, bytes] : presets) {
        ChordMuteDialog dialog(3, {0x02, 0x5A, 0xA5, 0x3C, 0xC3});
        (dialog.*press)();
        EXPECT_EQ(dialog.Bytes(), bytes);
    }
    EXPECT_THROW(ChordMuteDialog(16, kAllChordsOn), std::out_of_range);
}

}  // namespace
}  // namespace zephrane
