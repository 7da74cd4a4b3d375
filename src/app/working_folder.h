#pragma once
// The folder of the working file, held by one session alone. Every command writes the working
// file and loads it again, so two sessions sharing the folder would load each other's songs.
// A session either holds a folder it was given (an advisory lock on "Zephwork.lock" in it, kept
// for the session's lifetime and given up by the system when the program ends in any way) or
// works in a fresh private folder that is removed when it ends.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "song/signal_cleanup.h"

namespace zephrane {

inline constexpr char kWorkingFolderLockName[] = "Zephwork.lock";
// How long a command-line run waits for another run to give up the folder.
inline constexpr std::chrono::seconds kWorkingFolderPatience{10};

// What a run is told when another run keeps its working folder.
std::string WorkingFolderInUseMessage(const std::string& folder);
// What a second window is told when another window works in the usual folder.
std::string AnotherWindowMessage(const std::string& folder, const std::string& ownFolder);

class WorkingFolder {
  public:
    // Holds `folder` (created when missing) for this session, waiting up to `patience` while
    // another session holds it; nothing when that session keeps it longer. A folder where the
    // lock file cannot be made is not held: nothing can be written there anyway, and the
    // working file's own write reports why.
    static std::optional<WorkingFolder> Hold(const std::string& folder,
                                             std::chrono::milliseconds patience);
    // A new empty folder in the system's temporary folder; a RuntimeError when none can be made.
    static WorkingFolder Fresh();

    WorkingFolder(WorkingFolder&& other) noexcept;
    WorkingFolder& operator=(WorkingFolder&& other) noexcept;
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    // Gives up the lock, or removes the fresh folder with everything in it.
    ~WorkingFolder();

    const std::string& Path() const { return path_; }

  private:
    WorkingFolder(std::string path, int lockFd, bool fresh);
    void GiveUp();

    std::string path_;
    int lockFd_;
    bool fresh_;
    // A fresh folder's working file and the folder itself, removed on an ending signal.
    std::unique_ptr<RemovedOnSignal> freshFile_;
    std::unique_ptr<RemovedOnSignal> freshFolder_;
};

class StandardPaths;

// The folder a window of the desktop program works in: the usual one of `paths`, or, while
// another window holds that, a fresh one that `paths` is pointed at; `notice` then receives the
// message to show. The second window goes on working rather than refusing: nothing the user
// opens is kept in the working folder, so nothing is lost, and a song opened from the file
// manager while a window is open still opens.
WorkingFolder WindowWorkingFolder(StandardPaths& paths, std::string& notice);

}  // namespace zephrane
