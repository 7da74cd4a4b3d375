// The working folder is held by one session at a time: a second session waits for it, then is
// refused with a message naming the folder; a session without a folder of its own works in a
// fresh one that leaves nothing behind.

#include "app/working_folder.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/standard_paths.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class WorkingFolderTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    const std::string work = (dir.Path() / "work").string();
};

TEST_F(WorkingFolderTest, HoldingMakesAMissingFolderWithItsLockFileOnly) {
    const auto held = WorkingFolder::Hold(work, milliseconds(0));
    ASSERT_TRUE(held);
    EXPECT_EQ(held->Path(), work);
    EXPECT_EQ(NamesIn(work), std::vector<std::string>{"Zephwork.lock"});
}

TEST_F(WorkingFolderTest, ASecondSessionIsRefusedWhileTheFirstHoldsTheFolder) {
    const auto first = WorkingFolder::Hold(work, milliseconds(0));
    ASSERT_TRUE(first);
    EXPECT_FALSE(WorkingFolder::Hold(work, milliseconds(300)));
    EXPECT_EQ(WorkingFolderInUseMessage(work),
              "The working folder " + work +
                  " is in use by another run of Zephrane. Wait until it ends or choose another "
                  "working folder.");
}

TEST_F(WorkingFolderTest, ASecondSessionWaitsUntilTheFirstGivesTheFolderUp) {
    auto first = WorkingFolder::Hold(work, milliseconds(0));
    ASSERT_TRUE(first);
    std::thread firstEnds([&] {
        std::this_thread::sleep_for(milliseconds(300));
        first.reset();
    });
    const auto second = WorkingFolder::Hold(work, std::chrono::seconds(30));
    firstEnds.join();
    EXPECT_TRUE(second);
}

TEST_F(WorkingFolderTest, AFolderGivenUpCanBeHeldAgainAtOnce) {
    { ASSERT_TRUE(WorkingFolder::Hold(work, milliseconds(0))); }
    EXPECT_TRUE(WorkingFolder::Hold(work, milliseconds(0)));
}

// A folder where no lock file can be made cannot take a working file either; the write of the
// working file reports that, so the folder is not refused here.
TEST_F(WorkingFolderTest, AFolderWhereNoLockFileCanBeMadeIsNotRefused) {
    const std::string file = dir.Write("not-a-folder", {1});
    const auto held = WorkingFolder::Hold(file, milliseconds(0));
    ASSERT_TRUE(held);
    EXPECT_EQ(held->Path(), file);
}

TEST_F(WorkingFolderTest, AFreshFolderIsEmptyOwnAndRemovedWithItsFilesAtTheEnd) {
    std::string path;
    {
        const WorkingFolder fresh = WorkingFolder::Fresh();
        const WorkingFolder other = WorkingFolder::Fresh();
        path = fresh.Path();
        EXPECT_NE(path, other.Path());
        EXPECT_TRUE(fs::is_directory(path));
        EXPECT_TRUE(fs::is_empty(path));
        std::ofstream(fs::path(path) / "Zephwork.mid") << "MThd";
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(WorkingFolderTest, AFreshFolderIsRemovedWhenTheProgramIsTerminated) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGTERM, SIG_DFL);
        const WorkingFolder fresh = WorkingFolder::Fresh();
        std::ofstream(fs::path(fresh.Path()) / "Zephwork.mid") << "MThd";
        const std::string path = fresh.Path() + "\n";
        if (::write(pipeEnds[1], path.data(), path.size()) < 0) ::_exit(1);
        ::raise(SIGTERM);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string path;
    char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1 && byte != '\n')
        path += byte;
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);

    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_FALSE(fs::exists(path));
}

class WindowWorkingFolderTest : public WorkingFolderTest {
  protected:
    StandardPaths Paths() const {
        PathEnvironment environment;
        environment.xdgDataHome = (dir.Path() / "data").string();
        return StandardPaths(dir.Path().string(), environment);
    }
    const std::string usual = (dir.Path() / "data" / "Zephrane").string();
};

TEST_F(WindowWorkingFolderTest, TheFirstWindowHoldsTheUsualFolderQuietly) {
    StandardPaths paths = Paths();
    std::string notice;
    const WorkingFolder folder = WindowWorkingFolder(paths, notice);
    EXPECT_EQ(folder.Path(), usual);
    EXPECT_EQ(paths.WorkingFilePath(), usual + "/Zephwork.mid");
    EXPECT_EQ(notice, "");
    EXPECT_FALSE(WorkingFolder::Hold(usual, milliseconds(0)));
}

TEST_F(WindowWorkingFolderTest, ASecondWindowIsToldAndWorksInAFreshFolder) {
    StandardPaths firstPaths = Paths();
    StandardPaths secondPaths = Paths();
    std::string firstNotice;
    std::string secondNotice;
    const WorkingFolder first = WindowWorkingFolder(firstPaths, firstNotice);
    std::string fresh;
    {
        const WorkingFolder second = WindowWorkingFolder(secondPaths, secondNotice);
        fresh = second.Path();
        EXPECT_NE(fresh, usual);
        EXPECT_EQ(secondPaths.WorkingFilePath(), fresh + "/Zephwork.mid");
        EXPECT_EQ(secondNotice, AnotherWindowMessage(usual, fresh));
        EXPECT_EQ(firstPaths.WorkingFilePath(), usual + "/Zephwork.mid");
    }
    EXPECT_FALSE(fs::exists(fresh));
}

TEST(AnotherWindowMessageTest, NamesBothFolders) {
    EXPECT_EQ(AnotherWindowMessage("/home/u/.local/share/Zephrane", "/tmp/zephrane-a1b2c3"),
              "Another Zephrane window is open on the working folder "
              "/home/u/.local/share/Zephrane. This window keeps its working file in a folder of "
              "its own, /tmp/zephrane-a1b2c3, which is removed when the window closes.");
}

}  // namespace
}  // namespace zephrane
