#pragma once
// The recent-files list of the File menu: up to four full paths, the most recent first, kept in
// the per-user settings store under application "Zephrane", section "MRUFiles", keys "0".."3".

#include <string>
#include <vector>

namespace zephrane {

struct Session;

inline constexpr size_t kMaxRecentFiles = 4;

struct RecentFiles {
    std::vector<std::string> entries;  // entries[0] is the top of the menu
};

// Reads the stored list; stops at the first missing or empty key, skips repeated paths.
void LoadRecentFiles(Session& session);
// Puts `path` on top: moved there when listed (in any case), else added, dropping the fifth.
void AddRecentFile(Session& session, const std::string& path);
// Stores the list, key "0" for the top entry.
void SaveRecentFiles(Session& session);

}  // namespace zephrane
