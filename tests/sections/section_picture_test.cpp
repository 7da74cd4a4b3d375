#include "sections/section_picture.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace zephrane {
namespace {

constexpr int32_t kMeasure = 1920;

struct Song {
    MarkerList markers;
    MeasureTable measures;
    SongFacts facts;
    SectionSlots pressed{};

    // Markers as (text, measure), in file order.
    Song(std::initializer_list<std::pair<const char*, int>> marks, int measureCount) {
        facts.ticksPerMeasure = kMeasure;
        facts.measureCount = static_cast<int16_t>(measureCount);
        for (const auto& [text, measure] : marks)
            markers.entries[markers.count++] = Marker{text, 0, measure * kMeasure};
        // A stale entry past the count, as earlier scans leave them, must not be drawn.
        markers.entries[markers.count] = Marker{">Main D", 0, 0};
        measures.entries.assign(static_cast<size_t>(measureCount) + 1, MeasureEntry{1});
    }
    SectionPicture Picture(bool fileOpen = true) const {
        return PictureSections({markers, measures, facts, pressed, fileOpen});
    }
};

std::vector<SectionSpan> Spans(std::initializer_list<SectionSpan> spans) {
    return spans;
}

// Guards against the map drawing what the song does not mark: a working file's start and end
// marker pairs, and a style's single section markers up to the next section or the song's end
// (a style of every section is the main window test's).
TEST(PictureSections, MarkedSectionsComeFromTheMarkersOfEitherKind) {
    const struct {
        const char* name;
        Song song;
        std::vector<SectionSpan> marked;
    } cases[] = {
        // clang-format off
        {"working file", Song({{"SFF1", 0}, {"SInt", 0}, {">Main A", 8}, {"<Main A", 10},
                               {">Intro A", 3}, {"<Intro A", 5}}, 34),
         Spans({{"Main A", 8, 10}, {"Intro A", 3, 5}})},
        {"start without its end marker", Song({{">Main A", 8}, {"<Main B", 10}}, 34), {}},
        {"unknown start marker keeps its name", Song({{">Coda", 2}, {"<Coda", 4}}, 34),
         Spans({{"Coda", 2, 4}})},
        {"style sections on one measure", Song({{"Main A", 4}, {"Main B", 4}}, 6),
         Spans({{"Main A", 4, 5}, {"Main B", 4, 7}})},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.song.Picture().marked, c.marked) << c.name;
}

// Guards against the standard layout's names over a song whose buttons are pressed (an opened
// style of every section is the main window test's) and against a map that does not reach the
// places it names or the song's end.
TEST(PictureSections, PlacesOfTheButtonsNotPressedAndTheMeasuresShown) {
    Song style({{"Main A", 1}}, 19);
    for (const SectionRow& row : kSectionTable)
        style.pressed[row.slot] = row.key != "Fill DD";
    const SectionPicture one = style.Picture();
    EXPECT_EQ(one.places, Spans({{"Fill DD", 32, 33}}));
    EXPECT_EQ(one.measuresShown, 34);
    EXPECT_EQ(std::count(one.measureHoldsEvent.begin(), one.measureHoldsEvent.end(), true), 20);
    const SectionPicture none = Song({}, 0).Picture(false);
    EXPECT_EQ(none.places.size(), kSectionTable.size());
    EXPECT_EQ(none.places.front(), (SectionSpan{"Intro A", 1, 2}));
    EXPECT_EQ(none.measuresShown, 34);
    EXPECT_EQ(none.measureHoldsEvent, std::vector<bool>(34, false));
    EXPECT_TRUE(none.marked.empty());
}

}  // namespace
}  // namespace zephrane
