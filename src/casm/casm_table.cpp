#include "casm/casm_table.h"

#include <algorithm>
#include <cctype>
#include <optional>

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

namespace {

constexpr char kLimitMessage[] =
    "This value must be of the form note name & octave (E.g. C3, F6) where note name is C, C#, "
    "D, D#, E, F, F#, G, G#, A, A#, B and octave is from 0 to 10. C0 is minimum and G10 is "
    "maximum.";

struct NoteName {
    std::string_view name;
    int pitchClass;
};

constexpr NoteName kNoteNames[] = {
    {"C", 0},   {"c", 0},   {"C#", 1},  {"c#", 1},  {"Db", 1}, {"db", 1}, {"D", 2},
    {"d", 2},   {"D#", 3},  {"d#", 3},  {"Eb", 3},  {"eb", 3}, {"E", 4},  {"e", 4},
    {"F", 5},   {"f", 5},   {"F#", 6},  {"f#", 6},  {"Gb", 6}, {"gb", 6}, {"G", 7},
    {"g", 7},   {"G#", 8},  {"g#", 8},  {"Ab", 8},  {"ab", 8}, {"A", 9},  {"a", 9},
    {"A#", 10}, {"a#", 10}, {"Bb", 10}, {"bb", 10}, {"B", 11}, {"b", 11},
};

// Part defaults: how the part follows the chords and which notes it may use.
struct PartDefaults {
    int ntr;
    int ntt;
    int highKey;
    int retrigger;
    const char* lowLimit;
};
constexpr PartDefaults kRhythmDefaults = {1, 0, 6, 1, "C0"};  // Root Fixed, Bypass, F#
constexpr PartDefaults kBassDefaults = {0, 3, 3, 4, "E2"};    // Root Trans, Bass, D#
constexpr PartDefaults kChordDefaults = {0, 2, 7, 1, "C0"};   // Root Trans, Chord, G

// A text that reads as a whole number with blanks around it allowed (" 3", "3 ", "-1").
std::optional<int> WholeNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c));
        })) {
        return std::nullopt;
    }
    const int value = std::stoi(std::string(text));
    return negative ? -value : value;
}

void LoadDefaults(Session& session, int row, const PartDefaults& defaults) {
    bool refused = false;
    CasmDataSet(session, row, defaults.ntr, defaults.ntt, defaults.highKey, defaults.retrigger,
                defaults.lowLimit, refused);
}

bool IsChordGroup(std::string_view category) {
    return category == "Keyboard" || category == "Guitar" || category == "Synth Lead" ||
           category == "Accordion" || category == "Organ";
}

bool IsPadGroup(std::string_view category) {
    return category == "Strings" || category == "Synth Pad";
}

// The instrument cell's text before its first "-": the category of the voice label.
std::string_view CategoryOf(std::string_view voice) {
    return voice.substr(0, voice.find('-'));
}

class AutoAssignment {
  public:
    explicit AutoAssignment(Session& session) : s_(session) {}
    void Run();

  private:
    std::string_view Category(int row) const { return CategoryOf(s_.view.rows[row].voice); }
    // Chord 1, Chord 2, Phrase 1, Phrase 2 in turn; false once all four are given.
    bool GiveByChordCounter(int row);
    void GroupLaterRows(int row, bool (*inGroup)(std::string_view));

    Session& s_;
    int padCounter_ = 0;
    int chordCounter_ = 0;
};

bool AutoAssignment::GiveByChordCounter(int row) {
    if (chordCounter_ >= 4) return false;
    const int part =
        chordCounter_ < 2 ? kChord1Part + chordCounter_ : kPhrase1Part + chordCounter_ - 2;
    ++chordCounter_;
    PickPart(s_, row, part);
    return true;
}

void AutoAssignment::GroupLaterRows(int row, bool (*inGroup)(std::string_view)) {
    const int program = s_.channels[row].firstProgram;
    for (int later = row + 1; later < 16; ++later) {
        if (s_.casm[later].part == -1 && inGroup(Category(later)) &&
            s_.channels[later].firstProgram == program) {
            PickPart(s_, later, s_.casm[row].part);
        }
    }
}

void AutoAssignment::Run() {
    ClearCasmSet(s_);
    const int key = SongKeyIndex(s_.facts.keyText);
    const int chord = SongChordPosition(s_.facts.modeWord);
    for (int row = 0; row < 16; ++row) {
        CasmRow& casmRow = s_.casm[row];
        casmRow.sourceKey = key;
        casmRow.sourceChord = chord;
        if (casmRow.part != -1) continue;
        const std::string_view category = Category(row);
        if (category == "Bass") {
            PickPart(s_, row, kBassPart);
        } else if (IsChordGroup(category)) {
            if (GiveByChordCounter(row)) GroupLaterRows(row, IsChordGroup);
        } else if (IsPadGroup(category)) {
            bool given = true;
            if (padCounter_ == 0) {
                PickPart(s_, row, kPadPart);
                ++padCounter_;
            } else {
                given = GiveByChordCounter(row);
            }
            if (given) GroupLaterRows(row, IsPadGroup);
        } else if (s_.view.rows[row].voice.find("Drum") != std::string::npos) {
            if (row == 8) {
                PickPart(s_, row, kSubRhythmPart);
            } else if (row == 9) {
                PickPart(s_, row, kRhythmPart);
            } else {
                LoadDefaults(s_, row, kRhythmDefaults);
            }
        }
    }
}

}  // namespace

int SongKeyIndex(std::string_view keyText) {
    static constexpr NoteName kAccidentalKeys[] = {{"C#", 1},  {"Db", 1}, {"D#", 3}, {"Eb", 3},
                                                   {"F#", 6},  {"Gb", 6}, {"G#", 8}, {"Ab", 8},
                                                   {"A#", 10}, {"Bb", 10}};
    static constexpr std::string_view kNaturals = "C D EF G A B";
    if (keyText.empty()) return 0;
    const std::string_view firstTwo = keyText.substr(0, 2);
    for (const NoteName& key : kAccidentalKeys) {
        if (key.name == firstTwo) return key.pitchClass;
    }
    const bool naturalFollows = firstTwo.size() == 1 || firstTwo[1] == 'm' || firstTwo[1] == 'M';
    const size_t natural = kNaturals.find(keyText[0]);
    if (!naturalFollows || keyText[0] == ' ' || natural == std::string_view::npos) return 0;
    return static_cast<int>(natural);
}

int SongChordPosition(std::string_view modeWord) {
    return modeWord == "minor" ? 8 : 2;
}

int16_t ValidateHiLoText(Session& session, std::string_view text, bool& refused) {
    int16_t noteNumber = 0;
    Guarded(session, "ValidateHiLoText", [&] {
        std::optional<int> octave;
        std::string_view name;
        if (text.size() >= 2) octave = WholeNumber(text.substr(text.size() - 2));
        if (octave) {
            name = text.substr(0, text.size() - 2);
        } else if (!text.empty() && std::isdigit(static_cast<unsigned char>(text.back()))) {
            octave = text.back() - '0';
            name = text.substr(0, text.size() - 1);
        } else {
            refused = true;
        }
        if (octave && (*octave > 10 || *octave < 0)) refused = true;
        const auto found = std::find_if(std::begin(kNoteNames), std::end(kNoteNames),
                                        [&](const NoteName& note) { return note.name == name; });
        if (found == std::end(kNoteNames)) {
            refused = true;
        } else if (octave) {
            // G10 = 127 is the highest MIDI note.
            if (found->pitchClass >= 8 && *octave >= 10) refused = true;
            noteNumber = static_cast<int16_t>(12 * *octave + found->pitchClass);
        }
        if (refused) session.platform.messages.ShowMessage(kLimitMessage);
    });
    return noteNumber;
}

void CasmDataSet(Session& session, int row, int ntr, int ntt, int highKey, int retrigger,
                 const std::string& lowLimitText, bool& refused) {
    Guarded(session, "CasmDataSet", [&] {
        CasmRow& casmRow = session.casm.at(row);
        casmRow.sourceChord = SongChordPosition(session.facts.modeWord);
        casmRow.sourceKey = SongKeyIndex(session.facts.keyText);
        casmRow.ntr = ntr;
        casmRow.ntt = ntt;
        casmRow.highKey = highKey;
        casmRow.retrigger = retrigger;
        casmRow.lowLimitText = lowLimitText;
        casmRow.highLimitText = "G10";
        const int16_t low = ValidateHiLoText(session, casmRow.lowLimitText, refused);
        if (!refused) casmRow.lowLimit = low;
        const int16_t high = ValidateHiLoText(session, casmRow.highLimitText, refused);
        if (!refused) casmRow.highLimit = high;
    });
}

void PickPart(Session& session, int row, int position) {
    session.casm.at(row).part = position;
    if (position == kSubRhythmPart || position == kRhythmPart) {
        LoadDefaults(session, row, kRhythmDefaults);
    } else if (position == kBassPart) {
        LoadDefaults(session, row, kBassDefaults);
    } else if (position >= kChord1Part && position <= kLastAccompanimentPart) {
        LoadDefaults(session, row, kChordDefaults);
    }
}

bool LeaveLimitCell(Session& session, int row, LimitCell cell, const std::string& text) {
    CasmRow& casmRow = session.casm.at(row);
    (cell == LimitCell::Low ? casmRow.lowLimitText : casmRow.highLimitText) = text;
    if (text.empty()) return true;
    bool refused = false;
    const int16_t noteNumber = ValidateHiLoText(session, text, refused);
    if (refused) return false;
    (cell == LimitCell::Low ? casmRow.lowLimit : casmRow.highLimit) = noteNumber;
    return true;
}

void AutoSetCasm(Session& session) {
    Guarded(session, "AutoSetCasm", [&] { AutoAssignment(session).Run(); });
}

void ClearCasmSet(Session& session) {
    Guarded(session, "ClearCasmSet", [&] {
        for (CasmRow& row : session.casm) {
            row.sourceKey = row.sourceChord = row.ntr = row.highKey = row.retrigger = row.ntt = -1;
            row.lowLimitText.clear();
            row.highLimitText.clear();
            if (row.part != kMuteLockPart) row.part = -1;
        }
    });
}

void ResetChordMute(CasmTable& table) {
    for (CasmRow& row : table)
        row.chordMute = kAllChordsOn;
}

}  // namespace zephrane
