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
using test::Vlq;

constexpr int64_t kBar = 1920;  // 4/4 at 480 ticks a quarter
constexpr int64_t kEighth = 240;

// A note of a section's phrase, timed from the section's marker.
struct PhraseNote {
    int channel = 11;  // 0-based
    int key = 60;
    int64_t on = 0;
    int64_t off = 0;
    int velocity = 100;
};

struct Ctab {
    int source = 11;
    int destination = 11;
    std::string name = "Chord 1";
    std::array<uint8_t, 2> noteMute = {0x0F, 0xFF};
    std::array<uint8_t, 5> chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    int root = 0;
    int chord = 2;  // maj7
    int ntr = 0;
    int ntt = 2;
    int highKey = 11;
    int low = 0;
    int high = 127;
    int retrigger = 3;
    Bytes after;  // records that follow this one (a Cntt)
};

Bytes CtabChunk(const Ctab& ctab) {
    Bytes data = {static_cast<uint8_t>(ctab.source)};
    std::string name = ctab.name;
    name.resize(8, ' ');
    data.insert(data.end(), name.begin(), name.end());
    data.push_back(static_cast<uint8_t>(ctab.destination));
    data.push_back(0);
    data.insert(data.end(), ctab.noteMute.begin(), ctab.noteMute.end());
    data.insert(data.end(), ctab.chordMute.begin(), ctab.chordMute.end());
    for (int value : {ctab.root, ctab.chord, ctab.ntr, ctab.ntt, ctab.highKey, ctab.low, ctab.high,
                      ctab.retrigger, 0}) {
        data.push_back(static_cast<uint8_t>(value));
    }
    return Chunk("Ctab", data);
}

// A style: one set-up measure ("SFF1", tempo, 4/4, a program per channel), then "Main A" of
// `bars` bars holding `notes`, then the CASM chunk with one CSEG for "Main A".
Bytes StyleFile(const std::vector<PhraseNote>& notes, int bars, const std::vector<Ctab>& parts,
                bool withCasm = true) {
    std::multimap<int64_t, Bytes> timed;  // equal ticks keep their insertion order
    for (const PhraseNote& note : notes) {
        timed.insert(
            {kBar + note.off,
             {static_cast<uint8_t>(0x80 | note.channel), static_cast<uint8_t>(note.key), 0}});
    }
    std::multimap<int64_t, Bytes> starts;
    for (const PhraseNote& note : notes) {
        starts.insert({kBar + note.on,
                       {static_cast<uint8_t>(0x90 | note.channel), static_cast<uint8_t>(note.key),
                        static_cast<uint8_t>(note.velocity)}});
    }
    test::TrackBuilder track;
    track.Marker(0, "SFF1").Tempo(0, 500000).TimeSignature(0, 4, 2);
    for (const Ctab& part : parts)
        track.Program(0, part.source + 1, 0);
    track.Marker(static_cast<uint32_t>(kBar), "Main A");
    int64_t now = kBar;
    auto offs = timed.begin();
    auto ons = starts.begin();
    while (offs != timed.end() || ons != starts.end()) {
        // At one tick the releases come first.
        const bool takeOff =
            ons == starts.end() || (offs != timed.end() && offs->first <= ons->first);
        auto& it = takeOff ? offs : ons;
        track.Raw(Concat({Vlq(static_cast<uint32_t>(it->first - now)), it->second}));
        now = it->first;
        ++it;
    }
    track.EndOfTrack(static_cast<uint32_t>(kBar + bars * kBar - now));
    if (!withCasm) return test::SongFile(track);
    Bytes cseg = Chunk("Sdec", {'M', 'a', 'i', 'n', ' ', 'A'});
    for (const Ctab& part : parts) {
        const Bytes record = Concat({CtabChunk(part), part.after});
        cseg.insert(cseg.end(), record.begin(), record.end());
    }
    return Concat({test::SongFile(track), Chunk("CASM", Chunk("CSEG", cseg))});
}

// Guards against hanging notes: every note-on is released before the same key is struck again
// on its channel, every note-off releases a sounding note, nothing sounds at the end and no
// channel is left bent.
void ExpectNoHangingNotes(const Rendering& rendering) {
    std::map<std::pair<int, int>, bool> sounding;
    std::map<int, int> bend;
    using Key = std::pair<int, int>;
    for (const MidiMessage& message : rendering.events) {
        ASSERT_LE(message.tick, rendering.length);
        if (message.IsMeta()) continue;
        const int kind = message.bytes[0] >> 4;
        const int channel = message.bytes[0] & 0x0F;
        if (kind == 0x9 && message.bytes[2] > 0) {
            EXPECT_FALSE(sounding[Key(channel, message.bytes[1])])
                << "key " << int{message.bytes[1]} << " struck twice at " << message.tick;
            sounding[{channel, message.bytes[1]}] = true;
        } else if (kind == 0x8 || kind == 0x9) {
            EXPECT_TRUE(sounding[Key(channel, message.bytes[1])])
                << "key " << int{message.bytes[1]} << " released unstruck at " << message.tick;
            sounding[{channel, message.bytes[1]}] = false;
        } else if (kind == 0xE) {
            bend[channel] = message.bytes[1] | (message.bytes[2] << 7);
        }
    }
    for (const auto& [key, on] : sounding)
        EXPECT_FALSE(on) << "channel " << key.first << " key " << key.second << " hangs";
    for (const auto& [channel, value] : bend)
        EXPECT_EQ(value, 8192) << "channel " << channel << " is left bent";
}

Rendering Play(const Bytes& style, const std::string& chords, int barsPerChord = 1, int loops = 1) {
    const PlayableStyle read = ReadPlayableStyle(ByteImage(style));
    RenderRequest request;
    request.chords = ParseProgression(chords);
    request.barsPerChord = barsPerChord;
    request.loops = loops;
    Rendering rendering = RenderSection(read, request);
    ExpectNoHangingNotes(rendering);
    return rendering;
}

struct Played {
    int64_t on = 0;
    int64_t off = 0;
    int key = 0;
    friend bool operator==(const Played&, const Played&) = default;
};

void PrintTo(const Played& note, std::ostream* out) {
    *out << "{" << note.on << "-" << note.off << " key " << note.key << "}";
}

// The notes of `channel`, each from its note-on to its note-off, in the order they begin.
std::vector<Played> NotesOn(const Rendering& rendering, int channel) {
    std::vector<Played> notes;
    std::map<int, size_t> open;
    for (const MidiMessage& message : rendering.events) {
        if (message.IsMeta() || (message.bytes[0] & 0x0F) != channel) continue;
        const int kind = message.bytes[0] >> 4;
        const int key = message.bytes[1];
        if (kind == 0x9 && message.bytes[2] > 0) {
            open[key] = notes.size();
            notes.push_back({message.tick, -1, key});
        } else if (kind == 0x8 || kind == 0x9) {
            notes[open.at(key)].off = message.tick;
        }
    }
    return notes;
}

// The eight eighth notes of the scale of C: C4 D4 E4 F4 G4 A4 B4 C5, each half an eighth long.
std::vector<PhraseNote> ScaleOfC(int channel) {
    std::vector<PhraseNote> notes;
    int64_t on = 0;
    for (int key : {60, 62, 64, 65, 67, 69, 71, 72}) {
        notes.push_back({channel, key, on, on + kEighth / 2});
        on += kEighth;
    }
    return notes;
}

// The notes the scale phrase is expected to give, bar after bar.
std::vector<Played> EighthsFromKeys(const std::vector<std::vector<int>>& bars) {
    std::vector<Played> notes;
    int64_t on = 0;
    for (const std::vector<int>& keys : bars) {
        for (int key : keys) {
            notes.push_back({on, on + kEighth / 2, key});
            on += kEighth;
        }
    }
    return notes;
}

constexpr char kProgression[] = "C F G7 Am Dm7";

std::vector<Played> ScaleUnder(int ntt, int ntr = 0, int highKey = 11) {
    Ctab part;
    part.ntt = ntt;
    part.ntr = ntr;
    part.highKey = highKey;
    return NotesOn(Play(StyleFile(ScaleOfC(11), 1, {part}), kProgression), 11);
}

TEST(RenderTest, BypassTransposesByTheRootOnly) {
    // Guards against a bypass part whose notes change with the chord type.
    EXPECT_EQ(ScaleUnder(0), EighthsFromKeys({{60, 62, 64, 65, 67, 69, 71, 72},
                                              {65, 67, 69, 70, 72, 74, 76, 77},
                                              {67, 69, 71, 72, 74, 76, 78, 79},
                                              {69, 71, 73, 74, 76, 78, 80, 81},
                                              {62, 64, 66, 67, 69, 71, 73, 74}}));
}

TEST(RenderTest, MelodyKeepsEachNoteOnItsScaleDegree) {
    // Guards against a melody that loses its line: major (Ionian), dominant (Mixolydian), minor
    // (Aeolian) and minor seventh (Dorian) scales, each from its chord's root.
    EXPECT_EQ(ScaleUnder(1), EighthsFromKeys({{60, 62, 64, 65, 67, 69, 71, 72},
                                              {65, 67, 69, 70, 72, 74, 76, 77},
                                              {67, 69, 71, 72, 74, 76, 77, 79},
                                              {69, 71, 72, 74, 76, 77, 79, 81},
                                              {62, 64, 65, 67, 69, 71, 72, 74}}));
}

TEST(RenderTest, ChordTurnsEveryNoteIntoAChordTone) {
    // Guards against passing notes sounding in a chord part: the seventh of CMaj7 becomes the
    // root of a triad and the seventh of a seventh chord, other notes the nearest chord tone
    // (half-way: upward).
    EXPECT_EQ(ScaleUnder(2), EighthsFromKeys({{60, 64, 64, 64, 67, 67, 72, 72},
                                              {65, 69, 69, 69, 72, 72, 77, 77},
                                              {67, 71, 71, 71, 74, 77, 77, 79},
                                              {69, 72, 72, 76, 76, 76, 81, 81},
                                              {62, 65, 65, 69, 69, 72, 72, 74}}));
}

TEST(RenderTest, BassKeepsChordFunctionsAndScaleSteps) {
    // Guards against a bass line snapped to chord tones (its passing notes must stay steps) or
    // keeping a major seventh over a triad.
    EXPECT_EQ(ScaleUnder(3), EighthsFromKeys({{60, 62, 64, 65, 67, 69, 72, 72},
                                              {65, 67, 69, 70, 72, 74, 77, 77},
                                              {67, 69, 71, 72, 74, 76, 77, 79},
                                              {69, 71, 72, 74, 76, 77, 81, 81},
                                              {62, 64, 65, 67, 69, 71, 72, 74}}));
}

TEST(RenderTest, MelodicMinorChangesOnlyTheThird) {
    // Guards against the melodic minor table touching the sixth or seventh.
    EXPECT_EQ(ScaleUnder(4), EighthsFromKeys({{60, 62, 64, 65, 67, 69, 71, 72},
                                              {65, 67, 69, 70, 72, 74, 76, 77},
                                              {67, 69, 71, 72, 74, 76, 78, 79},
                                              {69, 71, 72, 74, 76, 78, 80, 81},
                                              {62, 64, 65, 67, 69, 71, 73, 74}}));
}

TEST(RenderTest, HarmonicMinorChangesTheThirdAndTheSixth) {
    // Guards against a harmonic minor without its minor sixth and raised seventh.
    EXPECT_EQ(ScaleUnder(5), EighthsFromKeys({{60, 62, 64, 65, 67, 69, 71, 72},
                                              {65, 67, 69, 70, 72, 74, 76, 77},
                                              {67, 69, 71, 72, 74, 76, 78, 79},
                                              {69, 71, 72, 74, 76, 77, 80, 81},
                                              {62, 64, 65, 67, 69, 70, 73, 74}}));
}

std::vector<int> KeysOf(const std::vector<Played>& notes) {
    std::vector<int> keys;
    for (const Played& note : notes)
        keys.push_back(note.key);
    return keys;
}

std::vector<Played> ScaleWithCntt(uint8_t table, const std::string& chords) {
    Ctab part;
    part.ntt = 1;
    part.after = Chunk("Cntt", {11, table});
    return NotesOn(Play(StyleFile(ScaleOfC(11), 1, {part}), chords), 11);
}

TEST(RenderTest, CnttNaturalMinorAndDorianFollowTheMinorChords) {
    // Guards against the Cntt tables of the newer styles read as the Ctab numbers: natural
    // minor (7) lowers the third, sixth and seventh; Dorian (9) the third and seventh.
    EXPECT_EQ(ScaleWithCntt(7, "Am"), EighthsFromKeys({{69, 71, 72, 74, 76, 77, 79, 81}}));
    EXPECT_EQ(ScaleWithCntt(9, "Dm7"), EighthsFromKeys({{62, 64, 65, 67, 69, 71, 72, 74}}));
}

TEST(RenderTest, CnttFifthVariationFollowsTheChordsFifth) {
    // Guards against the 5th variation being ignored: melodic minor with the fifth (4) under
    // Cdim plays Eb and Gb.
    EXPECT_EQ(ScaleWithCntt(4, "Cdim"), EighthsFromKeys({{60, 62, 63, 65, 66, 69, 71, 72}}));
}

TEST(RenderTest, BassPlaysTheOnBassNoteAndChordPartsDoNot) {
    // Guards against an on-bass chord ("C/E") ignored by the bass or moving the chord part.
    Ctab bass;
    bass.source = 10;
    bass.destination = 10;
    bass.name = "Bass";
    bass.ntt = 3;
    Ctab chord;
    const std::vector<PhraseNote> notes = {{10, 48, 0, 240}, {11, 60, 0, 240}, {11, 64, 0, 240}};
    const Rendering rendering = Play(StyleFile(notes, 1, {bass, chord}), "C/E G/B");
    EXPECT_EQ(KeysOf(NotesOn(rendering, 10)), (std::vector<int>{52, 59}));
    EXPECT_EQ(KeysOf(NotesOn(rendering, 11)), (std::vector<int>{60, 64, 67, 71}));
}

TEST(RenderTest, PhraseWrittenInDTransposesFromD) {
    // Guards against the source root being ignored: D4 F#4 A4 written over Dmaj7 plays C E G
    // under C and G B D under G.
    Ctab part;
    part.root = 2;
    const std::vector<PhraseNote> notes = {
        {11, 62, 0, 240}, {11, 66, 480, 720}, {11, 69, 960, 1200}};
    EXPECT_EQ(KeysOf(NotesOn(Play(StyleFile(notes, 1, {part}), "C G"), 11)),
              (std::vector<int>{60, 64, 67, 67, 71, 74}));
}

// C4 E4 G4, a quarter each, in a chord part.
std::vector<Played> TriadUnder(int ntr, int highKey, const std::string& chords) {
    const std::vector<PhraseNote> triad = {
        {11, 60, 0, 240}, {11, 64, 480, 720}, {11, 67, 960, 1200}};
    Ctab part;
    part.ntr = ntr;
    part.highKey = highKey;
    std::vector<Played> keys;
    for (const Played& note : NotesOn(Play(StyleFile(triad, 1, {part}), chords), 11))
        keys.push_back(note);
    return keys;
}

TEST(RenderTest, RootTransposesUpToTheHighKeyAndDownAboveIt) {
    // Guards against the high key being ignored or applied the wrong way: with high key F, the
    // roots C to F lie above the written phrase, F# to B below it.
    EXPECT_EQ(KeysOf(TriadUnder(0, 5, "C F G Am")),
              (std::vector<int>{60, 64, 67, 65, 69, 72, 55, 59, 62, 57, 60, 64}));
}

TEST(RenderTest, RootFixedKeepsEachNoteInItsOctave) {
    // Guards against root fixed moving the whole phrase: C4 E4 G4 under F is C4 F4 A4 (in the
    // written order F4 A4 C4), each note staying between C4 and B4, whatever the high key.
    EXPECT_EQ(KeysOf(TriadUnder(1, 5, "C F G Am")),
              (std::vector<int>{60, 64, 67, 65, 69, 60, 67, 71, 62, 69, 60, 64}));
}

TEST(RenderTest, NotesOutsideTheLimitsMoveByOctaves) {
    // Guards against notes leaving the part's range: A2 (45) to A3 (57).
    const std::vector<PhraseNote> bass = {
        {10, 48, 0, 240}, {10, 52, 480, 720}, {10, 55, 960, 1200}};
    Ctab part;
    part.source = 10;
    part.destination = 10;
    part.name = "Bass";
    part.ntt = 3;
    part.low = 45;
    part.high = 57;
    const Rendering rendering = Play(StyleFile(bass, 1, {part}), "C F G7 A");
    EXPECT_EQ(KeysOf(NotesOn(rendering, 10)),
              (std::vector<int>{48, 52, 55, 53, 57, 48, 55, 47, 50, 57, 49, 52}));
}

TEST(RenderTest, ChordMuteSilencesThePartOnMutedChords) {
    // Guards against a part sounding on a chord its chord mute excludes (min: byte 3, bit 0),
    // and against the mute reaching other chord types (min7) or other parts.
    Ctab chord;
    chord.chordMute = {0xFF, 0xFF, 0xFF, 0xFE, 0xFF};
    Ctab phrase;
    phrase.source = 14;
    phrase.destination = 14;
    phrase.name = "Phrase 1";
    phrase.ntt = 0;
    const std::vector<PhraseNote> notes = {{11, 64, 0, 240}, {14, 72, 0, 240}};
    const Rendering rendering = Play(StyleFile(notes, 1, {chord, phrase}), "C Am Am7 F");
    EXPECT_EQ(NotesOn(rendering, 11),
              (std::vector<Played>{
                  {0, 240, 64}, {2 * kBar, 2 * kBar + 240, 72}, {3 * kBar, 3 * kBar + 240, 69}}));
    EXPECT_EQ(KeysOf(NotesOn(rendering, 14)), (std::vector<int>{72, 81, 81, 77}));
}

TEST(RenderTest, NoteMuteKeepsMutedPitchClassesSilent) {
    // Guards against the note mute bits being read from the wrong byte: E (bit 4 of the second
    // byte) and B (bit 3 of the first) are muted.
    Ctab part;
    part.ntt = 0;
    part.noteMute = {0x07, 0xEF};
    EXPECT_EQ(KeysOf(NotesOn(Play(StyleFile(ScaleOfC(11), 1, {part}), "F"), 11)),
              (std::vector<int>{65, 67, 70, 72, 74, 77}));
}

TEST(RenderTest, DrumsAreNeitherTransposedNorSilencedByNoChord) {
    // Guards against drum notes following the chords and against "N.C." silencing the rhythm.
    Ctab drums;
    drums.source = 9;
    drums.destination = 9;
    drums.name = "Rhythm";
    drums.ntr = 0;  // even a record asking for root transposition
    drums.ntt = 2;
    Ctab chord;
    const std::vector<PhraseNote> notes = {{9, 36, 0, 120}, {11, 60, 0, 240}};
    const Rendering rendering = Play(StyleFile(notes, 1, {drums, chord}), "A N.C. E");
    EXPECT_EQ(KeysOf(NotesOn(rendering, 9)), (std::vector<int>{36, 36, 36}));
    EXPECT_EQ(NotesOn(rendering, 11),
              (std::vector<Played>{{0, 240, 69}, {2 * kBar, 2 * kBar + 240, 64}}));
}

TEST(RenderTest, SectionLoopsAndHeldNotesEndAtItsEnd) {
    // Guards against a section played once only, and against a note still held at the
    // section's end sounding on into the next pass.
    Ctab part;
    part.ntt = 0;
    const std::vector<PhraseNote> notes = {{11, 60, 960, kBar}};  // released only at the end
    const Rendering rendering = Play(StyleFile(notes, 1, {part}), "C D", 2);
    EXPECT_EQ(NotesOn(rendering, 11), (std::vector<Played>{{960, kBar, 60},
                                                           {kBar + 960, 2 * kBar, 60},
                                                           {2 * kBar + 960, 3 * kBar, 62},
                                                           {3 * kBar + 960, 4 * kBar, 62}}));
    EXPECT_EQ(rendering.length, 4 * kBar);
}

TEST(RenderTest, StyleWithoutCasmPlaysChannelsNineToSixteenAsThemselves) {
    // Guards against a style without CASM data played silent or on the wrong channels: the
    // bass on channel 11 follows the default bass rules (high key D#: F lies below), channel 1
    // feeds no part.
    const std::vector<PhraseNote> notes = {{10, 48, 0, 240}, {0, 72, 0, 240}};
    const Rendering rendering = Play(StyleFile(notes, 1, {}, /*withCasm=*/false), "F");
    EXPECT_EQ(NotesOn(rendering, 10), (std::vector<Played>{{0, 240, 41}}));
    EXPECT_TRUE(NotesOn(rendering, 0).empty());
    ASSERT_EQ(rendering.notes.size(), 1u);
    EXPECT_EQ(rendering.notes[0],
              "The style has no CASM data, so channels 9 to 16 play as themselves with the "
              "player's default rules.");
}

// The channel messages of `channel` after the set-up, as text: "1920 on 67", "1920 bend 11605".
std::vector<std::string> Performance(const Rendering& rendering, int channel) {
    std::vector<std::string> lines;
    for (const MidiMessage& message : rendering.events) {
        if (message.IsMeta() || (message.bytes[0] & 0x0F) != channel) continue;
        const int kind = message.bytes[0] >> 4;
        const std::string at = std::to_string(message.tick) + " ";
        if (kind == 0x9) lines.push_back(at + "on " + std::to_string(message.bytes[1]));
        if (kind == 0x8) lines.push_back(at + "off " + std::to_string(message.bytes[1]));
        if (kind == 0xE) {
            lines.push_back(at + "bend " +
                            std::to_string(message.bytes[1] | (message.bytes[2] << 7)));
        }
    }
    return lines;
}

// D4 held through two bars in a melody part; the chord changes from C to F half-way, where the
// note's new pitch is G4 (+5).
std::vector<std::string> HeldThroughChange(int retrigger) {
    Ctab part;
    part.ntt = 1;
    part.retrigger = retrigger;
    const std::vector<PhraseNote> held = {{11, 62, 0, 2 * kBar}};
    return Performance(Play(StyleFile(held, 2, {part}), "C F"), 11);
}

TEST(RenderTest, StopEndsTheHeldNoteAtTheChordChange) {
    // Guards against a stopped note sounding on into the new chord.
    EXPECT_EQ(HeldThroughChange(0), (std::vector<std::string>{"0 on 62", "1920 off 62"}));
}

TEST(RenderTest, PitchShiftGlidesWithoutANewAttack) {
    // Guards against a pitch shift striking the note again: one bend of +5 semitones (8192 +
    // 5 x 8192 / 12) moves it to G4; the bend is released with the note.
    EXPECT_EQ(HeldThroughChange(1), (std::vector<std::string>{"0 on 62", "1920 bend 11605",
                                                              "3840 off 62", "3840 bend 8192"}));
}

TEST(RenderTest, PitchShiftToRootGlidesToTheNearestRoot) {
    // Guards against the glide going to the converted note instead of the root F4 (+3).
    EXPECT_EQ(HeldThroughChange(2), (std::vector<std::string>{"0 on 62", "1920 bend 10240",
                                                              "3840 off 62", "3840 bend 8192"}));
}

TEST(RenderTest, RetriggerStrikesTheNewPitch) {
    // Guards against a retriggered note kept at its old pitch or struck without its release.
    EXPECT_EQ(HeldThroughChange(3),
              (std::vector<std::string>{"0 on 62", "1920 off 62", "1920 on 67", "3840 off 67"}));
}

TEST(RenderTest, RetriggerToRootStrikesTheNearestRoot) {
    // Guards against "to root" striking the converted note G4 instead of F4.
    EXPECT_EQ(HeldThroughChange(4),
              (std::vector<std::string>{"0 on 62", "1920 off 62", "1920 on 65", "3840 off 65"}));
}

TEST(RenderTest, NoteGeneratorStrikesTheNearestChordTone) {
    // Guards against the note generator keeping a tone outside the chord: G4 lies between F4
    // and A4; half-way goes up.
    EXPECT_EQ(HeldThroughChange(5),
              (std::vector<std::string>{"0 on 62", "1920 off 62", "1920 on 69", "3840 off 69"}));
}

TEST(RenderTest, PitchShiftOfUnequalGlidesStrikesTheMovedNotes) {
    // Guards against one bend for notes that must move by different intervals: C4 E4 G4 held
    // from C into Am (high key G: down to A3 C4 E4, -3 -4 -3) are struck again at their pitches.
    Ctab part;
    part.retrigger = 1;
    part.highKey = 7;
    const std::vector<PhraseNote> chord = {
        {11, 60, 0, 2 * kBar}, {11, 64, 0, 2 * kBar}, {11, 67, 0, 2 * kBar}};
    EXPECT_EQ(
        Performance(Play(StyleFile(chord, 2, {part}), "C Am"), 11),
        (std::vector<std::string>{"0 on 60", "0 on 64", "0 on 67", "1920 off 60", "1920 off 64",
                                  "1920 off 67", "1920 on 57", "1920 on 60", "1920 on 64",
                                  "3840 off 57", "3840 off 60", "3840 off 64"}));
}

TEST(RenderTest, NewNoteOnABentChannelReleasesTheBend) {
    // Guards against a new note sounding bent: the glided note is struck again at the pitch it
    // sounds at, the bend released, then the new note begins.
    Ctab part;
    part.ntt = 1;
    part.retrigger = 1;
    const std::vector<PhraseNote> notes = {{11, 62, 0, 2 * kBar}, {11, 60, kBar + 960, 2 * kBar}};
    EXPECT_EQ(
        Performance(Play(StyleFile(notes, 2, {part}), "C F"), 11),
        (std::vector<std::string>{"0 on 62", "1920 bend 11605", "2880 off 62", "2880 bend 8192",
                                  "2880 on 67", "2880 on 65", "3840 off 67", "3840 off 65"}));
}

TEST(RenderTest, SetUpIsSentToTheDestinationChannels) {
    // Guards against the voices of the set-up measure staying on the source channels.
    Ctab part;
    part.source = 2;
    part.destination = 12;
    const Rendering rendering = Play(StyleFile({{2, 60, 0, 240}}, 1, {part}), "C");
    ASSERT_FALSE(rendering.events.empty());
    EXPECT_EQ(rendering.events.front().bytes, (std::vector<uint8_t>{0xCC, 0}));
    EXPECT_EQ(NotesOn(rendering, 12), (std::vector<Played>{{0, 240, 60}}));
}

TEST(RenderTest, UnknownSectionIsRefusedWithTheSectionList) {
    // Guards against a silent default when the asked-for section does not exist.
    const PlayableStyle style = ReadPlayableStyle(ByteImage(StyleFile({}, 1, {Ctab{}})));
    RenderRequest request;
    request.section = "Main Z";
    request.chords = ParseProgression("C");
    try {
        RenderSection(style, request);
        FAIL() << "no refusal";
    } catch (const PlayerError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The style has no section \"Main Z\"; its sections are \"Main A\".");
    }
}

TEST(RenderTest, MidiFileHoldsTheEventsAsTypeZero) {
    // Guards against a MIDI file other readers cannot take: header, track length, events with
    // their delta times, End of Track at the rendering's length.
    Ctab part;
    part.ntt = 0;
    const std::vector<uint8_t> file =
        WriteMidiFile(Play(StyleFile({{11, 60, 0, 240}}, 1, {part}), "D"));
    ASSERT_GE(file.size(), 32u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 18),
              (std::vector<uint8_t>{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M',
                                    'T', 'r', 'k'}));
    const size_t trackLength =
        (size_t{file[18]} << 24) | (size_t{file[19]} << 16) | (size_t{file[20]} << 8) | file[21];
    EXPECT_EQ(trackLength, file.size() - 22);
    // D4 released 240 ticks after it began (81 70), End of Track 1680 ticks later (8D 10).
    EXPECT_EQ(std::vector<uint8_t>(file.end() - 10, file.end()),
              (std::vector<uint8_t>{0x81, 0x70, 0x8B, 0x3E, 0x00, 0x8D, 0x10, 0xFF, 0x2F, 0x00}));
}

TEST(RenderTest, MidiFileRefusesADeltaTimeBeyondFourBytes) {
    // Guards against a five-byte delta time, which every reader takes for other events: a long
    // chord held for many bars at a fine division leaves more than 0x0FFFFFFF ticks between events.
    Rendering rendering;
    rendering.length = 0x10000000;
    EXPECT_EQ(test::ErrorOf([&] { WriteMidiFile(rendering); }), 6);
}

}  // namespace
}  // namespace zephrane::player
