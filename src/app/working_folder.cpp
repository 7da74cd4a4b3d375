#include "app/working_folder.h"

#include <cerrno>
#include <filesystem>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "app/standard_paths.h"
#include "song/error.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kRetryInterval{100};

// The lock file, opened for writing where possible; -1 when it can be neither made nor read.
int OpenLockFile(const fs::path& folder) {
    const std::string lockPath = (folder / kWorkingFolderLockName).string();
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    return fd >= 0 ? fd : ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
}

// Takes the lock on `fd`, trying again until `patience` has passed; false while another
// session keeps it. A file system without locks counts as taken.
bool TakeLock(int fd, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kRetryInterval);
    }
    return true;
}

}  // namespace

std::string WorkingFolderInUseMessage(const std::string& folder) {
    return "The working folder " + folder +
           " is in use by another run of Zephrane. Wait until it ends or choose another working "
           "folder.";
}

std::string AnotherWindowMessage(const std::string& folder, const std::string& ownFolder) {
    return "Another Zephrane window is open on the working folder " + folder +
           ". This window keeps its working file in a folder of its own, " + ownFolder +
           ", which is removed when the window closes.";
}

std::optional<WorkingFolder> WorkingFolder::Hold(const std::string& folder,
                                                 std::chrono::milliseconds patience) {
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    const int lockFd = OpenLockFile(folder);
    if (lockFd >= 0 && !TakeLock(lockFd, patience)) {
        ::close(lockFd);
        return std::nullopt;
    }
    return WorkingFolder(folder, lockFd, false);
}

WorkingFolder WorkingFolder::Fresh() {
    std::error_code error;
    const fs::path temporary = fs::temp_directory_path(error);
    std::string path = ((error ? fs::path("/tmp") : temporary) / "zephrane-XXXXXX").string();
    if (::mkdtemp(path.data()) == nullptr) Fail(ErrorNumberFromErrno(errno));
    return WorkingFolder(std::move(path), -1, true);
}

WorkingFolder::WorkingFolder(std::string path, int lockFd, bool fresh)
    : path_(std::move(path)), lockFd_(lockFd), fresh_(fresh) {
    if (!fresh_) return;
    freshFile_ = std::make_unique<RemovedOnSignal>((fs::path(path_) / kWorkingFileName).string(),
                                                   RemovedOnSignal::Kind::File);
    freshFolder_ = std::make_unique<RemovedOnSignal>(path_, RemovedOnSignal::Kind::Folder);
}

WorkingFolder::WorkingFolder(WorkingFolder&& other) noexcept
    : path_(std::move(other.path_)),
      lockFd_(std::exchange(other.lockFd_, -1)),
      fresh_(std::exchange(other.fresh_, false)),
      freshFile_(std::move(other.freshFile_)),
      freshFolder_(std::move(other.freshFolder_)) {}

WorkingFolder& WorkingFolder::operator=(WorkingFolder&& other) noexcept {
    if (this == &other) return *this;
    GiveUp();
    path_ = std::move(other.path_);
    lockFd_ = std::exchange(other.lockFd_, -1);
    fresh_ = std::exchange(other.fresh_, false);
    freshFile_ = std::move(other.freshFile_);
    freshFolder_ = std::move(other.freshFolder_);
    return *this;
}

WorkingFolder::~WorkingFolder() {
    GiveUp();
}

void WorkingFolder::GiveUp() {
    // The lock file stays: removing it would let a session that waits on it hold a file that
    // the next session no longer sees.
    if (lockFd_ >= 0) ::close(std::exchange(lockFd_, -1));
    if (std::exchange(fresh_, false)) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

WorkingFolder WindowWorkingFolder(StandardPaths& paths, std::string& notice) {
    const std::string usualFolder = fs::path(paths.WorkingFilePath()).parent_path().string();
    std::optional<WorkingFolder> usual =
        WorkingFolder::Hold(usualFolder, std::chrono::milliseconds(0));
    if (usual) return std::move(*usual);
    WorkingFolder fresh = WorkingFolder::Fresh();
    paths.SetWorkingFolder(fresh.Path());
    notice = AnotherWindowMessage(usualFolder, fresh.Path());
    return fresh;
}

}  // namespace zephrane
