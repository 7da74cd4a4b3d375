// Every file the program writes, written where it cannot be: on a full disk (/dev/full), into a
// folder that does not exist, over a read-only file, and where a folder stands in place of the
// file. Each write must show exactly the message of its fault, damage no file of the user's and
// leave the session working. Then the saves that succeed.

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
#include "app/settings_files.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using Texts = std::vector<std::string>;

constexpr fs::perms kReadOnly =
    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
const Bytes kUsersBytes = {'u', 's', 'e', 'r', '\'', 's', ' ', 'f', 'i', 'l', 'e'};
constexpr char kReadOnlyMessage[] =
    "File may have read-only attribute. Change attribute or choose another name.";

enum class Fault { FullDisk, MissingFolder, ReadOnlyFile, FolderInPlace };
struct FaultRow {
    Fault fault;
    const char* name;
    const char* message;
};
constexpr FaultRow kFaults[] = {
    {Fault::FullDisk, "OnAFullDisk", "Disk is full."},
    {Fault::MissingFolder, "IntoAMissingFolder", "That path doesn't exist."},
    {Fault::ReadOnlyFile, "OverAReadOnlyFile", kReadOnlyMessage},
    {Fault::FolderInPlace, "WhereAFolderStands", kReadOnlyMessage}};

struct SaveTest : ::testing::Test {
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.settingsDirectory = dir.Path().string();
        recorder.workingFilePath = PathOf("Zephwork.mid");
        SetUpEffectLists(s);
        songPath = dir.Write("song.mid", song);
    }
    std::string PathOf(const std::string& name) const { return (dir.Path() / name).string(); }
    bool BuildStyle() {
        const bool built = MakeStyleFromMidi(s);
        recorder.messages.clear();
        return built;
    }
    void AnswerSave(const std::string& path) {
        recorder.saveAnswers.push_back(path);
        recorder.okAnswers.push_back(true);
    }

    test::TempDir dir;
    StubSession test;
    StubPlatform& recorder = test.platform;
    Session& s = test.session;
    const Bytes song = test::SongFile(test::MeasuresSong(12));
    std::string songPath;
};

struct WriteRow {
    const char* name;
    bool opensSong;      // first Open File, "Main A" marked and the CASM set, as a user would
    bool toWorkingFile;  // the target is the working file
    bool (*run)(SaveTest&, const std::string& target);
};
// clang-format off
const WriteRow kWrites[] = {
    {"SettingsFile", false, false, [](SaveTest& t, const std::string& to) {
        return WriteTextFileContents(t.s, "/usr/bin/sequencer", to); }},
    {"WorkingFileByOpen", false, true, [](SaveTest& t, const std::string&) {
        return OpenFileByPath(t.s, t.songPath); }},
    {"WorkingFileBySequencer", true, true, [](SaveTest& t, const std::string&) {
        t.s.settings.sequencerPath = "/usr/bin/true";
        return ToSequencer(t.s); }},
    {"WorkingFileByStyle", true, true, [](SaveTest& t, const std::string&) {
        return MakeStyleFromMidi(t.s); }},
    {"WorkingFileByConvert", true, true, [](SaveTest& t, const std::string&) {
        return ConvertNotes(t.s, ConvertItem::Plain, SequencerCheck::Skipped); }},
    {"WorkingFileByBb", false, true, [](SaveTest& t, const std::string&) {
        const Bytes bb = test::SongFile(test::MeasuresSong(44));
        t.recorder.openAnswers.push_back(t.dir.Write("bb.mid", bb));
        return StyleFromBb(t.s); }},
    {"MidiFile", true, false, [](SaveTest& t, const std::string& to) {
        return SaveMidiFile(t.s, to); }},
    {"MidiFileBySaveAs", true, false, [](SaveTest& t, const std::string& to) {
        t.AnswerSave(to);
        return SaveWorkingMidiFile(t.s); }},
    {"StyleFile", true, false, [](SaveTest& t, const std::string& to) {
        return t.BuildStyle() && SaveStyleFile(t.s, to); }},
    {"StyleFileBySaveAs", true, false, [](SaveTest& t, const std::string& to) {
        if (!t.BuildStyle()) return false;
        t.AnswerSave(to);
        return SaveAs(t.s, SaveKind::Style).has_value(); }},
    {"MergedMidiFile", false, false, [](SaveTest& t, const std::string& to) {
        t.recorder.okAnswers.push_back(true);
        const Bytes tempo = test::TrackBuilder().Tempo(0, 500000).EndOfTrack().Events();
        const Bytes type1 = test::MultiTrackFile({tempo, test::MeasuresSong(2).Events()});
        return MergeMidiFile(t.s, t.dir.Write("type1.mid", type1), to); }},
};
// clang-format on

struct WriteFaultTest : SaveTest, ::testing::WithParamInterface<std::tuple<WriteRow, FaultRow>> {
    std::string FaultyTarget(Fault fault) {
        const std::string target = PathOf("target.mid");
        if (fault == Fault::FullDisk) return "/dev/full";
        if (fault == Fault::MissingFolder) return PathOf("missing/target.mid");
        if (fault == Fault::ReadOnlyFile)
            fs::permissions(dir.Write("target.mid", kUsersBytes), kReadOnly);
        if (fault == Fault::FolderInPlace) fs::create_directory(target);
        return target;
    }
};

TEST_P(WriteFaultTest, ShowsTheMessageOfItsFaultDamagesNoFileAndTheSessionGoesOn) {
    const auto& [write, fault] = GetParam();
    const std::string target = FaultyTarget(fault.fault);
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
    for (const auto& entry : fs::directory_iterator(dir.Path())) {  // no temporary file left
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }

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

struct SaveFilesTest : SaveTest {
    void SetUp() override {
        SaveTest::SetUp();
        s.song.bytes = ByteImage(song);
        s.song.fileName = songPath;
        s.output = ByteImage(Bytes{'s', 't', 'y'});
    }
};

TEST_F(SaveFilesTest, SavingOverALongerFileLeavesExactlyTheNewBytesAndItsPermissions) {
    const std::string path = dir.Write("long.mid", Bytes(5000, 0xAA));
    const fs::perms perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, perms);
    ASSERT_TRUE(SaveMidiFile(s, path));
    EXPECT_EQ(test::ReadFile(path), song);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, perms);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

// Looking for an existing file to replace must not open the pipe: with no other writer that would
// wait for ever. A pipe is written in place, like a device.
TEST_F(SaveFilesTest, SaveIntoAPipeAsksNothingAndWritesThrough) {
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
    const FileDialogRequest& midi = recorder.saveRequests[0];
    EXPECT_EQ((Texts{midi.filter, midi.defaultExtension, midi.proposedName}),
              (Texts{"Style Files(*.mid)|*.mid|", "mid", PathOf("song.mid")}));
    const FileDialogRequest& style = recorder.saveRequests[1];
    EXPECT_EQ((Texts{style.filter, style.proposedName}),
              (Texts{"Style Files(*.sty)|*.sty|", PathOf("song.sty")}));
}

TEST_F(SaveFilesTest, WorkingMidiFileCommandMakesTheSavedFileTheOpenFile) {
    s.view.caption = "Zephrane   song.mid";
    EXPECT_FALSE(SaveWorkingMidiFile(s));  // cancelled: nothing changes
    EXPECT_EQ((Texts{s.song.fileName, s.view.caption}), (Texts{songPath, "Zephrane   song.mid"}));
    recorder.saveAnswers.push_back(PathOf("edited.mid"));
    s.song.isStyleFile = true;
    EXPECT_TRUE(SaveWorkingMidiFile(s));
    EXPECT_EQ(test::ReadFile(PathOf("edited.mid")), song);
    EXPECT_EQ((Texts{s.song.fileName, s.view.caption, s.view.txtFileName}),
              (Texts{PathOf("edited.mid"), "Zephrane   edited.mid", "edited.mid(modified)"}));
    EXPECT_TRUE(s.song.isStyleFile);  // the kind flags stay
    s.song.fileName.clear();
    EXPECT_FALSE(SaveWorkingMidiFile(s));
    EXPECT_EQ(
        recorder.messages,
        Texts{"A file has not yet been opened. Click on Open File to identify the file to use."});
}

}  // namespace
}  // namespace zephrane
