#pragma once
// Whole-file reads and writes; failures are thrown as the run-time error of the cause (53 missing
// file, 76 missing folder, 75 read-only or no access, 61 disk full, 57 device error…).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zephrane {

std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Replaces `path` with exactly `bytes`. A regular file is written beside the target, flushed to
// the disk and renamed over it, so that a failure leaves an existing file as it was; a read-only
// target is refused (75) before anything is written. Devices are written in place.
void WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// True when a file of that name exists and can be opened for reading.
bool FileCanBeRead(const std::string& path);

}  // namespace zephrane
