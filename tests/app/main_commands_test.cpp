// The window's commands over a session on the stub platform, every file it writes also where it
// cannot be: on a full disk, into a missing folder, over a read-only file, where a folder stands;
// what each command comes to, the edit history over them, and sections marked on any measures.
// Programs that play beside the window: the preview bar's zephrane-play and Setup's style player,
// and the process service they run on, with real programs.

#include "app/main_commands.h"
#include "app/play_commands.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/command_result.h"
#include "app/convert_commands.h"
#include "app/edit_history.h"
#include "app/effect_commands.h"
#include "app/error_report.h"
#include "app/messages.h"
#include "app/posix_process.h"
#include "app/recent_files.h"
#include "app/save_files.h"
#include "app/section_chord_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/settings_files.h"
#include "app/setup_dialog.h"
#include "app/song_commands.h"
#include "app/standard_paths.h"
#include "app/status_line.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "app/text_boxes.h"
#include "app/working_folder.h"
#include "casm/casm_reader.h"
#include "sections/section_marks.h"
#include "sections/suggest_sections.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TrackBuilder;
using Texts = std::vector<std::string>;

constexpr char kNoFile[] =
    "A file has not yet been opened. Click on Open File to identify the file to use.";
constexpr char kWarningNoMainA[] =
    "WARNING- Your style does not have a Main A section. This will cause some PSR's (e.g. "
    "2000/9000) to act strangely.";
const Bytes kNote = {0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00};
constexpr fs::perms kReadOnly =
    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
const Bytes kUsersBytes = {'u', 's', 'e', 'r', '\'', 's', ' ', 'f', 'i', 'l', 'e'};
constexpr char kReadOnlyMessage[] =
    "File may have read-only attribute. Change attribute or choose another name.";

enum class Fault { FullDisk, MissingFolder, ReadOnlyFile, FolderInPlace };
struct FaultRow {
    Fault fault;
    const char* name;
    const char* target;  // under the test's folder unless absolute
    const char* message;
};
constexpr FaultRow kFaults[] = {
    {Fault::FullDisk, "OnAFullDisk", "/dev/full", "Disk is full."},
    {Fault::MissingFolder, "IntoAMissingFolder", "missing/target.mid", "That path doesn't exist."},
    {Fault::ReadOnlyFile, "OverAReadOnlyFile", "target.mid", kReadOnlyMessage},
    {Fault::FolderInPlace, "WhereAFolderStands", "target.mid", kReadOnlyMessage}};

// `s` records the programs it starts; `real` starts them.
struct AppTest : ::testing::Test {
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.settingsDirectory = dir.Path().string();
        recorder.workingFilePath = PathOf("Zephwork.mid");
        recorder.watchedSession = &s;
        SetUpEffectLists(s);
        songPath = dir.Write("song.mid", song);
    }
    std::string PathOf(const std::string& name) const { return (dir.Path() / name).string(); }
    std::string Song(const std::string& name, int measures) {
        return dir.Write(name, test::SongFile(test::MeasuresSong(measures)));
    }
    void OpenSong(Session& session, int measures) {
        recorder.openAnswers.push_back(Song("opened.mid", measures));
        ASSERT_TRUE(OpenFileCommand(session));
    }
    static void SetSong(Session& session, const Bytes& bytes, const std::string& path = "/s.mid") {
        session.song.bytes = ByteImage(bytes);
        session.song.fileName = path;
    }
    void HoldSongAndStyle() {
        SetSong(s, song, songPath);
        s.output = ByteImage(Bytes{'s', 't', 'y'});
    }
    void Write(const std::string& name, const std::string& text) {
        dir.Write(name, Bytes(text.begin(), text.end()));
    }
    std::string Text(const std::string& name) {
        const Bytes bytes = test::ReadFile(PathOf(name));
        return std::string(bytes.begin(), bytes.end());
    }
    bool BuildStyle() {
        const bool built = MakeStyleFromMidi(s);
        recorder.messages.clear();
        return built;
    }
    // One edit of the reverb return box, as the window records it.
    void EditReturn(const std::string& text) {
        RecordEdit(s, "Reverb Return",
                   [&] { return SetEffectValue(s, &EffectSettings::reverbReturn, text); });
    }
    void AnswerSave(const std::string& path) {
        recorder.saveAnswers.push_back(path);
        recorder.okAnswers.push_back(true);
    }

    test::TempDir dir;
    StubPlatform recorder;
    Platform services = recorder.Services();
    Session s{services};
    PosixProcessService processes;
    Platform realServices{recorder, recorder, recorder, processes, recorder, recorder};
    Session real{realServices};
    const Bytes song = test::SongFile(test::MeasuresSong(12));
    std::string songPath;
};

TEST_F(AppTest, StartUpTakesPathsWithoutTheirLineEndAndMarksAsTwoDigitsTogglingWritesBoth) {
    StartUp(s);  // no files: the initial marks, silently
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
    EXPECT_TRUE(!s.settings.panelVoices && s.settings.eightMeasureBbMains);
    Write("Zephrane4.ini", "1");  // a missing second digit counts as unchecked
    StartUp(s);
    EXPECT_TRUE(s.settings.panelVoices && !s.settings.eightMeasureBbMains);
    EXPECT_EQ(recorder.messages, Texts{});
    ToggleOptionMark(s, OptionMark::EightMeasureBbMains);  // both digits written
    EXPECT_EQ(Text("Zephrane4.ini"), "11\r\n");
    ToggleOptionMark(s, OptionMark::PanelVoices);
    ToggleOptionMark(s, OptionMark::MultipleTempos);  // not stored
    EXPECT_TRUE(s.settings.multipleTempos);
    EXPECT_EQ(Text("Zephrane4.ini"), "01\r\n");
}

TEST_F(AppTest, RecentFilesKeepTheFourNewestComeBackInTheirOrderAndOpen) {
    for (const char* path : {"/a.mid", "/b.mid", "/c.mid", "/d.mid", "/e.mid"})
        AddRecentFile(s, path);
    AddRecentFile(s, "/C.MID");  // listed already, in another case: moved, not added
    SaveRecentFiles(s);
    EXPECT_EQ(recorder.store.at("Zephrane/MRUFiles/3"), "/b.mid");
    s.recentFiles.entries.clear();
    LoadRecentFiles(s);
    EXPECT_EQ(s.recentFiles.entries, (Texts{"/C.MID", "/e.mid", "/d.mid", "/b.mid"}));
    recorder.store = {{"Zephrane/MRUFiles/0", "/x.mid"},
                      {"Zephrane/MRUFiles/1", "/X.mid"},
                      {"Zephrane/MRUFiles/2", "/y.mid"},
                      {"Zephrane/MRUFiles/4", "/z.mid"}};
    LoadRecentFiles(s);  // stops at the first gap and skips repeats
    EXPECT_EQ(s.recentFiles.entries, (Texts{"/x.mid", "/y.mid"}));
    // An entry opens with its full path; a missing one changes nothing.
    const std::string first = Song("first.mid", 3);
    AddRecentFile(s, first);
    AddRecentFile(s, Song("second.mid", 4));
    ASSERT_TRUE(OpenRecentFile(s, 1));
    EXPECT_EQ(s.recentFiles.entries[0], first);
    const ByteImage before = s.song.bytes;
    AddRecentFile(s, (dir.Path() / "gone.sty").string());
    EXPECT_FALSE(OpenRecentFile(s, 0));
    EXPECT_EQ(recorder.messages, (Texts{"This file is Not found."}));
    EXPECT_EQ((Texts{s.song.fileName, s.view.caption}), (Texts{first, "Zephrane   " + first}));
    EXPECT_TRUE(s.song.isMidiFile && !s.song.isStyleFile);
    EXPECT_EQ(s.song.bytes, before);
}

// The files are Latin-1 with CR LF line ends.
TEST_F(AppTest, SetupReadsTheFilesAgainAndStoresTheTextsOnClose) {
    Write("Zephrane.ini", "/usr/bin/s\xE9q\r\n");
    Write("Zephrane2.ini", "/usr/bin/player\r\n");
    Write("Zephrane3.ini", "/home/ann/styles/new\r\n");
    const SetupTexts opened = OpenSetup(s);  // the folder cut at its last separator
    EXPECT_EQ((Texts{opened.sequencer, opened.stylePlayer, opened.defaultDirectory}),
              (Texts{"/usr/bin/s\xC3\xA9q", "/usr/bin/player", "/home/ann/styles/"}));
    CloseSetup(s, {"ros\xC3\xA9garden --nosplash", "/opt/player", "/home/ann/songs/"});
    EXPECT_EQ((Texts{Text("Zephrane.ini"), Text("Zephrane2.ini"), Text("Zephrane3.ini")}),
              (Texts{"ros\xE9garden --nosplash\r\n", "/opt/player\r\n", "/home/ann/songs/\r\n"}));
    EXPECT_EQ((Texts{s.settings.sequencerPath, s.settings.defaultDirectory}),
              (Texts{"ros\xC3\xA9garden --nosplash", "/home/ann/songs/"}));
    recorder.settingsDirectory = (dir.Path() / "missing").string();
    CloseSetup(s, {"seq", "player", "/songs/"});  // each write is tried and reported
    EXPECT_EQ(recorder.messages, Texts(3, "That path doesn't exist."));
    EXPECT_EQ(s.settings.sequencerPath, "seq");
}

TEST_F(AppTest, BrowsingStoresTheSequencerAtOnceButThePlayerOnlyOnClose) {
    SetupTexts texts;
    recorder.openAnswers = {"/usr/bin/muse", "/usr/bin/player"};
    BrowseSequencer(s, texts);
    BrowseStylePlayer(s, texts);
    BrowseSequencer(s, texts);  // cancelled: nothing changes
    EXPECT_EQ(
        (Texts{texts.sequencer, texts.stylePlayer, Text("Zephrane.ini"), s.settings.sequencerPath,
               s.settings.stylePlayerPath}),
        (Texts{"/usr/bin/muse", "/usr/bin/player", "/usr/bin/muse\r\n", "/usr/bin/muse", ""}));
    EXPECT_EQ((Texts{recorder.openRequests[0].title, recorder.openRequests[1].title}),
              (Texts{"Select Location of Sequencer Program",
                     "Select Location of the StylePlayer Program"}));
}

TEST_F(AppTest, SettingsStayBesideAWritableProgramElseGoToTheUsersOwnAsDataFilesDo) {
    PathEnvironment environment;
    environment.home = "/home/ann";
    environment.installedDataDirectory = "/usr/share/zephrane";
    environment.dataDirectoryFromProgram = "../share/zephrane";
    // A staged (DESTDIR) or moved installation: <root>/usr/bin beside <root>/usr/share/zephrane.
    const fs::path program = dir.Path() / "usr" / "bin";
    fs::create_directories(program);
    fs::create_directories(dir.Path() / "usr" / "share" / "zephrane");
    const StandardPaths paths(program.string(), environment);
    const auto usrBin = [&] {
        const StandardPaths at("/usr/bin", environment);
        return Texts{at.SettingsDirectory(), at.WorkingFilePath()};
    };
    environment.programDirectoryWritable = true;
    EXPECT_EQ(StandardPaths("/opt/z", environment).SettingsDirectory(), "/opt/z");
    environment.programDirectoryWritable = false;
    EXPECT_EQ(usrBin(), (Texts{"/home/ann/.config/Zephrane",
                               "/home/ann/.local/share/Zephrane/Zephwork.mid"}));
    environment.xdgConfigHome = "/cfg";
    environment.xdgDataHome = "/data";
    EXPECT_EQ(usrBin(), (Texts{"/cfg/Zephrane", "/data/Zephrane/Zephwork.mid"}));
    // Data files: beside the program, else in its installation, else under the prefix.
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), "/usr/share/zephrane/cbo3.dat");
    dir.Write("usr/share/zephrane/cbo3.dat", {'x'});
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"),
              (dir.Path() / "usr/share/zephrane/cbo3.dat").string());
    dir.Write("usr/bin/cbo3.dat", {'x'});
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), (program / "cbo3.dat").string());
}

// A window holds the usual working folder; a second window, finding it held, works in a fresh
// folder of its own, removed when it closes, and says so.
TEST_F(AppTest, TheFirstWindowHoldsTheUsualFolderQuietlyASecondIsToldAndMovesOut) {
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

TEST_F(AppTest, ToSequencerRunsTheSequencerOnTheWorkingFileAndLoadsItsEdit) {
    OpenSong(real, 12);
    real.facts.keyText = "Dmajor";
    PickPart(real, 0, kBassPart);
    real.settings.sequencerPath = PathOf("no-such-sequencer");
    EXPECT_FALSE(ToSequencer(real));
    EXPECT_EQ(recorder.messages, Texts{"This file is Not found."});
    // A stand-in named with a blank: it records its call and lengthens the song to 20 measures.
    const fs::path sequencer = dir.Path() / "my sequencer";
    std::ofstream(sequencer) << "#!/bin/sh\necho \"$@\" > " << dir.Path() / "calls.txt"
                             << "\ncp " << Song("longer.mid", 20) << " \"$1\"\n";
    fs::permissions(sequencer, fs::perms::owner_all);
    real.settings.sequencerPath = sequencer.string();
    ASSERT_TRUE(ToSequencer(real));
    EXPECT_EQ(Text("calls.txt"), recorder.workingFilePath + "\n");
    EXPECT_EQ(real.facts.measureCount, 20);
    EXPECT_EQ(real.casm[0].sourceKey, 0);  // the source keys follow the reloaded song
}

TEST_F(AppTest, ToSequencerNeedsAFileAndASequencerAndPaintsEveryPollWhileItRuns) {
    recorder.waitsBeforeExit = 3;
    EXPECT_FALSE(ToSequencer(s));
    OpenSong(s, 3);
    EXPECT_FALSE(ToSequencer(s));
    s.settings.sequencerPath = "seq  --new-window";  // the blanks between arguments go
    fs::remove(recorder.workingFilePath);            // written again before the run
    ASSERT_TRUE(ToSequencer(s));
    EXPECT_EQ(recorder.messages, (Texts{kNoFile,
                                        "A sequencer program has not been selected. Click on "
                                        "Setup to identify the sequencer that you wish to use"}));
    EXPECT_EQ(recorder.startedCommands,
              (std::vector<Texts>{{"seq", "--new-window", recorder.workingFilePath}}));
    EXPECT_EQ(recorder.pendingEventPasses, 3);
    EXPECT_TRUE(recorder.viewWaitingDuringWait && !s.view.waitingForSequencer);
}

// Guards against a player started with an empty file argument when there is no style yet.
TEST_F(AppTest, PlayStylePlaysTheLastSavedElseTheOpenedStyleAndNeverNoStyle) {
    PlayStyle(s);
    s.settings.stylePlayerPath = "player";
    EXPECT_EQ(PlayStyle(s).outcome, Outcome::Refused);  // neither saved nor a style
    s.song.isStyleFile = true;
    s.song.fileName = "/styles/opened.sty";
    PlayStyle(s);
    s.song.lastStyleSaved = "/styles/saved.sty";
    PlayStyle(s);
    EXPECT_EQ(recorder.messages,
              (Texts{"The style player program has not been selected. Click on Setup to identify "
                     "the style player that you wish to use",
                     "No style has been saved or opened yet. Save a style with Save Style, or open "
                     "a style file, to play it."}));
    EXPECT_EQ(recorder.startedCommands, (std::vector<Texts>{{"player", "/styles/opened.sty"},
                                                            {"player", "/styles/saved.sty"}}));
}

TEST_F(AppTest, StyleFromBbNeedsFortyFourMeasures) {
    recorder.openAnswers.push_back(Song("short.mid", 43));
    EXPECT_FALSE(StyleFromBb(s));
    EXPECT_EQ(recorder.messages,
              (Texts{"A midi must have 44 measures to make a style using this function."}));
    EXPECT_EQ(s.facts.measureCount, 43);  // the load ran, the preparation did not
    EXPECT_FALSE(fs::exists(recorder.workingFilePath));
}

TEST_F(AppTest, DocumentsOpenInTheInformationWindow) {
    EXPECT_TRUE(ShowQuickStart(s) && ShowHelp(s));
    ASSERT_EQ(recorder.shownDocuments.size(), 2u);
    const DocumentRequest& quick = recorder.shownDocuments[0];
    const DocumentRequest& help = recorder.shownDocuments[1];
    EXPECT_EQ((Texts{quick.path, *quick.caption, *quick.prompt, help.path}),
              (Texts{ZEPHRANE_DATA_DIR "/ZephraneQuickStart.rtf", "Quick Start Guide",
                     "Scroll screen to select function", ZEPHRANE_DATA_DIR "/Zephrane.rtf"}));
    EXPECT_FALSE(help.caption.has_value());
    recorder.programDirectory = dir.Path().string();
    EXPECT_FALSE(ShowQuickStart(s) || ShowHelp(s));
    EXPECT_EQ(recorder.messages,
              (Texts{"Cannot find the Quick Start File named ZephraneQuickStart.rtf",
                     "Cannot find the Information File named Zephrane.rtf"}));
}

// The menu item warns about a missing Main A only once a section is marked (the toolbar button,
// which every CLI style run presses, warns first) and spells the CASM refusal its own way.
TEST_F(AppTest, StyleChecksOfTheMenuItem) {
    const auto check = [this] { return CheckStyleCommand(s, StyleCommandSource::MenuItem); };
    EXPECT_FALSE(check());
    OpenSong(s, 12);
    EXPECT_FALSE(check());
    ASSERT_TRUE(PressSectionButton(s, "Intro A"));
    s.casm[9].part = 8;  // "Mute-Lock" feeds no part
    EXPECT_FALSE(check());
    s.useStyleCasm = true;
    EXPECT_TRUE(check());
    EXPECT_EQ(recorder.messages,
              (Texts{kNoFile, "At least one style section should be selected", kWarningNoMainA,
                     "At least one Part in the CASM must be assigned for a style to be created",
                     kWarningNoMainA}));
}

// An existing event keeps its length: a shorter text is padded with blanks, a longer one cut. A
// missing event is added first, with a variable-length length; texts are stored in Latin-1.
TEST_F(AppTest, LeavingATextBoxRewritesItsEventExactly) {
    struct BoxCase {
        TrackBuilder song;
        bool copyright;  // else the style name box
        std::string typed, stored, shown;
    };
    const std::string nn(200, 'n');
    // clang-format off
    const BoxCase cases[] = {
        {TrackBuilder().Text(0, 3, "Bossa Nova"), false, "Swing Ballad 2", "Swing Ball", "Swing Ball"},
        {TrackBuilder().Text(0, 2, "abc"), true, "", "   ", "   "},
        {TrackBuilder(), false, "", "", ""},
        {TrackBuilder(), false, nn, nn, nn}};
    // clang-format on
    for (const BoxCase& row : cases) {
        SCOPED_TRACE(row.typed);
        StubSession fresh;
        SetSong(fresh.session, test::SongFile(TrackBuilder(row.song).Raw(kNote)));
        (row.copyright ? LeaveCopyrightBox : LeaveStyleNameBox)(fresh.session, row.typed);
        const uint8_t type = row.copyright ? 2 : 3;
        EXPECT_EQ(fresh.session.song.bytes.Bytes(),
                  test::SongFile(TrackBuilder().Text(0, type, row.stored).Raw(kNote)));
        const MainWindowView& view = fresh.session.view;
        EXPECT_EQ(row.copyright ? view.txtCopyright : view.txtStyleName, row.shown);
        EXPECT_EQ(fresh.platform.messages, Texts{});
    }
}

// Guards against a text box or a plan taken for no song, and a damaged song escaping the
// command's report.
TEST_F(AppTest, WithoutAnOpenFileOrOnADamagedSongTextBoxesAndSuggestionsAreRefused) {
    s.view.txtCopyright = "typed";
    LeaveCopyrightBox(s, "typed");
    EXPECT_EQ(s.view.txtCopyright, "");
    EXPECT_EQ(SuggestSections(s), std::nullopt);
    SetSong(s, test::Concat({test::Headers(50), {0x00, 0x90}}));
    s.facts.ticksPerMeasure = 1920;  // as the scan of the song before left it
    const ByteImage before = s.song.bytes;
    LeaveStyleNameBox(s, "Name");
    EXPECT_EQ(s.song.bytes, before);
    EXPECT_EQ(SuggestSections(s), std::nullopt);
    ASSERT_EQ(recorder.messages.size(), 4u);
    EXPECT_EQ(Texts(recorder.messages.begin(), recorder.messages.begin() + 2),
              (Texts{kNoFile, kNoFile}));
    EXPECT_NE(recorder.messages[2].find("in Function GetInfo"), std::string::npos);
    EXPECT_NE(recorder.messages[3].find("in Function SuggestSections"), std::string::npos);
    SetSong(s, song);
    ASSERT_TRUE(ScanSong(s));
    EXPECT_EQ(SuggestSections(s)->measures, 12);
    // Its drums alone repeat no groove: the window's command says so, and keeps what it showed.
    s.view.proposedSections = {{"Main A", 1, 2, "", 1.0, ""}};
    EXPECT_EQ(ProposeSections(s).outcome, Outcome::Refused);
    EXPECT_EQ(recorder.messages.back(),
              "No groove repeats in this song, so there are no sections to suggest.");
    EXPECT_EQ(s.view.proposedSections.size(), 1U);
}

TEST_F(AppTest, ErrorsShowTheirFileMessageElseNumberDescriptionAndFunction) {
    // clang-format off
    const std::pair<int, const char*> fileErrors[] = {
        {54, "Can't open your file"}, {57, "Internal disk error."},
        {62, "There was a problem With this file"}, {68, "That device appears unavailable."},
        {70, "Error writing to file- make sure it is not being used by another program and that "
             "the media is available."},
        {71, "Insert a disk in the drive "}};
    // clang-format on
    for (const auto& [number, message] : fileErrors)
        EXPECT_EQ(ErrorReportText(RuntimeError(number), "Entry"), message) << number;
    const std::pair<int, int> causes[] = {{ENOENT, 53}, {ENOTDIR, 76}, {EACCES, 75}, {EROFS, 75},
                                          {ENOSPC, 61}, {EIO, 57},     {ENXIO, 68}};
    for (const auto& [cause, number] : causes)
        EXPECT_EQ(ErrorNumberFromErrno(cause), number) << cause;
    EXPECT_FALSE(Guarded(s, "LoadText", [] { Fail(error_number::kOverflow); }));
    EXPECT_FALSE(Guarded(s, "LoadText", [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(Guarded(s, "LoadText", [] { throw std::out_of_range("vector::at"); }));
    EXPECT_TRUE(Guarded(s, "LoadText", [] {}));
    ReportError(s, "Main", RuntimeError(384));  // silently
    const std::string end =
        ", encountered in Function LoadText. If the solution is not obvious, "
        "please report this to the author.";
    EXPECT_EQ(recorder.messages,
              (Texts{"Error #: 6, Overflow" + end, "Error #: 7, Out of memory" + end,
                     "Error #: 9, Subscript out of range" + end}));
}

using Path = const std::string&;
struct WriteRow {
    const char* name;
    bool opensSong;      // first Open File, "Main A" marked and the CASM set, as a user would
    bool toWorkingFile;  // the target is the working file
    bool (*run)(AppTest&, Path target);
};
// clang-format off
const WriteRow kWrites[] = {
    {"SettingsFile", false, false, [](AppTest& t, Path to) {
        return WriteTextFileContents(t.s, "/usr/bin/sequencer", to); }},
    {"WorkingFileByOpen", false, true, [](AppTest& t, Path) {
        return static_cast<bool>(OpenFileByPath(t.s, t.songPath)); }},
    {"WorkingFileBySequencer", true, true, [](AppTest& t, Path) {
        t.s.settings.sequencerPath = "/usr/bin/true";
        return static_cast<bool>(ToSequencer(t.s)); }},
    {"WorkingFileByStyle", true, true, [](AppTest& t, Path) { return MakeStyleFromMidi(t.s); }},
    {"WorkingFileByConvert", true, true, [](AppTest& t, Path) {
        const ConvertItem plain = ConvertItem::Plain;
        return static_cast<bool>(ConvertNotes(t.s, plain, SequencerCheck::Skipped)); }},
    {"WorkingFileByBb", false, true, [](AppTest& t, Path) {
        t.recorder.openAnswers.push_back(t.Song("bb.mid", 44));
        return static_cast<bool>(StyleFromBb(t.s)); }},
    {"MidiFile", true, false, [](AppTest& t, Path to) { return SaveMidiFile(t.s, to); }},
    {"MidiFileBySaveAs", true, false, [](AppTest& t, Path to) {
        t.AnswerSave(to);
        return static_cast<bool>(SaveWorkingMidiFile(t.s)); }},
    {"StyleFile", true, false, [](AppTest& t, Path to) {
        return t.BuildStyle() && SaveStyleFile(t.s, to); }},
    {"StyleFileBySaveAs", true, false, [](AppTest& t, Path to) {
        if (!t.BuildStyle()) return false;
        t.AnswerSave(to);
        return SaveAs(t.s, SaveKind::Style).has_value(); }},
    {"MergedMidiFile", false, false, [](AppTest& t, Path to) {
        t.recorder.okAnswers.push_back(true);
        const Bytes tempo = test::TrackBuilder().Tempo(0, 500000).EndOfTrack().Events();
        const Bytes type1 = test::MultiTrackFile({tempo, test::MeasuresSong(2).Events()});
        return static_cast<bool>(MergeMidiFile(t.s, t.dir.Write("type1.mid", type1), to)); }},
};
// clang-format on

struct WriteFaultTest : AppTest, ::testing::WithParamInterface<std::tuple<WriteRow, FaultRow>> {};

TEST_P(WriteFaultTest, ShowsTheMessageOfItsFaultDamagesNoFileAndTheSessionGoesOn) {
    const auto& [write, fault] = GetParam();
    const std::string target = PathOf(fault.target);
    if (fault.fault == Fault::ReadOnlyFile)
        fs::permissions(dir.Write("target.mid", kUsersBytes), kReadOnly);
    if (fault.fault == Fault::FolderInPlace) fs::create_directory(target);
    if (write.opensSong) {
        ASSERT_TRUE(OpenFileByPath(s, songPath));
        ASSERT_TRUE(PressSectionButton(s, "Main A"));
        AutoSetCasm(s);
        recorder.messages.clear();
    }
    if (write.toWorkingFile) recorder.workingFilePath = target;

    EXPECT_FALSE(write.run(*this, target));

    EXPECT_EQ(recorder.messages, Texts{fault.message});
    EXPECT_EQ(test::ReadFile(songPath), song);  // the song the user opened is as it was
    EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
    if (fault.fault == Fault::ReadOnlyFile) {
        EXPECT_EQ(test::ReadFile(target), kUsersBytes);
        EXPECT_EQ(fs::status(target).permissions(), kReadOnly);
    }
    EXPECT_TRUE(fault.fault != Fault::FolderInPlace ||
                (fs::is_directory(target) && fs::is_empty(target)));
    for (const auto& entry : fs::directory_iterator(dir.Path()))  // no temporary file left
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();

    recorder.messages.clear();
    recorder.workingFilePath = PathOf("Zephwork.mid");
    EXPECT_TRUE(!s.song.fileName.empty() || OpenFileByPath(s, songPath));
    EXPECT_TRUE(SaveMidiFile(s, PathOf("again.mid")));
    EXPECT_EQ(recorder.messages, Texts{});
}

INSTANTIATE_TEST_SUITE_P(EveryWrite, WriteFaultTest,
                         ::testing::Combine(::testing::ValuesIn(kWrites),
                                            ::testing::ValuesIn(kFaults)),
                         [](const auto& row) {
                             return std::string(std::get<0>(row.param).name) + "_" +
                                    std::get<1>(row.param).name;
                         });

TEST_F(AppTest, SavingOverALongerFileLeavesExactlyTheNewBytesAndItsPermissions) {
    HoldSongAndStyle();
    const std::string path = dir.Write("long.mid", Bytes(5000, 0xAA));
    const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, perms);
    ASSERT_TRUE(SaveMidiFile(s, path));
    EXPECT_EQ(test::ReadFile(path), song);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, perms);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

// Looking for a file to replace must not open the pipe (it would wait for a writer for ever).
TEST_F(AppTest, SaveIntoAPipeAsksNothingAndWritesThrough) {
    HoldSongAndStyle();
    const std::string path = PathOf("pipe.sty");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    recorder.saveAnswers.push_back(path);
    EXPECT_EQ(SaveAs(s, SaveKind::Style), path);
    EXPECT_TRUE(recorder.questions.empty());
    Bytes received(16);
    received.resize(std::max<ssize_t>(0, ::read(reader, received.data(), received.size())));
    ::close(reader);
    EXPECT_EQ(received, (Bytes{'s', 't', 'y'}));
}

TEST_F(AppTest, SaveAsAsksWithTheKindsFilterAndProposalAndTheStyleBecomesTheOneToPlay) {
    HoldSongAndStyle();
    EXPECT_EQ(ProposedSaveName("/songs/song.mi", "mid"), "/songs/son.mid");  // the last four cut
    EXPECT_EQ(ProposedSaveName("abc", "sty"), ".sty");
    s.song.lastStyleSaved = "/old.sty";
    EXPECT_FALSE(SaveAs(s, SaveKind::Midi));  // dialog cancelled
    const std::string existing = dir.Write("there.sty", Bytes{9});
    recorder.saveAnswers = {existing, existing};
    recorder.okAnswers = {false, true};
    EXPECT_FALSE(SaveAs(s, SaveKind::Style));  // not to be replaced
    EXPECT_EQ(s.song.lastStyleSaved, "/old.sty");
    EXPECT_EQ(SaveAs(s, SaveKind::Style), existing);
    EXPECT_EQ(s.song.lastStyleSaved, existing);
    ASSERT_EQ(recorder.saveRequests.size(), 3u);
    const FileDialogRequest& midi = recorder.saveRequests[0];
    EXPECT_EQ((Texts{midi.filter, midi.defaultExtension, midi.proposedName}),
              (Texts{"Style Files(*.mid)|*.mid|", "mid", PathOf("song.mid")}));
    const FileDialogRequest& style = recorder.saveRequests[1];
    EXPECT_EQ((Texts{style.filter, style.proposedName}),
              (Texts{"Style Files(*.sty)|*.sty|", PathOf("song.sty")}));
}

TEST_F(AppTest, WorkingMidiFileCommandMakesTheSavedFileTheOpenFile) {
    HoldSongAndStyle();
    s.view.caption = "Zephrane   song.mid";
    EXPECT_FALSE(SaveWorkingMidiFile(s));  // cancelled: nothing changes
    EXPECT_EQ((Texts{s.song.fileName, s.view.caption}), (Texts{songPath, "Zephrane   song.mid"}));
    recorder.saveAnswers.push_back(PathOf("edited.mid"));
    s.song.isStyleFile = true;
    EXPECT_TRUE(SaveWorkingMidiFile(s));
    EXPECT_EQ((Texts{s.song.fileName, s.view.caption, s.view.txtFileName}),
              (Texts{PathOf("edited.mid"), "Zephrane   edited.mid", "edited.mid(modified)"}));
    EXPECT_TRUE(s.song.isStyleFile);  // the kind flags stay
}

TEST_F(AppTest, CommandResultSaysWhatTheCommandCameToWithTheMessageShown) {
    const auto expect = [&](const CommandResult& result, Outcome outcome, const std::string& text) {
        EXPECT_EQ(result.outcome, outcome) << text;
        EXPECT_EQ(result.message, text);
        EXPECT_EQ(static_cast<bool>(result), outcome == Outcome::Done);
        EXPECT_EQ(recorder.messages, text.empty() ? Texts{} : Texts{text});
        recorder.messages.clear();
    };
    expect(PressSectionButton(s, "Main A"), Outcome::Refused, kNoFile);
    expect(SaveWorkingMidiFile(s), Outcome::Refused, kNoFile);
    expect(OpenFileCommand(s), Outcome::Cancelled, "");  // the Open dialog closed unanswered
    expect(OpenFileCommand(s, songPath), Outcome::Done, "");
    expect(SaveWorkingMidiFile(s, PathOf("no folder/x.mid")), Outcome::Failed,
           "That path doesn't exist.");
    // The merge inside "Convert Type 1 MIDI..." refuses a type-0 file; the command says so.
    recorder.openAnswers.push_back(songPath);
    recorder.saveAnswers.push_back(PathOf("merged.mid"));
    expect(ConvertTypeOneMidi(s), Outcome::Refused,
           "This MIDI file is already type 0 (a single track): it needs no merge and can be opened "
           "as it is.");
}

// Which commands become steps of the edit history, how far back it reaches, what counts as saved.
struct HistoryRow {
    const char* name;
    std::function<void(AppTest&)> steps;
    bool canUndo;
    bool canRedo;
    bool unsaved;
    const char* reverbReturn;  // where the steps leave the song
};

// clang-format off
const HistoryRow kHistoryRows[] = {
    {"DepthIsCappedAtOneHundred", [](AppTest& t) {
         for (int i = 1; i <= 101; ++i) t.EditReturn(std::to_string(i));
         for (int i = 0; i <= 100; ++i) Undo(t.s);  // the last one finds no step
     }, false, true, true, "1"},
    {"NewEditEndsRedo", [](AppTest& t) {
         t.EditReturn("1"); t.EditReturn("2"); Undo(t.s); t.EditReturn("3"); },
     true, false, true, "3"},
    {"UnchangedOrRefusedCommandsAreNoSteps", [](AppTest& t) {
         t.EditReturn("");
         RecordEdit(t.s, "LoLimit", [&] { return LeaveLimitCell(t.s, 9, LimitCell::Low, "H2"); });
     }, false, false, false, ""},
    {"OpeningStartsAfresh", [](AppTest& t) { t.EditReturn("1"); t.OpenSong(t.s, 4); },
     false, false, false, ""},
    {"UndoneToTheSavedSongIsSaved", [](AppTest& t) {
         t.EditReturn("1"); SaveWorkingMidiFile(t.s, t.PathOf("kept.mid"));
         t.EditReturn("2"); Undo(t.s); }, true, true, false, "1"},
    {"UndoneBeyondTheSaveIsUnsaved", [](AppTest& t) {
         t.EditReturn("1"); SaveWorkingMidiFile(t.s, t.PathOf("kept.mid")); Undo(t.s); },
     false, true, true, ""},
};
// clang-format on

struct EditHistoryTest : AppTest, ::testing::WithParamInterface<HistoryRow> {};

TEST_P(EditHistoryTest, StepsAndSavedStateFollowTheEdits) {
    OpenSong(s, 4);
    GetParam().steps(*this);
    EXPECT_EQ(CanUndo(s), GetParam().canUndo);
    EXPECT_EQ(CanRedo(s), GetParam().canRedo);
    EXPECT_EQ(HasUnsavedEdits(s), GetParam().unsaved);
    EXPECT_EQ(s.effects.reverbReturn, GetParam().reverbReturn);
}

INSTANTIATE_TEST_SUITE_P(App, EditHistoryTest, ::testing::ValuesIn(kHistoryRows),
                         [](const auto& row) { return std::string(row.param.name); });

// The window reads the names of the steps from the view.
TEST_F(AppTest, EditHistoryNamesTheStepsUndoAndRedoTake) {
    OpenSong(s, 4);
    EditReturn("1");
    RecordEdit(s, "Auto CASM Set", [&] { return AutoSetCasm(s); });
    Undo(s);
    RefreshMainWindowView(s);
    EXPECT_EQ((Texts{s.view.undoCaption, s.view.redoCaption}),
              (Texts{"Undo Reverb Return", "Redo Auto CASM Set"}));
}

// Sections marked on any measures: which plans a song takes, with the exact refusals, and the
// marker bytes put into the song. The song's own bytes go into the song image: no preparation.
struct MarkTest : AppTest {
    void Load(const Bytes& bytes) {
        ASSERT_TRUE(LoadFileAsItIs(s, dir.Write("marked.mid", bytes)));
    }
    CommandResult Mark(const std::vector<PlannedSection>& marks) {
        SectionPlan plan;
        plan.sections = marks;
        return MarkSections(s, plan);
    }
    // The start and end markers of the sections, each with the measure it stands on.
    std::vector<std::pair<std::string, int>> SectionMarkers() const {
        std::vector<std::pair<std::string, int>> markers;
        for (int i = 0; i < s.markers.count; ++i) {
            const Marker& marker = s.markers.entries[i];
            if (marker.text.find_first_of("<>") == 0)
                markers.emplace_back(marker.text, marker.tick / 1920);
        }
        return markers;
    }
};

PlannedSection Marked(const char* section, int first, int last, const char* chord = "") {
    return {section, first, last, chord, 1.0, ""};
}

struct PlanCase {
    const char* name;
    std::vector<PlannedSection> marks;
    const char* refusal;  // empty: marked
};

// A song of 131 measures, 0 to 130, and a bar line after the last.
// clang-format off
const PlanCase kPlanCases[] = {
    {"FillSharesItsMainsLastMeasure", {Marked("Main A", 9, 16), Marked("Fill AA", 16, 16)}, ""},
    {"DifferentSectionsOverlap",
     {Marked("Intro A", 8, 10), Marked("Main A", 9, 16), Marked("End A", 1, 19)}, ""},
    {"StyleNamesServeToo", {Marked("Ending A", 18, 19), Marked("Fill In BB", 1, 1)}, ""},
    {"LongestSection", {Marked("Main A", 3, 130)}, ""},
    {"UnknownSection", {Marked("Main E", 1, 2)}, "\"Main E\" is not a section name."},
    {"FirstAfterLast", {Marked("Main A", 16, 9)},
     "Main A: the first measure 16 comes after the last 9."},
    {"FirstMeasurePlaysAtOnce", {Marked("Intro A", 0, 1), Marked("Main A", 0, 7)}, ""},
    {"FillOfTwoMeasures", {Marked("Fill AA", 15, 16)},
     "Fill AA: measures 15 to 16 are 2 measures; a style's Fill AA holds at most 1."},
    {"SectionTooLong", {Marked("Main A", 2, 130)},
     "Main A: measures 2 to 130 are 129 measures; a style's Main A holds at most 128."},
    {"PastTheSongsEnd", {Marked("Main A", 125, 131)},
     "Main A: measures 125 to 131 run past the song's end; the last measure a section can take "
     "is 130."},
    {"SameSectionTwiceOverlapping",
     {Marked("Main A", 9, 12), Marked("Main B", 9, 12), Marked("Main A", 12, 16)},
     "Main A is marked twice: on measures 9 to 12 and 12 to 16."},
    {"SameSectionTwiceApart", {Marked("End B", 2, 3), Marked("Ending B", 5, 6)},
     "End B is marked twice: on measures 2 to 3 and 5 to 6."},
    {"UnreadableChord", {Marked("Main A", 9, 16, "Gm7"), Marked("End A", 17, 18, "H7")},
     "End A: The chord \"H7\" cannot be read: it does not begin with a note name A to G. Write a "
     "root (C, F#, Bb …) and a chord name such as m, 7, maj7, m7, m7b5, dim7, sus4, aug, add9, "
     "6/9, with /E for a bass note."},
};
// clang-format on

struct PlanTest : MarkTest, ::testing::WithParamInterface<PlanCase> {};

// A refused plan changes nothing and says why; a taken one shows its buttons pressed.
TEST_P(PlanTest, MarksOrRefusesWithItsMessage) {
    Load(test::SongFile(test::MeasuresSong(131)));
    const Bytes unmarked = s.song.bytes.Bytes();
    const CommandResult result = Mark(GetParam().marks);
    EXPECT_EQ(result.message, GetParam().refusal);
    EXPECT_EQ(static_cast<bool>(result), GetParam().refusal[0] == '\0');
    if (!result) {
        EXPECT_EQ(s.song.bytes.Bytes(), unmarked);
        EXPECT_TRUE(s.sectionChords.empty());
        return;
    }
    for (const PlannedSection& mark : GetParam().marks)
        EXPECT_TRUE(s.view.sectionPressed[SectionByKeyOrName(mark.section)->slot]);
}

INSTANTIATE_TEST_SUITE_P(Marks, PlanTest, ::testing::ValuesIn(kPlanCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Measure 2 is silent: no event to put a marker in front of.
TEST_F(MarkTest, RefusesABarLineWithoutAnEvent) {
    Load(test::SongFile(TrackBuilder()
                            .TimeSignature(0, 4, 2)
                            .NoteOn(0, 10, 36, 100)
                            .NoteOff(1920, 10, 36)
                            .NoteOff(3840, 10, 36)
                            .EndOfTrack(1920)));
    EXPECT_EQ(Mark({Marked("Main A", 1, 1)}).message,
              "Main A: measure 2 holds no event to put the section's marker in front of.");
}

// The song as loaded: "SFF1" and "SInt" go in front of its first event.
TrackBuilder Loaded() {
    return TrackBuilder().Marker(0, "SFF1").Marker(0, "SInt").TimeSignature(0, 4, 2);
}

// A Fill on its Main's last measure: the two end markers stand side by side on the bar line
// after it, the later put in first; every event keeps its time and its status byte.
TEST_F(MarkTest, PutsTheMarkersOnTheBarLines) {
    Load(test::SongFile(test::MeasuresSong(4)));
    ASSERT_TRUE(Mark({Marked("Main A", 1, 2), Marked("Fill AA", 2, 2)}));
    // clang-format off
    const Bytes expected = test::SongFile(Loaded().NoteOn(0, 10, 36, 100).NoteOff(960, 10, 36)
        .Marker(960, ">Main A").NoteOn(0, 10, 36, 100).NoteOff(960, 10, 36)
        .Marker(960, ">Fill In AA").NoteOn(0, 10, 36, 100).NoteOff(960, 10, 36)
        .Marker(960, "<Fill In AA").Marker(0, "<Main A").NoteOn(0, 10, 36, 100)
        .NoteOff(960, 10, 36).EndOfTrack(960));
    // clang-format on
    EXPECT_EQ(s.song.bytes.Bytes(), expected);
}

// A song that starts at once: a section on its first measure starts on the first bar line, after
// the set-up events there, so they stay the style's set-up part. The expected songs are as loaded.
struct FirstMeasureCase {
    const char* name;
    TrackBuilder song;
    TrackBuilder marked;  // empty: refused as a set-up measure
};

const FirstMeasureCase kFirstMeasureCases[] = {
    {"NoteOnTheBarLine",
     TrackBuilder()
         .TimeSignature(0, 4, 2)
         .Program(0, 1, 5)
         .NoteOn(0, 1, 60, 90)
         .NoteOff(1920, 1, 60)
         .EndOfTrack(1920),
     Loaded()
         .Program(0, 1, 5)
         .Marker(0, ">Main A")
         .NoteOn(0, 1, 60, 90)
         .Marker(1920, "<Main A")
         .NoteOff(0, 1, 60)
         .EndOfTrack(1920)},
    // An upbeat: the marker stands on the bar line, the note keeps its time and gets its status.
    {"UpbeatUnderRunningStatus",
     TrackBuilder()
         .TimeSignature(0, 4, 2)
         .Program(0, 1, 5)
         .NoteOn(0, 1, 60, 0)
         .RunningStatus(1440, {62, 90})
         .NoteOff(480, 1, 62)
         .EndOfTrack(1920),
     Loaded()
         .Program(0, 1, 5)
         .NoteOn(0, 1, 60, 0)
         .Marker(0, ">Main A")
         .NoteOn(1440, 1, 62, 90)
         .Marker(480, "<Main A")
         .NoteOff(0, 1, 62)
         .EndOfTrack(1920)},
    {"SetUpMeasure",
     TrackBuilder()
         .TimeSignature(0, 4, 2)
         .Program(0, 1, 5)
         .NoteOn(1920, 1, 60, 90)
         .NoteOff(1920, 1, 60)
         .EndOfTrack(1920),
     TrackBuilder()},
};

struct FirstMeasureTest : MarkTest, ::testing::WithParamInterface<FirstMeasureCase> {};

TEST_P(FirstMeasureTest, MarksAfterTheSetUpEventsOrRefuses) {
    Load(test::SongFile(GetParam().song));
    const Bytes unmarked = s.song.bytes.Bytes();
    const CommandResult result = Mark({Marked("Main A", 0, 0)});
    if (GetParam().marked.Events().empty()) {
        EXPECT_EQ(result.message,
                  "Main A: measure 0 is the set-up measure; a section starts at measure 1 or "
                  "later.");
        EXPECT_EQ(s.song.bytes.Bytes(), unmarked);
        return;
    }
    EXPECT_TRUE(result) << result.message;
    EXPECT_EQ(s.song.bytes.Bytes(), test::SongFile(GetParam().marked));
}

INSTANTIATE_TEST_SUITE_P(Marks, FirstMeasureTest, ::testing::ValuesIn(kFirstMeasureCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A mark moves a section from its fixed place; the other sections stay where they are.
TEST_F(MarkTest, TakesTheSectionFromItsFixedPlace) {
    Load(song);
    ASSERT_TRUE(PressSectionButtons(s, Texts{"Intro A", "Main A"}));
    ASSERT_TRUE(Mark({Marked("Main A", 3, 3)}));
    EXPECT_EQ(SectionMarkers(),
              (std::vector<std::pair<std::string, int>>{
                  {">Intro A", 1}, {"<Intro A", 2}, {">Main A", 3}, {"<Main A", 4}}));
}

// Six measures, each with a drum on its first beat and a piano chord held through it: C, Am, Am,
// F, F, C.
Bytes ChordSong() {
    const std::vector<std::vector<uint8_t>> chords = {{48, 60, 64, 67}, {45, 57, 60, 64},
                                                      {45, 57, 60, 64}, {41, 53, 57, 60},
                                                      {41, 53, 57, 60}, {48, 60, 64, 67}};
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).Program(0, 1, 0);
    for (const std::vector<uint8_t>& keys : chords) {
        track.NoteOn(0, 10, 36, 100);
        for (const uint8_t key : keys)
            track.NoteOn(0, 1, key, 90);
        track.NoteOff(1920, 10, 36);
        for (const uint8_t key : keys)
            track.NoteOff(0, 1, key);
    }
    return test::SongFile(track.EndOfTrack());
}

// Each section keeps the chord it was played over: the plan's, else the song's at its first
// measure; none over "N.C.". The style's CASM gives each chord a CSEG, whose piano record (Chord 1)
// has that chord as its source root and chord; the rest keep the table's C maj7.
TEST_F(MarkTest, EachSectionsChordBecomesItsSourceChordInTheSavedStyle) {
    Load(ChordSong());
    ASSERT_TRUE(
        Mark({Marked("Intro A", 1, 1), Marked("Main A", 1, 2), Marked("Fill AA", 2, 2, "N.C."),
              Marked("Main B", 3, 4, "Gm7"), Marked("Fill BB", 4, 4)}));
    const std::map<std::string, std::string> chords = {
        {"Intro A", "Am"}, {"Main A", "Am"}, {"Main B", "Gm7"}, {"Fill BB", "F"}};
    EXPECT_EQ(s.sectionChords, chords);
    ASSERT_TRUE(AutoSetCasm(s));
    ASSERT_TRUE(SaveStyle(s, StyleCommandSource::ToolbarButton, PathOf("own.sty")));
    EXPECT_EQ(s.sectionChords, chords);  // the working file loaded again keeps them
    const CasmListing listing = ReadCasmListing(ByteImage(test::ReadFile(PathOf("own.sty"))));
    EXPECT_EQ(listing.problems, Texts{});
    Texts csegs;
    for (const CasmSegment& cseg : listing.chunks.at(0).csegs) {
        for (const CasmRecord& record : cseg.records) {
            if (record.ctab->name != "Chord 1 ") continue;
            csegs.push_back(*cseg.sections + ": " + std::to_string(record.ctab->sourceRoot) + " " +
                            std::to_string(record.ctab->sourceChord));
        }
    }
    EXPECT_EQ(csegs,
              (Texts{"Fill In AA: 0 2", "Intro A,Main A: 9 8", "Main B: 7 10", "Fill In BB: 5 0"}));
}

// Marking is one step of the history, chords included; removing a section, pressing its button
// at its fixed place and opening another song drop the chords.
TEST_F(MarkTest, ChordsGoWithTheirMarksUndoRemovalPressAndOpening) {
    Load(ChordSong());
    RecordEdit(s, "Main A", [&] { return Mark({Marked("Main A", 1, 2), Marked("Main B", 3, 4)}); });
    using Chords = std::map<std::string, std::string>;
    const Chords marked = {{"Main A", "Am"}, {"Main B", "F"}};
    EXPECT_EQ(s.sectionChords, marked);
    ASSERT_TRUE(Undo(s));
    EXPECT_EQ(s.sectionChords, Chords{});
    ASSERT_TRUE(Redo(s));
    EXPECT_EQ(s.sectionChords, marked);
    ASSERT_TRUE(RemoveSection(s, "Main B"));
    EXPECT_EQ(s.sectionChords, (Chords{{"Main A", "Am"}}));
    s.sectionChords["Intro A"] = "C";  // a mark the sequencer has taken out
    ASSERT_TRUE(PressSectionButton(s, "Intro A"));
    EXPECT_EQ(s.sectionChords, (Chords{{"Main A", "Am"}}));
    OpenSong(s, 4);
    EXPECT_EQ(s.sectionChords, Chords{});
}

// The window's "Suggest Sections" proposes the plan on the map and leaves the song as it is;
// accepting marks it as one step of the history, on the first measure of this song that plays
// at once, and Undo brings the proposal back with the song unmarked.
TEST_F(MarkTest, SuggestedSectionsAreProposedThenMarkedWhenAccepted) {
    Load(test::SongFile(test::GrooveSong(8)));
    const Bytes unmarked = s.song.bytes.Bytes();
    ASSERT_TRUE(ProposeSections(s));
    const PlannedSection mainA{"Main A", 0, 7, "C(1+8)", 1.0, "repeats 8 times from measure 0"};
    EXPECT_EQ(s.view.proposedSections, std::vector{mainA});
    EXPECT_EQ(
        ProposalText(mainA),
        "Main A, measures 0-7, chord C(1+8), confidence 1.00: repeats 8 times from measure 0");
    EXPECT_EQ(s.song.bytes.Bytes(), unmarked);
    RefreshMainWindowView(s);
    EXPECT_EQ(MarkedAndNextStep(s),
              "1 section proposed: right-click one to accept or drop it, or Edit > Accept "
              "Suggested Sections.");
    SectionPlan marked;
    ASSERT_TRUE(RecordEdit(s, "Accept Suggested Sections",
                           [&] { return AcceptProposedSections(s, {}, marked); }));
    EXPECT_EQ(marked.sections, std::vector{mainA});
    EXPECT_EQ(SectionMarkers(),
              (std::vector<std::pair<std::string, int>>{{">Main A", 0}, {"<Main A", 8}}));
    EXPECT_EQ(s.sectionChords, (std::map<std::string, std::string>{{"Main A", "C(1+8)"}}));
    EXPECT_EQ(s.view.proposedSections, std::vector<PlannedSection>{});
    ASSERT_TRUE(Undo(s));
    EXPECT_EQ(s.song.bytes.Bytes(), unmarked);
    EXPECT_EQ(s.view.proposedSections, std::vector{mainA});
    EXPECT_EQ(recorder.messages, Texts{});
}

struct ProposalCase {
    const char* name;
    std::function<CommandResult(Session&)> action;
    std::vector<std::pair<std::string, int>> markers;  // the section markers afterwards
    Texts proposedAfter;
    const char* refusal;  // empty: done
};

// Main A, Main B and the fill between them proposed on a 40-measure song; each way of taking a
// proposal in or out touches that one only (markers listed in the song's order).
// clang-format off
const ProposalCase kProposalCases[] = {
    {"AcceptOne", [](Session& s) { SectionPlan marked;
         return AcceptProposedSections(s, Texts{"Main B"}, marked); },
     {{">Main B", 3}, {"<Main B", 5}}, {"Main A", "Fill AA"}, ""},
    {"AcceptSome", [](Session& s) { SectionPlan marked;
         return AcceptProposedSections(s, Texts{"Fill AA", "Main A"}, marked); },
     {{">Main A", 1}, {"<Main A", 3}, {">Fill In AA", 4}, {"<Fill In AA", 5}}, {"Main B"}, ""},
    {"AcceptAll", [](Session& s) { SectionPlan marked;
         return AcceptProposedSections(s, {}, marked); },
     {{">Main A", 1}, {">Main B", 3}, {"<Main A", 3}, {">Fill In AA", 4}, {"<Fill In AA", 5},
      {"<Main B", 5}}, {}, ""},
    {"AcceptWhatIsNotProposed", [](Session& s) { SectionPlan marked;
         return AcceptProposedSections(s, Texts{"Main C"}, marked); },
     {}, {"Main A", "Main B", "Fill AA"},
     "No sections are proposed. Edit > Suggest Sections proposes them."},
    {"Drop", [](Session& s) { return DropProposedSection(s, "Main B"); },
     {}, {"Main A", "Fill AA"}, ""},
    {"ButtonMarksItsFixedPlace", [](Session& s) { return PressSectionButton(s, "Main B"); },
     {{">Main B", 11}, {"<Main B", 13}}, {"Main A", "Fill AA"}, ""},
    {"MarkedOnOtherMeasures", [](Session& s) {
         SectionPlan plan; plan.sections = {Marked("Main A", 6, 7)}; return MarkSections(s, plan); },
     {{">Main A", 6}, {"<Main A", 8}}, {"Main B", "Fill AA"}, ""},
};
// clang-format on

struct ProposalTest : MarkTest, ::testing::WithParamInterface<ProposalCase> {};

TEST_P(ProposalTest, TakesInOrOutThatProposalOnly) {
    Load(test::SongFile(test::MeasuresSong(40)));
    s.view.proposedSections = {{"Main A", 1, 2, "", 0.8, "repeats"},
                               {"Main B", 3, 4, "", 0.7, "repeats"},
                               {"Fill AA", 4, 4, "", 0.5, "busier drums"}};
    const CommandResult result = GetParam().action(s);
    EXPECT_EQ(result.message, GetParam().refusal);
    EXPECT_EQ(result.outcome, *GetParam().refusal ? Outcome::Refused : Outcome::Done);
    ASSERT_TRUE(ScanSong(s));  // a button press leaves the scan before its start marker
    EXPECT_EQ(SectionMarkers(), GetParam().markers);
    Texts proposed;
    for (const PlannedSection& proposal : s.view.proposedSections)
        proposed.push_back(proposal.section);
    EXPECT_EQ(proposed, GetParam().proposedAfter);
}

INSTANTIATE_TEST_SUITE_P(Proposals, ProposalTest, ::testing::ValuesIn(kProposalCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Proposals belong to the song they were read from.
TEST_F(MarkTest, OpeningASongClearsTheProposals) {
    Load(test::SongFile(test::MeasuresSong(8)));
    s.view.proposedSections = {Marked("Main A", 1, 2)};
    OpenSong(s, 4);
    EXPECT_EQ(s.view.proposedSections, std::vector<PlannedSection>{});
}

// Main A marked on measures played over Dm7 | G7 | C | Am, a whole-note chord in each on
// channel 1, the drums on channel 10 from measure 0 to 5.
struct ChordChangeTest : MarkTest {
    void SetUp() override {
        MarkTest::SetUp();
        TrackBuilder track;
        track.TimeSignature(0, 4, 2);
        const std::vector<std::vector<uint8_t>> chords = {
            {}, {50, 53, 57, 60}, {55, 59, 62, 65}, {48, 52, 55}, {45, 48, 52}, {}};
        for (const std::vector<uint8_t>& chord : chords) {
            track.NoteOn(0, 10, 36, 100);
            for (const uint8_t note : chord)
                track.NoteOn(0, 1, note, 80);
            track.NoteOff(1920, 10, 36);
            for (const uint8_t note : chord)
                track.NoteOff(0, 1, note);
        }
        Load(test::SongFile(track.EndOfTrack()));
        s.casm[0].part = kChord1Part;
        SectionPlan plan;
        plan.sections = {Marked("Main A", 1, 4)};
        ASSERT_TRUE(MarkSections(s, plan));
        changing = SectionsChangingChord(s, plan);
    }
    // The pitches of channel 1's note-ons and of its note-offs, in file order.
    std::pair<std::vector<int>, std::vector<int>> Notes() const {
        std::pair<std::vector<int>, std::vector<int>> notes;
        WalkState walk;
        TrackWalker walker(s.song.bytes, walk);
        while (!walker.AtEnd()) {
            const TrackEvent& event = walker.Next();
            if (!event.IsChannelMessage() || event.Channel() != 1) continue;
            const bool on = event.Kind() == 0x9 && s.song.bytes.At(event.dataPos + 1) > 0;
            (on ? notes.first : notes.second).push_back(s.song.bytes.At(event.dataPos));
        }
        return notes;
    }

    static constexpr int kChord1Part = 3;
    std::vector<SectionChordChanges> changing;
};

const std::vector<int> kPlayed = {50, 53, 57, 60, 55, 59, 62, 65, 48, 52, 55, 45, 48, 52};
// Over C maj7, each chord tone on its degree's tone: Dm7 down a tone (the minor third F to E,
// the seventh C to B), G7 up a fourth (the seventh F to B), C as it was, Am up a minor third (C
// to E).
const std::vector<int> kOverCMaj7 = {48, 52, 55, 59, 60, 64, 67, 71, 48, 52, 55, 48, 52, 55};
constexpr char kMainAChanges[] = "Main A changes chord at measures 2 (G7), 3 (C), 4 (Am).";

// Yes: the section's measures are written over C maj7, note-offs with their note-ons, and the
// section's source chord is C maj7; Undo takes it all back.
TEST_F(ChordChangeTest, YesConvertsTheSectionOntoOneChord) {
    ASSERT_EQ(changing.size(), 1U);
    EXPECT_EQ(ChordChangeText(changing[0]), kMainAChanges);
    recorder.yesAnswers.push_back(true);
    const CommandResult result = RecordEdit(s, kConvertSectionChordsCaption,
                                            [&] { return OfferChordConversions(s, changing); });
    EXPECT_TRUE(result);
    EXPECT_EQ(recorder.questions,
              Texts{std::string(kMainAChanges) + "\n" + kConvertSectionQuestion});
    EXPECT_EQ(Notes(), std::pair(kOverCMaj7, kOverCMaj7));
    EXPECT_EQ(s.sectionChords, (std::map<std::string, std::string>{{"Main A", "Cmaj7"}}));
    ASSERT_TRUE(Undo(s));
    EXPECT_EQ(Notes(), std::pair(kPlayed, kPlayed));
    EXPECT_EQ(s.sectionChords, (std::map<std::string, std::string>{{"Main A", "Dm7"}}));
}

// No: the song stays as it was played, and the section keeps the chord of its first measure.
TEST_F(ChordChangeTest, NoLeavesTheSectionAsPlayed) {
    recorder.yesAnswers.push_back(false);
    EXPECT_EQ(OfferChordConversions(s, changing).outcome, Outcome::Cancelled);
    EXPECT_EQ(Notes(), std::pair(kPlayed, kPlayed));
    EXPECT_EQ(s.sectionChords, (std::map<std::string, std::string>{{"Main A", "Dm7"}}));
}

// A batch run converts without asking and says what it did; the converted section changes
// chord no more.
TEST_F(ChordChangeTest, BatchRunConvertsAndSaysSo) {
    SectionPlan plan;
    plan.sections = {Marked("Main A", 1, 4)};
    ASSERT_TRUE(ConvertChangingSections(s, plan));
    EXPECT_TRUE(recorder.questions.empty());
    EXPECT_EQ(recorder.messages, Texts{std::string(kMainAChanges) +
                                       " Its measures were converted onto one chord, Cmaj7."});
    EXPECT_EQ(Notes(), std::pair(kOverCMaj7, kOverCMaj7));
    EXPECT_TRUE(SectionsChangingChord(s, plan).empty());
}

// Only a section marked in the working file can be converted.
// Convert Notes moves a section played over a chord of its own from that chord's root, not from
// the song's key: Main A, left over Dm7, moves down a tone; the section's chord is then C's.
TEST_F(ChordChangeTest, ConvertNotesMovesASectionFromItsOwnChord) {
    ASSERT_TRUE(ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped));
    const auto [on, off] = Notes();
    EXPECT_EQ(on, off);
    EXPECT_EQ(on, (std::vector<int>{48, 52, 55, 67, 52, 55, 60, 64, 55, 48, 52, 43, 55, 48}));
    EXPECT_EQ(s.sectionChords, (std::map<std::string, std::string>{}));
}

TEST_F(ChordChangeTest, RefusesASectionNotMarked) {
    EXPECT_EQ(ConvertSectionChords(s, "Main B").message,
              "Main B is not marked on the song's measures.");
    EXPECT_EQ(Notes(), std::pair(kPlayed, kPlayed));
}

constexpr char kNoPlayer[] =
    "The style player zephrane-play was found neither beside Zephrane, nor in the player folder "
    "of its build, nor on the PATH. Install it to hear the preview.";

// Polls until the program has ended; a program that hangs fails the test after a minute.
ProgramEnd AwaitEnd(ProcessService& processes, int64_t processId) {
    for (int poll = 0; poll < 6000; ++poll) {
        if (auto end = processes.PollExit(processId)) return *end;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the program did not end";
    return {};
}

enum class Stage { NoFile, NoSection, NoCasm, Ready };

struct PreviewTest : AppTest {
    void SetUp() override {
        AppTest::SetUp();
        recorder.programSearchPath = "/nonexistent:" + PathOf("bin");
    }
    std::string Executable(const std::string& name) const {
        fs::create_directories(fs::path(PathOf(name)).parent_path());
        std::ofstream(PathOf(name)) << "#!/bin/sh\n";
        fs::permissions(PathOf(name), fs::perms::owner_all);
        return PathOf(name);
    }
    // Opens the 12-measure song, marks Main A and lets Auto CASM Set assign the parts, as far as
    // `stage` goes.
    void OpenReadySong(Session& session, Stage stage = Stage::Ready) {
        if (stage == Stage::NoFile) return;
        recorder.openAnswers.push_back(songPath);
        ASSERT_TRUE(OpenFileCommand(session));
        if (stage != Stage::NoSection) {
            ASSERT_TRUE(PressSectionButton(session, "Main A"));
        }
        if (stage == Stage::Ready) {
            ASSERT_TRUE(AutoSetCasm(session));
        }
    }

    const std::string player = Executable("bin/zephrane-play");
};

struct RefusalRow {
    const char* name;
    Stage stage;
    const char* chords;
    bool playerInstalled;
    Texts messages;
};
// clang-format off
const RefusalRow kRefusals[] = {
    {"UnknownChord", Stage::Ready, "C H7", true,
     {"The chord \"H7\" cannot be read: it does not begin with a note name A to G. Write a root "
      "(C, F#, Bb …) and a chord name such as m, 7, maj7, m7, m7b5, dim7, sus4, aug, add9, 6/9, "
      "with /E for a bass note."}},
    {"NoChord", Stage::Ready, " | ", true,
     {"The chord progression \" | \" holds no chord; write chords separated by blanks, as \"C Am "
      "F G7\"."}},
    {"NoPlayer", Stage::Ready, "C", false, {kNoPlayer}},
    {"NoFile", Stage::NoFile, "C", true, {kNoFile}},
    {"NoSection", Stage::NoSection, "C", true,
     {kWarningNoMainA, "At least one style section should be selected"}},
    {"NoPart", Stage::NoCasm, "C", true,
     {"At least one Part In the CASM must be assigned for a style to be created"}},
};
// clang-format on

struct PreviewRefusalTest : PreviewTest, ::testing::WithParamInterface<RefusalRow> {};

// Guards against a preview started on a style Save Style would refuse, or on chords the player
// cannot read.
TEST_P(PreviewRefusalTest, IsRefusedWithItsMessageAndStartsNothing) {
    const RefusalRow& row = GetParam();
    if (!row.playerInstalled) recorder.programSearchPath = "/nonexistent";
    OpenReadySong(s, row.stage);
    const CommandResult result = PlayPreview(s, {"Main A", row.chords});
    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_EQ(recorder.messages, row.messages);
    EXPECT_TRUE(recorder.startedCommands.empty());
    EXPECT_FALSE(fs::exists(PathOf(kPreviewFileName)));
}

INSTANTIATE_TEST_SUITE_P(EveryCheck, PreviewRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& row) { return std::string(row.param.name); });

// Guards against a preview that differs from the saved style, counts as a save, or keeps
// sounding under the next one.
TEST_F(PreviewTest, PlayMakesTheStyleSaveStyleWouldIntoThePreviewFileAndStopEndsIt) {
    OpenReadySong(s);
    ASSERT_TRUE(PlayPreview(s, {"Main A", "Dm7 G7"}));
    const std::string preview = PathOf(kPreviewFileName);
    EXPECT_EQ(recorder.startedCommands,
              (std::vector<Texts>{{player, preview, "--section", "Main A", "--chords", "Dm7 G7"}}));
    EXPECT_TRUE(s.song.lastStyleSaved.empty());
    RefreshMainWindowView(s);
    EXPECT_TRUE(s.view.previewPlaying && s.view.programsRunning);
    EXPECT_EQ(s.view.previewSections, Texts{"Main A"});
    ASSERT_TRUE(SaveStyle(s, StyleCommandSource::ToolbarButton, PathOf("saved.sty")));
    EXPECT_EQ(test::ReadFile(preview), test::ReadFile(PathOf("saved.sty")));

    ASSERT_TRUE(PlayPreview(s, {"", "C"}));  // the first is stopped; the player picks the section
    EXPECT_EQ(recorder.startedCommands.back(), (Texts{player, preview, "--chords", "C"}));
    ASSERT_TRUE(StopPreview(s));
    EXPECT_EQ(recorder.stoppedProcesses, (std::vector<int64_t>{1, 2}));
    RefreshMainWindowView(s);
    EXPECT_TRUE(!s.view.previewPlaying && s.view.programsRunning);
    recorder.messages.clear();
    CheckStartedPrograms(s);
    RefreshMainWindowView(s);
    EXPECT_FALSE(s.view.programsRunning);
    EXPECT_TRUE(recorder.messages.empty());  // a stopped program's end says nothing
}

// Guards against an opened style rebuilt (and refused for its empty CASM) when the user only
// wants to hear it.
TEST_F(PreviewTest, AnOpenedStyleInWhichNothingWasMarkedPlaysAsItIs) {
    OpenReadySong(s);
    ASSERT_TRUE(SaveStyle(s, StyleCommandSource::ToolbarButton, PathOf("band.sty")));
    recorder.openAnswers.push_back(PathOf("band.sty"));
    ASSERT_TRUE(OpenFileCommand(s));
    ASSERT_TRUE(PlayPreview(s, {"Main A", "C"}));
    EXPECT_EQ(recorder.startedCommands.back()[1], PathOf("band.sty"));
    ASSERT_TRUE(PressSectionButton(s, "Intro A"));
    AutoSetCasm(s);
    ASSERT_TRUE(PlayPreview(s, {"Intro A", "C"}));
    EXPECT_EQ(recorder.startedCommands.back()[1], PathOf(kPreviewFileName));
    RefreshMainWindowView(s);
    EXPECT_EQ(s.view.previewSections, (Texts{"Main A", "Intro A"}));  // in toolbar order
}

struct EndRow {
    const char* name;
    WatchedProgramKind kind;
    struct {
        int exitStatus;
        const char* errorOutput;  // a text, not a string: GCC's -O3 misjudges a static table's
    } end;                        // strings as maybe uninitialised
    Texts messages;
};
// clang-format off
const EndRow kEnds[] = {
    {"PlayerFailed", WatchedProgramKind::StylePlayer, {1, "Cannot open the device\n\n"},
     {"The style player ended with exit status 1.\n\nCannot open the device"}},
    {"PlayerKilled", WatchedProgramKind::StylePlayer, {137, ""},
     {"The style player ended with exit status 137."}},
    {"PlayerDone", WatchedProgramKind::StylePlayer, {0, "a warning\n"}, {}},
    {"PreviewFailed", WatchedProgramKind::Preview,
     {1, "ALSA lib pcm.c: noise\nzephrane-play: The style has no section \"Main B\".\n"},
     {"The preview ended with exit status 1.\n\nzephrane-play: The style has no section "
      "\"Main B\"."}},
    {"PreviewDone", WatchedProgramKind::Preview, {0, ""}, {}},
    {"WavWritten", WatchedProgramKind::PreviewToWav, {0, ""},
     {"The preview was written to /w/out.wav."}},
    {"WavFailed", WatchedProgramKind::PreviewToWav,
     {1, "zephrane-play: Cannot write /w/out.wav: Disk is full.\n"},
     {"The preview could not be written to /w/out.wav (exit status 1).\n\nzephrane-play: Cannot "
      "write /w/out.wav: Disk is full."}},
};
// clang-format on

struct ProgramEndTest : PreviewTest, ::testing::WithParamInterface<EndRow> {};

// Guards against a player that fails in silence.
TEST_P(ProgramEndTest, ShowsWhatItsEndMeansOnceItIsSeen) {
    const EndRow& row = GetParam();
    StartWatchedProgram(s, row.kind, {"zephrane-play", "x.sty", "-o", "/w/out.wav"});
    recorder.programEnds = {std::nullopt, ProgramEnd{row.end.exitStatus, row.end.errorOutput}};
    EXPECT_FALSE(CheckStartedPrograms(s));  // still running
    EXPECT_EQ(s.watchedPrograms.size(), size_t{1});
    EXPECT_TRUE(CheckStartedPrograms(s));
    EXPECT_FALSE(CheckStartedPrograms(s));  // its end is told once
    EXPECT_EQ(recorder.messages, row.messages);
    EXPECT_TRUE(s.watchedPrograms.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ProgramEndTest, ::testing::ValuesIn(kEnds),
                         [](const auto& row) { return std::string(row.param.name); });

// Guards against a preview without sound that leaves the user nothing to hear.
TEST_F(PreviewTest, NoSoundOffersAWavFileAndRunsThePlayerAgainWithIt) {
    OpenReadySong(s);
    ASSERT_TRUE(PlayPreview(s, {"Main A", "C G7"}));
    const Texts live = recorder.startedCommands.back();
    const std::string wav = PathOf("band.wav");
    recorder.programEnds = {
        ProgramEnd{3,
                   "ALSA lib pcm.c:2666: Unknown PCM default\nzephrane-play: Cannot play: "
                   "no device. Write the sound to a file with -o out.wav instead.\n"},
        ProgramEnd{3, ""}};
    recorder.okAnswers = {true, false};
    recorder.saveAnswers = {wav};
    CheckStartedPrograms(s);
    ASSERT_EQ(recorder.questions.size(), size_t{1});
    EXPECT_EQ(recorder.questions[0],
              "No sound: the preview found no audio device or no sound font (exit status 3).\n\n"
              "zephrane-play: Cannot play: no device. Write the sound to a file with -o out.wav "
              "instead.\n\nWrite the preview to a WAV file instead?");
    ASSERT_EQ(recorder.saveRequests.size(), size_t{1});
    const FileDialogRequest& request = recorder.saveRequests[0];
    EXPECT_EQ(
        (Texts{request.title, request.filter, request.defaultExtension, request.proposedName}),
        (Texts{"Write the Preview to a WAV File", "WAV Files(*.wav)|*.wav|", "wav",
               PathOf("song.wav")}));
    Texts withWav = live;
    withWav.insert(withWav.end(), {"-o", wav});
    EXPECT_EQ(recorder.startedCommands, (std::vector<Texts>{live, withWav}));

    PlayPreview(s, {"Main A", "C G7"});  // declined this time: nothing more is started
    CheckStartedPrograms(s);
    EXPECT_EQ(recorder.questions.size(), size_t{2});
    EXPECT_EQ(recorder.startedCommands.size(), size_t{3});
}

// Guards against a window that cannot find the player it was built with, or runs a file that
// is not a program.
TEST_F(PreviewTest, ZephranePlayIsLookedForBesideTheProgramThenInItsBuildThenOnThePath) {
    recorder.programDirectory = PathOf("build/gui");
    const std::string beside = Executable("build/gui/zephrane-play");
    const std::string built = Executable("build/player/zephrane-play");
    EXPECT_EQ(FindPreviewPlayer(recorder), beside);
    fs::remove(beside);
    EXPECT_EQ(FindPreviewPlayer(recorder), built);
    recorder.programDirectory = PathOf("build/bin");  // a build folder only beside "gui"
    EXPECT_EQ(FindPreviewPlayer(recorder), player);
    fs::permissions(player, fs::perms::owner_read);
    EXPECT_EQ(FindPreviewPlayer(recorder), std::nullopt);
}

// Guards against a started program's failure, and a stop, going unnoticed.
TEST(PosixProcessTest, AWatchedProgramTellsItsStatusAndErrorOutputAndCanBeStopped) {
    PosixProcessService processes;
    const int64_t failing =
        processes.StartWatchedProcess({"sh", "-c", "echo out; echo one >&2; echo two >&2; exit 3"});
    EXPECT_EQ(AwaitEnd(processes, failing), (ProgramEnd{3, "one\ntwo\n"}));
    const int64_t sleeping = processes.StartWatchedProcess({"sleep", "60"});
    EXPECT_EQ(processes.PollExit(sleeping), std::nullopt);
    processes.StopProcess(sleeping);
    EXPECT_EQ(AwaitEnd(processes, sleeping), (ProgramEnd{128 + 15, ""}));
    // Of a long error output the end is kept, from the start of a line.
    const std::string text =
        AwaitEnd(processes,
                 processes.StartWatchedProcess(
                     {"sh", "-c",
                      "i=0; while [ $i -lt 2000 ]; do echo \"line $i\" >&2; i=$((i+1)); done"}))
            .errorOutput;
    EXPECT_LE(text.size(), size_t{8192});
    EXPECT_EQ(text.substr(0, 5) + text.substr(text.size() - 10), "line line 1999\n");
    try {
        processes.StartWatchedProcess({"/nonexistent/zephrane-play"});
        ADD_FAILURE() << "a missing program started";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 53);
    }
}

#ifdef ZEPHRANE_PLAY_PROGRAM
// The preview of the demo song, played by the real zephrane-play. Without an audio device (as
// on a build machine) it ends with status 3, and the WAV file it then writes is checked.
TEST_F(PreviewTest, TheDemoSongsPreviewReallyPlaysOrIsWrittenToAWavFile) {
    SetUpEffectLists(real);
    recorder.programSearchPath = fs::path(ZEPHRANE_PLAY_PROGRAM).parent_path().string();
    recorder.openAnswers.push_back(ZEPHRANE_DEMO_SONG);
    ASSERT_TRUE(OpenFileCommand(real));
    ASSERT_TRUE(PressSectionButton(real, "Main A"));
    ASSERT_TRUE(AutoSetCasm(real));
    const std::string wav = PathOf("demo.wav");
    recorder.okAnswers = {true};
    recorder.saveAnswers = {wav};
    ASSERT_TRUE(PlayPreview(real, {"Main A", "Dm7 G7"}));
    for (int poll = 0; poll < 6000 && !real.watchedPrograms.empty(); ++poll) {
        CheckStartedPrograms(real);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(real.watchedPrograms.empty());
    if (recorder.questions.empty()) GTEST_SKIP() << "an audio device played the preview";
    EXPECT_EQ(recorder.messages, Texts{"The preview was written to " + wav + "."});
    const test::Bytes sound = test::ReadFile(wav);
    ASSERT_GT(sound.size(), size_t{44});
    EXPECT_EQ(std::string(sound.begin(), sound.begin() + 12).replace(4, 4, ""), "RIFFWAVE");
    EXPECT_EQ(sound[22], 2);                                  // stereo
    EXPECT_EQ(sound[24] | sound[25] << 8, 44100);             // frames a second
    EXPECT_TRUE(std::any_of(sound.begin() + 44, sound.end(),  // not silent
                            [](uint8_t byte) { return byte != 0; }));
}
#endif

}  // namespace
}  // namespace zephrane
