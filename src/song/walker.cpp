#include "song/walker.h"

#include <limits>
#include <utility>
#include <vector>

#include "song/error.h"
#include "song/text_codec.h"

namespace zephrane {
namespace {

// Moves the cursor onto the last byte of an event whose last byte is at `lastPos`; an event that
// runs past the image is a truncated file.
int32_t EventEnd(const ByteImage& image, int64_t lastPos) {
    if (!image.Contains(lastPos)) Fail(error_number::kSubscriptOutOfRange);
    return static_cast<int32_t>(lastPos);
}

}  // namespace

void ReadDeltaTime(const ByteImage& image, WalkState& walk) {
    walk.deltaTime = 0;
    walk.deltaTime = ReadVariableLength(image, walk.walkPos);
}

void ReadMetaLength(const ByteImage& image, WalkState& walk) {
    int32_t lengthPos = walk.walkPos + 2;
    walk.dataLength = ReadVariableLength(image, lengthPos);
    walk.walkPos = lengthPos - 2;
}

void ReadMetaText(const ByteImage& image, WalkState& walk) {
    ReadMetaLength(image, walk);
    walk.metaText = DecodeAnsi(image.Span(int64_t{walk.walkPos} + 3, walk.dataLength));
}

void UpdateTrackLength(ByteImage& song) {
    WalkState walk;
    TrackWalker walker(song, walk);
    int64_t trackLast = song.LastIndex();
    // The length field is stale while this runs, so the walk goes on to the End of Track
    // event (or the end of the image) whatever the field says.
    while (walk.walkPos < song.LastIndex()) {
        const TrackEvent& event = walker.Next();
        if (event.IsEndOfTrack()) {
            trackLast = event.lastPos;
            break;
        }
    }
    song.WriteU32BE(kTrackLengthPos, trackLast - kTrackHeaderLastPos);
}

// The status positions of the channel messages that go without a status byte right after a meta
// or system-exclusive event, paired with the status in force there.
static std::vector<std::pair<int32_t, uint8_t>> RunningStatusAfterMetaAndSysEx(
    const ByteImage& song) {
    std::vector<std::pair<int32_t, uint8_t>> missing;
    WalkState walk;
    TrackWalker walker(song, walk);
    bool afterMetaOrSysEx = false;
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        if (afterMetaOrSysEx && event.runningStatus && event.IsChannelMessage())
            missing.emplace_back(event.statusPos, event.status);
        afterMetaOrSysEx = event.IsMeta() || event.IsSysEx();
    }
    return missing;
}

int64_t WriteStatusAfterMetaAndSysEx(ByteImage& song) {
    std::vector<std::pair<int32_t, uint8_t>> missing;
    try {
        missing = RunningStatusAfterMetaAndSysEx(song);
    } catch (const RuntimeError&) {
        return 0;
    }
    if (missing.empty()) return 0;
    // From the back, so that the positions still to come stay where the walk found them.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        song.InsertGap(it->first, 1);
        song.Set(it->first, it->second);
    }
    const auto added = static_cast<int64_t>(missing.size());
    song.WriteU32BE(kTrackLengthPos, int64_t{song.ReadU32BE(kTrackLengthPos)} + added);
    return added;
}

TrackWalker::TrackWalker(const ByteImage& image, WalkState& walk)
    : TrackWalker(image, walk, kFirstTrackChunkPos) {}

TrackWalker::TrackWalker(const ByteImage& image, WalkState& walk, int64_t chunkPos)
    : image_(image), walk_(walk) {
    // A chunk: 4-byte type, 4-byte big-endian length of the data, the data.
    const int64_t lengthLastPos = chunkPos + kChunkHeaderSize - 1;
    if (chunkPos < 0 || lengthLastPos > std::numeric_limits<int32_t>::max()) {
        Fail(error_number::kOverflow);
    }
    trackEnd_ = int64_t{image.ReadU32BE(chunkPos + kChunkLengthOffset)} + lengthLastPos;
    walk_.walkPos = static_cast<int32_t>(lengthLastPos);
}

const TrackEvent& TrackWalker::NextInGeneral() {
    event_ = TrackEvent{};
    walk_.walkPos += 1;
    event_.firstDeltaPos = walk_.walkPos;
    ReadDeltaTime(image_, walk_);
    event_.lastDeltaPos = walk_.walkPos;
    absoluteTime_ += walk_.deltaTime;
    if (absoluteTime_ > std::numeric_limits<int32_t>::max()) Fail(error_number::kOverflow);
    event_.absoluteTime = absoluteTime_;

    walk_.walkPos += 1;
    event_.statusPos = walk_.walkPos;
    const uint8_t byte = image_.At(walk_.walkPos);
    event_.runningStatus = !IsStatusByte(byte);
    // Only a channel status stays in force for the data bytes of later events.
    if (IsChannelStatus(byte)) statusInForce_ = byte;
    event_.status = event_.runningStatus ? statusInForce_ : byte;

    if (event_.IsMeta()) {
        StepMeta();
    } else if (event_.IsSysEx()) {
        StepSysEx();
    } else {
        StepChannelMessage();
    }
    if (!event_.IsMeta()) event_.lastPos = walk_.walkPos;
    return event_;
}

void TrackWalker::StepMeta() {
    event_.metaType = image_.At(int64_t{walk_.walkPos} + 1);
    if (WalkKeepsText(event_.metaType)) {
        ReadMetaText(image_, walk_);
    } else {
        ReadMetaLength(image_, walk_);
    }
    event_.dataPos = walk_.walkPos + 3;
    event_.dataLength = walk_.dataLength;
    walk_.walkPos = EventEnd(image_, int64_t{walk_.walkPos} + 2 + walk_.dataLength);
    event_.lastPos = walk_.walkPos;
    if (event_.metaType == meta_type::kEndOfTrack) {
        // The walk ends with the cursor on the FF of the End of Track event.
        walk_.walkPos = event_.statusPos;
        endOfTrackSeen_ = true;
    }
}

void TrackWalker::StepSysEx() {
    int32_t lengthPos = walk_.walkPos + 1;
    walk_.dataLength = ReadVariableLength(image_, lengthPos);
    event_.dataPos = lengthPos + 1;
    event_.dataLength = walk_.dataLength;
    walk_.walkPos = EventEnd(image_, int64_t{lengthPos} + walk_.dataLength);
}

void TrackWalker::StepChannelMessage() {
    // Under running status the cursor steps back so that the data bytes always follow it.
    if (event_.runningStatus) walk_.walkPos -= 1;
    event_.dataPos = walk_.walkPos + 1;
    event_.dataLength = DataBytesOfKind(event_.Kind());
    walk_.walkPos = EventEnd(image_, int64_t{walk_.walkPos} + event_.dataLength);
}

}  // namespace zephrane
