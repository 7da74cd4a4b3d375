#include "app/setup_dialog.h"

#include <gtest/gtest.h>

#include "app/session.h"
#include "app/settings_files.h"
#include "app/stub_platform.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

class SetupDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { test.platform.settingsDirectory = dir.Path().string(); }
    std::string FileText(const std::string& name) {
        const test::Bytes bytes = test::ReadFile((dir.Path() / name).string());
        return std::string(bytes.begin(), bytes.end());
    }
    void Write(const std::string& name, const std::string& text) {
        dir.Write(name, test::Bytes(text.begin(), text.end()));
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

TEST_F(SetupDialogTest, OpeningReadsTheFilesAgainAndCutsTheFolderAtItsLastSeparator) {
    Write("Zephrane.ini", "/usr/bin/seq\r\n");
    Write("Zephrane2.ini", "/usr/bin/player\r\n");
    Write("Zephrane3.ini", "/home/ann/styles/new\r\n");
    const SetupTexts texts = OpenSetup(s);
    EXPECT_EQ(texts.sequencer, "/usr/bin/seq");
    EXPECT_EQ(texts.stylePlayer, "/usr/bin/player");
    EXPECT_EQ(texts.defaultDirectory, "/home/ann/styles/");
}

TEST_F(SetupDialogTest, TypedTextsAreStoredOnCloseInTheirOrder) {
    CloseSetup(s, {"rosegarden --nosplash", "/opt/player", "/home/ann/songs/"});
    EXPECT_EQ(FileText("Zephrane.ini"), "rosegarden --nosplash\r\n");
    EXPECT_EQ(FileText("Zephrane2.ini"), "/opt/player\r\n");
    EXPECT_EQ(FileText("Zephrane3.ini"), "/home/ann/songs/\r\n");
    EXPECT_EQ(s.settings.sequencerPath, "rosegarden --nosplash");
    EXPECT_EQ(s.settings.defaultDirectory, "/home/ann/songs/");
    EXPECT_EQ(OpenSetup(s).sequencer, "rosegarden --nosplash");
}

TEST_F(SetupDialogTest, BrowsingStoresTheSequencerAtOnceButThePlayerOnlyOnClose) {
    SetupTexts texts;
    test.platform.openAnswers = {"/usr/bin/muse", "/usr/bin/player"};
    BrowseSequencer(s, texts);
    BrowseStylePlayer(s, texts);
    EXPECT_EQ(texts.sequencer, "/usr/bin/muse");
    EXPECT_EQ(texts.stylePlayer, "/usr/bin/player");
    EXPECT_EQ(FileText("Zephrane.ini"), "/usr/bin/muse\r\n");
    EXPECT_EQ(s.settings.sequencerPath, "/usr/bin/muse");
    EXPECT_EQ(s.settings.stylePlayerPath, "");
    EXPECT_EQ(test.platform.openRequests[0].title, "Select Location of Sequencer Program");
    EXPECT_EQ(test.platform.openRequests[1].title, "Select Location of the StylePlayer Program");
    BrowseSequencer(s, texts);  // cancelled: nothing changes
    EXPECT_EQ(texts.sequencer, "/usr/bin/muse");
}

TEST_F(SetupDialogTest, UnwritableSettingsAreReportedAndTheOtherWritesStillRun) {
    test.platform.settingsDirectory = (dir.Path() / "missing").string();
    CloseSetup(s, {"seq", "player", "/songs/"});
    EXPECT_EQ(test.platform.messages.size(), 3u);
    EXPECT_EQ(test.platform.messages[0], "That path doesn't exist.");
    EXPECT_EQ(s.settings.sequencerPath, "seq");
}

}  // namespace
}  // namespace zephrane
