#include "sections/sections.h"

#include <gtest/gtest.h>

#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::Headers;
using test::TrackBuilder;

const Bytes kMainAMarker = {0xFF, 0x06, 0x07, '>', 'M', 'a', 'i', 'n', ' ', 'A'};

class StoreMarkerTest : public ::testing::Test {
  protected:
    void Load(const Bytes& events) { s.song.bytes = ByteImage(test::SongFile(events)); }
    Bytes Track() const {
        const auto& all = s.song.bytes.Bytes();
        return Bytes(all.begin() + 22, all.end());
    }
    // Absolute tick of every event, walked by an independent reading of the test's own bytes.
    std::vector<int64_t> Times() {
        std::vector<int64_t> times;
        WalkState walk;
        TrackWalker walker(s.song.bytes, walk);
        while (!walker.AtEnd())
            times.push_back(walker.Next().absoluteTime);
        return times;
    }

    StubSession test;
    Session& s = test.session;
};

TEST_F(StoreMarkerTest, RunningStatusEventGetsItsStatusByteWrittenOut) {
    Load({
        0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,  // 4/4
        0x00, 0x91, 60,   100,                // note-on, channel 2
        0x8F, 0x00, 60,   0,                  // measure 1, running status: velocity 0
        0x00, 0xFF, 0x2F, 0x00,
    });
    ASSERT_TRUE(StoreMarker(s, ">Main A", 1));
    EXPECT_EQ(Track(), Concat({
                           {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, 0x00, 0x91, 60, 100},
                           {0x8F, 0x00},
                           kMainAMarker,         // the marker takes the note's delta
                           {0x00, 0x91, 60, 0},  // the note follows at delta 0
                           {0x00, 0xFF, 0x2F, 0x00},
                       }));
    EXPECT_EQ(s.song.bytes.ReadU32BE(18), 20u + 7 + 5);
}

// Guards against a running status that goes on after a text event: the scan reads the note
// with the channel's status, and the marker in front of it writes that status out.
TEST_F(StoreMarkerTest, RunningStatusAfterATextEventGetsItsStatusByteWrittenOut) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2)
        .NoteOn(0, 2, 60, 100)
        .Text(0, 1, "on")
        .RunningStatus(1920, {60, 0})  // measure 1, running status after the text
        .EndOfTrack();
    Load(track.Events());
    ASSERT_TRUE(StoreMarker(s, ">Main A", 1));
    EXPECT_EQ(Track(), Concat({
                           {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8, 0x00, 0x91, 60, 100},
                           {0x00, 0xFF, 0x01, 0x02, 'o', 'n'},
                           {0x8F, 0x00},
                           kMainAMarker,         // the marker takes the note's delta
                           {0x00, 0x91, 60, 0},  // the note follows with its status
                           {0x00, 0xFF, 0x2F, 0x00},
                       }));
    EXPECT_EQ(s.song.bytes.ReadU32BE(18), 26u + 7 + 5);
}

TEST_F(StoreMarkerTest, MultiByteDeltaStaysWithTheMarkerAndLaterTimesAreUnchanged) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(1920, 1, 60, 100).NoteOff(480, 1, 60).EndOfTrack(1440);
    Load(track.Events());
    const std::vector<int64_t> before = Times();
    ASSERT_TRUE(StoreMarker(s, ">Main A", 1));
    const Bytes track2 = Track();
    EXPECT_EQ(Bytes(track2.begin() + 8, track2.begin() + 24),
              Concat({{0x8F, 0x00}, kMainAMarker, {0x00, 0x90, 60, 100}}));
    std::vector<int64_t> after = Times();
    after.erase(after.begin() + 1);  // the marker
    EXPECT_EQ(after, before);
}

TEST_F(StoreMarkerTest, MeasureZeroInsertsAfterAMultiByteFirstDelta) {
    // The first event at tick 200 carries the two delta bytes 81 48.
    Load({0x81, 0x48, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00});
    ASSERT_TRUE(StoreMarker(s, "SInt", 0));
    EXPECT_EQ(Track(), (Bytes{0x81, 0x48, 0xFF, 0x06, 0x04, 'S', 'I', 'n', 't', 0x00, 0x90, 60, 100,
                              0x00, 0xFF, 0x2F, 0x00}));
}

TEST_F(StoreMarkerTest, SecondMarkerInOneMeasureLandsInFrontOfTheFirst) {
    Load(test::MeasuresSong(3).Events());
    StoreMarker(s, "<Intro A", 2);
    StoreMarker(s, ">Intro B", 2);
    ScanSong(s);
    ASSERT_EQ(s.markers.count, 2);
    EXPECT_EQ(s.markers.entries[0].text, ">Intro B");
    EXPECT_EQ(s.markers.entries[1].text, "<Intro A");
    EXPECT_EQ(s.markers.entries[0].tick, 3840);
}

TEST_F(StoreMarkerTest, MeasureWithoutEventOrBeyondTheTableIsRefusedUntouched) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 1, 60, 1).NoteOn(3840, 1, 60, 1).EndOfTrack();
    Load(track.Events());
    const ByteImage before = s.song.bytes;
    EXPECT_FALSE(StoreMarker(s, ">Main A", 1));   // measure 1 holds no event
    EXPECT_FALSE(StoreMarker(s, ">Main B", 11));  // the table ends at 10
    EXPECT_EQ(s.song.bytes, before);
    ASSERT_EQ(test.platform.messages.size(), 2u);
    EXPECT_EQ(test.platform.messages[0],
              "This file is too small to add the marker>Main A using the buttons\r\nGo to "
              "Sequencer and add the marker manually");
    EXPECT_EQ(test.platform.messages[1],
              "This file is too small to add the marker>Main B using the buttons\r\nGo to "
              "Sequencer and add the marker manually");
}

TEST_F(StoreMarkerTest, TrackLengthIgnoresAStylesCasmKeptBehindTheTrack) {
    const Bytes events = {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes casm = {'C', 'A', 'S', 'M', 0, 0, 0, 4, 'C', 'S', 'E', 'G'};
    s.song.bytes = ByteImage(Concat({Headers(8), events, casm}));
    ASSERT_TRUE(StoreMarker(s, "SFF1", 0));
    EXPECT_EQ(s.song.bytes.ReadU32BE(18), 8u + 8);
    const auto& all = s.song.bytes.Bytes();
    EXPECT_EQ(Bytes(all.end() - 12, all.end()), casm);
}

}  // namespace
}  // namespace zephrane
