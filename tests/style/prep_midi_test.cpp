#include "app/style_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/error_report.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "effects/effect_list.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::SongFile;
using test::TrackBuilder;

const Bytes kEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

Bytes Ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

class PrepMidiTest : public ::testing::Test {
  protected:
    void SetUp() override { s.song.isMidiFile = true; }

    // Prepares the song of `track` and gives the prepared track's events (byte 22 on), after
    // checking the frame of every prepared file: length field, cut and write position.
    Bytes Prepared(const TrackBuilder& track, PrepOption option = PrepOption::AllChannels) {
        return PreparedFile(SongFile(track), option);
    }

    Bytes PreparedFile(const Bytes& file, PrepOption option = PrepOption::AllChannels) {
        s.song.bytes = ByteImage(file);
        EXPECT_TRUE(PrepMidi(s, option));
        EXPECT_TRUE(test.platform.messages.empty());
        const Bytes& out = s.output.Bytes();
        EXPECT_EQ(s.outputWritePos, s.output.Size());
        if (out.size() < 22) return {};
        EXPECT_EQ(s.output.ReadU32BE(18), out.size() - 22);
        return Bytes(out.begin() + 22, out.end());
    }

    // Prepares a song that must fail; the messages shown.
    std::vector<std::string> FailureMessages(const TrackBuilder& track, uint16_t division = 480) {
        s.song.bytes = ByteImage(SongFile(track, division));
        EXPECT_FALSE(PrepMidi(s, PrepOption::AllChannels));
        return test.platform.messages;
    }

    static std::string Report(int number) {
        return ErrorReportText(RuntimeError(number), "PrepMidi");
    }

    void LoadEffectLists() {
        const Bytes file = test::ReadFile(std::string(ZEPHRANE_DATA_DIR) + "/cbo3.dat");
        ParseEffectListFile(std::string(file.begin(), file.end()), s.effectLists);
    }

    // A set-up block without parts, XG System On or effects.
    void PlainSetUp() {
        s.settings.xgSystemOn = false;
        s.settings.panelVoices = false;
    }

    StubSession test;
    Session& s = test.session;
};

// The set-up messages every block holds, each at delta 0.
const Bytes kYamahaAndGmOn = {
    0x00, 0xF0, 0x08, 0x43, 0x73, 0x39, 0x11, 0x00, 0x46, 0x00, 0xF7,  // Yamaha style message
    0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,                    // GM System On
};
const Bytes kXgOn = {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
const Bytes kSIntMarker = {0x00, 0xFF, 0x06, 0x04, 'S', 'I', 'n', 't'};

// ---------------------------------------------------------------------------------------------
// The track as a whole: header, length, delta times, running status, the end of the pass.

using PrepMidiTrackTest = PrepMidiTest;

// Guards against a stale track length, zero bytes left behind the track, or a copied CASM chunk.
TEST_F(PrepMidiTrackTest, HeaderCopiedLengthRewrittenAndOutputCutAfterTheTrack) {
    TrackBuilder track;
    track.Text(0, 5, "la").NoteOn(0, 1, 60, 100).EndOfTrack(10);
    const Bytes casmBehindTrack = Ascii("CASM");
    const Bytes file = Concat({SongFile(track), casmBehindTrack});

    const Bytes events = PreparedFile(file);
    EXPECT_EQ(events, (Bytes{
                          0x00, 0x90, 60, 100,     // note on; the lyric is gone
                          0x0A, 0xFF, 0x2F, 0x00,  // End of Track
                      }));
    const Bytes& out = s.output.Bytes();
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 18), Bytes(file.begin(), file.begin() + 18));
    EXPECT_EQ(s.output.ReadU32BE(18), 8u);
    EXPECT_EQ(s.outputWritePos, 30);
}

// Guards against a dropped event taking its time with it (the music would move).
TEST_F(PrepMidiTrackTest, DroppedLyricLeavesItsDeltaToTheNextNote) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100).Text(30, 5, "la").NoteOn(20, 1, 62, 100).EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x00, 0x90, 60, 100,  // first note
                                           0x32, 0x90, 62, 100,  // second note: 30 + 20
                                       },
                                       kEndOfTrack}));
}

// Guards against a carried delta being reset by the second of several dropped events.
TEST_F(PrepMidiTrackTest, CarriedDeltaSumsSeveralDroppedEvents) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100)
        .Text(30, 5, "la")               // lyric
        .Text(5, 1, "text")              // text
        .Raw({0x07, 0xD0, 0x40})         // channel pressure, delta 7
        .Controller(8, 1, 64, 127)       // sustain: not kept with "all channels"
        .Raw({0x0A, 0xF7, 0x01, 0xF8})   // F7 escape, delta 10
        .Meta(4, 0x7F, {0x43, 0x7B, 0})  // sequencer-specific
        .NoteOn(20, 1, 62, 100)
        .EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x00, 0x90, 60, 100,  // first note
                                           0x54, 0x90, 62, 100,  // 30+5+7+8+10+4+20 = 84
                                       },
                                       kEndOfTrack}));
}

// Ticks per quarter note that keep 2^28 ticks within the 32767 measures the scan counts (4/4,
// as a song without time signature is).
constexpr uint16_t kLongQuarters = 0x7FFF;

// Guards against a three-byte limit on delta times.
TEST_F(PrepMidiTrackTest, DeltaOfTwoToTheTwentyOneIsWrittenInFourBytes) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100)
        .Text(1 << 20, 5, "la")          // lyric, dropped: half the gap
        .NoteOff(1 << 20, 1, 60)         // 2^21 ticks after the note on
        .NoteOn(0x0FFFFFFF, 1, 62, 100)  // the largest four-byte quantity
        .EndOfTrack();
    EXPECT_EQ(PreparedFile(SongFile(track.Events(), kLongQuarters)),
              Concat({{
                          0x00, 0x90, 60, 100,                   // note on
                          0x81, 0x80, 0x80, 0x00, 0x80, 60, 0,   // 2^21
                          0xFF, 0xFF, 0xFF, 0x7F, 0x90, 62, 100  // 2^28 - 1
                      },
                      kEndOfTrack}));
}

// Guards against a delta beyond four bytes being cut down silently.
TEST_F(PrepMidiTrackTest, DeltaBeyondFourBytesIsAnOverflowReportedUnderPrepMidi) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100).NoteOff(0x10000000, 1, 60).EndOfTrack();
    EXPECT_EQ(FailureMessages(track, kLongQuarters), std::vector<std::string>{Report(6)});
}

// Guards against running status leaking into the prepared track, also after a dropped event.
TEST_F(PrepMidiTrackTest, RunningStatusEventsGetTheirOwnStatusByte) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100)
        .Raw({0x0A, 62, 100})       // note on by running status
        .Raw({0x0A, 64, 100})       // and another
        .Controller(0, 2, 64, 127)  // sustain: dropped
        .Raw({0x05, 7, 90})         // volume by running status after it
        .EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x00, 0x90, 60, 100,  // note on
                                           0x0A, 0x90, 62, 100,  // with its status
                                           0x0A, 0x90, 64, 100,  // with its status
                                           0x05, 0xB1, 7, 90,    // volume, channel 2
                                       },
                                       kEndOfTrack}));
}

// Guards against the data bytes after a meta or SysEx event being read as another such event
// (which refused the song), and against channel messages after a kept marker written without
// their status: the channel's running status goes on across them, and comes out written.
TEST_F(PrepMidiTrackTest, RunningStatusAcrossMetaAndSysExEventsComesOutWithItsStatus) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100)
        .Text(0, 1, "verse")  // dropped
        .RunningStatus(0x0A, {62, 100})
        .Marker(0, "Main A")  // kept
        .RunningStatus(0x0A, {64, 100})
        .SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})  // GM System On: dropped
        .RunningStatus(0x0A, {65, 100})
        .EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x00, 0x90, 60,   100,  // note on
                                           0x0A, 0x90, 62,   100,  // after the text
                                           0x00, 0xFF, 0x06, 0x06, 'M', 'a', 'i', 'n',
                                           ' ',  'A',  0x0A, 0x90, 64,  100,  // after the marker
                                           0x0A, 0x90, 65,   100,             // after the SysEx
                                       },
                                       kEndOfTrack}));
}

// Guards against events that follow End of Track inside the track data being copied.
TEST_F(PrepMidiTrackTest, PassEndsAtEndOfTrack) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100).EndOfTrack(5).NoteOff(5, 1, 60);
    EXPECT_EQ(Prepared(track), (Bytes{
                                   0x00, 0x90, 60, 100,     // note on
                                   0x05, 0xFF, 0x2F, 0x00,  // End of Track, nothing after it
                               }));
}

// ---------------------------------------------------------------------------------------------
// Meta events.

using PrepMidiMetaTest = PrepMidiTest;

// Guards against losing the names and key a style shows, or keeping texts it does not use.
TEST_F(PrepMidiMetaTest, NamesAndKeyKeptOtherTextAndSequencerMetasDropped) {
    TrackBuilder track;
    track
        .Text(0, 2, "(c)")               // copyright: kept
        .Text(0, 3, "Song")              // track name: kept
        .Text(0, 4, "Pno")               // instrument name: kept
        .Text(1, 1, "t")                 // text
        .Text(1, 5, "l")                 // lyric
        .Text(1, 7, "c")                 // cue point
        .Meta(1, 0x00, {0, 1})           // sequence number
        .Meta(1, 0x20, {0})              // channel prefix
        .Meta(1, 0x21, {0})              // port
        .Meta(1, 0x54, {0, 0, 0, 0, 0})  // SMPTE offset
        .Meta(1, 0x7F, {0x43})           // sequencer-specific
        .KeySignature(1, -3, 0)          // key signature: kept
        .EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x00, 0xFF, 0x02, 0x03, '(',  'c', ')',  // copyright
                                           0x00, 0xFF, 0x03, 0x04, 'S',  'o', 'n', 'g',
                                           0x00, 0xFF, 0x04, 0x03, 'P',  'n', 'o', 0x09,
                                           0xFF, 0x59, 0x02, 0xFD, 0x00,  // 9 ticks later
                                       },
                                       kEndOfTrack}));
}

// Guards against meta types without a rule stopping the pass or losing their time.
TEST_F(PrepMidiMetaTest, UnknownMetaTypesAreDroppedWithTheirDeltaCarried) {
    TrackBuilder track;
    track
        .Meta(3, 0x08, Ascii("prog"))  // program name
        .Meta(4, 0x09, Ascii("dev"))   // device name
        .Meta(5, 0x60, {1, 2})         // a type no standard names
        .NoteOn(6, 1, 60, 100)
        .EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{0x12, 0x90, 60, 100}, kEndOfTrack}));  // 3+4+5+6 = 18
}

TrackBuilder ThreeTemposTwoTimeSignatures() {
    TrackBuilder track;
    track.Tempo(0, 500000)
        .TimeSignature(0, 4, 2)
        .NoteOn(0, 1, 60, 100)
        .Tempo(480, 400000)
        .TimeSignature(0, 3, 2)
        .Tempo(480, 300000)
        .NoteOff(10, 1, 60)
        .EndOfTrack();
    return track;
}

// Guards against tempo changes in a style that was meant to have one tempo.
TEST_F(PrepMidiMetaTest, OnlyTheFirstTempoAndTimeSignatureAreKept) {
    EXPECT_EQ(Prepared(ThreeTemposTwoTimeSignatures()),
              Concat({{
                          0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,     // tempo 500000
                          0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 24,   8,  // 4/4
                          0x00, 0x90, 60,   100,                        // note on
                          0x87, 0x4A, 0x80, 60,   0,                    // 480+480+10 = 970
                      },
                      kEndOfTrack}));
}

// Guards against "Allow Multiple Tempos" letting a second time signature through too.
TEST_F(PrepMidiMetaTest, MultipleTemposKeepEveryTempoButStillOneTimeSignature) {
    s.settings.multipleTempos = true;
    EXPECT_EQ(Prepared(ThreeTemposTwoTimeSignatures()),
              Concat({{
                          0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // tempo 500000
                          0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 24,   8,     // 4/4
                          0x00, 0x90, 60,   100,                           // note on
                          0x83, 0x60, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80,  // 400000 at 480
                          0x83, 0x60, 0xFF, 0x51, 0x03, 0x04, 0x93, 0xE0,  // 300000, 3/4 gone
                          0x0A, 0x80, 60,   0,                             // note off
                      },
                      kEndOfTrack}));
}

// ---------------------------------------------------------------------------------------------
// Markers.

using PrepMidiMarkerTest = PrepMidiTest;

TrackBuilder MarkerSong() {
    TrackBuilder track;
    track.Marker(0, "SFF1")
        .Marker(1, "Verse")   // no section word
        .Marker(1, "main A")  // words compare case-sensitively
        .Marker(1, "Intro A")
        .Marker(1, ">Main A")  // a working start marker
        .Marker(1, "Fill In AA")
        .Marker(1, "Main A<")  // a working end marker
        .Marker(1, "Ending B")
        .EndOfTrack();
    return track;
}

// Guards against losing section markers or keeping free texts as markers.
TEST_F(PrepMidiMarkerTest, SectionAndSetUpMarkersKeptOthersDropped) {
    EXPECT_EQ(Prepared(MarkerSong()),
              Concat({{
                          0x00, 0xFF, 0x06, 0x04, 'S',  'F', 'F', '1', 0x03, 0xFF, 0x06, 0x07,
                          'I',  'n',  't',  'r',  'o',  ' ', 'A',  // 1+1+1
                          0x01, 0xFF, 0x06, 0x07, '>',  'M', 'a', 'i', 'n',  ' ',  'A',  0x01,
                          0xFF, 0x06, 0x0A, 'F',  'i',  'l', 'l', ' ', 'I',  'n',  ' ',  'A',
                          'A',  0x01, 0xFF, 0x06, 0x07, 'M', 'a', 'i', 'n',  ' ',  'A',  '<',
                          0x01, 0xFF, 0x06, 0x08, 'E',  'n', 'd', 'i', 'n',  'g',  ' ',  'B',
                      },
                      kEndOfTrack}));
}

// Guards against the working markers of the sections staying in the finished style.
TEST_F(PrepMidiMarkerTest, NoSpecialMarkersDropsMarkersWithAngleBrackets) {
    EXPECT_EQ(Prepared(MarkerSong(), PrepOption::NoSpecialMarkers),
              Concat({{
                          0x00, 0xFF, 0x06, 0x04, 'S', 'F', 'F', '1',  0x03, 0xFF, 0x06, 0x07,
                          'I',  'n',  't',  'r',  'o', ' ', 'A', 0x02, 0xFF, 0x06, 0x0A, 'F',
                          'i',  'l',  'l',  ' ',  'I', 'n', ' ', 'A',  'A',  0x02, 0xFF, 0x06,
                          0x08, 'E',  'n',  'd',  'i', 'n', 'g', ' ',  'B',
                      },
                      kEndOfTrack}));
}

// ---------------------------------------------------------------------------------------------
// Channel events.

using PrepMidiChannelTest = PrepMidiTest;

// Guards against pressure messages reaching the style, or pitch bends being lost.
TEST_F(PrepMidiChannelTest, PressureDroppedPitchBendKept) {
    TrackBuilder track;
    track
        .Raw({0x00, 0xA0, 60, 40})  // polyphonic pressure
        .Raw({0x01, 0xD0, 50})      // channel pressure
        .Raw({0x02, 0xE0, 0, 72})   // pitch bend
        .EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{0x03, 0xE0, 0, 72}, kEndOfTrack}));
}

// Every controller 0-127 on channel 1 at delta 0; the prepared events that remain.
Bytes KeptControllers(std::initializer_list<uint8_t> kept) {
    Bytes events;
    for (uint8_t controller : kept) {
        events.insert(events.end(), {0x00, 0xB0, controller, 0x40});
    }
    return Concat({events, kEndOfTrack});
}

TrackBuilder EveryController() {
    TrackBuilder track;
    for (int controller = 0; controller < 128; ++controller) {
        track.Controller(0, 1, static_cast<uint8_t>(controller), 0x40);
    }
    return track.EndOfTrack();
}

// Guards against a controller list that keeps too much or too little.
TEST_F(PrepMidiChannelTest, ControllersKeptWithAllChannelsAndNoSpecialMarkers) {
    const Bytes expected = KeptControllers({0, 1, 7, 10, 11, 32, 71, 72, 74, 91, 93, 94});
    EXPECT_EQ(Prepared(EveryController(), PrepOption::AllChannels), expected);
    EXPECT_EQ(Prepared(EveryController(), PrepOption::NoSpecialMarkers), expected);
}

// Guards against data entry and the pedals being lost in the first assembly pass.
TEST_F(PrepMidiChannelTest, ControllersKeptWithAssignedOnly) {
    s.casm[0].part = kBassPart;
    EXPECT_EQ(Prepared(EveryController(), PrepOption::AssignedOnly),
              KeptControllers({0, 1, 6, 7, 10, 11, 32, 64, 66, 67, 71, 72, 74, 91, 93, 94}));
}

// Guards against the sustain pedal being handled alike under both options.
TEST_F(PrepMidiChannelTest, SustainKeptByAssignedOnlyDroppedByAllChannels) {
    s.casm[0].part = kChord1Part;
    TrackBuilder track;
    track.Controller(4, 1, 64, 127).EndOfTrack(6);
    EXPECT_EQ(Prepared(track, PrepOption::AssignedOnly), (Bytes{
                                                             0x04, 0xB0, 64, 127,     // sustain
                                                             0x06, 0xFF, 0x2F, 0x00,  // end
                                                         }));
    EXPECT_EQ(Prepared(track, PrepOption::AllChannels), (Bytes{0x0A, 0xFF, 0x2F, 0x00}));
}

TrackBuilder LeadInThenMainSection() {
    TrackBuilder track;
    track
        .NoteOn(0, 1, 60, 100)     // lead-in note
        .Raw({0x00, 0xE0, 0, 70})  // lead-in pitch bend
        .Controller(5, 1, 7, 90)   // volume
        .NoteOff(5, 1, 60)         // lead-in note off
        .Marker(10, "Main A")
        .NoteOn(0, 1, 62, 100)
        .Raw({0x00, 0xE0, 0, 64})
        .NoteOff(10, 1, 62)
        .EndOfTrack();
    return track;
}

// Guards against a BB song's lead-in notes ending up in the set-up part of the style.
TEST_F(PrepMidiChannelTest, BbModeDropsNotesAndBendsBeforeTheFirstSection) {
    s.song.bbMode = true;
    EXPECT_EQ(Prepared(LeadInThenMainSection()),
              Concat({{
                          0x05, 0xB0, 7,    90,                                    // volume stays
                          0x0F, 0xFF, 0x06, 0x06, 'M',  'a',  'i', 'n', ' ', 'A',  // 5+10
                          0x00, 0x90, 62,   100,                                   // section notes
                          0x00, 0xE0, 0,    64,   0x0A, 0x80, 62,  0,
                      },
                      kEndOfTrack}));
}

// Guards against the lead-in rule applying outside the "Style from BB" command.
TEST_F(PrepMidiChannelTest, WithoutBbModeTheLeadInIsKept) {
    const TrackBuilder track = LeadInThenMainSection();
    const Bytes events = Prepared(track);
    EXPECT_EQ(events, Bytes(track.Events().begin(), track.Events().end()));
}

// Guards against channels without an accompaniment part reaching the style, and the assignment
// texts being written in the assembly pass.
TEST_F(PrepMidiChannelTest, AssignedOnlyKeepsOnlyChannelsOfAccompanimentParts) {
    PlainSetUp();
    s.casm[0].part = kBassPart;
    s.casm[2].part = kMuteLockPart;
    s.casm[3].part = 9;  // "Un-Mute"
    s.casm[4].part = kLastAccompanimentPart;
    TrackBuilder track;
    track.Marker(0, "SInt");
    for (int channel = 1; channel <= 5; ++channel)
        track.NoteOn(1, channel, 60, 100);
    track.EndOfTrack();
    EXPECT_EQ(Prepared(track, PrepOption::AssignedOnly),
              Concat({kSIntMarker,
                      kYamahaAndGmOn,  // no text events in this pass
                      {
                          0x01, 0x90, 60, 100,  // channel 1, Bass
                          0x04, 0x94, 60, 100,  // channel 5, Phrase 2: 3 dropped ticks carried
                      },
                      kEndOfTrack}));
}

// ---------------------------------------------------------------------------------------------
// Bank selects in front of program changes.

using PrepMidiBankTest = PrepMidiTest;

// Guards against the drum channel of a plain MIDI file sounding a melodic bank.
TEST_F(PrepMidiBankTest, DrumChannelGetsTheDrumKitBankUnderAllChannels) {
    TrackBuilder track;
    track.Program(7, 10, 25).EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x07, 0xB9, 0x00, 0x7F,  // program's delta, MSB 127
                                           0x00, 0xB9, 0x20, 0x00,  // LSB 0 despite panel voices
                                           0x00, 0xC9, 25,          // the program change
                                       },
                                       kEndOfTrack}));
}

// Guards against the panel-voice bank being ignored or forced.
TEST_F(PrepMidiBankTest, OtherChannelsGetLsb112OnlyWithPanelVoices) {
    TrackBuilder track;
    track.Program(0, 1, 5).EndOfTrack();
    const Bytes withPanel = Concat({{
                                        0x00,
                                        0xB0,
                                        0x00,
                                        0x00,  // MSB 0
                                        0x00,
                                        0xB0,
                                        0x20,
                                        0x70,  // LSB 112
                                        0x00,
                                        0xC0,
                                        5,
                                    },
                                    kEndOfTrack});
    s.settings.panelVoices = true;
    EXPECT_EQ(Prepared(track), withPanel);
    s.settings.panelVoices = false;
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x00,
                                           0xB0,
                                           0x00,
                                           0x00,  // MSB 0
                                           0x00,
                                           0xB0,
                                           0x20,
                                           0x00,  // LSB 0
                                           0x00,
                                           0xC0,
                                           5,
                                       },
                                       kEndOfTrack}));
}

// Guards against the second assembly pass losing the drum bank of channel 10, and against only
// the first program change of a channel getting its bank.
TEST_F(PrepMidiBankTest, NoSpecialMarkersGivesEveryProgramChangeItsBank) {
    TrackBuilder track;
    track.Program(0, 10, 1).Program(3, 10, 2).EndOfTrack();
    EXPECT_EQ(Prepared(track, PrepOption::NoSpecialMarkers),
              Concat({{
                          0x00, 0xB9, 0x00, 0x7F, 0x00, 0xB9, 0x20, 0x00, 0x00, 0xC9, 1,  // first
                          0x03, 0xB9, 0x00, 0x7F, 0x00, 0xB9, 0x20, 0x00, 0x00, 0xC9, 2,  // second
                      },
                      kEndOfTrack}));
}

// Guards against overriding a bank the song sets itself, or touching a style's data.
TEST_F(PrepMidiBankTest, NoBankSelectsWhenTheChannelSetsItsBankOrTheSongIsNoMidiFile) {
    TrackBuilder ownBank;
    ownBank.Controller(0, 2, 32, 5).Program(0, 2, 9).EndOfTrack();
    EXPECT_EQ(Prepared(ownBank), Concat({{
                                             0x00, 0xB1, 32, 5,  // the song's own LSB
                                             0x00, 0xC1, 9,      // program change alone
                                         },
                                         kEndOfTrack}));
    s.song.isMidiFile = false;
    TrackBuilder style;
    style.Program(0, 10, 9).EndOfTrack();
    EXPECT_EQ(Prepared(style), Concat({{0x00, 0xC9, 9}, kEndOfTrack}));
}

// Guards against rhythm parts off channel 10 getting melodic banks in the assembly pass, and
// channel 10 keeping the drum bank when it plays another part there.
TEST_F(PrepMidiBankTest, AssignedOnlyGivesTheDrumKitBankToRhythmParts) {
    s.settings.panelVoices = true;
    s.casm[8].part = kSubRhythmPart;
    s.casm[9].part = kChord1Part;
    s.casm[1].part = kBassPart;
    s.casm[15].part = kRhythmPart;
    TrackBuilder track;
    track.Program(0, 9, 1).Program(0, 10, 2).Program(0, 2, 3).Program(0, 16, 4).EndOfTrack();
    EXPECT_EQ(
        Prepared(track, PrepOption::AssignedOnly),
        Concat({{
                    0x00, 0xB8, 0x00, 0x7F, 0x00, 0xB8, 0x20, 0x00, 0x00, 0xC8, 1,  // SubRhythm
                    0x00, 0xB9, 0x00, 0x00, 0x00, 0xB9, 0x20, 0x00, 0x00, 0xC9, 2,  // ch 10
                    0x00, 0xB1, 0x00, 0x00, 0x00, 0xB1, 0x20, 0x70, 0x00, 0xC1, 3,  // Bass
                    0x00, 0xBF, 0x00, 0x7F, 0x00, 0xBF, 0x20, 0x00, 0x00, 0xCF, 4,  // Rhythm
                },
                kEndOfTrack}));
}

// ---------------------------------------------------------------------------------------------
// SysEx events.

using PrepMidiSysExTest = PrepMidiTest;

// Guards against the song's own effect settings doubling or overriding those of the set-up.
TEST_F(PrepMidiSysExTest, EffectParametersOfTheSetUpBlockAreDropped) {
    TrackBuilder track;
    for (uint8_t parameter : {0x00, 0x0C, 0x20, 0x2C, 0x40, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B}) {
        track.SysEx(1, {0x43, 0x10, 0x4C, 0x02, 0x01, parameter, 0x00, 0xF7});
    }
    track.SysEx(1, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x03, 0x05, 0xF7});  // reverb parameter 2
    track.SysEx(1, {0x43, 0x10, 0x4C, 0x02, 0x00, 0x00, 0x05, 0xF7});  // another 02 address
    track.EndOfTrack();
    EXPECT_EQ(Prepared(track),
              Concat({{0x0C, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x03, 0x05, 0xF7},  // 12
                      {0x01, 0xFF, 0x2F, 0x00}}));
}

// Guards against the drum setup losing its sound settings or keeping its note-handling ones.
TEST_F(PrepMidiSysExTest, DrumSetupSoundParametersKeptOthersDropped) {
    TrackBuilder track;
    track
        .SysEx(0, {0x43, 0x10, 0x4C, 0x30, 0x24, 0x00, 0x40, 0xF7})  // setup 1 pitch: kept
        .SysEx(1, {0x43, 0x10, 0x4C, 0x31, 0x26, 0x0F, 0x40, 0xF7})  // setup 2 decay 2: kept
        .SysEx(1, {0x43, 0x10, 0x4C, 0x30, 0x24, 0x03, 0x01, 0xF7})  // alternate group
        .SysEx(1, {0x43, 0x10, 0x4C, 0x30, 0x24, 0x09, 0x01, 0xF7})  // receive note off
        .SysEx(1, {0x43, 0x10, 0x4C, 0x32, 0x24, 0x00, 0x40, 0xF7})  // a third setup
        .SysEx(1, {0x43, 0x10, 0x4C, 0x31, 0x26, 0x0B, 0x50, 0xF7})  // setup 2 cutoff: kept
        .EndOfTrack();
    EXPECT_EQ(Prepared(track),
              Concat({{
                          0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x30, 0x24, 0x00, 0x40, 0xF7,
                          0x01, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x31, 0x26, 0x0F, 0x40, 0xF7,
                          0x04, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x31, 0x26, 0x0B, 0x50, 0xF7,
                      },
                      kEndOfTrack}));
}

// Guards against resets and foreign messages of the song reaching the style.
TEST_F(PrepMidiSysExTest, ResetsForeignMessagesAndEscapesDropped) {
    TrackBuilder track;
    track
        .SysEx(1, {0x7E, 0x7F, 0x09, 0x01, 0xF7})                                // GM System On
        .SysEx(1, {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7})              // XG System On
        .SysEx(1, {0x43, 0x11, 0x4C, 0x02, 0x01, 0x03, 0x05, 0xF7})              // device 1
        .SysEx(1, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})  // GS reset
        .SysEx(1, {0x43, 0x10, 0x4C, 0x08, 0x00, 0x07, 0x02, 0xF7})              // part mode
        .SysEx(1, {0x43, 0x10, 0x4C, 0xF7})                                      // no address
        .Raw({0x01, 0xF7, 0x02, 0xF3, 0x01})                                     // F7 escape
        .EndOfTrack(1);
    EXPECT_EQ(Prepared(track), (Bytes{0x08, 0xFF, 0x2F, 0x00}));
}

// Guards against a kept SysEx losing the second byte of its variable-length length.
TEST_F(PrepMidiSysExTest, KeptSysExWithTwoByteLengthIsCopiedWhole) {
    Bytes data = {0x43, 0x10, 0x4C, 0x02, 0x01, 0x10};  // effect block, parameter 10
    data.resize(129, 0x01);
    data.push_back(0xF7);  // 130 data bytes
    TrackBuilder track;
    track.SysEx(2, data).EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{0x02, 0xF0, 0x81, 0x02}, data, kEndOfTrack}));
}

// ---------------------------------------------------------------------------------------------
// The set-up block after "SInt".

using PrepMidiSetUpTest = PrepMidiTest;

// Guards against resets being written into songs that have no set-up measure.
TEST_F(PrepMidiSetUpTest, NoSetUpBlockWithoutSInt) {
    LoadEffectLists();
    s.settings.xgSystemOn = true;
    s.casm[9].part = kRhythmPart;
    s.effects.reverb = 1;
    s.effects.reverbReturn = " 64";
    TrackBuilder track;
    track.Marker(0, "SFF1").Marker(0, "SInt2").EndOfTrack();  // "SInt2" is kept, but not "SInt"
    EXPECT_EQ(Prepared(track), Concat({{
                                           0x00,
                                           0xFF,
                                           0x06,
                                           0x04,
                                           'S',
                                           'F',
                                           'F',
                                           '1',
                                           0x00,
                                           0xFF,
                                           0x06,
                                           0x05,
                                           'S',
                                           'I',
                                           'n',
                                           't',
                                           '2',
                                       },
                                       kEndOfTrack}));
}

// Guards against the block moving away from the marker or carrying a delta of its own.
TEST_F(PrepMidiSetUpTest, PlainBlockFollowsSIntAtOnce) {
    PlainSetUp();
    TrackBuilder track;
    track.Marker(0, "SFF1").Text(3, 1, "x").Marker(2, "SInt").NoteOn(9, 1, 60, 100).EndOfTrack();
    EXPECT_EQ(Prepared(track), Concat({{0x00, 0xFF, 0x06, 0x04, 'S', 'F', 'F', '1'},
                                       {0x05, 0xFF, 0x06, 0x04, 'S', 'I', 'n', 't'},  // 3 + 2
                                       kYamahaAndGmOn,
                                       {0x09, 0x90, 60, 100},
                                       kEndOfTrack}));
}

// Guards against a wrong assignment text (its blank-signed channel number), a missing drum part
// mode, and a set-up entry for "Mute-Lock".
TEST_F(PrepMidiSetUpTest, ChannelAssignmentsAndDrumPartModesUnderAllChannels) {
    PlainSetUp();
    s.settings.xgSystemOn = true;
    s.casm[0].part = kSubRhythmPart;
    s.casm[3].part = kMuteLockPart;
    s.casm[4].part = 9;  // "Un-Mute"
    s.casm[9].part = kRhythmPart;
    s.casm[15].part = kBassPart;
    TrackBuilder track;
    track.Marker(0, "SInt").EndOfTrack();
    EXPECT_EQ(Prepared(track),
              Concat({kSIntMarker,
                      {0x00, 0xFF, 0x01, 0x20},
                      Ascii("Channel  1 assigned to SubRhythm"),
                      {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x08, 0x00, 0x07, 0x03, 0xF7},
                      {0x00, 0xFF, 0x01, 0x1E},
                      Ascii("Channel  5 assigned to Un-Mute"),
                      {0x00, 0xFF, 0x01, 0x1E},
                      Ascii("Channel  10 assigned to Rhythm"),
                      {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x08, 0x09, 0x07, 0x02, 0xF7},
                      {0x00, 0xFF, 0x01, 0x1C},
                      Ascii("Channel  16 assigned to Bass"),
                      kYamahaAndGmOn,
                      kXgOn,
                      kEndOfTrack}));
}

// Guards against assignment texts in the second assembly pass, which drops the old ones.
TEST_F(PrepMidiSetUpTest, NoSpecialMarkersWritesPartModesWithoutTexts) {
    PlainSetUp();
    s.casm[8].part = kSubRhythmPart;
    s.casm[1].part = kBassPart;
    TrackBuilder track;
    track.Marker(0, "SInt").EndOfTrack();
    EXPECT_EQ(Prepared(track, PrepOption::NoSpecialMarkers),
              Concat({kSIntMarker,
                      {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x08, 0x08, 0x07, 0x03, 0xF7},
                      kYamahaAndGmOn,
                      kEndOfTrack}));
}

// Guards against a wrong order, a wrong split of the list code into two data bytes, or the
// insertion part being sent for a System effect.
TEST_F(PrepMidiSetUpTest, FullEffectSettingsWithSystemConnection) {
    PlainSetUp();
    s.settings.xgSystemOn = true;
    LoadEffectLists();
    s.effects.reverb = 3;  // "Hall 2", code 116: 01 10
    s.effects.reverbReturn = " 80";
    s.effects.chorus = 2;  // code 6617: 42 11
    s.effects.chorusReturn = "64";
    s.effects.connection = VariationConnection::System;
    s.effects.variation = 29;  // code 1600: 10 00
    s.effects.insertionPart = " 3";
    s.effects.variationReturn = " 70";
    s.effects.pan = " 64";
    s.effects.sendToReverb = " 10";
    s.effects.sendToChorus = " 0";
    TrackBuilder track;
    track.Marker(0, "SInt").EndOfTrack();
    EXPECT_EQ(
        Prepared(track),
        Concat({kSIntMarker,
                kYamahaAndGmOn,
                kXgOn,
                {
                    0x00, 0xF0, 0x09, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x10, 0xF7,
                    0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x50, 0xF7,  // 80
                    0x00, 0xF0, 0x09, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x20, 0x42, 0x11, 0xF7,
                    0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x2C, 0x40, 0xF7,  // 64
                    0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x5A, 0x01, 0xF7,  // System
                    0x00, 0xF0, 0x09, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x40, 0x10, 0x00, 0xF7,
                    0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x56, 0x46, 0xF7,  // 70
                    0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x57, 0x40, 0xF7,  // pan
                    0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x58, 0x0A, 0xF7,  // 10
                    0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x59, 0x00, 0xF7,  // 0
                },
                kEndOfTrack}));
}

// Guards against the System levels being sent for an insertion effect, or its part off by one.
TEST_F(PrepMidiSetUpTest, FullEffectSettingsWithInsertionConnection) {
    PlainSetUp();
    LoadEffectLists();
    s.effects.connection = VariationConnection::Insertion;
    s.effects.variation = 24;  // "Cross Delay", code 800: 08 00
    s.effects.insertionPart = " 3";
    s.effects.variationReturn = " 70";
    s.effects.pan = " 64";
    s.effects.sendToReverb = " 10";
    s.effects.sendToChorus = " 5";
    TrackBuilder track;
    track.Marker(0, "SInt").EndOfTrack();
    EXPECT_EQ(Prepared(track),
              Concat({kSIntMarker,
                      kYamahaAndGmOn,
                      {
                          0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x5A, 0x00, 0xF7,  // Ins.
                          0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x5B, 0x02, 0xF7,  // 3-1
                          0x00, 0xF0, 0x09, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x40, 0x08, 0x00, 0xF7,
                      },
                      kEndOfTrack}));
}

// Guards against unset fields sending a default, and variation levels without a variation type.
TEST_F(PrepMidiSetUpTest, UnsetEffectFieldsSendNothing) {
    PlainSetUp();
    LoadEffectLists();
    s.effects.variation = -1;
    s.effects.variationReturn = " 70";
    s.effects.pan = " 64";
    s.effects.chorus = 0;  // "No Effect" is a selection: code 0
    TrackBuilder track;
    track.Marker(0, "SInt").EndOfTrack();
    EXPECT_EQ(Prepared(track),
              Concat({kSIntMarker,
                      kYamahaAndGmOn,
                      {0x00, 0xF0, 0x09, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x20, 0x00, 0x00, 0xF7},
                      kEndOfTrack}));
}

// Guards against a text that is no number stopping the preparation.
TEST_F(PrepMidiSetUpTest, NumberTextThatIsNoNumberSendsZero) {
    PlainSetUp();
    s.effects.reverbReturn = "abc";
    TrackBuilder track;
    track.Marker(0, "SInt").EndOfTrack();
    EXPECT_EQ(Prepared(track),
              Concat({kSIntMarker,
                      kYamahaAndGmOn,
                      {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x00, 0xF7},
                      kEndOfTrack}));
}

// Guards against a value outside a data byte being wrapped into one.
TEST_F(PrepMidiSetUpTest, ValueOutsideADataByteIsAnOverflowReportedUnderPrepMidi) {
    PlainSetUp();
    LoadEffectLists();
    TrackBuilder track;
    track.Marker(0, "SInt").EndOfTrack();
    s.effects.chorusReturn = " 256";
    EXPECT_EQ(FailureMessages(track), std::vector<std::string>{Report(6)});
    test.platform.messages.clear();
    s.effects.chorusReturn.clear();
    s.effects.connection = VariationConnection::Insertion;
    s.effects.variation = 1;
    s.effects.insertionPart = "0";  // part 0 would be byte -1
    EXPECT_EQ(FailureMessages(track), std::vector<std::string>{Report(6)});
}

// ---------------------------------------------------------------------------------------------
// The set-up time.

using PrepMidiSetupTimeTest = PrepMidiTest;

// Guards against dropped events, inserted bank selects or the set-up block changing the time at
// which the style's first section is placed.
TEST_F(PrepMidiSetupTimeTest, SumsTheDeltasWrittenBeforeTheMusicStarts) {
    s.settings.xgSystemOn = true;
    s.casm[9].part = kRhythmPart;
    TrackBuilder track;
    track.Marker(0, "SFF1")
        .Tempo(0, 500000)
        .Text(100, 1, "x")   // dropped: its 100 ticks go to "SInt"
        .Marker(20, "SInt")  // written with 120
        .TimeSignature(10, 4, 2)
        .Program(5, 10, 0)        // 5, with bank selects in front
        .NoteOn(50, 10, 36, 100)  // the music starts here
        .NoteOff(30, 10, 36)
        .EndOfTrack();
    Prepared(track);
    EXPECT_EQ(s.setupTime, 135);
}

}  // namespace
}  // namespace zephrane
