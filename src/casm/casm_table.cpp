#include "casm/casm_table.h"

#include "app/session.h"

namespace zephrane {

// The part codes 8-15 are the style's accompaniment channels (0-based MIDI channels 9-16).
const std::array<ListEntry, 10> kPartList = {{{"SubRhythm", 8},
                                              {"Rhythm", 9},
                                              {"Bass", 10},
                                              {"Chord 1", 11},
                                              {"Chord 2", 12},
                                              {"Pad", 13},
                                              {"Phrase 1", 14},
                                              {"Phrase 2", 15},
                                              {"Mute-Lock", 0},
                                              {"Un-Mute", 0}}};

const std::array<std::string_view, 12> kKeyList = {"C",  "C#", "D",  "D#", "E",  "F",
                                                   "F#", "G",  "G#", "A",  "Bb", "B"};

// Positions are the chord-type numbers of the CASM format.
const std::array<std::string_view, 34> kChordTypeList = {
    "maj",      "maj6",    "maj7",       "maj7#11", "maj(9)", "maj7(9)", "maj6(9)",
    "aug",      "min",     "min6",       "min7",    "min7b5", "min(9)",  "min7(9)",
    "min7(11)", "minMaj7", "minMaj7(9)", "dim",     "dim7",   "7th",     "7sus4",
    "7b5",      "7(9)",    "7(#11)",     "7(13)",   "7(b9)",  "7(b13)",  "7(#9)",
    "maj7aug",  "7ang",    "1+8",        "1+5",     "sus4",   "1+2+5"};

const std::array<std::string_view, 2> kNtrList = {"Root Trans", "Root Fixed"};
const std::array<std::string_view, 6> kNttList = {"Bypass", "Melody",     "Chord",
                                                  "Bass",   "Mel. Minor", "Har. Minor"};
const std::array<std::string_view, 6> kRetriggerList = {
    "Stop",      "Pitch Shift",       "Pitch Shift To Root",
    "Retrigger", "Retrigger to Root", "Note Generator"};

void ClearCasmSet(Session& session) {
    for (CasmRow& row : session.casm) {
        row.sourceKey = row.sourceChord = row.ntr = row.highKey = row.retrigger = row.ntt = -1;
        row.lowLimitText.clear();
        row.highLimitText.clear();
        if (row.part != kMuteLockPart) row.part = -1;
    }
}

void ResetChordMute(CasmTable& table) {
    for (CasmRow& row : table)
        row.chordMute = kAllChordsOn;
}

}  // namespace zephrane
