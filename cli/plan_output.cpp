#include "cli/plan_output.h"

#include <cstdio>

namespace zephrane::cli {

nlohmann::ordered_json PlanJson(const SectionPlan& plan) {
    using json = nlohmann::ordered_json;
    json chords = json::array();
    for (const ChordChange& change : plan.chords)
        chords.push_back(
            {{"measure", change.measure}, {"beat", change.beat}, {"chord", change.chord}});
    json sections = json::array();
    for (const PlannedSection& section : plan.sections) {
        sections.push_back({{"section", section.section},
                            {"first", section.first},
                            {"last", section.last},
                            {"chord", section.chord},
                            {"confidence", section.confidence},
                            {"reason", section.reason}});
    }
    return {{"measures", plan.measures}, {"chords", chords}, {"sections", sections}};
}

std::string PlanText(const SectionPlan& plan) {
    std::string text;
    for (const PlannedSection& section : plan.sections) {
        const std::string measures =
            std::to_string(section.first) + "-" + std::to_string(section.last);
        char line[64];
        std::snprintf(line, sizeof line, "%-8s %-7s %.2f  ", section.section.c_str(),
                      measures.c_str(), section.confidence);
        text += line + section.reason + "\n";
    }
    return text;
}

}  // namespace zephrane::cli
