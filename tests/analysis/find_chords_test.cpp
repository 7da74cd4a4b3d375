#include "analysis/find_chords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "support/midi_builder.h"

namespace zephrane {

void PrintTo(const ChordChange& change, std::ostream* out) {
    *out << change.measure << ":" << change.beat << " " << change.chord;
}

namespace {

using test::TrackBuilder;

constexpr uint32_t kBeat = 480;
constexpr uint32_t kBar = 4 * kBeat;

struct Note {
    int channel;
    uint8_t key;
    uint32_t on;
    uint32_t ticks;
};

// `keys` on channel 1 from `on` for `ticks`.
std::vector<Note> Held(std::vector<uint8_t> keys, uint32_t on = 0, uint32_t ticks = kBar,
                       int channel = 1) {
    std::vector<Note> notes;
    for (const uint8_t key : keys)
        notes.push_back({channel, key, on, ticks});
    return notes;
}

std::vector<Note> Joined(std::initializer_list<std::vector<Note>> parts) {
    std::vector<Note> all;
    for (const std::vector<Note>& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The chords found in a song of `notes` after the events of `setUp`, scanned as a load scans it.
std::vector<ChordChange> ChordsOf(const std::vector<Note>& notes, TrackBuilder track = {}) {
    // (tick, 0 for a release and 1 for a strike, channel, key): a key struck again at the tick
    // it is released sounds again.
    std::vector<std::tuple<uint32_t, int, int, uint8_t>> events;
    for (const Note& note : notes) {
        events.emplace_back(note.on, 1, note.channel, note.key);
        events.emplace_back(note.on + note.ticks, 0, note.channel, note.key);
    }
    std::sort(events.begin(), events.end());
    uint32_t now = 0;
    for (const auto& [tick, strike, channel, key] : events) {
        if (strike == 1)
            track.NoteOn(tick - now, channel, key, 90);
        else
            track.NoteOff(tick - now, channel, key);
        now = tick;
    }
    const ByteImage song(test::SongFile(track.EndOfTrack()));
    WalkState walk;
    ChannelTable channels;
    SongFacts facts;
    MeasureTable measures;
    MarkerList markers;
    EffectSettings effects;
    ScanSong(song, {walk, channels, facts, measures, markers}, effects, XgImport::Skip);
    return FindChords(song, channels);
}

using Changes = std::vector<ChordChange>;

struct VoicingCase {
    const char* type;  // as the CASM names it
    std::vector<uint8_t> keys;
    const char* chord;
};

// Every chord type on the root in the bass and its tones an octave above.
const VoicingCase kVoicings[] = {
    {"maj", {48, 60, 64, 67}, "C"},
    {"maj6", {55, 67, 71, 74, 76}, "G6"},
    {"maj7", {50, 62, 66, 69, 73}, "Dmaj7"},
    {"maj7#11", {57, 69, 73, 75, 76, 80}, "Amaj7#11"},
    {"maj(9)", {52, 64, 66, 68, 71}, "Eadd9"},
    {"maj7(9)", {59, 71, 73, 75, 78, 82}, "Bmaj9"},
    {"maj6(9)", {54, 66, 68, 70, 73, 75}, "F#6/9"},
    {"aug", {49, 61, 65, 69}, "C#aug"},
    {"min", {56, 68, 71, 75}, "Abm"},
    {"min6", {51, 63, 66, 70, 72}, "Ebm6"},
    {"min7", {58, 70, 73, 77, 80}, "Bbm7"},
    {"min7b5", {53, 65, 68, 71, 75}, "Fm7b5"},
    {"min(9)", {48, 60, 62, 63, 67}, "Cmadd9"},
    {"min7(9)", {55, 67, 69, 70, 74, 77}, "Gm9"},
    {"min7(11)", {50, 62, 65, 67, 69, 72}, "Dm11"},
    {"minMaj7", {57, 69, 72, 76, 80}, "AmMaj7"},
    {"minMaj7(9)", {52, 64, 66, 67, 71, 75}, "EmMaj9"},
    {"dim", {59, 71, 74, 77}, "Bdim"},
    {"dim7", {54, 66, 69, 72, 75}, "F#dim7"},
    {"7th", {49, 61, 65, 68, 71}, "C#7"},
    {"7sus4", {56, 68, 73, 75, 78}, "Ab7sus4"},
    {"7b5", {51, 63, 67, 69, 73}, "Eb7b5"},
    {"7(9)", {58, 70, 72, 74, 77, 80}, "Bb9"},
    {"7(#11)", {53, 65, 69, 71, 72, 75}, "F7#11"},
    {"7(13)", {48, 60, 64, 67, 69, 70}, "C13"},
    {"7(b9)", {55, 67, 68, 71, 74, 77}, "G7b9"},
    {"7(b13)", {50, 62, 66, 69, 70, 72}, "D7b13"},
    {"7(#9)", {57, 69, 72, 73, 76, 79}, "A7#9"},
    {"maj7aug", {52, 64, 68, 72, 75}, "Emaj7#5"},
    {"7aug", {59, 71, 75, 79, 81}, "B7aug"},
    {"1+8", {54, 66}, "F#(1+8)"},
    {"1+5", {49, 61, 68}, "C#5"},
    {"sus4", {56, 68, 73, 75}, "Absus4"},
    {"1+2+5", {51, 63, 65, 70}, "Ebsus2"},
};

class ChordTypeTest : public ::testing::TestWithParam<VoicingCase> {};

TEST_P(ChordTypeTest, IsFoundOnItsVoicingAndNamedAsTheProgressionsNameIt) {
    EXPECT_EQ(ChordsOf(Held(GetParam().keys)), (Changes{{0, 1, GetParam().chord}}));
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, ChordTypeTest, ::testing::ValuesIn(kVoicings), [](const auto& row) {
        std::string name = row.param.type;
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

// The lowest note tells a chord from its inversions and from chords of the same tones.
TEST(FindChords, NamesTheBassOnlyWhenItIsAChordToneHeldBelowAnother) {
    const std::tuple<std::vector<Note>, const char*> cases[] = {
        {Held({48, 52, 55}), "C"},        // C3 E3 G3
        {Held({52, 55, 60}), "C/E"},      // E3 G3 C4
        {Held({43, 60, 64}), "C/G"},      // G2 C4 E4
        {Held({45, 60, 64, 67}), "Am7"},  // A2 C4 E4 G4
        {Held({48, 57, 64, 67}), "C6"},   // C3 A3 E4 G4
        {Held({40, 60, 64}), "C/E"},      // E2 C4 E4: a third is no augmented chord on its bass
        {Joined({Held({60, 64, 67}), Held({38}, 0, kBeat)}), "C"},  // a passing D below
        {Joined({Held({60, 64, 67}), Held({36}, 0, 2 * kBeat),      // C2 and G1 each half
                 Held({31}, 2 * kBeat, 2 * kBeat)}),
         "C"},
        {Joined({Held({60, 64, 67}), Held({36}, 0, kBeat), Held({40}, kBeat, kBeat),  // walking
                 Held({43}, 2 * kBeat, kBeat), Held({40}, 3 * kBeat, kBeat)}),
         "C"},
    };
    for (const auto& [notes, chord] : cases)
        EXPECT_EQ(ChordsOf(notes), (Changes{{0, 1, chord}})) << chord;
}

TEST(FindChords, AMelodyOverAHeldChordLeavesItsChord) {
    // C3 E4 G4 held, the melody E5 D5 C5 B4 in quarters; then Dm7 under F5 E5 D5 C5 A4 B4.
    const std::vector<Note> notes = Joined({
        Held({48, 64, 67}),
        Held({76}, 0, kBeat, 2),
        Held({74}, kBeat, kBeat, 2),
        Held({72}, 2 * kBeat, kBeat, 2),
        Held({71}, 3 * kBeat, kBeat, 2),
        Held({50, 65, 69, 72}, kBar),
        Held({77}, kBar, kBeat, 2),
        Held({76}, kBar + kBeat, kBeat / 2, 2),
        Held({74}, kBar + 3 * kBeat / 2, kBeat / 2, 2),
        Held({72}, kBar + 2 * kBeat, kBeat, 2),
        Held({69}, kBar + 3 * kBeat, kBeat / 2, 2),
        Held({71}, kBar + 7 * kBeat / 2, kBeat / 2, 2),
    });
    EXPECT_EQ(ChordsOf(notes), (Changes{{0, 1, "C"}, {1, 1, "Dm7"}}));
}

TEST(FindChords, AChordChangingAtTheHalfMeasureIsFoundOnItsBeat) {
    const std::vector<Note> fourFour = Joined({
        Held({48, 64, 67}, 0, 2 * kBeat),          // C
        Held({45, 64, 72}, 2 * kBeat, 2 * kBeat),  // Am
        Held({43, 65, 71, 74}, kBar, kBar),        // G7
        Held({43, 65, 71, 74}, 2 * kBar, kBar),    // G7 goes on
    });
    EXPECT_EQ(ChordsOf(fourFour), (Changes{{0, 1, "C"}, {0, 3, "Am"}, {1, 1, "G7"}}));
    // In 6/8 a measure of six eighths turns at its fourth.
    const std::vector<Note> sixEight = Joined({
        Held({41, 69, 72}, 0, 3 * kBeat / 2),              // F
        Held({43, 71, 74}, 3 * kBeat / 2, 3 * kBeat / 2),  // G
    });
    EXPECT_EQ(ChordsOf(sixEight, std::move(TrackBuilder().TimeSignature(0, 6, 3))),
              (Changes{{0, 1, "F"}, {0, 4, "G"}}));
}

// Guards against a line of single notes, or a chord filling in over its root, read as a change
// at every half measure (a section would then be converted as if its chords moved).
TEST(FindChords, NotesAloneAndAChordFillingInAreOneChord) {
    const std::vector<Note> notes = Joined({
        Held({36}, 0, 2 * kBeat),                     // C alone …
        Held({40}, 2 * kBeat, 2 * kBeat),             // … then E alone: C major
        Held({43, 50}, kBar, 2 * kBeat),              // G and D, a root and its fifth …
        Held({43, 47}, kBar + 2 * kBeat, 2 * kBeat),  // … then G and B: G major
        Held({45}, 2 * kBar, kBar),                   // A alone all along
        Held({41, 48}, 3 * kBar, kBar),               // F with its fifth alone
    });
    EXPECT_EQ(ChordsOf(notes), (Changes{{0, 1, "C"}, {1, 1, "G"}, {2, 1, "A(1+8)"}, {3, 1, "F5"}}));
}

TEST(FindChords, DrumsAndSilenceContinueTheChordBefore) {
    // Channel 10, and channel 9 set to an XG drum kit (bank 127), strike keys that would make
    // other chords: measure 0 has only them, measure 2 only them and a note held over its line.
    TrackBuilder kits;
    kits.Controller(0, 9, 0, 127).Program(0, 9, 0);
    std::vector<Note> notes;
    for (uint32_t bar = 0; bar < 4; ++bar) {
        notes.push_back({10, 38, bar * kBar, kBeat});
        notes.push_back({9, static_cast<uint8_t>(61 + bar), bar * kBar, kBar});
        notes.push_back({9, 66, bar * kBar, kBar});
    }
    notes = Joined({notes, Held({48, 64, 67}, kBar, kBar + 40), Held({53, 69, 72}, 3 * kBar)});
    EXPECT_EQ(ChordsOf(notes, std::move(kits)),
              (Changes{{0, 1, "N.C."}, {1, 1, "C"}, {3, 1, "F"}}));
}

}  // namespace
}  // namespace zephrane
