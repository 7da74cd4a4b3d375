#include "app/main_commands.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
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
using test::Bytes;

// A session whose programs really run, with everything else recorded.
class CommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        recorder.watchedSession = &session;
        SetUpEffectLists(session);
    }
    std::string Song(const std::string& name, int measures) {
        return dir.Write(name, test::SongFile(test::MeasuresSong(measures)));
    }
    // A stand-in program: a shell script with `body`.
    std::string Script(const std::string& name, const std::string& body) {
        const std::string path = (dir.Path() / name).string();
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    std::string FileText(const std::string& path) {
        const Bytes bytes = test::ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }

    test::TempDir dir;
    StubPlatform recorder;
    PosixProcessService processes;
    Platform services{recorder, recorder, recorder, processes, recorder, recorder};
    Session session{services};
};

constexpr char kNoFile[] =
    "A file has not yet been opened. Click on Open File to identify the file to use.";

TEST_F(CommandsTest, OpenFilePreparesTheSongIntoTheWorkingFile) {
    const std::string song = Song("song.mid", 12);
    recorder.openAnswers.push_back(song);
    session.song.bbMode = true;
    ASSERT_TRUE(OpenFileCommand(session));
    EXPECT_FALSE(session.song.bbMode);
    EXPECT_EQ(session.song.fileName, song);
    EXPECT_EQ(session.view.caption, "Zephrane   song.mid");
    EXPECT_EQ(test::ReadFile(recorder.workingFilePath), session.song.bytes.Bytes());
    EXPECT_EQ(session.facts.measureCount, 12);
    EXPECT_EQ(session.recentFiles.entries, (std::vector<std::string>{song}));
    EXPECT_TRUE(recorder.messages.empty());
}

TEST_F(CommandsTest, RefusedOpenWritesNoWorkingFile) {
    recorder.openAnswers.push_back(dir.Write("empty.mid", {}));
    EXPECT_FALSE(OpenFileCommand(session));
    EXPECT_FALSE(fs::exists(recorder.workingFilePath));
    EXPECT_EQ(session.song.fileName, "");
    EXPECT_TRUE(session.recentFiles.entries.empty());
}

TEST_F(CommandsTest, RecentEntryOpensWithItsFullPathInTheCaption) {
    const std::string first = Song("first.mid", 3);
    const std::string second = Song("second.mid", 4);
    AddRecentFile(session, first);
    AddRecentFile(session, second);
    ASSERT_TRUE(OpenRecentFile(session, 1));
    EXPECT_EQ(session.view.caption, "Zephrane   " + first);
    EXPECT_EQ(session.recentFiles.entries, (std::vector<std::string>{first, second}));
    EXPECT_TRUE(session.song.isMidiFile);
}

TEST_F(CommandsTest, MissingRecentFileIsReportedAndChangesNothing) {
    const std::string song = Song("song.mid", 3);
    AddRecentFile(session, song);
    ASSERT_TRUE(OpenRecentFile(session, 0));
    const ByteImage before = session.song.bytes;
    AddRecentFile(session, (dir.Path() / "gone.sty").string());
    EXPECT_FALSE(OpenRecentFile(session, 0));
    EXPECT_EQ(recorder.messages, (std::vector<std::string>{"This file is Not found."}));
    EXPECT_EQ(session.song.fileName, song);
    EXPECT_TRUE(session.song.isMidiFile);
    EXPECT_EQ(session.view.caption, "Zephrane   " + song);
    EXPECT_EQ(session.song.bytes, before);
    EXPECT_EQ(session.recentFiles.entries[0], (dir.Path() / "gone.sty").string());
}

TEST_F(CommandsTest, ToSequencerRunsTheSequencerOnTheWorkingFileAndLoadsItsEdit) {
    recorder.openAnswers.push_back(Song("song.mid", 12));
    ASSERT_TRUE(OpenFileCommand(session));
    session.facts.keyText = "Dmajor";
    PickPart(session, 0, kBassPart);
    // The stand-in sequencer lengthens the song to 20 measures and records how it was called.
    const std::string longer = Song("longer.mid", 20);
    const std::string calls = (dir.Path() / "calls.txt").string();
    session.settings.sequencerPath =
        Script("sequencer", "echo \"$@\" > " + calls + "\ncp " + longer + " \"$1\"");
    ASSERT_TRUE(ToSequencer(session));
    EXPECT_EQ(FileText(calls), recorder.workingFilePath + "\n");
    EXPECT_EQ(session.facts.measureCount, 20);
    EXPECT_EQ(session.casm[0].sourceKey, 0);  // the source keys follow the reloaded song
    EXPECT_FALSE(session.view.waitingForSequencer);
}

TEST_F(CommandsTest, SequencerWaitPaintsEveryPollAndClosesTheCommands) {
    StubPlatform& waits = recorder;
    Platform recorded = recorder.Services();
    Session s(recorded);
    recorder.watchedSession = &s;
    waits.waitsBeforeExit = 3;
    recorder.openAnswers.push_back(Song("song.mid", 3));
    ASSERT_TRUE(OpenFileCommand(s));
    s.settings.sequencerPath = "seq --new-window";
    ASSERT_TRUE(ToSequencer(s));
    EXPECT_EQ(
        waits.startedCommands,
        (std::vector<std::vector<std::string>>{{"seq", "--new-window", recorder.workingFilePath}}));
    EXPECT_EQ(waits.pendingEventPasses, 3);
    EXPECT_TRUE(waits.viewWaitingDuringWait);
    EXPECT_FALSE(s.view.waitingForSequencer);
}

TEST_F(CommandsTest, ToSequencerChecksFileAndSequencerFirst) {
    EXPECT_FALSE(ToSequencer(session));
    recorder.openAnswers.push_back(Song("song.mid", 3));
    ASSERT_TRUE(OpenFileCommand(session));
    EXPECT_FALSE(ToSequencer(session));
    EXPECT_EQ(recorder.messages,
              (std::vector<std::string>{kNoFile,
                                        "A sequencer program has not been selected. Click on "
                                        "Setup to identify the sequencer that you wish to use"}));
}

TEST_F(CommandsTest, MissingSequencerIsReportedAfterTheWorkingFileWasWritten) {
    recorder.openAnswers.push_back(Song("song.mid", 3));
    ASSERT_TRUE(OpenFileCommand(session));
    fs::remove(recorder.workingFilePath);
    session.settings.sequencerPath = (dir.Path() / "no-such-sequencer").string();
    EXPECT_FALSE(ToSequencer(session));
    EXPECT_EQ(recorder.messages, (std::vector<std::string>{"This file is Not found."}));
    EXPECT_TRUE(fs::exists(recorder.workingFilePath));
}

TEST_F(CommandsTest, CommandTextNamingAFileIsOneProgramBlanksAndAll) {
    const std::string spaced = Script("my sequencer", "exit 0");
    EXPECT_EQ(CommandArguments(spaced, "/w.mid"), (std::vector<std::string>{spaced, "/w.mid"}));
    EXPECT_EQ(CommandArguments("rosegarden  --nosplash", "/w.mid"),
              (std::vector<std::string>{"rosegarden", "--nosplash", "/w.mid"}));
    EXPECT_EQ(CommandArguments("player", ""), (std::vector<std::string>{"player"}));
}

TEST_F(CommandsTest, PlayStylePlaysTheLastSavedElseTheOpenedStyle) {
    const std::string calls = (dir.Path() / "played.txt").string();
    EXPECT_TRUE(PlayStyle(session));
    EXPECT_EQ(recorder.messages.back(),
              "The style player program has not been selected. Click on Setup to identify the "
              "style player that you wish to use");
    session.settings.stylePlayerPath = Script("player", "echo \"$@\" >> " + calls);
    // The player runs without being awaited: let each one finish before the next starts.
    const auto waitForLines = [&](size_t lines) {
        for (int wait = 0; wait < 500; ++wait) {
            const std::string text = FileText(calls);
            if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    PlayStyle(session);  // neither saved nor a style: the player alone
    waitForLines(1);
    session.song.isStyleFile = true;
    session.song.fileName = "/styles/opened.sty";
    PlayStyle(session);
    waitForLines(2);
    session.song.lastStyleSaved = "/styles/saved.sty";
    PlayStyle(session);
    waitForLines(3);
    EXPECT_EQ(FileText(calls), "\n/styles/opened.sty\n/styles/saved.sty\n");
}

TEST_F(CommandsTest, StyleFromBbNeedsFortyFourMeasures) {
    recorder.openAnswers.push_back(Song("short.mid", 43));
    EXPECT_FALSE(StyleFromBb(session));
    EXPECT_EQ(recorder.messages,
              (std::vector<std::string>{
                  "A midi must have 44 measures to make a style using this function."}));
    EXPECT_TRUE(session.song.bbMode);
    EXPECT_EQ(session.facts.measureCount, 43);  // the load ran, the preparation did not
    EXPECT_FALSE(fs::exists(recorder.workingFilePath));
}

TEST_F(CommandsTest, StyleFromBbMarksPreparesAndReloads) {
    recorder.openAnswers.push_back(Song("bb.mid", 45));
    ASSERT_TRUE(StyleFromBb(session));
    EXPECT_EQ(recorder.openRequests[0].filter, "Style Files(*.mid)|*.mid|");
    for (const SectionRow& row : kSectionTable) {
        EXPECT_TRUE(session.sectionFlags[row.slot]) << row.key;
    }
    EXPECT_EQ(session.casm[9].part, kRhythmPart);
    EXPECT_EQ(test::ReadFile(recorder.workingFilePath), session.song.bytes.Bytes());
}

TEST_F(CommandsTest, DocumentsOpenInTheInformationWindow) {
    EXPECT_TRUE(ShowQuickStart(session));
    EXPECT_TRUE(ShowHelp(session));
    ASSERT_EQ(recorder.shownDocuments.size(), 2u);
    EXPECT_EQ(recorder.shownDocuments[0].path,
              std::string(ZEPHRANE_DATA_DIR) + "/ZephraneQuickStart.rtf");
    EXPECT_EQ(recorder.shownDocuments[0].caption, "Quick Start Guide");
    EXPECT_EQ(recorder.shownDocuments[0].prompt, "Scroll screen to select function");
    EXPECT_FALSE(recorder.shownDocuments[1].caption.has_value());

    recorder.programDirectory = dir.Path().string();
    EXPECT_FALSE(ShowQuickStart(session));
    EXPECT_FALSE(ShowHelp(session));
    EXPECT_EQ(
        recorder.messages,
        (std::vector<std::string>{"Cannot find the Quick Start File named ZephraneQuickStart.rtf",
                                  "Cannot find the Information File named Zephrane.rtf"}));
}

TEST_F(CommandsTest, SaveStyleBuildsAndSavesWhereTheUserSays) {
    recorder.openAnswers.push_back(Song("song.mid", 12));
    ASSERT_TRUE(OpenFileCommand(session));
    ASSERT_TRUE(PressSectionButton(session, "Main A"));
    AutoSetCasm(session);
    const std::string style = (dir.Path() / "made.sty").string();
    recorder.saveAnswers.push_back(style);
    ASSERT_TRUE(SaveStyle(session, StyleCommandSource::MenuItem));
    EXPECT_EQ(session.song.lastStyleSaved, style);
    EXPECT_EQ(test::ReadFile(style), session.output.Bytes());
    EXPECT_EQ(recorder.saveRequests[0].proposedName, (dir.Path() / "song.sty").string());
    // The working file is loaded again: the marked section is still shown.
    EXPECT_TRUE(session.sectionFlags[2]);
    EXPECT_EQ(session.facts.measureCount, 12);
}

}  // namespace
}  // namespace zephrane
