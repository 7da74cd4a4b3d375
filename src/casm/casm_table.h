#pragma once
// The CASM table: for each of the 16 MIDI channels, which accompaniment part it feeds, in which
// key and chord its phrase was written, how its notes follow the player's chords, and on which
// chords it sounds (chord mute).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/scan_song.h"
#include "casm/casm_reader.h"

namespace zephrane {

struct ListEntry {
    std::string_view text;
    int code;
};

// Choice lists of the grid; a cell holds a position in its list, -1 when nothing is chosen.
extern const std::array<ListEntry, 10> kPartList;
extern const std::array<std::string_view, 12> kKeyList;
extern const std::array<std::string_view, 34> kChordTypeList;
extern const std::array<std::string_view, 2> kNtrList;
inline constexpr int kRootFixedNtr = 1;  // "Root Fixed": the note keeps its octave
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

    bool operator==(const CasmRow&) const = default;
};

using CasmTable = std::array<CasmRow, 16>;  // index = MIDI channel - 1

// Part-list positions of the parts with their own defaults.
inline constexpr int kSubRhythmPart = 0;
inline constexpr int kRhythmPart = 1;
inline constexpr int kBassPart = 2;
inline constexpr int kChord1Part = 3;
inline constexpr int kPadPart = 5;
inline constexpr int kPhrase1Part = 6;
inline constexpr int kLastAccompanimentPart = 7;  // "Phrase 2"; the two after it feed no part

// The song's key as a key-list position, from the first two characters of its key text ("Eb"
// in "Ebmajor", "Fm" in "Fminor"); 0 (C) when there is none.
int SongKeyIndex(std::string_view keyText);
// "min" for a minor song, else "maj7": the chord its phrases are taken to be written over.
int SongChordPosition(std::string_view modeWord);

// A Ctab record of an opened style as a grid row: the part its destination channel feeds, the
// list positions its bytes stand for (nothing chosen for a byte beyond its list), its limits as
// note names.
CasmRow RowOfCtab(const CtabFields& ctab);

// The limit text of a note number: "C0" for 0, "G10" for 127.
std::string LimitText(int noteNumber);

// The note number of a limit text, a note name and an octave ("E2" is 28, "G10" 127); nothing for
// a text of another form.
std::optional<int16_t> LimitNoteNumber(std::string_view text);

// What the defaults of a part take from the song: its key text ("Ebmajor") and mode word.
struct SongKeyText {
    std::string_view keyText;
    std::string_view modeWord;
};

// The voice label of each row, as the grid's instrument cells show it ("Bass-Panel").
using RowVoices = std::array<std::string, 16>;

// Picking entry `position` of a row's part list: the part's defaults follow (the song's key and
// chord, the list positions, the low limit and "G10"); "Mute-Lock", "Un-Mute" and no entry bring
// none.
void PickPart(CasmTable& table, int row, int position, const SongKeyText& song);

// "Auto CASM Set": clears the table, then gives parts to the channels from their instruments:
// bass to "Bass", keyboards, guitars, leads, accordions and organs to "Chord 1", "Chord 2",
// "Phrase 1", "Phrase 2" in turn, the first strings or pad to "Pad", drums on channels 9 and 10
// to "SubRhythm" and "Rhythm"; later channels with the same instrument group and first program
// join the part of the first.
void AutoAssignParts(CasmTable& table, const RowVoices& voices, const ChannelTable& channels,
                     const SongKeyText& song);

// "Clear CASM": every row loses its settings and its part, except a "Mute-Lock" part, which
// stays; the limit note numbers and the chord mute are left as they are.
void ClearCasmTable(CasmTable& table);

// Whether any channel feeds an accompaniment part (parts 0-7 of the part list; "Mute-Lock" and
// "Un-Mute" are not parts), without which a new CASM has nothing to say.
bool AnyPartAssigned(const CasmTable& table);

// Every channel sounds on all chords again.
void ResetChordMute(CasmTable& table);

}  // namespace zephrane
