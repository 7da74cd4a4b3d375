#pragma once
// Where the parts of a Standard MIDI File lie. The file is a list of chunks, each a 4-character
// tag, a 4-byte big-endian length and that many data bytes. It opens with the header chunk "MThd"
// (format, number of tracks and division, 16 bits each; a longer header carries more that readers
// skip); the tracks are "MTrk" chunks, and chunks of any other tag are skipped by every reader.

#include <cstdint>
#include <optional>

#include "song/byte_image.h"

namespace zephrane {

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

// True for a division in ticks per quarter note: not 0 and the top bit clear.
bool CountsTicksPerQuarter(int division);

// The file as the song image keeps it: the header chunk with its 6 bytes, then the track chunk
// at kFirstTrackChunkPos and everything after it. Header bytes beyond the six and the chunks
// before the track are dropped.
ByteImage WithTrackAfterHeader(ByteImage file, int64_t trackChunkPos);

}  // namespace zephrane
