#include <gtest/gtest.h>

#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::TrackBuilder;
using MarkerMap = std::map<int, std::vector<std::string>>;

class SectionButtonTest : public ::testing::Test {
  protected:
    void Load(const TrackBuilder& track) {
        s.song.bytes = ByteImage(test::SongFile(track));
        s.song.fileName = "/songs/song.mid";
    }
    // Markers by measure, in file order.
    MarkerMap MarkersByMeasure() {
        ScanSong(s);
        MarkerMap byMeasure;
        for (int i = 0; i < s.markers.count; ++i)
            byMeasure[s.markers.entries[i].tick / 1920].push_back(s.markers.entries[i].text);
        return byMeasure;
    }
    const std::vector<std::string>& Messages() const { return test.platform.messages; }

    StubSession test;
    Session& s = test.session;
};

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
// event, or lies beyond the measure table, or no file is open.
TEST_F(SectionButtonTest, ASectionNeedsAnOpenFileAndEventsWhereItsMarkersGo) {
    EXPECT_FALSE(PressSectionButton(s, "Main A"));
    Load(EventsIn({0, 1, 2}, 3));  // the shortest song Intro A fits into
    EXPECT_TRUE(PressSectionButton(s, "Intro A"));
    EXPECT_EQ(MarkersByMeasure(), (MarkerMap{{1, {">Intro A"}}, {2, {"<Intro A"}}}));
    EXPECT_TRUE(s.sectionFlags[9]);
    EXPECT_TRUE(s.view.sectionPressed[9]);
    Load(EventsIn({0, 8, 9}, 11));  // nothing in measure 10
    EXPECT_FALSE(PressSectionButton(s, "Main A"));
    EXPECT_FALSE(PressSectionButton(s, "Intro C"));  // the one section with its own message
    Load(EventsIn({0, 8, 9, 10}, 10));               // the table ends at measure 10
    EXPECT_FALSE(PressSectionButton(s, "Main B"));
    EXPECT_FALSE(s.sectionFlags[2] || s.sectionFlags[3]);
    EXPECT_EQ(
        Messages(),
        (std::vector<std::string>{
            "A file has not yet been opened. Click on Open File to identify the file to use.",
            MinimumMeasuresText(11),
            "To add this part requires a midi of at least 8 measures. GoSequencer and add the "
            "measures before selecting this part",
            MinimumMeasuresText(14)}));
}

TEST_F(SectionButtonTest, SectionAlreadyNamedByAnyMarkerIsOnlyShownPressed) {
    for (const char* existing : {">Main A", "Main A", "<Main A", "My Main A take"}) {
        Load(TrackBuilder().Marker(0, existing).Raw(test::MeasuresSong(12).Events()));
        const ByteImage before = s.song.bytes;
        EXPECT_TRUE(PressSectionButton(s, "Main A")) << existing;
        EXPECT_EQ(s.song.bytes, before) << existing;
        EXPECT_TRUE(s.view.sectionPressed[2]);
    }
}

TEST_F(SectionButtonTest, BbMarkerOnAMeasureWithoutEventIsRefusedNotWrittenIntoTheHeader) {
    Load(EventsIn({0, 2, 6, 10}, 45));
    const Bytes header(s.song.bytes.Bytes().begin(), s.song.bytes.Bytes().begin() + 14);
    MarkBBSections(s, false);
    EXPECT_EQ(Bytes(s.song.bytes.Bytes().begin(), s.song.bytes.Bytes().begin() + 14), header);
    EXPECT_EQ(MarkersByMeasure().at(2), (std::vector<std::string>{">Intro C", ">Intro A"}));
    EXPECT_EQ(Messages().front(),
              "This file is too small to add the marker<Main A using the buttons\r\nGo to "
              "Sequencer and add the marker manually");
}

}  // namespace
}  // namespace zephrane
