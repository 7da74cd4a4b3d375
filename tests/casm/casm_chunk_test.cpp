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
using test::Chunk;
using test::Concat;

Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
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

Bytes Cseg(const std::string& sections, const Bytes& records) {
    return Chunk("CSEG", Concat({Chunk("Sdec", Ascii(sections)), records}));
}

// Only segments naming the section count; a record of another kind ends the reading. Per channel
// the destination + 1 and the source key; each record's source root offset is noted (CASM 8 + CSEG
// 8 + Sdec 21 bytes, then 35 a record; the second CSEG's record comes at 165).
TEST_F(CasmChunkTest, GetChannelsReadsTheRecordsOfSegmentsNamingTheSection) {
    Keep(Concat({Cseg("Main A,Main B", Concat({Ctab(1, 10, 2), Ctab(9, 8, 2), Ctab(12, 11, 2)})),
                 Cseg("Intro A", Ctab(12, 13, 7)),
                 Cseg("Main C", Concat({Chunk("Cntt", {2, 131}), Ctab(5, 4, 3)}))}));
    using Channels = std::array<int16_t, 17>;
    GetChannels(s, "Intro A");
    EXPECT_EQ(s.casmSnapshot.part, (Channels{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14}));
    EXPECT_EQ(s.casmSnapshot.sourceKey, (Channels{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}));
    GetChannels(s, "Main B");
    GetChannels(s, "Main C");
    EXPECT_EQ(s.casmSnapshot.part, (Channels{0, 11, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 12}));
    EXPECT_EQ(s.casmSnapshot.sourceKey, (Channels{0, 2, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 2}));
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

}  // namespace
}  // namespace zephrane
