#pragma once
// The words of a MIDI track as every walker, writer and the player spell them: status bytes and
// the kinds of channel message, meta-event types, and the variable-length quantity that holds
// delta times and the lengths of meta and system-exclusive events.

#include <cstdint>
#include <span>
#include <vector>

#include "song/byte_image.h"
#include "song/error.h"

namespace zephrane {

// Status bytes of the events that are no channel messages.
inline constexpr uint8_t kSysExStatus = 0xF0;   // F0, length, data ending in F7
inline constexpr uint8_t kEscapeStatus = 0xF7;  // F7, length, bytes sent as they stand
inline constexpr uint8_t kMetaStatus = 0xFF;    // FF, type, length, data: for the file only

// A channel message's status byte holds its kind in the high nibble and its channel, 0 to 15,
// in the low nibble.
namespace message_kind {
inline constexpr int kNoteOff = 0x8;
inline constexpr int kNoteOn = 0x9;  // velocity 0 ends the note as a note-off does
inline constexpr int kPolyPressure = 0xA;
inline constexpr int kController = 0xB;
inline constexpr int kProgramChange = 0xC;
inline constexpr int kChannelPressure = 0xD;
inline constexpr int kPitchBend = 0xE;
}  // namespace message_kind

namespace meta_type {
inline constexpr uint8_t kText = 0x01;
inline constexpr uint8_t kCopyright = 0x02;
inline constexpr uint8_t kTrackName = 0x03;  // a style's name
inline constexpr uint8_t kInstrumentName = 0x04;
inline constexpr uint8_t kLyric = 0x05;
inline constexpr uint8_t kMarker = 0x06;  // section names of a style
inline constexpr uint8_t kCuePoint = 0x07;
inline constexpr uint8_t kEndOfTrack = 0x2F;
inline constexpr uint8_t kTempo = 0x51;  // microseconds per quarter note, 3 bytes
inline constexpr uint8_t kTimeSignature = 0x58;
inline constexpr uint8_t kKeySignature = 0x59;
inline constexpr uint8_t kSequencerSpecific = 0x7F;
}  // namespace meta_type

// Bit 7 tells status bytes from data bytes; a data byte where a status is due repeats the last
// channel status (running status).
constexpr bool IsStatusByte(uint8_t byte) {
    return byte >= 0x80;
}
// 80 to EF: a channel message, which alone may be repeated by running status.
constexpr bool IsChannelStatus(uint8_t status) {
    return status >= 0x80 && status < kSysExStatus;
}
constexpr int KindOfStatus(uint8_t status) {
    return status >> 4;
}
constexpr int ChannelIndexOf(uint8_t status) {
    return status & 0x0F;
}
// The status byte of a message of `kind` on `channelIndex` (0 to 15, as on the wire).
constexpr uint8_t ChannelStatus(int kind, int channelIndex) {
    return static_cast<uint8_t>((kind << 4) | channelIndex);
}

// Data bytes after the status of a channel message, by kind (0 to 15): one for program change
// and channel pressure, two for the others, none for a kind that is no channel message. A table,
// since the walkers look it up for every event.
inline constexpr uint8_t kDataBytesOfKind[16] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 1, 1, 2, 0};
constexpr int DataBytesOfKind(int kind) {
    return kDataBytesOfKind[kind];
}

// A variable-length quantity: 7 bits a byte, most significant first, bit 7 set on every byte but
// the last. The format allows four bytes at most, so values up to 0x0FFFFFFF.
inline constexpr int64_t kMaxVariableLength = 0x0FFFFFFF;

struct VariableLengthBytes {
    uint8_t bytes[4] = {};
    uint8_t size = 0;
    std::span<const uint8_t> Span() const& { return {bytes, size}; }
    // A view of a temporary would dangle as soon as the statement ends.
    void Span() const&& = delete;
};

// The bytes of `value`; outside 0..0x0FFFFFFF error 6. Inline and without a heap allocation:
// the writers encode one delta time per event.
inline VariableLengthBytes EncodeVariableLength(int64_t value) {
    VariableLengthBytes out;
    if (value >= 0 && value < 0x80) {  // most delta times
        out.bytes[0] = static_cast<uint8_t>(value);
        out.size = 1;
        return out;
    }
    if (value < 0 || value > kMaxVariableLength) Fail(error_number::kOverflow);
    int shift = 21;
    while (shift > 0 && (value >> shift) == 0)
        shift -= 7;
    for (; shift > 0; shift -= 7)
        out.bytes[out.size++] = static_cast<uint8_t>(0x80 | ((value >> shift) & 0x7F));
    out.bytes[out.size++] = static_cast<uint8_t>(value & 0x7F);
    return out;
}

// Appends the bytes of `value` to `out`; outside 0..0x0FFFFFFF error 6, with nothing appended.
inline void AppendVariableLength(std::vector<uint8_t>& out, int64_t value) {
    const VariableLengthBytes quantity = EncodeVariableLength(value);
    out.insert(out.end(), quantity.bytes, quantity.bytes + quantity.size);
}

// Reads the quantity whose first byte is at `pos`; `pos` ends on its last byte. A value beyond
// 31 bits is error 6 (the positions and times of the model are signed 32-bit numbers), a
// quantity running off the image error 9.
int32_t ReadVariableLength(const ByteImage& image, int32_t& pos);

}  // namespace zephrane
