#include "app/settings_files.h"

#include <gtest/gtest.h>

#include "app/recent_files.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test.platform.settingsDirectory = dir.Path().string();
        test.platform.programDirectory = ZEPHRANE_DATA_DIR;  // the effect list file
    }
    void WriteSetting(const std::string& name, const std::string& text) {
        dir.Write(name, Bytes(text.begin(), text.end()));
    }
    std::string FileText(const std::string& name) {
        const Bytes bytes = test::ReadFile((dir.Path() / name).string());
        return std::string(bytes.begin(), bytes.end());
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

TEST_F(SettingsTest, FirstStartWithoutFilesKeepsTheInitialMarksSilently) {
    StartUp(s);
    EXPECT_TRUE(test.platform.messages.empty());
    EXPECT_EQ(s.settings.sequencerPath, "");
    EXPECT_EQ(s.settings.stylePlayerPath, "");
    EXPECT_EQ(s.settings.defaultDirectory, "");
    EXPECT_TRUE(s.settings.panelVoices);
    EXPECT_FALSE(s.settings.eightMeasureBbMains);
    EXPECT_TRUE(s.settings.xgSystemOn);
    EXPECT_FALSE(s.settings.convertSeventhAddB);
    EXPECT_FALSE(s.settings.multipleTempos);
    EXPECT_EQ(s.effectLists.reverb.size(), 24u);
}

TEST_F(SettingsTest, ProgramPathsLoseTheirLineEndTheFolderKeepsIt) {
    WriteSetting("Zephrane.ini", "/usr/bin/rosegarden --nosplash\r\n");
    WriteSetting("Zephrane2.ini", "p");  // one character: that character is the path
    WriteSetting("Zephrane3.ini", "/home/me/styles/\r\n");
    StartUp(s);
    EXPECT_EQ(s.settings.sequencerPath, "/usr/bin/rosegarden --nosplash");
    EXPECT_EQ(s.settings.stylePlayerPath, "p");
    EXPECT_EQ(s.settings.defaultDirectory, "/home/me/styles/\r\n");
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(SettingsTest, StoredMarksAreTwoDigits) {
    WriteSetting("Zephrane4.ini", "01\r\n");
    StartUp(s);
    EXPECT_FALSE(s.settings.panelVoices);
    EXPECT_TRUE(s.settings.eightMeasureBbMains);

    WriteSetting("Zephrane4.ini", "1");  // a missing second digit counts as unchecked
    s.settings.eightMeasureBbMains = true;
    StartUp(s);
    EXPECT_TRUE(s.settings.panelVoices);
    EXPECT_FALSE(s.settings.eightMeasureBbMains);
}

TEST_F(SettingsTest, TogglingAStoredMarkWritesBothDigits) {
    ToggleOptionMark(s, OptionMark::EightMeasureBbMains);
    EXPECT_EQ(FileText("Zephrane4.ini"), "11\r\n");
    ToggleOptionMark(s, OptionMark::PanelVoices);
    EXPECT_EQ(FileText("Zephrane4.ini"), "01\r\n");
    ToggleOptionMark(s, OptionMark::MultipleTempos);
    EXPECT_TRUE(s.settings.multipleTempos);
    EXPECT_EQ(FileText("Zephrane4.ini"), "01\r\n");
}

TEST_F(SettingsTest, TextFilesAreWrittenWithCrLfAndReadWhole) {
    const std::string path = (dir.Path() / "Zephrane.ini").string();
    EXPECT_TRUE(WriteTextFileContents(s, "Caf\xC3\xA9 seq", path));
    EXPECT_EQ(test::ReadFile(path), (Bytes{'C', 'a', 'f', 0xE9, ' ', 's', 'e', 'q', '\r', '\n'}));
    EXPECT_EQ(ReadTextFileContents(s, path), "Caf\xC3\xA9 seq\r\n");
    EXPECT_EQ(ReadTextFileContents(s, (dir.Path() / "none.ini").string()), "");
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(SettingsTest, UnreadableAndUnwritableSettingsAreReported) {
    EXPECT_EQ(ReadTextFileContents(s, dir.Path().string()), "");  // a folder
    EXPECT_FALSE(WriteTextFileContents(s, "x", "/dev/full"));
    ASSERT_EQ(test.platform.messages.size(), 2u);
    EXPECT_EQ(test.platform.messages[1], "Disk is full.");
}

class RecentFilesTest : public ::testing::Test {
  protected:
    std::vector<std::string>& Entries() { return s.recentFiles.entries; }
    StubSession test;
    Session& s = test.session;
};

TEST_F(RecentFilesTest, KeepsTheFourNewestOnTop) {
    for (const char* path : {"/a.mid", "/b.mid", "/c.mid", "/d.mid", "/e.mid"}) {
        AddRecentFile(s, path);
    }
    EXPECT_EQ(Entries(), (std::vector<std::string>{"/e.mid", "/d.mid", "/c.mid", "/b.mid"}));
    AddRecentFile(s, "/C.MID");  // listed already, in another case: moved, not added
    EXPECT_EQ(Entries(), (std::vector<std::string>{"/C.MID", "/e.mid", "/d.mid", "/b.mid"}));
}

TEST_F(RecentFilesTest, SavedListComesBackInItsOrder) {
    AddRecentFile(s, "/c.mid");
    AddRecentFile(s, "/b.mid");
    AddRecentFile(s, "/a.mid");
    SaveRecentFiles(s);
    EXPECT_EQ(test.platform.store.at("Zephrane/MRUFiles/0"), "/a.mid");
    EXPECT_EQ(test.platform.store.at("Zephrane/MRUFiles/2"), "/c.mid");
    Entries().clear();
    LoadRecentFiles(s);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"/a.mid", "/b.mid", "/c.mid"}));
}

TEST_F(RecentFilesTest, LoadStopsAtTheFirstGapAndSkipsRepeats) {
    test.platform.store = {{"Zephrane/MRUFiles/0", "/x.mid"},
                           {"Zephrane/MRUFiles/1", "/X.mid"},
                           {"Zephrane/MRUFiles/2", "/y.mid"},
                           {"Zephrane/MRUFiles/4", "/z.mid"}};
    LoadRecentFiles(s);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"/x.mid", "/y.mid"}));
}

}  // namespace
}  // namespace zephrane
