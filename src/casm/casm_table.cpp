#include "casm/casm_table.h"

#include <algorithm>
#include <cctype>
#include <optional>

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

// Loads a part's defaults into `row`: the song's key and chord, the list positions, the low limit
// text and "G10", and the note numbers of the two limit texts.
void LoadDefaults(CasmRow& row, const PartDefaults& defaults, const SongKeyText& song) {
    row.sourceChord = SongChordPosition(song.modeWord);
    row.sourceKey = SongKeyIndex(song.keyText);
    row.ntr = defaults.ntr;
    row.ntt = defaults.ntt;
    row.highKey = defaults.highKey;
    row.retrigger = defaults.retrigger;
    row.lowLimitText = defaults.lowLimit;
    row.highLimitText = "G10";
    row.lowLimit = *LimitNoteNumber(row.lowLimitText);
    row.highLimit = *LimitNoteNumber(row.highLimitText);
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
    AutoAssignment(CasmTable& table, const RowVoices& voices, const ChannelTable& channels,
                   const SongKeyText& song)
        : table_(table), voices_(voices), channels_(channels), song_(song) {}
    void Run();

  private:
    std::string_view Category(int row) const { return CategoryOf(voices_[row]); }
    void Pick(int row, int part) { PickPart(table_, row, part, song_); }
    // Chord 1, Chord 2, Phrase 1, Phrase 2 in turn; false once all four are given.
    bool GiveByChordCounter(int row);
    void GroupLaterRows(int row, bool (*inGroup)(std::string_view));

    CasmTable& table_;
    const RowVoices& voices_;
    const ChannelTable& channels_;
    const SongKeyText& song_;
    int padCounter_ = 0;
    int chordCounter_ = 0;
};

bool AutoAssignment::GiveByChordCounter(int row) {
    if (chordCounter_ >= 4) return false;
    const int part =
        chordCounter_ < 2 ? kChord1Part + chordCounter_ : kPhrase1Part + chordCounter_ - 2;
    ++chordCounter_;
    Pick(row, part);
    return true;
}

void AutoAssignment::GroupLaterRows(int row, bool (*inGroup)(std::string_view)) {
    const int program = channels_[row].firstProgram;
    for (int later = row + 1; later < 16; ++later) {
        if (table_[later].part == -1 && inGroup(Category(later)) &&
            channels_[later].firstProgram == program) {
            Pick(later, table_[row].part);
        }
    }
}

void AutoAssignment::Run() {
    ClearCasmTable(table_);
    const int key = SongKeyIndex(song_.keyText);
    const int chord = SongChordPosition(song_.modeWord);
    for (int row = 0; row < 16; ++row) {
        CasmRow& casmRow = table_[row];
        casmRow.sourceKey = key;
        casmRow.sourceChord = chord;
        if (casmRow.part != -1) continue;
        const std::string_view category = Category(row);
        if (category == "Bass") {
            Pick(row, kBassPart);
        } else if (IsChordGroup(category)) {
            if (GiveByChordCounter(row)) GroupLaterRows(row, IsChordGroup);
        } else if (IsPadGroup(category)) {
            bool given = true;
            if (padCounter_ == 0) {
                Pick(row, kPadPart);
                ++padCounter_;
            } else {
                given = GiveByChordCounter(row);
            }
            if (given) GroupLaterRows(row, IsPadGroup);
        } else if (voices_[row].find("Drum") != std::string::npos) {
            if (row == 8) {
                Pick(row, kSubRhythmPart);
            } else if (row == 9) {
                Pick(row, kRhythmPart);
            } else {
                LoadDefaults(casmRow, kRhythmDefaults, song_);
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

std::string LimitText(int noteNumber) {
    constexpr const char* kSharpNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                           "F#", "G",  "G#", "A",  "A#", "B"};
    return kSharpNames[noteNumber % 12] + std::to_string(noteNumber / 12);
}

CasmRow RowOfCtab(const CtabFields& ctab) {
    const auto position = [](int byte, size_t listSize) {
        return byte < static_cast<int>(listSize) ? byte : -1;
    };
    CasmRow row;
    for (int part = 0; part <= kLastAccompanimentPart; ++part) {
        if (kPartList[part].code == ctab.destinationChannel) row.part = part;
    }
    row.sourceKey = position(ctab.sourceRoot, kKeyList.size());
    row.sourceChord = position(ctab.sourceChord, kChordTypeList.size());
    row.ntr = position(ctab.ntr, kNtrList.size());
    row.ntt = position(ctab.ntt, kNttList.size());
    row.highKey = position(ctab.highKey, kKeyList.size());
    row.retrigger = position(ctab.retrigger, kRetriggerList.size());
    row.lowLimit = static_cast<int16_t>(ctab.lowLimit & 0x7F);
    row.highLimit = static_cast<int16_t>(ctab.highLimit & 0x7F);
    row.lowLimitText = LimitText(row.lowLimit);
    row.highLimitText = LimitText(row.highLimit);
    row.chordMute = ctab.chordMute;
    return row;
}

std::optional<int16_t> LimitNoteNumber(std::string_view text) {
    std::optional<int> octave;
    std::string_view name;
    if (text.size() >= 2) octave = WholeNumber(text.substr(text.size() - 2));
    if (octave) {
        name = text.substr(0, text.size() - 2);
    } else if (!text.empty() && std::isdigit(static_cast<unsigned char>(text.back()))) {
        octave = text.back() - '0';
        name = text.substr(0, text.size() - 1);
    } else {
        return std::nullopt;
    }
    if (*octave > 10 || *octave < 0) return std::nullopt;
    const auto found = std::find_if(std::begin(kNoteNames), std::end(kNoteNames),
                                    [&](const NoteName& note) { return note.name == name; });
    // G10 = 127 is the highest MIDI note.
    if (found == std::end(kNoteNames) || (found->pitchClass >= 8 && *octave >= 10)) {
        return std::nullopt;
    }
    return static_cast<int16_t>(12 * *octave + found->pitchClass);
}

void PickPart(CasmTable& table, int row, int position, const SongKeyText& song) {
    CasmRow& casmRow = table.at(row);
    casmRow.part = position;
    if (position == kSubRhythmPart || position == kRhythmPart) {
        LoadDefaults(casmRow, kRhythmDefaults, song);
    } else if (position == kBassPart) {
        LoadDefaults(casmRow, kBassDefaults, song);
    } else if (position >= kChord1Part && position <= kLastAccompanimentPart) {
        LoadDefaults(casmRow, kChordDefaults, song);
    }
}

void AutoAssignParts(CasmTable& table, const RowVoices& voices, const ChannelTable& channels,
                     const SongKeyText& song) {
    AutoAssignment(table, voices, channels, song).Run();
}

void ClearCasmTable(CasmTable& table) {
    for (CasmRow& row : table) {
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

bool AnyPartAssigned(const CasmTable& table) {
    return std::any_of(table.begin(), table.end(),
                       [](const CasmRow& row) { return row.part >= 0 && row.part <= 7; });
}

}  // namespace zephrane
