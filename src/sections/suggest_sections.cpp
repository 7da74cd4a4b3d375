#include "sections/suggest_sections.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "sections/sections.h"
#include "song/midi.h"
#include "song/walker.h"

namespace zephrane {

namespace {

// ---- Reading the measures ----------------------------------------------------------------------

constexpr int kDrumChannelIndex = 9;  // channel 10, the General MIDI percussion channel
constexpr int kXgDrumKitBank = 127;
constexpr int kMostSteps = 64;  // one bit of MeasurePattern::otherOnsets each
// The measure table counts measures in 16 bits; a note beyond them (a damaged delta time) would
// only make room for measures no song has.
constexpr int kMostMeasures = std::numeric_limits<int16_t>::max();

struct NoteStart {
    int64_t tick = 0;
    int channelIndex = 0;
    int note = 0;
};

// The sixteenth-note grid of the song's time signature: 16 steps in 4/4, 12 in 3/4 and 6/8.
struct Grid {
    double ticksPerMeasure = 0;
    int steps = 16;
    double ticksPerStep = 0;
};

Grid GridOf(const SongFacts& facts) {
    Grid grid;
    grid.ticksPerMeasure = facts.ticksPerMeasure;
    if (facts.timeSigDenominator > 0) {
        grid.steps =
            std::clamp(facts.timeSigNumerator * 16 / facts.timeSigDenominator, 1, kMostSteps);
    }
    grid.ticksPerStep = grid.ticksPerMeasure / grid.steps;
    return grid;
}

struct GridPlace {
    int measure = 0;
    int step = 0;
};

// A note played a little early belongs to the nearest step, the next measure's first included.
GridPlace PlaceOf(int64_t tick, const Grid& grid) {
    const double shifted = static_cast<double>(tick) + grid.ticksPerStep / 2;
    const auto measure = static_cast<int>(std::floor(shifted / grid.ticksPerMeasure));
    const auto step = static_cast<int>(
        std::floor((shifted - measure * grid.ticksPerMeasure) / grid.ticksPerStep));
    return {measure, std::clamp(step, 0, grid.steps - 1)};
}

std::vector<NoteStart> ReadNoteStarts(const ByteImage& song) {
    std::vector<NoteStart> starts;
    WalkState walk;
    TrackWalker walker(song, walk);
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        // A note-on with velocity 0 ends a note.
        if (event.IsChannelMessage() && event.Kind() == message_kind::kNoteOn &&
            song.At(event.dataPos + 1) != 0) {
            starts.push_back({event.absoluteTime, event.Channel() - 1, song.At(event.dataPos)});
        }
    }
    return starts;
}

bool IsDrumChannel(const ChannelTable& channels, int channelIndex) {
    return channelIndex == kDrumChannelIndex ||
           channels[static_cast<size_t>(channelIndex)].bankMsb == kXgDrumKitBank;
}

// The melodic channel whose notes lie lowest on average carries the bass line; -1 when none.
int BassChannel(std::span<const NoteStart> starts, const ChannelTable& channels) {
    std::array<double, 16> noteSum{};
    std::array<int, 16> noteCount{};
    for (const NoteStart& start : starts) {
        noteSum[static_cast<size_t>(start.channelIndex)] += start.note;
        ++noteCount[static_cast<size_t>(start.channelIndex)];
    }
    int bass = -1;
    double lowest = 128;
    for (int index = 0; index < 16; ++index) {
        const auto at = static_cast<size_t>(index);
        if (noteCount[at] == 0 || IsDrumChannel(channels, index)) continue;
        const double average = noteSum[at] / noteCount[at];
        if (average < lowest) {
            lowest = average;
            bass = index;
        }
    }
    return bass;
}

void SortUnique(std::vector<uint16_t>& entries) {
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
}

// A bass line is compared by its rhythm and its intervals, so that the same riff played from
// another root is the same groove: every onset is taken relative to the measure's first one.
void AddBassLine(MeasurePattern& pattern, std::vector<std::pair<int, int>>& bassNotes) {
    if (bassNotes.empty()) return;
    std::sort(bassNotes.begin(), bassNotes.end());
    const int firstNote = bassNotes.front().second;
    for (const auto& [step, note] : bassNotes) {
        pattern.bassLine.push_back(static_cast<uint16_t>(step * 256 + (note - firstNote + 128)));
    }
    SortUnique(pattern.bassLine);
    bassNotes.clear();
}

// ---- Comparing measures and blocks of measures --------------------------------------------------

constexpr double kAlike = 0.75;  // measures at least this similar play the same groove
constexpr double kDrumWeight = 0.5;
constexpr double kBassWeight = 0.25;
constexpr double kOtherWeight = 0.25;

// Shared entries over all entries of both; two empty sets are alike.
double Jaccard(std::span<const uint16_t> a, std::span<const uint16_t> b) {
    if (a.empty() && b.empty()) return 1;
    size_t shared = 0;
    auto i = a.begin();
    auto j = b.begin();
    while (i != a.end() && j != b.end()) {
        if (*i == *j) {
            ++shared;
            ++i;
            ++j;
        } else if (*i < *j) {
            ++i;
        } else {
            ++j;
        }
    }
    return static_cast<double>(shared) / static_cast<double>(a.size() + b.size() - shared);
}

double Jaccard(uint64_t a, uint64_t b) {
    if ((a | b) == 0) return 1;
    return static_cast<double>(std::popcount(a & b)) / std::popcount(a | b);
}

double Similarity(const MeasurePattern& a, const MeasurePattern& b) {
    return kDrumWeight * Jaccard(a.drumHits, b.drumHits) +
           kBassWeight * Jaccard(a.bassLine, b.bassLine) +
           kOtherWeight * Jaccard(a.otherOnsets, b.otherOnsets);
}

// A groove repeated: `length` measures from `first` played again from `again`. Both blocks must
// be music (a measure of drums alone is a count-in or a break), their first measures alike and
// the blocks alike on average, so that a fill closing a longer block still counts.
struct BlockMatch {
    std::span<const MeasurePattern> measures;

    double Alike(int first, int again, int length) const {
        return Alike(first, length, again, length, length);
    }

    // Blocks of different periods compared measure by measure over `span` measures, each
    // block's measures taken in turn; the mean similarity, or 0 when they are not alike.
    double Alike(int first, int firstPeriod, int again, int againPeriod, int span) const {
        const auto count = static_cast<int>(measures.size());
        if (first + firstPeriod > count || again + againPeriod > count) return 0;
        double sum = 0;
        for (int k = 0; k < span; ++k) {
            const MeasurePattern& a = measures[static_cast<size_t>(first + k % firstPeriod)];
            const MeasurePattern& b = measures[static_cast<size_t>(again + k % againPeriod)];
            if (!a.melodic || !b.melodic) return 0;
            const double similarity = Similarity(a, b);
            if (k == 0 && similarity < kAlike) return 0;
            sum += similarity;
        }
        const double mean = sum / span;
        return mean >= kAlike ? mean : 0;
    }
};

// A stretch of the song where one block of `period` measures is played `repeats` times.
struct GrooveRun {
    int first = 0;
    int period = 1;
    int repeats = 0;
    double meanSimilarity = 0;  // of the repeats to the first block
    int groove = 0;             // the distinct groove it plays, in order of first appearance

    int End() const { return first + period * repeats; }
};

constexpr std::array<int, 4> kBlockLengths = {1, 2, 4, 8};
constexpr int kMainCount = 4;  // Main A to Main D

// The run that starts at `first` with the shortest block that is played again right after it.
std::optional<GrooveRun> RunFrom(const BlockMatch& match, int first) {
    for (const int period : kBlockLengths) {
        GrooveRun run{first, period, 1, 0, 0};
        double sum = 0;
        while (const double alike = match.Alike(first, run.End(), period)) {
            sum += alike;
            ++run.repeats;
        }
        if (run.repeats > 1) {
            run.meanSimilarity = sum / (run.repeats - 1);
            return run;
        }
    }
    return std::nullopt;
}

// Runs left to right, each measure in at most one. A measure starting no run is compared at most
// 15 times (the four block lengths), a measure inside one once for each repeat, and a run with
// the first runs of the mains alone, so the whole takes linear time; the grooves after Main D
// are all told apart from the mains the same way and numbered kMainCount.
std::vector<GrooveRun> FindRuns(std::span<const MeasurePattern> measures) {
    const BlockMatch match{measures};
    std::vector<GrooveRun> runs;
    std::vector<GrooveRun> mainFirstRuns;
    const auto count = static_cast<int>(measures.size());
    for (int at = 0; at < count;) {
        const std::optional<GrooveRun> run = RunFrom(match, at);
        if (!run) {
            ++at;
            continue;
        }
        GrooveRun found = *run;
        const auto known =
            std::find_if(mainFirstRuns.begin(), mainFirstRuns.end(), [&](const GrooveRun& other) {
                return match.Alike(other.first, other.period, found.first, found.period,
                                   std::max(other.period, found.period)) > 0;
            });
        found.groove = static_cast<int>(known - mainFirstRuns.begin());
        if (known == mainFirstRuns.end() && found.groove < kMainCount)
            mainFirstRuns.push_back(found);
        runs.push_back(found);
        at = found.End();
    }
    return runs;
}

// ---- The proposals ----------------------------------------------------------------------------

constexpr int kLongestPart = 8;   // measures of the longest intro, main and ending proposed
constexpr double kBusier = 0.25;  // a fill's drums play at least this much more
// … or, standing outside the groove's run, play a pattern this unlike the groove's (a break)
constexpr double kUnlike = 0.5;

char Letter(int groove) {
    return static_cast<char>('A' + groove);
}

std::string MainKey(int groove) {
    return std::string("Main ") + Letter(groove);
}

double Rounded(double confidence) {
    return std::round(std::clamp(confidence, 0.0, 1.0) * 100) / 100;
}

int MedianDrumNotes(std::span<const MeasurePattern> measures, int first, int end) {
    std::vector<int> counts;
    for (int m = first; m < end; ++m)
        counts.push_back(measures[static_cast<size_t>(m)].drumNoteCount);
    std::nth_element(counts.begin(), counts.begin() + counts.size() / 2, counts.end());
    return counts[counts.size() / 2];
}

struct Proposer {
    std::span<const MeasurePattern> measures;
    std::vector<GrooveRun> runs;
    std::vector<int> fillMeasures;
    std::vector<PlannedSection> sections;

    // The measure before a change into one of the mains, where the drums play busier than in
    // the groove before it, or, outside that groove's run, a pattern unlike it, leads into that
    // main. The busier or the more unlike, the surer: 25 % more notes give 0.33, twice as many
    // 0.67.
    void ProposeFills() {
        for (size_t i = 1; i < runs.size(); ++i) {
            const GrooveRun& before = runs[i - 1];
            const GrooveRun& after = runs[i];
            const std::string key =
                std::string("Fill ") + Letter(after.groove) + Letter(after.groove);
            if (after.groove == before.groove || after.groove >= kMainCount ||
                before.groove >= kMainCount || Proposed(key)) {
                continue;
            }
            const int fill = after.first - 1;
            const double busier = DrumsBusier(fill, before);
            const double unlike = DrumsUnlike(fill, before);
            if (busier < kBusier && unlike < kUnlike) continue;
            fillMeasures.push_back(fill);
            const std::string change =
                MainKey(before.groove) + " before the change to " + MainKey(after.groove);
            if (busier >= kBusier) {
                const int percent = static_cast<int>(std::lround(busier * 100));
                sections.push_back(
                    {key, fill, fill, "", Rounded(busier / (busier + 0.5)),
                     "drums " + std::to_string(percent) + " % busier than " + change});
            } else {
                sections.push_back({key, fill, fill, "", Rounded(unlike / (unlike + 0.5)),
                                    "drums unlike " + change});
            }
        }
    }

    // How unlike the groove of `run` the drums of `measure` play (0 alike, 1 nothing shared);
    // 0 for a measure of the run itself, and for one where the band is silent or the drums are:
    // a click or a count between sections leads into nothing.
    double DrumsUnlike(int measure, const GrooveRun& run) const {
        const MeasurePattern& pattern = measures[static_cast<size_t>(measure)];
        if (measure < run.End() || pattern.drumHits.empty() || !pattern.melodic) return 0;
        return 1 - Jaccard(pattern.drumHits, measures[static_cast<size_t>(run.first)].drumHits);
    }

    // How many more drum notes `measure` plays than the run's median measure, as a fraction;
    // 0 after a run without drums.
    double DrumsBusier(int measure, const GrooveRun& run) const {
        const int usual = MedianDrumNotes(measures, run.first, run.End());
        if (usual == 0) return 0;
        return static_cast<double>(measures[static_cast<size_t>(measure)].drumNoteCount) / usual -
               1;
    }

    // Each main is its groove's longest run up to its first fill, cut to a whole number of
    // blocks that doubles (1, 2, 4, 8) as phrases do, at most eight measures. Its confidence is
    // how alike the repeats are, halved for a groove that fills a single block and whole for
    // one that fills eight measures.
    void ProposeMains() {
        for (int groove = 0; groove < kMainCount; ++groove) {
            const GrooveRun* longest = nullptr;
            for (const GrooveRun& run : runs) {
                if (run.groove == groove &&
                    (!longest || CleanEnd(run) - run.first > CleanEnd(*longest) - longest->first))
                    longest = &run;
            }
            if (longest) sections.push_back(MainOf(*longest));
        }
    }

    PlannedSection MainOf(const GrooveRun& run) const {
        const int repeats = (CleanEnd(run) - run.first) / run.period;
        int blocks = 1;
        while (blocks * 2 <= repeats && blocks * 2 * run.period <= kLongestPart)
            blocks *= 2;
        const double reach = std::min(1.0, run.period * repeats / double{kLongestPart});
        return {MainKey(run.groove),
                run.first,
                run.first + blocks * run.period - 1,
                "",
                Rounded(run.meanSimilarity * (0.5 + 0.5 * reach)),
                "repeats " + std::to_string(repeats) + " times from measure " +
                    std::to_string(run.first)};
    }

    // The run's measures before the first fill proposed in it.
    int CleanEnd(const GrooveRun& run) const {
        int end = run.End();
        for (const int fill : fillMeasures) {
            if (fill >= run.first && fill < end) end = fill;
        }
        return std::max(end, run.first + run.period);
    }

    // What plays before the first groove, from the first measure of music on, is the intro; the
    // more unlike the groove, the surer.
    void ProposeIntro() {
        const int grooveStart = runs.front().first;
        const int first = std::max(FirstMusic(0, grooveStart), grooveStart - kLongestPart);
        if (first >= grooveStart) return;
        const int count = grooveStart - first;
        sections.push_back({"Intro A", first, grooveStart - 1, "",
                            Rounded(1 - MeanSimilarity(first, grooveStart, grooveStart)),
                            "the " + Measures(count) + " before the first groove (" +
                                MainName(runs.front().groove) + " from measure " +
                                std::to_string(grooveStart) + ")"});
    }

    // What plays after the last groove, to the last measure of music, is the ending; the more
    // unlike the groove, the surer.
    void ProposeEnding() {
        const GrooveRun& last = runs.back();
        const int grooveEnd = last.End();
        int end = static_cast<int>(measures.size());
        while (end > grooveEnd && !measures[static_cast<size_t>(end - 1)].melodic)
            --end;
        const int first = FirstMusic(std::max(grooveEnd, end - kLongestPart), end);
        if (first >= end) return;
        sections.push_back(
            {"End A", first, end - 1, "", Rounded(1 - MeanSimilarity(first, end, last.first)),
             "the " + Measures(end - first) + " after the last groove (" + MainName(last.groove) +
                 " to measure " + std::to_string(grooveEnd - 1) + ")"});
    }

    int FirstMusic(int from, int end) const {
        while (from < end && !measures[static_cast<size_t>(from)].melodic)
            ++from;
        return from;
    }

    // Of measures `first` up to `end` to the measure `other`.
    double MeanSimilarity(int first, int end, int other) const {
        double sum = 0;
        for (int m = first; m < end; ++m)
            sum +=
                Similarity(measures[static_cast<size_t>(m)], measures[static_cast<size_t>(other)]);
        return sum / (end - first);
    }

    static std::string Measures(int count) {
        return count == 1 ? "measure" : std::to_string(count) + " measures";
    }

    static std::string MainName(int groove) {
        return groove < kMainCount ? MainKey(groove) : "a groove beyond Main D";
    }

    bool Proposed(const std::string& key) const {
        return std::any_of(sections.begin(), sections.end(),
                           [&](const PlannedSection& section) { return section.section == key; });
    }
};

int TableIndex(const std::string& key) {
    return static_cast<int>(SectionByKey(key) - kSectionTable.data());
}

}  // namespace

std::vector<MeasurePattern> ReadMeasurePatterns(const ByteImage& song, const SongFacts& facts,
                                                const ChannelTable& channels) {
    if (facts.ticksPerMeasure <= 0) return {};
    const Grid grid = GridOf(facts);
    const std::vector<NoteStart> starts = ReadNoteStarts(song);
    const int bass = BassChannel(starts, channels);
    std::vector<MeasurePattern> patterns;
    std::vector<std::vector<std::pair<int, int>>> bassNotes;
    for (const NoteStart& start : starts) {
        const GridPlace place = PlaceOf(start.tick, grid);
        if (place.measure < 0 || place.measure >= kMostMeasures) continue;
        const auto measure = static_cast<size_t>(place.measure);
        if (measure >= patterns.size()) {
            patterns.resize(measure + 1);
            bassNotes.resize(measure + 1);
        }
        MeasurePattern& pattern = patterns[measure];
        if (IsDrumChannel(channels, start.channelIndex)) {
            pattern.drumHits.push_back(static_cast<uint16_t>(start.note * kMostSteps + place.step));
            ++pattern.drumNoteCount;
            continue;
        }
        pattern.melodic = true;
        if (start.channelIndex == bass) {
            bassNotes[measure].emplace_back(place.step, start.note);
        } else {
            pattern.otherOnsets |= uint64_t{1} << place.step;
        }
    }
    for (size_t m = 0; m < patterns.size(); ++m) {
        SortUnique(patterns[m].drumHits);
        AddBassLine(patterns[m], bassNotes[m]);
    }
    return patterns;
}

SectionPlan SuggestSections(std::span<const MeasurePattern> measures,
                            std::span<const ChordChange> chords) {
    SectionPlan plan;
    plan.measures = static_cast<int>(measures.size());
    plan.chords.assign(chords.begin(), chords.end());
    Proposer proposer{measures, FindRuns(measures), {}, {}};
    if (proposer.runs.empty()) return plan;
    proposer.ProposeIntro();
    proposer.ProposeFills();
    proposer.ProposeMains();
    proposer.ProposeEnding();
    plan.sections = std::move(proposer.sections);
    std::stable_sort(plan.sections.begin(), plan.sections.end(),
                     [](const PlannedSection& a, const PlannedSection& b) {
                         return TableIndex(a.section) < TableIndex(b.section);
                     });
    for (PlannedSection& section : plan.sections)
        section.chord = ChordAtMeasure(chords, section.first);
    return plan;
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

std::string ProposalText(const PlannedSection& section) {
    std::string text = section.section + ", measures " + std::to_string(section.first) + "-" +
                       std::to_string(section.last);
    if (!section.chord.empty()) text += ", chord " + section.chord;
    char confidence[32];
    std::snprintf(confidence, sizeof confidence, ", confidence %.2f", section.confidence);
    return text + confidence + ": " + section.reason;
}

std::string ChordAtMeasure(std::span<const ChordChange> chords, int measure) {
    std::string chord;
    for (const ChordChange& change : chords) {
        if (change.measure > measure || (change.measure == measure && change.beat > 1)) break;
        chord = change.chord;
    }
    return chord;
}

}  // namespace zephrane
