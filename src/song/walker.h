#pragma once
// Walking the single track of a type-0 song image with one cursor.
//
// The cursor `walkPos` always rests on the last byte already consumed; a walk starts at 21, the
// last byte of the track header, so that the first delta time is read at 22.

#include <cstdint>
#include <string>

#include "song/byte_image.h"

namespace zephrane {

inline constexpr int32_t kFormatLowBytePos = 9;
inline constexpr int32_t kDivisionPos = 12;
inline constexpr int32_t kTrackLengthPos = 18;
inline constexpr int32_t kTrackHeaderLastPos = 21;
inline constexpr int32_t kFirstEventPos = 22;

inline constexpr uint8_t kMetaStatus = 0xFF;
inline constexpr uint8_t kSysExStatus = 0xF0;
inline constexpr uint8_t kEscapeStatus = 0xF7;
inline constexpr uint8_t kEndOfTrackType = 0x2F;

struct WalkState {
    int32_t walkPos = 0;
    int32_t deltaTime = 0;   // the last delta time read by CalcTime
    int32_t dataLength = 0;  // data length of the current meta or system-exclusive event
    std::string metaText;    // data of the last meta event read by ReadMetaText
};

// Reads the variable-length quantity starting at walkPos into deltaTime; walkPos ends on its
// last byte. A value beyond 32 bits is error 6, a quantity running off the image error 9.
void CalcTime(const ByteImage& image, WalkState& walk);

// With walkPos on the FF of a meta event: reads its variable-length length (at walkPos+2) into
// dataLength, moving walkPos over the continuation bytes so that walkPos+2 is the length's last
// byte.
void ReadMetaLength(const ByteImage& image, WalkState& walk);

// ReadMetaLength, then the data bytes (walkPos+3 on) as text into metaText.
void ReadMetaText(const ByteImage& image, WalkState& walk);

// Rewrites the track length field (bytes 18-21) to the size of the track as it now stands: from
// byte 22 up to and including its End of Track event, or to the end of the image when there is
// none. Bytes that follow the track (the CASM chunk of a style) are not counted.
void UpdateTracklength(ByteImage& song);

// Writes `value` as a 32-bit big-endian number at position..position+3 of `output`.
void LoadLength(ByteImage& output, int64_t value, int64_t position);

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
    bool IsChannelMessage() const { return status >= 0x80 && status < 0xF0; }
    bool IsEndOfTrack() const { return IsMeta() && metaType == kEndOfTrackType; }
    int Kind() const { return status >> 4; }
    int Channel() const { return (status & 0x0F) + 1; }
};

// Which status bytes a data byte at the status position (running status) repeats.
enum class RunningStatusRule {
    kLastStatus,         // the last status byte read, FF and F0 included (the program's own songs)
    kLastChannelStatus,  // the last channel status (80-EF): meta and system-exclusive events
                         // leave the running status of the channel messages as it was, as most
                         // MIDI readers do; with none yet, the event's status is 0
};

// Offset of "MTrk" in a type-0 song, where its only track chunk starts.
inline constexpr int64_t kFirstTrackChunkPos = 14;

// Steps event by event through the track: delta time, status (running status included: a data
// byte at the status position leaves the previous status in force, FF and F0 too), then the
// event's data. Meta and system-exclusive lengths are variable-length quantities. Text meta
// events (types 1, 2, 3 and 6) leave their text in `walk.metaText`.
class TrackWalker {
  public:
    TrackWalker(const ByteImage& image, WalkState& walk);
    // Walks the track chunk whose "MTrk" starts at `chunkPos` (any chunk of a file of several
    // tracks): the walk starts on the last byte of its length field and ends with the chunk's
    // data. A position beyond 32 bits is error 6.
    TrackWalker(const ByteImage& image, WalkState& walk, int64_t chunkPos, RunningStatusRule rule);

    // True once the cursor reached the end of the declared track data or an End of Track event.
    bool AtEnd() const;
    // Steps over the next event; failures are thrown as RuntimeError.
    const TrackEvent& Next();

    int64_t TrackEnd() const { return trackEnd_; }

  private:
    bool StaysInForce(uint8_t status) const;
    void StepMeta();
    void StepSysEx();
    void StepChannelMessage();

    const ByteImage& image_;
    WalkState& walk_;
    RunningStatusRule rule_;
    int64_t trackEnd_ = 0;
    int64_t absoluteTime_ = 0;
    uint8_t statusInForce_ = 0;
    bool endOfTrackSeen_ = false;
    TrackEvent event_;
};

}  // namespace zephrane
