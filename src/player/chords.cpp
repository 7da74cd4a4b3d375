#include "player/chords.h"

#include <algorithm>

#include "player/player_error.h"

namespace zephrane::player {
namespace {

constexpr Quality kMaj = Quality::kMajor;
constexpr Quality kMin = Quality::kMinor;
constexpr Quality kNeu = Quality::kNeutral;

// Scales a melody follows, by degree (the same degree of two scales is the same step of a line).
constexpr std::array<int, 7> kIonian = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 7> kLydian = {0, 2, 4, 6, 7, 9, 11};
constexpr std::array<int, 7> kLydianAugmented = {0, 2, 4, 6, 8, 9, 11};
constexpr std::array<int, 7> kAeolian = {0, 2, 3, 5, 7, 8, 10};
constexpr std::array<int, 7> kDorian = {0, 2, 3, 5, 7, 9, 10};
constexpr std::array<int, 7> kLocrian = {0, 1, 3, 5, 6, 8, 10};
constexpr std::array<int, 7> kMelodicMinor = {0, 2, 3, 5, 7, 9, 11};
constexpr std::array<int, 7> kDiminished = {0, 2, 3, 5, 6, 8, 9};
constexpr std::array<int, 7> kMixolydian = {0, 2, 4, 5, 7, 9, 10};
constexpr std::array<int, 7> kSus4Dominant = {0, 2, 5, 5, 7, 9, 10};  // the third becomes the 4th
constexpr std::array<int, 7> kDominantFlat5 = {0, 2, 4, 5, 6, 9, 10};
constexpr std::array<int, 7> kLydianDominant = {0, 2, 4, 6, 7, 9, 10};
constexpr std::array<int, 7> kPhrygianDominant = {0, 1, 4, 5, 7, 8, 10};
constexpr std::array<int, 7> kMixolydianFlat6 = {0, 2, 4, 5, 7, 8, 10};
constexpr std::array<int, 7> kDominantSharp9 = {0, 3, 4, 5, 7, 8, 10};
constexpr std::array<int, 7> kDominantAugmented = {0, 2, 4, 5, 8, 9, 10};
constexpr std::array<int, 7> kSus4 = {0, 2, 5, 5, 7, 9, 11};
constexpr std::array<int, 7> kSus2 = {0, 2, 2, 5, 7, 9, 11};

// clang-format off
constexpr std::array<ChordShape, kChordTypeCount> kShapes = {{
    // name          voices (R, 3, 5, 7)  tones               count scale             keeps  quality fifth
    {"maj",        {0, 4, 7, 0},   {0, 4, 7, 0, 0},    3, kIonian,            false, kMaj, 7},
    {"maj6",       {0, 4, 7, 9},   {0, 4, 7, 9, 0},    4, kIonian,            false, kMaj, 7},
    {"maj7",       {0, 4, 7, 11},  {0, 4, 7, 11, 0},   4, kIonian,            false, kMaj, 7},
    {"maj7#11",    {0, 4, 6, 11},  {0, 4, 6, 7, 11},   5, kLydian,            false, kMaj, 7},
    {"maj(9)",     {0, 4, 7, 2},   {0, 2, 4, 7, 0},    4, kIonian,            false, kMaj, 7},
    {"maj7(9)",    {0, 4, 2, 11},  {0, 2, 4, 7, 11},   5, kIonian,            false, kMaj, 7},
    {"maj6(9)",    {0, 4, 2, 9},   {0, 2, 4, 7, 9},    5, kIonian,            false, kMaj, 7},
    {"aug",        {0, 4, 8, 0},   {0, 4, 8, 0, 0},    3, kLydianAugmented,   false, kMaj, 8},
    {"min",        {0, 3, 7, 0},   {0, 3, 7, 0, 0},    3, kAeolian,           false, kMin, 7},
    {"min6",       {0, 3, 7, 9},   {0, 3, 7, 9, 0},    4, kDorian,            false, kMin, 7},
    {"min7",       {0, 3, 7, 10},  {0, 3, 7, 10, 0},   4, kDorian,            false, kMin, 7},
    {"min7b5",     {0, 3, 6, 10},  {0, 3, 6, 10, 0},   4, kLocrian,           false, kMin, 6},
    {"min(9)",     {0, 3, 7, 2},   {0, 2, 3, 7, 0},    4, kAeolian,           false, kMin, 7},
    {"min7(9)",    {0, 3, 2, 10},  {0, 2, 3, 7, 10},   5, kDorian,            false, kMin, 7},
    {"min7(11)",   {0, 3, 5, 10},  {0, 3, 5, 7, 10},   5, kDorian,            false, kMin, 7},
    {"minMaj7",    {0, 3, 7, 11},  {0, 3, 7, 11, 0},   4, kMelodicMinor,      false, kMin, 7},
    {"minMaj7(9)", {0, 3, 2, 11},  {0, 2, 3, 7, 11},   5, kMelodicMinor,      false, kMin, 7},
    {"dim",        {0, 3, 6, 0},   {0, 3, 6, 0, 0},    3, kDiminished,        false, kMin, 6},
    {"dim7",       {0, 3, 6, 9},   {0, 3, 6, 9, 0},    4, kDiminished,        false, kMin, 6},
    {"7th",        {0, 4, 7, 10},  {0, 4, 7, 10, 0},   4, kMixolydian,        false, kMaj, 7},
    {"7sus4",      {0, 5, 7, 10},  {0, 5, 7, 10, 0},   4, kSus4Dominant,      false, kNeu, 7},
    {"7b5",        {0, 4, 6, 10},  {0, 4, 6, 10, 0},   4, kDominantFlat5,     false, kMaj, 6},
    {"7(9)",       {0, 4, 2, 10},  {0, 2, 4, 7, 10},   5, kMixolydian,        false, kMaj, 7},
    {"7(#11)",     {0, 4, 6, 10},  {0, 4, 6, 7, 10},   5, kLydianDominant,    false, kMaj, 7},
    {"7(13)",      {0, 4, 9, 10},  {0, 4, 7, 9, 10},   5, kMixolydian,        false, kMaj, 7},
    {"7(b9)",      {0, 4, 1, 10},  {0, 1, 4, 7, 10},   5, kPhrygianDominant,  false, kMaj, 7},
    {"7(b13)",     {0, 4, 8, 10},  {0, 4, 7, 8, 10},   5, kMixolydianFlat6,   false, kMaj, 7},
    {"7(#9)",      {0, 4, 3, 10},  {0, 3, 4, 7, 10},   5, kDominantSharp9,    false, kMaj, 7},
    {"maj7aug",    {0, 4, 8, 11},  {0, 4, 8, 11, 0},   4, kLydianAugmented,   false, kMaj, 8},
    {"7aug",       {0, 4, 8, 10},  {0, 4, 8, 10, 0},   4, kDominantAugmented, false, kMaj, 8},
    {"1+8",        {0, 0, 0, 0},   {0, 0, 0, 0, 0},    1, kIonian,            true,  kNeu, 7},
    {"1+5",        {0, 7, 7, 0},   {0, 7, 0, 0, 0},    2, kIonian,            true,  kNeu, 7},
    {"sus4",       {0, 5, 7, 0},   {0, 5, 7, 0, 0},    3, kSus4,              false, kNeu, 7},
    {"1+2+5",      {0, 2, 7, 0},   {0, 2, 7, 0, 0},    3, kSus2,              false, kNeu, 7},
}};

// Chord names as players write them, by chord type; the CASM names are read as well.
struct Spelling {
    std::string_view text;
    int type;
};
constexpr Spelling kSpellings[] = {
    {"", 0}, {"M", 0}, {"maj", 0}, {"Maj", 0}, {"major", 0},
    {"6", 1}, {"M6", 1}, {"maj6", 1}, {"add6", 1},
    {"maj7", 2}, {"Maj7", 2}, {"M7", 2}, {"ma7", 2}, {"j7", 2}, {"^7", 2},
    {"maj7#11", 3}, {"Maj7#11", 3}, {"M7#11", 3}, {"maj7(#11)", 3}, {"M7(#11)", 3},
    {"add9", 4}, {"Madd9", 4}, {"(9)", 4}, {"maj(9)", 4}, {"add2", 4},
    {"maj9", 5}, {"Maj9", 5}, {"M9", 5}, {"maj7(9)", 5}, {"M7(9)", 5},
    {"6/9", 6}, {"69", 6}, {"6(9)", 6}, {"maj6(9)", 6}, {"M6(9)", 6},
    {"aug", 7}, {"+", 7}, {"+5", 7}, {"#5", 7}, {"(#5)", 7},
    {"m", 8}, {"min", 8}, {"mi", 8}, {"-", 8},
    {"m6", 9}, {"min6", 9}, {"-6", 9},
    {"m7", 10}, {"min7", 10}, {"mi7", 10}, {"-7", 10},
    {"m7b5", 11}, {"min7b5", 11}, {"m7(b5)", 11}, {"-7b5", 11}, {"\xC3\xB8", 11},
    {"\xC3\xB8" "7", 11},
    {"madd9", 12}, {"m(9)", 12}, {"min(9)", 12}, {"m(add9)", 12}, {"madd2", 12},
    {"m9", 13}, {"min9", 13}, {"m7(9)", 13}, {"min7(9)", 13}, {"-9", 13},
    {"m11", 14}, {"min11", 14}, {"m7(11)", 14}, {"min7(11)", 14},
    {"mMaj7", 15}, {"mmaj7", 15}, {"mM7", 15}, {"m(maj7)", 15}, {"m(M7)", 15}, {"minMaj7", 15},
    {"-maj7", 15},
    {"mMaj9", 16}, {"mmaj9", 16}, {"mM9", 16}, {"mMaj7(9)", 16}, {"mM7(9)", 16},
    {"minMaj7(9)", 16},
    {"dim", 17}, {"o", 17}, {"\xC2\xB0", 17},
    {"dim7", 18}, {"o7", 18}, {"\xC2\xB0" "7", 18},
    {"7", 19}, {"7th", 19}, {"dom7", 19},
    {"7sus4", 20}, {"7sus", 20},
    {"7b5", 21}, {"7(b5)", 21}, {"7-5", 21},
    {"9", 22}, {"7(9)", 22}, {"dom9", 22},
    {"7#11", 23}, {"7(#11)", 23},
    {"13", 24}, {"7(13)", 24},
    {"7b9", 25}, {"7(b9)", 25}, {"7-9", 25},
    {"7b13", 26}, {"7(b13)", 26},
    {"7#9", 27}, {"7(#9)", 27}, {"7+9", 27},
    {"maj7aug", 28}, {"maj7#5", 28}, {"M7#5", 28}, {"maj7(#5)", 28}, {"maj7+5", 28},
    {"M7+5", 28}, {"augMaj7", 28},
    {"7aug", 29}, {"aug7", 29}, {"7#5", 29}, {"7(#5)", 29}, {"7+5", 29}, {"+7", 29}, {"7+", 29},
    {"1+8", 30}, {"(1+8)", 30}, {"1", 30},
    {"1+5", 31}, {"(1+5)", 31}, {"5", 31},
    {"sus4", 32}, {"sus", 32},
    {"1+2+5", 33}, {"(1+2+5)", 33}, {"sus2", 33},
};
// clang-format on

// The suffix written after the root when a chord is shown.
constexpr std::array<std::string_view, kChordTypeCount> kShownSuffix = {
    "",     "6",      "maj7",  "maj7#11", "add9", "maj9", "6/9",   "aug",   "m",
    "m6",   "m7",     "m7b5",  "madd9",   "m9",   "m11",  "mMaj7", "mMaj9", "dim",
    "dim7", "7",      "7sus4", "7b5",     "9",    "7#11", "13",    "7b9",   "7b13",
    "7#9",  "maj7#5", "7aug",  "(1+8)",   "5",    "sus4", "sus2"};

constexpr std::array<std::string_view, 12> kPitchNames = {"C",  "C#", "D",  "Eb", "E",  "F",
                                                          "F#", "G",  "Ab", "A",  "Bb", "B"};

int Mod12(int value) {
    return ((value % 12) + 12) % 12;
}

int NaturalPitchClass(char letter) {
    switch (letter) {
        case 'C':
            return 0;
        case 'D':
            return 2;
        case 'E':
            return 4;
        case 'F':
            return 5;
        case 'G':
            return 7;
        case 'A':
            return 9;
        case 'B':
            return 11;
        default:
            return -1;
    }
}

// A note name at the start of `text` ("C", "F#", "Bb"); the characters it took, 0 when none.
size_t ReadNoteName(std::string_view text, int& pitchClass) {
    if (text.empty()) return 0;
    pitchClass = NaturalPitchClass(text[0]);
    if (pitchClass < 0) return 0;
    size_t used = 1;
    while (used < text.size() && (text[used] == '#' || text[used] == 'b')) {
        pitchClass = Mod12(pitchClass + (text[used] == '#' ? 1 : -1));
        ++used;
        if (used == 3) break;  // at most a double sharp or double flat
    }
    return used;
}

std::string Quote(std::string_view text) {
    std::string quoted(1, '"');
    quoted += text;
    quoted += '"';
    return quoted;
}

[[noreturn]] void Refuse(std::string_view text, const std::string& why) {
    throw PlayerError("The chord " + Quote(text) + " cannot be read: " + why +
                      ". Write a root (C, F#, Bb …) and a chord name such as m, 7, maj7, m7, "
                      "m7b5, dim7, sus4, aug, add9, 6/9, with /E for a bass note.");
}

}  // namespace

const ChordShape& ShapeOf(int type) {
    if (type < 0 || type >= kChordTypeCount) {
        throw PlayerError("Chord type " + std::to_string(type) + " does not exist (0 to 33).");
    }
    return kShapes[static_cast<size_t>(type)];
}

bool LiesWithin(const Chord& chord, const Chord& other) {
    if (chord.noChord || other.noChord || chord.root != other.root) return false;
    const ChordShape& shape = ShapeOf(chord.type);
    for (int i = 0; i < shape.toneCount; ++i) {
        if (!IsChordTone(other.type, shape.tones[static_cast<size_t>(i)])) return false;
    }
    return true;
}

bool IsChordTone(int type, int pitchClass) {
    const ChordShape& shape = ShapeOf(type);
    const int wanted = Mod12(pitchClass);
    for (int i = 0; i < shape.toneCount; ++i) {
        if (shape.tones[static_cast<size_t>(i)] == wanted) return true;
    }
    return false;
}

Chord ParseChord(std::string_view text) {
    Chord chord;
    chord.name = std::string(text);
    if (text == "N.C." || text == "NC" || text == "N.C") {
        chord.noChord = true;
        return chord;
    }
    if (text.empty()) Refuse(text, "it is empty");
    const size_t rootLength = ReadNoteName(text, chord.root);
    if (rootLength == 0) Refuse(text, "it does not begin with a note name A to G");
    std::string_view suffix = text.substr(rootLength);
    // An on-bass note: the last "/" followed by a whole note name ("6/9" has none).
    const size_t slash = suffix.rfind('/');
    if (slash != std::string_view::npos) {
        int bass = 0;
        const std::string_view after = suffix.substr(slash + 1);
        if (!after.empty() && ReadNoteName(after, bass) == after.size()) {
            chord.bass = bass;
            suffix = suffix.substr(0, slash);
        }
    }
    for (const Spelling& spelling : kSpellings) {
        if (spelling.text == suffix) {
            chord.type = spelling.type;
            return chord;
        }
    }
    for (size_t type = 0; type < kShapes.size(); ++type) {
        if (kShapes[type].name == suffix) {
            chord.type = static_cast<int>(type);
            return chord;
        }
    }
    Refuse(text, Quote(suffix) + " is not a chord name the player knows");
}

std::vector<Chord> ParseProgression(std::string_view text) {
    std::vector<Chord> chords;
    size_t pos = 0;
    const auto isSeparator = [](char c) { return c == ' ' || c == '\t' || c == ',' || c == '|'; };
    while (pos < text.size()) {
        if (isSeparator(text[pos])) {
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < text.size() && !isSeparator(text[end]))
            ++end;
        chords.push_back(ParseChord(text.substr(pos, end - pos)));
        pos = end;
    }
    if (chords.empty()) {
        throw PlayerError("The chord progression " + Quote(text) +
                          " holds no chord; write chords separated by blanks, as \"C Am F G7\".");
    }
    return chords;
}

std::string ChordText(const Chord& chord) {
    if (chord.noChord) return "N.C.";
    std::string text = std::string(PitchClassName(chord.root)) +
                       std::string(kShownSuffix[static_cast<size_t>(chord.type)]);
    if (chord.bass >= 0) {
        text += '/';
        text += PitchClassName(chord.bass);
    }
    return text;
}

std::string_view PitchClassName(int pitchClass) {
    return kPitchNames[static_cast<size_t>(Mod12(pitchClass))];
}

}  // namespace zephrane::player
