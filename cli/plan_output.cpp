#include "cli/plan_output.h"

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

}  // namespace zephrane::cli
