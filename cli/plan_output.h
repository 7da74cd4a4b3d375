#pragma once
// What `suggest` prints: the section plan proposed for the song and the chords it plays.

#include <string>

#include <nlohmann/json.hpp>

#include "sections/section_plan.h"

namespace zephrane::cli {

// {"measures": N, "chords": [{"measure", "beat", "chord"}…], "sections": [{"section", "first",
// "last", "chord", "confidence", "reason"}…]}: the form `--plan` reads back.
nlohmann::ordered_json PlanJson(const SectionPlan& plan);
// One line per section: its key, its measures, the confidence and the reason.
std::string PlanText(const SectionPlan& plan);

}  // namespace zephrane::cli
