#pragma once
// What `info` prints: the main window's state after the commands ran.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/session.h"
#include "sections/section_plan.h"

namespace zephrane::cli {

// Chord changes as `info` and `suggest` print them: [{"measure": M, "beat": B, "chord": "Gm7"}, …].
nlohmann::ordered_json ChordChangesJson(const std::vector<ChordChange>& changes);

// The view's chords must be found first (RefreshChords).
nlohmann::ordered_json InfoJson(const Session& session, const std::vector<std::string>& messages);
std::string InfoText(const Session& session);

}  // namespace zephrane::cli
