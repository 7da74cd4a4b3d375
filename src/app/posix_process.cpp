#include "app/posix_process.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "song/error.h"

extern char** environ;

namespace zephrane {

PosixProcessService::~PosixProcessService() {
    ReapFinished();
}

int64_t PosixProcessService::StartProcess(const std::vector<std::string>& arguments) {
    ReapFinished();
    if (arguments.empty()) Fail(error_number::kFileNotFound);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t processId = 0;
    const int error = ::posix_spawnp(&processId, argv[0], nullptr, nullptr, argv.data(), environ);
    if (error != 0) Fail(ErrorNumberFromErrno(error));
    running_.insert(processId);
    return processId;
}

bool PosixProcessService::WaitForExit(int64_t processId, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(processId), &status, WNOHANG);
        if (done == processId || (done < 0 && errno == ECHILD)) {
            running_.erase(processId);
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void PosixProcessService::ReapFinished() {
    for (auto it = running_.begin(); it != running_.end();) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(*it), &status, WNOHANG);
        it = done == 0 ? std::next(it) : running_.erase(it);
    }
}

}  // namespace zephrane
