#pragma once
// The section marks of the command line: --mark "Main A=9-16" and --plan PLAN.json, the plan in
// the form `suggest --json` prints it.

#include <string>
#include <vector>

#include "sections/section_plan.h"

namespace zephrane::cli {

// One --mark value, "SECTION=FIRST-LAST" or "SECTION=MEASURE", the section named as a button
// or a style names it. A value of another form or an unknown section is a UsageError.
PlannedSection ParseMark(const std::string& value);

// The "sections" of a plan file, each with "section", "first", "last" and, when it gives one, the
// "chord" it was played over; the other fields are not needed to mark. A file that cannot be read
// or used is a UsageError.
SectionPlan ReadPlanFile(const std::string& path);

// The marks of a run: the plan file's, then those of --mark in their order.
SectionPlan MarksOfRun(const std::string& planFile, const std::vector<std::string>& marks);

}  // namespace zephrane::cli
