// Every file the program writes, written where it cannot be: on a full disk (/dev/full), into a
// folder that does not exist, over a read-only file, and where a folder stands in place of the
// file. Each write must show exactly the message of its fault, damage no file of the user's (the
// song opened, a file that was there, the folder) and leave the session working.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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
#include "sections/sections.h"
#include "song/merge_tracks.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

constexpr char kDiskFull[] = "Disk is full.";
constexpr char kPathMissing[] = "That path doesn't exist.";
constexpr char kReadOnly[] =
    "File may have read-only attribute. Change attribute or choose another name.";

enum class Fault { FullDisk, MissingFolder, ReadOnlyFile, FolderInPlace };

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

constexpr Fault kFaults[] = {Fault::FullDisk, Fault::MissingFolder, Fault::ReadOnlyFile,
                             Fault::FolderInPlace};
constexpr Write kWrites[] = {
    Write::SettingsFile,       Write::WorkingFileByOpen,    Write::WorkingFileBySequencer,
    Write::WorkingFileByStyle, Write::WorkingFileByConvert, Write::WorkingFileByBb,
    Write::MidiFile,           Write::MidiFileBySaveAs,     Write::StyleFile,
    Write::StyleFileBySaveAs,  Write::MergedMidiFile};

std::string FaultName(Fault fault) {
    switch (fault) {
        case Fault::FullDisk:
            return "OnAFullDisk";
        case Fault::MissingFolder:
            return "IntoAMissingFolder";
        case Fault::ReadOnlyFile:
            return "OverAReadOnlyFile";
        case Fault::FolderInPlace:
            return "WhereAFolderStands";
    }
    return "";
}

std::string WriteName(Write write) {
    switch (write) {
        case Write::SettingsFile:
            return "SettingsFile";
        case Write::WorkingFileByOpen:
            return "WorkingFileByOpen";
        case Write::WorkingFileBySequencer:
            return "WorkingFileBySequencer";
        case Write::WorkingFileByStyle:
            return "WorkingFileByStyle";
        case Write::WorkingFileByConvert:
            return "WorkingFileByConvert";
        case Write::MidiFile:
            return "MidiFile";
        case Write::MidiFileBySaveAs:
            return "MidiFileBySaveAs";
        case Write::StyleFile:
            return "StyleFile";
        case Write::StyleFileBySaveAs:
            return "StyleFileBySaveAs";
        case Write::WorkingFileByBb:
            return "WorkingFileByBb";
        case Write::MergedMidiFile:
            return "MergedMidiFile";
    }
    return "";
}

const Bytes kUsersBytes = {'u', 's', 'e', 'r', '\'', 's', ' ', 'f', 'i', 'l', 'e'};

class WriteFaultTest : public ::testing::TestWithParam<std::tuple<Write, Fault>> {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.settingsDirectory = dir.Path().string();
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
        songPath = dir.Write("song.mid", song);
    }

    // The song opened as Open File does, "Main A" marked and the CASM set automatically, so
    // that every command may run.
    void OpenSong() {
        ASSERT_TRUE(OpenFileByPath(s, songPath));
        ASSERT_TRUE(PressSectionButton(s, "Main A"));
        AutoSetCasm(s);
        recorder.messages.clear();
    }

    // The target of the write, made faulty.
    std::string FaultyTarget(Fault fault, const std::string& name) {
        switch (fault) {
            case Fault::FullDisk:
                return "/dev/full";
            case Fault::MissingFolder:
                return (dir.Path() / "missing" / name).string();
            case Fault::ReadOnlyFile: {
                const std::string path = dir.Write(name, kUsersBytes);
                fs::permissions(
                    path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
                return path;
            }
            case Fault::FolderInPlace:
                fs::create_directory(dir.Path() / name);
                return (dir.Path() / name).string();
        }
        return "";
    }

    // Runs the write to `target`; true when it reported success.
    bool RunWrite(Write write, const std::string& target) {
        switch (write) {
            case Write::SettingsFile:
                return WriteTextFileContents(s, "/usr/bin/sequencer", target);
            case Write::WorkingFileByOpen:
                recorder.workingFilePath = target;
                return OpenFileByPath(s, songPath);
            case Write::WorkingFileBySequencer:
                OpenSong();
                recorder.workingFilePath = target;
                s.settings.sequencerPath = "/usr/bin/true";
                return ToSequencer(s);
            case Write::WorkingFileByStyle:
                OpenSong();
                recorder.workingFilePath = target;
                return MakeStyleFromMidi(s);
            case Write::WorkingFileByConvert:
                OpenSong();
                recorder.workingFilePath = target;
                return ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped);
            case Write::WorkingFileByBb:
                recorder.openAnswers.push_back(dir.Write("bb.mid", bbSong));
                recorder.workingFilePath = target;
                return StyleFromBb(s);
            case Write::MidiFile:
                OpenSong();
                return SaveMidiFile(s, target);
            case Write::MidiFileBySaveAs:
                OpenSong();
                recorder.saveAnswers.push_back(target);
                recorder.okAnswers.push_back(true);
                return SaveWorkingMidiFile(s);
            case Write::StyleFile:
                OpenSong();
                EXPECT_TRUE(MakeStyleFromMidi(s));
                recorder.messages.clear();
                return SaveStyleFile(s, target);
            case Write::StyleFileBySaveAs:
                OpenSong();
                EXPECT_TRUE(MakeStyleFromMidi(s));
                recorder.messages.clear();
                recorder.saveAnswers.push_back(target);
                recorder.okAnswers.push_back(true);
                return SaveAs(s, SaveKind::Style).has_value();
            case Write::MergedMidiFile:
                recorder.okAnswers.push_back(true);
                return MergeMidiFile(s, dir.Write("type1.mid", typeOneSong), target);
        }
        return false;
    }

    test::TempDir dir;
    StubSession test;
    StubPlatform& recorder = test.platform;
    Session& s = test.session;
    const Bytes song = test::SongFile(test::MeasuresSong(12));
    const Bytes bbSong = test::SongFile(test::MeasuresSong(44));
    const Bytes typeOneSong =
        test::MultiTrackFile({test::TrackBuilder().Tempo(0, 500000).EndOfTrack().Events(),
                              test::MeasuresSong(2).Events()});
    std::string songPath;
};

TEST_P(WriteFaultTest, ShowsTheMessageOfItsFaultAndDamagesNoFile) {
    const auto [write, fault] = GetParam();
    const std::string name = write == Write::SettingsFile ? "Zephrane.ini"
                             : write == Write::StyleFile || write == Write::StyleFileBySaveAs
                                 ? "style.sty"
                                 : "target.mid";
    const std::string target = FaultyTarget(fault, name);
    const ByteImage songBefore = s.song.bytes;

    EXPECT_FALSE(RunWrite(write, target));

    const std::string expected = fault == Fault::FullDisk        ? kDiskFull
                                 : fault == Fault::MissingFolder ? kPathMissing
                                                                 : kReadOnly;
    EXPECT_EQ(recorder.messages, std::vector<std::string>{expected});
    // The song the user opened is as it was.
    EXPECT_EQ(test::ReadFile(songPath), song);
    switch (fault) {
        case Fault::FullDisk:
            break;
        case Fault::MissingFolder:
            EXPECT_FALSE(fs::exists(dir.Path() / "missing"));
            break;
        case Fault::ReadOnlyFile:
            EXPECT_EQ(test::ReadFile(target), kUsersBytes);
            EXPECT_EQ(fs::status(target).permissions(),
                      fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            break;
        case Fault::FolderInPlace:
            EXPECT_TRUE(fs::is_directory(target));
            EXPECT_TRUE(fs::is_empty(target));
            break;
    }
    // Nothing is left behind in the folder: no temporary file beside the target.
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
}

TEST_P(WriteFaultTest, TheSessionGoesOnWorkingAfterTheFailedWrite) {
    const auto [write, fault] = GetParam();
    const std::string target = FaultyTarget(fault, "target.mid");
    RunWrite(write, target);
    if (write == Write::SettingsFile) {
        recorder.messages.clear();
        EXPECT_TRUE(WriteTextFileContents(s, "/usr/bin/sequencer", (dir.Path() / "Zephrane.ini")));
        EXPECT_EQ(recorder.messages, std::vector<std::string>{});
        return;
    }
    // The working file back in a writable place, the song prepares and saves again.
    recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
    recorder.messages.clear();
    if (s.song.fileName.empty()) {
        EXPECT_TRUE(OpenFileByPath(s, songPath));
    }
    EXPECT_TRUE(SaveMidiFile(s, (dir.Path() / "again.mid").string()));
    EXPECT_EQ(recorder.messages, std::vector<std::string>{});
}

std::string TestName(const ::testing::TestParamInfo<std::tuple<Write, Fault>>& info) {
    return WriteName(std::get<0>(info.param)) + "_" + FaultName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EveryWrite, WriteFaultTest,
                         ::testing::Combine(::testing::ValuesIn(kWrites),
                                            ::testing::ValuesIn(kFaults)),
                         TestName);

}  // namespace
}  // namespace zephrane
