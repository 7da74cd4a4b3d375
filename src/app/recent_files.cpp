#include "app/recent_files.h"

#include <algorithm>
#include <cctype>

#include "app/main_window_view.h"
#include "app/session.h"

namespace zephrane {
namespace {

constexpr char kSection[] = "MRUFiles";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The index of `path` in the list, compared without regard to case.
std::vector<std::string>::iterator Find(std::vector<std::string>& entries,
                                        const std::string& path) {
    const std::string wanted = Upper(path);
    return std::find_if(entries.begin(), entries.end(),
                        [&](const std::string& entry) { return Upper(entry) == wanted; });
}

}  // namespace

void LoadRecentFiles(Session& session) {
    std::vector<std::string>& entries = session.recentFiles.entries;
    entries.clear();
    for (size_t key = 0; key < kMaxRecentFiles; ++key) {
        const std::string path = session.platform.settingsStore.ReadSetting(kProgramTitle, kSection,
                                                                            std::to_string(key));
        if (path.empty()) break;
        if (Find(entries, path) == entries.end()) entries.push_back(path);
    }
}

void AddRecentFile(Session& session, const std::string& path) {
    std::vector<std::string>& entries = session.recentFiles.entries;
    const auto listed = Find(entries, path);
    if (listed != entries.end()) entries.erase(listed);
    entries.insert(entries.begin(), path);
    if (entries.size() > kMaxRecentFiles) entries.resize(kMaxRecentFiles);
}

void SaveRecentFiles(Session& session) {
    const std::vector<std::string>& entries = session.recentFiles.entries;
    for (size_t key = 0; key < entries.size(); ++key) {
        session.platform.settingsStore.WriteSetting(kProgramTitle, kSection, std::to_string(key),
                                                    entries[key]);
    }
}

}  // namespace zephrane
