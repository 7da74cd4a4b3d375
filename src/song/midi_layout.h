#pragma once
// Where the parts of a Standard MIDI File lie. The file is a list of chunks, each a 4-character
// tag, a 4-byte big-endian length and that many data bytes. It opens with the header chunk "MThd"
// (format, number of tracks and division, 16 bits each; a longer header carries more that readers
// skip); the tracks are "MTrk" chunks, and chunks of any other tag are skipped by every reader.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "song/byte_image.h"

namespace zephrane {

inline constexpr int64_t kChunkHeaderSize = 8;  // 4-character tag, 4-byte big-endian length
inline constexpr int64_t kChunkLengthOffset = 4;

// The header chunk's fields.
inline constexpr int64_t kHeaderDataSize = 6;  // format, number of tracks, division
inline constexpr int32_t kFormatPos = 8;
inline constexpr int32_t kDivisionPos = 12;

// Where the song image keeps its only track, whatever stood between header and track in the
// file: "MTrk" at 14, its length at 18-21, the first event at 22.
inline constexpr int64_t kFirstTrackChunkPos = 14;
inline constexpr int32_t kTrackLengthPos = 18;
inline constexpr int32_t kTrackHeaderLastPos = 21;
inline constexpr int32_t kFirstEventPos = 22;

struct MidiFileLayout {
    bool hasHeaderChunk = false;  // "MThd" at the start with at least 6 data bytes
    int64_t headerLength = 0;     // data length of the header chunk (when its tag is there)
    int format = 0;               // 0 one track, 1 simultaneous tracks, 2 independent patterns
    int division = 0;             // ticks per quarter note, or SMPTE time with the top bit set
    int64_t firstChunkPos = 0;    // the first chunk after the header chunk
    std::optional<int64_t> trackChunkPos;  // "MTrk" of the first track chunk, when there is one
};

// Reads the header chunk and follows the chunk lengths to the first complete "MTrk" chunk header;
// the fields after `hasHeaderChunk` are set only when it is true. Never fails.
MidiFileLayout ReadMidiFileLayout(const ByteImage& file);

// True when the tag at `pos` is `tag`; false as well when the file ends before it.
bool HasChunkTag(const ByteImage& file, int64_t pos, std::string_view tag);

// True for a division in ticks per quarter note: not 0 and the top bit clear.
bool CountsTicksPerQuarter(int division);

// The file as the song image keeps it: the header chunk with its 6 bytes, then the track chunk
// at kFirstTrackChunkPos and everything after it. Header bytes beyond the six and the chunks
// before the track are dropped.
ByteImage WithTrackAfterHeader(ByteImage file, int64_t trackChunkPos);

// The header chunk of a file of format 0 with one track and `division`, then "MTrk" and a track
// length of 0, to be filled in once the events are written.
std::vector<uint8_t> TypeZeroHeaders(uint16_t division);

}  // namespace zephrane
