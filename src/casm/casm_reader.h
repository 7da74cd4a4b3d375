#pragma once
// Reading, for inspection, the chunks that follow the MIDI track of a style file.
//
// A style is a type-0 Standard MIDI File; directly after the End of Track event of its track come
// further chunks, each a 4-character tag and a 4-byte big-endian length counting the bytes that
// follow it. The "CASM" chunk holds "CSEG" chunks; each CSEG holds an "Sdec" chunk (the list of
// sections it applies to, names joined by ",") and records, chiefly "Ctab" (one source channel:
// which accompaniment part it feeds and how its notes follow the player's chords). Other chunks
// ("OTSc" one-touch settings, "FNRc", "MHhd" …) are listed without being read.
//
// The reader never guesses past damage: a length that runs past the end of its container ends the
// reading of that container, and the fault is described in `problems`.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "song/byte_image.h"

namespace zephrane {

inline constexpr int kCtabFieldBytes = 27;

// The 27 data bytes of a Ctab record, by field, and whatever the record holds beyond them.
struct CtabFields {
    uint8_t sourceChannel = 0;       // 0-based MIDI channel of the source phrase
    std::string name;                // 8 characters, blank-filled
    uint8_t destinationChannel = 0;  // 8..15: the accompaniment part it feeds
    uint8_t editable = 0;
    std::array<uint8_t, 2> noteMute{};
    std::array<uint8_t, 5> chordMute{};  // one bit per chord type
    uint8_t sourceRoot = 0;              // key the phrase was written in (0 = C)
    uint8_t sourceChord = 0;             // chord type it was written over
    uint8_t ntr = 0;                     // note transposition rule
    uint8_t ntt = 0;                     // note transposition table
    uint8_t highKey = 0;
    uint8_t lowLimit = 0;  // note numbers
    uint8_t highLimit = 0;
    uint8_t retrigger = 0;
    uint8_t specialFeature = 0;
    std::vector<uint8_t> extra;  // data bytes after the 27th
};

inline constexpr int kCtb2FieldBytes = 40;
inline constexpr int kCnttFieldBytes = 2;

// How the notes of one range follow the chords: the six rule bytes of a Ctab, three times in a
// Ctb2.
struct RangeFields {
    uint8_t ntr = 0;  // 0 root transposition, 1 root fixed, 2 guitar
    uint8_t ntt = 0;  // bit 7 "bass on" in a Ctb2, the table number in the low 7 bits
    uint8_t highKey = 0;
    uint8_t lowLimit = 0;
    uint8_t highLimit = 0;
    uint8_t retrigger = 0;
};

// The 40 data bytes of a Ctb2 record (the newer styles), by field. Bytes 0-19 are those of a
// Ctab; 20 and 21 are the lowest and highest written note of the middle range, whose notes
// follow `middle`; notes below it follow `low`, notes above it `high`.
struct Ctb2Fields {
    CtabFields common;  // the first 20 bytes; its rule fields stay 0
    uint8_t middleLowest = 0;
    uint8_t middleHighest = 0;
    RangeFields low, middle, high;  // bytes 22-27, 28-33, 34-39
    std::vector<uint8_t> extra;     // data bytes after the 40th
};

// A Cntt record: the newer note transposition table for the channel of the record before it.
struct CnttFields {
    uint8_t sourceChannel = 0;
    uint8_t ntt = 0;  // bit 7 "bass on", the table number in the low 7 bits
};

// A record inside a CSEG: a Ctab, Ctb2 or Cntt long enough for its fields read into them; every
// record but a Ctab also keeps its raw data bytes (a second Sdec, an unknown tag, a record too
// short for its fields have only those).
struct CasmRecord {
    std::string tag;
    int64_t offset = 0;   // file offset of the tag
    uint32_t length = 0;  // declared data length
    std::optional<CtabFields> ctab;
    std::optional<Ctb2Fields> ctb2;
    std::optional<CnttFields> cntt;
    std::vector<uint8_t> bytes;  // data bytes of a record that is not a Ctab read into fields
};

struct CasmSegment {
    int64_t offset = 0;
    uint32_t length = 0;
    std::optional<std::string> sections;  // text of its first Sdec; none when it has none
    std::vector<CasmRecord> records;
};

// A chunk after the track; only a CASM chunk has its content read.
struct StyleChunk {
    std::string tag;
    int64_t offset = 0;
    uint32_t length = 0;
    std::vector<CasmSegment> csegs;

    bool IsCasm() const { return tag == "CASM"; }
};

struct CasmListing {
    // File offset of the first byte after the End of Track event; none when the track cannot be
    // walked to it.
    std::optional<int64_t> trackEnd;
    std::vector<StyleChunk> chunks;  // the sound chunks, in file order
    std::vector<std::string> problems;
};

// Reads the whole file `file`; damaged input ends in `problems`, never in an exception.
CasmListing ReadCasmListing(const ByteImage& file);

// Reads the chunks of `bytesAfterTrack`, the bytes a style holds after its track (offsets count
// from their first byte); damage ends the reading as in a whole file, and is left out.
std::vector<StyleChunk> ReadChunksAfterTrack(const ByteImage& bytesAfterTrack);

}  // namespace zephrane
