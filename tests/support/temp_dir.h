#pragma once
// A scratch folder per test, removed afterwards.

#include <filesystem>
#include <string>

#include "support/midi_builder.h"

namespace zephrane::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` to a file of that name in the folder; its full path.
    std::string Write(const std::string& name, const Bytes& bytes) const;

  private:
    std::filesystem::path path_;
};

Bytes ReadFile(const std::string& path);

}  // namespace zephrane::test
