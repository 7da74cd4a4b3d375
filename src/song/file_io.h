#pragma once
// Whole-file reads for the loaders; failures are thrown as the run-time error of the cause
// (53 missing file, 76 missing folder, 75 no access, 57 device error…).

#include <cstdint>
#include <string>
#include <vector>

namespace zephrane {

std::vector<uint8_t> ReadWholeFile(const std::string& path);

}  // namespace zephrane
