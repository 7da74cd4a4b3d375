#include "sections/marker_scan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/session.h"
#include "app/stub_platform.h"
#include "sections/sections.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::TrackBuilder;

Session& Loaded(StubSession& test, const Bytes& track) {
    test.session.song.bytes = ByteImage(test::SongFile(track));
    test.session.song.fileName = "/songs/song.mid";
    // What earlier walks left behind, which a scan keeps where it reads no text.
    test.session.walk.metaText = "left by an earlier walk";
    return test.session;
}

Bytes FullMarkerList() {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    for (int i = 0; i < 21; ++i)
        track.Marker(0, "Cue " + std::to_string(i));
    track.NoteOn(0, 10, 36, 100).NoteOn(1920, 10, 36, 100).NoteOn(1920, 10, 36, 100);
    return track.EndOfTrack(0).Events();
}

struct FollowCase {
    const char* name;
    Bytes track;
    const char* marker;
    int measure;
};

// clang-format off
const FollowCase kFollowCases[] = {
    {"MusicThatStartsAfterTheMarker",
     TrackBuilder().TimeSignature(0, 4, 2).Controller(1920, 1, 7, 100).Controller(1920, 1, 7, 90)
         .NoteOn(1920, 1, 60, 100).EndOfTrack(1920).Events(),
     "<Intro A", 2},
    {"MultiByteDeltaAndMarkersOnBothSides",
     TrackBuilder().TimeSignature(0, 4, 2).Marker(0, "SFF1").NoteOn(0, 10, 36, 100)
         .Marker(480, "Verse").NoteOn(3360, 10, 36, 100).NoteOn(1920, 10, 36, 100)
         .Marker(100, "Chorus").Text(0, 3, "New name").Text(0, 2, "(p)").KeySignature(0, 2, 1)
         .NoteOn(1820, 10, 36, 100).EndOfTrack(0).Events(),
     ">Main A", 2},
    {"FullMarkerListGrowsAsTheScanGrowsIt", FullMarkerList(), "<Intro A", 1},
};
// clang-format on

class FollowMarkerInsertionTest : public ::testing::TestWithParam<FollowCase> {};

// The marker goes in and is followed; a scan of the new song must give the same session.
TEST_P(FollowMarkerInsertionTest, LeavesWhatAScanOfTheNewSongGives) {
    const FollowCase& c = GetParam();
    StubSession test;
    StubSession scanned;
    Session& s = Loaded(test, c.track);
    ASSERT_EQ(ScanSong(s, ""), "ok");
    const SessionState before = s;
    const int64_t oldSize = s.song.bytes.Size();
    ASSERT_TRUE(StoreMarker(s, c.marker, c.measure));
    static_cast<SessionState&>(scanned.session) = before;
    scanned.session.song = s.song;
    ASSERT_EQ(ScanSong(scanned.session, ""), "ok");
    ASSERT_TRUE(FollowMarkerInsertion(s, c.marker, c.measure, s.song.bytes.Size() - oldSize));
    EXPECT_TRUE(SameScanResults(s, scanned.session));
}

INSTANTIATE_TEST_SUITE_P(Cases, FollowMarkerInsertionTest, ::testing::ValuesIn(kFollowCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FollowMarkerInsertion, LeavesSetUpMarkersAndMeasureZeroToAScan) {
    StubSession test;
    Session& s = Loaded(test, FullMarkerList());
    ASSERT_EQ(ScanSong(s, ""), "ok");
    const SessionState before = s;
    EXPECT_FALSE(FollowMarkerInsertion(s, "SInt", 1, 8));
    EXPECT_FALSE(FollowMarkerInsertion(s, "SFF1", 1, 8));
    EXPECT_FALSE(FollowMarkerInsertion(s, ">Main A", 0, 11));
    EXPECT_FALSE(FollowMarkerInsertion(s, ">Main A", 5, 11));  // no event starts there
    EXPECT_TRUE(SameScanResults(s, before));
}

// A song whose bar lines carry, in turn, a note with its own status, a note under running
// status, a controller, a text event, a SysEx message and a program change, with text, name,
// copyright and key-signature events between them until measure 28.
Bytes MixedBarLines(int measures = 36) {
    TrackBuilder track;
    track.Text(0, 3, "Song").TimeSignature(0, 4, 2).Tempo(0, 500000).Program(0, 2, 33);
    for (int m = 0; m < measures; ++m) {
        const int kind = m % 6;
        if (kind == 0) track.NoteOn(m == 0 ? 0 : 480, 1, 60, 100);
        if (kind == 1) track.Raw({0x83, 0x60, 62, 100});  // 480 ticks, running status 91
        if (kind == 2) track.Controller(480, 2, 11, 100);
        if (kind == 3) track.Text(480, 1, "bar " + std::to_string(m));
        if (kind == 4) track.SysEx(480, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x10, 0xF7});
        if (kind == 5) track.Program(480, 2, static_cast<uint8_t>(m));
        if (m < 28 && m % 4 == 0) {
            track.Text(960, 1, "verse " + std::to_string(m));
        } else if (m == 12) {
            track.Text(960, 2, "(c) later");
        } else if (m == 20) {
            track.KeySignature(960, 1, 0);
        } else if (m == 25) {
            track.Text(960, 3, "Renamed");
        } else {
            track.NoteOn(960, 2, 48, 0);
        }
        track.NoteOn(480, 2, 50, 0);  // channel 2 in force for the next bar line's running status
    }
    return track.EndOfTrack(480).Events();
}

// A section button as it was before the scan between its markers was worked out: the end and
// start markers go in, each followed by a scan of the song.
void PressWithScans(Session& session, std::string_view key) {
    ASSERT_EQ(ScanSong(session, ""), "ok");
    const SectionRow& row = *SectionByKey(key);
    for (int i = 0; i < session.markers.count; ++i) {
        if (session.markers.entries[i].text.find(row.name) != std::string::npos) return;
    }
    ASSERT_TRUE(StoreMarker(session, "<" + std::string(row.name), row.end));
    ASSERT_TRUE(StoreMarker(session, ">" + std::string(row.name), row.start));
}

// In reverse order end markers land in front of the start markers of sections already marked.
TEST(FollowMarkerInsertion, EveryButtonInEitherOrderLeavesWhatScansLeft) {
    std::vector<std::string> keys = AllSectionKeys();
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reverse order" : "toolbar order");
        if (reversed) std::reverse(keys.begin(), keys.end());
        StubSession test;
        StubSession scanned;
        Session& s = Loaded(test, MixedBarLines());
        static_cast<SessionState&>(scanned.session) = s;
        for (const std::string& key : keys) {
            SCOPED_TRACE(key);
            ASSERT_TRUE(PressSectionButton(s, key));
            PressWithScans(scanned.session, key);
            EXPECT_TRUE(SameScanResults(s, scanned.session));
        }
        EXPECT_EQ(s.markers.count, 27);
    }
}

}  // namespace
}  // namespace zephrane
