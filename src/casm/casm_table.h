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

// The note number of a limit text, a note name and an octave ("E2" is 28, "G10" 127). A text
// of another form sets `refused` and shows the message; a refused flag passed in true also shows
// it. Failures go to the report under "ValidateHiLoText".
int16_t ValidateHiLoText(Session& session, std::string_view text, bool& refused);

// Loads a part's defaults into `row`: the song's key and chord, the given list positions, the
// low limit text and "G10"; the limit note numbers where their texts are accepted.
void CasmDataSet(Session& session, int row, int ntr, int ntt, int highKey, int retrigger,
                 const std::string& lowLimitText, bool& refused);

// Picking entry `position` of a row's part list, by the user or by a command: the part's
// defaults follow ("Mute-Lock", "Un-Mute" and no entry bring none).
void PickPart(Session& session, int row, int position);

enum class LimitCell { Low, High };
// Leaving a limit cell with `text`: an empty text is not checked; an accepted text stores its
// note number; a refused one shows the message and keeps the number the row had. False when
// refused (the focus stays in the cell).
bool LeaveLimitCell(Session& session, int row, LimitCell cell, const std::string& text);

// "Auto CASM Set": clears the table, then gives parts to the channels from their instruments:
// bass to "Bass", keyboards, guitars, leads, accordions and organs to "Chord 1", "Chord 2",
// "Phrase 1", "Phrase 2" in turn, the first strings or pad to "Pad", drums on channels 9 and 10
// to "SubRhythm" and "Rhythm"; later channels with the same instrument group and first program
// join the part of the first.
void AutoSetCasm(Session& session);

// "Clear CASM": every row loses its settings and its part, except a "Mute-Lock" part, which
// stays; the limit note numbers and the chord mute are left as they are.
void ClearCasmSet(Session& session);

// Every channel sounds on all chords again.
void ResetChordMute(CasmTable& table);

}  // namespace zephrane
