#include "sections/section_marks.h"

#include <algorithm>

namespace zephrane {
namespace {

std::string Range(int first, int last) {
    return std::to_string(first) + " to " + std::to_string(last);
}

bool StartsWithEvent(const MeasureTable& measures, int measure) {
    return measure <= measures.LastIndex() && measures.entries[measure].position != 0;
}

// The song's first measure takes a section when a note starts in it.
struct SongStart {
    const ByteImage& song;
    const SongFacts& facts;
    bool IsMusic() const {
        return FirstMeasureSectionStart(song, facts.ticksPerMeasure).has_value();
    }
};

// Why this one mark cannot go in, leaving aside the plan's other marks.
std::optional<std::string> MarkRefusal(const MeasureTable& measures, const SongStart& start,
                                       const PlannedSection& mark) {
    const SongFacts& facts = start.facts;
    const SectionRow* row = SectionByKeyOrName(mark.section);
    if (row == nullptr) return "\"" + mark.section + "\" is not a section name.";
    const std::string key(row->key);
    if (mark.first > mark.last) {
        return key + ": the first measure " + std::to_string(mark.first) +
               " comes after the last " + std::to_string(mark.last) + ".";
    }
    if (mark.first < 0 || (mark.first == 0 && !start.IsMusic())) {
        return key + ": measure 0 is the set-up measure; a section starts at measure 1 or later.";
    }
    const int length = mark.last - mark.first + 1;
    if (length > LongestMark(*row)) {
        return key + ": measures " + Range(mark.first, mark.last) + " are " +
               std::to_string(length) + " measures; a style's " + key + " holds at most " +
               std::to_string(LongestMark(*row)) + ".";
    }
    // The end marker goes on the measure line after the last measure, so the song must reach it.
    if (mark.last >= facts.measureCount) {
        return key + ": measures " + Range(mark.first, mark.last) +
               " run past the song's end; the last measure a section can take is " +
               std::to_string(facts.measureCount - 1) + ".";
    }
    for (const int line : {mark.first, mark.last + 1}) {
        if (line > 0 && !StartsWithEvent(measures, line)) {
            return key + ": measure " + std::to_string(line) +
                   " holds no event to put the section's marker in front of.";
        }
    }
    return std::nullopt;
}

}  // namespace

const SectionRow* SectionByKeyOrName(std::string_view name) {
    const SectionRow* row = SectionByKey(name);
    return row != nullptr || name.starts_with('>') ? row : SectionByMarker(name);
}

int LongestMark(const SectionRow& row) {
    return row.name.starts_with("Fill") ? kLongestFill : kLongestSection;
}

std::optional<std::string> PlanRefusal(const ByteImage& song, const MeasureTable& measures,
                                       const SongFacts& facts, const SectionPlan& plan) {
    const SongStart start{song, facts};
    for (auto mark = plan.sections.begin(); mark != plan.sections.end(); ++mark) {
        if (std::optional<std::string> refusal = MarkRefusal(measures, start, *mark)) {
            return refusal;
        }
        const SectionRow* row = SectionByKeyOrName(mark->section);
        const auto earlier = std::find_if(plan.sections.begin(), mark, [&](const auto& other) {
            return SectionByKeyOrName(other.section) == row;
        });
        if (earlier != mark) {
            return std::string(row->key) + " is marked twice: on measures " +
                   Range(earlier->first, earlier->last) + " and " + Range(mark->first, mark->last) +
                   ".";
        }
    }
    return std::nullopt;
}

}  // namespace zephrane
