#include "casm/casm_table.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <stdexcept>

#include "app/casm_commands.h"
#include "app/chord_mute_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "casm/chord_mute.h"

namespace zephrane {
namespace {

class CasmTableTest : public ::testing::Test {
  protected:
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
        {"Dbmajor", 1}, {"C#major", 1}, {"Cbmajor", 0}, {"", 0}, {"Bbminor", 10}, {"G#minor", 8},
        {"CMode  2", 0}, {"BMode  3", 11}, {"major", 0}};
    // clang-format on
    for (const auto& [text, number] : limits)
        EXPECT_EQ(LimitNoteNumber(text), number) << '"' << text << '"';
    for (const auto& [keyText, index] : keys)
        EXPECT_EQ(SongKeyIndex(keyText), index) << keyText;
}

// The refusal's text is held by the CLI runs; an empty cell is not checked at all.
TEST_F(CasmTableTest, RefusedLimitCellKeepsThePreviousNoteNumberAndAnEmptyOneIsLetBe) {
    PickPart(s, 0, kBassPart);
    EXPECT_FALSE(LeaveLimitCell(s, 0, LimitCell::Low, "H3"));
    EXPECT_TRUE(LeaveLimitCell(s, 0, LimitCell::Low, ""));
    EXPECT_EQ(s.casm[0].lowLimit, 28);
}

TEST_F(CasmTableTest, AutoAssignmentGivesPartsByInstrumentInTurnAndEveryRowTheSongsKey) {
    s.facts.keyText = "Ebminor";
    s.facts.modeWord = "minor";
    PickPart(s, 6, kMuteLockPart);  // kept by the clearing that comes first, and given nothing
    // Per channel from 1 the voice label and first program, ";" between channels.
    const std::pair<std::string, const char*> cases[] = {
        // Later channels of the same group and first program join the first's part.
        {"Strings-XG 48;Keyboard-GM 0;Strings-GM 48;Keyboard-Panel 0;Synth Pad-GM 48;Guitar-GM 25;"
         "Bass-GM 33",
         "Pad,Chord 1,Pad,Chord 1,Pad,Chord 2,Mute-Lock,-,-,-,-,-,-,-,-,-"},
        // A second pad of its own program takes a chord part; four chord parts at most.
        {"Strings-GM 48;Strings-GM 49;Guitar-GM 25;Guitar-GM 26;Guitar-GM 27;Guitar-GM 28",
         "Pad,Chord 1,Chord 2,Phrase 1,Phrase 2,-,Mute-Lock,-,-,-,-,-,-,-,-,-"},
        // Drums get rhythm parts only on channels 9 and 10.
        {";;Drum Kit-GM 0;;;;;;Std Drum Kit 1 0;Drum Kit-GM no PC 0;SoundFx Kit 0",
         "-,-,-,-,-,-,Mute-Lock,-,SubRhythm,Rhythm,-,-,-,-,-,-"},
    };
    for (const auto& [instruments, parts] : cases) {
        std::istringstream list(instruments + ";;;;;;;;;;;;;;;;");
        std::string voice;
        for (int row = 0; row < 16 && std::getline(list, voice, ';'); ++row) {
            const size_t blank = voice.rfind(' ');
            s.view.rows[row].voice = voice.substr(0, blank);
            s.channels[row].firstProgram = static_cast<int16_t>(
                blank == std::string::npos ? 0 : std::stoi(voice.substr(blank)));
        }
        AutoSetCasm(s);
        EXPECT_EQ(Parts(), parts);
        for (const CasmRow& row : s.casm)
            EXPECT_EQ(std::tie(row.sourceKey, row.sourceChord), std::tuple(3, 8));
    }
    // A kit on another channel gets the rhythm settings but no part; earlier settings are cleared.
    const CasmRow& kit = s.casm[2];
    EXPECT_EQ(std::tie(kit.ntr, kit.ntt, kit.highKey, kit.retrigger, kit.lowLimit, kit.highLimit),
              std::tuple(1, 0, 6, 1, 0, 127));
    EXPECT_EQ(std::tie(s.casm[0].ntr, s.casm[0].highLimitText), std::tuple(-1, std::string()));
}

std::set<int> CheckedBoxes(const ChordMuteDialog& dialog) {
    std::set<int> checked;
    for (int i = 0; i < kChordMuteBoxCount; ++i)
        if (dialog.IsChecked(i)) checked.insert(i);
    return checked;
}

// Each box as "caption byte bit chord-type-name": the writer copies these bits into the style, so
// one shifted box silences the wrong chord.
TEST(ChordMute, EveryBoxHasItsCaptionByteBitAndChordType) {
    std::istringstream boxes(
        "sus4 0 0 sus4 1+2+5 0 1 1+2+5 7(13) 1 0 7(13) 7(b9) 1 1 7(b9) 7(b13) 1 2 7(b13) "
        "7(#9) 1 3 7(#9) M7aug 1 4 maj7aug 7aug 1 5 7ang 1+8 1 6 1+8 1+5 1 7 1+5 "
        "m7M(9) 2 0 minMaj7(9) dim 2 1 dim dim7 2 2 dim7 7 2 3 7th 7sus4 2 4 7sus4 7b5 2 5 7b5 "
        "7(9) 2 6 7(9) 7#11 2 7 7(#11) min 3 0 min min6 3 1 min6 min7 3 2 min7 m7b5 3 3 min7b5 "
        "m(9) 3 4 min(9) m7(9) 3 5 min7(9) m7(11) 3 6 min7(11) mM7 3 7 minMaj7 Maj 4 0 maj "
        "Maj6 4 1 maj6 Maj7 4 2 maj7 M7#11 4 3 maj7#11 (9) 4 4 maj(9) M7(9) 4 5 maj7(9) "
        "6(9) 4 6 maj6(9) aug 4 7 aug");
    std::string caption, chordName;
    int byte = 0, bit = 0, i = 0;
    for (; boxes >> caption >> byte >> bit >> chordName; ++i) {
        SCOPED_TRACE(caption);
        EXPECT_EQ(kChordMuteBoxes.at(i).caption, caption);
        EXPECT_EQ(kChordTypeList.at(kChordMuteBoxes[i].chordType), chordName);
        ChordMute single{};
        single[byte] = static_cast<uint8_t>(1u << bit);
        const ChordMuteDialog dialog(0, single);
        EXPECT_EQ(CheckedBoxes(dialog), std::set<int>{i});
        EXPECT_EQ(dialog.Bytes(), single);
    }
    EXPECT_EQ(i, kChordMuteBoxCount);
}

// OK stores the boxes alone (byte 0 keeps its two chord bits) into its own row, Cancel nothing;
// once the dialog is gone the buttons of present sections (slots 1-24) show pressed again.
TEST_F(CasmTableTest, OkStoresTheBoxesIntoItsRowOnlyAndBothPressThePresentSections) {
    for (int slot : {0, 2, 9, 24, 25})
        s.sectionFlags[slot] = true;
    const auto pressed = [&] {
        std::string slots;
        for (int slot = 0; slot <= 25; ++slot)
            if (s.view.sectionPressed[slot]) slots += std::to_string(slot) + " ";
        return slots;
    };
    s.casm[5].chordMute = {0x01, 0x81, 0x06, 0x00, 0x10};
    s.casm[7].chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ChordMuteDialog dialog = OpenChordMuteDialog(s, 7);
    dialog.SetChecked(13, false);  // "7"
    EXPECT_TRUE(StoreChordMute(s, dialog));
    EXPECT_EQ(pressed(), "2 9 24 ");
    s.view.sectionPressed = {};
    s.view.sectionPressed[17] = true;  // pressed without a flag: stays
    dialog.None();
    CloseChordMuteDialog(s);
    EXPECT_EQ(pressed(), "2 9 17 24 ");
    for (int row = 0; row < 16; ++row) {
        const ChordMute expected = row == 5   ? ChordMute{0x01, 0x81, 0x06, 0x00, 0x10}
                                   : row == 7 ? ChordMute{3, 255, 0xF7, 255, 255}
                                              : kAllChordsOn;
        EXPECT_EQ(s.casm[row].chordMute, expected) << row;
    }
}

TEST(ChordMute, PresetButtonsGiveTheirExactBytesAndRowsAreChannels) {
    const std::pair<void (ChordMuteDialog::*)(), ChordMute> presets[] = {
        {&ChordMuteDialog::Major, {3, 255, 249, 0, 255}},  // m7M(9) stays on
        {&ChordMuteDialog::Minor, {0, 0, 6, 255, 0}},
        {&ChordMuteDialog::None, {0, 0, 0, 0, 0}},
        {&ChordMuteDialog::All, {3, 255, 255, 255, 255}}};
    for (const auto& [press, bytes] : presets) {
        ChordMuteDialog dialog(3, {0x02, 0x5A, 0xA5, 0x3C, 0xC3});
        (dialog.*press)();
        EXPECT_EQ(dialog.Bytes(), bytes);
    }
    EXPECT_THROW(ChordMuteDialog(-1, kAllChordsOn), std::out_of_range);
    EXPECT_THROW(ChordMuteDialog(16, kAllChordsOn), std::out_of_range);
}

}  // namespace
}  // namespace zephrane
