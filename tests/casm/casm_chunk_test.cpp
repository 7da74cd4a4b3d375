#include "casm/casm_chunk.h"

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;

class CasmWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        s.output = ByteImage(Bytes(4, 0xEE));  // the track ends before the write position
        s.outputWritePos = 4;
    }
    Bytes Written() const {
        const auto& all = s.output.Bytes();
        return Bytes(all.begin() + 4, all.begin() + s.outputWritePos);
    }
    StubSession test;
    Session& s = test.session;
};

TEST_F(CasmWriterTest, ChunkForBassAndRhythmByteForByte) {
    s.Channel(2).hasNotes = true;
    PickPart(s, 1, kBassPart);
    s.casm[1].chordMute = {0x03, 0xFF, 0xF9, 0x00, 0xFF};
    s.Channel(10).hasNotes = true;
    PickPart(s, 9, kRhythmPart);
    s.casm[9].chordMute = {0, 0, 0, 0, 0};  // rhythm parts always sound on every chord
    PickPart(s, 2, kChord1Part);            // a part without notes: no record
    s.Channel(4).hasNotes = true;           // notes without a part: no record

    CreateCasm(s, "Main A");
    const Bytes expected = {
        'C',  'A',  'S',  'M',  0x00, 0x00, 0x00, 0x5C,  // 92 bytes follow
        'C',  'S',  'E',  'G',  0x00, 0x00, 0x00, 0x54,  // 84 bytes follow
        'S',  'd',  'e',  'c',  0x00, 0x00, 0x00, 0x06, 'M',  'a',  'i',
        'n',  ' ',  'A',  'C',  't',  'a',  'b',  0x00, 0x00, 0x00, 0x1B,
        0x01,                                           // source channel 2
        'B',  'a',  's',  's',  ' ',  ' ',  ' ',  ' ',  // name padded to 8
        0x0A, 0x00, 0x0F, 0xFF,                         // destination Bass, editable, note mute
        0x03, 0xFF, 0xF9, 0x00, 0xFF,                   // the channel's chord mute
        0x00, 0x02, 0x00, 0x03, 0x03,                   // C maj7, Root Trans, Bass, high key D#
        0x1C, 0x7F, 0x04, 0x00,                         // E2..G10, Retrigger to Root, special
        'C',  't',  'a',  'b',  0x00, 0x00, 0x00, 0x1B,
        0x09,  // source channel 10
        'R',  'h',  'y',  't',  'h',  'm',  ' ',  ' ',  0x09, 0x00, 0x0F,
        0xFF, 0x07, 0xFF, 0xFF, 0xFF, 0xFF,  // all chords
        0x00, 0x02, 0x01, 0x00, 0x06,        // C maj7, Root Fixed, Bypass, F#
        0x00, 0x7F, 0x01, 0x00,              // C0..G10, Pitch Shift
    };
    EXPECT_EQ(Written(), expected);
    EXPECT_EQ(s.outputWritePos, 4 + 100);
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(CasmWriterTest, OneRecordChunkIsSixtyFiveBytes) {
    s.Channel(12).hasNotes = true;
    PickPart(s, 11, 7);  // "Phrase 2": a name of eight characters stays whole
    CreateCasm(s, "Main A");
    const Bytes written = Written();
    ASSERT_EQ(written.size(), 65u);
    EXPECT_EQ(Bytes(written.begin() + 4, written.begin() + 8), (Bytes{0, 0, 0, 57}));
    EXPECT_EQ(Bytes(written.begin() + 12, written.begin() + 16), (Bytes{0, 0, 0, 49}));
    EXPECT_EQ(Bytes(written.begin() + 39, written.begin() + 47),
              (Bytes{'P', 'h', 'r', 'a', 's', 'e', ' ', '2'}));
}

TEST_F(CasmWriterTest, RecordsFollowChannelOrderAndSectionsAreJoinedByCommas) {
    for (int channel : {16, 3})
        s.Channel(channel).hasNotes = true;
    PickPart(s, 15, kBassPart);
    PickPart(s, 2, kPadPart);
    CreateCasm(s, "Intro A,Main A,Ending A");
    const Bytes written = Written();
    EXPECT_EQ(Bytes(written.begin() + 20, written.begin() + 24), (Bytes{0, 0, 0, 23}));
    EXPECT_EQ(written[47 + 8], 0x02);       // first record: channel 3
    EXPECT_EQ(written[47 + 35 + 8], 0x0F);  // then channel 16
}

TEST_F(CasmWriterTest, UnsetFieldIsAnOverflowReportedUnderCreateCasm) {
    s.Channel(1).hasNotes = true;
    s.casm[0].part = kBassPart;  // a part without its settings
    CreateCasm(s, "Main A");
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"Error #: 6, Overflow, encountered in Function "
                                        "CreateCasm. If the solution is not obvious, please "
                                        "report this to the author."}));
}

TEST_F(CasmWriterTest, StylesOwnCasmIsCopiedWithWhatFollowedIt) {
    const Bytes kept = {'C', 'A', 'S', 'M', 0, 0, 0, 2, 1, 2, 'O', 'T', 'S', 'c', 0, 0, 0, 0};
    s.song.styleCasmBytes = ByteImage(kept);
    AddCasm(s);
    LoadCasmString(s, "Caf\xC3\xA9");
    EXPECT_EQ(Written(), Concat({kept, {'C', 'a', 'f', 0xE9}}));
}

// A Ctab record for source channel `channel` (1-16) playing into `destination` from `root`.
Bytes Ctab(int channel, uint8_t destination, uint8_t root) {
    Bytes data(27, 0);
    data[0] = static_cast<uint8_t>(channel - 1);
    data[9] = destination;
    data[18] = root;
    data[19] = 2;
    return Concat({{'C', 't', 'a', 'b', 0, 0, 0, 27}, data});
}

Bytes Chunk(const char* tag, const Bytes& content) {
    const auto length = static_cast<uint8_t>(content.size());
    return Concat({{static_cast<uint8_t>(tag[0]), static_cast<uint8_t>(tag[1]),
                    static_cast<uint8_t>(tag[2]), static_cast<uint8_t>(tag[3]), 0, 0, 0, length},
                   content});
}

Bytes Sdec(const std::string& sections) {
    return Chunk("Sdec", Bytes(sections.begin(), sections.end()));
}

class GetChannelsTest : public ::testing::Test {
  protected:
    void Keep(const Bytes& casm) { s.song.styleCasmBytes = ByteImage(casm); }
    StubSession test;
    Session& s = test.session;
};

TEST_F(GetChannelsTest, OneSegmentForTwoSections) {
    Keep(Chunk("CASM", Chunk("CSEG", Concat({Sdec("Main A,Main B"), Ctab(9, 8, 2), Ctab(10, 9, 2),
                                             Ctab(11, 10, 2), Ctab(12, 11, 2)}))));
    GetChannels(s, "Intro A");
    EXPECT_EQ(s.casmSnapshot.part, (std::array<int16_t, 17>{}));
    EXPECT_TRUE(s.notedRecords.empty());
    GetChannels(s, "Main B");
    for (int channel = 9; channel <= 12; ++channel) {
        EXPECT_EQ(s.casmSnapshot.part[channel], channel) << channel;  // destination + 1
        EXPECT_EQ(s.casmSnapshot.sourceKey[channel], 2);
    }
    // Each record's source root: CASM 8 + CSEG 8 + Sdec 21 bytes, then 35 a record.
    EXPECT_EQ(s.notedRecords, (std::vector<int32_t>{37 + 26, 72 + 26, 107 + 26, 142 + 26}));
}

TEST_F(GetChannelsTest, OnlyTheSegmentThatNamesTheSectionCounts) {
    Keep(Chunk("CASM", Concat({Chunk("CSEG", Concat({Sdec("Main A"), Ctab(12, 11, 4)})),
                               Chunk("CSEG", Concat({Sdec("Main B"), Ctab(12, 13, 7)}))})));
    GetChannels(s, "Main B");
    EXPECT_EQ(s.casmSnapshot.part[12], 14);
    EXPECT_EQ(s.casmSnapshot.sourceKey[12], 7);
    EXPECT_EQ(s.notedRecords.size(), 1u);
}

TEST_F(GetChannelsTest, SourceChannelZeroToBassMakesChannelOneABassChannel) {
    Keep(Chunk("CASM", Chunk("CSEG", Concat({Sdec("Intro A"), Ctab(1, 10, 0)}))));
    GetChannels(s, "Intro A");
    EXPECT_EQ(s.casmSnapshot.part[1], 11);
}

TEST_F(GetChannelsTest, RecordsOfEverySectionStayNoted) {
    Keep(Chunk("CASM",
               Concat({Chunk("CSEG", Concat({Sdec("Main A"), Ctab(9, 8, 0), Ctab(10, 9, 0)})),
                       Chunk("CSEG", Concat({Sdec("Main B"), Ctab(11, 10, 0)}))})));
    GetChannels(s, "Main A");
    GetChannels(s, "Main B");
    EXPECT_EQ(s.notedRecords.size(), 3u);
}

TEST_F(GetChannelsTest, ChunkThatEndsEarlyIsReportedAndKeepsWhatWasRead) {
    Bytes casm =
        Chunk("CASM", Chunk("CSEG", Concat({Sdec("Main A"), Ctab(9, 8, 3), Ctab(10, 9, 3)})));
    casm.resize(casm.size() - 20);  // the second record's data is cut short
    Keep(casm);
    GetChannels(s, "Main A");
    EXPECT_EQ(s.casmSnapshot.part[9], 9);
    EXPECT_EQ(s.casmSnapshot.part[10], 0);
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"Error #: 9, Subscript out of range, encountered in "
                                        "Function GetChannels. If the solution is not obvious, "
                                        "please report this to the author."}));
}

TEST_F(GetChannelsTest, OtherRecordsEndTheReadingAndNoCasmMeansNothing) {
    Keep(Chunk("CASM",
               Chunk("CSEG", Concat({Sdec("Main A"), Chunk("Cntt", {2, 131}), Ctab(9, 8, 3)}))));
    GetChannels(s, "Main A");
    EXPECT_EQ(s.casmSnapshot.part[9], 0);
    Keep({0, 0});
    GetChannels(s, "Main A");
    EXPECT_TRUE(test.platform.messages.empty());
}

}  // namespace
}  // namespace zephrane
