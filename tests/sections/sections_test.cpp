// Taking a section's markers out of the song image, byte by byte.

#include "sections/sections.h"

#include <gtest/gtest.h>

#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

const std::string kMainAMarkers[] = {">Main A", "<Main A", "Main A"};
const Bytes kStyleCasm = {'C', 'A', 'S', 'M', 0, 0, 0, 0};  // a chunk after a style's track

struct RemovalCase {
    const char* name;
    Bytes song;
    Bytes expected;
    int removed;
};

// clang-format off
const RemovalCase kRemovalCases[] = {
    // 100 + 100 ticks: the joined delta time needs two bytes.
    {"DeltaTimesJoinInFrontOfTheNextEvent",
     test::SongFile(TrackBuilder().TimeSignature(0, 4, 2).Marker(100, ">Main A")
         .NoteOn(100, 10, 36, 100).EndOfTrack(0)),
     test::SongFile(TrackBuilder().TimeSignature(0, 4, 2).NoteOn(200, 10, 36, 100).EndOfTrack(0)),
     1},
    {"BothMarkersGoOtherSectionsAndTheStyleCasmStay",
     Concat({test::SongFile(TrackBuilder().Marker(0, ">Main A").NoteOn(0, 10, 36, 100)
         .Marker(1920, "<Main A").NoteOn(0, 10, 36, 100).Marker(0, "Main B").EndOfTrack(960)),
         kStyleCasm}),
     Concat({test::SongFile(TrackBuilder().NoteOn(0, 10, 36, 100).NoteOn(1920, 10, 36, 100)
         .Marker(0, "Main B").EndOfTrack(960)), kStyleCasm}),
     2},
    {"MarkersSideBySideBothGo",
     test::SongFile(TrackBuilder().Marker(10, "<Main A").Marker(20, "Main A")
         .NoteOn(30, 1, 60, 90).EndOfTrack(0)),
     test::SongFile(TrackBuilder().NoteOn(60, 1, 60, 90).EndOfTrack(0)),
     2},
    {"MarkerBeforeEndOfTrack",
     test::SongFile(TrackBuilder().NoteOn(0, 1, 60, 90).Marker(50, "<Main A").EndOfTrack(70)),
     test::SongFile(TrackBuilder().NoteOn(0, 1, 60, 90).EndOfTrack(120)),
     1},
    {"NoMarkerOfTheSection",
     test::SongFile(TrackBuilder().Marker(0, ">Main AA").NoteOn(0, 1, 60, 90).EndOfTrack(0)),
     test::SongFile(TrackBuilder().Marker(0, ">Main AA").NoteOn(0, 1, 60, 90).EndOfTrack(0)),
     0},
};
// clang-format on

class RemoveMarkersTest : public ::testing::TestWithParam<RemovalCase> {};

// Every later event keeps its time and the track length follows.
TEST_P(RemoveMarkersTest, LeavesTheSongWithoutTheSectionsMarkers) {
    ByteImage song(GetParam().song);
    EXPECT_EQ(RemoveMarkers(song, kMainAMarkers), GetParam().removed);
    EXPECT_EQ(song.Bytes(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Sections, RemoveMarkersTest, ::testing::ValuesIn(kRemovalCases),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace zephrane
