// The player: chord names read, a section played under chords. Every expected note is worked
// out by hand from docs/style-playback.md, so that a changed rule shows as a changed note.

#include "player/render.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>
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

TEST(ChordsTest, ReadsChordNamesIntoTheCasmChordTypes) {
    // Roots with accidentals, on-bass notes (a "/9" is no bass), "no chord"; a refused name would
    // otherwise play as some other chord. The types are the numbers of the CASM chord mute bits.
    // clang-format off
    const std::pair<const char*, std::vector<int>> chords[] = {
        {"F#m7", {6, 10, -1, 0}}, {"Bbmaj7", {10, 2, -1, 0}}, {"Cb", {11, 0, -1, 0}}, {"B#", {0, 0, -1, 0}},
        {"C/E", {0, 0, 4, 0}}, {"Am7/G", {9, 10, 7, 0}}, {"C6/9/E", {0, 6, 4, 0}}, {"C6/9", {0, 6, -1, 0}},
        {"N.C.", {0, 0, -1, 1}}, {"NC", {0, 0, -1, 1}}};
    // clang-format on
    for (const auto& [text, read] : chords) {
        const Chord c = ParseChord(text);
        EXPECT_EQ((std::vector<int>{c.root, c.type, c.bass, c.noChord}), read) << text;
    }
    for (const char* text : {"", "c", "H7", "Cxyz", "C/H"})
        EXPECT_THROW(ParseChord(text), PlayerError) << text;
    EXPECT_THROW(ParseProgression("  | "), PlayerError);
    // Shapes: min7b5 holds the flat fifth, 7th the minor seventh, not the major one.
    EXPECT_TRUE(IsChordTone(11, 6) && IsChordTone(19, 10) && !IsChordTone(19, 11));
    EXPECT_THROW(ShapeOf(34), PlayerError);
    // A chord lies within another on its root whose tones hold all of its own.
    const auto within = [](const char* chord, const char* other) {
        return LiesWithin(ParseChord(chord), ParseChord(other));
    };
    EXPECT_EQ((std::vector<bool>{within("C", "Cmaj7"), within("Cmaj7", "C"), within("C5", "Cm"),
                                 within("Cm", "Cm7"), within("C", "Dm7"), within("N.C.", "C")}),
              (std::vector<bool>{true, false, true, true, false, false}));
}

constexpr int64_t kBar = 1920;  // 4/4 at 480 ticks a quarter

// A note of a section's phrase on a 0-based channel, timed from the section's marker.
struct PhraseNote {
    int channel = 11, key = 60;
    int64_t on = 0, off = 240;
};

// A Ctab record: the part's source channel (0-based), destination, rules; `after`: a Cntt.
// With `ctb2` a Ctb2 record: the middle range's lowest and highest note, then the low and the
// high range's NTR, NTT, high key, low and high limit and retrigger rule; the middle range's
// rules are the fields.
struct Ctab {
    int source = 11, destination = 11;
    Bytes noteMute = {0x0F, 0xFF}, chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    int root = 0, chord = 2 /* maj7 */, ntr = 0, ntt = 2, highKey = 11, low = 0, high = 127;
    int retrigger = 3;
    Bytes after = {};
    std::vector<int> ctb2 = {};
};

Ctab Part(int channel, int ntt, int retrigger = 3) {
    return {.source = channel, .destination = channel, .ntt = ntt, .retrigger = retrigger};
}

// A CASM part record (Ctab, Ctb2): source channel, name, destination, editable, note and chord
// mutes, then the source root, source chord and rule fields.
Bytes Record(const std::string& type, std::string name, int source, int destination,
             const Bytes& mutes, const std::vector<int>& fields) {
    name.resize(8, ' ');
    const auto byte = [](int value) { return static_cast<uint8_t>(value); };
    const Bytes head =
        Concat({{byte(source)}, Bytes(name.begin(), name.end()), {byte(destination)}});
    return Chunk(type, Concat({head, {0}, mutes, Bytes(fields.begin(), fields.end())}));
}

// Notes on `channel` `step` ticks apart, each `length` long.
std::vector<PhraseNote> Phrase(int channel, std::vector<int> keys, int64_t step, int64_t length) {
    std::vector<PhraseNote> notes;
    for (int key : keys)
        notes.push_back(
            {channel, key, step * int64_t(notes.size()), step * int64_t(notes.size()) + length});
    return notes;
}

const std::vector<PhraseNote> kScaleOfC = Phrase(11, {60, 62, 64, 65, 67, 69, 71, 72}, 240, 120);

// A style: one set-up measure ("SFF1", tempo, 4/4, a program per part), then "Main A" holding
// `notes` up to the bar line after the last, then the CASM chunk with one CSEG for "Main A".
Bytes StyleFile(const std::vector<PhraseNote>& notes, const std::vector<Ctab>& parts,
                bool withCasm = true) {
    std::vector<std::tuple<int64_t, bool, int, int>> timed;  // at one tick the releases first
    int64_t end = kBar;
    for (const PhraseNote& n : notes) {
        timed.insert(timed.end(),
                     {{n.on, true, n.channel, n.key}, {n.off, false, n.channel, n.key}});
        end = std::max(end, (n.off + kBar - 1) / kBar * kBar);
    }
    std::sort(timed.begin(), timed.end());
    test::TrackBuilder track;
    track.Marker(0, "SFF1").Tempo(0, 500000).TimeSignature(0, 4, 2);
    for (const Ctab& part : parts)
        track.Program(0, part.source + 1, 0);
    track.Marker(static_cast<uint32_t>(kBar), "Main A");
    int64_t now = 0;
    for (const auto& [at, on, channel, key] : timed) {
        const auto delta = static_cast<uint32_t>(at - std::exchange(now, at));
        on ? track.NoteOn(delta, channel + 1, key, 100) : track.NoteOff(delta, channel + 1, key);
    }
    track.EndOfTrack(static_cast<uint32_t>(end - now));
    Bytes cseg = Chunk("Sdec", {'M', 'a', 'i', 'n', ' ', 'A'});
    for (const Ctab& c : parts) {
        // A Ctab ends in its special feature byte; a Ctb2 puts the middle range's rules between
        // the range bounds with the low range's rules and the high range's.
        const std::vector<int> rules = {c.ntr, c.ntt, c.highKey, c.low, c.high, c.retrigger},
                               tail = c.ctb2.empty()
                                          ? std::vector<int>{0}
                                          : std::vector<int>(c.ctb2.begin() + 8, c.ctb2.end());
        std::vector<int> fields = {c.root, c.chord};
        if (!c.ctb2.empty()) fields.insert(fields.end(), c.ctb2.begin(), c.ctb2.begin() + 8);
        fields.insert(fields.end(), rules.begin(), rules.end());
        fields.insert(fields.end(), tail.begin(), tail.end());
        cseg = Concat({cseg,
                       Record(c.ctb2.empty() ? "Ctab" : "Ctb2", "Part", c.source, c.destination,
                              Concat({c.noteMute, c.chordMute}), fields),
                       c.after});
    }
    return Concat({test::SongFile(track), withCasm ? Chunk("CASM", Chunk("CSEG", cseg)) : Bytes{}});
}

Rendering Play(const Bytes& style, const std::string& chords, int barsPerChord = 1) {
    return RenderSection(
        ReadPlayableStyle(ByteImage(style)),
        {.section = "", .chords = ParseProgression(chords), .barsPerChord = barsPerChord});
}

// What `channel` plays after the set-up: timed, its notes and bends ("1920 on 67, 1920 bend
// 11605"); else the keys it strikes ("60 64 67").
std::string Heard(const Rendering& rendering, int channel, bool timed = false) {
    std::string heard;
    for (const MidiMessage& message : rendering.events) {
        const int kind = message.bytes[0] >> 4, value = message.bytes[1];
        const bool struck = kind == 0x9 && message.bytes[2] > 0;
        if (message.IsMeta() || (message.bytes[0] & 0x0F) != channel ||
            !(timed ? kind == 0x8 || kind == 0x9 || kind == 0xE : struck))
            continue;
        const char* name = kind == 0x9 ? " on " : kind == 0x8 ? " off " : " bend ";
        heard += heard.empty() ? "" : timed ? ", " : " ";
        heard += timed ? std::to_string(message.tick) + name : "";
        heard += std::to_string(kind == 0xE ? value | (message.bytes[2] << 7) : value);
    }
    return heard;
}

TEST(RenderTest, ScaleUnderChordsPlaysTheKeysOfEachNoteTable) {
    const char* const progression = "C F G7 Am Dm7";
    // clang-format off
    const struct { const char* name; bool ctb2; int ntt, cntt; const char *chords, *keys; } rows[] = {
        {"Bypass", false, 0, -1, "F", "65 67 69 70 72 74 76 77"},
        // A melody keeps each note on its scale degree: Ionian, Mixolydian, Aeolian, Dorian.
        {"Melody", false, 1, -1, progression, "60 62 64 65 67 69 71 72 65 67 69 70 72 74 76 77 "
         "67 69 71 72 74 76 77 79 69 71 72 74 76 77 79 81 62 64 65 67 69 71 72 74"},
        // Chord tones: the seventh of CMaj7 the root of a triad and the seventh of a seventh
        // chord, others the nearest tone (half-way: upward).
        {"Chord", false, 2, -1, progression, "60 64 64 64 67 67 72 72 65 69 69 69 72 72 77 77 "
         "67 71 71 71 74 77 77 79 69 72 72 76 76 76 81 81 62 65 65 69 69 72 72 74"},
        // A bass keeps its passing notes as scale steps and drops a major seventh over a triad.
        {"Bass", false, 3, -1, progression, "60 62 64 65 67 69 72 72 65 67 69 70 72 74 77 77 "
         "67 69 71 72 74 76 77 79 69 71 72 74 76 77 81 81 62 64 65 67 69 71 72 74"},
        // Melodic minor changes only the third; harmonic minor the third and the sixth.
        {"MelodicMinor", false, 4, -1, progression, "60 62 64 65 67 69 71 72 65 67 69 70 72 74 76 77 "
         "67 69 71 72 74 76 78 79 69 71 72 74 76 78 80 81 62 64 65 67 69 71 73 74"},
        {"HarmonicMinor", false, 5, -1, progression, "60 62 64 65 67 69 71 72 65 67 69 70 72 74 76 77 "
         "67 69 71 72 74 76 78 79 69 71 72 74 76 77 80 81 62 64 65 67 69 70 73 74"},
        // A Cntt's table numbers are those of Ctb2 (read below), not the Ctab ones: 4 is melodic
        // minor with the fifth (Eb and Gb under Cdim).
        {"CnttFifthVariation", false, 1, 4, "Cdim", "60 62 63 65 66 69 71 72"},
        // A Ctb2 record's NTT numbers are the Cntt ones (3 is melodic minor, not Bass); the 5th
        // variations move G to the held chord's fifth (Gb under dim and min7b5).
        {"Ctb2Bypass", true, 0, -1, "F", "65 67 69 70 72 74 76 77"},
        {"Ctb2Melody", true, 1, -1, "G7", "67 69 71 72 74 76 77 79"},
        {"Ctb2Chord", true, 2, -1, "Am", "69 72 72 76 76 76 81 81"},
        {"Ctb2MelodicMinor", true, 3, -1, "Am", "69 71 72 74 76 78 80 81"},
        {"Ctb2MelodicMinor5th", true, 4, -1, "Cdim", "60 62 63 65 66 69 71 72"},
        {"Ctb2HarmonicMinor", true, 5, -1, "Am", "69 71 72 74 76 77 80 81"},
        {"Ctb2HarmonicMinor5th", true, 6, -1, "Cdim", "60 62 63 65 66 68 71 72"},
        {"Ctb2NaturalMinor", true, 7, -1, "Am", "69 71 72 74 76 77 79 81"},
        {"Ctb2NaturalMinor5th", true, 8, -1, "Cm7b5", "60 62 63 65 66 68 70 72"},
        {"Ctb2Dorian", true, 9, -1, "Dm7", "62 64 65 67 69 71 72 74"},
        {"Ctb2Dorian5th", true, 10, -1, "Cdim7", "60 62 63 65 66 69 70 72"},
        // Bass on (bit 7): the written root plays the on-bass note, E, in both octaves.
        {"Ctb2MelodyBassOn", true, 0x81, -1, "C/E", "64 62 64 65 67 69 71 76"}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // A Ctb2 record's three ranges follow the same rules.
        Ctab part = Part(11, row.ntt);
        if (row.ctb2) part.ctb2 = {0, 127, 0, row.ntt, 11, 0, 127, 3, 0, row.ntt, 11, 0, 127, 3};
        if (row.cntt >= 0) part.after = Chunk("Cntt", {11, static_cast<uint8_t>(row.cntt)});
        EXPECT_EQ(Heard(Play(StyleFile(kScaleOfC, {part}), row.chords), 11), row.keys);
    }
}

TEST(RenderTest, ChordTablePlaysTheFourVoicesOfEveryChordType) {
    // CMaj7's C E G B struck together become the held chord's root, third, fifth (or tension)
    // and seventh (a triad's root doubled), each nearest to its written note.
    // clang-format off
    const std::pair<const char*, const char*> rows[] = {
        {"C", "60 64 67 72"}, {"C6", "60 64 67 69"}, {"Cmaj7", "60 64 67 71"},
        {"Cmaj7#11", "60 64 66 71"}, {"Cadd9", "60 64 67 74"}, {"Cmaj9", "60 64 62 71"},
        {"C6/9", "60 64 62 69"}, {"Caug", "60 64 68 72"}, {"Cm", "60 63 67 72"},
        {"Cm6", "60 63 67 69"}, {"Cm7", "60 63 67 70"}, {"Cm7b5", "60 63 66 70"},
        {"Cmadd9", "60 63 67 74"}, {"Cm9", "60 63 62 70"}, {"Cm11", "60 63 65 70"},
        {"CmMaj7", "60 63 67 71"}, {"CmMaj9", "60 63 62 71"}, {"Cdim", "60 63 66 72"},
        {"Cdim7", "60 63 66 69"}, {"C7", "60 64 67 70"}, {"C7sus4", "60 65 67 70"},
        {"C7b5", "60 64 66 70"}, {"C9", "60 64 62 70"}, {"C7#11", "60 64 66 70"},
        {"C13", "60 64 69 70"}, {"C7b9", "60 64 61 70"}, {"C7b13", "60 64 68 70"},
        {"C7#9", "60 64 63 70"}, {"Cmaj7#5", "60 64 68 71"}, {"C7aug", "60 64 68 70"},
        {"C1+8", "60 60 72 72"}, {"C5", "60 67 67 72"}, {"Csus4", "60 65 67 72"},
        {"Csus2", "60 62 67 72"}};
    // clang-format on
    static_assert(std::size(rows) == kChordTypeCount);
    const Bytes style = StyleFile(Phrase(11, {60, 64, 67, 71}, 0, 240), {Part(11, 2)});
    for (const auto& [chord, keys] : rows)
        EXPECT_EQ(Heard(Play(style, chord), 11), keys) << chord;
}

TEST(RenderTest, EachPartRuleShowsInWhatItsChannelPlays) {
    const std::vector<PhraseNote> heldD = {{11, 62, 0, 2 * kBar}},
                                  heldC = Phrase(11, {60, 64, 67}, 0, 2 * kBar),
                                  triad = Phrase(11, {60, 64, 67}, 480, 240),
                                  gbe = Phrase(11, {67, 71, 76}, 0, 240),
                                  ranged = Phrase(11, {48, 55, 60, 72, 76}, 240, 120);
    std::vector<PhraseNote> shapeC = Phrase(11, {48, 52, 55, 60, 64}, 0, 240);
    shapeC.push_back({11, 64, 960, 1200});
    const Ctab split = {.ctb2 = {55, 72, 1, 0, 11, 0, 127, 3, 0, 1, 0, 0, 127, 3}};
    Ctab withCntt = split;
    withCntt.after = Chunk("Cntt", {11, 1});
    // clang-format off
    const struct { const char* name; std::vector<PhraseNote> notes; std::vector<Ctab> parts;
                   const char* chords; std::vector<int> channels; bool timed; const char* heard; }
        rows[] = {
        // D4 held through two bars of a melody part; at F the note's new pitch is G4 (+5), the
        // nearest root F4 (+3); a glide of +5 bends by 5 x 8192 / 12.
        {"Stop", heldD, {Part(11, 1, 0)}, "C F", {11}, true, "0 on 62, 1920 off 62"},
        {"PitchShift", heldD, {Part(11, 1, 1)}, "C F", {11}, true,
         "0 on 62, 1920 bend 11605, 3840 off 62, 3840 bend 8192"},
        {"PitchShiftToRoot", heldD, {Part(11, 1, 2)}, "C F", {11}, true,
         "0 on 62, 1920 bend 10240, 3840 off 62, 3840 bend 8192"},
        {"Retrigger", heldD, {Part(11, 1, 3)}, "C F", {11}, true,
         "0 on 62, 1920 off 62, 1920 on 67, 3840 off 67"},
        {"RetriggerToRoot", heldD, {Part(11, 1, 4)}, "C F", {11}, true,
         "0 on 62, 1920 off 62, 1920 on 65, 3840 off 65"},
        {"NearestChordToneUpward", heldD, {Part(11, 1, 5)}, "C F", {11}, true,
         "0 on 62, 1920 off 62, 1920 on 69, 3840 off 69"},
        // Held into Am (high key G: down to A3 C4 E4, -3 -4 -3) no one bend fits: struck again.
        {"UnequalGlidesStrikeAgain", heldC, {{.ntt = 2, .highKey = 7, .retrigger = 1}}, "C Am", {11},
         true, "0 on 60, 0 on 64, 0 on 67, 1920 off 60, 1920 off 64, 1920 off 67, 1920 on 57, "
               "1920 on 60, 1920 on 64, 3840 off 57, 3840 off 60, 3840 off 64"},
        // A new note on a bent channel: the glided note struck again as it sounds, then the new.
        {"NewNoteOnABentChannel", {heldD[0], {11, 60, kBar + 960, 2 * kBar}}, {Part(11, 1, 1)},
         "C F", {11}, true, "0 on 62, 1920 bend 11605, 2880 off 62, 2880 bend 8192, 2880 on 67, "
                          "2880 on 65, 3840 off 67, 3840 off 65"},
        // Root fixed with the Chord table, notes struck one by one: each keeps its role at the
        // pitch nearest to where it is written (under G: G3 B3 D4); the high key does not apply.
        {"RootFixed", triad, {{.ntr = 1, .highKey = 5}}, "C F G Am", {11}, false,
         "60 64 67 65 69 72 55 59 62 57 60 64"},
        // A G4 B4 E5 voicing struck together moves least, the top voice most reluctantly:
        // G C E, A C E, A C F, G B F (not D F B); under a high limit of D5 it has to go down.
        {"RootFixedVoicing", gbe, {{.ntr = 1}}, "C Am F G7", {11}, false,
         "67 72 76 69 72 76 69 72 77 67 71 77"},
        {"RootFixedVoicingWithinLimits", gbe, {{.ntr = 1, .high = 74}}, "C", {11}, false, "64 67 72"},
        // Guitar: the open C shape C3 E3 G3 C4 E4 strummed, then E4 alone. Stroke and
        // all-purpose fit the strum (Am: G3 to A3; G: B2 D3 G3 B3 D4); alone, E4 takes the
        // nearest chord tone (stroke) or keeps its role, the third (all-purpose); arpeggio
        // keeps every note's role.
        {"GuitarStroke", shapeC, {{.ntr = 2, .ntt = 1}}, "Am G", {11}, false,
         "48 52 57 60 64 64 47 50 55 59 62 62"},
        {"GuitarAllPurpose", shapeC, {{.ntr = 2, .ntt = 0}}, "Am G", {11}, false,
         "48 52 57 60 64 60 47 50 55 59 62 59"},
        {"GuitarArpeggio", shapeC, {{.ntr = 2, .ntt = 2}}, "Am G", {11}, false,
         "45 48 52 57 60 60 43 47 50 55 59 59"},
        // Keys from 96 up on a guitar or the bass part are noises: not sounded.
        {"NoiseNotes", {{11, 100}, {11, 60}, {10, 97}, {10, 36}, {10, 95}},
         {{.ntr = 2, .ntt = 2}, {.source = 10, .destination = 10, .ntt = 0}}, "C", {11, 10}, false,
         "60 | 36 95"},
        // Ctb2 ranges, middle G3 to C5 inclusive (Chord table): C3 below is root-fixed Bypass,
        // E5 above a melody with high key C (under F an octave down). A Cntt makes every range
        // a melody (C3 root fixed: F3).
        {"Ctb2Ranges", ranged, {split}, "F", {11}, false, "48 60 65 77 69"},
        {"Ctb2RangesWithCntt", ranged, {withCntt}, "F", {11}, false, "53 60 65 77 69"},
        // The bass plays the on-bass note; the chord part does not move to it.
        {"OnBass", {{10, 48}, {11, 60}, {11, 64}}, {Part(10, 3), {}}, "C/E G/B", {10, 11}, false,
         "52 59 | 60 64 67 71"},
        // Outside the range A2 (45) to A3 (57) notes move by octaves.
        {"Limits", Phrase(10, {48, 52, 55}, 480, 240),
         {{.source = 10, .destination = 10, .ntt = 3, .low = 45, .high = 57}}, "C F G7 A", {10},
         false, "48 52 55 53 57 48 55 47 50 57 49 52"},
        {"SourceRootD", Phrase(11, {62, 66, 69}, 480, 240), {{.root = 2}}, "C G", {11}, false,
         "60 64 67 67 71 74"},
        // Min (byte 3, bit 0) is muted for the chord part, not min7, nor for the other part.
        {"ChordMute", {{11, 64}, {14, 72}}, {{.chordMute = {0xFF, 0xFF, 0xFF, 0xFE, 0xFF}},
         Part(14, 0)}, "C Am Am7 F", {11, 14}, false, "64 72 69 | 72 81 81 77"},
        // Note mute silences the part under chords rooted F (bit 5 of the second byte) and A
        // (bit 1 of the first), whatever notes it plays; a note held into F ends there.
        {"NoteMute", {{11, 60}}, {{.noteMute = {0x0D, 0xDF}, .ntt = 0}}, "C Am F G7 Bb", {11},
         false, "60 67 70"},
        {"NoteMuteEndsAHeldNote", {{11, 60, 0, 2 * kBar}},
         {{.noteMute = {0x0F, 0xDF}, .ntt = 0, .retrigger = 1}}, "C F", {11}, true,
         "0 on 60, 1920 off 60"},
        // Drums are neither transposed nor silenced by N.C., even with root transposition.
        {"DrumsAndNoChord", {{9, 36, 0, 120}, {11, 60}}, {Part(9, 2), {}}, "A N.C. E", {9, 11},
         false, "36 36 36 | 69 64"},
        {"SetUpToTheDestination", {{2, 60}}, {{.source = 2, .destination = 12}}, "C", {12}, false, "60"}};
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Rendering rendering = Play(StyleFile(row.notes, row.parts), row.chords);
        std::string heard;
        for (int channel : row.channels)
            heard += (heard.empty() ? "" : " | ") + Heard(rendering, channel, row.timed);
        EXPECT_EQ(heard, row.heard);
        EXPECT_EQ(rendering.events.front().bytes,
                  (Bytes{static_cast<uint8_t>(0xC0 + row.parts[0].destination), 0}));
    }
}

TEST(RenderTest, SectionLoopsAndHeldNotesEndAtItsEnd) {
    // A note held at the section's end must not sound on into the next pass.
    const Rendering rendering = Play(StyleFile({{11, 60, 960, kBar}}, {Part(11, 0)}), "C D", 2);
    EXPECT_EQ(Heard(rendering, 11, true),
              "960 on 60, 1920 off 60, 2880 on 60, 3840 off 60, 4800 on 62, 5760 off 62, "
              "6720 on 62, 7680 off 62");
    EXPECT_EQ(rendering.length, 4 * kBar);
}

TEST(RenderTest, StyleWithoutCasmPlaysChannelsNineToSixteenAsThemselves) {
    // Channel 11 plays the default bass (high key D#: F lies below); channel 1 feeds no part.
    const Rendering rendering = Play(StyleFile({{10, 48}, {0, 72}}, {}, false), "F");
    EXPECT_EQ(Heard(rendering, 10, true) + "|" + Heard(rendering, 0, true), "0 on 41, 240 off 41|");
    EXPECT_THAT(rendering.notes, testing::ElementsAre("The style has no CASM data, so channels 9 "
                                                      "to 16 play as themselves with the "
                                                      "player's default rules."));
}

// Such a delta time would be read as other events by every reader (tests/e2e/play_test.py reads
// the written files with mido).
TEST(RenderTest, MidiFileRefusesADeltaTimeBeyondFourBytes) {
    Rendering tooLong;
    tooLong.length = 0x10000000;
    EXPECT_EQ(test::ErrorOf([&] { WriteMidiFile(tooLong); }), 6);
}

// The style reader: timing, section markers, channel events, the part rules of the CASM records
// (Ctab, Cntt, the three ranges of Ctb2), and clear refusals of damaged files.

const Bytes kNoteAndChordMutes = {0x0F, 0xFE, 0x03, 0xFF, 0xFF, 0xFF, 0xFD};

// A 3/4 style at 480 ticks a quarter (1440 a bar): set-up, "Intro A" one bar, "Main A" two bars.
test::TrackBuilder ThreeFourTrack() {
    test::TrackBuilder track;
    track.Marker(0, "SFF1").Tempo(0, 600000).TimeSignature(0, 3, 2).Program(0, 11, 33);
    track.Marker(1440, "Intro A").NoteOn(0, 11, 40, 90);
    // Running status: a second note-on and a note-on of velocity 0 as the release.
    track.Raw({0x00, 43, 80}).Raw({0x83, 0x60, 40, 0}).NoteOff(0, 11, 43);
    return track.Marker(960, "Main A ").NoteOn(0, 12, 60, 100).NoteOff(2880, 12, 60).EndOfTrack();
}

// The style with a CASM chunk of one CSEG for `sections` holding these records.
Bytes StyleWithCasm(const std::string& sections, const Bytes& records) {
    const Bytes cseg = Concat({Chunk("Sdec", Bytes(sections.begin(), sections.end())), records});
    return Concat({test::SongFile(ThreeFourTrack()), Chunk("CASM", Chunk("CSEG", cseg))});
}

TEST(StyleReaderTest, ReadsTimingSectionsEventsAndTheRecordsOfCtabCnttAndCtb2) {
    // 3/4 bars, a marker with a trailing blank, running status, a Cntt refining the record before
    // it, a Ctb2 with its three ranges (the middle one notes 48 to 84), a section no CSEG names.
    const Bytes records =
        Concat({Record("Ctab", "Bass", 10, 10, kNoteAndChordMutes, {2, 8, 1, 3, 5, 28, 100, 4, 0}),
                Chunk("Cntt", {10, 0x85}),
                Record("Ctb2", "Chord 1", 11, 11, kNoteAndChordMutes,
                       {9, 10, 48, 84, 1,  0,   1, 10, 20, 0, 0, 1, 7, 36, 96,
                        2, 1,  3,  11, 90, 127, 5, 0,  0,  0, 0, 0, 0, 0})});
    const PlayableStyle style = ReadPlayableStyle(ByteImage(StyleWithCasm("Intro A", records)));
    EXPECT_EQ((std::vector<int64_t>{style.division, style.tempo, style.numerator, style.BarTicks(),
                                    style.setUpEnd, style.hasCasm}),
              (std::vector<int64_t>{480, 600000, 3, 1440, 1440, true}));
    ASSERT_EQ(style.sections.size(), 2u);
    EXPECT_EQ(std::tie(style.sections[0].name, style.sections[0].start, style.sections[0].end,
                       style.sections[1].name, style.sections[1].start, style.sections[1].end),
              std::tuple("Intro A", 1440, 2880, "Main A", 2880, 5760));
    ASSERT_EQ(style.events.size(), 7u);
    EXPECT_EQ((std::vector<int64_t>{style.events[2].status, style.events[2].data1,
                                    style.events[3].IsNoteOff(), style.events[3].tick}),
              (std::vector<int64_t>{0x9A, 43, true, 1440 + 480}));
    EXPECT_EQ(&DefaultSection(style), &style.sections[1]);
    EXPECT_EQ(FindSection(style, "main a"), &style.sections[1]);

    EXPECT_TRUE(style.notes.empty()) << style.notes.front();
    const auto [parts, defaults] = PartsFor(style, "Intro A");
    EXPECT_FALSE(defaults);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].name + "|" + parts[1].name, "Bass|Chord 1");
    ASSERT_EQ(parts[1].outerRanges.size(), 2u);
    EXPECT_EQ((std::pair{parts[1].middleLowest, parts[1].middleHighest}), (std::pair{48, 84}));
    // clang-format off
    const auto fields = [](const PartRule& p) {
        return std::vector<int>{p.sourceChannel, p.destination, p.noteMute[0], p.noteMute[1],
            p.chordMute[0], p.chordMute[4], p.sourceRoot, p.sourceChord, int(p.ntr), int(p.ntt),
            p.bassOn, p.highKey, p.lowLimit, p.highLimit, p.retrigger};
    };
    // Cntt 5: harmonic minor with the bass-on bit. The Ctb2's low and high ranges take their NTT
    // numbers from the newer table (3: melodic minor).
    const std::pair<PartRule, std::vector<int>> rules[] = {
        {parts[0], {10, 10, 0x0F, 0xFE, 0x03, 0xFD, 2, 8, true, int(Ntt::kHarmonicMinor), true,
                    5, 28, 100, kRetriggerRetriggerToRoot}},
        {parts[1], {11, 11, 0x0F, 0xFE, 0x03, 0xFD, 9, 10, false, int(Ntt::kMelody), false, 7, 36,
                    96, kRetriggerPitchShiftToRoot}},
        {parts[1].outerRanges[0], {11, 11, 0x0F, 0xFE, 0x03, 0xFD, 9, 10, int(Ntr::kRootFixed),
                                   int(Ntt::kBypass), false, 1, 10, 20, kRetriggerStop}},
        {parts[1].outerRanges[1], {11, 11, 0x0F, 0xFE, 0x03, 0xFD, 9, 10, int(Ntr::kRootFixed),
                                   int(Ntt::kMelodicMinor), false, 11, 90, 127,
                                   kRetriggerNoteGenerator}}};
    // clang-format on
    for (const auto& [rule, expected] : rules)
        EXPECT_EQ(fields(rule), expected);
    EXPECT_TRUE(PartsFor(style, "Main A").defaults);
}

TEST(StyleReaderTest, DamagedOrUnusableCasmFallsBackToTheDefaultParts) {
    // Guards against a damaged CASM chunk stopping the player, a record for a destination outside
    // 8-15 played on a keyboard channel, and a section left silent (or played with another
    // section's records) when no CSEG holds a usable record for it.
    Bytes file = StyleWithCasm("Intro A,Main A", Record("Ctab", "Lost", 3, 3, kNoteAndChordMutes,
                                                        {0, 2, 0, 2, 7, 0, 127, 1, 0}));
    const PlayableStyle style = ReadPlayableStyle(ByteImage(file));
    ASSERT_EQ(style.notes.size(), 1u);
    EXPECT_NE(style.notes[0].find("feeds destination 3"), std::string::npos) << style.notes[0];
    const auto [parts, defaults] = PartsFor(style, "Main A");
    ASSERT_TRUE(defaults && parts.size() == 8u);
    EXPECT_EQ(
        std::tie(parts[0].destination, parts[1].ntr, parts[2].ntt, parts[3].ntt, parts[6].ntt),
        std::tuple(8, Ntr::kRootFixed, Ntt::kBass, Ntt::kChord, Ntt::kMelody));

    file[test::SongFile(ThreeFourTrack()).size() + 7] += 10;  // CASM claims 10 bytes too many
    const PlayableStyle damaged = ReadPlayableStyle(ByteImage(file));
    ASSERT_FALSE(damaged.notes.empty());
    EXPECT_EQ(damaged.notes[0].rfind("CASM: \"CASM\" at offset", 0), 0u) << damaged.notes[0];
    EXPECT_TRUE(PartsFor(damaged, "Main A").defaults);
}

TEST(StyleReaderTest, DamagedFilesAreRefusedWithAMessage) {
    // Guards against undefined behaviour or an unexplained failure on files that are not styles.
    const Bytes good = test::SongFile(ThreeFourTrack()), wave = {'R', 'I', 'F', 'F', '0', '0'};
    for (const auto& [file, part] : std::vector<std::pair<Bytes, std::string>>{
             {Bytes(good.begin(), good.begin() + 40), "is cut short"},
             {Bytes(good.begin(), good.begin() + 10), "too few for a MIDI file"},
             {Concat({wave, Bytes(26, '0')}), "does not begin with \"MThd\""},
             {test::SongFile(ThreeFourTrack().Events(), 480, 1), "of type 1"},
             {test::SongFile(ThreeFourTrack().Events(), 0xE728), "ticks per quarter"},
             {Bytes(good.begin(), good.end() - 4), "no End of Track event"}}) {
        EXPECT_THAT([&bytes = file] { ReadPlayableStyle(ByteImage(bytes)); },
                    testing::ThrowsMessage<PlayerError>(testing::HasSubstr(part)));
    }
}

}  // namespace
}  // namespace zephrane::player
