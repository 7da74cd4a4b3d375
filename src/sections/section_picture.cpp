#include "sections/section_picture.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace zephrane {

namespace {

constexpr int kStandardLayoutMeasures = 34;

std::string LabelOf(const SectionRow* row, std::string_view name) {
    return row ? std::string(row->key) : std::string(name);
}

int MeasureOf(int32_t tick, double ticksPerMeasure) {
    return static_cast<int>(tick / ticksPerMeasure);
}

// The end marker ("<Main A") after marker `start` that closes the section it opens.
const Marker* EndMarkerAfter(const MarkerList& markers, int start) {
    std::string endMarker = markers.entries[start].text;
    endMarker.front() = '<';
    for (int j = start + 1; j < markers.count; ++j) {
        if (markers.entries[j].text == endMarker) return &markers.entries[j];
    }
    return nullptr;
}

// The tick of the first style section marker after marker `start`, if any.
std::optional<int32_t> NextSectionMarkerTick(const MarkerList& markers, int start) {
    for (int j = start + 1; j < markers.count; ++j) {
        const std::string& text = markers.entries[j].text;
        if (!text.starts_with('>') && SectionByMarker(text)) return markers.entries[j].tick;
    }
    return std::nullopt;
}

std::vector<SectionSpan> MarkedSpans(const SectionPictureInput& song) {
    std::vector<SectionSpan> spans;
    const double measure = song.facts.ticksPerMeasure;
    if (measure <= 0) return spans;
    const MarkerList& markers = song.markers;
    for (int i = 0; i < markers.count; ++i) {
        const Marker& marker = markers.entries[i];
        const SectionRow* row = SectionByMarker(marker.text);
        const int first = MeasureOf(marker.tick, measure);
        if (marker.text.starts_with('>')) {
            if (const Marker* end = EndMarkerAfter(markers, i)) {
                spans.push_back({LabelOf(row, std::string_view(marker.text).substr(1)), first,
                                 MeasureOf(end->tick, measure)});
            }
        } else if (row) {
            const std::optional<int32_t> next = NextSectionMarkerTick(markers, i);
            const int end = next ? MeasureOf(*next, measure) : song.facts.measureCount + 1;
            spans.push_back({LabelOf(row, marker.text), first, std::max(end, first + 1)});
        }
    }
    return spans;
}

std::vector<SectionSpan> PlacesOfUnpressedButtons(const SectionSlots& pressed) {
    std::vector<SectionSpan> places;
    for (const SectionRow& row : kSectionTable) {
        if (!pressed[row.slot]) places.push_back({std::string(row.key), row.start, row.end});
    }
    return places;
}

}  // namespace

SectionPicture PictureSections(const SectionPictureInput& song) {
    SectionPicture picture;
    if (song.fileOpen) picture.marked = MarkedSpans(song);
    picture.places = PlacesOfUnpressedButtons(song.pressed);
    int shown = song.fileOpen ? song.facts.measureCount + 1 : kStandardLayoutMeasures;
    for (const SectionSpan& span : picture.marked)
        shown = std::max(shown, span.end);
    for (const SectionSpan& span : picture.places)
        shown = std::max(shown, span.end + 1);
    picture.measuresShown = shown;
    picture.measureHoldsEvent.resize(static_cast<size_t>(shown));
    const MeasureTable& table = song.measures;
    for (int m = 0; song.fileOpen && m < shown && m <= table.LastIndex(); ++m)
        picture.measureHoldsEvent[static_cast<size_t>(m)] = table.entries[m].position != 0;
    return picture;
}

}  // namespace zephrane
