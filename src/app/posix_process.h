#pragma once
// Starting and awaiting the user's sequencer and style player on a POSIX system.

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

  private:
    // Collects programs started without waiting (the style player) that have ended.
    void ReapFinished();

    std::set<int64_t> running_;
};

}  // namespace zephrane
