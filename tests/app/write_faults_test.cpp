// Every file the program writes, written where it cannot be: on a full disk (/dev/full), into a
// folder that does not exist, over a read-only file, and where a folder stands in place of the
// file. Each write must show exactly the message of its fault, damage no file of the user's (the
// song opened, a file that was there, the folder) and leave the session working. Then the saves
// that succeed: exact bytes, in place of a longer file, through a pipe, with the Save dialog.

#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/effect_commands.h"
#include "app/main_commands.h"
#include "app/save_files.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/settings_files.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "casm/casm_table.h"
#include "convert/convert.h"
#include "sections/sections.h"
#include "song/merge_tracks.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using Texts = std::vector<std::string>;

constexpr fs::perms kReadOnly =
    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
const Bytes kUsersBytes = {'u', 's', 'e', 'r', '\'', 's', ' ', 'f', 'i', 'l', 'e'};

enum class Fault { FullDisk, MissingFolder, ReadOnlyFile, FolderInPlace };
struct FaultRow {
    Fault fault;
    const char* name;
    const char* message;
};
constexpr FaultRow kFaults[] = {
    {Fault::FullDisk, "OnAFullDisk", "Disk is full."},
    {Fault::MissingFolder, "IntoAMissingFolder", "That path doesn't exist."},
    {Fault::ReadOnlyFile, "OverAReadOnlyFile",
     "File may have read-only attribute. Change attribute or choose another name."},
    {Fault::FolderInPlace, "WhereAFolderStands",
     "File may have read-only attribute. Change attribute or choose another name."},
};

// The file each write goes to.
enum class Write {
    SettingsFile,            // WriteTextFileContents
    WorkingFileByOpen,       // Open File prepares the song into the working file
    WorkingFileBySequencer,  // To Sequencer writes it before the sequencer runs
    WorkingFileByStyle,      // building a style first saves the song as the working file
    WorkingFileByConvert,    // Convert Notes writes the converted song there
    WorkingFileByBb,         // Style from BB prepares the marked song there
    MidiFile,                // SaveMidiFile
    MidiFileBySaveAs,        // "&Working Midi File", through the Save dialog
    StyleFile,               // SaveStyleFile
    StyleFileBySaveAs,       // Save As for a built style, through the Save dialog
    MergedMidiFile,          // "Convert Type 1 MIDI" writes the merged type-0 song
};
constexpr const char* kWriteNames[] = {
    "SettingsFile",       "WorkingFileByOpen",    "WorkingFileBySequencer",
    "WorkingFileByStyle", "WorkingFileByConvert", "WorkingFileByBb",
    "MidiFile",           "MidiFileBySaveAs",     "StyleFile",
    "StyleFileBySaveAs",  "MergedMidiFile"};

class SaveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.settingsDirectory = dir.Path().string();
        recorder.workingFilePath = PathOf("Zephwork.mid");
        SetUpEffectLists(s);
        songPath = dir.Write("song.mid", song);
    }
    std::string PathOf(const std::string& name) const { return (dir.Path() / name).string(); }
    // The song opened as Open File does, "Main A" marked and the CASM set automatically, so
    // that every command may run.
    void OpenSong() {
        ASSERT_TRUE(OpenFileByPath(s, songPath));
        ASSERT_TRUE(PressSectionButton(s, "Main A"));
        AutoSetCasm(s);
        recorder.messages.clear();
    }

    test::TempDir dir;
    StubSession test;
    StubPlatform& recorder = test.platform;
    Session& s = test.session;
    const Bytes song = test::SongFile(test::MeasuresSong(12));
    std::string songPath;
};

class WriteFaultTest : public SaveTest,
                       public ::testing::WithParamInterface<std::tuple<int, FaultRow>> {
  protected:
    // The target of the write, made faulty.
    std::string FaultyTarget(Fault fault, const std::string& name) {
        switch (fault) {
            case Fault::FullDisk:
                return "/dev/full";
            case Fault::MissingFolder:
                return PathOf("missing/" + name);
            case Fault::ReadOnlyFile:
                fs::permissions(dir.Write(name, kUsersBytes), kReadOnly);
                break;
            case Fault::FolderInPlace:
                fs::create_directory(dir.Path() / name);
                break;
        }
        return PathOf(name);
    }

    // Runs the write to `target`; true when it reported success.
    bool RunWrite(Write write, const std::string& target) {
        if (write != Write::SettingsFile && write != Write::WorkingFileByOpen &&
            write != Write::WorkingFileByBb && write != Write::MergedMidiFile) {
            OpenSong();
        }
        switch (write) {
            case Write::SettingsFile:
                return WriteTextFileContents(s, "/usr/bin/sequencer", target);
            case Write::WorkingFileByOpen:
                recorder.workingFilePath = target;
                return static_cast<bool>(OpenFileByPath(s, songPath));
            case Write::WorkingFileBySequencer:
                recorder.workingFilePath = target;
                s.settings.sequencerPath = "/usr/bin/true";
                return static_cast<bool>(ToSequencer(s));
            case Write::WorkingFileByStyle:
                recorder.workingFilePath = target;
                return MakeStyleFromMidi(s);
            case Write::WorkingFileByConvert:
                recorder.workingFilePath = target;
                return static_cast<bool>(
                    ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped));
            case Write::WorkingFileByBb:
                recorder.openAnswers.push_back(
                    dir.Write("bb.mid", test::SongFile(test::MeasuresSong(44))));
                recorder.workingFilePath = target;
                return static_cast<bool>(StyleFromBb(s));
            case Write::MidiFile:
                return SaveMidiFile(s, target);
            case Write::StyleFile:
            case Write::StyleFileBySaveAs:
                EXPECT_TRUE(MakeStyleFromMidi(s));
                recorder.messages.clear();
                if (write == Write::StyleFile) return SaveStyleFile(s, target);
                [[fallthrough]];
            case Write::MidiFileBySaveAs:
                recorder.saveAnswers.push_back(target);
                recorder.okAnswers.push_back(true);
                return write == Write::MidiFileBySaveAs ? static_cast<bool>(SaveWorkingMidiFile(s))
                                                        : SaveAs(s, SaveKind::Style).has_value();
            case Write::MergedMidiFile:
                recorder.okAnswers.push_back(true);
                return static_cast<bool>(MergeMidiFile(
                    s,
                    dir.Write("type1.mid",
                              test::MultiTrackFile(
                                  {test::TrackBuilder().Tempo(0, 500000).EndOfTrack().Events(),
                                   test::MeasuresSong(2).Events()})),
                    target));
        }
        return false;
    }
};

TEST_P(WriteFaultTest, ShowsTheMessageOfItsFaultDamagesNoFileAndTheSessionGoesOn) {
    const Write write = Write(std::get<0>(GetParam()));
    const FaultRow& fault = std::get<1>(GetParam());
    const std::string name = write == Write::SettingsFile ? "Zephrane.ini"
                             : write == Write::StyleFile || write == Write::StyleFileBySaveAs
                                 ? "style.sty"
                                 : "target.mid";
    const std::string target = FaultyTarget(fault.fault, name);

    EXPECT_FALSE(RunWrite(write, target));

    EXPECT_EQ(recorder.messages, Texts{fault.message});
    EXPECT_EQ(test::ReadFile(songPath), song);  // the song the user opened is as it was
    if (fault.fault == Fault::MissingFolder) {
        EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
    }
    if (fault.fault == Fault::ReadOnlyFile) {
        EXPECT_EQ(test::ReadFile(target), kUsersBytes);
        EXPECT_EQ(fs::status(target).permissions(), kReadOnly);
    }
    if (fault.fault == Fault::FolderInPlace) {
        EXPECT_TRUE(fs::is_directory(target) && fs::is_empty(target));
    }
    // Nothing is left behind in the folder: no temporary file beside the target.
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }

    // The files back in a writable place, the session writes again without a word.
    recorder.messages.clear();
    recorder.workingFilePath = PathOf("Zephwork.mid");
    if (write == Write::SettingsFile) {
        EXPECT_TRUE(WriteTextFileContents(s, "/usr/bin/sequencer", PathOf("again.ini")));
    } else {
        if (s.song.fileName.empty()) {
            EXPECT_TRUE(OpenFileByPath(s, songPath));
        }
        EXPECT_TRUE(SaveMidiFile(s, PathOf("again.mid")));
    }
    EXPECT_EQ(recorder.messages, Texts{});
}

std::string WriteFaultName(const ::testing::TestParamInfo<std::tuple<int, FaultRow>>& row) {
    return std::string(kWriteNames[std::get<0>(row.param)]) + "_" + std::get<1>(row.param).name;
}

INSTANTIATE_TEST_SUITE_P(EveryWrite, WriteFaultTest,
                         ::testing::Combine(::testing::Range(0, int(std::size(kWriteNames))),
                                            ::testing::ValuesIn(kFaults)),
                         WriteFaultName);

class SaveFilesTest : public SaveTest {
  protected:
    void SetUp() override {
        SaveTest::SetUp();
        s.song.bytes = ByteImage(song);
        s.song.fileName = songPath;
        s.output = ByteImage(Bytes{'s', 't', 'y'});
    }
};

TEST_F(SaveFilesTest, SavingOverALongerFileLeavesExactlyTheNewBytesAndItsPermissions) {
    const std::string path = dir.Write("long.mid", Bytes(5000, 0xAA));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(SaveMidiFile(s, path));
    EXPECT_EQ(test::ReadFile(path), song);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

TEST_F(SaveFilesTest, SaveIntoAPipeAsksNothingAndWritesThrough) {
    // Looking for an existing file to replace must not open the pipe: with no other writer that
    // would wait for ever. A pipe is written in place, like a device.
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

TEST_F(SaveFilesTest, SaveAsAsksWithTheKindsFilterAndProposalAndTheStyleBecomesTheOneToPlay) {
    EXPECT_EQ(ProposedSaveName("C:\\Songs\\tune.sty", "mid"), "C:\\Songs\\tune.mid");
    EXPECT_EQ(ProposedSaveName("/songs/song.mi", "mid"), "/songs/son.mid");  // the last four cut
    EXPECT_EQ(ProposedSaveName("abc", "sty"), ".sty");
    s.song.lastStyleSaved = "/old.sty";
    EXPECT_FALSE(SaveAs(s, SaveKind::Midi));  // dialog cancelled
    const std::string existing = dir.Write("there.sty", Bytes{9});
    recorder.saveAnswers = {existing, existing};
    recorder.okAnswers = {false, true};
    EXPECT_FALSE(SaveAs(s, SaveKind::Style));  // not to be replaced
    EXPECT_EQ(test::ReadFile(existing), (Bytes{9}));
    EXPECT_EQ(s.song.lastStyleSaved, "/old.sty");
    EXPECT_EQ(SaveAs(s, SaveKind::Style), existing);
    EXPECT_EQ(test::ReadFile(existing), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(s.song.lastStyleSaved, existing);
    EXPECT_EQ(recorder.questions, Texts(2, "This will replace existing file"));
    ASSERT_EQ(recorder.saveRequests.size(), 3u);
    EXPECT_EQ(recorder.saveRequests[0].filter, "Style Files(*.mid)|*.mid|");
    EXPECT_EQ(recorder.saveRequests[0].defaultExtension, "mid");
    EXPECT_EQ(recorder.saveRequests[0].proposedName, PathOf("song.mid"));
    EXPECT_EQ(recorder.saveRequests[1].filter, "Style Files(*.sty)|*.sty|");
    EXPECT_EQ(recorder.saveRequests[1].proposedName, PathOf("song.sty"));
}

TEST_F(SaveFilesTest, WorkingMidiFileCommandMakesTheSavedFileTheOpenFile) {
    s.view.caption = "Zephrane   song.mid";
    EXPECT_FALSE(SaveWorkingMidiFile(s));  // cancelled: nothing changes
    EXPECT_EQ(s.song.fileName, songPath);
    EXPECT_EQ(s.view.caption, "Zephrane   song.mid");

    recorder.saveAnswers.push_back(PathOf("edited.mid"));
    s.song.isStyleFile = true;
    EXPECT_TRUE(SaveWorkingMidiFile(s));
    EXPECT_EQ(test::ReadFile(PathOf("edited.mid")), song);
    EXPECT_EQ(s.song.fileName, PathOf("edited.mid"));
    EXPECT_EQ(s.view.caption, "Zephrane   edited.mid");
    EXPECT_EQ(s.view.txtFileName, "edited.mid(modified)");
    EXPECT_TRUE(s.song.isStyleFile);  // the kind flags stay

    s.song.fileName.clear();
    EXPECT_FALSE(SaveWorkingMidiFile(s));
    EXPECT_EQ(recorder.messages,
              Texts{"A file has not yet been opened. Click on Open File to identify the file to "
                    "use."});
}

}  // namespace
}  // namespace zephrane
