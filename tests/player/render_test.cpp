// Playing a section under chords: every expected note below is worked out by hand from the rules
// in docs/style-playback.md and written out, so that a change of a rule shows as a changed note.

#include "player/render.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "player/chords.h"
#include "player/player_error.h"
#include "player/style_reader.h"
#include "support/error_of.h"
#include "support/midi_builder.h"

namespace zephrane::player {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;

constexpr int64_t kBar = 1920;  // 4/4 at 480 ticks a quarter

// A note of a section's phrase, timed from the section's marker.
struct PhraseNote {
    int channel = 11;  // 0-based
    int key = 60;
    int64_t on = 0;
    int64_t off = 240;
};

// A Ctab record: the part's source channel (0-based), destination, rules.
struct Ctab {
    int source = 11, destination = 11;
    Bytes noteMute = {0x0F, 0xFF}, chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    int root = 0, chord = 2 /* maj7 */, ntr = 0, ntt = 2, highKey = 11, low = 0, high = 127;
    int retrigger = 3;
    Bytes after = {};  // records that follow this one (a Cntt)
};

Ctab Part(int channel, int ntt, int retrigger = 3) {
    return {.source = channel, .destination = channel, .ntt = ntt, .retrigger = retrigger};
}

Bytes CtabChunk(const Ctab& c) {
    const std::vector<int> rules = {c.root, c.chord, c.ntr,       c.ntt, c.highKey,
                                    c.low,  c.high,  c.retrigger, 0};
    const Bytes name = {'P', 'a', 'r', 't', ' ', ' ', ' ', ' '};
    const auto byte = [](int value) { return static_cast<uint8_t>(value); };
    return Concat({Chunk("Ctab", Concat({{byte(c.source)},
                                         name,
                                         {byte(c.destination), 0},
                                         c.noteMute,
                                         c.chordMute,
                                         Bytes(rules.begin(), rules.end())})),
                   c.after});
}

// A style: one set-up measure ("SFF1", tempo, 4/4, a program per part), then "Main A" of `bars`
// bars holding `notes`, then the CASM chunk with one CSEG for "Main A".
Bytes StyleFile(const std::vector<PhraseNote>& notes, int bars, const std::vector<Ctab>& parts,
                bool withCasm = true) {
    std::multimap<std::pair<int64_t, bool>, Bytes> timed;  // at one tick the releases first
    for (const PhraseNote& note : notes) {
        const auto channel = static_cast<uint8_t>(note.channel),
                   key = static_cast<uint8_t>(note.key);
        timed.insert({{kBar + note.on, true}, {static_cast<uint8_t>(0x90 | channel), key, 100}});
        timed.insert({{kBar + note.off, false}, {static_cast<uint8_t>(0x80 | channel), key, 0}});
    }
    test::TrackBuilder track;
    track.Marker(0, "SFF1").Tempo(0, 500000).TimeSignature(0, 4, 2);
    for (const Ctab& part : parts)
        track.Program(0, part.source + 1, 0);
    track.Marker(static_cast<uint32_t>(kBar), "Main A");
    int64_t now = kBar;
    for (const auto& [at, message] : timed) {
        track.Raw(Concat({test::Vlq(static_cast<uint32_t>(at.first - now)), message}));
        now = at.first;
    }
    track.EndOfTrack(static_cast<uint32_t>(kBar + bars * kBar - now));
    Bytes cseg = Chunk("Sdec", {'M', 'a', 'i', 'n', ' ', 'A'});
    for (const Ctab& part : parts)
        cseg = Concat({cseg, CtabChunk(part)});
    return Concat({test::SongFile(track), withCasm ? Chunk("CASM", Chunk("CSEG", cseg)) : Bytes{}});
}

// Guards against hanging notes: every note-on is released before the same key is struck again
// on its channel, every note-off releases a sounding note, nothing sounds at the end and no
// channel is left bent.
void ExpectNoHangingNotes(const Rendering& rendering) {
    std::map<std::pair<int, int>, bool> sounding;
    std::map<int, int> bend;
    for (const MidiMessage& message : rendering.events) {
        ASSERT_LE(message.tick, rendering.length);
        if (message.IsMeta()) continue;
        const int kind = message.bytes[0] >> 4;
        const std::pair<int, int> key = {message.bytes[0] & 0x0F, message.bytes[1]};
        if (kind == 0x8 || kind == 0x9) {
            const bool on = kind == 0x9 && message.bytes[2] > 0;
            EXPECT_NE(sounding[key], on) << "key " << key.second << " at " << message.tick;
            sounding[key] = on;
        }
        if (kind == 0xE) bend[key.first] = message.bytes[1] | (message.bytes[2] << 7);
    }
    for (const auto& [key, on] : sounding)
        EXPECT_FALSE(on) << "channel " << key.first << " key " << key.second << " hangs";
    for (const auto& [channel, value] : bend)
        EXPECT_EQ(value, 8192) << "channel " << channel << " is left bent";
}

Rendering Play(const Bytes& style, const std::string& chords, int barsPerChord = 1) {
    RenderRequest request;
    request.chords = ParseProgression(chords);
    request.barsPerChord = barsPerChord;
    Rendering rendering = RenderSection(ReadPlayableStyle(ByteImage(style)), request);
    ExpectNoHangingNotes(rendering);
    return rendering;
}

// The channel messages of `channel` after the set-up, as text: "1920 on 67, 1920 bend 11605".
std::string Performance(const Rendering& rendering, int channel) {
    std::string lines;
    for (const MidiMessage& message : rendering.events) {
        const int kind = message.bytes[0] >> 4;
        const bool noteOrBend = kind == 0x8 || kind == 0x9 || kind == 0xE;
        if (message.IsMeta() || !noteOrBend || (message.bytes[0] & 0x0F) != channel) continue;
        const int value =
            kind == 0xE ? message.bytes[1] | (message.bytes[2] << 7) : message.bytes[1];
        const char* name = kind == 0x9 ? " on " : kind == 0x8 ? " off " : " bend ";
        lines += (lines.empty() ? "" : ", ") + std::to_string(message.tick) + name +
                 std::to_string(value);
    }
    return lines;
}

// The keys struck on `channel`, in order: "60 64 67".
std::string Keys(const Rendering& rendering, int channel) {
    std::string keys;
    for (const MidiMessage& message : rendering.events) {
        if (message.IsMeta() || message.bytes[0] != 0x90 + channel || message.bytes[2] == 0)
            continue;
        keys += (keys.empty() ? "" : " ") + std::to_string(message.bytes[1]);
    }
    return keys;
}

// The eight eighth notes of the scale of C (C4 D4 E4 F4 G4 A4 B4 C5), each half an eighth long.
std::vector<PhraseNote> ScaleOfC() {
    std::vector<PhraseNote> notes;
    for (int key : {60, 62, 64, 65, 67, 69, 71, 72})
        notes.push_back({11, key, 240 * int64_t(notes.size()), 240 * int64_t(notes.size()) + 120});
    return notes;
}

struct ScaleCase {
    const char* name;
    int ntt;
    int cntt;  // the table of a Cntt record after the Ctab, -1 for none
    const char* chords;
    const char* keys;  // a bar of eight for each chord
};

class ScaleUnderChordsTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleUnderChordsTest, PlaysTheWrittenKeys) {
    const ScaleCase& row = GetParam();
    Ctab part = Part(11, row.ntt);
    if (row.cntt >= 0) part.after = Chunk("Cntt", {11, static_cast<uint8_t>(row.cntt)});
    const Rendering rendering = Play(StyleFile(ScaleOfC(), 1, {part}), row.chords);
    EXPECT_EQ(Keys(rendering, 11), row.keys);
    const std::string first(row.keys, 2);
    EXPECT_EQ(
        Performance(rendering, 11).rfind("0 on " + first + ", 120 off " + first + ", 240 on ", 0),
        0u);
}

constexpr char kProgression[] = "C F G7 Am Dm7";

INSTANTIATE_TEST_SUITE_P(
    Rules, ScaleUnderChordsTest,
    ::testing::Values(
        // A bypass part moves with the root only, whatever the chord type.
        ScaleCase{"Bypass", 0, -1, kProgression,
                  "60 62 64 65 67 69 71 72 65 67 69 70 72 74 76 77 67 69 71 72 74 76 78 79 "
                  "69 71 73 74 76 78 80 81 62 64 66 67 69 71 73 74"},
        // A melody keeps each note on its scale degree: Ionian, Mixolydian, Aeolian, Dorian.
        ScaleCase{"Melody", 1, -1, kProgression,
                  "60 62 64 65 67 69 71 72 65 67 69 70 72 74 76 77 67 69 71 72 74 76 77 79 "
                  "69 71 72 74 76 77 79 81 62 64 65 67 69 71 72 74"},
        // Every note of a chord part becomes a chord tone: the seventh of CMaj7 the root of a
        // triad and the seventh of a seventh chord, others the nearest tone (half-way: upward).
        ScaleCase{"Chord", 2, -1, kProgression,
                  "60 64 64 64 67 67 72 72 65 69 69 69 72 72 77 77 67 71 71 71 74 77 77 79 "
                  "69 72 72 76 76 76 81 81 62 65 65 69 69 72 72 74"},
        // A bass keeps its passing notes as scale steps and drops a major seventh over a triad.
        ScaleCase{"Bass", 3, -1, kProgression,
                  "60 62 64 65 67 69 72 72 65 67 69 70 72 74 77 77 67 69 71 72 74 76 77 79 "
                  "69 71 72 74 76 77 81 81 62 64 65 67 69 71 72 74"},
        // Melodic minor changes only the third; harmonic minor the third and the sixth.
        ScaleCase{"MelodicMinor", 4, -1, kProgression,
                  "60 62 64 65 67 69 71 72 65 67 69 70 72 74 76 77 67 69 71 72 74 76 78 79 "
                  "69 71 72 74 76 78 80 81 62 64 65 67 69 71 73 74"},
        ScaleCase{"HarmonicMinor", 5, -1, kProgression,
                  "60 62 64 65 67 69 71 72 65 67 69 70 72 74 76 77 67 69 71 72 74 76 78 79 "
                  "69 71 72 74 76 77 80 81 62 64 65 67 69 70 73 74"},
        // The Cntt tables of the newer styles are not the Ctab numbers: natural minor (7) lowers
        // the third, sixth and seventh, Dorian (9) the third and seventh; melodic minor with the
        // fifth (4) plays Eb and Gb under Cdim.
        ScaleCase{"CnttNaturalMinor", 1, 7, "Am", "69 71 72 74 76 77 79 81"},
        ScaleCase{"CnttDorian", 1, 9, "Dm7", "62 64 65 67 69 71 72 74"},
        ScaleCase{"CnttFifthVariation", 1, 4, "Cdim", "60 62 63 65 66 69 71 72"}),
    [](const auto& row) { return std::string(row.param.name); });

// D4 held through two bars in a melody part; the chord changes from C to F half-way, where the
// note's new pitch is G4 (+5) and the nearest root F4 (+3).
TEST(RenderTest, HeldNoteFollowsItsRetriggerRuleAtTheChordChange) {
    const char* expected[] = {
        "0 on 62, 1920 off 62",                                   // stop
        "0 on 62, 1920 bend 11605, 3840 off 62, 3840 bend 8192",  // glide +5: 8192 + 5 x 8192 / 12
        "0 on 62, 1920 bend 10240, 3840 off 62, 3840 bend 8192",  // glide to the root
        "0 on 62, 1920 off 62, 1920 on 67, 3840 off 67",          // retrigger
        "0 on 62, 1920 off 62, 1920 on 65, 3840 off 65",          // retrigger to the root
        "0 on 62, 1920 off 62, 1920 on 69, 3840 off 69",          // nearest chord tone, upward
    };
    for (int retrigger = 0; retrigger < 6; ++retrigger) {
        const Bytes style = StyleFile({{11, 62, 0, 2 * kBar}}, 2, {Part(11, 1, retrigger)});
        EXPECT_EQ(Performance(Play(style, "C F"), 11), expected[retrigger]) << retrigger;
    }
}

TEST(RenderTest, GlidesOfUnequalIntervalsAndNewNotesOnABentChannelStrikeAgain) {
    // C4 E4 G4 held from C into Am (high key G: down to A3 C4 E4, -3 -4 -3) cannot share one
    // bend: they are struck again at their pitches.
    Ctab part = Part(11, 2, 1);
    part.highKey = 7;
    const std::vector<PhraseNote> chord = {
        {11, 60, 0, 2 * kBar}, {11, 64, 0, 2 * kBar}, {11, 67, 0, 2 * kBar}};
    EXPECT_EQ(Performance(Play(StyleFile(chord, 2, {part}), "C Am"), 11),
              "0 on 60, 0 on 64, 0 on 67, 1920 off 60, 1920 off 64, 1920 off 67, 1920 on 57, "
              "1920 on 60, 1920 on 64, 3840 off 57, 3840 off 60, 3840 off 64");
    // A new note on a bent channel: the glided note is struck again at the pitch it sounds at,
    // the bend released, then the new note begins.
    const std::vector<PhraseNote> notes = {{11, 62, 0, 2 * kBar}, {11, 60, kBar + 960, 2 * kBar}};
    EXPECT_EQ(Performance(Play(StyleFile(notes, 2, {Part(11, 1, 1)}), "C F"), 11),
              "0 on 62, 1920 bend 11605, 2880 off 62, 2880 bend 8192, 2880 on 67, 2880 on 65, "
              "3840 off 67, 3840 off 65");
}

// C4 E4 G4, a quarter each.
const std::vector<PhraseNote> kTriad = {{11, 60, 0, 240}, {11, 64, 480, 720}, {11, 67, 960, 1200}};

TEST(RenderTest, RootTransposesUpToTheHighKeyAndRootFixedKeepsEachNoteInItsOctave) {
    // With high key F the roots C to F lie above the written phrase, F# to B below it; root
    // fixed keeps every note between C4 and B4 (under F: F4 A4 C4).
    for (const auto& [ntr, keys] : {std::pair{0, "60 64 67 65 69 72 55 59 62 57 60 64"},
                                    std::pair{1, "60 64 67 65 69 60 67 71 62 69 60 64"}}) {
        Ctab part;
        part.ntr = ntr;
        part.highKey = 5;
        EXPECT_EQ(Keys(Play(StyleFile(kTriad, 1, {part}), "C F G Am"), 11), keys) << ntr;
    }
}

TEST(RenderTest, BassPlaysTheOnBassNoteAndKeepsToItsLimits) {
    // Guards against an on-bass chord ("C/E") ignored by the bass or moving the chord part.
    const Rendering rendering =
        Play(StyleFile({{10, 48}, {11, 60}, {11, 64}}, 1, {Part(10, 3), Ctab{}}), "C/E G/B");
    EXPECT_EQ(Keys(rendering, 10), "52 59");
    EXPECT_EQ(Keys(rendering, 11), "60 64 67 71");
    // Notes outside the part's range, A2 (45) to A3 (57), move by octaves.
    Ctab limited = Part(10, 3);
    limited.low = 45;
    limited.high = 57;
    std::vector<PhraseNote> bass = kTriad;
    for (PhraseNote& note : bass)
        note = {10, note.key - 12, note.on, note.off};
    EXPECT_EQ(Keys(Play(StyleFile(bass, 1, {limited}), "C F G7 A"), 10),
              "48 52 55 53 57 48 55 47 50 57 49 52");
}

TEST(RenderTest, PhraseWrittenInDTransposesFromD) {
    // Guards against the source root being ignored: D4 F#4 A4 written over Dmaj7.
    Ctab part;
    part.root = 2;
    std::vector<PhraseNote> inD = kTriad;
    for (PhraseNote& note : inD)
        note.key += note.key == 64 ? 2 : 2;
    EXPECT_EQ(Keys(Play(StyleFile(inD, 1, {part}), "C G"), 11), "60 64 67 67 71 74");
}

TEST(RenderTest, ChordAndNoteMutesSilenceOnlyWhatTheyName) {
    // Min (byte 3, bit 0) is muted for the chord part, not min7, nor for the other part.
    Ctab chord;
    chord.chordMute = {0xFF, 0xFF, 0xFF, 0xFE, 0xFF};
    const Rendering rendering =
        Play(StyleFile({{11, 64}, {14, 72}}, 1, {chord, Part(14, 0)}), "C Am Am7 F");
    EXPECT_EQ(Performance(rendering, 11),
              "0 on 64, 240 off 64, 3840 on 72, 4080 off 72, 5760 on 69, 6000 off 69");
    EXPECT_EQ(Keys(rendering, 14), "72 81 81 77");
    // E (bit 4 of the second byte) and B (bit 3 of the first) are muted.
    Ctab part = Part(11, 0);
    part.noteMute = {0x07, 0xEF};
    EXPECT_EQ(Keys(Play(StyleFile(ScaleOfC(), 1, {part}), "F"), 11), "65 67 70 72 74 77");
}

TEST(RenderTest, DrumsAreNeitherTransposedNorSilencedByNoChord) {
    Ctab drums = Part(9, 2);
    drums.ntr = 0;  // even a record asking for root transposition
    const Rendering rendering =
        Play(StyleFile({{9, 36, 0, 120}, {11, 60}}, 1, {drums, Ctab{}}), "A N.C. E");
    EXPECT_EQ(Keys(rendering, 9), "36 36 36");
    EXPECT_EQ(Performance(rendering, 11), "0 on 69, 240 off 69, 3840 on 64, 4080 off 64");
}

TEST(RenderTest, SectionLoopsAndHeldNotesEndAtItsEnd) {
    // Guards against a section played once only, and a note held at the section's end sounding
    // on into the next pass.
    const Rendering rendering = Play(StyleFile({{11, 60, 960, kBar}}, 1, {Part(11, 0)}), "C D", 2);
    EXPECT_EQ(Performance(rendering, 11),
              "960 on 60, 1920 off 60, 2880 on 60, 3840 off 60, 4800 on 62, 5760 off 62, "
              "6720 on 62, 7680 off 62");
    EXPECT_EQ(rendering.length, 4 * kBar);
}

TEST(RenderTest, StyleWithoutCasmPlaysChannelsNineToSixteenAsThemselves) {
    // The bass on channel 11 follows the default bass rules (high key D#: F lies below);
    // channel 1 feeds no part.
    const Rendering rendering = Play(StyleFile({{10, 48}, {0, 72}}, 1, {}, false), "F");
    EXPECT_EQ(Performance(rendering, 10) + "|" + Performance(rendering, 0), "0 on 41, 240 off 41|");
    EXPECT_EQ(rendering.notes,
              std::vector<std::string>{"The style has no CASM data, so channels 9 to 16 play as "
                                       "themselves with the player's default rules."});
}

TEST(RenderTest, SetUpIsSentToTheDestinationChannels) {
    Ctab part;
    part.source = 2;
    part.destination = 12;
    const Rendering rendering = Play(StyleFile({{2, 60}}, 1, {part}), "C");
    ASSERT_FALSE(rendering.events.empty());
    EXPECT_EQ(rendering.events.front().bytes, (Bytes{0xCC, 0}));
    EXPECT_EQ(Performance(rendering, 12), "0 on 60, 240 off 60");
}

// tests/e2e/play_test.py reads the written files with mido; a refused section is refused there.
TEST(RenderTest, MidiFileRefusesADeltaTimeBeyondFourBytes) {
    // Such a delta time would be read as other events by every reader.
    Rendering tooLong;
    tooLong.length = 0x10000000;
    EXPECT_EQ(test::ErrorOf([&] { WriteMidiFile(tooLong); }), 6);
}

}  // namespace
}  // namespace zephrane::player
