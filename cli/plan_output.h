#pragma once
// What `suggest` prints: the section plan proposed for the song and the chords it plays.

#include <nlohmann/json.hpp>

#include "sections/section_plan.h"

namespace zephrane::cli {

// {"measures": N, "chords": [{"measure", "beat", "chord"}…], "sections": [{"section", "first",
// "last", "chord", "confidence", "reason"}…]}: the form `--plan` reads back.
nlohmann::ordered_json PlanJson(const SectionPlan& plan);

}  // namespace zephrane::cli
