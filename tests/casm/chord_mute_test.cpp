#include "casm/chord_mute.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string_view>

#include "app/chord_mute_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"

namespace zephrane {
namespace {

struct ExpectedBox {
    std::string_view caption;
    int byte;
    int bit;
    int chordType;
    std::string_view chordName;  // the chord type's name in the CASM chord-type list
};

// The box table, written out by hand rather than derived from the byte/bit rule.
constexpr ExpectedBox kExpectedBoxes[kChordMuteBoxCount] = {
    {"sus4", 0, 0, 32, "sus4"},
    {"1+2+5", 0, 1, 33, "1+2+5"},
    {"7(13)", 1, 0, 24, "7(13)"},
    {"7(b9)", 1, 1, 25, "7(b9)"},
    {"7(b13)", 1, 2, 26, "7(b13)"},
    {"7(#9)", 1, 3, 27, "7(#9)"},
    {"M7aug", 1, 4, 28, "maj7aug"},
    {"7aug", 1, 5, 29, "7ang"},
    {"1+8", 1, 6, 30, "1+8"},
    {"1+5", 1, 7, 31, "1+5"},
    {"m7M(9)", 2, 0, 16, "minMaj7(9)"},
    {"dim", 2, 1, 17, "dim"},
    {"dim7", 2, 2, 18, "dim7"},
    {"7", 2, 3, 19, "7th"},
    {"7sus4", 2, 4, 20, "7sus4"},
    {"7b5", 2, 5, 21, "7b5"},
    {"7(9)", 2, 6, 22, "7(9)"},
    {"7#11", 2, 7, 23, "7(#11)"},
    {"min", 3, 0, 8, "min"},
    {"min6", 3, 1, 9, "min6"},
    {"min7", 3, 2, 10, "min7"},
    {"m7b5", 3, 3, 11, "min7b5"},
    {"m(9)", 3, 4, 12, "min(9)"},
    {"m7(9)", 3, 5, 13, "min7(9)"},
    {"m7(11)", 3, 6, 14, "min7(11)"},
    {"mM7", 3, 7, 15, "minMaj7"},
    {"Maj", 4, 0, 0, "maj"},
    {"Maj6", 4, 1, 1, "maj6"},
    {"Maj7", 4, 2, 2, "maj7"},
    {"M7#11", 4, 3, 3, "maj7#11"},
    {"(9)", 4, 4, 4, "maj(9)"},
    {"M7(9)", 4, 5, 5, "maj7(9)"},
    {"6(9)", 4, 6, 6, "maj6(9)"},
    {"aug", 4, 7, 7, "aug"},
};

std::set<int> CheckedBoxes(const ChordMuteDialog& dialog) {
    std::set<int> checked;
    for (int i = 0; i < kChordMuteBoxCount; ++i)
        if (dialog.IsChecked(i)) checked.insert(i);
    return checked;
}

// Guards against a box tied to the wrong bit or chord type, or showing a wrong caption: the CASM
// writer copies these bits into the style, so one shifted box silences the wrong chord.
TEST(ChordMuteLayoutTest, EveryBoxHasTheCaptionByteBitAndChordTypeOfTheTable) {
    for (int i = 0; i < kChordMuteBoxCount; ++i) {
        SCOPED_TRACE(i);
        const ExpectedBox& want = kExpectedBoxes[i];
        const ChordMuteBox& box = kChordMuteBoxes[i];
        EXPECT_EQ(box.caption, want.caption);
        EXPECT_EQ(box.byte, want.byte);
        EXPECT_EQ(box.bit, want.bit);
        EXPECT_EQ(box.chordType, want.chordType);
        EXPECT_EQ(kChordTypeList.at(box.chordType), want.chordName);
    }
}

// Guards against a box reading or writing a bit other than its own.
TEST(ChordMuteLayoutTest, EachBoxAloneGivesExactlyItsOwnBit) {
    for (int i = 0; i < kChordMuteBoxCount; ++i) {
        SCOPED_TRACE(i);
        ChordMute single{};
        single[kExpectedBoxes[i].byte] = static_cast<uint8_t>(1u << kExpectedBoxes[i].bit);
        ChordMuteDialog dialog(0, single);
        EXPECT_EQ(CheckedBoxes(dialog), std::set<int>{i});
        EXPECT_EQ(dialog.Bytes(), single);
    }
}

class ChordMuteDialogTest : public ::testing::Test {
  protected:
    StubSession test;
    Session& s = test.session;
};

// Guards against loading another row, or the default, instead of the chosen row's stored bits.
TEST_F(ChordMuteDialogTest, LoadingShowsTheStoredBitsOfTheChosenRow) {
    s.casm[5].chordMute = {0x01, 0x81, 0x06, 0x00, 0x10};
    const ChordMuteDialog dialog = OpenChordMuteDialog(s, 5);
    EXPECT_EQ(dialog.Row(), 5);
    // sus4; 7(13) and 1+5; dim and dim7; (9)
    EXPECT_EQ(CheckedBoxes(dialog), (std::set<int>{0, 2, 9, 11, 12, 30}));
    EXPECT_EQ(dialog.Bytes(), (ChordMute{0x01, 0x81, 0x06, 0x00, 0x10}));
}

// Guards against passing stored bits through that no box shows: OK rebuilds the bytes from the
// boxes alone, so byte 0 keeps only its two chord bits.
TEST_F(ChordMuteDialogTest, BitsWithoutABoxAreDroppedOnOk) {
    s.casm[2].chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const ChordMuteDialog dialog = OpenChordMuteDialog(s, 2);
    StoreChordMute(s, dialog);
    EXPECT_EQ(s.casm[2].chordMute, (ChordMute{3, 255, 255, 255, 255}));
}

// Guards against a dialog left open across File > Open writing into the next song's channel.
TEST_F(ChordMuteDialogTest, DialogOfASongNoLongerOpenStoresNothing) {
    ChordMuteDialog dialog = OpenChordMuteDialog(s, 0);
    dialog.None();
    ++s.songsOpened;  // another song was opened meanwhile
    EXPECT_FALSE(ChordMuteDialogIsCurrent(s, dialog));
    EXPECT_FALSE(StoreChordMute(s, dialog));
    EXPECT_EQ(s.casm[0].chordMute, (ChordMute{3, 255, 255, 255, 255}));
    EXPECT_TRUE(StoreChordMute(s, OpenChordMuteDialog(s, 0)));
}

// Guards against the fresh default not showing every box checked, or OK altering it.
TEST_F(ChordMuteDialogTest, OkWithoutChangeStoresAllChordsOnAgain) {
    const ChordMuteDialog dialog = OpenChordMuteDialog(s, 0);
    EXPECT_EQ(CheckedBoxes(dialog).size(), 34u);
    StoreChordMute(s, dialog);
    EXPECT_EQ(s.casm[0].chordMute, (ChordMute{3, 255, 255, 255, 255}));
}

// Guards against the preset buttons using wrong box sets or only adding to the current boxes:
// each starts from a mixed state and must give its exact bytes.
TEST_F(ChordMuteDialogTest, PresetButtonsGiveTheirExactBytes) {
    const ChordMute mixed = {0x02, 0x5A, 0xA5, 0x3C, 0xC3};
    {
        SCOPED_TRACE("Major keeps m7M(9) and drops dim, dim7 and the minor chords");
        ChordMuteDialog dialog(3, mixed);
        dialog.Major();
        EXPECT_TRUE(dialog.IsChecked(10));
        EXPECT_EQ(dialog.Bytes(), (ChordMute{3, 255, 249, 0, 255}));
    }
    {
        SCOPED_TRACE("Minor keeps only dim, dim7 and the minor chords");
        ChordMuteDialog dialog(3, mixed);
        dialog.Minor();
        EXPECT_FALSE(dialog.IsChecked(10));
        EXPECT_EQ(dialog.Bytes(), (ChordMute{0, 0, 6, 255, 0}));
    }
    {
        SCOPED_TRACE("None");
        ChordMuteDialog dialog(3, mixed);
        dialog.None();
        EXPECT_EQ(dialog.Bytes(), (ChordMute{0, 0, 0, 0, 0}));
    }
    {
        SCOPED_TRACE("All");
        ChordMuteDialog dialog(3, mixed);
        dialog.All();
        EXPECT_EQ(dialog.Bytes(), (ChordMute{3, 255, 255, 255, 255}));
    }
}

// Guards against OK writing to the wrong row or touching the other rows.
TEST_F(ChordMuteDialogTest, OkStoresTheBoxesIntoTheDialogsRowOnly) {
    ChordMuteDialog dialog = OpenChordMuteDialog(s, 15);
    dialog.Minor();
    StoreChordMute(s, dialog);
    EXPECT_EQ(s.casm[15].chordMute, (ChordMute{0, 0, 6, 255, 0}));
    for (int row = 0; row < 15; ++row)
        EXPECT_EQ(s.casm[row].chordMute, kAllChordsOn) << row;

    dialog = OpenChordMuteDialog(s, 7);
    dialog.SetChecked(13, false);  // "7"
    StoreChordMute(s, dialog);
    EXPECT_EQ(s.casm[7].chordMute, (ChordMute{3, 255, 0xF7, 255, 255}));
}

// Guards against Cancel storing the changed boxes.
TEST_F(ChordMuteDialogTest, CancelLeavesTheStoredBytes) {
    s.casm[4].chordMute = {1, 2, 3, 4, 5};
    ChordMuteDialog dialog = OpenChordMuteDialog(s, 4);
    dialog.None();
    dialog.SetChecked(20, true);
    CloseChordMuteDialog(s);
    EXPECT_EQ(s.casm[4].chordMute, (ChordMute{1, 2, 3, 4, 5}));
}

// Guards against a lost or extra blank in the dialog's texts.
TEST_F(ChordMuteDialogTest, CaptionPromptAndButtonsHaveTheirExactTexts) {
    EXPECT_EQ(OpenChordMuteDialog(s, 0).Caption(), " Chord Recognition for Channel  1");
    EXPECT_EQ(OpenChordMuteDialog(s, 15).Caption(), " Chord Recognition for Channel  16");
    EXPECT_EQ(OpenChordMuteDialog(s, 0).PromptText(),
              "Select the chords you wish to trigger the playing of this source track. Note: "
              "Clicking OK stores the settings.");
    EXPECT_STREQ(kChordMuteMajorButton, "Major");
    EXPECT_STREQ(kChordMuteMinorButton, "Minor");
    EXPECT_STREQ(kChordMuteAllButton, "All");
    EXPECT_STREQ(kChordMuteNoneButton, "None");
    EXPECT_STREQ(kChordMuteOkButton, "OK");
    EXPECT_STREQ(kChordMuteCancelButton, "Cancel");
}

// Guards against a dialog for a row the CASM table does not have.
TEST_F(ChordMuteDialogTest, RowsOutsideTheSixteenChannelsAreRefused) {
    EXPECT_THROW(ChordMuteDialog(-1, kAllChordsOn), std::out_of_range);
    EXPECT_THROW(ChordMuteDialog(16, kAllChordsOn), std::out_of_range);
    EXPECT_THROW(OpenChordMuteDialog(s, 16), std::out_of_range);
}

class ChordMuteToolbarTest : public ChordMuteDialogTest {
  protected:
    void SetUp() override {
        for (int slot : {0, 2, 9, 24, 25})
            s.sectionFlags[slot] = true;
        s.view.sectionPressed[17] = true;  // pressed without a flag
    }
    void ExpectRealigned() {
        for (int slot : {2, 9, 24, 17})
            EXPECT_TRUE(s.view.sectionPressed[slot]) << slot;
        for (int slot : {0, 1, 3, 23, 25})
            EXPECT_FALSE(s.view.sectionPressed[slot]) << slot;
    }
};

// Guards against the section buttons losing their pressed state when the dialog goes away, and
// against the realignment reaching beyond slots 1-24 or releasing buttons.
TEST_F(ChordMuteToolbarTest, OkPressesTheButtonsOfPresentSections) {
    StoreChordMute(s, OpenChordMuteDialog(s, 0));
    ExpectRealigned();
}

TEST_F(ChordMuteToolbarTest, CancelPressesTheButtonsOfPresentSections) {
    CloseChordMuteDialog(s);
    ExpectRealigned();
}

}  // namespace
}  // namespace zephrane
