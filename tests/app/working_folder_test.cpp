// A window holds the usual working folder; a second window, finding it held, works in a fresh
// folder of its own, removed when it closes, and says so. (How a folder is held, waited for and
// refused is run end to end through the command line.)

#include "app/working_folder.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/standard_paths.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

TEST(WindowWorkingFolderTest, TheFirstWindowHoldsTheUsualFolderQuietlyASecondIsToldAndMovesOut) {
    test::TempDir dir;
    PathEnvironment environment;
    environment.xdgDataHome = (dir.Path() / "data").string();
    StandardPaths firstPaths(dir.Path().string(), environment);
    StandardPaths secondPaths(dir.Path().string(), environment);
    const std::string usual = (dir.Path() / "data" / "Zephrane").string();
    std::string firstNotice;
    std::string secondNotice;
    const WorkingFolder first = WindowWorkingFolder(firstPaths, firstNotice);
    EXPECT_EQ(first.Path(), usual);
    EXPECT_EQ(firstNotice, "");
    std::string fresh;
    {
        const WorkingFolder second = WindowWorkingFolder(secondPaths, secondNotice);
        fresh = second.Path();
        EXPECT_NE(fresh, usual);
        EXPECT_EQ(secondPaths.WorkingFilePath(), fresh + "/Zephwork.mid");
        EXPECT_EQ(secondNotice, AnotherWindowMessage(usual, fresh));
        EXPECT_EQ(firstPaths.WorkingFilePath(), usual + "/Zephwork.mid");
    }
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(AnotherWindowMessage("/home/u/.local/share/Zephrane", "/tmp/zephrane-a1b2c3"),
              "Another Zephrane window is open on the working folder "
              "/home/u/.local/share/Zephrane. This window keeps its working file in a folder of "
              "its own, /tmp/zephrane-a1b2c3, which is removed when the window closes.");
}

}  // namespace
}  // namespace zephrane
