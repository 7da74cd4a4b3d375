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

const Bytes kNote = {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00};

struct BoxCase {
    const char* name;
    TrackBuilder song;
    bool copyright;  // else the style name box
    std::string typed;
    Bytes track;  // the whole track after leaving the box
    std::string shown;
};

// An existing event keeps its length: a shorter text is padded with blanks, a longer one cut. A
// missing event is added first, with a variable-length length; texts are stored in Latin-1.
TEST(TextBoxesTest, LeavingABoxRewritesItsEventExactly) {
    const BoxCase cases[] = {
        {"padded", TrackBuilder().Text(0, 3, "Bossa Nova").Raw(kNote), false, "Jazz",
         Concat(
             {{0x00, 0xFF, 0x03, 0x0A, 'J', 'a', 'z', 'z', ' ', ' ', ' ', ' ', ' ', ' '}, kNote}),
         "Jazz      "},
        {"cut", TrackBuilder().Text(0, 3, "Bossa Nova").Raw(kNote), false, "Swing Ballad 2",
         Concat(
             {{0x00, 0xFF, 0x03, 0x0A, 'S', 'w', 'i', 'n', 'g', ' ', 'B', 'a', 'l', 'l'}, kNote}),
         "Swing Ball"},
        {"blanked", TrackBuilder().Text(0, 2, "abc").Raw(kNote), true, "",
         Concat({{0x00, 0xFF, 0x02, 0x03, ' ', ' ', ' '}, kNote}), "   "},
        {"empty added", TrackBuilder().Raw(kNote), false, "",
         Concat({{0x00, 0xFF, 0x03, 0x00}, kNote}), ""},
        {"Latin-1", TrackBuilder().Raw(kNote), false, "Caf\xC3\xA9",
         Concat({{0x00, 0xFF, 0x03, 0x04, 'C', 'a', 'f', 0xE9}, kNote}), "Caf\xC3\xA9"},
        {"long", TrackBuilder().Raw(kNote), false, std::string(200, 'n'),
         Concat({{0x00, 0xFF, 0x03, 0x81, 0x48}, Bytes(200, 'n'), kNote}), std::string(200, 'n')},
    };
    for (const BoxCase& row : cases) {
        SCOPED_TRACE(row.name);
        StubSession test;
        Session& s = test.session;
        s.song.bytes = ByteImage(test::SongFile(row.song));
        s.song.fileName = "/songs/song.mid";
        (row.copyright ? LeaveCopyrightBox : LeaveStyleNameBox)(s, row.typed);
        EXPECT_EQ(s.song.bytes.Bytes(), test::SongFile(row.track));
        EXPECT_EQ(row.copyright ? s.view.txtCopyright : s.view.txtStyleName, row.shown);
        EXPECT_TRUE(test.platform.messages.empty());
    }
}

TEST(TextBoxesTest, NewCopyrightMovesEveryLaterPositionAndReplacesTheOldText) {
    StubSession test;
    Session& s = test.session;
    s.song.bytes = ByteImage(test::SongFile(TrackBuilder().Marker(0x60, "SFF1").Raw(kNote)));
    s.song.fileName = "/songs/song.mid";
    LeaveCopyrightBox(s, "(c) 2026");
    EXPECT_EQ(s.facts.copyrightPos, 26);
    EXPECT_EQ(s.markers.entries[0].position, 34);  // moved by 12
    LeaveCopyrightBox(s, "(c) 1999");
    EXPECT_EQ(
        s.song.bytes.Bytes(),
        test::SongFile(TrackBuilder().Text(0, 2, "(c) 1999").Marker(0x60, "SFF1").Raw(kNote)));
    LoadText(s, "Jazz", 4, 26);
    EXPECT_EQ(s.walk.walkPos, 26 + 4);  // the cursor behind the last byte written
}

TEST(TextBoxesTest, WithoutAnOpenFileOrWithADamagedSongTheBoxIsRefused) {
    StubSession test;
    Session& s = test.session;
    s.view.txtCopyright = "typed";
    LeaveCopyrightBox(s, "typed");
    EXPECT_EQ(s.view.txtCopyright, "");
    s.song.bytes = ByteImage(Concat({test::Headers(50), {0x00, 0x90}}));
    s.song.fileName = "/songs/song.mid";
    const ByteImage before = s.song.bytes;
    LeaveStyleNameBox(s, "Name");
    EXPECT_EQ(s.song.bytes, before);
    ASSERT_EQ(test.platform.messages.size(), 2u);
    EXPECT_EQ(test.platform.messages[0],
              "A file has not yet been opened. Click on Open File to identify the file to use.");
    EXPECT_NE(test.platform.messages[1].find("in Function GetInfo"), std::string::npos);
}

}  // namespace
}  // namespace zephrane
