// "Convert Notes": the walk over the prepared song with exact bytes in and out, and the command
// with its checks, its working file and what it leaves behind.

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/effect_commands.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/error_report.h"
#include "app/main_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "effects/effect_list.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

constexpr int kD = 2;  // key-list position of D
constexpr int kF = 5;
constexpr int kMaj7 = 2;  // chord-list positions
constexpr int kMin = 8;
constexpr int kChord2Part = 4;
constexpr int kPhrase2Part = 7;
constexpr int kUnMutePart = 9;

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes MarkerEvent(const std::string& text) {
    return TrackBuilder().Marker(0, text).Events();
}

// The note numbers of the note-ons (velocity above 0) of `channel`, in file order.
std::vector<int> NoteOns(const ByteImage& song, int channel) {
    std::vector<int> notes;
    WalkState walk;
    TrackWalker walker(song, walk);
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        if (event.IsChannelMessage() && event.Kind() == 0x9 && event.Channel() == channel &&
            song.At(int64_t{event.dataPos} + 1) > 0) {
            notes.push_back(song.At(event.dataPos));
        }
    }
    return notes;
}

// Every note event of `channel` as on/off and note number, in file order.
struct NoteEvent {
    bool on = false;
    int note = 0;
    friend bool operator==(const NoteEvent&, const NoteEvent&) = default;
    friend std::ostream& operator<<(std::ostream& out, const NoteEvent& e) {
        return out << (e.on ? "on " : "off ") << e.note;
    }
};

std::vector<NoteEvent> NoteEvents(const ByteImage& song, int channel) {
    std::vector<NoteEvent> notes;
    WalkState walk;
    TrackWalker walker(song, walk);
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        const bool isNote =
            event.IsChannelMessage() && (event.Kind() == 0x8 || event.Kind() == 0x9);
        if (!isNote || event.Channel() != channel) continue;
        const bool on = event.Kind() == 0x9 && song.At(int64_t{event.dataPos} + 1) > 0;
        notes.push_back({on, song.At(event.dataPos)});
    }
    return notes;
}

// --- The walk ----------------------------------------------------------------------------------

// Drives `Convert` on a prepared song put straight into the output image.
class ConvertWalkTest : public ::testing::Test {
  protected:
    void Plays(int channel, int part, int key, int chord = kMaj7) {
        CasmRow& row = s.casm[channel - 1];
        row.part = part;
        row.sourceKey = key;
        row.sourceChord = chord;
    }
    // The converted track's events (byte 22 on), after checking its length field and cut.
    Bytes Converted(const TrackBuilder& track, ConvertItem item = ConvertItem::Plain) {
        return Converted(track.Events(), item);
    }
    Bytes Converted(const Bytes& events, ConvertItem item = ConvertItem::Plain) {
        s.output = ByteImage(test::SongFile(events));
        EXPECT_TRUE(Convert(s, item));
        EXPECT_TRUE(test.platform.messages.empty());
        const Bytes& out = s.output.Bytes();
        EXPECT_EQ(s.outputWritePos, s.output.Size());
        if (out.size() < 22) return {};
        EXPECT_EQ(s.output.ReadU32BE(18), out.size() - 22);
        return Bytes(out.begin() + 22, out.end());
    }

    StubSession test;
    Session& s = test.session;
};

// Guards against a wrong chord-tone column or a note not moved by the source key.
TEST_F(ConvertWalkTest, ChordPartInDPutsItsTriadOnCMajorAndItsFourthOnE) {
    Plays(1, kChord1Part, kD);
    const Bytes out = Converted(TrackBuilder()
                                    .Marker(0, ">Main A")
                                    .NoteOn(0, 1, 62, 100)  // D4
                                    .NoteOn(0, 1, 66, 100)  // F#4
                                    .NoteOn(0, 1, 69, 100)  // A4
                                    .NoteOn(0, 1, 67, 80)   // G4
                                    .NoteOff(480, 1, 62)
                                    .NoteOff(0, 1, 66)
                                    .NoteOff(0, 1, 69)
                                    .NoteOff(0, 1, 67)
                                    .EndOfTrack());
    // clang-format off
    const Bytes expected = Concat({MarkerEvent(">Main A"), {
        0x00, 0x90, 60, 100,        // C4 from D4
        0x00, 0x90, 64, 100,        // E4 from F#4
        0x00, 0x90, 67, 100,        // G4 from A4
        0x00, 0x90, 64, 80,         // E4 from G4
        0x83, 0x60, 0x80, 60, 0x00, // C4 off, 480 ticks later
        0x00, 0x80, 64, 0x00,       // E4 off
        0x00, 0x80, 67, 0x00,       // G4 off
        0x00, 0x80, 64, 0x00,       // E4 off
    }, kEndOfTrack});
    // clang-format on
    EXPECT_EQ(out, expected);
}

// Guards against a wrong scale column for the bass.
TEST_F(ConvertWalkTest, BassInDPlaysTheScaleOfC) {
    Plays(2, kBassPart, kD);
    const Bytes out = Converted(TrackBuilder()
                                    .Marker(0, ">Main A")
                                    .NoteOn(0, 2, 38, 90)  // D2
                                    .NoteOff(240, 2, 38)
                                    .NoteOn(0, 2, 40, 90)  // E2
                                    .NoteOff(240, 2, 40)
                                    .NoteOn(0, 2, 42, 90)  // F#2
                                    .NoteOff(240, 2, 42)
                                    .NoteOn(0, 2, 45, 90)  // A2
                                    .NoteOff(240, 2, 45)
                                    .EndOfTrack());
    // clang-format off
    const Bytes expected = Concat({MarkerEvent(">Main A"), {
        0x00, 0x91, 36, 90,         // C2 from D2
        0x81, 0x70, 0x81, 36, 0x00, // C2 off, 240 ticks later
        0x00, 0x91, 38, 90,         // D2 from E2
        0x81, 0x70, 0x81, 38, 0x00, // D2 off
        0x00, 0x91, 40, 90,         // E2 from F#2
        0x81, 0x70, 0x81, 40, 0x00, // E2 off
        0x00, 0x91, 43, 90,         // G2 from A2
        0x81, 0x70, 0x81, 43, 0x00, // G2 off
    }, kEndOfTrack});
    // clang-format on
    EXPECT_EQ(out, expected);
}

// Guards against a part taking the other column, or a wrong entry in either column.
TEST_F(ConvertWalkTest, EveryPitchClassOfBothColumns) {
    Plays(3, kPadPart, kD);
    Plays(4, kPhrase2Part, kD);
    Plays(5, kChord2Part, kD);
    Plays(6, kPhrase1Part, kD);
    TrackBuilder track;
    track.Marker(0, ">Fill In AA");
    for (int channel = 3; channel <= 6; ++channel) {
        for (uint8_t note = 62; note <= 73; ++note)  // D4 up to C#5
            track.NoteOn(0, channel, note, 64);
    }
    Converted(track.EndOfTrack());
    // Chord tones:       D   D#  E   F   F#  G   G#  A   A#  B   C   C#
    const std::vector<int> chord = {60, 60, 60, 64, 64, 64, 64, 67, 67, 67, 79, 71};
    const std::vector<int> scale = {60, 60, 62, 64, 64, 64, 64, 67, 67, 69, 67, 71};
    EXPECT_EQ(NoteOns(s.output, 3), chord);
    EXPECT_EQ(NoteOns(s.output, 4), scale);
    EXPECT_EQ(NoteOns(s.output, 5), chord);
    EXPECT_EQ(NoteOns(s.output, 6), scale);
}

// Guards against "Un-Mute" or a channel without part being pulled onto chord notes.
TEST_F(ConvertWalkTest, UnMuteAndNoPartAreOnlyMovedByTheirKey) {
    Plays(1, kUnMutePart, kD);
    s.casm[1].sourceKey = kD;  // no part
    Converted(TrackBuilder()
                  .Marker(0, ">Main A")
                  .NoteOn(0, 1, 63, 64)  // D#4
                  .NoteOn(0, 2, 67, 64)  // G4
                  .EndOfTrack());
    EXPECT_EQ(NoteOns(s.output, 1), std::vector<int>{61});
    EXPECT_EQ(NoteOns(s.output, 2), std::vector<int>{65});
}

// Guards against drums being re-pitched: every byte stays, running status included.
TEST_F(ConvertWalkTest, RhythmChannelsComeOutByteForByte) {
    Plays(9, kSubRhythmPart, kD);
    Plays(10, kRhythmPart, kD);
    // clang-format off
    const Bytes events = Concat({MarkerEvent(">Main A"), {
        0x00, 0x98, 37, 100,        // SubRhythm C#3 (side stick)
        0x00, 0x99, 36, 100,        // Rhythm C3 (kick)
        0x00, 42, 90,               // F#3 (hi-hat), running status
        0x83, 0x60, 0x88, 37, 64,   // note-off with a velocity
        0x00, 0x99, 36, 0,          // note-on of velocity 0
        0x00, 42, 0,                // the same, running status
    }, kEndOfTrack});
    // clang-format on
    EXPECT_EQ(Converted(events), events);
}

// Guards against a converted track taking running status over a meta or SysEx event, which
// strict readers refuse: a channel message that follows one gets its status byte back, notes
// (with their added sevenths) and other channel messages alike; between channel messages the
// running status stays.
TEST_F(ConvertWalkTest, RunningStatusAfterMetaAndSysExEventsGetsItsStatusByte) {
    Plays(1, kChord1Part, kD);
    s.settings.convertSeventhAddB = true;
    // clang-format off
    const Bytes song = Concat({{
        0x00, 0x90, 62, 100,        // D4 before any section: unchanged
    }, MarkerEvent(">Main A"), {
        0x00, 62, 90,               // D4, running status after the marker: the root
        0x00, 66, 90,               // F#4, running status after a note
    }, TrackBuilder().SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).Events(), {
        0x00, 66, 0,                // F#4 off, running status after the SysEx
        0x00, 0xB0, 7, 100,         // volume
    }, TrackBuilder().Text(0, 1, "x").Events(), {
        0x00, 7, 90,                // volume, running status after the text
    }, kEndOfTrack});
    const Bytes expected = Concat({{
        0x00, 0x90, 62, 100,
    }, MarkerEvent(">Main A"), {
        0x00, 0x90, 60, 90,         // C4 with its status ...
        0x00, 0x90, 71, 90,         // ... and its B4 too
        0x00, 64, 90,               // E4 stays under running status
    }, TrackBuilder().SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).Events(), {
        0x00, 0x90, 64, 0,          // E4 off with its status
        0x00, 0xB0, 7, 100,
    }, TrackBuilder().Text(0, 1, "x").Events(), {
        0x00, 0xB0, 7, 90,          // volume with its status
    }, kEndOfTrack});
    // clang-format on
    EXPECT_EQ(Converted(song, ConvertItem::Sevenths), expected);
}

// Guards against notes of the set-up part being moved: the snapshot is still empty there.
TEST_F(ConvertWalkTest, NotesBeforeTheFirstSectionMarkerKeepTheirPitch) {
    Plays(1, kChord1Part, kD);
    const Bytes out = Converted(TrackBuilder()
                                    .NoteOn(0, 1, 66, 100)  // F#4, before any section
                                    .NoteOff(480, 1, 66)
                                    .Marker(0, ">Main A")
                                    .NoteOn(0, 1, 66, 100)  // F#4 in Main A
                                    .NoteOff(480, 1, 66)
                                    .EndOfTrack());
    // clang-format off
    const Bytes expected = Concat({{
        0x00, 0x90, 66, 100,        // F#4 unchanged
        0x83, 0x60, 0x80, 66, 0x00, // its note-off
    }, MarkerEvent(">Main A"), {
        0x00, 0x90, 64, 100,        // E4
        0x83, 0x60, 0x80, 64, 0x00, // its note-off
    }, kEndOfTrack});
    // clang-format on
    EXPECT_EQ(out, expected);
}

// Guards against the "None" region being mapped, and against closing the wrong section.
TEST_F(ConvertWalkTest, BetweenSectionsTheOpenSectionRulesAndNoneOnlyMovesByTheKey) {
    Plays(1, kChord1Part, kD);
    Converted(TrackBuilder()
                  .Marker(0, ">Main A")
                  .Marker(0, ">Fill In AA")
                  .Marker(0, "<Fill In AA")
                  .NoteOn(0, 1, 64, 100)  // E4 while Main A is still open: C4
                  .Marker(0, "<Main A")
                  .NoteOn(0, 1, 65, 100)  // F4 in "None": moved to D#4, not mapped
                  .NoteOn(0, 1, 71, 100)  // B4 in "None": A4
                  .EndOfTrack());
    EXPECT_EQ(NoteOns(s.output, 1), (std::vector<int>{60, 63, 69}));
}

// Guards against the added seventh missing its note-off, its delta or its running status.
TEST_F(ConvertWalkTest, SeventhsByAddingABGiveEveryRootItsOwnB) {
    Plays(1, kChord1Part, kD);
    s.settings.convertSeventhAddB = true;
    // clang-format off
    const Bytes song = Concat({MarkerEvent(">Main A"), {
        0x00, 0x90, 62, 100,        // D4: the root
        0x00, 66, 90,               // F#4, running status
        0x00, 63, 80,               // D#4, running status
        0x83, 0x60, 0x80, 62, 0x00, // D4 off
        0x00, 0x90, 66, 0x00,       // F#4 off as a note-on of velocity 0
        0x00, 0x80, 63, 0x00,       // D#4 off
    }, kEndOfTrack});
    const Bytes expected = Concat({MarkerEvent(">Main A"), {
        0x00, 0x90, 60, 100,        // C4
        0x00, 0x90, 71, 100,        // B4 added, same velocity
        0x00, 64, 90,               // E4
        0x00, 60, 80,               // C4 from D#4 ...
        0x00, 71, 80,               // ... and its B4, without a status byte
        0x83, 0x60, 0x80, 60, 0x00, // C4 off
        0x00, 0x80, 71, 0x00,       // B4 off
        0x00, 0x90, 64, 0x00,       // E4 off
        0x00, 0x80, 60, 0x00,       // the second C4 off
        0x00, 0x80, 71, 0x00,       // its B4 off
    }, kEndOfTrack});
    // clang-format on
    EXPECT_EQ(Converted(song, ConvertItem::Sevenths), expected);
}

// Guards against the root staying C, or the B landing an octave off.
TEST_F(ConvertWalkTest, SeventhsWithoutTheCheckMarkLowerEveryRootToTheBBelow) {
    Plays(2, kBassPart, kD);
    const Bytes out = Converted(TrackBuilder()
                                    .Marker(0, ">Intro A")
                                    .NoteOn(0, 2, 38, 90)  // D2: the root
                                    .NoteOn(0, 2, 45, 90)  // A2
                                    .NoteOff(480, 2, 38)
                                    .NoteOff(0, 2, 45)
                                    .EndOfTrack(),
                                ConvertItem::Sevenths);
    // clang-format off
    const Bytes expected = Concat({MarkerEvent(">Intro A"), {
        0x00, 0x91, 35, 90,         // B1
        0x00, 0x91, 43, 90,         // G2
        0x83, 0x60, 0x81, 35, 0x00, // B1 off
        0x00, 0x81, 43, 0x00,       // G2 off
    }, kEndOfTrack});
    // clang-format on
    EXPECT_EQ(out, expected);
}

// Guards against sevenths outside the sections, where nothing is mapped.
TEST_F(ConvertWalkTest, SeventhsLeaveTheRegionsOutsideSectionsAlone) {
    Plays(1, kChord1Part, kD);
    s.settings.convertSeventhAddB = true;
    Converted(TrackBuilder()
                  .Marker(0, ">Main A")
                  .Marker(0, "<Main A")
                  .NoteOn(0, 1, 62, 100)  // D4 in "None": C4, no B
                  .EndOfTrack(),
              ConvertItem::Sevenths);
    EXPECT_EQ(NoteOns(s.output, 1), std::vector<int>{60});
}

// Guards against hanging notes: a note-off ends the pitch its note-on was given, whatever the
// rules are when it comes.
TEST_F(ConvertWalkTest, NoteHeldAcrossASectionMarkerEndsOnItsOwnPitch) {
    Plays(1, kChord1Part, kD);
    Converted(TrackBuilder()
                  .Marker(0, ">Main A")
                  .NoteOn(0, 1, 64, 100)  // E4 in Main A: C4
                  .Marker(240, "<Main A")
                  .NoteOn(0, 1, 64, 100)  // E4 again, now in "None": D4
                  .NoteOff(240, 1, 64)    // ends the C4
                  .NoteOn(0, 1, 64, 0)    // ends the D4
                  .NoteOff(0, 1, 64)      // no note sounds: converted by the rules in force
                  .EndOfTrack());
    EXPECT_EQ(
        NoteEvents(s.output, 1),
        (std::vector<NoteEvent>{{true, 60}, {true, 62}, {false, 60}, {false, 62}, {false, 62}}));
}

// Guards against the minor-third rule raising only the first note, or only the note-on.
TEST_F(ConvertWalkTest, MinorThirdOfAnIntroBecomesMajorForEveryNoteAndItsNoteOff) {
    Plays(1, kChord1Part, kD, kMin);
    Plays(2, kChord1Part, kD, kMaj7);
    Converted(TrackBuilder()
                  .Marker(0, ">Main A")
                  .NoteOn(0, 1, 65, 100)  // F4 in Main A, mapped: E4
                  .Marker(240, "<Main A")
                  .Marker(0, ">Ending A")
                  .NoteOff(0, 1, 65)      // ends the E4
                  .NoteOn(0, 1, 65, 100)  // F4, the minor third: E4
                  .NoteOn(0, 1, 77, 100)  // F5 too: E5
                  .NoteOn(0, 2, 65, 100)  // a major channel keeps its D#4
                  .Marker(240, "<Ending A")
                  .NoteOff(0, 1, 65)  // after the section: still E4
                  .NoteOff(0, 1, 77)
                  .NoteOff(0, 2, 65)
                  .EndOfTrack());
    EXPECT_EQ(NoteEvents(s.output, 1),
              (std::vector<NoteEvent>{
                  {true, 64}, {false, 64}, {true, 64}, {true, 76}, {false, 64}, {false, 76}}));
    EXPECT_EQ(NoteEvents(s.output, 2), (std::vector<NoteEvent>{{true, 63}, {false, 63}}));
    EXPECT_EQ(s.casmSnapshot.sourceChord[1], kMin);  // the rule does not clear the chord
}

// Guards against note numbers outside 0..127 or a failed conversion at the range's edges.
TEST_F(ConvertWalkTest, NotesBeyondTheRangeMoveAnOctaveBack) {
    Plays(1, kChord1Part, 0);
    Plays(2, kBassPart, kD);
    s.casm[2].sourceKey = kD;  // no part
    s.settings.convertSeventhAddB = true;
    Converted(TrackBuilder()
                  .Marker(0, ">Main A")
                  .NoteOn(0, 1, 120, 100)  // C9 root: its B9 (131) becomes B8
                  .NoteOn(0, 2, 1, 100)    // C#-1 in D is the B below 0: B-1
                  .Marker(0, "<Main A")
                  .NoteOn(0, 3, 0, 100)  // C-1 in D is Bb below 0, in "None": Bb-1
                  .EndOfTrack(),
              ConvertItem::Sevenths);
    EXPECT_EQ(NoteOns(s.output, 1), (std::vector<int>{120, 119}));
    EXPECT_EQ(NoteOns(s.output, 2), std::vector<int>{11});
    EXPECT_EQ(NoteOns(s.output, 3), std::vector<int>{10});

    s.settings.convertSeventhAddB = false;
    Converted(TrackBuilder()
                  .Marker(0, ">Main A")
                  .NoteOn(0, 2, 2, 100)  // D-1, the root, lowered to the B below 0: B-1
                  .EndOfTrack(),
              ConvertItem::Sevenths);
    EXPECT_EQ(NoteOns(s.output, 2), std::vector<int>{11});
}

// Guards against events without a conversion rule being lost or cut: long variable-length
// lengths, other meta types, escapes and system bytes are copied as they stand.
TEST_F(ConvertWalkTest, EventsWithoutARuleAreCopiedUnchanged) {
    Plays(1, kChord1Part, kD);
    const Bytes longSysEx = Concat({{0x43, 0x10, 0x4C}, Bytes(126, 0x00), {0xF7}});  // 130 bytes
    const Bytes events = Concat({
        TrackBuilder()
            .Marker(0, ">Main A")
            .SysEx(0, longSysEx)                   // length 81 02
            .Text(0, 0x01, std::string(200, 'x'))  // text, length 81 48
            .Meta(0, 0x7F, {0x43, 0x7B, 0x00})     // sequencer-specific
            .Meta(0, 0x20, {0x00})                 // channel prefix
            .Controller(0, 1, 7, 100)              // volume
            .Program(0, 1, 4)                      // program change
            .Events(),
        {
            0x00, 0xF7, 0x02, 0xF3, 0x01,  // escape: song select 1
            0x00, 0xF8,                    // timing clock
            0x00, 0xE0, 0x00, 0x40,        // pitch bend centre
            0x00, 0xD0, 0x30,              // channel pressure
            0x00, 0xA0, 62, 0x20,          // polyphonic pressure on D4: no note, not converted
        },
        kEndOfTrack,
    });
    EXPECT_EQ(Converted(events), events);
}

// Guards against a wrong section list: a section closed that is not open, or opened twice.
TEST_F(ConvertWalkTest, SectionMarkersOutOfOrderStopTheConversionWithTheReport) {
    const std::string report = ErrorReportText(RuntimeError(5), "Convert");
    s.output = ByteImage(test::SongFile(TrackBuilder().Marker(0, "<Main A").EndOfTrack()));
    EXPECT_FALSE(Convert(s, ConvertItem::Plain));
    s.output = ByteImage(
        test::SongFile(TrackBuilder().Marker(0, ">Main A").Marker(0, "Main A").EndOfTrack()));
    EXPECT_FALSE(Convert(s, ConvertItem::Plain));
    EXPECT_EQ(test.platform.messages, (std::vector<std::string>{report, report}));
}

// --- A style's own CASM -----------------------------------------------------------------------

Bytes Chunk(const std::string& tag, const Bytes& content) {
    const auto n = static_cast<uint32_t>(content.size());
    return Concat({Bytes(tag.begin(), tag.end()),
                   {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                    static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)},
                   content});
}

// A Ctab record of 27 data bytes.
Bytes Ctab(int channel, uint8_t destination, uint8_t sourceRoot, uint8_t sourceChord) {
    return Chunk("Ctab", Concat({
                             {static_cast<uint8_t>(channel - 1)},       // source channel
                             {'P', 'a', 'r', 't', ' ', ' ', ' ', ' '},  // name
                             {destination, 0x00, 0x0F, 0xFF},           // editable, note mute
                             {0x03, 0xFF, 0xFF, 0xFF, 0xFF},            // chord mute
                             {sourceRoot, sourceChord},                 // the phrase's chord
                             {0, 2, 7, 0, 127, 1, 0},  // NTR, NTT, high key, limits, retrigger
                         }));
}

// Main A: channel 1 Chord 1 (destination 11) and channel 2 Phrase 1 (14), both in D min7;
// Main B: channel 1 Bass (10) in F min7. Source roots at 56, 91 and 148.
Bytes StyleCasm(uint8_t mainARoot, uint8_t mainBRoot, uint8_t chord) {
    return Chunk("CASM",
                 Concat({Chunk("CSEG", Concat({Chunk("Sdec", {'M', 'a', 'i', 'n', ' ', 'A'}),
                                               Ctab(1, 11, mainARoot, chord),
                                               Ctab(2, 14, mainARoot, chord)})),
                         Chunk("CSEG", Concat({Chunk("Sdec", {'M', 'a', 'i', 'n', ' ', 'B'}),
                                               Ctab(1, 10, mainBRoot, chord)}))}));
}

TrackBuilder StyleSections() {
    return TrackBuilder()
        .Marker(0, "Main A")
        .NoteOn(0, 1, 64, 100)  // E4 on Chord 1 in D: C4
        .NoteOn(0, 2, 64, 100)  // E4 on Phrase 1 in D: D4
        .NoteOn(0, 3, 64, 100)  // E4 on a channel of the CASM table
        .Marker(0, "Main B")
        .NoteOn(0, 1, 67, 100)  // G4 on Bass in F: D4
        .NoteOn(0, 2, 68, 100)  // G#4, Phrase 1 in D still: E4
        .EndOfTrack();
}

// Guards against the table being followed instead of the style's records, against a section
// wiping the channels it has no record for, and against records of earlier sections being
// forgotten before they are marked.
TEST_F(ConvertWalkTest, UseStyleCasmFollowsEachSectionsOwnRecords) {
    s.song.styleCasmBytes = ByteImage(StyleCasm(kD, kF, 10));
    s.useStyleCasm = true;
    Plays(3, kBassPart, kD);  // not followed: the style's records decide
    Converted(StyleSections());
    EXPECT_EQ(NoteOns(s.output, 1), (std::vector<int>{60, 62}));
    EXPECT_EQ(NoteOns(s.output, 2), (std::vector<int>{62, 64}));
    EXPECT_EQ(NoteOns(s.output, 3), std::vector<int>{64});
    EXPECT_EQ(s.notedRecords, (std::vector<int32_t>{56, 91, 148}));

    ASSERT_TRUE(KeepConvertedData(s));
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), StyleCasm(0, 0, kMaj7));
}

// Guards against the style's records being read when the option is not selected.
TEST_F(ConvertWalkTest, WithoutUseStyleCasmPlainMarkersFollowTheTable) {
    s.song.styleCasmBytes = ByteImage(StyleCasm(kD, kF, 10));
    Plays(3, kBassPart, kD);
    Converted(StyleSections());
    EXPECT_EQ(NoteOns(s.output, 1), (std::vector<int>{64, 67}));
    EXPECT_EQ(NoteOns(s.output, 3), std::vector<int>{62});
    EXPECT_TRUE(s.notedRecords.empty());
}

// --- The command -------------------------------------------------------------------------------

constexpr char kNoFile[] =
    "A file has not yet been opened. Click on Open File to identify the file to use.";
constexpr char kNoSection[] = "At least one style section should be selected";
constexpr char kNoSequencer[] =
    "A sequencer program has not been selected. Click on Setup to identify the sequencer that you "
    "wish to use";
constexpr char kNoPart[] =
    "You must first select parts (bass, chord1, etc) and the key (if other than C) for any "
    "desired channels before performing a Convert operation. This can be done automatically using "
    "Auto Casm Set or individually by clicking on the part box in the appropriate column.";

// A song in D major of 12 measures: a kick on channel 10 in every measure, and in measure 8
// (Main A) an F#4 on channel 1 and an E2 on channel 2. A stray end marker can be put into
// measure 3.
TrackBuilder DMajorSong(bool strayEndMarker = false) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).KeySignature(0, 2, 0).Program(0, 1, 0).Program(0, 2, 33);
    for (int measure = 0; measure < 12; ++measure) {
        uint32_t toBarLine = measure == 0 ? 0 : 960;
        if (strayEndMarker && measure == 3) {
            track.Marker(toBarLine, "<Main B");
            toBarLine = 0;
        }
        track.NoteOn(toBarLine, 10, 36, 100);
        if (measure == 8) track.NoteOn(0, 1, 66, 100).NoteOn(0, 2, 40, 100);
        track.NoteOff(960, 10, 36);
        if (measure == 8) track.NoteOff(0, 1, 66).NoteOff(0, 2, 40);
    }
    return track.EndOfTrack(960);
}

class ConvertCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
        s.settings.sequencerPath = "sequencer";
    }
    // Opens the song as Open File does; the working file then holds it.
    void Open(const std::string& name, const Bytes& file) {
        recorder.openAnswers.push_back(dir.Write(name, file));
        ASSERT_TRUE(OpenFileCommand(s));
    }
    // The D major song with Chord 1, Bass and Rhythm assigned and Main A marked.
    void OpenDMajorSong(bool strayEndMarker = false) {
        Open("song.mid", test::SongFile(DMajorSong(strayEndMarker)));
        PickPart(s, 0, kChord1Part);
        PickPart(s, 1, kBassPart);
        PickPart(s, 9, kRhythmPart);
        ASSERT_EQ(s.casm[0].sourceKey, kD);
        ASSERT_TRUE(PressSectionButton(s, "Main A"));
    }
    Bytes WorkingFile() const { return test::ReadFile(recorder.workingFilePath); }

    test::TempDir dir;
    StubSession test;
    StubPlatform& recorder = test.platform;
    Session& s = test.session;
};

// Guards against a converted song that is not written, not reloaded, or left in its old key.
TEST_F(ConvertCommandTest, PlainItemConvertsTheWorkingFileAndSelectsMakeCasm) {
    OpenDMajorSong();
    s.view.casmOptionsVisible = true;
    s.useStyleCasm = true;  // "Use Style's Casm" was selected
    ASSERT_TRUE(ConvertNotes(s, ConvertItem::Plain));
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(WorkingFile(), s.song.bytes.Bytes());
    EXPECT_EQ(NoteEvents(s.song.bytes, 1), (std::vector<NoteEvent>{{true, 64}, {false, 64}}));
    EXPECT_EQ(NoteEvents(s.song.bytes, 2), (std::vector<NoteEvent>{{true, 38}, {false, 38}}));
    EXPECT_EQ(NoteOns(s.song.bytes, 10), std::vector<int>(12, 36));
    EXPECT_EQ(s.facts.keyText, "Cmajor");
    const auto keySignature = s.song.bytes.Span(s.facts.keySignaturePos - 3, 5);
    EXPECT_EQ(Bytes(keySignature.begin(), keySignature.end()),
              (Bytes{0xFF, 0x59, 0x02, 0x00, 0x00}));  // no sharps or flats, major
    for (const CasmRow& row : s.casm) {
        EXPECT_EQ(row.sourceKey, 0);
        EXPECT_EQ(row.sourceChord, 0);  // "maj"
    }
    EXPECT_EQ(s.casm[0].part, kChord1Part);
    EXPECT_FALSE(s.useStyleCasm);
    EXPECT_FALSE(s.view.casmOptionsVisible);
}

// Guards against the sevenths item leaving the table at "maj" or adding no seventh.
TEST_F(ConvertCommandTest, SeventhsItemAddsTheBAndSetsCMaj7) {
    OpenDMajorSong();
    s.settings.convertSeventhAddB = true;
    PickPart(s, 0, kBassPart);    // F#4 on a bass: E4, no root
    PickPart(s, 1, kChord1Part);  // E2 on a chord part: C2 and its B2
    ASSERT_TRUE(ConvertNotes(s, ConvertItem::Sevenths));
    EXPECT_EQ(NoteEvents(s.song.bytes, 2),
              (std::vector<NoteEvent>{{true, 36}, {true, 47}, {false, 36}, {false, 47}}));
    for (const CasmRow& row : s.casm) {
        EXPECT_EQ(row.sourceKey, 0);
        EXPECT_EQ(row.sourceChord, kMaj7);
    }
}

// Guards against the style's records being left in their old key after the conversion, and
// against the option of using them staying offered.
TEST_F(ConvertCommandTest, StyleWithItsOwnCasmIsConvertedSectionBySection) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 10, 36, 100).NoteOff(1920, 10, 36);
    track.Marker(0, "Main A")
        .NoteOn(0, 1, 64, 100)  // E4 on Chord 1 in D: C4
        .NoteOn(0, 2, 64, 100)  // E4 on Phrase 1 in D: D4
        .NoteOff(1920, 1, 64)
        .NoteOff(0, 2, 64)
        .Marker(0, "Main B")
        .NoteOn(0, 1, 67, 100)  // G4 on Bass in F: D4
        .NoteOn(0, 2, 68, 100)  // G#4 on Phrase 1 in D: E4
        .NoteOff(1920, 1, 67)
        .NoteOff(0, 2, 68)
        .EndOfTrack();
    Open("style.sty", Concat({test::SongFile(track), StyleCasm(kD, kF, 10)}));
    ASSERT_TRUE(s.song.hasStyleCasm);
    ASSERT_TRUE(s.view.casmOptionsVisible);
    s.useStyleCasm = true;
    ASSERT_TRUE(ConvertNotes(s, ConvertItem::Plain));
    EXPECT_TRUE(recorder.messages.empty());
    EXPECT_EQ(NoteEvents(s.song.bytes, 1),
              (std::vector<NoteEvent>{{true, 60}, {false, 60}, {true, 62}, {false, 62}}));
    EXPECT_EQ(NoteEvents(s.song.bytes, 2),
              (std::vector<NoteEvent>{{true, 62}, {false, 62}, {true, 64}, {false, 64}}));
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), StyleCasm(0, 0, kMaj7));
    EXPECT_FALSE(s.useStyleCasm);
    EXPECT_FALSE(s.view.casmOptionsVisible);
}

// Guards against the checks coming in another order, or a refused command writing anything.
TEST_F(ConvertCommandTest, ChecksComeInOrderAndARefusalWritesNothing) {
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain));
    Open("song.mid", test::SongFile(DMajorSong()));
    const Bytes working = WorkingFile();
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain));
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    s.settings.sequencerPath.clear();
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain));
    // A batch run has no sequencer: the next check speaks.
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped));
    s.casm[0].part = kMuteLockPart;  // locked channels take no part
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped));
    EXPECT_EQ(recorder.messages,
              (std::vector<std::string>{kNoFile, kNoSection, kNoSequencer, kNoPart, kNoPart}));
    EXPECT_EQ(WorkingFile(), working);

    s.casm[0].part = kUnMutePart;  // "Un-Mute" counts
    recorder.messages.clear();
    EXPECT_TRUE(ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped));
    EXPECT_TRUE(recorder.messages.empty());
}

// Guards against a half-converted working file or a session left in between when the walk
// fails.
TEST_F(ConvertCommandTest, FailedConversionLeavesWorkingFileAndSessionAsTheyWere) {
    OpenDMajorSong(true);
    s.useStyleCasm = true;
    s.view.casmOptionsVisible = true;
    s.notedRecords = {7};
    s.casmSnapshot.part[4] = 13;
    const Bytes working = WorkingFile();
    const SessionState before = s;

    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Sevenths));
    EXPECT_EQ(recorder.messages,
              std::vector<std::string>{ErrorReportText(RuntimeError(5), "Convert")});
    EXPECT_EQ(WorkingFile(), working);
    EXPECT_EQ(s.song.bytes, before.song.bytes);  // the key signature still says D major
    EXPECT_EQ(s.output, before.output);
    EXPECT_EQ(s.outputWritePos, before.outputWritePos);
    EXPECT_EQ(s.facts.keyText, "Dmajor");
    EXPECT_EQ(s.casm[0].sourceKey, kD);
    EXPECT_EQ(s.casm[0].sourceChord, kMaj7);
    EXPECT_EQ(s.casmSnapshot.part, before.casmSnapshot.part);
    EXPECT_EQ(s.casmSnapshot.sourceKey, before.casmSnapshot.sourceKey);
    EXPECT_EQ(s.notedRecords, before.notedRecords);
    EXPECT_TRUE(s.useStyleCasm);
    EXPECT_TRUE(s.view.casmOptionsVisible);
    EXPECT_EQ(s.view.sectionPressed, before.view.sectionPressed);
}

}  // namespace
}  // namespace zephrane
