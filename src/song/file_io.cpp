#include "song/file_io.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
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
    std::string hiddenName(1, '.');
    hiddenName += target.filename().string();
    hiddenName += ".XXXXXX";
    std::string temporary = (folder / hiddenName).string();
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

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    errno = 0;
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) FailFromErrno();
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + count);
    }
    if (std::ferror(file.get())) FailFromErrno();
    return bytes;
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
