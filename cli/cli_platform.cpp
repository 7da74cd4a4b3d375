#include "cli/cli_platform.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace zephrane::cli {

CliPlatform::CliPlatform(std::string workingFilePath, bool answerOk)
    : workingFilePath_(std::move(workingFilePath)), answerOk_(answerOk) {}

void CliPlatform::ShowMessage(const std::string& text) {
    messages_.push_back(text);
    std::cerr << text << '\n';
}

bool CliPlatform::AskOkCancel(const std::string& text) {
    ShowMessage(text);
    return answerOk_;
}

std::optional<std::string> CliPlatform::ChooseFileToOpen(const FileDialogRequest&) {
    if (fileToOpen_.empty()) return std::nullopt;
    return fileToOpen_;
}

std::optional<std::string> CliPlatform::ChooseFileToSave(const FileDialogRequest&) {
    if (fileToSave_.empty()) return std::nullopt;
    return fileToSave_;
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

std::string CliPlatform::ProgramDirectory() const {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path().string() : self.parent_path().string();
}

std::string DefaultWorkDirectory() {
    if (const char* dataHome = std::getenv("XDG_DATA_HOME"); dataHome && *dataHome) {
        return (std::filesystem::path(dataHome) / "Zephrane").string();
    }
    const char* home = std::getenv("HOME");
    const std::filesystem::path base = home && *home ? home : ".";
    return (base / ".local" / "share" / "Zephrane").string();
}

}  // namespace zephrane::cli
