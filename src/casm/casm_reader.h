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

// A record inside a CSEG: a Ctab read into fields, any other (Ctb2, Cntt, a second Sdec, or a
// Ctab too short for its fields) kept as its raw data bytes.
struct CasmRecord {
    std::string tag;
    int64_t offset = 0;   // file offset of the tag
    uint32_t length = 0;  // declared data length
    std::optional<CtabFields> ctab;
    std::vector<uint8_t> bytes;  // data bytes of a record that is not read into fields
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
