// The edit history over a session on the stub platform: which commands become steps, how far
// back it reaches, and what counts as saved.

#include "app/edit_history.h"

#include <functional>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/main_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

struct Edited {
    test::TempDir dir;
    StubSession stub;
    Session& s = stub.session;

    Edited() {
        stub.platform.programDirectory = ZEPHRANE_DATA_DIR;
        stub.platform.settingsDirectory = dir.Path().string();
        stub.platform.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        Open();
    }
    void Open() {
        EXPECT_TRUE(
            OpenFileCommand(s, dir.Write("song.mid", test::SongFile(test::MeasuresSong(4)))));
    }
    // One edit of the reverb return box.
    void Return(const std::string& text) {
        RecordEdit(s, "Reverb Return",
                   [&] { return SetEffectValue(s, &EffectSettings::reverbReturn, text); });
    }
};

struct HistoryRow {
    const char* name;
    std::function<void(Edited&)> steps;
    bool canUndo;
    bool canRedo;
    bool unsaved;
    const char* reverbReturn;  // where the steps leave the song
};

const HistoryRow kHistoryRows[] = {
    {"DepthIsCappedAtOneHundred",
     [](Edited& e) {
         for (int i = 1; i <= 101; ++i)
             e.Return(std::to_string(i));
         for (int i = 0; i <= 100; ++i)
             Undo(e.s);  // the last one finds no step
     },
     false, true, true, "1"},
    {"NewEditEndsRedo",
     [](Edited& e) {
         e.Return("1");
         e.Return("2");
         Undo(e.s);
         e.Return("3");
     },
     true, false, true, "3"},
    {"UnchangedOrRefusedCommandsAreNoSteps",
     [](Edited& e) {
         e.Return("");
         RecordEdit(e.s, "LoLimit", [&] { return LeaveLimitCell(e.s, 9, LimitCell::Low, "H2"); });
     },
     false, false, false, ""},
    {"OpeningStartsAfresh",
     [](Edited& e) {
         e.Return("1");
         e.Open();
     },
     false, false, false, ""},
    {"UndoneToTheSavedSongIsSaved",
     [](Edited& e) {
         e.Return("1");
         SaveWorkingMidiFile(e.s, (e.dir.Path() / "kept.mid").string());
         e.Return("2");
         Undo(e.s);
     },
     true, true, false, "1"},
    {"UndoneBeyondTheSaveIsUnsaved",
     [](Edited& e) {
         e.Return("1");
         SaveWorkingMidiFile(e.s, (e.dir.Path() / "kept.mid").string());
         Undo(e.s);
     },
     false, true, true, ""},
};

class EditHistoryTest : public ::testing::TestWithParam<HistoryRow> {};

TEST_P(EditHistoryTest, StepsAndSavedStateFollowTheEdits) {
    Edited edited;
    GetParam().steps(edited);
    const Session& s = edited.s;
    EXPECT_EQ(CanUndo(s), GetParam().canUndo);
    EXPECT_EQ(CanRedo(s), GetParam().canRedo);
    EXPECT_EQ(HasUnsavedEdits(s), GetParam().unsaved);
    EXPECT_EQ(s.effects.reverbReturn, GetParam().reverbReturn);
}

INSTANTIATE_TEST_SUITE_P(App, EditHistoryTest, ::testing::ValuesIn(kHistoryRows),
                         [](const auto& row) { return std::string(row.param.name); });

// The window reads the names of the steps from the view.
TEST(EditHistoryViewTest, NamesTheStepsUndoAndRedoTake) {
    Edited edited;
    edited.Return("1");
    RecordEdit(edited.s, "Auto CASM Set", [&] { return AutoSetCasm(edited.s); });
    Undo(edited.s);
    RefreshMainWindowView(edited.s);
    EXPECT_EQ(edited.s.view.undoCaption, "Undo Reverb Return");
    EXPECT_EQ(edited.s.view.redoCaption, "Redo Auto CASM Set");
}

}  // namespace
}  // namespace zephrane
