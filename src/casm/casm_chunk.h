#pragma once
// The CASM chunk behind a style's track: which source channel feeds which accompaniment part and
// how that part follows the chords.
//
// Layout as written: "CASM", length; one "CSEG", length; "Sdec", length, the section list
// ("Intro A,Main A,…"); then one 35-byte "Ctab" per channel that plays a part: "Ctab", 00 00 00 1B
// and 27 data bytes (source channel, 8-character name, destination channel, editable, note mute
// 0F FF, five chord-mute bytes, source root and chord, NTR, NTT, high key, low and high note
// limits, retrigger rule, special feature). Lengths are big-endian and count what follows them.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zephrane {

struct Session;

// Per MIDI channel (index 1-16) the part code + 1 (0 none, 1 "Un-Mute", 9 "SubRhythm" …
// 16 "Phrase 2"), source key and source chord that conversion follows.
struct CasmSnapshot {
    std::array<int16_t, 17> part{};
    std::array<int16_t, 17> sourceKey{};
    std::array<int16_t, 17> sourceChord{};
};

// Ctab data offsets.
inline constexpr int kCtabSourceChannel = 0;
inline constexpr int kCtabDestination = 9;
inline constexpr int kCtabSourceRoot = 18;
inline constexpr int kCtabDataLength = 27;

// The writers return false after a failure, which they report under their own names.

// Writes `text` at the output write position, one byte per character, and moves past it.
bool LoadCasmString(Session& session, std::string_view text);

// Appends a CASM chunk built from the CASM table for the sections in `sectionList`.
bool CreateCasm(Session& session, std::string_view sectionList);

// Appends the bytes kept behind the opened style's track, its CASM chunk and what followed it.
bool AddCasm(Session& session);

// Loads into the snapshot the parts and source keys of the opened style's Ctab records that
// apply to `sectionName` (every CSEG whose section list contains it), and notes where each
// record's source root lies. Failures go to the report under "GetChannels".
void GetChannels(Session& session, std::string_view sectionName);

}  // namespace zephrane
