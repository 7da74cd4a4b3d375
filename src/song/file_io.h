#pragma once
// Whole-file reads and writes; failures are thrown as the run-time error of the cause (53 missing
// file, 76 missing folder, 75 read-only or no access, 61 disk full, 57 device error…).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "song/byte_image.h"
#include "song/error.h"

namespace zephrane {

// An input file refused for what it is rather than for a failure of the disk: the message names
// the file and says why, for the musician, and is shown as it is. Callers that know only run-time
// errors see 54 ("Can't open your file").
class FileRefused : public RuntimeError {
  public:
    explicit FileRefused(const std::string& message, int number = error_number::kBadFileMode)
        : RuntimeError(number, message) {}
};

// Far above any song or style (the largest hold a few megabytes), far below what reading the
// file whole into memory could afford.
inline constexpr int64_t kLargestInputFile = int64_t{256} << 20;

// The settings and list files of the program directory, read whole.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// A song or a style, read whole. Only a regular file (or a link to one) of at most 256 MB is
// read: a folder, a device or pipe, a loop of links or a larger file is refused with FileRefused
// before a byte is read, and a pipe is never opened, so nothing waits for a writer. Other failures
// are thrown as the run-time error of their cause.
std::vector<uint8_t> ReadInputFile(const std::string& path);

// Replaces `path` with exactly `bytes`. A regular file is written beside the target, flushed to
// the disk and renamed over it, so that a failure leaves an existing file as it was; a read-only
// target is refused (75) before anything is written. Devices are written in place.
void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// True when a regular file of that name exists and may be read; a pipe or a device is never
// opened to find out.
bool FileCanBeRead(const std::string& path);

// Writes a song or style image as WriteWholeFile does, with the running status after a meta or
// system-exclusive event spelled out. A song loaded as it is (`--raw`) may use it there; the
// prepared song and the styles made from it never do, and are written byte for byte.
void WriteImageFile(const std::string& path, const ByteImage& image);

}  // namespace zephrane
