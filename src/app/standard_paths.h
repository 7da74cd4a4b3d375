#pragma once
// Where the program's files live on this platform, decided in this one place.
//
// On Windows everything sits in the program's directory and the working file is
// "c:\Zephwork.mid". Elsewhere the settings files stay in the program's directory while it is
// writable, else they go to the per-user configuration folder; the data files come from the
// program's directory, else from the data folder of the installation the program sits in
// (wherever it was moved or staged to), else from the data folder of the prefix it was built for;
// the working file lives in the per-user data folder.

#include <string>

#include "app/platform.h"

namespace zephrane {

inline constexpr char kWorkingFileName[] = "Zephwork.mid";

struct PathEnvironment {
    std::string home;                      // $HOME
    std::string xdgConfigHome;             // $XDG_CONFIG_HOME, may be empty
    std::string xdgDataHome;               // $XDG_DATA_HOME, may be empty
    std::string programSearchPath;         // $PATH, may be empty
    std::string installedDataDirectory;    // the data folder under the prefix built for
    std::string dataDirectoryFromProgram;  // the same folder, relative to the program's directory
    bool programDirectoryWritable = false;

    // The environment of this process for a program in `programDirectory`.
    static PathEnvironment OfThisProcess(const std::string& programDirectory);
};

class StandardPaths : public PathService {
  public:
    StandardPaths(std::string programDirectory, const PathEnvironment& environment);

    // Puts the working file into `folder` instead (the command line's --work-dir).
    void SetWorkingFolder(const std::string& folder);
    // Creates the folders of the settings and the working file when they are missing.
    void CreateFolders() const;

    std::string ProgramDirectory() const override { return programDirectory_; }
    std::string SettingsDirectory() const override { return settingsDirectory_; }
    std::string DataFilePath(const std::string& name) const override;
    std::string WorkingFilePath() const override { return workingFilePath_; }
    std::string ProgramSearchPath() const override { return programSearchPath_; }

  private:
    std::string programDirectory_;
    std::string settingsDirectory_;
    std::string installedDataDirectory_;
    std::string dataDirectoryFromProgram_;
    std::string workingFilePath_;
    std::string programSearchPath_;
};

}  // namespace zephrane
