// The settings: the four text files beside the program, the recent-file list in the settings
// store, the Setup dialog that edits the program paths, and where all these files live.

#include "app/settings_files.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/recent_files.h"
#include "app/setup_dialog.h"
#include "app/standard_paths.h"
#include "app/stub_platform.h"
#include "app/working_folder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using Texts = std::vector<std::string>;

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { test.platform.settingsDirectory = dir.Path().string(); }
    void Write(const std::string& name, const std::string& text) {
        dir.Write(name, Bytes(text.begin(), text.end()));
    }
    std::string Text(const std::string& name) {
        const Bytes bytes = test::ReadFile((dir.Path() / name).string());
        return std::string(bytes.begin(), bytes.end());
    }
    static PathEnvironment Environment() {
        PathEnvironment environment;
        environment.home = "/home/ann";
        environment.installedDataDirectory = "/usr/share/zephrane";
        environment.dataDirectoryFromProgram = "../share/zephrane";
        return environment;
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
    const Texts& messages = test.platform.messages;
};

TEST_F(SettingsTest, StartUpTakesPathsWithoutTheirLineEndAndMarksAsTwoDigits) {
    test.platform.programDirectory = ZEPHRANE_DATA_DIR;  // the effect list file
    StartUp(s);                                          // no files: the initial marks, silently
    EXPECT_TRUE(s.settings.panelVoices && s.settings.xgSystemOn);
    EXPECT_FALSE(s.settings.eightMeasureBbMains || s.settings.convertSeventhAddB ||
                 s.settings.multipleTempos);
    Write("Zephrane.ini", "/usr/bin/rosegarden --nosplash\r\n");
    Write("Zephrane2.ini", "p");  // one character: that character is the path
    Write("Zephrane3.ini", "/home/me/styles/\r\n");
    Write("Zephrane4.ini", "01\r\n");
    StartUp(s);
    EXPECT_EQ(
        (Texts{s.settings.sequencerPath, s.settings.stylePlayerPath, s.settings.defaultDirectory}),
        (Texts{"/usr/bin/rosegarden --nosplash", "p", "/home/me/styles/\r\n"}));
    EXPECT_FALSE(s.settings.panelVoices);
    EXPECT_TRUE(s.settings.eightMeasureBbMains);
    Write("Zephrane4.ini", "1");  // a missing second digit counts as unchecked
    StartUp(s);
    EXPECT_TRUE(s.settings.panelVoices && !s.settings.eightMeasureBbMains);
    EXPECT_EQ(messages, Texts{});
}

TEST_F(SettingsTest, TogglingAStoredMarkWritesBothDigits) {
    ToggleOptionMark(s, OptionMark::EightMeasureBbMains);
    EXPECT_EQ(Text("Zephrane4.ini"), "11\r\n");
    ToggleOptionMark(s, OptionMark::PanelVoices);
    ToggleOptionMark(s, OptionMark::MultipleTempos);  // not stored
    EXPECT_TRUE(s.settings.multipleTempos);
    EXPECT_EQ(Text("Zephrane4.ini"), "01\r\n");
}

TEST_F(SettingsTest, TextFilesAreWrittenInLatin1WithCrLfAndReadWhole) {
    const std::string path = (dir.Path() / "Zephrane.ini").string();
    EXPECT_TRUE(WriteTextFileContents(s, "Caf\xC3\xA9 seq", path));
    EXPECT_EQ(test::ReadFile(path), (Bytes{'C', 'a', 'f', 0xE9, ' ', 's', 'e', 'q', '\r', '\n'}));
    EXPECT_EQ(ReadTextFileContents(s, path), "Caf\xC3\xA9 seq\r\n");
    EXPECT_EQ(ReadTextFileContents(s, (dir.Path() / "none.ini").string()), "");
    EXPECT_EQ(messages, Texts{});
    EXPECT_EQ(ReadTextFileContents(s, dir.Path().string()), "");  // a folder
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(SettingsTest, RecentFilesKeepTheFourNewestAndComeBackInTheirOrder) {
    for (const char* path : {"/a.mid", "/b.mid", "/c.mid", "/d.mid", "/e.mid"})
        AddRecentFile(s, path);
    AddRecentFile(s, "/C.MID");  // listed already, in another case: moved, not added
    SaveRecentFiles(s);
    EXPECT_EQ(test.platform.store.at("Zephrane/MRUFiles/3"), "/b.mid");
    s.recentFiles.entries.clear();
    LoadRecentFiles(s);
    EXPECT_EQ(s.recentFiles.entries, (Texts{"/C.MID", "/e.mid", "/d.mid", "/b.mid"}));
    test.platform.store = {{"Zephrane/MRUFiles/0", "/x.mid"},
                           {"Zephrane/MRUFiles/1", "/X.mid"},
                           {"Zephrane/MRUFiles/2", "/y.mid"},
                           {"Zephrane/MRUFiles/4", "/z.mid"}};
    LoadRecentFiles(s);  // stops at the first gap and skips repeats
    EXPECT_EQ(s.recentFiles.entries, (Texts{"/x.mid", "/y.mid"}));
}

TEST_F(SettingsTest, SetupReadsTheFilesAgainAndStoresTheTextsOnClose) {
    Write("Zephrane.ini", "/usr/bin/seq\r\n");
    Write("Zephrane2.ini", "/usr/bin/player\r\n");
    Write("Zephrane3.ini", "/home/ann/styles/new\r\n");
    const SetupTexts opened = OpenSetup(s);  // the folder cut at its last separator
    EXPECT_EQ((Texts{opened.sequencer, opened.stylePlayer, opened.defaultDirectory}),
              (Texts{"/usr/bin/seq", "/usr/bin/player", "/home/ann/styles/"}));
    CloseSetup(s, {"rosegarden --nosplash", "/opt/player", "/home/ann/songs/"});
    EXPECT_EQ((Texts{Text("Zephrane.ini"), Text("Zephrane2.ini"), Text("Zephrane3.ini")}),
              (Texts{"rosegarden --nosplash\r\n", "/opt/player\r\n", "/home/ann/songs/\r\n"}));
    EXPECT_EQ((Texts{s.settings.sequencerPath, s.settings.defaultDirectory}),
              (Texts{"rosegarden --nosplash", "/home/ann/songs/"}));
    test.platform.settingsDirectory = (dir.Path() / "missing").string();
    CloseSetup(s, {"seq", "player", "/songs/"});  // each write is tried and reported
    EXPECT_EQ(messages, Texts(3, "That path doesn't exist."));
    EXPECT_EQ(s.settings.sequencerPath, "seq");
}

TEST_F(SettingsTest, BrowsingStoresTheSequencerAtOnceButThePlayerOnlyOnClose) {
    SetupTexts texts;
    test.platform.openAnswers = {"/usr/bin/muse", "/usr/bin/player"};
    BrowseSequencer(s, texts);
    BrowseStylePlayer(s, texts);
    BrowseSequencer(s, texts);  // cancelled: nothing changes
    EXPECT_EQ(
        (Texts{texts.sequencer, texts.stylePlayer, Text("Zephrane.ini"), s.settings.sequencerPath,
               s.settings.stylePlayerPath}),
        (Texts{"/usr/bin/muse", "/usr/bin/player", "/usr/bin/muse\r\n", "/usr/bin/muse", ""}));
    EXPECT_EQ((Texts{test.platform.openRequests[0].title, test.platform.openRequests[1].title}),
              (Texts{"Select Location of Sequencer Program",
                     "Select Location of the StylePlayer Program"}));
}

TEST_F(SettingsTest, SettingsStayBesideAWritableProgramElseGoToTheUsersConfiguration) {
    PathEnvironment environment = Environment();
    environment.programDirectoryWritable = true;
    EXPECT_EQ(StandardPaths("/opt/z", environment).SettingsDirectory(), "/opt/z");
    environment.programDirectoryWritable = false;
    EXPECT_EQ(StandardPaths("/usr/bin", environment).SettingsDirectory(),
              "/home/ann/.config/Zephrane");
    EXPECT_EQ(StandardPaths("/usr/bin", environment).WorkingFilePath(),
              "/home/ann/.local/share/Zephrane/Zephwork.mid");
    environment.xdgConfigHome = "/cfg";
    environment.xdgDataHome = "/data";
    EXPECT_EQ(StandardPaths("/usr/bin", environment).SettingsDirectory(), "/cfg/Zephrane");
    EXPECT_EQ(StandardPaths("/usr/bin", environment).WorkingFilePath(),
              "/data/Zephrane/Zephwork.mid");
}

// A staged (DESTDIR) or moved installation: <root>/usr/bin beside <root>/usr/share/zephrane.
TEST_F(SettingsTest, DataFilesComeFromTheProgramFolderElseItsInstallationElseThePrefix) {
    const fs::path program = dir.Path() / "usr" / "bin";
    fs::create_directories(program);
    fs::create_directories(dir.Path() / "usr" / "share" / "zephrane");
    const StandardPaths paths(program.string(), Environment());
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), "/usr/share/zephrane/cbo3.dat");
    dir.Write("usr/share/zephrane/cbo3.dat", {'x'});
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"),
              (dir.Path() / "usr/share/zephrane/cbo3.dat").string());
    dir.Write("usr/bin/cbo3.dat", {'x'});
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), (program / "cbo3.dat").string());
}

// A window holds the usual working folder; a second window, finding it held, works in a fresh
// folder of its own, removed when it closes, and says so.
TEST_F(SettingsTest, TheFirstWindowHoldsTheUsualFolderQuietlyASecondIsToldAndMovesOut) {
    PathEnvironment environment;
    environment.xdgDataHome = (dir.Path() / "data").string();
    StandardPaths firstPaths(dir.Path().string(), environment);
    StandardPaths secondPaths(dir.Path().string(), environment);
    const std::string usual = (dir.Path() / "data" / "Zephrane").string();
    std::string firstNotice, secondNotice, fresh;
    const WorkingFolder first = WindowWorkingFolder(firstPaths, firstNotice);
    EXPECT_EQ((Texts{first.Path(), firstNotice}), (Texts{usual, ""}));
    {
        const WorkingFolder second = WindowWorkingFolder(secondPaths, secondNotice);
        fresh = second.Path();
        EXPECT_NE(fresh, usual);
        EXPECT_EQ(secondPaths.WorkingFilePath(), fresh + "/Zephwork.mid");
        EXPECT_EQ(secondNotice, AnotherWindowMessage(usual, fresh));
        EXPECT_EQ(firstPaths.WorkingFilePath(), usual + "/Zephwork.mid");
    }
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(AnotherWindowMessage("/home/u/.local/share/Zephrane", "/tmp/zephrane-a1b2c3"),
              "Another Zephrane window is open on the working folder "
              "/home/u/.local/share/Zephrane. This window keeps its working file in a folder of "
              "its own, /tmp/zephrane-a1b2c3, which is removed when the window closes.");
}

}  // namespace
}  // namespace zephrane
