// Reading chord names as players write them into the root, chord type and bass note of the CASM
// chord types.

#include "player/chords.h"

#include <gtest/gtest.h>

#include "player/player_error.h"

namespace zephrane::player {
namespace {

TEST(ChordsTest, ReadsChordNamesIntoTheCasmChordTypes) {
    // Guards against chord names read as the wrong type (the type numbers are those of the CASM
    // chord mute bits, so a wrong one plays the wrong notes and mutes the wrong parts).
    const struct {
        const char* text;
        int root, type, bass;
    } cases[] = {
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
    for (const auto& c : cases) {
        const Chord chord = ParseChord(c.text);
        EXPECT_EQ((std::vector<int>{chord.root, chord.type, chord.bass, chord.noChord}),
                  (std::vector<int>{c.root, c.type, c.bass, false}))
            << c.text;
    }
    EXPECT_TRUE(ParseChord("N.C.").noChord && ParseChord("NC").noChord);
}

TEST(ChordsTest, ChordTextNamesRootTypeAndBass) {
    // Guards against the chord markers of the rendering naming another chord.
    std::string read;
    for (const Chord& chord : ParseProgression(" Bbmaj7  F#m7b5,C/E | G7(9) N.C."))
        read += ChordText(chord) + ";";
    EXPECT_EQ(read, "Bbmaj7;F#m7b5;C/E;G9;N.C.;");
}

TEST(ChordsTest, UnreadableChordsAreRefusedByName) {
    // Guards against a typing error played as some other chord.
    for (const char* text : {"H7", "Cx", "c", "Cm7b", "", "C/H"})
        EXPECT_THROW(ParseChord(text), PlayerError) << text;
    try {
        ParseChord("Cxyz");
        ADD_FAILURE() << "no refusal";
    } catch (const PlayerError& error) {
        EXPECT_NE(std::string(error.what()).find("\"xyz\" is not a chord name"), std::string::npos);
    }
    EXPECT_THROW(ParseProgression("  | "), PlayerError);
}

TEST(ChordsTest, ShapesHoldTheirTones) {
    // Guards against a chord table whose tones do not match the chord's name.
    EXPECT_TRUE(IsChordTone(19, 10));   // 7th: the minor seventh
    EXPECT_FALSE(IsChordTone(19, 11));  // ... not the major one
    EXPECT_TRUE(IsChordTone(11, 6));    // min7b5: the flat fifth
    EXPECT_TRUE(IsChordTone(18, 9));    // dim7: the diminished seventh
    EXPECT_TRUE(IsChordTone(33, 2));    // 1+2+5
    EXPECT_EQ(ShapeOf(7).fifth, 8);     // aug
    EXPECT_THROW(ShapeOf(34), PlayerError);
}

}  // namespace
}  // namespace zephrane::player
