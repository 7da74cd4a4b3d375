#pragma once
// The CASM table: for each of the 16 MIDI channels, which accompaniment part it feeds, in which
// key and chord its phrase was written, how its notes follow the player's chords, and on which
// chords it sounds (chord mute).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zephrane {

struct Session;

struct ListEntry {
    std::string_view text;
    int code;
};

// Choice lists of the grid; a cell holds a position in its list, -1 when nothing is chosen.
extern const std::array<ListEntry, 10> kPartList;
extern const std::array<std::string_view, 12> kKeyList;
extern const std::array<std::string_view, 34> kChordTypeList;
extern const std::array<std::string_view, 2> kNtrList;
extern const std::array<std::string_view, 6> kNttList;
extern const std::array<std::string_view, 6> kRetriggerList;

inline constexpr int kMuteLockPart = 8;

// Five bytes holding one bit per chord type; a set bit lets that chord trigger the channel.
using ChordMute = std::array<uint8_t, 5>;
inline constexpr ChordMute kAllChordsOn = {3, 255, 255, 255, 255};

struct CasmRow {
    int part = -1;
    int sourceKey = -1;
    int sourceChord = -1;
    int ntr = -1;
    int ntt = -1;
    int highKey = -1;
    std::string lowLimitText;  // note name and octave ("E2"); empty when unset
    std::string highLimitText;
    int16_t lowLimit = 0;  // note numbers of the two limit texts
    int16_t highLimit = 0;
    int retrigger = -1;
    ChordMute chordMute = kAllChordsOn;
};

using CasmTable = std::array<CasmRow, 16>;  // index = MIDI channel - 1

// "Clear CASM": every row loses its settings and its part, except a "Mute-Lock" part, which
// stays; the limit note numbers and the chord mute are left as they are.
void ClearCasmSet(Session& session);

// Every channel sounds on all chords again.
void ResetChordMute(CasmTable& table);

}  // namespace zephrane
