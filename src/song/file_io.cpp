#include "song/file_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>

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

}  // namespace zephrane
