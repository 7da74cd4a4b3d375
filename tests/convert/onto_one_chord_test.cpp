// Measures played over changing chords, written over C maj7 span by span: exact bytes in and out
// for each part, half-measure changes, note-offs that must follow their note-ons, and what stays.

#include "convert/onto_one_chord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/error_of.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::TrackBuilder;

// CASM snapshot parts: the part code + 1.
constexpr int kNoPart = 0, kRhythm = 10, kBass = 11, kChord1 = 12, kPad = 14, kPhrase1 = 15;
constexpr uint32_t kBeat = 480, kMeasure = 1920;
constexpr PartHighKeys kShortestWay = {-1, -1, -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1};

// A 4/4 song: a hit on channel 10 in measure 0, then `notes` from measure 1 on.
Bytes Song(const TrackBuilder& notes) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 10, 36, 100).NoteOff(kBeat, 10, 36);
    track.Raw(notes.Events());
    track.EndOfTrack();
    return test::SongFile(track);
}

CasmSnapshot Parts(std::initializer_list<std::pair<int, int>> channelParts) {
    CasmSnapshot parts;
    for (const auto& [channel, part] : channelParts)
        parts.part.at(channel) = static_cast<int16_t>(part);
    return parts;
}

Bytes Converted(const Bytes& song, const CasmSnapshot& parts, MeasureRange range,
                const std::vector<ChordChange>& chords, const ChannelTable& channels = {}) {
    ByteImage image(song);
    ConvertOntoCMaj7(image, parts, kShortestWay, channels, range, chords);
    return image.Bytes();
}

struct NoteCase {
    const char* name;
    const char* chord;  // played over in measure 1
    int part;
    uint8_t source;
    uint8_t written;
};

// clang-format off
const NoteCase kNoteCases[] = {
    // G7 moves up a fourth: G B D F become C E G Bb, and each chord tone takes its degree's tone
    // of C maj7, as the instrument moves C maj7 onto G7: the seventh Bb becomes B.
    {"G7ChordRootBecomesC", "G7", kChord1, 67, 72},
    {"G7ChordThirdBecomesE", "G7", kChord1, 71, 76},
    {"G7ChordFifthBecomesG", "G7", kChord1, 74, 79},
    {"G7ChordSeventhBecomesB", "G7", kChord1, 77, 83},
    {"G7PadSeventhBecomesB", "G7", kPad, 77, 83},
    {"G7PhraseSeventhBecomesB", "G7", kPhrase1, 77, 83},
    {"Dm7ChordMinorThirdBecomesE", "Dm7", kChord1, 65, 64},
    {"Bdim7DiminishedFifthBecomesG", "Bdim", kChord1, 65, 67},
    {"C6SixthBecomesB", "C6", kPad, 69, 71},
    {"G7Flat9TensionBecomesG", "G7(b9)", kChord1, 68, 79},
    // Other notes keep the part's notes: the scale C D E G A B for the bass and the phrases.
    {"G7BassRootBecomesC", "G7", kBass, 43, 48},
    {"G7PhraseNinthBecomesD", "G7", kPhrase1, 69, 74},
    {"Dm7PhraseEleventhFallsToE", "Dm7", kPhrase1, 67, 64},
    // Am moves up a minor third to Cm; its minor third Eb rises to E.
    {"AmPhraseThirdRisesToE", "Am", kPhrase1, 72, 76},
    {"AmChordFifthBecomesG", "Am", kChord1, 76, 79},
    // F moves down a fourth, F# up a tritone: the shortest way.
    {"FBassMovesDown", "F", kBass, 41, 36},
    {"FSharpBassMovesUp", "F#m7", kBass, 42, 48},
    {"OnBassChordMovesByItsRoot", "D/F#", kBass, 42, 40},
    // A channel without a part moves to C and keeps its pitch classes.
    {"NoPartOnlyMoves", "G7", kNoPart, 77, 82},
    // Measures already over C maj7, and those without a chord, stay as they are.
    {"Cmaj7Unchanged", "Cmaj7", kChord1, 71, 71},
    {"CScaleNoteUnchanged", "C", kPhrase1, 69, 69},
    {"NoChordUnchanged", "N.C.", kChord1, 77, 77},
};
// clang-format on

class NoteTest : public ::testing::TestWithParam<NoteCase> {};

// One note on channel 1 in measure 1, its note-off a beat later: both take the written pitch.
TEST_P(NoteTest, WritesTheNoteOverCMaj7) {
    const NoteCase& c = GetParam();
    const auto song = [](uint8_t note) {
        return Song(TrackBuilder().NoteOn(kMeasure - kBeat, 1, note, 90).NoteOff(kBeat, 1, note));
    };
    const std::vector<ChordChange> chords = {{0, 1, "N.C."}, {1, 1, c.chord}};
    EXPECT_EQ(Converted(song(c.source), Parts({{1, c.part}}), {1, 1}, chords), song(c.written));
}

INSTANTIATE_TEST_SUITE_P(Parts, NoteTest, ::testing::ValuesIn(kNoteCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Every root moves to C the shortest way, at most a fifth down or a tritone up.
TEST(ShiftToCTest, EveryRootTakesTheShortestWay) {
    std::vector<int> shifts;
    for (int root = 0; root < 12; ++root)
        shifts.push_back(ShiftToC(root));
    EXPECT_EQ(shifts, (std::vector<int>{0, -1, -2, -3, -4, -5, 6, 5, 4, 3, 2, 1}));
}

// A part with a high key moves back the way the instrument moves it up: with the high key G
// (7) the roots C to G were reached going up and move down, G# to B going down and move up; the
// high key D# (3) of a bass part moves E down to C no more, up instead.
TEST(ShiftToCTest, APartsHighKeyMovesItBackTheWayTheInstrumentMovesItUp) {
    std::vector<int> underG, underDSharp;
    for (int root = 0; root < 12; ++root) {
        underG.push_back(ShiftToC(root, 7));
        underDSharp.push_back(ShiftToC(root, 3));
    }
    EXPECT_EQ(underG, (std::vector<int>{0, -1, -2, -3, -4, -5, -6, -7, 4, 3, 2, 1}));
    EXPECT_EQ(underDSharp, (std::vector<int>{0, -1, -2, -3, 8, 7, 6, 5, 4, 3, 2, 1}));
    // G7 played up a fifth by the instrument comes back down to where it was written.
    const Bytes overG7 =
        Song(TrackBuilder().NoteOn(kMeasure - kBeat, 1, 67, 90).NoteOff(kMeasure, 1, 67));
    PartHighKeys highKeys = kShortestWay;
    highKeys[0] = 7;
    ByteImage image(overG7);
    ConvertOntoCMaj7(image, Parts({{1, kChord1}}), highKeys, {}, {1, 1}, {{{1, 1, "G7"}}});
    EXPECT_EQ(image.Bytes(),
              Song(TrackBuilder().NoteOn(kMeasure - kBeat, 1, 60, 90).NoteOff(kMeasure, 1, 60)));
}

// The chord changes to F on beat 3 of measure 1: the first half moves from G, the second from F,
// and measure 2, outside the range, stays although F goes on there.
TEST(OntoOneChordTest, FollowsAChangeAtTheHalfMeasure) {
    const auto song = [](uint8_t early, uint8_t late, uint8_t after) {
        return Song(TrackBuilder()
                        .NoteOn(kMeasure - kBeat, 1, early, 90)  // measure 1, beat 1
                        .NoteOff(kBeat, 1, early)
                        .NoteOn(kBeat, 1, late, 90)  // beat 3
                        .NoteOff(kBeat, 1, late)
                        .NoteOn(kBeat, 1, after, 90)  // measure 2
                        .NoteOff(kBeat, 1, after));
    };
    const std::vector<ChordChange> chords = {{0, 1, "N.C."}, {1, 1, "G"}, {1, 3, "F"}};
    // D (the fifth of G) becomes G; A (the third of F) becomes E.
    EXPECT_EQ(Converted(song(74, 69, 69), Parts({{1, kChord1}}), {1, 1}, chords), song(79, 64, 69));
}

// A note held past the range ends on the pitch it started on, also as a note-on of velocity 0
// under running status; a later note of the same key outside the range keeps its own pitch, and
// a note begun before the range ends as it began.
TEST(OntoOneChordTest, NoteOffsFollowTheirNoteOns) {
    const auto song = [](uint8_t held, uint8_t later) {
        return Song(TrackBuilder()
                        .NoteOn(0, 1, 60, 90)                   // measure 0: before the range
                        .NoteOn(kMeasure - kBeat, 1, held, 90)  // measure 1
                        .NoteOff(0, 1, 60)
                        .NoteOn(kMeasure, 1, later, 90)      // measure 2: outside the range
                        .NoteOn(0, 1, held, 0)               // the held note ends
                        .RunningStatus(kBeat, {later, 0}));  // the later note ends
    };
    const std::vector<ChordChange> chords = {{0, 1, "F"}, {1, 1, "G7"}, {2, 1, "Am"}};
    EXPECT_EQ(Converted(song(67, 67), Parts({{1, kChord1}}), {1, 1}, chords), song(72, 67));
}

// Rhythm channels keep their keys: a rhythm part, channel 10, and a kit on another channel.
TEST(OntoOneChordTest, LeavesRhythmChannelsAlone) {
    const Bytes song = Song(TrackBuilder()
                                .NoteOn(kMeasure - kBeat, 9, 38, 90)
                                .NoteOn(0, 10, 38, 90)
                                .NoteOn(0, 11, 38, 90)
                                .NoteOff(kBeat, 9, 38)
                                .NoteOff(0, 10, 38)
                                .NoteOff(0, 11, 38));
    ChannelTable channels;
    channels.at(10).voiceLabel = "Standard Kit";
    const std::vector<ChordChange> chords = {{0, 1, "N.C."}, {1, 1, "G7"}};
    EXPECT_EQ(Converted(song, Parts({{9, kRhythm}}), {1, 1}, chords, channels), song);
}

// A chord name nobody can read is error 5, with the song as it was.
TEST(OntoOneChordTest, RefusesAnUnreadableChordLeavingTheSong) {
    const Bytes song = Song(TrackBuilder().NoteOn(kMeasure - kBeat, 1, 67, 90));
    ByteImage image(song);
    const std::vector<ChordChange> chords = {{1, 1, "G7"}, {1, 3, "Q9"}};
    EXPECT_EQ(test::ErrorOf([&] {
                  ConvertOntoCMaj7(image, Parts({}), kShortestWay, {}, {1, 1}, chords);
              }),
              5);
    EXPECT_EQ(image.Bytes(), song);
}

}  // namespace
}  // namespace zephrane
