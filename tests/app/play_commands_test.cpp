// Programs that play beside the window: the preview bar's zephrane-play and Setup's style player,
// on the stub platform, and the process service they run on, with real programs.

#include "app/play_commands.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/main_commands.h"
#include "app/posix_process.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

constexpr char kWarningNoMainA[] =
    "WARNING- Your style does not have a Main A section. This will cause some PSR's (e.g. "
    "2000/9000) to act strangely.";
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

struct PreviewTest : ::testing::Test {
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.settingsDirectory = dir.Path().string();
        recorder.workingFilePath = PathOf("Zephwork.mid");
        recorder.programSearchPath = "/nonexistent:" + PathOf("bin");
        SetUpEffectLists(s);
    }
    std::string PathOf(const std::string& name) const { return (dir.Path() / name).string(); }
    std::string Executable(const std::string& name) const {
        fs::create_directories(fs::path(PathOf(name)).parent_path());
        std::ofstream(PathOf(name)) << "#!/bin/sh\n";
        fs::permissions(PathOf(name), fs::perms::owner_all);
        return PathOf(name);
    }
    // Opens a 12-measure song, marks Main A and lets Auto CASM Set assign the parts, as far as
    // `stage` goes.
    void OpenReadySong(Session& session, Stage stage = Stage::Ready) {
        if (stage == Stage::NoFile) return;
        recorder.openAnswers.push_back(
            dir.Write("song.mid", test::SongFile(test::MeasuresSong(12))));
        ASSERT_TRUE(OpenFileCommand(session));
        if (stage != Stage::NoSection) {
            ASSERT_TRUE(PressSectionButton(session, "Main A"));
        }
        if (stage == Stage::Ready) {
            ASSERT_TRUE(AutoSetCasm(session));
        }
    }

    test::TempDir dir;
    StubPlatform recorder;
    Platform services = recorder.Services();
    Session s{services};
    const std::string player = Executable("bin/zephrane-play");
};

struct RefusalRow {
    const char* name;
    Stage stage;
    const char* chords;
    bool playerInstalled;
    Texts messages;
};
const RefusalRow kRefusals[] = {
    {"UnknownChord",
     Stage::Ready,
     "C H7",
     true,
     {"The chord \"H7\" cannot be read: it does not begin with a note name A to G. Write a root "
      "(C, F#, Bb …) and a chord name such as m, 7, maj7, m7, m7b5, dim7, sus4, aug, add9, 6/9, "
      "with /E for a bass note."}},
    {"NoChord",
     Stage::Ready,
     " | ",
     true,
     {"The chord progression \" | \" holds no chord; write chords separated by blanks, as \"C Am "
      "F G7\"."}},
    {"NoPlayer", Stage::Ready, "C", false, {kNoPlayer}},
    {"NoFile",
     Stage::NoFile,
     "C",
     true,
     {"A file has not yet been opened. Click on Open File to identify the file to use."}},
    {"NoSection",
     Stage::NoSection,
     "C",
     true,
     {kWarningNoMainA, "At least one style section should be selected"}},
    {"NoPart",
     Stage::NoCasm,
     "C",
     true,
     {"At least one Part In the CASM must be assigned for a style to be created"}},
};

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
    ProgramEnd end;
    Texts messages;
};
const EndRow kEnds[] = {
    {"PlayerFailed",
     WatchedProgramKind::StylePlayer,
     {1, "Cannot open the device\n\n"},
     {"The style player ended with exit status 1.\n\nCannot open the device"}},
    {"PlayerKilled",
     WatchedProgramKind::StylePlayer,
     {137, ""},
     {"The style player ended with exit status 137."}},
    {"PlayerDone", WatchedProgramKind::StylePlayer, {0, "a warning\n"}, {}},
    {"PreviewFailed",
     WatchedProgramKind::Preview,
     {1, "ALSA lib pcm.c: noise\nzephrane-play: The style has no section \"Main B\".\n"},
     {"The preview ended with exit status 1.\n\nzephrane-play: The style has no section \"Main "
      "B\"."}},
    {"PreviewDone", WatchedProgramKind::Preview, {0, ""}, {}},
    {"WavWritten",
     WatchedProgramKind::PreviewToWav,
     {0, ""},
     {"The preview was written to /w/out.wav."}},
    {"WavFailed",
     WatchedProgramKind::PreviewToWav,
     {1, "zephrane-play: Cannot write /w/out.wav: Disk is full.\n"},
     {"The preview could not be written to /w/out.wav (exit status 1).\n\nzephrane-play: Cannot "
      "write /w/out.wav: Disk is full."}},
};

struct ProgramEndTest : PreviewTest, ::testing::WithParamInterface<EndRow> {};

// Guards against a player that fails in silence.
TEST_P(ProgramEndTest, ShowsWhatItsEndMeansOnceItIsSeen) {
    const EndRow& row = GetParam();
    StartWatchedProgram(s, row.kind, {"zephrane-play", "x.sty", "-o", "/w/out.wav"});
    recorder.programEnds = {std::nullopt, row.end};
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
    EXPECT_EQ(request.title, "Write the Preview to a WAV File");
    EXPECT_EQ(request.filter, "WAV Files(*.wav)|*.wav|");
    EXPECT_EQ(request.defaultExtension, "wav");
    EXPECT_EQ(request.proposedName, PathOf("song.wav"));
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
    PosixProcessService processes;
    Platform realServices{recorder, recorder, recorder, processes, recorder, recorder};
    Session real{realServices};
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
    EXPECT_EQ(test::Bytes(sound.begin(), sound.begin() + 4), (test::Bytes{'R', 'I', 'F', 'F'}));
    EXPECT_EQ(test::Bytes(sound.begin() + 8, sound.begin() + 12),
              (test::Bytes{'W', 'A', 'V', 'E'}));
    EXPECT_EQ(sound[22], 2);                                  // stereo
    EXPECT_EQ(sound[24] | sound[25] << 8, 44100);             // frames a second
    EXPECT_TRUE(std::any_of(sound.begin() + 44, sound.end(),  // not silent
                            [](uint8_t byte) { return byte != 0; }));
}
#endif

}  // namespace
}  // namespace zephrane
