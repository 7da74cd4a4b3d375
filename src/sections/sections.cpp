#include "sections/sections.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "sections/marker_scan.h"
#include "song/midi.h"
#include "song/numbers.h"
#include "song/text_codec.h"
#include "song/walker.h"

namespace zephrane {

// Standard layout: one free measure between sections, measure 0 is the set-up measure.
// BB layout: the 44-measure files of another arranger program, where sections touch.
const std::array<SectionRow, 14> kSectionTable = {{
    {"Intro A", 9, "Intro A", 1, 2, 3, 2, 6, 6},
    {"Intro B", 10, "Intro B", 3, 5, 6, 6, 10, 10},
    {"Intro C", 11, "Intro C", 6, 7, 8, 2, 10, 10},
    {"Main A", 2, "Main A", 8, 10, 11, 10, 14, 18},
    {"Main B", 3, "Main B", 11, 13, 14, 18, 22, 26},
    {"Main C", 4, "Main C", 14, 16, 17, 26, 30, 34},
    {"Main D", 5, "Main D", 17, 19, 20, 34, 38, 42},
    {"End A", 15, "Ending A", 20, 21, 22, 42, 44, 44},
    {"End B", 16, "Ending B", 22, 23, 24, 41, 44, 44},
    {"End C", 17, "Ending C", 24, 25, 26, 40, 44, 44},
    {"Fill AA", 21, "Fill In AA", 26, 27, 28, 17, 18, 18},
    {"Fill BB", 22, "Fill In BB", 28, 29, 30, 25, 26, 26},
    {"Fill CC", 23, "Fill In CC", 30, 31, 32, 33, 34, 34},
    {"Fill DD", 24, "Fill In DD", 32, 33, 34, 41, 42, 42},
}};

std::vector<std::string> AllSectionKeys() {
    std::vector<std::string> keys;
    for (const SectionRow& row : kSectionTable)
        keys.emplace_back(row.key);
    return keys;
}

const SectionRow* SectionByKey(std::string_view key) {
    for (const SectionRow& row : kSectionTable) {
        if (row.key == key) return &row;
    }
    return nullptr;
}

const SectionRow* SectionByMarker(std::string_view markerText) {
    if (markerText.starts_with('>')) markerText.remove_prefix(1);
    for (const SectionRow& row : kSectionTable) {
        if (row.name == markerText) return &row;
    }
    return nullptr;
}

namespace {

// The last byte of the delta time that starts at `firstDeltaPos`.
int64_t LastDeltaByte(const ByteImage& bytes, int32_t firstDeltaPos) {
    int32_t pos = firstDeltaPos;
    ReadVariableLength(bytes, pos);
    return pos;
}

// The marker takes over the delta time of the event at `lastDeltaPos`; that event follows with
// delta 0 and, if it relied on running status, with its status byte written out: a strict
// reader takes no running status over a meta event. The number of bytes put in.
int64_t InsertMarkerEvent(ByteImage& bytes, std::string_view text, int64_t lastDeltaPos,
                          uint8_t runningStatus) {
    const std::vector<uint8_t> textBytes = EncodeAnsi(text);
    std::vector<uint8_t> inserted = {kMetaStatus, meta_type::kMarker};
    AppendVariableLength(inserted, static_cast<int64_t>(textBytes.size()));
    inserted.insert(inserted.end(), textBytes.begin(), textBytes.end());
    inserted.push_back(0x00);
    if (IsChannelStatus(runningStatus)) inserted.push_back(runningStatus);

    const int64_t at = lastDeltaPos + 1;
    bytes.InsertGap(at, static_cast<int64_t>(inserted.size()));
    bytes.Write(at, inserted);
    return static_cast<int64_t>(inserted.size());
}

// The last byte of the End of Track event that the scan just run over `bytes` stopped at, when
// it stopped at one: a scan that ends before the declared end of the track has met End of Track,
// and its cursor rests on that event's status position. Nothing when the scan ran to the
// declared end, or the event cannot be read (which the scan rules out).
std::optional<int64_t> EndOfTrackOfScan(const ByteImage& bytes, const SongFacts& facts) {
    const int64_t statusPos = facts.scanEndPos;
    const std::vector<uint8_t>& data = bytes.Bytes();
    if (data.size() <= static_cast<size_t>(kTrackHeaderLastPos)) return std::nullopt;
    const int64_t trackEnd = int64_t{bytes.ReadU32BE(kTrackLengthPos)} + kTrackHeaderLastPos;
    if (statusPos < kFirstEventPos || statusPos >= trackEnd) return std::nullopt;
    // The meta event's type follows the status position, its length the type.
    const int64_t typePos = statusPos + 1;
    if (typePos >= bytes.Size() || data[static_cast<size_t>(typePos)] != meta_type::kEndOfTrack) {
        return std::nullopt;
    }
    const auto lengthPos = static_cast<int32_t>(typePos + 1);
    int32_t pos = lengthPos;
    int64_t length = 0;
    try {
        length = ReadVariableLength(bytes, pos);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    // Longer than the four bytes the format allows: the walk decides.
    if (pos - lengthPos >= 4) return std::nullopt;
    const int64_t lastPos = pos + length;
    if (lastPos >= bytes.Size()) return std::nullopt;
    return lastPos;
}

// The status of the event whose status position is `at`: its own, or the one in force.
uint8_t StatusOfEvent(const ByteImage& bytes, int64_t at, uint8_t runningStatus) {
    const uint8_t byte = bytes.At(at);
    return IsStatusByte(byte) ? byte : runningStatus;
}

// Takes out the first marker event with one of `texts`; false when there is none. The marker's
// delta time and that of the event after it become one delta time in front of that event.
bool RemoveFirstMarker(ByteImage& song, std::span<const std::string> texts) {
    WalkState walk;
    TrackWalker walker(song, walk);
    while (!walker.AtEnd()) {
        const TrackEvent marker = walker.Next();
        if (!marker.IsMeta() || marker.metaType != meta_type::kMarker ||
            std::find(texts.begin(), texts.end(), walk.metaText) == texts.end()) {
            continue;
        }
        int32_t pos = marker.firstDeltaPos;
        int64_t delta = ReadVariableLength(song, pos);
        int64_t removeEnd = marker.lastPos + 1;
        if (!walker.AtEnd()) {  // a track without End of Track may end on the marker
            const TrackEvent& next = walker.Next();
            pos = next.firstDeltaPos;
            delta += ReadVariableLength(song, pos);
            removeEnd = next.lastDeltaPos + 1;
        }
        const VariableLengthBytes joined = EncodeVariableLength(delta);
        song.RemoveBytes(marker.firstDeltaPos, removeEnd - marker.firstDeltaPos);
        song.InsertGap(marker.firstDeltaPos, joined.size);
        song.Write(marker.firstDeltaPos, joined.Span());
        UpdateTrackLength(song);  // the next walk reads up to the track's declared end
        return true;
    }
    return false;
}

}  // namespace

std::string MinimumMeasuresMessage(const SectionRow& row) {
    if (row.key == "Intro C") {
        return "To add this part requires a midi of at least 8 measures. GoSequencer and add the "
               "measures before selecting this part";
    }
    return "To add this part requires a midi of at least " + std::to_string(row.minimumMeasures) +
           " measures. GoSequencer and add the measures by copying and pasting the rhythm track "
           "or making a click track with a event on the first beat of every measure before "
           "selecting this part. Do this for 34 measures to accommodate all parts. ";
}

namespace {

bool MeasureHoldsEvent(const MeasureTable& table, int measure) {
    return measure <= table.LastIndex() && table.entries[measure].position != 0;
}

std::string SignedName(char sign, const SectionRow& row) {
    std::string marker(1, sign);
    marker += row.name;
    return marker;
}

bool IsMainSection(const SectionRow& row) {
    return row.name.starts_with("Main");
}

}  // namespace

std::optional<std::string> SectionRefusal(const MeasureTable& measures, const SectionRow& row) {
    if (MeasureHoldsEvent(measures, row.start) && MeasureHoldsEvent(measures, row.end)) {
        return std::nullopt;
    }
    return MinimumMeasuresMessage(row);
}

bool SectionIsMarked(const MarkerList& markers, const SectionRow& row) {
    for (const Marker& marker : markers.entries) {
        if (marker.text.find(row.name) != std::string::npos) return true;
    }
    return false;
}

std::string StartMarker(const SectionRow& row) {
    return SignedName('>', row);
}

std::string EndMarker(const SectionRow& row) {
    return SignedName('<', row);
}

const std::array<std::string_view, 14> kBbSectionOrder = {
    "Intro A", "Intro B", "Intro C", "Main A",  "Fill AA", "Main B", "Fill BB",
    "Main C",  "Fill CC", "Main D",  "Fill DD", "End A",   "End B",  "End C"};

int BbSectionEnd(const SectionRow& row, bool eightMeasureMains) {
    return eightMeasureMains && IsMainSection(row) ? row.bbEndEightMeasureMains : row.bbEnd;
}

std::optional<std::string> MarkerRefusal(const MeasureTable& measures, std::string_view text,
                                         int measure) {
    if (measure >= 0 && measure <= measures.LastIndex() &&
        measures.entries[measure].position != 0) {
        return std::nullopt;
    }
    return "This file is too small to add the marker" + std::string(text) +
           " using the buttons\r\n" + "Go to Sequencer and add the marker manually";
}

namespace {

struct Insertion {
    int64_t inserted = 0;      // bytes put in
    bool lengthKnown = false;  // the scan met End of Track: the track length followed
    bool beforeChannelMessage = false;
};

// The marker goes in front of the event of `entry`, taking over its delta time.
Insertion InsertMarkerInFront(ByteImage& song, const SongFacts& facts, std::string_view text,
                              const MeasureEntry& entry) {
    const int64_t lastDeltaPos = LastDeltaByte(song, entry.position);
    // The scan walked the event the marker goes in front of, and a marker leaves the walk after
    // it as it was (it keeps the channel status in force, and the event gets its own status byte
    // when it relied on it), so when the scan stopped at End of Track, End of Track moves on by
    // the bytes put in: the new track length needs no second walk.
    const std::optional<int64_t> endOfTrack = EndOfTrackOfScan(song, facts);
    Insertion insertion;
    insertion.beforeChannelMessage =
        IsChannelStatus(StatusOfEvent(song, lastDeltaPos + 1, entry.runningStatus));
    insertion.inserted = InsertMarkerEvent(song, text, lastDeltaPos, entry.runningStatus);
    insertion.lengthKnown = endOfTrack.has_value();
    if (endOfTrack) {
        song.WriteU32BE(kTrackLengthPos, *endOfTrack + insertion.inserted - kTrackHeaderLastPos);
    } else {
        UpdateTrackLength(song);
    }
    return insertion;
}

bool StartsANote(const ByteImage& song, const TrackEvent& event) {
    // A note-on with velocity 0 ends a note.
    return event.IsChannelMessage() && event.Kind() == message_kind::kNoteOn &&
           song.At(event.dataPos + 1) != 0;
}

}  // namespace

bool InsertMarker(ByteImage& song, ScanResults scan, std::string_view text, int measure,
                  bool followScan) {
    const Insertion insertion =
        InsertMarkerInFront(song, scan.facts, text, scan.measures.entries.at(measure));
    return followScan && insertion.lengthKnown && insertion.beforeChannelMessage &&
           FollowMarkerInsertion(scan, text, measure, insertion.inserted);
}

std::optional<MeasureEntry> FirstMeasureSectionStart(const ByteImage& song,
                                                     double ticksPerMeasure) {
    WalkState walk;
    TrackWalker walker(song, walk);
    std::optional<MeasureEntry> start;
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        const bool note = StartsANote(song, event);
        if (!start && (note || event.absoluteTime > 0)) {
            start =
                MeasureEntry{event.lastDeltaPos, event.runningStatus ? event.status : uint8_t{0},
                             event.firstDeltaPos, static_cast<int32_t>(event.absoluteTime)};
        }
        if (note) {
            if (event.absoluteTime < ticksPerMeasure) return start;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void InsertFirstMeasureMarker(ByteImage& song, const SongFacts& facts, std::string_view text,
                              const MeasureEntry& entry) {
    if (entry.tick == 0) {
        InsertMarkerInFront(song, facts, text, entry);
        return;
    }
    // The first note comes later in the measure: the marker stands on the bar line with no delta
    // time, and the event keeps its own, and its time. The event gets its status byte written out
    // as InsertMarkerEvent gives it.
    if (IsChannelStatus(entry.runningStatus)) {
        const int64_t statusPos = LastDeltaByte(song, entry.position) + 1;
        song.InsertGap(statusPos, 1);
        song.Write(statusPos, std::vector<uint8_t>{entry.runningStatus});
    }
    std::vector<uint8_t> marker = {0x00, kMetaStatus, meta_type::kMarker};
    const std::vector<uint8_t> textBytes = EncodeAnsi(text);
    AppendVariableLength(marker, static_cast<int64_t>(textBytes.size()));
    marker.insert(marker.end(), textBytes.begin(), textBytes.end());
    song.InsertGap(entry.firstDeltaPos, static_cast<int64_t>(marker.size()));
    song.Write(entry.firstDeltaPos, marker);
    UpdateTrackLength(song);
}

int RemoveMarkers(ByteImage& song, std::span<const std::string> texts) {
    int removed = 0;
    while (RemoveFirstMarker(song, texts))
        ++removed;
    return removed;
}

}  // namespace zephrane
