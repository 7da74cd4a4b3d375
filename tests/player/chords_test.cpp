// Reading chord names as players write them into the root, chord type and bass note of the CASM
// chord types.

#include "player/chords.h"

#include <gtest/gtest.h>

#include "player/player_error.h"

namespace zephrane::player {
namespace {

std::vector<int> Read(const std::string& text) {
    const Chord chord = ParseChord(text);
    return {chord.root, chord.type, chord.bass, chord.noChord};
}

TEST(ChordsTest, ReadsChordNamesIntoTheCasmChordTypes) {
    // One spelling of each type, in the order of the CASM chord mute bits (a wrong type plays the
    // wrong notes and mutes the wrong parts), each over the next of the twelve roots.
    const char* suffixes[] = {"",       "6",     "maj7",  "maj7#11", "add9", "M9",   "6/9",
                              "aug",    "m",     "m6",    "m7",      "m7b5", "m(9)", "m9",
                              "m11",    "mMaj7", "mMaj9", "dim",     "dim7", "7",    "7sus4",
                              "7b5",    "9",     "7#11",  "13",      "7b9",  "7b13", "7#9",
                              "maj7#5", "7aug",  "1+8",   "5",       "sus4", "sus2"};
    const char* roots[] = {"C", "Db", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
    for (int type = 0; type < 34; ++type) {
        const std::string text = std::string(roots[type % 12]) + suffixes[type];
        EXPECT_EQ(Read(text), (std::vector<int>{type % 12, type, -1, false})) << text;
    }
    // clang-format off
    const std::pair<const char*, std::vector<int>> others[] = {
        {"Cb", {11, 0, -1, 0}}, {"B#", {0, 0, -1, 0}}, {"C/E", {0, 0, 4, 0}}, {"Am7/G", {9, 10, 7, 0}},
        {"C6/9/E", {0, 6, 4, 0}}, {"Cmin7(9)", {0, 13, -1, 0}}, {"C7th", {0, 19, -1, 0}}};
    // clang-format on
    for (const auto& [text, read] : others)
        EXPECT_EQ(Read(text), read) << text;
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
    // 7th: the minor seventh, not the major one; min7b5: the flat fifth; dim7: the diminished
    // seventh; 1+2+5: the second. Guards against a chord table whose tones miss the name.
    EXPECT_EQ((std::vector<bool>{IsChordTone(19, 10), IsChordTone(19, 11), IsChordTone(11, 6),
                                 IsChordTone(18, 9), IsChordTone(33, 2)}),
              (std::vector<bool>{true, false, true, true, true}));
    EXPECT_EQ(ShapeOf(7).fifth, 8);  // aug
    EXPECT_THROW(ShapeOf(34), PlayerError);
}

}  // namespace
}  // namespace zephrane::player
