#pragma once
// What the section map under the toolbars shows of the open song: which measures hold an event
// (a section needs one on its first and on its end measure), the sections its markers mark, and
// where the section buttons would put the sections not marked yet, so that one sees at once why a
// button refuses.

#include <string>
#include <vector>

#include "analysis/scan_song.h"
#include "sections/sections.h"

namespace zephrane {

// Measures `first` up to, not including, `end`, named by the section button's key.
struct SectionSpan {
    std::string label;
    int first = 0;
    int end = 0;

    bool operator==(const SectionSpan&) const = default;
};

struct SectionPicture {
    int measuresShown = 0;
    std::vector<bool> measureHoldsEvent;  // one per measure shown
    std::vector<SectionSpan> marked;      // in marker order
    std::vector<SectionSpan> places;      // in the section table's order

    bool operator==(const SectionPicture&) const = default;
};

// The song as the scan found it, and the section buttons shown pressed.
struct SectionPictureInput {
    const MarkerList& markers;
    const MeasureTable& measures;
    const SongFacts& facts;
    const SectionSlots& pressed;
    bool fileOpen = false;
};

// A working file marks a section with a start and an end marker (">Main A" … "<Main A"); a style
// with one marker naming it ("Main A"), the section running to the next section marker or to the
// end of the song. The standard layout's places are shown for the buttons not pressed; the map
// spans the song and those places (at least the 34 measures of the layout while no file is open).
SectionPicture PictureSections(const SectionPictureInput& song);

}  // namespace zephrane
