#include "casm/casm_table.h"

#include <gtest/gtest.h>

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
            parts.append(row.part < 0 ? "-" : kPartList[row.part].text).append(",");
        return parts;
    }

    StubSession test;
    Session& s = test.session;
};

// A refused cell text is held by the CLI runs; an empty one is kept but not checked at all.
TEST_F(CasmTableTest, LimitTextsGiveNoteNumbersUpToG10AnEmptyCellIsLetBeKeyTextsGiveAKey) {
    constexpr std::nullopt_t kNo = std::nullopt;
    // clang-format off
    const std::pair<const char*, std::optional<int16_t>> limits[] = {{"C0", 0}, {"c5", 60},
        {"G10", 127}, {"Eb10", 123}, {"C3 ", 36}, {"C 3", 36}, {"f#4", 54}, {"bb9", 118},
        {"G#10", kNo}, {"C11", kNo}, {"C-1", kNo}, {"H3", kNo}, {"10", kNo}, {"C", kNo}, {"", kNo}};
    const std::pair<const char*, int> keys[] = {{"Dbmajor", 1}, {"C#major", 1}, {"Cbmajor", 0},
        {"", 0}, {"Bbminor", 10}, {"Aminor", 9}, {"BMode  3", 11}, {"major", 0}};
    // clang-format on
    for (const auto& [text, number] : limits)
        EXPECT_EQ(LimitNoteNumber(text), number) << '"' << text << '"';
    PickPart(s, 0, kBassPart);
    EXPECT_TRUE(LeaveLimitCell(s, 0, LimitCell::Low, ""));
    EXPECT_EQ(std::tie(s.casm[0].lowLimitText, s.casm[0].highLimitText), std::tuple("", "G10"));
    for (const auto& [keyText, index] : keys)
        EXPECT_EQ(SongKeyIndex(keyText), index) << keyText;
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
         "Pad,Chord 1,Pad,Chord 1,Pad,Chord 2,Mute-Lock,-,-,-,-,-,-,-,-,-,"},
        // A second pad of its own program takes a chord part; four chord parts at most.
        {"Strings-GM 48;Strings-GM 49;Guitar-GM 25;Guitar-GM 26;Guitar-GM 27;Guitar-GM 28",
         "Pad,Chord 1,Chord 2,Phrase 1,Phrase 2,-,Mute-Lock,-,-,-,-,-,-,-,-,-,"},
        // Drums get rhythm parts only on channels 9 and 10.
        {";;Drum Kit-GM 0;;;;;;Std Drum Kit 1 0;Drum Kit-GM no PC 0;SoundFx Kit 0",
         "-,-,-,-,-,-,Mute-Lock,-,SubRhythm,Rhythm,-,-,-,-,-,-,"},
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

// The boxes follow the bits, byte 0 bits 0-1, then bytes 1-4 bits 0-7, each with its chord type:
// the writer copies these bits into the style, so one shifted box silences the wrong chord.
TEST(ChordMute, EveryBoxStandsForItsOwnBitAndChordType) {
    std::istringstream chordTypes(
        "sus4 1+2+5 7(13) 7(b9) 7(b13) 7(#9) maj7aug 7ang 1+8 1+5 minMaj7(9) dim dim7 7th 7sus4 "
        "7b5 7(9) 7(#11) min min6 min7 min7b5 min(9) min7(9) min7(11) minMaj7 maj maj6 maj7 "
        "maj7#11 maj(9) maj7(9) maj6(9) aug");
    int box = 0;
    for (int byte = 0; byte < 5; ++byte) {
        for (int bit = 0; bit < (byte == 0 ? 2 : 8); ++bit, ++box) {
            std::string chordType;
            chordTypes >> chordType;
            EXPECT_EQ(kChordTypeList.at(kChordMuteBoxes.at(box).chordType), chordType);
            ChordMute single{};
            single[byte] = static_cast<uint8_t>(1u << bit);
            const ChordMuteDialog dialog(0, single);
            EXPECT_TRUE(dialog.IsChecked(box)) << chordType;
            EXPECT_EQ(dialog.Bytes(), single) << chordType;
        }
    }
    EXPECT_EQ(box, kChordMuteBoxCount);
}

// OK stores the boxes alone (byte 0 keeps its two chord bits) into its own row; once the dialog is
// gone, by OK or Cancel, the buttons of present sections (slots 1-24) show pressed again.
TEST_F(CasmTableTest, OkStoresTheBoxesIntoItsRowOnlyAndBothPressThePresentSections) {
    for (int slot : {0, 1, 24, 25})
        s.sectionFlags[slot] = true;
    const auto pressed = [&] {
        std::string slots;
        for (int slot = 0; slot <= 25; ++slot)
            if (s.view.sectionPressed[slot]) slots += std::to_string(slot) + " ";
        return slots;
    };
    s.casm[7].chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    ChordMuteDialog dialog = OpenChordMuteDialog(s, 7);
    dialog.SetChecked(13, false);  // "7"
    EXPECT_TRUE(StoreChordMute(s, dialog));
    EXPECT_EQ(pressed(), "1 24 ");
    s.view.sectionPressed = {};
    s.view.sectionPressed[17] = true;  // pressed without a flag: stays
    CloseChordMuteDialog(s);
    EXPECT_EQ(pressed(), "1 17 24 ");
    EXPECT_EQ(s.casm[7].chordMute, (ChordMute{3, 255, 0xF7, 255, 255}));
    EXPECT_EQ(s.casm[6].chordMute, kAllChordsOn);
}

TEST(ChordMute, PresetButtonsGiveTheirExactBytesAndRowsAreChannels) {
    using D = ChordMuteDialog;  // Major keeps m7M(9) on
    const std::pair<void (D::*)(), ChordMute> presets[] = {{&D::Major, {3, 255, 249, 0, 255}},
                                                           {&D::Minor, {0, 0, 6, 255, 0}},
                                                           {&D::None, {0, 0, 0, 0, 0}},
                                                           {&D::All, {3, 255, 255, 255, 255}}};
    for (const auto& [press, bytes] : presets) {
        ChordMuteDialog dialog(3, {0x02, 0x5A, 0xA5, 0x3C, 0xC3});
        (dialog.*press)();
        EXPECT_EQ(dialog.Bytes(), bytes);
    }
    EXPECT_THROW(ChordMuteDialog(16, kAllChordsOn), std::out_of_range);
}

}  // namespace
}  // namespace zephrane
