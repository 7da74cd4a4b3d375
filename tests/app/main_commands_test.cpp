#include "app/main_commands.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/error_report.h"
#include "app/posix_process.h"
#include "app/recent_files.h"
#include "app/section_commands.h"
#include "app/stub_platform.h"
#include "app/text_boxes.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TrackBuilder;
using Texts = std::vector<std::string>;

constexpr char kNoFile[] =
    "A file has not yet been opened. Click on Open File to identify the file to use.";
const Bytes kNote = {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00};

// A session over the stub platform whose programs are started for real, and `recorded`, whose
// programs are only recorded.
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
    void OpenSong(Session& s, int measures) {
        recorder.openAnswers.push_back(Song("song.mid", measures));
        ASSERT_TRUE(OpenFileCommand(s));
    }
    void SetSong(const Bytes& song) {
        recorded.song.bytes = ByteImage(song);
        recorded.song.fileName = "/songs/song.mid";
    }

    test::TempDir dir;
    StubPlatform recorder;
    PosixProcessService processes;
    Platform services{recorder, recorder, recorder, processes, recorder, recorder};
    Session session{services};
    Platform recordedServices = recorder.Services();
    Session recorded{recordedServices};
};

TEST_F(CommandsTest, ToSequencerRunsTheSequencerOnTheWorkingFileAndLoadsItsEdit) {
    OpenSong(session, 12);
    session.facts.keyText = "Dmajor";
    PickPart(session, 0, kBassPart);
    // The stand-in sequencer, a file named with a blank, lengthens the song to 20 measures and
    // records how it was called.
    const fs::path sequencer = dir.Path() / "my sequencer";
    std::ofstream(sequencer) << "#!/bin/sh\necho \"$@\" > " << dir.Path() / "calls.txt"
                             << "\ncp " << Song("longer.mid", 20) << " \"$1\"\n";
    fs::permissions(sequencer, fs::perms::owner_all);
    session.settings.sequencerPath = sequencer.string();
    ASSERT_TRUE(ToSequencer(session));
    const Bytes calls = test::ReadFile((dir.Path() / "calls.txt").string());
    EXPECT_EQ(std::string(calls.begin(), calls.end()), recorder.workingFilePath + "\n");
    EXPECT_EQ(session.facts.measureCount, 20);
    EXPECT_EQ(session.casm[0].sourceKey, 0);  // the source keys follow the reloaded song
    EXPECT_FALSE(session.view.waitingForSequencer);
}

TEST_F(CommandsTest, SequencerWaitPaintsEveryPollWithTheCommandsClosed) {
    recorder.watchedSession = &recorded;
    recorder.waitsBeforeExit = 3;
    OpenSong(recorded, 3);
    recorded.settings.sequencerPath = "seq  --new-window";  // the blanks between arguments go
    ASSERT_TRUE(ToSequencer(recorded));
    EXPECT_EQ(recorder.startedCommands,
              (std::vector<Texts>{{"seq", "--new-window", recorder.workingFilePath}}));
    EXPECT_EQ(recorder.pendingEventPasses, 3);
    EXPECT_TRUE(recorder.viewWaitingDuringWait);
    EXPECT_FALSE(recorded.view.waitingForSequencer);
}

TEST_F(CommandsTest, ToSequencerNeedsAFileASequencerSetAndOneThatExists) {
    EXPECT_FALSE(ToSequencer(session));
    OpenSong(session, 3);
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
    EXPECT_EQ(session.recentFiles.entries[0], first);
    const ByteImage before = session.song.bytes;
    AddRecentFile(session, (dir.Path() / "gone.sty").string());
    EXPECT_FALSE(OpenRecentFile(session, 0));
    EXPECT_EQ(recorder.messages, (Texts{"This file is Not found."}));
    EXPECT_EQ((Texts{session.song.fileName, session.view.caption}),
              (Texts{first, "Zephrane   " + first}));
    EXPECT_TRUE(session.song.isMidiFile && !session.song.isStyleFile);
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
    EXPECT_TRUE(ShowQuickStart(session) && ShowHelp(session));
    ASSERT_EQ(recorder.shownDocuments.size(), 2u);
    const DocumentRequest& quick = recorder.shownDocuments[0];
    const DocumentRequest& help = recorder.shownDocuments[1];
    EXPECT_EQ((Texts{quick.path, *quick.caption, *quick.prompt, help.path}),
              (Texts{ZEPHRANE_DATA_DIR "/ZephraneQuickStart.rtf", "Quick Start Guide",
                     "Scroll screen to select function", ZEPHRANE_DATA_DIR "/Zephrane.rtf"}));
    EXPECT_FALSE(help.caption.has_value());
    recorder.programDirectory = dir.Path().string();
    EXPECT_FALSE(ShowQuickStart(session) || ShowHelp(session));
    EXPECT_EQ(recorder.messages,
              (Texts{"Cannot find the Quick Start File named ZephraneQuickStart.rtf",
                     "Cannot find the Information File named Zephrane.rtf"}));
}

// The menu item warns about a missing Main A only once a section is marked (the toolbar button,
// which every CLI style run presses, warns first) and spells the CASM refusal its own way.
TEST_F(CommandsTest, StyleChecksOfTheMenuItem) {
    const auto check = [this] { return CheckStyleCommand(recorded, StyleCommandSource::MenuItem); };
    EXPECT_FALSE(check());
    OpenSong(recorded, 12);
    EXPECT_FALSE(check());
    ASSERT_TRUE(PressSectionButton(recorded, "Intro A"));
    recorded.casm[9].part = 8;  // "Mute-Lock" feeds no part
    EXPECT_FALSE(check());
    recorded.useStyleCasm = true;
    EXPECT_TRUE(check());
    const char* noMainA =
        "WARNING- Your style does not have a Main A section. This will cause some PSR's (e.g. "
        "2000/9000) to act strangely.";
    EXPECT_EQ(recorder.messages,
              (Texts{kNoFile, "At least one style section should be selected", noMainA,
                     "At least one Part in the CASM must be assigned for a style to be created",
                     noMainA}));
}

// An existing event keeps its length: a shorter text is padded with blanks, a longer one cut. A
// missing event is added first, with a variable-length length; texts are stored in Latin-1.
TEST_F(CommandsTest, LeavingATextBoxRewritesItsEventExactly) {
    struct BoxCase {
        TrackBuilder song;
        bool copyright;  // else the style name box
        std::string typed, stored, shown;
    };
    const std::string nn(200, 'n');
    const BoxCase cases[] = {
        {TrackBuilder().Text(0, 3, "Bossa Nova"), false, "Swing Ballad 2", "Swing Ball",
         "Swing Ball"},
        {TrackBuilder().Text(0, 2, "abc"), true, "", "   ", "   "},
        {TrackBuilder(), false, "", "", ""},
        {TrackBuilder(), false, "Caf\xC3\xA9", "Caf\xE9", "Caf\xC3\xA9"},
        {TrackBuilder(), false, nn, nn, nn},
    };
    for (const BoxCase& row : cases) {
        SCOPED_TRACE(row.typed);
        StubSession fresh;
        Session& s = fresh.session;
        s.song.bytes = ByteImage(test::SongFile(TrackBuilder(row.song).Raw(kNote)));
        s.song.fileName = "/songs/song.mid";
        (row.copyright ? LeaveCopyrightBox : LeaveStyleNameBox)(s, row.typed);
        const uint8_t type = row.copyright ? 2 : 3;
        EXPECT_EQ(s.song.bytes.Bytes(),
                  test::SongFile(TrackBuilder().Text(0, type, row.stored).Raw(kNote)));
        EXPECT_EQ(row.copyright ? s.view.txtCopyright : s.view.txtStyleName, row.shown);
        EXPECT_EQ(fresh.platform.messages, Texts{});
    }
}

TEST_F(CommandsTest, NewCopyrightMovesEveryLaterPositionAndReplacesTheOldText) {
    SetSong(test::SongFile(TrackBuilder().Marker(0x60, "SFF1").Raw(kNote)));
    LeaveCopyrightBox(recorded, "(c) 2026");
    EXPECT_EQ(recorded.facts.copyrightPos, 26);
    EXPECT_EQ(recorded.markers.entries[0].position, 34);  // moved by 12
    LeaveCopyrightBox(recorded, "(c) 1999");
    EXPECT_EQ(
        recorded.song.bytes.Bytes(),
        test::SongFile(TrackBuilder().Text(0, 2, "(c) 1999").Marker(0x60, "SFF1").Raw(kNote)));
    LoadText(recorded, "Jazz", 4, 26);
    EXPECT_EQ(recorded.walk.walkPos, 26 + 4);  // the cursor behind the last byte written
}

TEST_F(CommandsTest, WithoutAnOpenFileOrWithADamagedSongATextBoxIsRefused) {
    recorded.view.txtCopyright = "typed";
    LeaveCopyrightBox(recorded, "typed");
    EXPECT_EQ(recorded.view.txtCopyright, "");
    SetSong(test::Concat({test::Headers(50), {0x00, 0x90}}));
    const ByteImage before = recorded.song.bytes;
    LeaveStyleNameBox(recorded, "Name");
    EXPECT_EQ(recorded.song.bytes, before);
    ASSERT_EQ(recorder.messages.size(), 2u);
    EXPECT_EQ(recorder.messages[0], kNoFile);
    EXPECT_NE(recorder.messages[1].find("in Function GetInfo"), std::string::npos);
}

TEST_F(CommandsTest, ErrorsShowTheirFileMessageElseNumberDescriptionAndFunction) {
    const std::pair<int, const char*> fileErrors[] = {
        {54, "Can't open your file"},
        {57, "Internal disk error."},
        {62, "There was a problem With this file"},
        {68, "That device appears unavailable."},
        {70,
         "Error writing to file- make sure it is not being used by another program and that "
         "the media is available."},
        {71, "Insert a disk in the drive "}};
    for (const auto& [number, message] : fileErrors) {
        EXPECT_EQ(ErrorReportText(RuntimeError(number), "Entry"), message) << number;
    }
    const std::pair<int, int> causes[] = {{ENOENT, 53}, {ENOTDIR, 76}, {EACCES, 75}, {EROFS, 75},
                                          {ENOSPC, 61}, {EIO, 57},     {ENXIO, 68}};
    for (const auto& [cause, number] : causes) {
        EXPECT_EQ(ErrorNumberFromErrno(cause), number) << cause;
    }
    EXPECT_FALSE(Guarded(recorded, "LoadText", [] { Fail(error_number::kOverflow); }));
    EXPECT_FALSE(Guarded(recorded, "LoadText", [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(Guarded(recorded, "LoadText", [] { throw std::out_of_range("vector::at"); }));
    EXPECT_TRUE(Guarded(recorded, "LoadText", [] {}));
    ReportError(recorded, "Main", RuntimeError(384));  // silently
    const std::string end =
        ", encountered in Function LoadText. If the solution is not "
        "obvious, please report this to the author.";
    EXPECT_EQ(recorder.messages,
              (Texts{"Error #: 6, Overflow" + end, "Error #: 7, Out of memory" + end,
                     "Error #: 9, Subscript out of range" + end}));
}

}  // namespace
}  // namespace zephrane
