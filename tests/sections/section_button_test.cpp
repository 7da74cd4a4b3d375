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

class SectionButtonTest : public ::testing::Test {
  protected:
    void Load(const TrackBuilder& track) {
        s.song.bytes = ByteImage(test::SongFile(track));
        s.song.fileName = "/songs/song.mid";
    }
    std::vector<std::string> MarkerTexts() {
        ScanSong(s);
        std::vector<std::string> texts;
        for (int i = 0; i < s.markers.count; ++i)
            texts.push_back(s.markers.entries[i].text);
        return texts;
    }
    // Markers by measure, in file order.
    std::map<int, std::vector<std::string>> MarkersByMeasure() {
        ScanSong(s);
        std::map<int, std::vector<std::string>> byMeasure;
        for (int i = 0; i < s.markers.count; ++i) {
            const Marker& marker = s.markers.entries[i];
            byMeasure[marker.tick / 1920].push_back(marker.text);
        }
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
    track.EndOfTrack(static_cast<uint32_t>(endMeasure * 1920 - tick));
    return track;
}

TEST_F(SectionButtonTest, MainANeedsEventsInItsStartAndEndMeasures) {
    Load(EventsIn({0, 8, 10}, 11));
    EXPECT_TRUE(PressSectionButton(s, "Main A"));
    EXPECT_EQ(MarkerTexts(), (std::vector<std::string>{">Main A", "<Main A"}));
    EXPECT_TRUE(s.sectionFlags[2]);
    EXPECT_TRUE(s.view.sectionPressed[2]);
    EXPECT_TRUE(Messages().empty());

    Load(EventsIn({0, 8, 9}, 11));
    s.sectionFlags.fill(false);
    EXPECT_FALSE(PressSectionButton(s, "Main A"));
    EXPECT_FALSE(s.sectionFlags[2]);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0],
              "To add this part requires a midi of at least 11 measures. GoSequencer and add the "
              "measures by copying and pasting the rhythm track or making a click track with a "
              "event on the first beat of every measure before selecting this part. Do this for "
              "34 measures to accommodate all parts. ");
}

TEST_F(SectionButtonTest, ThreeMeasureSongTakesIntroA) {
    Load(EventsIn({0, 1, 2}, 3));
    EXPECT_TRUE(PressSectionButton(s, "Intro A"));
    EXPECT_EQ(MarkersByMeasure(),
              (std::map<int, std::vector<std::string>>{{1, {">Intro A"}}, {2, {"<Intro A"}}}));
}

TEST_F(SectionButtonTest, MeasureBeyondTheTableShowsTheMinimumMessageInsteadOfFailing) {
    Load(EventsIn({0, 8, 9, 10}, 10));
    ASSERT_EQ(s.measures.LastIndex(), 10);
    EXPECT_FALSE(PressSectionButton(s, "Main B"));
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("at least 14 measures"), std::string::npos);
}

TEST_F(SectionButtonTest, EachSectionNamesItsOwnMinimumMeasures) {
    Load(EventsIn({0}, 1));  // one measure: every section is too long
    for (const SectionRow& row : kSectionTable)
        PressSectionButton(s, row.key);
    ASSERT_EQ(Messages().size(), 14u);
    const int expected[] = {3, 6, 0, 11, 14, 17, 20, 22, 24, 26, 28, 30, 32, 34};
    for (size_t i = 0; i < 14; ++i) {
        if (kSectionTable[i].key == "Intro C") {
            EXPECT_EQ(Messages()[i],
                      "To add this part requires a midi of at least 8 measures. GoSequencer and "
                      "add the measures before selecting this part");
        } else {
            const std::string start = "To add this part requires a midi of at least " +
                                      std::to_string(expected[i]) +
                                      " measures. GoSequencer and add the measures by copying";
            EXPECT_TRUE(Messages()[i].starts_with(start)) << kSectionTable[i].key;
        }
    }
}

// Guards against a song without time signature refusing every section: its measures are 4/4.
TEST_F(SectionButtonTest, SongWithoutTimeSignatureTakesSectionsOnFourFourMeasures) {
    Load(test::MeasuresSongWithoutTimeSignature(35));
    EXPECT_TRUE(PressSectionButton(s, "Main A"));
    EXPECT_TRUE(Messages().empty());
    ScanSong(s);
    ASSERT_EQ(s.markers.count, 2);
    EXPECT_EQ(s.markers.entries[0].text, ">Main A");
    EXPECT_EQ(s.markers.entries[0].tick, 8 * 1920);
    EXPECT_EQ(s.markers.entries[1].text, "<Main A");
    EXPECT_EQ(s.markers.entries[1].tick, 10 * 1920);
    EXPECT_EQ(s.facts.measureCount, 35);

    for (const SectionRow& row : kSectionTable)
        EXPECT_TRUE(PressSectionButton(s, row.key)) << row.key;
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(MarkersByMeasure().size(), 28u);  // every start and end measure differs
}

TEST_F(SectionButtonTest, SectionAlreadyNamedByAnyMarkerIsOnlyShownPressed) {
    for (const char* existing : {">Main A", "Main A", "<Main A", "My Main A take"}) {
        TrackBuilder track = test::MeasuresSong(12);
        Load(TrackBuilder().Marker(0, existing).Raw(track.Events()));
        const ByteImage before = s.song.bytes;
        EXPECT_TRUE(PressSectionButton(s, "Main A")) << existing;
        EXPECT_EQ(s.song.bytes, before) << existing;
        EXPECT_TRUE(s.view.sectionPressed[2]);
    }
}

TEST_F(SectionButtonTest, EndingsAndFillsUseTheirStyleMarkerNames) {
    Load(test::MeasuresSong(34));
    EXPECT_TRUE(PressSectionButton(s, "End B"));
    EXPECT_TRUE(PressSectionButton(s, "Fill AA"));
    EXPECT_EQ(MarkersByMeasure(), (std::map<int, std::vector<std::string>>{{22, {">Ending B"}},
                                                                           {23, {"<Ending B"}},
                                                                           {26, {">Fill In AA"}},
                                                                           {27, {"<Fill In AA"}}}));
    EXPECT_TRUE(s.sectionFlags[16]);
    EXPECT_TRUE(s.sectionFlags[21]);
}

TEST_F(SectionButtonTest, WithoutAnOpenFileNothingHappensButTheMessage) {
    EXPECT_FALSE(PressSectionButton(s, "Main A"));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"A file has not yet been opened. Click on Open "
                                                    "File to identify the file to use."}));
}

TEST_F(SectionButtonTest, BbLayoutWithFourMeasureMains) {
    Load(test::MeasuresSong(45));
    MarkBBSections(s, false);
    const auto byMeasure = MarkersByMeasure();
    EXPECT_EQ(byMeasure.at(2), (std::vector<std::string>{">Intro C", ">Intro A"}));
    EXPECT_EQ(byMeasure.at(6), (std::vector<std::string>{">Intro B", "<Intro A"}));
    EXPECT_EQ(byMeasure.at(10), (std::vector<std::string>{">Main A", "<Intro C", "<Intro B"}));
    EXPECT_EQ(byMeasure.at(14), (std::vector<std::string>{"<Main A"}));
    EXPECT_EQ(byMeasure.at(17), (std::vector<std::string>{">Fill In AA"}));
    EXPECT_EQ(byMeasure.at(18), (std::vector<std::string>{">Main B", "<Fill In AA"}));
    EXPECT_EQ(byMeasure.at(26), (std::vector<std::string>{">Main C", "<Fill In BB"}));
    EXPECT_EQ(byMeasure.at(34), (std::vector<std::string>{">Main D", "<Fill In CC"}));
    EXPECT_EQ(byMeasure.at(40), (std::vector<std::string>{">Ending C"}));
    EXPECT_EQ(byMeasure.at(41), (std::vector<std::string>{">Ending B", ">Fill In DD"}));
    EXPECT_EQ(byMeasure.at(42), (std::vector<std::string>{">Ending A", "<Fill In DD"}));
    EXPECT_EQ(byMeasure.at(44), (std::vector<std::string>{"<Ending C", "<Ending B", "<Ending A"}));
    for (const SectionRow& row : kSectionTable)
        EXPECT_TRUE(s.view.sectionPressed[row.slot]);
    EXPECT_FALSE(s.sectionFlags[2]);  // the reload after the command sets the flags
}

TEST_F(SectionButtonTest, BbLayoutWithEightMeasureMains) {
    Load(test::MeasuresSong(45));
    MarkBBSections(s, true);
    const auto byMeasure = MarkersByMeasure();
    EXPECT_EQ(byMeasure.at(18), (std::vector<std::string>{">Main B", "<Fill In AA", "<Main A"}));
    EXPECT_EQ(byMeasure.at(26), (std::vector<std::string>{">Main C", "<Fill In BB", "<Main B"}));
    EXPECT_EQ(byMeasure.at(34), (std::vector<std::string>{">Main D", "<Fill In CC", "<Main C"}));
    EXPECT_EQ(byMeasure.at(42), (std::vector<std::string>{">Ending A", "<Fill In DD", "<Main D"}));
    EXPECT_EQ(byMeasure.count(14), 0u);
}

TEST_F(SectionButtonTest, BbMarkerOnAMeasureWithoutEventIsRefusedNotWrittenIntoTheHeader) {
    Load(EventsIn({0, 2, 6, 10}, 45));
    const Bytes header(s.song.bytes.Bytes().begin(), s.song.bytes.Bytes().begin() + 22);
    MarkBBSections(s, false);
    EXPECT_EQ(Bytes(s.song.bytes.Bytes().begin(), s.song.bytes.Bytes().begin() + 14),
              Bytes(header.begin(), header.begin() + 14));
    EXPECT_EQ(MarkersByMeasure().at(2), (std::vector<std::string>{">Intro C", ">Intro A"}));
    EXPECT_EQ(Messages().front(),
              "This file is too small to add the marker<Main A using the buttons\r\nGo to "
              "Sequencer and add the marker manually");
}

}  // namespace
}  // namespace zephrane
