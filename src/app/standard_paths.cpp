#include "app/standard_paths.h"

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace zephrane {
namespace {

namespace fs = std::filesystem;

constexpr char kFolderName[] = "Zephrane";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// $XDG_..._HOME when set, else the folder under $HOME that the XDG rules name.
fs::path UserFolder(const std::string& xdgValue, const std::string& home,
                    const char* fallbackUnderHome) {
    if (!xdgValue.empty()) return fs::path(xdgValue) / kFolderName;
    return fs::path(home.empty() ? "." : home) / fallbackUnderHome / kFolderName;
}

}  // namespace

PathEnvironment PathEnvironment::OfThisProcess(const std::string& programDirectory) {
    PathEnvironment environment;
    environment.home = Environment("HOME");
    environment.xdgConfigHome = Environment("XDG_CONFIG_HOME");
    environment.xdgDataHome = Environment("XDG_DATA_HOME");
    environment.programSearchPath = Environment("PATH");
#ifdef ZEPHRANE_INSTALLED_DATA_DIR
    environment.installedDataDirectory = ZEPHRANE_INSTALLED_DATA_DIR;
    environment.dataDirectoryFromProgram = ZEPHRANE_DATA_DIR_FROM_PROGRAM;
#endif
    environment.programDirectoryWritable = ::access(programDirectory.c_str(), W_OK) == 0;
    return environment;
}

StandardPaths::StandardPaths(std::string programDirectory, const PathEnvironment& environment)
    : programDirectory_(std::move(programDirectory)),
      installedDataDirectory_(environment.installedDataDirectory),
      dataDirectoryFromProgram_(environment.dataDirectoryFromProgram),
      programSearchPath_(environment.programSearchPath) {
#ifdef _WIN32
    settingsDirectory_ = programDirectory_;
    workingFilePath_ = "c:\\Zephwork.mid";
#else
    settingsDirectory_ =
        environment.programDirectoryWritable
            ? programDirectory_
            : UserFolder(environment.xdgConfigHome, environment.home, ".config").string();
    workingFilePath_ =
        (UserFolder(environment.xdgDataHome, environment.home, ".local/share") / kWorkingFileName)
            .string();
#endif
}

void StandardPaths::SetWorkingFolder(const std::string& folder) {
    workingFilePath_ = (fs::path(folder) / kWorkingFileName).string();
}

void StandardPaths::CreateFolders() const {
    std::error_code ignored;
    fs::create_directories(settingsDirectory_, ignored);
    fs::create_directories(fs::path(workingFilePath_).parent_path(), ignored);
}

std::string StandardPaths::DataFilePath(const std::string& name) const {
    const fs::path beside = fs::path(programDirectory_) / name;
    std::error_code ignored;
    if (installedDataDirectory_.empty() || fs::exists(beside, ignored)) return beside.string();
    if (!dataDirectoryFromProgram_.empty()) {
        const fs::path inThisInstallation =
            (fs::path(programDirectory_) / dataDirectoryFromProgram_ / name).lexically_normal();
        if (fs::exists(inThisInstallation, ignored)) return inThisInstallation.string();
    }
    return (fs::path(installedDataDirectory_) / name).string();
}

}  // namespace zephrane
