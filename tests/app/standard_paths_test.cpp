#include "app/standard_paths.h"

#include <gtest/gtest.h>

#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

PathEnvironment Environment(bool writable) {
    PathEnvironment environment;
    environment.home = "/home/ann";
    environment.installedDataDirectory = "/usr/share/zephrane";
    environment.dataDirectoryFromProgram = "../share/zephrane";
    environment.programDirectoryWritable = writable;
    return environment;
}

TEST(StandardPaths, SettingsStayBesideAWritableProgram) {
    const StandardPaths paths("/opt/zephrane", Environment(true));
    EXPECT_EQ(paths.SettingsDirectory(), "/opt/zephrane");
    EXPECT_EQ(paths.WorkingFilePath(), "/home/ann/.local/share/Zephrane/Zephwork.mid");
}

TEST(StandardPaths, ReadOnlyProgramFolderSendsSettingsToTheUsersConfiguration) {
    PathEnvironment environment = Environment(false);
    EXPECT_EQ(StandardPaths("/usr/bin", environment).SettingsDirectory(),
              "/home/ann/.config/Zephrane");
    environment.xdgConfigHome = "/cfg";
    environment.xdgDataHome = "/data";
    const StandardPaths paths("/usr/bin", environment);
    EXPECT_EQ(paths.SettingsDirectory(), "/cfg/Zephrane");
    EXPECT_EQ(paths.WorkingFilePath(), "/data/Zephrane/Zephwork.mid");
}

TEST(StandardPaths, DataFilesComeFromTheProgramFolderElseTheInstalledOne) {
    test::TempDir program;
    const StandardPaths paths(program.Path().string(), Environment(true));
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), "/usr/share/zephrane/cbo3.dat");
    program.Write("cbo3.dat", {'x'});
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), (program.Path() / "cbo3.dat").string());
}

// A staged (DESTDIR) or moved installation: <root>/usr/bin beside <root>/usr/share/zephrane.
TEST(StandardPaths, DataFilesComeFromTheInstallationTheProgramSitsIn) {
    test::TempDir root;
    const std::filesystem::path program = root.Path() / "usr" / "bin";
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(root.Path() / "usr" / "share" / "zephrane");
    const StandardPaths paths(program.string(), Environment(false));
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), "/usr/share/zephrane/cbo3.dat");
    root.Write("usr/share/zephrane/cbo3.dat", {'x'});
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"),
              (root.Path() / "usr" / "share" / "zephrane" / "cbo3.dat").string());
    root.Write("usr/bin/cbo3.dat", {'x'});
    EXPECT_EQ(paths.DataFilePath("cbo3.dat"), (program / "cbo3.dat").string());
}

TEST(StandardPaths, WorkFolderOverrideAndFolderCreation) {
    test::TempDir root;
    PathEnvironment environment = Environment(false);
    environment.xdgConfigHome = (root.Path() / "cfg").string();
    StandardPaths paths("/usr/bin", environment);
    paths.SetWorkingFolder((root.Path() / "work").string());
    paths.CreateFolders();
    EXPECT_EQ(paths.WorkingFilePath(), (root.Path() / "work" / "Zephwork.mid").string());
    EXPECT_TRUE(std::filesystem::is_directory(root.Path() / "work"));
    EXPECT_TRUE(std::filesystem::is_directory(root.Path() / "cfg" / "Zephrane"));
}

}  // namespace
}  // namespace zephrane
