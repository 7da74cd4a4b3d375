#include "song/file_io.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/error_report.h"

namespace zephrane {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

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
    int Get() const { return fd_; }
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

void WriteBesideAndRename(const std::string& path, std::span<const uint8_t> bytes,
                          const struct stat* existing) {
    const std::filesystem::path target(path);
    const std::filesystem::path folder =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::error_code ignored;
    if (!std::filesystem::is_directory(folder, ignored)) Fail(error_number::kPathNotFound);
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    Descriptor file(::mkstemp(temporary.data()));
    if (file.Get() < 0) FailFromErrno();
    try {
        WriteAll(file.Get(), bytes);
        const mode_t mode = existing ? existing->st_mode & 07777 : 0666 & ~CurrentUmask();
        if (::fchmod(file.Get(), mode) != 0 || ::fsync(file.Get()) != 0) FailFromErrno();
        file.Close();
        if (::rename(temporary.c_str(), path.c_str()) != 0) FailFromErrno();
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
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
    WriteBesideAndRename(path, bytes, &existing);
}

bool FileCanBeRead(const std::string& path) {
    FileHandle file(std::fopen(path.c_str(), "rb"));
    return file != nullptr;
}

}  // namespace zephrane
