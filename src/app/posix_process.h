#pragma once
// Starting, watching and stopping the user's sequencer, the style player and the preview on a
// POSIX system.

#include <map>
#include <set>

#include "app/platform.h"

namespace zephrane {

class PosixProcessService : public ProcessService {
  public:
    ~PosixProcessService() override;

    int64_t StartProcess(const std::vector<std::string>& arguments) override;
    bool WaitForExit(int64_t processId, int timeoutMs) override;
    // A program without a window has no events to process.
    void ProcessPendingEvents() override {}
    int64_t StartWatchedProcess(const std::vector<std::string>& arguments) override;
    std::optional<ProgramEnd> PollExit(int64_t processId) override;
    void StopProcess(int64_t processId) override;

  private:
    // Collects programs of StartProcess that ended while nobody waited for them.
    void ReapFinished();

    std::set<int64_t> running_;  // started by StartProcess
    // The standard error of each watched program: an unlinked temporary file, open for reading.
    std::map<int64_t, int> errorFiles_;
};

}  // namespace zephrane
