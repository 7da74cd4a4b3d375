#include "app/save_files.h"

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/main_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

class FileWriterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        song = test::SongFile(test::MeasuresSong(2));
        s.song.bytes = ByteImage(song);
        s.song.fileName = (dir.Path() / "song.mid").string();
        s.output = ByteImage(Bytes{'s', 't', 'y'});
    }
    std::string PathOf(const std::string& name) const { return (dir.Path() / name).string(); }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
    Bytes song;
};

TEST_F(FileWriterTest, SavingOverALongerFileLeavesExactlyTheNewBytes) {
    const std::string path = dir.Write("long.mid", Bytes(5000, 0xAA));
    ASSERT_TRUE(SaveMidiFile(s, path));
    EXPECT_EQ(test::ReadFile(path), song);
    // Nothing is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(FileWriterTest, ReadOnlyTargetIsRefusedAndKeptAsItWas) {
    const std::string path = dir.Write("locked.sty", Bytes{1, 2, 3});
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    test.platform.saveAnswers.push_back(path);
    test.platform.okAnswers.push_back(true);
    EXPECT_FALSE(SaveAs(s, SaveKind::Style));
    EXPECT_EQ(test.platform.questions,
              (std::vector<std::string>{"This will replace existing file"}));
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"File may have read-only attribute. Change attribute or "
                                        "choose another name."}));
    EXPECT_EQ(test::ReadFile(path), (Bytes{1, 2, 3}));
    EXPECT_EQ(s.song.lastStyleSaved, "");
}

TEST_F(FileWriterTest, SaveIntoAPipeAsksNothingAndWritesThrough) {
    // Looking for an existing file to replace must not open the pipe: with no other writer that
    // would wait for ever. A pipe is written in place, like a device.
    const std::string path = PathOf("pipe.sty");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    test.platform.saveAnswers.push_back(path);
    EXPECT_EQ(SaveAs(s, SaveKind::Style), path);
    EXPECT_TRUE(test.platform.questions.empty());
    Bytes received(16);
    const ssize_t count = ::read(reader, received.data(), received.size());
    ::close(reader);
    ASSERT_EQ(count, 3);
    received.resize(3);
    EXPECT_EQ(received, (Bytes{'s', 't', 'y'}));
}

TEST_F(FileWriterTest, FullDiskIsReported) {
    EXPECT_FALSE(SaveStyleFile(s, "/dev/full"));
    EXPECT_EQ(test.platform.messages, (std::vector<std::string>{"Disk is full."}));
}

TEST_F(FileWriterTest, MissingFolderIsReportedAndNothingIsCreated) {
    EXPECT_FALSE(SaveMidiFile(s, PathOf("no/such/folder/x.mid")));
    EXPECT_EQ(test.platform.messages, (std::vector<std::string>{"That path doesn't exist."}));
    EXPECT_FALSE(fs::exists(dir.Path() / "no"));
}

TEST_F(FileWriterTest, ReplacedFileKeepsItsPermissions) {
    const std::string path = dir.Write("shared.mid", Bytes{1});
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(SaveMidiFile(s, path));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileWriterTest, ProposedNameCutsTheLastFourCharactersWhateverTheyAre) {
    EXPECT_EQ(ProposedSaveName("C:\\Songs\\tune.sty", "mid"), "C:\\Songs\\tune.mid");
    EXPECT_EQ(ProposedSaveName("/songs/song.mi", "mid"), "/songs/son.mid");
    EXPECT_EQ(ProposedSaveName("abc", "sty"), ".sty");
}

TEST_F(FileWriterTest, SaveDialogIsAskedWithTheKindsFilterAndProposal) {
    SaveAs(s, SaveKind::Midi);
    SaveAs(s, SaveKind::Style);
    ASSERT_EQ(test.platform.saveRequests.size(), 2u);
    EXPECT_EQ(test.platform.saveRequests[0].filter, "Style Files(*.mid)|*.mid|");
    EXPECT_EQ(test.platform.saveRequests[0].defaultExtension, "mid");
    EXPECT_EQ(test.platform.saveRequests[0].proposedName, PathOf("song.mid"));
    EXPECT_EQ(test.platform.saveRequests[1].filter, "Style Files(*.sty)|*.sty|");
    EXPECT_EQ(test.platform.saveRequests[1].proposedName, PathOf("song.sty"));
}

TEST_F(FileWriterTest, CancelledDialogOrQuestionWritesNothing) {
    s.song.lastStyleSaved = "/old.sty";
    EXPECT_FALSE(SaveAs(s, SaveKind::Style));  // dialog cancelled
    const std::string existing = dir.Write("there.sty", Bytes{9});
    test.platform.saveAnswers.push_back(existing);
    test.platform.okAnswers.push_back(false);
    EXPECT_FALSE(SaveAs(s, SaveKind::Style));
    EXPECT_EQ(test::ReadFile(existing), (Bytes{9}));
    EXPECT_EQ(s.song.lastStyleSaved, "/old.sty");
}

TEST_F(FileWriterTest, SavedStyleBecomesTheStyleToPlay) {
    test.platform.saveAnswers.push_back(PathOf("new.sty"));
    EXPECT_EQ(SaveAs(s, SaveKind::Style), PathOf("new.sty"));
    EXPECT_EQ(test::ReadFile(PathOf("new.sty")), (Bytes{'s', 't', 'y'}));
    EXPECT_EQ(s.song.lastStyleSaved, PathOf("new.sty"));
    EXPECT_TRUE(test.platform.questions.empty());
}

TEST_F(FileWriterTest, WorkingMidiFileCommandMakesTheSavedFileTheOpenFile) {
    s.view.caption = "Zephrane   song.mid";
    EXPECT_FALSE(SaveWorkingMidiFile(s));  // cancelled: nothing changes
    EXPECT_EQ(s.song.fileName, PathOf("song.mid"));
    EXPECT_EQ(s.view.caption, "Zephrane   song.mid");

    test.platform.saveAnswers.push_back(PathOf("edited.mid"));
    s.song.isStyleFile = true;
    EXPECT_TRUE(SaveWorkingMidiFile(s));
    EXPECT_EQ(test::ReadFile(PathOf("edited.mid")), song);
    EXPECT_EQ(s.song.fileName, PathOf("edited.mid"));
    EXPECT_EQ(s.view.caption, "Zephrane   edited.mid");
    EXPECT_EQ(s.view.txtFileName, "edited.mid(modified)");
    EXPECT_TRUE(s.song.isStyleFile);  // the kind flags stay

    s.song.fileName.clear();
    EXPECT_FALSE(SaveWorkingMidiFile(s));
    EXPECT_EQ(test.platform.messages.back(),
              "A file has not yet been opened. Click on Open File to identify the file to use.");
}

}  // namespace
}  // namespace zephrane
