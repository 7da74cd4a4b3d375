#pragma once
// Walking the single track of a type-0 song image with one cursor.
//
// The cursor `walkPos` always rests on the last byte already consumed; a walk starts at 21, the
// last byte of the track header, so that the first delta time is read at 22.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "song/byte_image.h"
#include "song/error.h"
#include "song/midi.h"
#include "song/midi_layout.h"

namespace zephrane {

struct WalkState {
    int32_t walkPos = 0;
    int32_t deltaTime = 0;   // the last delta time read by ReadDeltaTime
    int32_t dataLength = 0;  // data length of the current meta or system-exclusive event
    std::string metaText;    // data of the last meta event read by ReadMetaText

    bool operator==(const WalkState&) const = default;
};

// Reads the variable-length quantity starting at walkPos into deltaTime; walkPos ends on its
// last byte. Fails as ReadVariableLength does, leaving deltaTime 0.
void ReadDeltaTime(const ByteImage& image, WalkState& walk);

// With walkPos on the FF of a meta event: reads its variable-length length (at walkPos+2) into
// dataLength, moving walkPos over the continuation bytes so that walkPos+2 is the length's last
// byte.
void ReadMetaLength(const ByteImage& image, WalkState& walk);

// ReadMetaLength, then the data bytes (walkPos+3 on) as text into metaText.
void ReadMetaText(const ByteImage& image, WalkState& walk);

// Rewrites the track length field (bytes 18-21) to the size of the track as it now stands: from
// byte 22 up to and including its End of Track event, or to the end of the image when there is
// none. Bytes that follow the track (the CASM chunk of a style) are not counted.
void UpdateTrackLength(ByteImage& song);

// Gives every channel message that follows a meta or system-exclusive event under running status
// its status byte, and the track length field the bytes added; the number of bytes added. Readers
// that keep to the letter of the Standard MIDI File format cancel running status at those events,
// so what the program writes spells it out there. An image the walk cannot read is left as it is.
int64_t WriteStatusAfterMetaAndSysEx(ByteImage& song);

// Text, copyright, track-name and marker events: the walk keeps their text in `metaText`.
inline bool WalkKeepsText(uint8_t metaType) {
    return metaType == meta_type::kText || metaType == meta_type::kCopyright ||
           metaType == meta_type::kTrackName || metaType == meta_type::kMarker;
}

// One event as the walker stepped over it.
struct TrackEvent {
    int32_t firstDeltaPos = 0;   // first byte of its delta time
    int32_t lastDeltaPos = 0;    // last byte of its delta time
    int32_t statusPos = 0;       // byte after the delta time (a data byte under running status)
    int32_t lastPos = 0;         // its last byte; the cursor rests here after the step
    int64_t absoluteTime = 0;    // ticks from the start of the track
    uint8_t status = 0;          // status in force for this event
    bool runningStatus = false;  // it has no status byte of its own
    uint8_t metaType = 0;        // meta events: the type byte
    int32_t dataPos = 0;         // first data byte (meta and sysex: after the length)
    int32_t dataLength = 0;      // number of data bytes

    bool IsMeta() const { return status == kMetaStatus; }
    bool IsSysEx() const { return status == kSysExStatus || status == kEscapeStatus; }
    bool IsChannelMessage() const { return IsChannelStatus(status); }
    bool IsEndOfTrack() const { return IsMeta() && metaType == meta_type::kEndOfTrack; }
    int Kind() const { return KindOfStatus(status); }
    int Channel() const { return ChannelIndexOf(status) + 1; }
};

// Steps event by event through the track: delta time, status, then the event's data. Meta and
// system-exclusive lengths are variable-length quantities. Text meta events that WalkKeepsText
// leave their text in `walk.metaText`.
//
// Running status: a data byte at the status position repeats the last channel status (80-EF).
// Meta and system-exclusive events carry their own status byte and leave the running status of
// the channel messages as it was, so a channel message after them may go without one, as every
// common MIDI reader and writer has it. With no channel status yet, the event's status is 0.
//
// Every scan of the program steps through here, so the common event (a one-byte delta time and a
// channel message inside the image) is stepped inline; delta times of several bytes, meta and
// system-exclusive events and every failure take the general step in walker.cpp.
class TrackWalker {
  public:
    TrackWalker(const ByteImage& image, WalkState& walk);
    // Walks the track chunk whose "MTrk" starts at `chunkPos` (any chunk of a file of several
    // tracks): the walk starts on the last byte of its length field and ends with the chunk's
    // data. A position beyond 32 bits is error 6.
    TrackWalker(const ByteImage& image, WalkState& walk, int64_t chunkPos);

    // True once the cursor reached the end of the declared track data or an End of Track event.
    bool AtEnd() const { return endOfTrackSeen_ || walk_.walkPos >= trackEnd_; }
    // Steps over the next event; failures are thrown as RuntimeError.
    const TrackEvent& Next();

    // Steps over the common events that come next, one after the other, as long as
    // `onCommon(event)` accepts them (returns true), and returns at the end of the walk, before
    // the first event that is not a common one, or before the first one `onCommon` turns down:
    // Next then steps over that event. A common event has a delta time below 128 that keeps the
    // time within 32 bits, then a channel message with its own status or under running status,
    // all inside the image. The events are exactly those of Next, and so is the walk state when
    // this returns; meanwhile it lags behind, so `onCommon` must not read it, nor change the image,
    // nor throw. The walker's own state stays in locals: the fast lane of a scan.
    template <typename OnCommon>
    void StepCommonEvents(OnCommon&& onCommon);

    int64_t TrackEnd() const { return trackEnd_; }

  private:
    // The common event after the cursor `pos` (see StepCommonEvents): false, with nothing
    // changed, for any other event; otherwise fills `event` and moves the cursor, the time and
    // the status in force on as the general step would.
    static bool StepCommon(const std::vector<uint8_t>& bytes, int64_t& pos, int64_t& absoluteTime,
                           uint8_t& statusInForce, TrackEvent& event);

    const TrackEvent& NextInGeneral();
    void StepMeta();
    void StepSysEx();
    void StepChannelMessage();

    const ByteImage& image_;
    WalkState& walk_;
    int64_t trackEnd_ = 0;
    int64_t absoluteTime_ = 0;
    uint8_t statusInForce_ = 0;
    bool endOfTrackSeen_ = false;
    TrackEvent event_;
};

inline bool TrackWalker::StepCommon(const std::vector<uint8_t>& bytes, int64_t& pos,
                                    int64_t& absoluteTime, uint8_t& statusInForce,
                                    TrackEvent& event) {
    const auto size = static_cast<int64_t>(bytes.size());
    const int64_t deltaPos = pos + 1;
    const int64_t statusPos = pos + 2;
    if (deltaPos < 0 || statusPos >= size) return false;
    const uint8_t delta = bytes[static_cast<size_t>(deltaPos)];
    const uint8_t byte = bytes[static_cast<size_t>(statusPos)];
    const bool running = !IsStatusByte(byte);
    const uint8_t status = running ? statusInForce : byte;
    // A delta time of several bytes, and running status with no channel status in force yet (the
    // event has no data bytes and its cursor steps back), take the general step.
    if (delta >= 0x80 || !IsChannelStatus(status)) return false;
    const int64_t time = absoluteTime + delta;
    if (time > std::numeric_limits<int32_t>::max()) return false;
    const auto dataLength = static_cast<uint8_t>(DataBytesOfKind(KindOfStatus(status)));
    // Under running status the data bytes start at the status position.
    const int64_t dataPos = running ? statusPos : statusPos + 1;
    const int64_t lastPos = dataPos + dataLength - 1;
    // An event that runs past the image fails in the general step.
    if (lastPos >= size) return false;

    pos = lastPos;
    statusInForce = status;
    absoluteTime = time;
    event.firstDeltaPos = static_cast<int32_t>(deltaPos);
    event.lastDeltaPos = static_cast<int32_t>(deltaPos);
    event.statusPos = static_cast<int32_t>(statusPos);
    event.lastPos = static_cast<int32_t>(lastPos);
    event.absoluteTime = time;
    event.status = status;
    event.runningStatus = running;
    event.metaType = 0;
    event.dataPos = static_cast<int32_t>(dataPos);
    event.dataLength = dataLength;
    return true;
}

inline const TrackEvent& TrackWalker::Next() {
    int64_t pos = walk_.walkPos;
    const int64_t time = absoluteTime_;
    if (!StepCommon(image_.Bytes(), pos, absoluteTime_, statusInForce_, event_)) {
        return NextInGeneral();
    }
    walk_.deltaTime = static_cast<int32_t>(absoluteTime_ - time);
    walk_.walkPos = static_cast<int32_t>(pos);
    return event_;
}

template <typename OnCommon>
void TrackWalker::StepCommonEvents(OnCommon&& onCommon) {
    if (endOfTrackSeen_) return;
    const std::vector<uint8_t>& image = image_.Bytes();
    const auto size = static_cast<int64_t>(image.size());
    const int64_t trackEnd = trackEnd_;
    int64_t pos = walk_.walkPos;
    int64_t absoluteTime = absoluteTime_;
    uint8_t statusInForce = statusInForce_;
    int64_t timeBeforeLast = absoluteTime;
    bool stepped = false;
    TrackEvent event;
    // Up to four bytes before the end of the image, an event of this kind (delta time, status
    // and at most two data bytes after the cursor) lies inside it whatever its bytes: no check
    // per byte. `onCommon` leaves the image alone, so its bytes stay where they are.
    const uint8_t* const bytes = image.data();
    // The cursor only moves on, so one before the first event (-1) is checked here once.
    const int64_t uncheckedEnd =
        pos >= -1 ? std::min(trackEnd, size - 4) : std::numeric_limits<int64_t>::min();
    while (true) {
        const int64_t posBefore = pos;
        const int64_t timeBefore = absoluteTime;
        const uint8_t statusBefore = statusInForce;
        if (pos < uncheckedEnd) {
            const uint8_t delta = bytes[pos + 1];
            const uint8_t byte = bytes[pos + 2];
            const bool running = !IsStatusByte(byte);
            const uint8_t status = running ? statusInForce : byte;
            if (delta >= 0x80 || !IsChannelStatus(status)) break;
            const int64_t time = absoluteTime + delta;
            if (time > std::numeric_limits<int32_t>::max()) break;
            const int64_t dataPos = running ? pos + 2 : pos + 3;
            const auto dataLength = static_cast<uint8_t>(DataBytesOfKind(KindOfStatus(status)));
            event.firstDeltaPos = static_cast<int32_t>(pos + 1);
            event.lastDeltaPos = static_cast<int32_t>(pos + 1);
            event.statusPos = static_cast<int32_t>(pos + 2);
            pos = dataPos + dataLength - 1;
            event.lastPos = static_cast<int32_t>(pos);
            event.absoluteTime = time;
            event.status = status;
            event.runningStatus = running;
            event.metaType = 0;
            event.dataPos = static_cast<int32_t>(dataPos);
            event.dataLength = dataLength;
            absoluteTime = time;
            statusInForce = status;
        } else if (pos >= trackEnd || !StepCommon(image, pos, absoluteTime, statusInForce, event)) {
            break;
        }
        // One call site, so that the handler is inlined into the loop.
        if (!onCommon(static_cast<const TrackEvent&>(event))) {
            // Turned down: the cursor goes back in front of it.
            pos = posBefore;
            absoluteTime = timeBefore;
            statusInForce = statusBefore;
            break;
        }
        timeBeforeLast = timeBefore;
        stepped = true;
    }
    if (stepped) {
        walk_.deltaTime = static_cast<int32_t>(absoluteTime - timeBeforeLast);
        walk_.walkPos = static_cast<int32_t>(pos);
    }
    absoluteTime_ = absoluteTime;
    statusInForce_ = statusInForce;
}

}  // namespace zephrane
