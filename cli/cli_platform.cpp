#include "cli/cli_platform.h"

#include <filesystem>
#include <iostream>

#include "song/error.h"

namespace zephrane::cli {
namespace {

std::string ProgramDirectory() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path().string() : self.parent_path().string();
}

}  // namespace

CliPlatform::CliPlatform(const std::string& workFolder, bool answerOk)
    : paths_(ProgramDirectory(), PathEnvironment::OfThisProcess(ProgramDirectory())),
      answerOk_(answerOk) {
    paths_.SetWorkingFolder(workFolder);
}

void CliPlatform::ShowMessage(const std::string& text) {
    messages_.push_back(text);
    std::cerr << text << '\n';
}

bool CliPlatform::AskOkCancel(const std::string& text) {
    ShowMessage(text);
    return answerOk_;
}

// A batch run starts no sequencer or style player.
int64_t CliPlatform::StartProcess(const std::vector<std::string>&) {
    Fail(error_number::kDeviceUnavailable);
}

std::string CliPlatform::ReadSetting(const std::string& application, const std::string& section,
                                     const std::string& key) {
    const auto found = store_.find(application + "\n" + section + "\n" + key);
    return found == store_.end() ? "" : found->second;
}

void CliPlatform::WriteSetting(const std::string& application, const std::string& section,
                               const std::string& key, const std::string& value) {
    store_[application + "\n" + section + "\n" + key] = value;
}

}  // namespace zephrane::cli
