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
using test::Concat;
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
    {"FullMarkerListGrowsAsTheScanGrowsIt", FullMarkerList(), "<Intro A", 1},
};
// clang-format on

class FollowMarkerInsertionTest : public ::testing::TestWithParam<FollowCase> {};

// The marker goes in and is followed; a scan of the new song must give the same session.
TEST_P(FollowMarkerInsertionTest, LeavesWhatAScanOfTheNewSongGives) {
    const FollowCase& c = GetParam();
    StubSession test, scanned;
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

// A style's CASM behind the track: the track length must not count it, nor the marker move it.
const Bytes kCasm = {'C', 'A', 'S', 'M', 0, 0, 0, 4, 'C', 'S', 'E', 'G'};

// The marker takes the delta of the measure's first event, which follows at delta 0 with its
// status byte written out, also where it had running status after a text event.
TEST(StoreMarker, RunningStatusEventAtTheBarLineGetsItsStatusByteWrittenOut) {
    for (bool textBefore : {false, true}) {
        SCOPED_TRACE(textBefore);
        TrackBuilder song, expected;
        for (TrackBuilder* track : {&song, &expected}) {
            track->TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100);
            if (textBefore) track->Text(0, 1, "on");
        }
        song.RunningStatus(1920, {60, 0}).EndOfTrack();
        expected.Marker(1920, ">Main A").NoteOn(0, 2, 60, 0).EndOfTrack();
        StubSession test;
        test.session.song.bytes = ByteImage(Concat({test::SongFile(song), kCasm}));
        ASSERT_TRUE(StoreMarker(test.session, ">Main A", 1));
        EXPECT_EQ(test.session.song.bytes.Bytes(), Concat({test::SongFile(expected), kCasm}));
    }
}

// Events only in the measures listed (4/4, 1920 ticks), each on its first beat.
TrackBuilder EventsIn(std::initializer_list<int> measures, int endMeasure) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    int tick = 0;
    for (int m : measures) {
        track.NoteOn(static_cast<uint32_t>(m * 1920 - tick), 10, 36, 100);
        tick = m * 1920;
    }
    return track.EndOfTrack(static_cast<uint32_t>(endMeasure * 1920 - tick));
}

// The message a button shows when the song is too short for its section.
std::string MinimumMeasuresText(int measures) {
    return "To add this part requires a midi of at least " + std::to_string(measures) +
           " measures. GoSequencer and add the measures by copying and pasting the rhythm track or "
           "making a click track with a event on the first beat of every measure before "
           "selecting this part. Do this for 34 measures to accommodate all parts. ";
}

// Guards against a section marked where its first measure or the measure after it holds no
// event, or lies beyond the measure table.
TEST(PressSectionButton, ASectionNeedsEventsWhereItsMarkersGo) {
    StubSession test;
    Session& s = test.session;
    Loaded(test, EventsIn({0, 1, 2}, 3).Events());  // the shortest song Intro A fits into
    EXPECT_TRUE(PressSectionButton(s, "Intro A"));
    ASSERT_TRUE(ScanSong(s));
    std::vector<std::pair<std::string, int>> markers;  // text and measure
    for (int i = 0; i < s.markers.count; ++i)
        markers.emplace_back(s.markers.entries[i].text, s.markers.entries[i].tick / 1920);
    EXPECT_EQ(markers,
              (std::vector<std::pair<std::string, int>>{{">Intro A", 1}, {"<Intro A", 2}}));
    EXPECT_TRUE(s.sectionFlags[9] && s.view.sectionPressed[9]);
    Loaded(test, EventsIn({0, 8, 9}, 11).Events());  // nothing in measure 10
    EXPECT_FALSE(PressSectionButton(s, "Main A"));
    EXPECT_FALSE(PressSectionButton(s, "Intro C"));      // the one section with its own message
    Loaded(test, EventsIn({0, 8, 9, 10}, 10).Events());  // the table ends at measure 10
    EXPECT_FALSE(PressSectionButton(s, "Main B"));
    EXPECT_FALSE(s.sectionFlags[2] || s.sectionFlags[3]);
    EXPECT_EQ(
        test.platform.messages,
        (std::vector<std::string>{
            MinimumMeasuresText(11),
            "To add this part requires a midi of at least 8 measures. GoSequencer and add the "
            "measures before selecting this part",
            MinimumMeasuresText(14)}));
}

}  // namespace
}  // namespace zephrane
