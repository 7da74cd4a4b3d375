#include "app/style_commands.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/error_report.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "effects/effect_list.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

const Bytes kEndOfTrack = TrackBuilder().EndOfTrack().Events();
// What a style keeps behind its track; the prepared file must not copy it.
const Bytes kCasmBehindTrack = {'C', 'A', 'S', 'M'};

// The set-up messages every block holds, each at delta 0.
const Bytes kYamahaAndGmOn = {
    0x00, 0xF0, 0x08, 0x43, 0x73, 0x39, 0x11, 0x00, 0x46, 0x00, 0xF7,  // Yamaha style message
    0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,                    // GM System On
};
const Bytes kXgOn = {0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
const Bytes kSIntMarker = TrackBuilder().Marker(0, "SInt").Events();
const Bytes kSIntSong = TrackBuilder().Marker(0, "SInt").EndOfTrack().Events();

// An XG parameter change for device 0 at address high mid low.
Bytes Xg(uint8_t high, uint8_t mid, uint8_t low, uint8_t value) {
    return {0x43, 0x10, 0x4C, high, mid, low, value, 0xF7};
}
// A parameter change of the effect block (02 01) as the set-up block writes it, at delta 0.
Bytes EffectEvent(uint8_t parameter, const Bytes& values) {
    return TrackBuilder()
        .SysEx(0, Concat({{0x43, 0x10, 0x4C, 0x02, 0x01, parameter}, values, {0xF7}}))
        .Events();
}
// A set-up block without parts, XG System On or effects.
void PlainSetUp(Session& s) {
    s.settings.xgSystemOn = false;
    s.settings.panelVoices = false;
}

// A volume-like value on each of `controllers` (on every one when none are named), on channel 1.
Bytes Controllers(std::vector<uint8_t> controllers = {}) {
    if (controllers.empty()) {
        controllers.resize(128);
        std::iota(controllers.begin(), controllers.end(), 0);
    }
    TrackBuilder track;
    for (uint8_t controller : controllers)
        track.Controller(0, 1, controller, 0x40);
    return track.EndOfTrack().Events();
}

// A 130-byte SysEx of the effect block: its length takes two bytes.
const Bytes kLongEffectSysEx =
    Concat({{0x43, 0x10, 0x4C, 0x02, 0x01, 0x10}, Bytes(123, 1), {0xF7}});

constexpr int kUnMutePart = 9;

// Ticks per quarter note that keep 2^28 ticks within the 32767 measures the scan counts.
constexpr uint16_t kLongQuarters = 0x7FFF;

struct PrepCase {
    const char* name = "";
    Bytes events{};    // the song's track
    Bytes expected{};  // the prepared track; none: values that do not fit fail, never cut down
    PrepOption option = PrepOption::AllChannels;
    std::vector<std::pair<int, int>> parts{};  // channel and part of the CASM table
    void (*setUp)(Session&) = [](Session&) {};
    uint16_t division = 480;
};

// Effect settings are given in field order: reverb type and return, chorus type and return,
// connection, variation type, insertion part, variation return, pan, sends to reverb and chorus.
// clang-format off
const PrepCase kPrepCases[] = {
    // Pitch bend and the first time signature stay; channel 10 gets the drum kit bank.
    {.name = "DroppedEventsLeaveTheirDeltasToTheNextKeptEvent",
     .events = TrackBuilder().TimeSignature(0, 4, 2).Raw({0x00, 0xE0, 0, 72})
                   .NoteOn(0, 1, 60, 100).Text(30, 5, "la").TimeSignature(0, 3, 2)
                   .Raw({0x07, 0xD0, 0x40})                 // channel pressure
                   .Raw({0x02, 0xA0, 60, 40})               // polyphonic pressure
                   .Controller(8, 1, 64, 127)               // sustain: not with "all channels"
                   .Raw({0x0A, 0xF7, 0x01, 0xF8})           // F7 escape
                   .Meta(4, 0x7F, {0x43, 0x7B, 0})          // sequencer-specific
                   .SysEx(1, {0x7E, 0x7F, 0x09, 0x01, 0xF7})  // GM System On
                   .SysEx(1, {0x43, 0x11, 0x4C, 0x02, 0x01, 0x03, 0x05, 0xF7})  // device 1
                   .SysEx(1, {0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7})
                   .SysEx(1, Xg(0x08, 0x00, 0x07, 0x02))    // part mode
                   .SysEx(1, {0x43, 0x10, 0x4C, 0xF7})      // no address
                   .NoteOn(20, 1, 62, 100).Program(0, 10, 0).EndOfTrack().Events(),
     .expected = TrackBuilder().TimeSignature(0, 4, 2).Raw({0x00, 0xE0, 0, 72})
                     .NoteOn(0, 1, 60, 100).NoteOn(86, 1, 62, 100).Controller(0, 10, 0, 127)
                     .Controller(0, 10, 32, 0).Program(0, 10, 0).EndOfTrack().Events()},
    // Running status goes on across a dropped event (sustain), and comes out written.
    {.name = "RunningStatusComesOutWithItsStatusAndThePassEndsAtEndOfTrack",
     .events = TrackBuilder().NoteOn(0, 1, 60, 100).RunningStatus(10, {62, 100})
                   .Controller(0, 2, 64, 127).RunningStatus(5, {7, 90})
                   .EndOfTrack(5).NoteOff(5, 1, 60).Events(),  // behind End of Track: not copied
     .expected = TrackBuilder().NoteOn(0, 1, 60, 100).NoteOn(10, 1, 62, 100)
                     .Controller(5, 2, 7, 90).EndOfTrack(5).Events()},
    {.name = "DeltaBeyondFourBytesOverflows",
     .events = TrackBuilder().NoteOn(0, 1, 60, 100).NoteOff(0x10000000, 1, 60).EndOfTrack()
                   .Events(),
     .division = kLongQuarters},
    // Free texts, words of another case and section words; working markers with angle brackets;
    // "SInt2", kept but no set-up measure: no set-up block.
    {.name = "SectionAndSetUpMarkersKeptOthersDropped",
     .events = TrackBuilder().Marker(0, "SFF1").Marker(1, "Verse").Marker(1, "main A")
                   .Marker(1, "Intro A").Marker(1, ">Main A").Marker(1, "Fill In AA")
                   .Marker(1, "Main A<").Marker(1, "Ending B").Marker(1, "SInt2").EndOfTrack()
                   .Events(),
     .expected = TrackBuilder().Marker(0, "SFF1").Marker(3, "Intro A").Marker(1, ">Main A")
                     .Marker(1, "Fill In AA").Marker(1, "Main A<").Marker(1, "Ending B")
                     .Marker(1, "SInt2").EndOfTrack().Events()},
    {.name = "ControllersKeptWithAllChannels", .events = Controllers(),
     .expected = Controllers({0, 1, 7, 10, 11, 32, 71, 72, 74, 91, 93, 94})},
    // Data entry and the pedals as well in the first assembly pass.
    {.name = "ControllersKeptWithAssignedOnly", .events = Controllers(),
     .expected = Controllers({0, 1, 6, 7, 10, 11, 32, 64, 66, 67, 71, 72, 74, 91, 93, 94}),
     .option = PrepOption::AssignedOnly, .parts = {{1, kBassPart}}},
    // Channels without an accompaniment part are dropped; no assignment texts in this pass.
    {.name = "AssignedOnlyKeepsOnlyChannelsOfAccompanimentParts",
     .events = TrackBuilder().Marker(0, "SInt").NoteOn(1, 1, 60, 100).NoteOn(1, 2, 60, 100)
                   .NoteOn(1, 3, 60, 100).NoteOn(1, 4, 60, 100).NoteOn(1, 5, 60, 100).EndOfTrack()
                   .Events(),
     .expected = Concat({kSIntMarker, kYamahaAndGmOn,
                         TrackBuilder().NoteOn(1, 1, 60, 100).NoteOn(4, 5, 60, 100).Events(),
                         kEndOfTrack}),
     .option = PrepOption::AssignedOnly,
     .parts = {{1, kBassPart}, {3, kMuteLockPart}, {4, kUnMutePart}, {5, kLastAccompanimentPart}},
     .setUp = PlainSetUp},
    // Rhythm parts take the drum kit bank wherever they play; channel 10 only when it plays one.
    {.name = "AssignedOnlyGivesTheDrumKitBankToRhythmParts",
     .events = TrackBuilder().Program(0, 9, 1).Program(0, 10, 2).Program(0, 2, 3).Program(0, 16, 4)
                   .EndOfTrack().Events(),
     .expected = TrackBuilder().Controller(0, 9, 0, 127).Controller(0, 9, 32, 0).Program(0, 9, 1)
                     .Controller(0, 10, 0, 0).Controller(0, 10, 32, 0).Program(0, 10, 2)
                     .Controller(0, 2, 0, 0).Controller(0, 2, 32, 112).Program(0, 2, 3)
                     .Controller(0, 16, 0, 127).Controller(0, 16, 32, 0).Program(0, 16, 4)
                     .EndOfTrack().Events(),
     .option = PrepOption::AssignedOnly,
     .parts = {{9, kSubRhythmPart}, {10, kChord1Part}, {2, kBassPart}, {16, kRhythmPart}}},
    // The set-up block writes the effect settings, so the song's own are dropped; drum setups
    // 1 and 2 keep their sound parameters only (pitch, decay 2, cutoff).
    {.name = "XgParameterChangesKeptOrDropped",
     .events = TrackBuilder().SysEx(1, Xg(2, 1, 0x00, 0)).SysEx(1, Xg(2, 1, 0x0C, 0))
               .SysEx(1, Xg(2, 1, 0x20, 0)).SysEx(1, Xg(2, 1, 0x2C, 0)).SysEx(1, Xg(2, 1, 0x40, 0))
               .SysEx(1, Xg(2, 1, 0x56, 0)).SysEx(1, Xg(2, 1, 0x57, 0)).SysEx(1, Xg(2, 1, 0x58, 0))
               .SysEx(1, Xg(2, 1, 0x59, 0)).SysEx(1, Xg(2, 1, 0x5A, 0)).SysEx(1, Xg(2, 1, 0x5B, 0))
                   .SysEx(1, Xg(2, 1, 0x03, 5)).SysEx(1, Xg(2, 0, 0x00, 5))  // reverb 2, not 02 01
                   .SysEx(0, Xg(0x30, 0x24, 0x00, 0x40)).SysEx(1, Xg(0x31, 0x26, 0x0F, 0x40))
                   .SysEx(1, Xg(0x30, 0x24, 0x03, 0x01))  // alternate group
                   .SysEx(1, Xg(0x30, 0x24, 0x09, 0x01))  // receive note off
                   .SysEx(1, Xg(0x32, 0x24, 0x00, 0x40))  // a third setup
                   .SysEx(1, Xg(0x31, 0x26, 0x0B, 0x50))  // setup 2 cutoff
                   .SysEx(2, kLongEffectSysEx).EndOfTrack().Events(),
     .expected = TrackBuilder().SysEx(12, Xg(2, 1, 0x03, 5)).SysEx(1, Xg(0x30, 0x24, 0x00, 0x40))
                     .SysEx(1, Xg(0x31, 0x26, 0x0F, 0x40)).SysEx(4, Xg(0x31, 0x26, 0x0B, 0x50))
                     .SysEx(2, kLongEffectSysEx).EndOfTrack().Events()},
    // Assignment texts with a blank-signed channel number, drum part modes, nothing for
    // "Mute-Lock".
    {.name = "ChannelAssignmentsAndDrumPartModesUnderAllChannels", .events = kSIntSong,
     .expected = TrackBuilder().Marker(0, "SInt").Text(0, 1, "Channel  1 assigned to SubRhythm")
                     .SysEx(0, Xg(0x08, 0x00, 0x07, 0x03))
                     .Text(0, 1, "Channel  5 assigned to Un-Mute").Raw(kYamahaAndGmOn).Raw(kXgOn)
                     .EndOfTrack().Events(),
     .parts = {{1, kSubRhythmPart}, {4, kMuteLockPart}, {5, kUnMutePart}},
     .setUp = [](Session& s) { s.settings.panelVoices = false; }},
    // No System levels for an insertion effect; its part counts from 0.
    {.name = "FullEffectSettingsWithInsertionConnection", .events = kSIntSong,
     .expected = Concat({kSIntMarker, kYamahaAndGmOn, EffectEvent(0x5A, {0x00}),
                         EffectEvent(0x5B, {0x02}), EffectEvent(0x40, {0x08, 0x00}), kEndOfTrack}),
     .setUp = [](Session& s) {
         PlainSetUp(s);
         s.effects = {-1, "", -1, "", VariationConnection::Insertion, 24, " 3", " 70", " 64", " 10",
                      " 5"};  // "Cross Delay", code 800
     }},
    // Unset fields send nothing, variation levels need a variation type, "No Effect" is code 0
    // and a text that is no number sends 0.
    {.name = "UnsetEffectFieldsSendNothing", .events = kSIntSong,
     .expected = Concat({kSIntMarker, kYamahaAndGmOn, EffectEvent(0x0C, {0}),
                         EffectEvent(0x20, {0x00, 0x00}), kEndOfTrack}),
     .setUp = [](Session& s) {
         PlainSetUp(s);
         s.effects = {-1, "abc", 0, "", VariationConnection::System, -1, "", " 70", " 64", "", ""};
     }},
    {.name = "ReturnLevelBeyondADataByteOverflows", .events = kSIntSong,
     .setUp = [](Session& s) { s.effects.chorusReturn = " 256"; }},
    {.name = "InsertionPartZeroOverflows", .events = kSIntSong,
     .setUp = [](Session& s) {  // part 0 would be byte -1
         std::tie(s.effects.connection, s.effects.variation, s.effects.insertionPart) =
             std::tuple(VariationConnection::Insertion, 1, "0");
     }},
};
// clang-format on

class PrepMidiTest : public ::testing::TestWithParam<PrepCase> {
  protected:
    StubSession test;
    Session& s = test.session;
};

// The header is copied, the track length rewritten and the file cut after the track.
TEST_P(PrepMidiTest, PreparedTrack) {
    const PrepCase& c = GetParam();
    s.song.isMidiFile = true;
    const Bytes lists = test::ReadFile(std::string(ZEPHRANE_DATA_DIR) + "/cbo3.dat");
    ParseEffectListFile(std::string(lists.begin(), lists.end()), s.effectLists);
    for (const auto& [channel, part] : c.parts)
        s.casm[channel - 1].part = part;
    c.setUp(s);
    s.song.bytes = ByteImage(Concat({test::SongFile(c.events, c.division), kCasmBehindTrack}));
    if (c.expected.empty()) {
        EXPECT_FALSE(PrepMidi(s, c.option));
        EXPECT_EQ(test.platform.messages,
                  std::vector<std::string>{ErrorReportText(RuntimeError(6), "PrepMidi")});
        return;
    }
    ASSERT_TRUE(PrepMidi(s, c.option));
    EXPECT_TRUE(test.platform.messages.empty());
    EXPECT_EQ(s.output.Bytes(), test::SongFile(c.expected, c.division));
    EXPECT_EQ(s.outputWritePos, s.output.Size());
}

INSTANTIATE_TEST_SUITE_P(Cases, PrepMidiTest, ::testing::ValuesIn(kPrepCases),
                         [](const auto& row) { return std::string(row.param.name); });

// The working file reloaded after a build still holds the set-up of its last preparation, made
// before the user chose these effects: a second style must get them all the same.
TEST(MakeStyleFromMidi, EffectSettingsOutliveTheReloadAfterABuild) {
    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
    test.platform.programDirectory = ZEPHRANE_DATA_DIR;
    test.platform.workingFilePath = (dir.Path() / "Zephwork.mid").string();
    SetUpEffectLists(s);
    ASSERT_TRUE(OpenChosenFile(s, dir.Write("song.mid", test::SongFile(test::MeasuresSong(12)))));
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    PickPart(s, 9, kRhythmPart);
    s.effects = {3, "80", -1, "", VariationConnection::Insertion, 2, "", "", "64", "", ""};
    for (int build = 1; build <= 2; ++build) {
        ASSERT_TRUE(MakeStyleFromMidi(s));
        const EffectSettings& e = s.effects;
        EXPECT_EQ(std::tie(e.reverb, e.reverbReturn, e.connection, e.variation, e.pan),
                  std::make_tuple(3, "80", VariationConnection::Insertion, 2, "64"))
            << "build " << build;
    }
}

}  // namespace
}  // namespace zephrane
