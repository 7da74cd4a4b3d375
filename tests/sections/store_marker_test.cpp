#include "sections/sections.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

// A style's CASM behind the track: the track length must not count it, nor the marker move it.
const Bytes kCasm = {'C', 'A', 'S', 'M', 0, 0, 0, 4, 'C', 'S', 'E', 'G'};

struct StoreCase {
    const char* name;
    Bytes events;
    std::vector<std::pair<const char*, int>> markers;  // text and measure, stored in turn
    Bytes expected;
};

// clang-format off
const StoreCase kStoreCases[] = {
    // The marker takes the delta of the measure's first event, which follows at delta 0 with
    // its status byte written out, also where it had running status after a text event.
    {"RunningStatusEventGetsItsStatusByteWrittenOut",
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100).RunningStatus(1920, {60, 0})
         .EndOfTrack().Events(),
     {{">Main A", 1}},
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100).Marker(1920, ">Main A")
         .NoteOn(0, 2, 60, 0).EndOfTrack().Events()},
    {"RunningStatusAfterATextEventGetsItsStatusByteWrittenOut",
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100).Text(0, 1, "on")
         .RunningStatus(1920, {60, 0}).EndOfTrack().Events(),
     {{">Main A", 1}},
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100).Text(0, 1, "on")
         .Marker(1920, ">Main A").NoteOn(0, 2, 60, 0).EndOfTrack().Events()},
    {"LaterEventsKeepTheirDeltas",
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(1920, 1, 60, 100).NoteOff(480, 1, 60)
         .EndOfTrack(1440).Events(),
     {{">Main A", 1}},
     TrackBuilder().TimeSignature(0, 4, 2).Marker(1920, ">Main A").NoteOn(0, 1, 60, 100)
         .NoteOff(480, 1, 60).EndOfTrack(1440).Events()},
    {"MeasureZeroInsertsAfterAMultiByteFirstDelta",
     TrackBuilder().NoteOn(200, 1, 60, 100).EndOfTrack().Events(),
     {{"SInt", 0}},
     TrackBuilder().Marker(200, "SInt").NoteOn(0, 1, 60, 100).EndOfTrack().Events()},
    {"SecondMarkerInOneMeasureLandsInFrontOfTheFirst",
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(0, 10, 36, 100).NoteOn(3840, 10, 36, 100)
         .EndOfTrack().Events(),
     {{"<Intro A", 2}, {">Intro B", 2}},
     TrackBuilder().TimeSignature(0, 4, 2).NoteOn(0, 10, 36, 100).Marker(3840, ">Intro B")
         .Marker(0, "<Intro A").NoteOn(0, 10, 36, 100).EndOfTrack().Events()},
};
// clang-format on

class StoreMarkerTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoreMarkerTest, InsertsTheMarkerAndRewritesTheTrackLength) {
    const StoreCase& c = GetParam();
    StubSession test;
    Session& s = test.session;
    s.song.bytes = ByteImage(Concat({test::SongFile(c.events), kCasm}));
    for (const auto& [text, measure] : c.markers)
        ASSERT_TRUE(StoreMarker(s, text, measure)) << text;
    EXPECT_EQ(s.song.bytes.Bytes(), Concat({test::SongFile(c.expected), kCasm}));
}

INSTANTIATE_TEST_SUITE_P(Cases, StoreMarkerTest, ::testing::ValuesIn(kStoreCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(StoreMarker, MeasureWithoutEventOrBeyondTheTableIsRefusedUntouched) {
    StubSession test;
    Session& s = test.session;
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 1, 60, 1).NoteOn(3840, 1, 60, 1).EndOfTrack();
    s.song.bytes = ByteImage(test::SongFile(track));
    const ByteImage before = s.song.bytes;
    EXPECT_FALSE(StoreMarker(s, ">Main A", 1));   // measure 1 holds no event
    EXPECT_FALSE(StoreMarker(s, ">Main B", 11));  // the table ends at 10
    EXPECT_EQ(s.song.bytes, before);
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"This file is too small to add the marker>Main A using the "
                                        "buttons\r\nGo to Sequencer and add the marker manually",
                                        "This file is too small to add the marker>Main B using the "
                                        "buttons\r\nGo to Sequencer and add the marker manually"}));
}

}  // namespace
}  // namespace zephrane
