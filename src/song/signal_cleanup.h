#pragma once
// Files that exist only while an operation runs (the hidden file of a save, a run's private
// working folder) are removed when SIGINT, SIGTERM or SIGHUP ends the program, so that a user
// who interrupts a save finds nothing of it left. SIGKILL cannot be caught; what it leaves is
// found again by the next save of the same target.

#include <string>

namespace zephrane {

class RemovedOnSignal {
  public:
    enum class Kind { File, Folder };

    // From now on an ending signal removes `path` (a folder once it is empty). Installs the
    // handlers of the signals that are not ignored. Up to eight paths of up to 4095 bytes are
    // kept; beyond that a path is simply not removed.
    RemovedOnSignal(const std::string& path, Kind kind);
    // The path is no longer removed on a signal.
    ~RemovedOnSignal() { Release(); }
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

    // Stops removing the path before it stops being ours (before a rename hands it over).
    void Release();

  private:
    int slot_;
};

}  // namespace zephrane
