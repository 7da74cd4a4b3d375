#include "song/merge_tracks.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "song/file_io.h"
#include "song/midi_layout.h"
#include "song/walker.h"

namespace zephrane {
namespace {

constexpr int kTypeOneFormat = 1;
constexpr int kTypeTwoFormat = 2;

// One event to write: its status byte, then `restLength` bytes of the input from `restPos`.
struct EventToCopy {
    int64_t time = 0;
    uint8_t status = 0;
    int64_t restPos = 0;
    int64_t restLength = 0;
};

struct MergedTracks {
    std::vector<EventToCopy> events;  // every track's kept events, tracks in file order
    int64_t endTime = 0;              // the latest end of a track
};

// The header chunk "MThd": at least 6 data bytes, then the format decides. The tracks are looked
// for after it.
int64_t CheckHeader(const ByteImage& file) {
    const MidiFileLayout layout = ReadMidiFileLayout(file);
    if (!layout.hasHeaderChunk) throw MergeRefused(kNotMidiFileMessage);
    if (layout.format == 0) throw MergeRefused(kAlreadyTypeZeroMessage);
    if (layout.format == kTypeTwoFormat) throw MergeRefused(kTypeTwoMessage);
    if (layout.format != kTypeOneFormat) throw MergeRefused(kNotMidiFileMessage);
    return layout.firstChunkPos;
}

// Positions of the "MTrk" chunks in file order from `firstChunkPos`; chunks of other types are
// skipped.
std::vector<int64_t> TrackChunkPositions(const ByteImage& file, int64_t firstChunkPos) {
    std::vector<int64_t> tracks;
    int64_t pos = firstChunkPos;
    while (pos + kChunkHeaderSize <= file.Size()) {
        const int64_t next = pos + kChunkHeaderSize + file.ReadU32BE(pos + kChunkLengthOffset);
        if (HasChunkTag(file, pos, "MTrk")) {
            tracks.push_back(pos);
            if (next > file.Size()) {
                throw MergeRefused(DamagedTrackMessage(static_cast<int>(tracks.size())));
            }
        }
        pos = next;
    }
    if (tracks.empty()) throw MergeRefused(kNoTracksMessage);
    return tracks;
}

bool IsMidiEvent(const TrackEvent& event) {
    return event.IsChannelMessage() || event.IsMeta() || event.IsSysEx();
}

// Channel messages take their status (perhaps a running one) and their data bytes; meta and
// system-exclusive events, which always carry their own status byte, are copied whole.
EventToCopy ToCopy(const TrackEvent& event) {
    if (event.IsChannelMessage()) {
        return {event.absoluteTime, event.status, event.dataPos, event.dataLength};
    }
    return {event.absoluteTime, event.status, int64_t{event.statusPos} + 1,
            int64_t{event.lastPos} - event.statusPos};
}

bool IsKept(const TrackEvent& event, bool firstTrack) {
    if (event.IsEndOfTrack()) return false;
    return firstTrack || !(event.IsMeta() && event.metaType == meta_type::kTrackName);
}

// Appends the kept events of the track chunk at `chunkPos`; false when the track is damaged.
bool CollectTrack(const ByteImage& file, int64_t chunkPos, bool firstTrack, MergedTracks& merged) {
    WalkState walk;
    TrackWalker walker(file, walk, chunkPos);
    int64_t trackEnd = 0;
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        if (!IsMidiEvent(event) || event.lastPos > walker.TrackEnd()) return false;
        trackEnd = event.absoluteTime;
        if (IsKept(event, firstTrack)) merged.events.push_back(ToCopy(event));
    }
    merged.endTime = std::max(merged.endTime, trackEnd);
    return true;
}

void CollectTrackOrRefuse(const ByteImage& file, int64_t chunkPos, int trackNumber,
                          MergedTracks& merged) {
    bool sound = false;
    try {
        sound = CollectTrack(file, chunkPos, trackNumber == 1, merged);
    } catch (const RuntimeError&) {
        // A quantity or an event running off the file, or times beyond 32 bits.
    }
    if (!sound) throw MergeRefused(DamagedTrackMessage(trackNumber));
}

void Append(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The input's division; the events of all tracks in one track.
ByteImage WriteTypeZero(const ByteImage& file, const MergedTracks& merged) {
    std::vector<uint8_t> out = TypeZeroHeaders(file.ReadU16BE(kDivisionPos));
    int64_t now = 0;
    for (const EventToCopy& event : merged.events) {
        AppendVariableLength(out, event.time - now);
        now = event.time;
        out.push_back(event.status);
        const auto rest = file.Span(event.restPos, event.restLength);
        out.insert(out.end(), rest.begin(), rest.end());
    }
    AppendVariableLength(out, merged.endTime - now);
    Append(out, {kMetaStatus, meta_type::kEndOfTrack, 0x00});
    ByteImage image(std::move(out));
    image.WriteU32BE(kTrackLengthPos, image.Size() - kFirstEventPos);
    return image;
}

}  // namespace

std::string DamagedTrackMessage(int trackNumber) {
    return "This MIDI file is damaged: track " + std::to_string(trackNumber) +
           " is cut short or holds bytes that are not MIDI events.";
}

ByteImage MergeToTypeZero(const ByteImage& file) {
    const int64_t firstChunkPos = CheckHeader(file);
    MergedTracks merged;
    int trackNumber = 0;
    for (const int64_t chunkPos : TrackChunkPositions(file, firstChunkPos)) {
        CollectTrackOrRefuse(file, chunkPos, ++trackNumber, merged);
    }
    // Stable: at equal times the first track, then the others in file order, each in file order.
    std::stable_sort(merged.events.begin(), merged.events.end(),
                     [](const EventToCopy& a, const EventToCopy& b) { return a.time < b.time; });
    return WriteTypeZero(file, merged);
}

}  // namespace zephrane
