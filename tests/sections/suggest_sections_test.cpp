#include "sections/suggest_sections.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/midi_builder.h"

namespace zephrane {

// A section as the text form of `suggest` prints it, for readable failures.
void PrintTo(const PlannedSection& section, std::ostream* out) {
    *out << section.section << " " << section.first << "-" << section.last << " \"" << section.chord
         << "\" " << section.confidence << " \"" << section.reason << "\"";
}

namespace {

constexpr uint32_t kStep = 120;  // a sixteenth note at 480 ticks a quarter
constexpr uint32_t kMeasure = 16 * kStep;
constexpr int kDrums = 10, kBass = 2, kPiano = 1;

// One measure of a band: drum voices as a sixteenth-note pattern each ('x' a hit), bass notes
// (step, note) and the steps where the piano strikes its chord.
struct Measure {
    std::vector<std::pair<int, std::string>> drums;
    std::vector<std::pair<int, int>> bass;
    std::vector<int> chords;
};

// The measure with a snare roll and toms over its second half: the drums busier, the band the same.
Measure Fill(Measure groove) {
    groove.drums.push_back({38, "........xxxxxxxx"});
    groove.drums.push_back({45, "..........x.x.x."});
    return groove;
}

// The measure where the drums break off into a few crashes and kicks, not busier than the groove,
// while the band plays on.
Measure Break(Measure groove) {
    groove.drums = {{49, "x..............."}, {36, "x.....x.....x..."}};
    return groove;
}

// clang-format off
const Measure kCountIn{{{37, "x...x...x...x..."}}, {}, {}};
const Measure kIntro1{{{49, "x..............."}, {36, "x..............."}}, {{0, 36}}, {0}};
const Measure kIntro2{{{38, "x.x.x.x.x.x.x.x."}}, {{0, 43}, {4, 41}, {8, 40}, {12, 38}}, {}};
const Measure kA{{{36, "x.......x......."}, {38, "....x.......x..."}, {42, "x.x.x.x.x.x.x.x."}},
                 {{0, 36}, {6, 36}, {8, 43}}, {0, 8}};
const Measure kB{{{36, "x..x..x.x..x..x."}, {38, "....x.......x..."}, {51, "x...x...x...x..."}},
                 {{0, 33}, {3, 33}, {6, 40}, {8, 33}, {11, 36}}, {2, 6, 10, 14}};
const Measure kC{{{36, "x...x...x...x..."}, {39, "....x.......x..."}, {46, "..x...x...x...x."}},
                 {{0, 38}, {2, 38}, {4, 45}, {6, 38}, {8, 41}, {10, 38}, {12, 45}, {14, 43}},
                 {0, 4, 8, 12}};
const Measure kD{{{36, "x.....x...x....."}, {38, "....x..x.x..x..."}, {42, "xxxxxxxxxxxxxxxx"}},
                 {{0, 31}, {10, 38}}, {0, 3, 6}};
const Measure kEnd1{{{49, "x.......x......."}, {36, "x.......x......."}}, {{0, 43}, {8, 36}},
                    {0, 8}};
const Measure kEnd2{{{49, "x..............."}}, {{0, 36}}, {0}};
// clang-format on

// The same groove from another root: the bass moved by `semitones`.
Measure Transposed(Measure groove, int semitones) {
    for (auto& [step, note] : groove.bass)
        note += semitones;
    return groove;
}

std::vector<Measure> Repeat(const Measure& measure, int times) {
    return std::vector<Measure>(static_cast<size_t>(times), measure);
}

std::vector<Measure> Join(std::initializer_list<std::vector<Measure>> parts) {
    std::vector<Measure> song;
    for (const auto& part : parts)
        song.insert(song.end(), part.begin(), part.end());
    return song;
}

// The measures as a type-0 song: every note a sixteenth long, ended by a note-on of velocity 0.
test::Bytes SongOf(const std::vector<Measure>& measures) {
    std::vector<std::tuple<uint32_t, int, int, int>> events;  // tick, velocity, channel, note
    auto play = [&](uint32_t tick, int channel, int note) {
        events.emplace_back(tick, 100, channel, note);
        events.emplace_back(tick + kStep - 10, 0, channel, note);
    };
    for (size_t m = 0; m < measures.size(); ++m) {
        const auto start = static_cast<uint32_t>(m) * kMeasure;
        for (const auto& [key, pattern] : measures[m].drums) {
            for (size_t step = 0; step < pattern.size(); ++step)
                if (pattern[step] == 'x')
                    play(start + static_cast<uint32_t>(step) * kStep, kDrums, key);
        }
        for (const auto& [step, note] : measures[m].bass)
            play(start + static_cast<uint32_t>(step) * kStep, kBass, note);
        for (const int step : measures[m].chords) {
            for (const int note : {60, 64, 67})
                play(start + static_cast<uint32_t>(step) * kStep, kPiano, note);
        }
    }
    std::sort(events.begin(), events.end());  // at one tick, note ends (velocity 0) first
    test::TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    uint32_t now = 0;
    for (const auto& [tick, velocity, channel, note] : events) {
        track.NoteOn(tick - now, channel, static_cast<uint8_t>(note),
                     static_cast<uint8_t>(velocity));
        now = tick;
    }
    track.EndOfTrack(static_cast<uint32_t>(measures.size()) * kMeasure - now);
    return test::SongFile(track);
}

std::vector<MeasurePattern> PatternsOf(const std::vector<Measure>& measures) {
    SongFacts facts;
    facts.ticksPerMeasure = kMeasure;
    return ReadMeasurePatterns(ByteImage(SongOf(measures)), facts, ChannelTable{});
}

struct SuggestCase {
    const char* name;
    std::vector<Measure> song;
    std::vector<PlannedSection> expected;
    std::vector<ChordChange> chords = {};  // each section takes the one on its first beat
};

class SuggestSectionsTest : public testing::TestWithParam<SuggestCase> {};

// Guards against grooves, fills, intro and ending found in the wrong measures, grooves of two
// measures split into two mains, a fill's measure left inside the main it closes, and a section's
// chord taken from a change later in its first measure or from before the chords start.
TEST_P(SuggestSectionsTest, ProposesTheSongsOwnSections) {
    const SectionPlan plan = SuggestSections(PatternsOf(GetParam().song), GetParam().chords);
    EXPECT_EQ(plan.sections, GetParam().expected) << PlanText(plan);
    EXPECT_EQ((std::pair{plan.measures, plan.chords}),
              (std::pair{static_cast<int>(GetParam().song.size()), GetParam().chords}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Songs, SuggestSectionsTest, testing::Values(
    // A count-in, an intro, groove A with a fill into B, B with a fill back into A, A again, an
    // ending: the longest clean run of A gives Main A, cut to four measures.
    SuggestCase{"IntroTwoGroovesWithFillsEnding",
        Join({{kCountIn, kIntro1, kIntro2}, Repeat(kA, 7), {Fill(kA)}, Repeat(kB, 7), {Fill(kB)},
              Repeat(kA, 4), {kEnd1, kEnd2}}),
        {{"Intro A", 1, 2, "", 0.83,
          "the 2 measures before the first groove (Main A from measure 3)"},
         {"Main A", 3, 6, "Dm7", 0.91, "repeats 7 times from measure 3"},
         {"Main B", 11, 14, "G7", 0.91, "repeats 7 times from measure 11"},
         {"End A", 23, 24, "C", 0.7,
          "the 2 measures after the last groove (Main A to measure 22)"},
         {"Fill AA", 18, 18, "G7", 0.65,
          "drums 92 % busier than Main B before the change to Main A"},
         {"Fill BB", 10, 10, "Dm7", 0.65,
          "drums 92 % busier than Main A before the change to Main B"}},
        {{2, 1, "Dm7"}, {11, 1, "G7"}, {18, 3, "C"}}},
    // A groove of two different measures, then two more grooves, the last entered by a fill: no
    // intro and no ending, the song starting and ending in a groove.
    SuggestCase{"ThreeGroovesOneOfTwoMeasures",
        Join({{kA, kB, kA, kB, kA, kB, kA, kB}, Repeat(kC, 3), {Fill(kC)}, Repeat(kD, 4)}),
        {{"Main A", 0, 7, "", 1.0, "repeats 4 times from measure 0"},
         {"Main B", 8, 9, "", 0.69, "repeats 3 times from measure 8"},
         {"Main C", 12, 15, "", 0.75, "repeats 4 times from measure 12"},
         {"Fill CC", 11, 11, "", 0.69,
          "drums 110 % busier than Main B before the change to Main C"}}},
    // A break leads into Main B as a fill does; a click between grooves, the band silent, leads
    // into nothing.
    SuggestCase{"BreakAndClickBetweenGrooves",
        Join({Repeat(kA, 4), {Break(kA)}, Repeat(kB, 4), {kCountIn}, Repeat(kA, 4)}),
        {{"Main A", 0, 3, "", 0.75, "repeats 4 times from measure 0"},
         {"Main B", 5, 8, "", 0.75, "repeats 4 times from measure 5"},
         {"Fill BB", 4, 4, "", 0.65, "drums unlike Main A before the change to Main B"}}},
    // A groove coming back keeps its main: the groove after it is the next one, Main C.
    SuggestCase{"AGrooveComesBack",
        Join({Repeat(kA, 4), Repeat(kB, 4), Repeat(kA, 4), Repeat(kC, 4)}),
        {{"Main A", 0, 3, "", 0.75, "repeats 4 times from measure 0"},
         {"Main B", 4, 7, "", 0.75, "repeats 4 times from measure 4"},
         {"Main C", 12, 15, "", 0.75, "repeats 4 times from measure 12"}}},
    // A fifth groove is no main: the ending follows it all the same.
    SuggestCase{"FiveGrooves",
        Join({Repeat(kA, 2), Repeat(kB, 2), Repeat(kC, 2), Repeat(kD, 2), Repeat(kIntro2, 2),
              {kEnd1}}),
        {{"Main A", 0, 1, "", 0.63, "repeats 2 times from measure 0"},
         {"Main B", 2, 3, "", 0.63, "repeats 2 times from measure 2"},
         {"Main C", 4, 5, "", 0.63, "repeats 2 times from measure 4"},
         {"Main D", 6, 7, "", 0.63, "repeats 2 times from measure 6"},
         {"End A", 10, 10, "", 0.95,
          "the measure after the last groove (a groove beyond Main D to measure 9)"}}},
    // Drums alone never make a groove: nothing to propose.
    SuggestCase{"DrumsAlone", Repeat(kCountIn, 8), {}}),
    [](const testing::TestParamInfo<SuggestCase>& param) { return param.param.name; });
// clang-format on

// Guards against a riff played from another root taken for another groove: the bass line is
// kept as intervals to the measure's first note.
TEST(ReadMeasurePatterns, ABassRiffFromAnotherRootIsTheSamePattern) {
    const std::vector<MeasurePattern> patterns = PatternsOf({kA, Transposed(kA, 5)});
    ASSERT_EQ(patterns.size(), 2U);
    EXPECT_EQ(patterns[0], patterns[1]);
    EXPECT_EQ(patterns[0].bassLine.size(), 3U);
}

}  // namespace
}  // namespace zephrane
