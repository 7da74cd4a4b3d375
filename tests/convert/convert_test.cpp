// "Convert Notes": the walk over the prepared song with exact bytes in and out, and the command
// with its checks, a style's own CASM and what a failed conversion leaves behind.

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/effect_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/error_report.h"
#include "app/main_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

constexpr int kD = 2, kF = 5;  // key-list positions
// Chord-list positions of "maj7", "aug", "min", "dim7" and "7th".
constexpr int kMaj7 = 2, kAug = 7, kMin = 8, kDim7 = 18, k7th = 19;
constexpr int kWithoutPart = -1, kChord2Part = 4, kPhrase2Part = 7, kUnMutePart = 9;

const Bytes kEndOfTrack = TrackBuilder().EndOfTrack().Events();
const Bytes kGmOnEvent = TrackBuilder().SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).Events();
const std::string kConvertReport = ErrorReportText(RuntimeError(5), "Convert");

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

// --- The walk ----------------------------------------------------------------------------------

struct Plays {
    int channel;
    int part;
    int key = kD;
    int chord = kMaj7;
};

struct WalkCase {
    const char* name = "";
    std::vector<Plays> plays{};
    Bytes events{};
    Bytes expected{};  // empty: the section list is out of order and the walk stops
    ConvertItem item = ConvertItem::Plain;
    bool addB = false;  // "Convert sevenths by adding a B"
};

// `Convert` on a prepared song put straight into the output image.
class ConvertWalkTest : public ::testing::TestWithParam<WalkCase> {
  protected:
    void Assign(const std::vector<Plays>& plays) {
        for (const Plays& p : plays)
            std::tie(s.casm[p.channel - 1].part, s.casm[p.channel - 1].sourceKey,
                     s.casm[p.channel - 1].sourceChord) = std::tuple(p.part, p.key, p.chord);
    }
    // The converted track's events (byte 22 on), after checking its length field and cut.
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

// clang-format off
const WalkCase kWalkCases[] = {
    // Each root gets its B, with note-offs; notes before the first section (A4) keep their pitch. A
    // channel message after a meta or SysEx event gets its status byte back (strict readers
    // refuse running status over them); between channel messages running status stays.
    {.name = "SeventhsByAddingABAndRunningStatusAfterMetaAndSysExEvents",
     .plays = {{1, kChord1Part}},
     .events = Concat({{0x00, 0x90, 69, 100}, MarkerEvent(">Main A"),
                       {0x00, 62, 90, 0x00, 66, 90, 0x00, 63, 80},  // D4 (the root), F#4, D#4
                       kGmOnEvent,  // then F#4 off, D4 off, D#4 off, a volume
                       {0x00, 66, 0, 0x83, 0x60, 0x80, 62, 0x00, 0x00, 0x80, 63, 0x00,
                        0x00, 0xB0, 7, 100},
                       MarkerEvent("x"), {0x00, 7, 90}, kEndOfTrack}),
     .expected = Concat({{0x00, 0x90, 69, 100}, MarkerEvent(">Main A"),  // C4 and B4, E4, C4 and B4
                         {0x00, 0x90, 60, 90, 0x00, 0x90, 71, 90, 0x00, 64, 90,
                          0x00, 60, 80, 0x00, 71, 80},
                         kGmOnEvent,  // E4 off with its status, C4 and B4 off twice
                         {0x00, 0x90, 64, 0, 0x83, 0x60, 0x80, 60, 0x00, 0x00, 0x80, 71, 0x00,
                          0x00, 0x80, 60, 0x00, 0x00, 0x80, 71, 0x00, 0x00, 0xB0, 7, 100},
                         MarkerEvent("x"), {0x00, 0xB0, 7, 90}, kEndOfTrack}),
     .item = ConvertItem::Sevenths, .addB = true},
    // Without the check mark every root goes down to the B below, below 0 an octave up. Intros
    // play the minor third (F4 in D) of "min" to "dim7" as a major third, of other chords as it is.
    {.name = "SeventhsWithoutTheCheckMarkAndTheThirdOfMinorChordsInIntros",
     .plays = {{2, kBassPart}, {3, kPadPart, kD, kAug}, {4, kPadPart, kD, kMin},
               {5, kPadPart, kD, kDim7}, {6, kPadPart, kD, k7th}},
     .events = TrackBuilder().Marker(0, ">Intro A").NoteOn(0, 2, 38, 90).NoteOn(0, 2, 45, 90)
                   .NoteOn(0, 2, 2, 90).NoteOff(480, 2, 38).NoteOn(0, 3, 65, 90)
                   .NoteOn(0, 4, 65, 90).NoteOn(0, 5, 65, 90).NoteOn(0, 6, 65, 90).EndOfTrack()
                   .Events(),
     .expected = TrackBuilder().Marker(0, ">Intro A").NoteOn(0, 2, 35, 90).NoteOn(0, 2, 43, 90)
                     .NoteOn(0, 2, 11, 90).NoteOff(480, 2, 35).NoteOn(0, 3, 63, 90)
                     .NoteOn(0, 4, 64, 90).NoteOn(0, 5, 64, 90).NoteOn(0, 6, 63, 90).EndOfTrack()
                     .Events(),
     .item = ConvertItem::Sevenths},
    // The open section rules until its end marker; "None" only moves by the key, no sevenths.
    {.name = "BetweenSectionsTheOpenSectionRulesAndNoneOnlyMovesByTheKey",
     .plays = {{1, kChord1Part}},
     .events = TrackBuilder().Marker(0, ">Main A").Marker(0, ">Fill In AA")
                   .Marker(0, "<Fill In AA").NoteOn(0, 1, 62, 100).Marker(0, "<Main A")
                   .NoteOn(0, 1, 62, 100).NoteOn(0, 1, 65, 100).EndOfTrack().Events(),
     .expected = TrackBuilder().Marker(0, ">Main A").Marker(0, ">Fill In AA")
                     .Marker(0, "<Fill In AA").NoteOn(0, 1, 60, 100).NoteOn(0, 1, 71, 100)
                     .Marker(0, "<Main A").NoteOn(0, 1, 60, 100).NoteOn(0, 1, 63, 100)
                     .EndOfTrack().Events(),
     .item = ConvertItem::Sevenths, .addB = true},
    // "Un-Mute" and no part only move by the key, drums not at all; beyond 0..127 notes move an
    // octave back.
    {.name = "UnMuteAndNoPartMoveByTheKeyAndNotesBeyondTheRangeAnOctaveBack",
     .plays = {{1, kChord1Part, 0}, {2, kBassPart}, {3, kWithoutPart}, {4, kUnMutePart},
               {9, kSubRhythmPart}, {10, kRhythmPart}},
     .events = TrackBuilder().Marker(0, ">Main A").NoteOn(0, 9, 37, 100).NoteOn(0, 10, 36, 0)
                   .NoteOn(0, 1, 120, 100).NoteOn(0, 2, 1, 100)
                   .NoteOn(0, 4, 63, 100).NoteOn(0, 3, 67, 100).Marker(0, "<Main A")
                   .NoteOn(0, 3, 0, 100).EndOfTrack().Events(),
     .expected = TrackBuilder().Marker(0, ">Main A").NoteOn(0, 9, 37, 100).NoteOn(0, 10, 36, 0)
                     .NoteOn(0, 1, 120, 100)
                     .NoteOn(0, 1, 119, 100)  // C9's B9 (131) becomes B8
                     .NoteOn(0, 2, 11, 100)   // C#-1 in D: the B below 0 becomes B-1
                     .NoteOn(0, 4, 61, 100).NoteOn(0, 3, 65, 100).Marker(0, "<Main A")
                     .NoteOn(0, 3, 10, 100)  // C-1 in D: Bb-1
                     .EndOfTrack().Events(),
     .item = ConvertItem::Sevenths, .addB = true},
    {.name = "SectionOpenedTwiceStopsTheWalk",
     .events = Concat({MarkerEvent(">Main A"), MarkerEvent("Main A"), kEndOfTrack})},
};
// clang-format on

TEST_P(ConvertWalkTest, ConvertedTrack) {
    const WalkCase& c = GetParam();
    Assign(c.plays);
    s.settings.convertSeventhAddB = c.addB;
    if (!c.expected.empty()) {
        EXPECT_EQ(Converted(c.events, c.item), c.expected);
        return;
    }
    s.output = ByteImage(test::SongFile(c.events));
    EXPECT_FALSE(Convert(s, c.item));
    EXPECT_EQ(test.platform.messages, std::vector<std::string>{kConvertReport});
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertWalkTest, ::testing::ValuesIn(kWalkCases),
                         [](const auto& row) { return std::string(row.param.name); });

// Guards against a part taking the other column, or a wrong entry in either column.
TEST_F(ConvertWalkTest, EveryPitchClassOfBothColumns) {
    // Chord parts on odd channels, the others on even ones; the notes D4 up to C#5.
    const int parts[] = {kChord1Part, kBassPart, kPadPart, kPhrase2Part, kChord2Part, kPhrase1Part};
    TrackBuilder track;
    track.Marker(0, ">Fill In AA");
    for (int channel = 1; channel <= 6; ++channel) {
        Assign({{channel, parts[channel - 1]}});
        for (uint8_t note = 62; note <= 73; ++note)
            track.NoteOn(0, channel, note, 64);
    }
    Converted(track.EndOfTrack().Events());
    //                          D   D#  E   F   F#  G   G#  A   A#  B   C   C#
    const std::vector<int> chord = {60, 60, 60, 64, 64, 64, 64, 67, 67, 67, 79, 71},
                           scale = {60, 60, 62, 64, 64, 64, 64, 67, 67, 69, 67, 71};
    for (int channel = 1; channel <= 6; ++channel)
        EXPECT_EQ(NoteOns(s.output, channel), channel % 2 ? chord : scale) << channel;
}

// --- The command -------------------------------------------------------------------------------

// clang-format off
// A Ctab record of 27 data bytes: editable, with note and chord mutes, in the phrase's chord.
Bytes Ctab(int channel, uint8_t destination, uint8_t sourceRoot, uint8_t sourceChord) {
    return test::Chunk("Ctab", {static_cast<uint8_t>(channel - 1), 'P', 'a', 'r', 't', ' ', ' ',
                                ' ', ' ', destination, 0x00, 0x0F, 0xFF, 0x03, 0xFF, 0xFF, 0xFF,
                                0xFF, sourceRoot, sourceChord, 0, 2, 7, 0, 127, 1, 0});
}

// Main A: channel 1 Chord 1 (destination 11) and channel 2 Phrase 1 (14); Main B: channel 1
// Bass (10); the phrases of Main A in `mainARoot`, of Main B in `mainBRoot`.
Bytes StyleCasm(uint8_t mainARoot, uint8_t mainBRoot, uint8_t chord) {
    using test::Chunk;
    const Bytes mainA = {'M', 'a', 'i', 'n', ' ', 'A'}, mainB = {'M', 'a', 'i', 'n', ' ', 'B'};
    return Chunk("CASM", Concat({
        Chunk("CSEG", Concat({Chunk("Sdec", mainA), Ctab(1, 11, mainARoot, chord),
                              Ctab(2, 14, mainARoot, chord)})),
        Chunk("CSEG", Concat({Chunk("Sdec", mainB), Ctab(1, 10, mainBRoot, chord)}))}));
}
// clang-format on

constexpr char kNoFile[] =
    "A file has not yet been opened. Click on Open File to identify the file to use.";
constexpr char kNoSequencer[] =
    "A sequencer program has not been selected. Click on Setup to identify the sequencer that you "
    "wish to use";
constexpr char kNoPart[] =
    "You must first select parts (bass, chord1, etc) and the key (if other than C) for any "
    "desired channels before performing a Convert operation. This can be done automatically using "
    "Auto Casm Set or individually by clicking on the part box in the appropriate column.";

class ConvertCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
        s.settings.sequencerPath = "sequencer";
    }
    // Opens the file as Open File does; the working file then holds it.
    void Open(const std::string& name, const Bytes& file) {
        recorder.openAnswers.push_back(dir.Write(name, file));
        ASSERT_TRUE(OpenFileCommand(s));
    }
    // 12 measures in D major with a kick in each; a stray end marker stops a conversion.
    void OpenDMajorSong(bool strayEndMarker = false) {
        TrackBuilder track;
        track.KeySignature(0, 2, 0);
        if (strayEndMarker) track.Marker(0, "<Main B");
        Open("song.mid", test::SongFile(track.Raw(test::MeasuresSong(12).Events())));
    }
    Bytes WorkingFile() const { return test::ReadFile(recorder.workingFilePath); }

    test::TempDir dir;
    StubSession test;
    StubPlatform& recorder = test.platform;
    Session& s = test.session;
};

// Guards against the table being followed instead of the style's records, against a section
// wiping the channels it has no record for, against records of earlier sections being forgotten,
// against records left in their old key, and against records read when the option is not chosen.
TEST_F(ConvertCommandTest, StyleWithItsOwnCasmIsConvertedSectionBySection) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 10, 36, 100).NoteOff(1920, 10, 36).Marker(0, "Main A");
    track.NoteOn(0, 1, 64, 100).NoteOn(0, 2, 64, 100).NoteOn(0, 3, 64, 100).NoteOff(1920, 1, 64);
    track.Marker(0, "Main B").NoteOn(0, 1, 67, 100).NoteOn(0, 2, 68, 100).NoteOff(1920, 1, 67);
    const Bytes style = Concat({test::SongFile(track.EndOfTrack()), StyleCasm(kD, kF, 10)});
    for (bool useStyleCasm : {true, false}) {
        SCOPED_TRACE(useStyleCasm);
        Open("style.sty", style);
        ASSERT_TRUE(s.view.casmOptionsVisible);
        PickPart(s, 2, kBassPart);
        s.casm[2].sourceKey = kD;
        s.useStyleCasm = useStyleCasm;
        ASSERT_TRUE(ConvertNotes(s, ConvertItem::Plain));
        EXPECT_TRUE(recorder.messages.empty());
        // By the records: C4, then D4 in F; Phrase 1 in D; channel 3 as it is.
        using Notes = std::vector<std::vector<int>>;
        EXPECT_EQ(
            (Notes{NoteOns(s.song.bytes, 1), NoteOns(s.song.bytes, 2), NoteOns(s.song.bytes, 3)}),
            (useStyleCasm ? Notes{{60, 62}, {62, 64}, {64}} : Notes{{64, 67}, {64, 68}, {62}}));
        EXPECT_EQ(s.song.styleCasmBytes.Bytes(),
                  useStyleCasm ? StyleCasm(0, 0, kMaj7) : StyleCasm(kD, kF, 10));
        EXPECT_FALSE(s.useStyleCasm || s.view.casmOptionsVisible);
    }
}

// Guards against the checks coming in another order, or a refused command writing anything.
TEST_F(ConvertCommandTest, ChecksComeInOrderAndARefusalWritesNothing) {
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain));
    OpenDMajorSong();
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    const Bytes working = WorkingFile();
    s.settings.sequencerPath.clear();
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain));
    // A batch run has no sequencer: the next check speaks.
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped));
    s.casm[0].part = kMuteLockPart;  // locked channels take no part
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Plain, SequencerCheck::Skipped));
    EXPECT_EQ(recorder.messages,
              (std::vector<std::string>{kNoFile, kNoSequencer, kNoPart, kNoPart}));
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
    PickPart(s, 0, kChord1Part);
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    s.useStyleCasm = true;
    s.view.casmOptionsVisible = true;
    s.notedRecords = {7};
    s.casmSnapshot.part[4] = 13;
    const Bytes working = WorkingFile();
    const SessionState before = s;
    EXPECT_FALSE(ConvertNotes(s, ConvertItem::Sevenths));
    EXPECT_EQ(recorder.messages, std::vector<std::string>{kConvertReport});
    EXPECT_EQ(WorkingFile(), working);
    // The key signature still says D major, and the song's key with it.
    EXPECT_EQ(std::tie(s.song.bytes, s.output, s.outputWritePos, s.facts.keyText),
              std::tie(before.song.bytes, before.output, before.outputWritePos, "Dmajor"));
    EXPECT_EQ(std::tie(s.casm[0].sourceKey, s.casm[0].sourceChord, s.casmSnapshot.part,
                       s.casmSnapshot.sourceKey, s.notedRecords, s.useStyleCasm),
              std::tie(kD, kMaj7, before.casmSnapshot.part, before.casmSnapshot.sourceKey,
                       before.notedRecords, before.useStyleCasm));
    EXPECT_EQ(std::tie(s.view.casmOptionsVisible, s.view.sectionPressed),
              std::tie(before.view.casmOptionsVisible, before.view.sectionPressed));
}

}  // namespace
}  // namespace zephrane
