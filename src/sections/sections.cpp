#include "sections/sections.h"

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/session.h"
#include "sections/marker_scan.h"
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

// What the session's scan results describe once a marker is in.
enum class ScanAfterMarker {
    kSongBefore,  // the song without the marker, as the scan before found it
    kSongAfter,   // the song with the marker, as a scan of it would find it
};

// The status of the event whose status position is `at`: its own, or the one in force.
uint8_t StatusOfEvent(const ByteImage& bytes, int64_t at, uint8_t runningStatus) {
    const uint8_t byte = bytes.At(at);
    return IsStatusByte(byte) ? byte : runningStatus;
}

enum class MarkerOutcome {
    kStored,
    kRefused,  // with a message, nothing changed
    kFailed,   // reported; the scan results may no longer describe the song
};

// The StoreMarker steps after its scan; the session holds what ScanSong found in the song image
// as it stands.
MarkerOutcome StoreMarkerAfterScan(Session& session, std::string_view text, int measure,
                                   ScanAfterMarker scanAfter) {
    const MeasureTable& table = session.measures;
    if (measure < 0 || measure > table.LastIndex() || table.entries[measure].position == 0) {
        session.platform.messages.ShowMessage("This file is too small to add the marker" +
                                              std::string(text) + " using the buttons\r\n" +
                                              "Go to Sequencer and add the marker manually");
        return MarkerOutcome::kRefused;
    }
    const MeasureEntry entry = table.entries[measure];
    bool followed = false;
    const bool stored = Guarded(session, "StoreMarker", [&] {
        ByteImage& bytes = session.song.bytes;
        const int64_t lastDeltaPos = LastDeltaByte(bytes, entry.position);
        // The scan walked the event the marker goes in front of, and a marker leaves the walk
        // after it as it was (it keeps the channel status in force, and the event gets its own
        // status byte when it relied on it), so when the scan stopped at End of Track, End of
        // Track moves on by the bytes put in: the new track length needs no second walk.
        const std::optional<int64_t> endOfTrack = EndOfTrackOfScan(bytes, session.facts);
        const bool beforeChannelMessage =
            IsChannelStatus(StatusOfEvent(bytes, lastDeltaPos + 1, entry.runningStatus));
        const int64_t inserted = InsertMarkerEvent(bytes, text, lastDeltaPos, entry.runningStatus);
        if (endOfTrack) {
            bytes.WriteU32BE(kTrackLengthPos, *endOfTrack + inserted - kTrackHeaderLastPos);
        } else {
            UpdateTrackLength(bytes);
        }
        followed = scanAfter == ScanAfterMarker::kSongAfter && endOfTrack && beforeChannelMessage &&
                   FollowMarkerInsertion(session, text, measure, inserted);
    });
    if (!stored) return MarkerOutcome::kFailed;
    if (scanAfter == ScanAfterMarker::kSongAfter && !followed &&
        ScanSong(session, "") == kResultFailed) {
        return MarkerOutcome::kFailed;
    }
    return MarkerOutcome::kStored;
}

// StoreMarker, on the scan results the session holds when `scanIsCurrent` says they describe
// the song as it stands (a scan of the same bytes would find the same); afterwards it says
// whether they still do. Markers put in one after the other this way need only one scan.
MarkerOutcome StoreMarkerOnScan(Session& session, std::string_view text, int measure,
                                ScanAfterMarker scanAfter, bool& scanIsCurrent) {
    if (!scanIsCurrent && ScanSong(session, "") == kResultFailed) return MarkerOutcome::kFailed;
    const MarkerOutcome outcome = StoreMarkerAfterScan(session, text, measure, scanAfter);
    scanIsCurrent = outcome == MarkerOutcome::kRefused ||
                    (outcome == MarkerOutcome::kStored && scanAfter == ScanAfterMarker::kSongAfter);
    return outcome;
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

bool MarkerListNames(const MarkerList& markers, std::string_view sectionName) {
    for (const Marker& marker : markers.entries) {
        if (marker.text.find(sectionName) != std::string::npos) return true;
    }
    return false;
}

std::string Marker(char sign, const SectionRow& row) {
    std::string marker(1, sign);
    marker += row.name;
    return marker;
}
std::string StartMarker(const SectionRow& row) {
    return Marker('>', row);
}
std::string EndMarker(const SectionRow& row) {
    return Marker('<', row);
}

constexpr std::string_view kBbOrder[] = {"Intro A", "Intro B", "Intro C", "Main A",  "Fill AA",
                                         "Main B",  "Fill BB", "Main C",  "Fill CC", "Main D",
                                         "Fill DD", "End A",   "End B",   "End C"};

bool IsMainSection(const SectionRow& row) {
    return row.name.starts_with("Main");
}

}  // namespace

namespace {

// A press of a section button on the scan results the session holds when `scanIsCurrent` says
// they describe the song as it stands; `afterStartMarker` says what they describe afterwards.
bool PressButton(Session& session, std::string_view key, bool& scanIsCurrent,
                 ScanAfterMarker afterStartMarker) {
    bool marked = false;
    const bool completed = Guarded(session, "Toobar2", [&] {
        if (session.song.fileName.empty()) {
            session.platform.messages.ShowMessage(kNoFileOpenMessage);
            return;
        }
        if (!scanIsCurrent && ScanSong(session, "") == kResultFailed) return;
        scanIsCurrent = true;
        const SectionRow* row = SectionByKey(key);
        if (row == nullptr) return;
        if (!MeasureHoldsEvent(session.measures, row->start) ||
            !MeasureHoldsEvent(session.measures, row->end)) {
            session.platform.messages.ShowMessage(MinimumMeasuresMessage(*row));
            return;
        }
        if (!MarkerListNames(session.markers, row->name)) {
            // Each marker goes in on a scan of the song as it stands, the start marker on the
            // scan of the song with the end marker in.
            if (StoreMarkerOnScan(session, EndMarker(*row), row->end, ScanAfterMarker::kSongAfter,
                                  scanIsCurrent) != MarkerOutcome::kStored ||
                StoreMarkerOnScan(session, StartMarker(*row), row->start, afterStartMarker,
                                  scanIsCurrent) != MarkerOutcome::kStored) {
                return;
            }
        }
        session.view.sectionPressed[row->slot] = true;
        session.sectionFlags[row->slot] = true;
        marked = true;
    });
    if (!completed) scanIsCurrent = false;
    return marked;
}

}  // namespace

bool PressSectionButton(Session& session, std::string_view key) {
    bool scanIsCurrent = false;
    return PressButton(session, key, scanIsCurrent, ScanAfterMarker::kSongBefore);
}

bool PressSectionButtons(Session& session, std::span<const std::string> keys) {
    // Each press but the last leaves the scan results describing the song with both its
    // markers, which is what the next press would scan: it starts from them instead. The last
    // leaves them as a single press does.
    bool scanIsCurrent = false;
    for (size_t i = 0; i < keys.size(); ++i) {
        const ScanAfterMarker after =
            i + 1 < keys.size() ? ScanAfterMarker::kSongAfter : ScanAfterMarker::kSongBefore;
        if (!PressButton(session, keys[i], scanIsCurrent, after)) return false;
    }
    return true;
}

void MarkBBSections(Session& session, bool eightMeasureMains) {
    bool scanIsCurrent = false;
    for (std::string_view key : kBbOrder) {
        const SectionRow& row = *SectionByKey(key);
        const int end =
            eightMeasureMains && IsMainSection(row) ? row.bbEndEightMeasureMains : row.bbEnd;
        // As StoreMarker calls in a row, the last leaving the scan it was put in on.
        const ScanAfterMarker afterStart = key == kBbOrder[std::size(kBbOrder) - 1]
                                               ? ScanAfterMarker::kSongBefore
                                               : ScanAfterMarker::kSongAfter;
        StoreMarkerOnScan(session, EndMarker(row), end, ScanAfterMarker::kSongAfter, scanIsCurrent);
        StoreMarkerOnScan(session, StartMarker(row), row.bbStart, afterStart, scanIsCurrent);
        session.view.sectionPressed[row.slot] = true;
    }
}

bool StoreMarker(Session& session, std::string_view text, int measure) {
    bool scanIsCurrent = false;
    return StoreMarkerOnScan(session, text, measure, ScanAfterMarker::kSongBefore, scanIsCurrent) ==
           MarkerOutcome::kStored;
}

}  // namespace zephrane
