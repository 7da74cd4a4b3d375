#pragma once
// A plan of a style made from any song: which runs of whole measures serve as which section, and
// the chords the song plays, measure by measure. `zephrane-cli suggest --json` prints a plan,
// `--plan` reads one back, and the window shows it on the section map.
//
// Measures are numbered as the fixed layouts number them: 0 is the song's first measure.

#include <string>
#include <vector>

namespace zephrane {

// The chord the song plays from a beat on, until the next change: one entry where it changes.
struct ChordChange {
    int measure = 0;
    int beat = 1;       // 1 is the measure's first beat
    std::string chord;  // named as the player's chord progressions name chords ("Gm7", "F/A")

    bool operator==(const ChordChange&) const = default;
};

// One section of the plan: its button key ("Main A", "Fill AA"), its measures `first` to `last`
// (both included), the chord it was played over (empty when it is not known), and, for a proposal,
// how sure Zephrane is (0 to 1) and why it proposes it.
struct PlannedSection {
    std::string section;
    int first = 0;
    int last = 0;
    std::string chord;
    double confidence = 1.0;
    std::string reason;

    bool operator==(const PlannedSection&) const = default;
};

struct SectionPlan {
    int measures = 0;  // the song's measure count
    std::vector<ChordChange> chords;
    std::vector<PlannedSection> sections;

    bool operator==(const SectionPlan&) const = default;
};

}  // namespace zephrane
