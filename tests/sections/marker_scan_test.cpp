#include "sections/marker_scan.h"

#include <gtest/gtest.h>

#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
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
    {"NoteUnderRunningStatusAtTheBarLine",
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100).Raw({0x8F, 0x00, 60, 0})
         .Raw({0x10, 62, 90}).Raw({0x8F, 0x00, 62, 0}).EndOfTrack(0).Events(),
     "<Intro A", 1},
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
    ASSERT_TRUE(ScanSong(s));
    const SessionState before = s;
    const int64_t oldSize = s.song.bytes.Size();
    ASSERT_TRUE(StoreMarker(s, c.marker, c.measure));
    static_cast<SessionState&>(scanned.session) = before;
    scanned.session.song = s.song;
    ASSERT_TRUE(ScanSong(scanned.session));
    ASSERT_TRUE(
        FollowMarkerInsertion(s.ScanParts(), c.marker, c.measure, s.song.bytes.Size() - oldSize));
    EXPECT_TRUE(SameScanResults(s, scanned.session));
}

INSTANTIATE_TEST_SUITE_P(Cases, FollowMarkerInsertionTest, ::testing::ValuesIn(kFollowCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FollowMarkerInsertion, LeavesSetUpMarkersAndMeasureZeroToAScan) {
    StubSession test;
    Session& s = Loaded(test, FullMarkerList());
    ASSERT_TRUE(ScanSong(s));
    const SessionState before = s;
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), "SInt", 1, 8));
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), "SFF1", 1, 8));
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), ">Main A", 0, 11));
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), ">Main A", 5, 11));  // no event starts there
    EXPECT_TRUE(SameScanResults(s, before));
}

}  // namespace
}  // namespace zephrane
