#include "sections/marker_scan.h"

#include <limits>
#include <string>
#include <utility>

#include "song/text_codec.h"

namespace zephrane {
namespace {

bool IsSetUpMarkerText(std::string_view text) {
    return text == "SFF1" || text == "SInt";
}

// Moves every position behind the marker's insertion point on by the bytes put in.
class PositionShift {
  public:
    PositionShift(int32_t lastDeltaPos, int32_t inserted)
        : lastDeltaPos_(lastDeltaPos), inserted_(inserted) {}
    void operator()(int32_t& position) const {
        if (position > lastDeltaPos_) position += inserted_;
    }

  private:
    int32_t lastDeltaPos_;
    int32_t inserted_;
};

void ShiftFacts(SongFacts& facts, const PositionShift& shift) {
    shift(facts.keySignaturePos);
    shift(facts.styleNamePos);
    shift(facts.copyrightPos);
    shift(facts.musicStartPos);
    shift(facts.endOfTrackPos);
    shift(facts.scanEndPos);
    shift(facts.lastTextEventPos);
}

// The marker list stays in file order: the new marker goes in after those in front of it,
// and the entries past the count keep what they held, as a scan leaves them.
void InsertIntoMarkerList(MarkerList& markers, Marker marker, const PositionShift& shift) {
    if (markers.count >= static_cast<int>(markers.entries.size())) {
        markers.entries.resize(markers.entries.size() + 10);
    }
    int index = markers.count;
    while (index > 0 && markers.entries[index - 1].position > marker.position) {
        markers.entries[index] = std::move(markers.entries[index - 1]);
        shift(markers.entries[index].position);
        --index;
    }
    markers.entries[index] = std::move(marker);
    ++markers.count;
}

}  // namespace

bool FollowMarkerInsertion(ScanResults scan, std::string_view text, int measure,
                           int64_t insertedBytes) {
    MeasureTable& table = scan.measures;
    if (measure < 1 || measure > table.LastIndex() || table.entries[measure].position == 0) {
        return false;
    }
    // The scan reads the marker's text back as it was written.
    std::string readBack = DecodeAnsi(EncodeAnsi(text));
    if (IsSetUpMarkerText(readBack)) return false;
    if (insertedBytes <= 0 ||
        int64_t{scan.facts.scanEndPos} + insertedBytes > std::numeric_limits<int32_t>::max()) {
        return false;
    }

    MeasureEntry& entry = table.entries[measure];
    const int32_t markerPos = entry.firstDeltaPos;
    const PositionShift shift(entry.position, static_cast<int32_t>(insertedBytes));

    ShiftFacts(scan.facts, shift);
    // The marker is a section marker: the music starts at it at the latest.
    if (scan.facts.musicStartPos == 0 || scan.facts.musicStartPos >= markerPos) {
        scan.facts.musicStartPos = markerPos;
    }
    // The walk keeps the text of the last text event it read: the marker's, unless one follows.
    if (scan.facts.lastTextEventPos < markerPos) {
        scan.facts.lastTextEventPos = markerPos;
        scan.walk.metaText = readBack;
    }
    shift(scan.walk.walkPos);

    for (MeasureEntry& other : table.entries) {
        if (other.position == 0) continue;
        shift(other.position);
        shift(other.firstDeltaPos);
    }
    // The marker, with a status byte of its own, is now the first event of its measure.
    entry.runningStatus = 0;

    InsertIntoMarkerList(scan.markers, Marker{std::move(readBack), markerPos, entry.tick}, shift);
    return true;
}

}  // namespace zephrane
