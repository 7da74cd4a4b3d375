#include "casm/casm_table.h"

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"

namespace zephrane {
namespace {

constexpr char kLimitMessage[] =
    "This value must be of the form note name & octave (E.g. C3, F6) where note name is C, C#, "
    "D, D#, E, F, F#, G, G#, A, A#, B and octave is from 0 to 10. C0 is minimum and G10 is "
    "maximum.";

class CasmTableTest : public ::testing::Test {
  protected:
    // Channels as the grid shows them: voice label and first program.
    void Instrument(int channel, const std::string& voice, int16_t program) {
        s.view.rows[channel - 1].voice = voice;
        s.channels[channel - 1].firstProgram = program;
    }
    std::vector<std::string> Parts() const {
        std::vector<std::string> parts;
        for (const CasmRow& row : s.casm) {
            parts.push_back(row.part < 0 ? "-" : std::string(kPartList[row.part].text));
        }
        return parts;
    }

    StubSession test;
    Session& s = test.session;
};

TEST(CasmLists, TextsAndCodesOfTheGridLists) {
    const std::pair<const char*, int> parts[] = {
        {"SubRhythm", 8}, {"Rhythm", 9},    {"Bass", 10},     {"Chord 1", 11},  {"Chord 2", 12},
        {"Pad", 13},      {"Phrase 1", 14}, {"Phrase 2", 15}, {"Mute-Lock", 0}, {"Un-Mute", 0}};
    for (size_t i = 0; i < kPartList.size(); ++i) {
        EXPECT_EQ(kPartList[i].text, parts[i].first);
        EXPECT_EQ(kPartList[i].code, parts[i].second);
    }
    EXPECT_EQ(kKeyList[10], "Bb");
    EXPECT_EQ(kKeyList[6], "F#");
    EXPECT_EQ(kChordTypeList[2], "maj7");
    EXPECT_EQ(kChordTypeList[8], "min");
    EXPECT_EQ(kChordTypeList[29], "7ang");
    EXPECT_EQ(kChordTypeList[33], "1+2+5");
    EXPECT_EQ(kNtrList[1], "Root Fixed");
    EXPECT_EQ(kNttList[4], "Mel. Minor");
    EXPECT_EQ(kRetriggerList[2], "Pitch Shift To Root");
    EXPECT_EQ(kRetriggerList[4], "Retrigger to Root");
}

TEST_F(CasmTableTest, LimitTextsGiveNoteNumbers) {
    const std::pair<const char*, int> accepted[] = {{"C0", 0},     {"c5", 60},  {"G10", 127},
                                                    {"Eb10", 123}, {"C3 ", 36}, {"C 3", 36},
                                                    {"E2", 28},    {"f#4", 54}, {"bb9", 118}};
    for (const auto& [text, number] : accepted)
        EXPECT_EQ(LimitNoteNumber(text), number) << text;
}

TEST_F(CasmTableTest, MalformedLimitTextsAreRefused) {
    for (const char* text : {"G#10", "A10", "C11", "C-1", "H3", "10", "C", ""})
        EXPECT_EQ(LimitNoteNumber(text), std::nullopt) << text;
}

TEST_F(CasmTableTest, RefusedLimitCellKeepsThePreviousNoteNumber) {
    PickPart(s, 0, kBassPart);
    EXPECT_FALSE(LeaveLimitCell(s, 0, LimitCell::Low, "H3"));
    EXPECT_EQ(s.casm[0].lowLimit, 28);
    EXPECT_TRUE(LeaveLimitCell(s, 0, LimitCell::High, "C6"));
    EXPECT_EQ(s.casm[0].highLimit, 72);
    EXPECT_TRUE(LeaveLimitCell(s, 0, LimitCell::Low, ""));  // an empty cell is not checked
    EXPECT_EQ(s.casm[0].lowLimit, 28);
    EXPECT_EQ(test.platform.messages, std::vector<std::string>{kLimitMessage});
}

TEST_F(CasmTableTest, SongKeyIndexReadsTheKeyNamesFirstTwoCharacters) {
    const std::pair<const char*, int> cases[] = {{"Dbmajor", 1},   {"C#major", 1}, {"Cbmajor", 0},
                                                 {"", 0},          {"Fminor", 5},  {"Amajor", 9},
                                                 {"Bbminor", 10},  {"G#minor", 8}, {"CMode  2", 0},
                                                 {"BMode  3", 11}, {"major", 0},   {"Eminor", 4}};
    for (const auto& [keyText, index] : cases)
        EXPECT_EQ(SongKeyIndex(keyText), index) << keyText;
    EXPECT_EQ(SongChordPosition("minor"), 8);
    EXPECT_EQ(SongChordPosition("major"), 2);
    EXPECT_EQ(SongChordPosition("Mode  2"), 2);
}

TEST_F(CasmTableTest, PickingAPartLoadsItsDefaultsAndTheSongsKey) {
    s.facts.keyText = "Dminor";
    s.facts.modeWord = "minor";
    PickPart(s, 2, kBassPart);
    const CasmRow& bass = s.casm[2];
    EXPECT_EQ(bass.part, 2);
    EXPECT_EQ(bass.sourceKey, 2);
    EXPECT_EQ(bass.sourceChord, 8);
    EXPECT_EQ(std::tie(bass.ntr, bass.ntt, bass.highKey, bass.retrigger), std::tuple(0, 3, 3, 4));
    EXPECT_EQ(bass.lowLimitText, "E2");
    EXPECT_EQ(bass.highLimitText, "G10");
    EXPECT_EQ(std::tie(bass.lowLimit, bass.highLimit), std::tuple(int16_t{28}, int16_t{127}));

    PickPart(s, 9, kRhythmPart);
    EXPECT_EQ(std::tie(s.casm[9].ntr, s.casm[9].ntt, s.casm[9].highKey, s.casm[9].retrigger),
              std::tuple(1, 0, 6, 1));
    EXPECT_EQ(s.casm[9].lowLimitText, "C0");
    PickPart(s, 4, 7);
    EXPECT_EQ(std::tie(s.casm[4].ntr, s.casm[4].ntt, s.casm[4].highKey, s.casm[4].retrigger),
              std::tuple(0, 2, 7, 1));

    s.casm[4].sourceKey = 5;
    PickPart(s, 4, kChord1Part);  // picking again resets the key to the song's
    EXPECT_EQ(s.casm[4].sourceKey, 2);
    PickPart(s, 5, kMuteLockPart);
    EXPECT_EQ(s.casm[5].ntr, -1);
}

TEST_F(CasmTableTest, ClearKeepsOnlyMuteLockAndLeavesChordMuteAndNumbers) {
    PickPart(s, 0, kBassPart);
    PickPart(s, 1, kMuteLockPart);
    PickPart(s, 2, 9);  // "Un-Mute"
    s.casm[0].chordMute = {1, 2, 3, 4, 5};
    ClearCasmSet(s);
    EXPECT_EQ(s.casm[0].part, -1);
    EXPECT_EQ(s.casm[0].sourceKey, -1);
    EXPECT_EQ(s.casm[0].lowLimitText, "");
    EXPECT_EQ(s.casm[0].lowLimit, 28);
    EXPECT_EQ(s.casm[0].chordMute, (ChordMute{1, 2, 3, 4, 5}));
    EXPECT_EQ(s.casm[1].part, kMuteLockPart);
    EXPECT_EQ(s.casm[2].part, -1);
}

TEST_F(CasmTableTest, AutoAssignmentGivesChordPadAndPhrasePartsInTurn) {
    Instrument(1, "Keyboard-GM", 0);
    Instrument(2, "Guitar-GM", 24);
    Instrument(3, "Strings-GM", 48);
    Instrument(4, "Strings-GM", 49);
    Instrument(5, "Organ-GM", 16);
    Instrument(6, "Synth Lead-GM", 80);
    AutoSetCasm(s);
    const std::vector<std::string> expected = {
        "Chord 1", "Chord 2", "Pad", "Phrase 1", "Phrase 2", "-", "-", "-",
        "-",       "-",       "-",   "-",        "-",        "-", "-", "-"};
    EXPECT_EQ(Parts(), expected);
}

TEST_F(CasmTableTest, SameInstrumentAndProgramJoinTheFirstChannelsPart) {
    Instrument(1, "Strings-XG", 48);
    Instrument(2, "Keyboard-GM", 0);
    Instrument(3, "Strings-GM", 48);
    Instrument(4, "Keyboard-Panel", 0);
    Instrument(5, "Synth Pad-GM", 48);
    Instrument(6, "Guitar-GM", 25);
    AutoSetCasm(s);
    EXPECT_EQ(Parts()[0], "Pad");
    EXPECT_EQ(Parts()[1], "Chord 1");
    EXPECT_EQ(Parts()[2], "Pad");
    EXPECT_EQ(Parts()[3], "Chord 1");
    EXPECT_EQ(Parts()[4], "Pad");      // Synth Pad is in the pad group, same program
    EXPECT_EQ(Parts()[5], "Chord 2");  // the counters did not move for the joined channels
    EXPECT_EQ(s.casm[2].ntt, 2);       // joined channels get the chord defaults
}

TEST_F(CasmTableTest, DrumsGetRhythmPartsOnlyOnChannelsNineAndTen) {
    Instrument(3, "Drum Kit-GM", 0);
    Instrument(9, "Std Drum Kit 1", 0);
    Instrument(10, "Drum Kit-GM no PC", 0);
    Instrument(11, "SoundFx Kit", 0);
    AutoSetCasm(s);
    EXPECT_EQ(s.casm[2].part, -1);
    EXPECT_EQ(s.casm[2].ntr, 1);  // rhythm settings without a part
    EXPECT_EQ(s.casm[2].lowLimitText, "C0");
    EXPECT_EQ(Parts()[8], "SubRhythm");
    EXPECT_EQ(Parts()[9], "Rhythm");
    EXPECT_EQ(s.casm[10].part, -1);
    EXPECT_EQ(s.casm[10].ntr, -1);
}

TEST_F(CasmTableTest, BassAndEveryRowTakeTheSongsKeyAndChord) {
    s.facts.keyText = "Ebminor";
    s.facts.modeWord = "minor";
    Instrument(2, "Bass-XG", 33);
    AutoSetCasm(s);
    EXPECT_EQ(Parts()[1], "Bass");
    for (const CasmRow& row : s.casm) {
        EXPECT_EQ(row.sourceKey, 3);
        EXPECT_EQ(row.sourceChord, 8);
    }
}

TEST_F(CasmTableTest, MuteLockSurvivesAutoAssignmentUntilUnMuted) {
    Instrument(1, "Bass-GM", 33);
    PickPart(s, 0, kMuteLockPart);
    AutoSetCasm(s);
    EXPECT_EQ(Parts()[0], "Mute-Lock");
    PickPart(s, 0, 9);
    ClearCasmSet(s);
    AutoSetCasm(s);
    EXPECT_EQ(Parts()[0], "Bass");
}

TEST_F(CasmTableTest, FifthChordInstrumentGetsNoPart) {
    for (int channel = 1; channel <= 5; ++channel) {
        Instrument(channel, "Guitar-GM", static_cast<int16_t>(24 + channel));
    }
    AutoSetCasm(s);
    const std::vector<std::string> parts = Parts();
    EXPECT_EQ(std::vector<std::string>(parts.begin(), parts.begin() + 5),
              (std::vector<std::string>{"Chord 1", "Chord 2", "Phrase 1", "Phrase 2", "-"}));
}

}  // namespace
}  // namespace zephrane
