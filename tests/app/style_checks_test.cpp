#include <gtest/gtest.h>

#include "app/main_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

constexpr char kNoMainA[] =
    "WARNING- Your style does not have a Main A section. This will cause some PSR's (e.g. "
    "2000/9000) to act strangely.";
constexpr char kNoSection[] = "At least one style section should be selected";

class StyleChecksTest : public ::testing::Test {
  protected:
    void SetUp() override {
        s.song.bytes = ByteImage(test::SongFile(test::MeasuresSong(12)));
        s.song.fileName = "/songs/song.mid";
    }
    void Press(int slot) {
        s.view.sectionPressed[slot] = true;
        s.sectionFlags[slot] = true;
    }
    const std::vector<std::string>& Messages() const { return test.platform.messages; }

    StubSession test;
    Session& s = test.session;
};

TEST_F(StyleChecksTest, NoOpenFileStopsFirst) {
    s.song.fileName.clear();
    EXPECT_FALSE(CheckStyleCommand(s, StyleCommandSource::ToolbarButton));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"A file has not yet been opened. Click on "
                                                    "Open File to identify the file to use."}));
}

TEST_F(StyleChecksTest, WithoutSectionsOnlyTheToolbarWarnsAboutMainA) {
    EXPECT_FALSE(CheckStyleCommand(s, StyleCommandSource::ToolbarButton));
    EXPECT_EQ(Messages(), (std::vector<std::string>{kNoMainA, kNoSection}));
    test.platform.messages.clear();
    EXPECT_FALSE(CheckStyleCommand(s, StyleCommandSource::MenuItem));
    EXPECT_EQ(Messages(), (std::vector<std::string>{kNoSection}));
}

TEST_F(StyleChecksTest, UnassignedCasmIsRefusedWithEachSourcesText) {
    Press(9);            // Intro A
    s.casm[0].part = 8;  // "Mute-Lock" feeds no part
    EXPECT_FALSE(CheckStyleCommand(s, StyleCommandSource::MenuItem));
    EXPECT_FALSE(CheckStyleCommand(s, StyleCommandSource::ToolbarButton));
    EXPECT_EQ(
        Messages(),
        (std::vector<std::string>{
            kNoMainA, "At least one Part in the CASM must be assigned for a style to be created",
            kNoMainA, "At least one Part In the CASM must be assigned for a style to be created"}));
}

TEST_F(StyleChecksTest, AssignedPartOrTheStylesOwnCasmLetsTheStyleBeBuilt) {
    Press(2);
    s.casm[3].part = 7;  // "Phrase 2"
    EXPECT_TRUE(CheckStyleCommand(s, StyleCommandSource::ToolbarButton));
    s.casm[3].part = -1;
    s.useStyleCasm = true;
    EXPECT_TRUE(CheckStyleCommand(s, StyleCommandSource::MenuItem));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(StyleChecksTest, ToolbarRescansTheSongBeforeBuilding) {
    Press(2);
    s.casm[0].part = 0;
    s.facts.measureCount = 0;
    EXPECT_TRUE(CheckStyleCommand(s, StyleCommandSource::ToolbarButton));
    EXPECT_EQ(s.facts.measureCount, 12);
}

}  // namespace
}  // namespace zephrane
