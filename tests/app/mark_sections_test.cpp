// Sections marked on any measures: which plans a song takes, with the exact refusals, and the
// marker bytes put into the song.

#include <gtest/gtest.h>

#include "app/main_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "sections/section_marks.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::TrackBuilder;

struct Marking {
    test::TempDir dir;
    StubSession stub;
    Session& s = stub.session;

    // The song's own bytes in the song image: no preparation.
    explicit Marking(const Bytes& song) {
        stub.platform.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        EXPECT_TRUE(LoadFileAsItIs(s, dir.Write("song.mid", song)));
    }
    CommandResult Mark(const std::vector<PlannedSection>& marks) {
        SectionPlan plan;
        plan.sections = marks;
        return MarkSections(s, plan);
    }
};

PlannedSection Marked(const char* section, int first, int last) {
    PlannedSection mark;
    mark.section = section;
    mark.first = first;
    mark.last = last;
    return mark;
}

struct PlanCase {
    const char* name;
    std::vector<PlannedSection> marks;
    const char* refusal;  // empty: marked
};

// A song of 131 measures, 0 to 130, and a bar line after the last.
// clang-format off
const PlanCase kPlanCases[] = {
    {"FillSharesItsMainsLastMeasure", {Marked("Main A", 9, 16), Marked("Fill AA", 16, 16)}, ""},
    {"DifferentSectionsOverlap",
     {Marked("Intro A", 8, 10), Marked("Main A", 9, 16), Marked("End A", 1, 19)}, ""},
    {"StyleNamesServeToo", {Marked("Ending A", 18, 19), Marked("Fill In BB", 1, 1)}, ""},
    {"LongestSection", {Marked("Main A", 3, 130)}, ""},
    {"UnknownSection", {Marked("Main E", 1, 2)}, "\"Main E\" is not a section name."},
    {"FirstAfterLast", {Marked("Main A", 16, 9)},
     "Main A: the first measure 16 comes after the last 9."},
    {"SetUpMeasure", {Marked("Intro A", 0, 1)},
     "Intro A: measure 0 is the set-up measure; a section starts at measure 1 or later."},
    {"FillOfTwoMeasures", {Marked("Fill AA", 15, 16)},
     "Fill AA: measures 15 to 16 are 2 measures; a style's Fill AA holds at most 1."},
    {"SectionTooLong", {Marked("Main A", 2, 130)},
     "Main A: measures 2 to 130 are 129 measures; a style's Main A holds at most 128."},
    {"PastTheSongsEnd", {Marked("Main A", 125, 131)},
     "Main A: measures 125 to 131 run past the song's end; the last measure a section can take "
     "is 130."},
    {"SameSectionTwiceOverlapping",
     {Marked("Main A", 9, 12), Marked("Main B", 9, 12), Marked("Main A", 12, 16)},
     "Main A is marked twice: on measures 9 to 12 and 12 to 16."},
    {"SameSectionTwiceApart", {Marked("End B", 2, 3), Marked("Ending B", 5, 6)},
     "End B is marked twice: on measures 2 to 3 and 5 to 6."},
};
// clang-format on

class PlanTest : public ::testing::TestWithParam<PlanCase> {};

// A refused plan changes nothing and says why; a taken one shows its buttons pressed.
TEST_P(PlanTest, MarksOrRefusesWithItsMessage) {
    Marking m(test::SongFile(test::MeasuresSong(131)));
    const Bytes song = m.s.song.bytes.Bytes();
    const CommandResult result = m.Mark(GetParam().marks);
    EXPECT_EQ(result.message, GetParam().refusal);
    EXPECT_EQ(static_cast<bool>(result), GetParam().refusal[0] == '\0');
    if (!result) {
        EXPECT_EQ(m.s.song.bytes.Bytes(), song);
        return;
    }
    for (const PlannedSection& mark : GetParam().marks)
        EXPECT_TRUE(m.s.view.sectionPressed[SectionByKeyOrName(mark.section)->slot]);
}

INSTANTIATE_TEST_SUITE_P(Marks, PlanTest, ::testing::ValuesIn(kPlanCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(MarkSections, RefusesABarLineWithoutAnEvent) {
    // Measure 2 is silent: no event to put a marker in front of.
    Marking m(test::SongFile(TrackBuilder()
                                 .TimeSignature(0, 4, 2)
                                 .NoteOn(0, 10, 36, 100)
                                 .NoteOff(1920, 10, 36)
                                 .NoteOff(3840, 10, 36)
                                 .EndOfTrack(1920)));
    EXPECT_EQ(m.Mark({Marked("Main A", 1, 1)}).message,
              "Main A: measure 2 holds no event to put the section's marker in front of.");
}

// The song as loaded: "SFF1" and "SInt" go in front of its first event.
TrackBuilder Loaded() {
    return TrackBuilder().Marker(0, "SFF1").Marker(0, "SInt").TimeSignature(0, 4, 2);
}

// A Fill on its Main's last measure: the two end markers stand side by side on the bar line
// after it, the later put in first; every event keeps its time and its status byte.
TEST(MarkSections, PutsTheMarkersOnTheBarLines) {
    Marking m(test::SongFile(test::MeasuresSong(4)));
    ASSERT_TRUE(m.Mark({Marked("Main A", 1, 2), Marked("Fill AA", 2, 2)}));
    // clang-format off
    const Bytes expected = test::SongFile(Loaded().NoteOn(0, 10, 36, 100).NoteOff(960, 10, 36)
        .Marker(960, ">Main A").NoteOn(0, 10, 36, 100).NoteOff(960, 10, 36)
        .Marker(960, ">Fill In AA").NoteOn(0, 10, 36, 100).NoteOff(960, 10, 36)
        .Marker(960, "<Fill In AA").Marker(0, "<Main A").NoteOn(0, 10, 36, 100)
        .NoteOff(960, 10, 36).EndOfTrack(960));
    // clang-format on
    EXPECT_EQ(m.s.song.bytes.Bytes(), expected);
}

// A mark moves a section from its fixed place; the other sections stay where they are.
TEST(MarkSections, TakesTheSectionFromItsFixedPlace) {
    Marking m(test::SongFile(test::MeasuresSong(12)));
    ASSERT_TRUE(PressSectionButtons(m.s, std::vector<std::string>{"Intro A", "Main A"}));
    ASSERT_TRUE(m.Mark({Marked("Main A", 3, 3)}));
    std::vector<std::pair<std::string, int>> markers;
    for (int i = 0; i < m.s.markers.count; ++i) {
        const Marker& marker = m.s.markers.entries[i];
        if (marker.text.find_first_of("<>") == 0)
            markers.emplace_back(marker.text, marker.tick / 1920);
    }
    EXPECT_EQ(markers, (std::vector<std::pair<std::string, int>>{
                           {">Intro A", 1}, {"<Intro A", 2}, {">Main A", 3}, {"<Main A", 4}}));
}

}  // namespace
}  // namespace zephrane
