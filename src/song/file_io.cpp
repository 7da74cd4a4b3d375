#include "song/file_io.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "song/error.h"
#include "song/numbers.h"
#include "song/signal_cleanup.h"
#include "song/walker.h"

namespace zephrane {
namespace {

[[noreturn]] void FailFromErrno() {
    Fail(ErrorNumberFromErrno(errno));
}

// New files get the permissions the user's umask allows, as an ordinary create would give them.
mode_t CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Closes a descriptor when it goes out of scope unless released.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int Get() const { return fd_; }
    // Hands the descriptor over to the caller.
    int Release() { return std::exchange(fd_, -1); }
    // Closes now; a failing close (a delayed write error) is a failure of the write.
    void Close() {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) FailFromErrno();
    }

  private:
    int fd_;
};

void WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) continue;
            FailFromErrno();
        }
        written += static_cast<size_t>(count);
    }
}

void WriteInPlace(const std::string& path, std::span<const uint8_t> bytes) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_TRUNC));
    if (file.Get() < 0) FailFromErrno();
    WriteAll(file.Get(), bytes);
    file.Close();
}

// The hidden file of a save, named by the target's name: ".zt" and 16 hex digits, short enough
// for a target whose name is as long as the file system allows.
std::string HiddenNameFor(const std::string& targetName) {
    const uint64_t hash =
        Fnv1a64({reinterpret_cast<const uint8_t*>(targetName.data()), targetName.size()});
    char name[20];
    std::snprintf(name, sizeof name, ".zt%016llx", static_cast<unsigned long long>(hash));
    return name;
}

// True while `fd` is still the file that `path` names (no one removed or replaced it).
bool StillNamedBy(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Removes the hidden file at `path` when it is a leftover of a save that was killed: a running
// save holds its lock, a dead one no longer does. False when a running save owns it (or it
// cannot be removed); true when the name may be tried again.
bool RemoveLeftover(const std::string& path) {
    Descriptor leftover(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (leftover.Get() < 0) return errno == ENOENT;
    if (::flock(leftover.Get(), LOCK_EX | LOCK_NB) != 0) return false;
    if (!StillNamedBy(leftover.Get(), path)) return true;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

// Creates the hidden file of this save at `path`, locked for as long as the save runs; -1 when
// a running save owns that name.
int CreateLocked(const std::string& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        Descriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (file.Get() < 0) {
            if (errno != EEXIST) FailFromErrno();
            if (!RemoveLeftover(path)) return -1;
            continue;
        }
        if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
            // A file system without locks: the name is this save's, though a leftover there can
            // never be told from a running save.
            if (errno != EWOULDBLOCK) return file.Release();
            // Another save took the fresh file for a leftover and is removing it.
            continue;
        }
        if (!StillNamedBy(file.Get(), path)) continue;
        return file.Release();
    }
    return -1;
}

// The file a save writes before it renames it over the target, in the target's folder. Removed
// when the save fails, and when a signal ends the program during the save.
class HiddenFile {
  public:
    HiddenFile(const std::filesystem::path& folder, const std::string& targetName)
        : path_((folder / HiddenNameFor(targetName)).string()), file_(CreateLocked(path_)) {
        if (file_.Get() < 0) {
            // A save of the same name is running: this one takes a name of its own.
            path_ = (folder / ".ztXXXXXX").string();
            file_ = Descriptor(::mkostemp(path_.data(), O_CLOEXEC));
            if (file_.Get() < 0) FailFromErrno();
        }
        removal_.emplace(path_, RemovedOnSignal::Kind::File);
    }
    ~HiddenFile() {
        if (!renamed_) ::unlink(path_.c_str());
    }
    HiddenFile(const HiddenFile&) = delete;
    HiddenFile& operator=(const HiddenFile&) = delete;

    int Get() const { return file_.Get(); }

    // Flushes the bytes to the disk and puts the file in place of `target`. The lock stays on
    // a second descriptor until the file is renamed or removed, so that no other save takes it
    // for a leftover meanwhile.
    void ReplaceTarget(const std::string& target, mode_t mode) {
        if (::fchmod(file_.Get(), mode) != 0 || ::fsync(file_.Get()) != 0) FailFromErrno();
        lock_ = Descriptor(::fcntl(file_.Get(), F_DUPFD_CLOEXEC, 0));
        if (lock_.Get() < 0) FailFromErrno();
        file_.Close();
        // A signal from here on may leave the file; the next save of the target removes it.
        removal_->Release();
        if (::rename(path_.c_str(), target.c_str()) != 0) FailFromErrno();
        renamed_ = true;
    }

  private:
    std::string path_;
    Descriptor file_;
    Descriptor lock_{-1};
    std::optional<RemovedOnSignal> removal_;
    bool renamed_ = false;
};

void WriteBesideAndRename(const std::string& path, std::span<const uint8_t> bytes,
                          const struct stat* existing) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::error_code ignored;
    if (!std::filesystem::is_directory(folder, ignored)) Fail(error_number::kPathNotFound);
    HiddenFile hidden(folder, target.filename().string());
    WriteAll(hidden.Get(), bytes);
    hidden.ReplaceTarget(path, existing ? existing->st_mode & 07777 : 0666 & ~CurrentUmask());
}

[[noreturn]] void RefuseAsTooLarge(const std::string& path) {
    throw FileRefused(path + " is larger than 256 MB: it is not a song or a style.");
}

// A name that cannot be followed to a file: a loop of symbolic links gets its own message.
[[noreturn]] void FailToOpen(const std::string& path) {
    if (errno == ELOOP) throw FileRefused(path + " links to itself in a loop.");
    FailFromErrno();
}

void RefuseUnlessSmallRegularFile(const std::string& path, const struct stat& status) {
    if (S_ISDIR(status.st_mode)) throw FileRefused(path + " is a folder, not a file.");
    if (!S_ISREG(status.st_mode)) throw FileRefused(path + " is a device or a pipe, not a file.");
    if (status.st_size > kLargestInputFile) RefuseAsTooLarge(path);
}

// Reads to the end of the file; `expectedSize` only reserves the room. A file that grows beyond
// `limit` while it is read is refused as too large.
std::vector<uint8_t> ReadToEnd(int fd, int64_t expectedSize, int64_t limit,
                               const std::string& path) {
    std::vector<uint8_t> bytes;
    // The room for the whole file at once: growing while reading would leave up to twice the
    // file allocated for a song the program keeps several images of.
    if (expectedSize > 0) bytes.reserve(static_cast<size_t>(expectedSize));
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) continue;
            FailFromErrno();
        }
        if (count == 0) return bytes;
        if (static_cast<int64_t>(bytes.size()) + count > limit) RefuseAsTooLarge(path);
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
}

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) FailFromErrno();
    return ReadToEnd(file.Get(), 0, std::numeric_limits<int64_t>::max(), path);
}

std::vector<uint8_t> ReadInputFile(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) FailToOpen(path);
    RefuseUnlessSmallRegularFile(path, status);
    // Should a pipe have taken the file's place since, opening it does not wait for a writer.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0) FailToOpen(path);
    if (::fstat(file.Get(), &status) != 0) FailFromErrno();
    RefuseUnlessSmallRegularFile(path, status);
    return ReadToEnd(file.Get(), status.st_size, kLargestInputFile, path);
}

void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) != 0) {
        if (errno != ENOENT) FailFromErrno();
        WriteBesideAndRename(path, bytes, nullptr);
        return;
    }
    if (S_ISDIR(existing.st_mode)) Fail(error_number::kPathFileAccessError);
    if (!S_ISREG(existing.st_mode)) {
        WriteInPlace(path, bytes);
        return;
    }
    // The read-only attribute holds for every user, the administrator included.
    if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        Fail(error_number::kPathFileAccessError);
    }
    // Nor is a file replaced that this user may not write, although the folder would let the
    // rename through and make the user its owner.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) FailFromErrno();
    WriteBesideAndRename(path, bytes, &existing);
}

bool FileCanBeRead(const std::string& path) {
    // Opening a pipe to find out would wait for its writer: only a regular file is looked at.
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

void WriteImageFile(const std::string& path, const ByteImage& image) {
    ByteImage strict = image;
    WriteStatusAfterMetaAndSysEx(strict);
    WriteWholeFile(path, strict.Bytes());
}

}  // namespace zephrane
