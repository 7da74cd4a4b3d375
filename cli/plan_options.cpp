#include "cli/plan_options.h"

#include <charconv>
#include <fstream>
#include <limits>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "cli/edit_files.h"
#include "sections/section_marks.h"

namespace zephrane::cli {
namespace {

using nlohmann::json;

void CheckSectionName(const std::string& name, const std::string& where) {
    if (SectionByKeyOrName(name) == nullptr) {
        throw UsageError("unknown section \"" + name + "\" in " + where);
    }
}

// A measure number of digits only; nothing for anything else.
std::optional<int> MeasureNumber(std::string_view digits) {
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
        number < 0) {
        return std::nullopt;
    }
    return number;
}

int MeasureField(const json& mark, const char* field, const std::string& path) {
    const json value = mark.value(field, json());
    if (!value.is_number_integer() || value.get<int64_t>() < 0 ||
        value.get<int64_t>() > std::numeric_limits<int>::max()) {
        throw UsageError(path + ": \"" + field + "\" must be a measure number, a whole number " +
                         "from 0");
    }
    return value.get<int>();
}

}  // namespace

PlannedSection ParseMark(const std::string& value) {
    const size_t equals = value.rfind('=');
    const std::string form = "--mark \"" + value + "\"";
    if (equals == std::string::npos) {
        throw UsageError(form + ": expected SECTION=FIRST-LAST, as \"Main A=9-16\"");
    }
    PlannedSection mark;
    mark.section = value.substr(0, equals);
    CheckSectionName(mark.section, form);
    const std::string_view range = std::string_view(value).substr(equals + 1);
    const size_t dash = range.find('-');
    const std::optional<int> first = MeasureNumber(range.substr(0, dash));
    const std::optional<int> last =
        dash == std::string_view::npos ? first : MeasureNumber(range.substr(dash + 1));
    if (!first || !last) {
        throw UsageError(form +
                         ": the measures must be FIRST-LAST or one MEASURE, whole numbers "
                         "from 0");
    }
    mark.first = *first;
    mark.last = *last;
    return mark;
}

SectionPlan ReadPlanFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw UsageError("cannot read " + path);
    json plan;
    try {
        plan = json::parse(in);
    } catch (const json::exception& error) {
        throw UsageError(path + " is not valid JSON: " + error.what());
    }
    if (!plan.is_object() || !plan.contains("sections") || !plan["sections"].is_array()) {
        throw UsageError(path + " has no \"sections\" list");
    }
    SectionPlan read;
    for (const json& mark : plan["sections"]) {
        if (!mark.is_object() || !mark.value("section", json()).is_string()) {
            throw UsageError(path + ": each of the \"sections\" needs its \"section\" name");
        }
        PlannedSection section;
        section.section = mark["section"].get<std::string>();
        CheckSectionName(section.section, path);
        section.first = MeasureField(mark, "first", path);
        section.last = MeasureField(mark, "last", path);
        // The chord the section was played over, its source chord; found in the song without it.
        const json chord = mark.value("chord", json());
        if (!chord.is_null() && !chord.is_string()) {
            throw UsageError(path + ": \"chord\" must be a chord name, as \"Gm7\"");
        }
        if (chord.is_string()) section.chord = chord.get<std::string>();
        read.sections.push_back(section);
    }
    return read;
}

SectionPlan MarksOfRun(const std::string& planFile, const std::vector<std::string>& marks) {
    SectionPlan plan = planFile.empty() ? SectionPlan() : ReadPlanFile(planFile);
    for (const std::string& mark : marks)
        plan.sections.push_back(ParseMark(mark));
    return plan;
}

}  // namespace zephrane::cli
