#include "casm/chord_mute.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "app/chord_mute_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"

namespace zephrane {
namespace {

std::set<int> CheckedBoxes(const ChordMuteDialog& dialog) {
    std::set<int> checked;
    for (int i = 0; i < kChordMuteBoxCount; ++i)
        if (dialog.IsChecked(i)) checked.insert(i);
    return checked;
}

// Guards against a box tied to the wrong bit or chord type, or showing a wrong caption: the CASM
// writer copies these bits into the style, so one shifted box silences the wrong chord. The table
// is written out by hand, not derived from the byte/bit rule; each box alone must give its bit.
TEST(ChordMuteLayout, EveryBoxHasItsCaptionByteBitAndChordType) {
    const struct {
        const char* caption;
        int byte, bit;
        const char* chordName;  // the chord type's name in the CASM chord-type list
    } boxes[kChordMuteBoxCount] = {
        // clang-format off
        {"sus4", 0, 0, "sus4"}, {"1+2+5", 0, 1, "1+2+5"}, {"7(13)", 1, 0, "7(13)"},
        {"7(b9)", 1, 1, "7(b9)"}, {"7(b13)", 1, 2, "7(b13)"}, {"7(#9)", 1, 3, "7(#9)"},
        {"M7aug", 1, 4, "maj7aug"}, {"7aug", 1, 5, "7ang"}, {"1+8", 1, 6, "1+8"},
        {"1+5", 1, 7, "1+5"}, {"m7M(9)", 2, 0, "minMaj7(9)"}, {"dim", 2, 1, "dim"},
        {"dim7", 2, 2, "dim7"}, {"7", 2, 3, "7th"}, {"7sus4", 2, 4, "7sus4"}, {"7b5", 2, 5, "7b5"},
        {"7(9)", 2, 6, "7(9)"}, {"7#11", 2, 7, "7(#11)"}, {"min", 3, 0, "min"},
        {"min6", 3, 1, "min6"}, {"min7", 3, 2, "min7"}, {"m7b5", 3, 3, "min7b5"},
        {"m(9)", 3, 4, "min(9)"}, {"m7(9)", 3, 5, "min7(9)"}, {"m7(11)", 3, 6, "min7(11)"},
        {"mM7", 3, 7, "minMaj7"}, {"Maj", 4, 0, "maj"}, {"Maj6", 4, 1, "maj6"},
        {"Maj7", 4, 2, "maj7"}, {"M7#11", 4, 3, "maj7#11"}, {"(9)", 4, 4, "maj(9)"},
        {"M7(9)", 4, 5, "maj7(9)"}, {"6(9)", 4, 6, "maj6(9)"}, {"aug", 4, 7, "aug"},
        // clang-format on
    };
    for (int i = 0; i < kChordMuteBoxCount; ++i) {
        SCOPED_TRACE(boxes[i].caption);
        const ChordMuteBox& box = kChordMuteBoxes[i];
        EXPECT_EQ(box.caption, boxes[i].caption);
        EXPECT_EQ(kChordTypeList.at(box.chordType), boxes[i].chordName);
        ChordMute single{};
        single[boxes[i].byte] = static_cast<uint8_t>(1u << boxes[i].bit);
        const ChordMuteDialog dialog(0, single);
        EXPECT_EQ(CheckedBoxes(dialog), std::set<int>{i});
        EXPECT_EQ(dialog.Bytes(), single);
    }
}

class ChordMuteDialogTest : public ::testing::Test {
  protected:
    StubSession test;
    Session& s = test.session;
};

// Guards against loading another row or the default, OK writing to another row or passing on
// stored bits no box shows (byte 0 keeps only its two chord bits), and Cancel storing anything.
TEST_F(ChordMuteDialogTest, OkStoresTheBoxesIntoTheDialogsRowOnlyAndCancelNothing) {
    s.casm[5].chordMute = {0x01, 0x81, 0x06, 0x00, 0x10};
    ChordMuteDialog dialog = OpenChordMuteDialog(s, 5);
    EXPECT_EQ(CheckedBoxes(dialog), (std::set<int>{0, 2, 9, 11, 12, 30}));
    s.casm[7].chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    dialog = OpenChordMuteDialog(s, 7);
    dialog.SetChecked(13, false);  // "7"
    EXPECT_TRUE(StoreChordMute(s, dialog));
    dialog.None();
    CloseChordMuteDialog(s);
    for (int row = 0; row < 16; ++row) {
        const ChordMute expected = row == 5   ? ChordMute{0x01, 0x81, 0x06, 0x00, 0x10}
                                   : row == 7 ? ChordMute{3, 255, 0xF7, 255, 255}
                                              : kAllChordsOn;
        EXPECT_EQ(s.casm[row].chordMute, expected) << row;
    }
    ++s.songsOpened;  // a dialog left open across File > Open stores nothing
    EXPECT_FALSE(ChordMuteDialogIsCurrent(s, dialog));
    EXPECT_FALSE(StoreChordMute(s, dialog));
    EXPECT_EQ(s.casm[7].chordMute, (ChordMute{3, 255, 0xF7, 255, 255}));
}

// Guards against the preset buttons using wrong box sets or only adding to the current boxes.
TEST(ChordMuteLayout, PresetButtonsGiveTheirExactBytes) {
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
}

TEST_F(ChordMuteDialogTest, CaptionNamesTheChannelAndOtherRowsAreRefused) {
    EXPECT_EQ(OpenChordMuteDialog(s, 0).Caption(), " Chord Recognition for Channel  1");
    EXPECT_EQ(OpenChordMuteDialog(s, 15).Caption(), " Chord Recognition for Channel  16");
    EXPECT_THROW(ChordMuteDialog(-1, kAllChordsOn), std::out_of_range);
    EXPECT_THROW(ChordMuteDialog(16, kAllChordsOn), std::out_of_range);
}

// Guards against the section buttons losing their pressed state when the dialog goes away, and
// against the realignment reaching beyond slots 1-24 or releasing buttons.
TEST_F(ChordMuteDialogTest, OkAndCancelPressTheButtonsOfPresentSections) {
    for (const bool ok : {true, false}) {
        s.view.sectionPressed = {};
        s.sectionFlags = {};
        for (int slot : {0, 2, 9, 24, 25})
            s.sectionFlags[slot] = true;
        s.view.sectionPressed[17] = true;  // pressed without a flag
        ok ? (void)StoreChordMute(s, OpenChordMuteDialog(s, 0)) : CloseChordMuteDialog(s);
        for (int slot = 0; slot <= 25; ++slot)
            EXPECT_EQ(s.view.sectionPressed[slot],
                      slot == 2 || slot == 9 || slot == 24 || slot == 17)
                << (ok ? "OK " : "Cancel ") << slot;
    }
}

}  // namespace
}  // namespace zephrane
