#include "app/main_commands.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/posix_process.h"
#include "app/recent_files.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

constexpr char kNoFile[] =
    "A file has not yet been opened. Click on Open File to identify the file to use.";

// A session over the stub platform, its programs started for real when `realProcesses` is set.
class CommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        recorder.watchedSession = &session;
    }
    std::string Song(const std::string& name, int measures) {
        return dir.Write(name, test::SongFile(test::MeasuresSong(measures)));
    }
    std::string FileText(const std::string& path) {
        const test::Bytes bytes = test::ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    test::TempDir dir;
    StubPlatform recorder;
    PosixProcessService processes;
    Platform services{recorder, recorder, recorder, processes, recorder, recorder};
    Session session{services};
    Platform recordedServices = recorder.Services();
    Session recorded{recordedServices};  // its programs only recorded
};

TEST_F(CommandsTest, ToSequencerRunsTheSequencerOnTheWorkingFileAndLoadsItsEdit) {
    recorder.openAnswers.push_back(Song("song.mid", 12));
    ASSERT_TRUE(OpenFileCommand(session));
    session.facts.keyText = "Dmajor";
    PickPart(session, 0, kBassPart);
    // The stand-in sequencer, a file named with a blank, lengthens the song to 20 measures and
    // records how it was called.
    const std::string sequencer = (dir.Path() / "my sequencer").string();
    std::ofstream(sequencer) << "#!/bin/sh\necho \"$@\" > " << dir.Path() / "calls.txt"
                             << "\ncp " << Song("longer.mid", 20) << " \"$1\"\n";
    fs::permissions(sequencer, fs::perms::owner_all);
    session.settings.sequencerPath = sequencer;
    ASSERT_TRUE(ToSequencer(session));
    EXPECT_EQ(FileText((dir.Path() / "calls.txt").string()), recorder.workingFilePath + "\n");
    EXPECT_EQ(session.facts.measureCount, 20);
    EXPECT_EQ(session.casm[0].sourceKey, 0);  // the source keys follow the reloaded song
    EXPECT_FALSE(session.view.waitingForSequencer);
    EXPECT_EQ(CommandArguments("rosegarden  --nosplash", "/w.mid"),
              (Texts{"rosegarden", "--nosplash", "/w.mid"}));
    EXPECT_EQ(CommandArguments("player", ""), (Texts{"player"}));
}

TEST_F(CommandsTest, SequencerWaitPaintsEveryPollWithTheCommandsClosed) {
    recorder.watchedSession = &recorded;
    recorder.waitsBeforeExit = 3;
    recorder.openAnswers.push_back(Song("song.mid", 3));
    ASSERT_TRUE(OpenFileCommand(recorded));
    recorded.settings.sequencerPath = "seq --new-window";
    ASSERT_TRUE(ToSequencer(recorded));
    EXPECT_EQ(recorder.startedCommands,
              (std::vector<Texts>{{"seq", "--new-window", recorder.workingFilePath}}));
    EXPECT_EQ(recorder.pendingEventPasses, 3);
    EXPECT_TRUE(recorder.viewWaitingDuringWait);
    EXPECT_FALSE(recorded.view.waitingForSequencer);
}

TEST_F(CommandsTest, ToSequencerNeedsAFileASequencerSetAndOneThatExists) {
    EXPECT_FALSE(ToSequencer(session));
    recorder.openAnswers.push_back(Song("song.mid", 3));
    ASSERT_TRUE(OpenFileCommand(session));
    EXPECT_FALSE(ToSequencer(session));
    fs::remove(recorder.workingFilePath);
    session.settings.sequencerPath = (dir.Path() / "no-such-sequencer").string();
    EXPECT_FALSE(ToSequencer(session));
    EXPECT_EQ(recorder.messages, (Texts{kNoFile,
                                        "A sequencer program has not been selected. Click on "
                                        "Setup to identify the sequencer that you wish to use",
                                        "This file is Not found."}));
    EXPECT_TRUE(fs::exists(recorder.workingFilePath));  // written before the sequencer ran
}

TEST_F(CommandsTest, PlayStylePlaysTheLastSavedElseTheOpenedStyle) {
    PlayStyle(recorded);
    recorded.settings.stylePlayerPath = "player";
    PlayStyle(recorded);  // neither saved nor a style: the player alone
    recorded.song.isStyleFile = true;
    recorded.song.fileName = "/styles/opened.sty";
    PlayStyle(recorded);
    recorded.song.lastStyleSaved = "/styles/saved.sty";
    PlayStyle(recorded);
    EXPECT_EQ(recorder.messages,
              (Texts{"The style player program has not been selected. Click on Setup to identify "
                     "the style player that you wish to use"}));
    EXPECT_EQ(recorder.startedCommands,
              (std::vector<Texts>{
                  {"player"}, {"player", "/styles/opened.sty"}, {"player", "/styles/saved.sty"}}));
}

TEST_F(CommandsTest, RecentEntryOpensWithItsFullPathAndAMissingOneChangesNothing) {
    const std::string first = Song("first.mid", 3);
    AddRecentFile(session, first);
    AddRecentFile(session, Song("second.mid", 4));
    ASSERT_TRUE(OpenRecentFile(session, 1));
    EXPECT_EQ(session.view.caption, "Zephrane   " + first);
    EXPECT_EQ(session.recentFiles.entries[0], first);
    EXPECT_TRUE(session.song.isMidiFile);
    const ByteImage before = session.song.bytes;
    AddRecentFile(session, (dir.Path() / "gone.sty").string());
    EXPECT_FALSE(OpenRecentFile(session, 0));
    EXPECT_EQ(recorder.messages, (Texts{"This file is Not found."}));
    EXPECT_EQ(session.song.fileName, first);
    EXPECT_TRUE(session.song.isMidiFile && !session.song.isStyleFile);
    EXPECT_EQ(session.view.caption, "Zephrane   " + first);
    EXPECT_EQ(session.song.bytes, before);
}

TEST_F(CommandsTest, StyleFromBbNeedsFortyFourMeasures) {
    recorder.openAnswers.push_back(Song("short.mid", 43));
    EXPECT_FALSE(StyleFromBb(session));
    EXPECT_EQ(recorder.messages,
              (Texts{"A midi must have 44 measures to make a style using this function."}));
    EXPECT_EQ(session.facts.measureCount, 43);  // the load ran, the preparation did not
    EXPECT_FALSE(fs::exists(recorder.workingFilePath));
}

TEST_F(CommandsTest, DocumentsOpenInTheInformationWindow) {
    EXPECT_TRUE(ShowQuickStart(session));
    EXPECT_TRUE(ShowHelp(session));
    ASSERT_EQ(recorder.shownDocuments.size(), 2u);
    EXPECT_EQ(recorder.shownDocuments[0].path,
              std::string(ZEPHRANE_DATA_DIR) + "/ZephraneQuickStart.rtf");
    EXPECT_EQ(recorder.shownDocuments[0].caption, "Quick Start Guide");
    EXPECT_EQ(recorder.shownDocuments[0].prompt, "Scroll screen to select function");
    EXPECT_EQ(recorder.shownDocuments[1].path, std::string(ZEPHRANE_DATA_DIR) + "/Zephrane.rtf");
    EXPECT_FALSE(recorder.shownDocuments[1].caption.has_value());
    recorder.programDirectory = dir.Path().string();
    EXPECT_FALSE(ShowQuickStart(session));
    EXPECT_FALSE(ShowHelp(session));
    EXPECT_EQ(recorder.messages,
              (Texts{"Cannot find the Quick Start File named ZephraneQuickStart.rtf",
                     "Cannot find the Information File named Zephrane.rtf"}));
}

// The checks before a style is built: the toolbar button warns about a missing Main A first, and
// the two sources spell the CASM refusal differently.
TEST_F(CommandsTest, StyleChecksStopWithEachSourcesTexts) {
    const char* noMainA =
        "WARNING- Your style does not have a Main A section. This will cause some PSR's (e.g. "
        "2000/9000) to act strangely.";
    EXPECT_FALSE(CheckStyleCommand(recorded, StyleCommandSource::ToolbarButton));
    recorder.openAnswers.push_back(Song("song.mid", 12));
    ASSERT_TRUE(OpenFileCommand(recorded));
    EXPECT_FALSE(CheckStyleCommand(recorded, StyleCommandSource::ToolbarButton));
    EXPECT_FALSE(CheckStyleCommand(recorded, StyleCommandSource::MenuItem));
    ASSERT_TRUE(PressSectionButton(recorded, "Intro A"));
    recorded.casm[9].part = 8;  // "Mute-Lock" feeds no part
    EXPECT_FALSE(CheckStyleCommand(recorded, StyleCommandSource::MenuItem));
    EXPECT_FALSE(CheckStyleCommand(recorded, StyleCommandSource::ToolbarButton));
    ASSERT_TRUE(PressSectionButton(recorded, "Main A"));
    recorded.useStyleCasm = true;
    EXPECT_TRUE(CheckStyleCommand(recorded, StyleCommandSource::MenuItem));
    const char* noSection = "At least one style section should be selected";
    EXPECT_EQ(
        recorder.messages,
        (Texts{kNoFile, noMainA, noSection, noSection, noMainA,
               "At least one Part in the CASM must be assigned for a style to be created", noMainA,
               "At least one Part In the CASM must be assigned for a style to be created"}));
}

}  // namespace
}  // namespace zephrane
