// Reading chord names as players write them into the root, chord type and bass note of the CASM
// chord types.

#include "player/chords.h"

#include <gtest/gtest.h>

#include "player/player_error.h"

namespace zephrane::player {
namespace {

struct Expected {
    const char* text;
    int root;
    int type;
    int bass;
};

TEST(ChordsTest, ReadsCommonChordNames) {
    // Guards against chord names read as the wrong type (the type numbers are those of the
    // CASM chord mute bits, so a wrong one plays the wrong notes and mutes the wrong parts).
    const Expected cases[] = {
        {"C", 0, 0, -1},       {"Am", 9, 8, -1},        {"F#m7", 6, 10, -1},
        {"G7", 7, 19, -1},     {"Bbmaj7", 10, 2, -1},   {"Dm7b5", 2, 11, -1},
        {"Cdim7", 0, 18, -1},  {"Csus4", 0, 32, -1},    {"Caug", 0, 7, -1},
        {"Ebm6", 3, 9, -1},    {"C6", 0, 1, -1},        {"Cadd9", 0, 4, -1},
        {"CM9", 0, 5, -1},     {"C6/9", 0, 6, -1},      {"Cm9", 0, 13, -1},
        {"Cm11", 0, 14, -1},   {"CmMaj7", 0, 15, -1},   {"Cdim", 0, 17, -1},
        {"C7sus4", 0, 20, -1}, {"C7b5", 0, 21, -1},     {"C9", 0, 22, -1},
        {"C7#11", 0, 23, -1},  {"C13", 0, 24, -1},      {"C7b9", 0, 25, -1},
        {"C7b13", 0, 26, -1},  {"C7#9", 0, 27, -1},     {"Cmaj7#5", 0, 28, -1},
        {"C7aug", 0, 29, -1},  {"C1+8", 0, 30, -1},     {"C5", 0, 31, -1},
        {"Csus2", 0, 33, -1},  {"Cmaj7#11", 0, 3, -1},  {"Cm(9)", 0, 12, -1},
        {"CmMaj9", 0, 16, -1}, {"C/E", 0, 0, 4},        {"Am7/G", 9, 10, 7},
        {"C6/9/E", 0, 6, 4},   {"Db", 1, 0, -1},        {"Cb", 11, 0, -1},
        {"B#", 0, 0, -1},      {"Cmin7(9)", 0, 13, -1}, {"C7th", 0, 19, -1},
    };
    for (const Expected& c : cases) {
        const Chord chord = ParseChord(c.text);
        EXPECT_EQ(chord.root, c.root) << c.text;
        EXPECT_EQ(chord.type, c.type) << c.text;
        EXPECT_EQ(chord.bass, c.bass) << c.text;
        EXPECT_FALSE(chord.noChord) << c.text;
    }
}

TEST(ChordsTest, NoChordIsReadAsSuch) {
    // Guards against "N.C." refused or read as a C chord.
    EXPECT_TRUE(ParseChord("N.C.").noChord);
    EXPECT_TRUE(ParseChord("NC").noChord);
}

TEST(ChordsTest, UnreadableChordsAreRefusedByName) {
    // Guards against a typing error played as some other chord.
    for (const char* text : {"H7", "Cx", "c", "Cm7b", "", "C/H"}) {
        EXPECT_THROW(ParseChord(text), PlayerError) << text;
    }
    try {
        ParseChord("Cxyz");
        FAIL() << "no refusal";
    } catch (const PlayerError& error) {
        EXPECT_NE(std::string(error.what()).find("\"xyz\" is not a chord name"), std::string::npos)
            << error.what();
    }
}

TEST(ChordsTest, ProgressionSplitsAtBlanksCommasAndBarLines) {
    // Guards against chords run together or an empty chord between separators.
    const std::vector<Chord> chords = ParseProgression(" C  Am,F | G7 ");
    ASSERT_EQ(chords.size(), 4u);
    EXPECT_EQ(chords[0].name, "C");
    EXPECT_EQ(chords[1].type, 8);
    EXPECT_EQ(chords[2].root, 5);
    EXPECT_EQ(chords[3].type, 19);
    EXPECT_THROW(ParseProgression("  | "), PlayerError);
}

TEST(ChordsTest, ChordTextNamesRootTypeAndBass) {
    // Guards against the chord markers of the rendering naming another chord.
    EXPECT_EQ(ChordText(ParseChord("Bbmaj7")), "Bbmaj7");
    EXPECT_EQ(ChordText(ParseChord("F#m7b5")), "F#m7b5");
    EXPECT_EQ(ChordText(ParseChord("C/E")), "C/E");
    EXPECT_EQ(ChordText(ParseChord("G7(9)")), "G9");
    EXPECT_EQ(ChordText(ParseChord("N.C.")), "N.C.");
}

TEST(ChordsTest, ShapesHoldTheirTones) {
    // Guards against a chord table whose tones do not match the chord's name.
    EXPECT_TRUE(IsChordTone(19, 10));   // 7th: the minor seventh
    EXPECT_FALSE(IsChordTone(19, 11));  // … not the major one
    EXPECT_TRUE(IsChordTone(11, 6));    // min7b5: the flat fifth
    EXPECT_TRUE(IsChordTone(18, 9));    // dim7: the diminished seventh
    EXPECT_TRUE(IsChordTone(33, 2));    // 1+2+5
    EXPECT_EQ(ShapeOf(7).fifth, 8);     // aug
    EXPECT_THROW(ShapeOf(34), PlayerError);
}

}  // namespace
}  // namespace zephrane::player
