#include "app/posix_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "song/error.h"

extern char** environ;

namespace zephrane {
namespace {

// A message box shows the end of a long error output: the last lines say why a program gave up.
constexpr off_t kKeptErrorBytes = 8192;

// Starts arguments[0], looked up on $PATH when it names no folder, with `actions` applied.
pid_t Spawn(const std::vector<std::string>& arguments, const posix_spawn_file_actions_t* actions) {
    if (arguments.empty()) Fail(error_number::kFileNotFound);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t processId = 0;
    const int error = ::posix_spawnp(&processId, argv[0], actions, nullptr, argv.data(), environ);
    if (error != 0) Fail(ErrorNumberFromErrno(error));
    return processId;
}

// A temporary file that disappears with its last descriptor; closed in programs started later.
int AnonymousFile() {
    std::string name = (std::filesystem::temp_directory_path() / "zephrane-XXXXXX").string();
    const int file = ::mkostemp(name.data(), O_CLOEXEC);
    if (file < 0) Fail(ErrorNumberFromErrno(errno));
    ::unlink(name.c_str());
    return file;
}

// The last kKeptErrorBytes of `file`, from the start of a line when cut.
std::string ErrorTail(int file) {
    struct stat status {};
    if (::fstat(file, &status) != 0) return "";
    const off_t from = status.st_size > kKeptErrorBytes ? status.st_size - kKeptErrorBytes : 0;
    std::string text(static_cast<size_t>(status.st_size - from), '\0');
    const ssize_t read = ::pread(file, text.data(), text.size(), from);
    text.resize(read > 0 ? static_cast<size_t>(read) : 0);
    if (from > 0) text.erase(0, text.find('\n') == std::string::npos ? 0 : text.find('\n') + 1);
    return text;
}

// 128 + the signal's number for a program a signal ended, as a shell reports it.
int ExitStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return 0;
}

}  // namespace

PosixProcessService::~PosixProcessService() {
    ReapFinished();
    for (const auto& [processId, file] : errorFiles_)
        ::close(file);
}

int64_t PosixProcessService::StartProcess(const std::vector<std::string>& arguments) {
    ReapFinished();
    const pid_t processId = Spawn(arguments, nullptr);
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

int64_t PosixProcessService::StartWatchedProcess(const std::vector<std::string>& arguments) {
    ReapFinished();
    const int errorFile = AnonymousFile();
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, errorFile, STDERR_FILENO);
    pid_t processId = 0;
    try {
        processId = Spawn(arguments, &actions);
    } catch (...) {
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(errorFile);
        throw;
    }
    ::posix_spawn_file_actions_destroy(&actions);
    errorFiles_[processId] = errorFile;
    return processId;
}

std::optional<ProgramEnd> PosixProcessService::PollExit(int64_t processId) {
    const auto errorFile = errorFiles_.find(processId);
    if (errorFile == errorFiles_.end()) return ProgramEnd{};  // not watched: nothing runs
    int status = 0;
    const pid_t done = ::waitpid(static_cast<pid_t>(processId), &status, WNOHANG);
    if (done == 0) return std::nullopt;
    const ProgramEnd end{done == processId ? ExitStatus(status) : 0, ErrorTail(errorFile->second)};
    ::close(errorFile->second);
    errorFiles_.erase(errorFile);
    return end;
}

void PosixProcessService::StopProcess(int64_t processId) {
    // Only a watched program that has not been collected: its id cannot belong to another yet.
    if (errorFiles_.count(processId) != 0) ::kill(static_cast<pid_t>(processId), SIGTERM);
}

void PosixProcessService::ReapFinished() {
    for (auto it = running_.begin(); it != running_.end();) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(*it), &status, WNOHANG);
        it = done == 0 ? std::next(it) : running_.erase(it);
    }
}

}  // namespace zephrane
