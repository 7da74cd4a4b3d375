#include "app/text_boxes.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

class TextEventsTest : public ::testing::Test {
  protected:
    void Load(const TrackBuilder& track) {
        s.song.bytes = ByteImage(test::SongFile(track));
        s.song.fileName = "/songs/song.mid";
    }
    Bytes Track() const {
        const auto& all = s.song.bytes.Bytes();
        return Bytes(all.begin() + 22, all.end());
    }

    StubSession test;
    Session& s = test.session;
};

const Bytes kNote = {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00};

TEST_F(TextEventsTest, ShorterNameIsPaddedWithBlanksInTheExistingEvent) {
    Load(TrackBuilder().Text(0, 3, "Bossa Nova").Raw(kNote));
    LeaveStyleNameBox(s, "Jazz");
    EXPECT_EQ(Track(), Concat({{0x00, 0xFF, 0x03, 0x0A},
                               {'J', 'a', 'z', 'z', ' ', ' ', ' ', ' ', ' ', ' '},
                               kNote}));
    EXPECT_EQ(s.view.txtStyleName, "Jazz      ");
}

TEST_F(TextEventsTest, LoadTextLeavesTheCursorBehindTheLastByteWritten) {
    Load(TrackBuilder().Text(0, 3, "Bossa Nova").Raw(kNote));
    LoadText(s, "Jazz", 10, 26);
    EXPECT_EQ(s.walk.walkPos, 26 + 10);
}

TEST_F(TextEventsTest, LongerNameIsCutToTheExistingEventsLength) {
    Load(TrackBuilder().Text(0, 3, "Bossa Nova").Raw(kNote));
    LeaveStyleNameBox(s, "Swing Ballad 2");
    EXPECT_EQ(s.view.txtStyleName, "Swing Ball");
    EXPECT_EQ(s.song.bytes.ReadU32BE(18), 14u + 8);
}

TEST_F(TextEventsTest, NewCopyrightBecomesTheFirstEventAndTimesStay) {
    Load(TrackBuilder().Marker(0, "SFF1").Raw({0x83, 0x60, 0x90, 60, 100}).EndOfTrack());
    LeaveCopyrightBox(s, "(c) 2026");
    EXPECT_EQ(Track(), Concat({{0x00, 0xFF, 0x02, 0x08, '(', 'c', ')', ' ', '2', '0', '2', '6'},
                               {0x00, 0xFF, 0x06, 0x04, 'S', 'F', 'F', '1'},
                               {0x83, 0x60, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}}));
    EXPECT_EQ(s.song.bytes.ReadU32BE(18), 12u + 17);
    EXPECT_EQ(s.facts.copyrightPos, 26);
    EXPECT_EQ(s.markers.entries[0].position, 34);  // every later position moved by 12
    EXPECT_EQ(s.view.txtCopyright, "(c) 2026");
}

TEST_F(TextEventsTest, EmptyBoxBlanksAnEventOrAddsAnEmptyOne) {
    Load(TrackBuilder().Text(0, 2, "abc").Raw(kNote));
    LeaveCopyrightBox(s, "");
    EXPECT_EQ(Track(), Concat({{0x00, 0xFF, 0x02, 0x03, ' ', ' ', ' '}, kNote}));
    Load(TrackBuilder().Raw(kNote));
    LeaveStyleNameBox(s, "");
    EXPECT_EQ(Track(), Concat({{0x00, 0xFF, 0x03, 0x00}, kNote}));
}

TEST_F(TextEventsTest, LongTextGetsAVariableLengthLengthAndIsReadBackWhole) {
    Load(TrackBuilder().Raw(kNote));
    const std::string name(200, 'n');
    LeaveStyleNameBox(s, name);
    const Bytes track = Track();
    EXPECT_EQ(Bytes(track.begin(), track.begin() + 5), (Bytes{0x00, 0xFF, 0x03, 0x81, 0x48}));
    EXPECT_EQ(s.facts.styleName, name);
    EXPECT_EQ(s.view.txtStyleName, name);
    EXPECT_EQ(s.song.bytes.ReadU32BE(18), 8u + 205);
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(TextEventsTest, AccentedTextsAreStoredAsSingleBytes) {
    Load(TrackBuilder().Raw(kNote));
    LeaveStyleNameBox(s, "Caf\xC3\xA9");
    const Bytes track = Track();
    EXPECT_EQ(Bytes(track.begin(), track.begin() + 8),
              (Bytes{0x00, 0xFF, 0x03, 0x04, 'C', 'a', 'f', 0xE9}));
    EXPECT_EQ(s.view.txtStyleName, "Caf\xC3\xA9");
}

TEST_F(TextEventsTest, WithoutAnOpenFileTheBoxIsEmptiedWithAMessage) {
    s.view.txtCopyright = "typed";
    LeaveCopyrightBox(s, "typed");
    EXPECT_EQ(s.view.txtCopyright, "");
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"A file has not yet been opened. Click on Open File to "
                                        "identify the file to use."}));
}

TEST_F(TextEventsTest, DamagedSongIsReportedAndLeftAlone) {
    s.song.bytes = ByteImage(Concat({test::Headers(50), {0x00, 0x90}}));
    s.song.fileName = "/songs/song.mid";
    const ByteImage before = s.song.bytes;
    LeaveStyleNameBox(s, "Name");
    EXPECT_EQ(s.song.bytes, before);
    ASSERT_EQ(test.platform.messages.size(), 1u);
    EXPECT_NE(test.platform.messages[0].find("in Function GetInfo"), std::string::npos);
}

}  // namespace
}  // namespace zephrane
