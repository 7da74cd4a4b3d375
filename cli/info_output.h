#pragma once
// What `info` prints: the main window's state after the commands ran.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/session.h"

namespace zephrane::cli {

nlohmann::ordered_json InfoJson(const Session& session, const std::vector<std::string>& messages);
std::string InfoText(const Session& session);

}  // namespace zephrane::cli
