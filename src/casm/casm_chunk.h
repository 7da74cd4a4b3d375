#pragma once
// The CASM chunk behind a style's track: which source channel feeds which accompaniment part and
// how that part follows the chords.
//
// Layout as written: "CASM", length; then per group of sections that share their source chords a
// "CSEG", length; "Sdec", length, the group's section list ("Intro A,Main A,…"); then one 35-byte
// "Ctab" per channel that plays a part: "Ctab", 00 00 00 1B
// and 27 data bytes (source channel, 8-character name, destination channel, editable, note mute
// 0F FF, five chord-mute bytes, source root and chord, NTR, NTT, high key, low and high note
// limits, retrigger rule, special feature). Lengths are big-endian and count what follows them.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/scan_song.h"
#include "casm/casm_table.h"
#include "song/byte_image.h"

namespace zephrane {

// Per MIDI channel (index 1-16) the part code + 1 (0 none, 1 "Un-Mute", 9 "SubRhythm" …
// 16 "Phrase 2"), source key and source chord that conversion follows.
struct CasmSnapshot {
    std::array<int16_t, 17> part{};
    std::array<int16_t, 17> sourceKey{};
    std::array<int16_t, 17> sourceChord{};

    bool operator==(const CasmSnapshot&) const = default;
};

// Ctab data offsets.
inline constexpr int kCtabSourceChannel = 0;
inline constexpr int kCtabDestination = 9;
inline constexpr int kCtabSourceRoot = 18;
inline constexpr int kCtabDataLength = 27;

// Where a chunk is appended: the output image and its next free byte, which moves on past what
// is written. The image grows as needed.
struct ChunkOutput {
    ByteImage& image;
    int64_t& writePos;
};

// The writers throw their failures; what was written before a failure stays.

// The chord a section was played over when it is its own rather than the CASM table's: the section
// as the style names it ("Fill In AA"), the chord's root (pitch class, 0 = C) and its chord type
// (0..33, the chord-type list's positions).
struct SectionSourceChord {
    std::string section;
    int root = 0;
    int chordType = 0;
};

// Appends a CASM chunk built from the CASM table for the sections in `sectionList` (names joined
// by ","): a Ctab for each channel that plays notes and feeds an accompaniment part. The sections
// without a chord in `ownChords` share the first CSEG, with the table's source roots and chords;
// the others get one CSEG per distinct chord, whose melodic parts take that chord as their source
// root and chord (the rhythm parts keep the table's). Sections keep the list's order within a
// CSEG; the table's CSEG comes first (left out when no section is left for it), the others follow
// in the order of their first sections.
void AppendNewCasm(ChunkOutput output, const CasmTable& table, const ChannelTable& channels,
                   std::string_view sectionList,
                   std::span<const SectionSourceChord> ownChords = {});

// Appends the bytes kept behind an opened style's track, its CASM chunk and what followed it.
void AppendKeptCasm(ChunkOutput output, const ByteImage& styleCasm);

// Loads into `snapshot` the parts and source keys of the Ctab records of a kept style CASM that
// apply to `sectionName` (every CSEG whose section list contains it), and notes in
// `sourceRoots` where each record's source root lies. A kept CASM of two bytes is none: nothing
// is read. Failures are thrown; what was loaded before them stays.
void ReadSectionChannels(const ByteImage& styleCasm, std::string_view sectionName,
                         CasmSnapshot& snapshot, std::vector<int32_t>& sourceRoots);

}  // namespace zephrane
