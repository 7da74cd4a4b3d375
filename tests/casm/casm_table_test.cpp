#include "casm/casm_table.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/casm_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"

namespace zephrane {
namespace {

// A row as the grid shows it: part, NTR, NTT, high key, retrigger (list positions), source key
// and chord, the limit texts with their note numbers.
std::string Shown(const CasmRow& row) {
    const std::string part = row.part < 0 ? "-" : std::string(kPartList[row.part].text);
    std::ostringstream text;
    text << part << " " << row.ntr << " " << row.ntt << " " << row.highKey << " " << row.retrigger
         << " key " << row.sourceKey << " chord " << row.sourceChord << " " << row.lowLimitText
         << "=" << row.lowLimit << " " << row.highLimitText << "=" << row.highLimit;
    return text.str();
}

class CasmTableTest : public ::testing::Test {
  protected:
    void Instrument(int channel, const std::string& voice, int16_t program) {
        s.view.rows[channel - 1].voice = voice;
        s.channels[channel - 1].firstProgram = program;
    }
    std::string Parts() const {
        std::string parts;
        for (const CasmRow& row : s.casm)
            parts += (parts.empty() ? "" : ",") +
                     (row.part < 0 ? "-" : std::string(kPartList[row.part].text));
        return parts;
    }

    StubSession test;
    Session& s = test.session;
};

TEST(CasmLimits, LimitTextsGiveNoteNumbersUpToG10AndKeyTextsAKey) {
    constexpr std::nullopt_t kNo = std::nullopt;
    // clang-format off
    const std::pair<const char*, std::optional<int16_t>> limits[] = {
        {"C0", 0}, {"c5", 60}, {"G10", 127}, {"Eb10", 123}, {"C3 ", 36}, {"C 3", 36}, {"E2", 28},
        {"f#4", 54}, {"bb9", 118}, {"G#10", kNo}, {"A10", kNo}, {"C11", kNo}, {"C-1", kNo},
        {"H3", kNo}, {"10", kNo}, {"C", kNo}, {"", kNo}};
    const std::pair<const char*, int> keys[] = {
        {"Dbmajor", 1}, {"C#major", 1}, {"Cbmajor", 0}, {"", 0}, {"Fminor", 5}, {"Amajor", 9},
        {"Bbminor", 10}, {"G#minor", 8}, {"CMode  2", 0}, {"BMode  3", 11}, {"major", 0},
        {"Eminor", 4}};
    // clang-format on
    for (const auto& [text, number] : limits)
        EXPECT_EQ(LimitNoteNumber(text), number) << '"' << text << '"';
    for (const auto& [keyText, index] : keys)
        EXPECT_EQ(SongKeyIndex(keyText), index) << keyText;
}

TEST_F(CasmTableTest, RefusedLimitCellKeepsThePreviousNoteNumber) {
    PickPart(s, 0, kBassPart);
    EXPECT_FALSE(LeaveLimitCell(s, 0, LimitCell::Low, "H3"));
    EXPECT_TRUE(LeaveLimitCell(s, 0, LimitCell::High, "C6"));
    EXPECT_TRUE(LeaveLimitCell(s, 0, LimitCell::Low, ""));  // an empty cell is not checked
    EXPECT_EQ(std::tie(s.casm[0].lowLimit, s.casm[0].highLimit), std::tuple(28, 72));
    EXPECT_EQ(test.platform.messages,
              std::vector<std::string>{
                  "This value must be of the form note name & octave (E.g. C3, F6) where note "
                  "name is C, C#, D, D#, E, F, F#, G, G#, A, A#, B and octave is from 0 to 10. C0 "
                  "is minimum and G10 is maximum."});
}

TEST_F(CasmTableTest, PickingAPartLoadsItsDefaultsAndTheSongsKey) {
    s.facts.keyText = "Dminor";
    s.facts.modeWord = "minor";
    PickPart(s, 2, kBassPart);
    PickPart(s, 9, kRhythmPart);
    PickPart(s, 4, 7);
    s.casm[4].sourceKey = 5;
    PickPart(s, 4, kChord1Part);  // picking again resets the key to the song's
    PickPart(s, 5, kMuteLockPart);
    EXPECT_EQ(Shown(s.casm[2]), "Bass 0 3 3 4 key 2 chord 8 E2=28 G10=127");
    EXPECT_EQ(Shown(s.casm[9]), "Rhythm 1 0 6 1 key 2 chord 8 C0=0 G10=127");
    EXPECT_EQ(Shown(s.casm[4]), "Chord 1 0 2 7 1 key 2 chord 8 C0=0 G10=127");
    EXPECT_EQ(Shown(s.casm[5]), "Mute-Lock -1 -1 -1 -1 key -1 chord -1 =0 =0");
}

TEST_F(CasmTableTest, ClearKeepsOnlyMuteLockAndLeavesChordMuteAndNumbers) {
    PickPart(s, 0, kBassPart);
    PickPart(s, 1, kMuteLockPart);
    PickPart(s, 2, 9);  // "Un-Mute"
    s.casm[0].chordMute = {1, 2, 3, 4, 5};
    ClearCasmSet(s);
    EXPECT_EQ(Shown(s.casm[0]), "- -1 -1 -1 -1 key -1 chord -1 =28 =127");
    EXPECT_EQ(s.casm[0].chordMute, (ChordMute{1, 2, 3, 4, 5}));
    EXPECT_EQ(Parts(), "-,Mute-Lock,-,-,-,-,-,-,-,-,-,-,-,-,-,-");
}

TEST_F(CasmTableTest, AutoAssignmentGivesPartsByInstrumentInTurnAndEveryRowTheSongsKey) {
    s.facts.keyText = "Ebminor";
    s.facts.modeWord = "minor";
    const struct {
        std::vector<std::tuple<int, const char*, int16_t>> instruments;
        const char* parts;
    } cases[] = {
        // clang-format off
        {{{1, "Keyboard-GM", 0}, {2, "Guitar-GM", 24}, {3, "Strings-GM", 48},
          {4, "Strings-GM", 49}, {5, "Organ-GM", 16}, {6, "Synth Lead-GM", 80}, {7, "Bass-XG", 33}},
         "Chord 1,Chord 2,Pad,Phrase 1,Phrase 2,-,Bass,-,-,-,-,-,-,-,-,-"},
        // Later channels of the same instrument group and first program join the first's part
        // without moving the counters.
        {{{1, "Strings-XG", 48}, {2, "Keyboard-GM", 0}, {3, "Strings-GM", 48},
          {4, "Keyboard-Panel", 0}, {5, "Synth Pad-GM", 48}, {6, "Guitar-GM", 25}},
         "Pad,Chord 1,Pad,Chord 1,Pad,Chord 2,-,-,-,-,-,-,-,-,-,-"},
        {{{1, "Guitar-GM", 25}, {2, "Guitar-GM", 26}, {3, "Guitar-GM", 27},
          {4, "Guitar-GM", 28}, {5, "Guitar-GM", 29}},
         "Chord 1,Chord 2,Phrase 1,Phrase 2,-,-,-,-,-,-,-,-,-,-,-,-"},
        // Drums get rhythm parts only on channels 9 and 10.
        {{{3, "Drum Kit-GM", 0}, {9, "Std Drum Kit 1", 0}, {10, "Drum Kit-GM no PC", 0},
          {11, "SoundFx Kit", 0}},
         "-,-,-,-,-,-,-,-,SubRhythm,Rhythm,-,-,-,-,-,-"},
        // clang-format on
    };
    for (const auto& c : cases) {
        for (int channel = 1; channel <= 16; ++channel)
            Instrument(channel, "", 0);
        for (const auto& [channel, voice, program] : c.instruments)
            Instrument(channel, voice, program);
        AutoSetCasm(s);
        EXPECT_EQ(Parts(), c.parts);
        for (const CasmRow& row : s.casm)
            EXPECT_EQ(std::tie(row.sourceKey, row.sourceChord), std::tuple(3, 8));
    }
    // Drums elsewhere get the rhythm settings without a part.
    EXPECT_EQ(Shown(s.casm[2]), "- 1 0 6 1 key 3 chord 8 C0=0 G10=127");
    EXPECT_EQ(Shown(s.casm[10]), "- -1 -1 -1 -1 key 3 chord 8 =0 =0");
}

TEST_F(CasmTableTest, MuteLockSurvivesAutoAssignmentUntilUnMuted) {
    Instrument(1, "Bass-GM", 33);
    PickPart(s, 0, kMuteLockPart);
    AutoSetCasm(s);
    EXPECT_EQ(Parts().substr(0, 10), "Mute-Lock,");
    PickPart(s, 0, 9);
    ClearCasmSet(s);
    AutoSetCasm(s);
    EXPECT_EQ(Parts().substr(0, 5), "Bass,");
}

}  // namespace
}  // namespace zephrane
