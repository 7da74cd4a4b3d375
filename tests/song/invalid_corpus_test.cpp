// The corpus of malformed files in tests/data/invalid/<fault>/: each file is opened by a session
// that holds a good song and must end in exactly its report, never in a crash; where the load is
// refused the session keeps the song it had. The fuzz-<target>-<n> folders hold inputs a fuzzer
// found; after the load they go through that target's steps. Every file needs an entry in the
// table below, so that a new file cannot go unchecked.

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/effect_commands.h"
#include "app/main_commands.h"
#include "app/save_files.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "casm/casm_chunk.h"
#include "casm/casm_reader.h"
#include "casm/casm_table.h"
#include "sections/sections.h"
#include "song/file_io.h"
#include "song/walker.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TrackBuilder;

std::string General(int number, const std::string& description, const std::string& operation) {
    return "Error #: " + std::to_string(number) + ", " + description +
           ", encountered in Function " + operation +
           ". If the solution is not obvious, please report this to the author.";
}
std::string OutOfRange(const std::string& operation) {
    return General(9, "Subscript out of range", operation);
}
std::string Overflow(const std::string& operation) {
    return General(6, "Overflow", operation);
}

std::string DamagedCasm(const std::string& problem) {
    return "The CASM data of this style is damaged: " + problem +
           " \"Use Style's Casm\" is not available for it; Save Style makes a new CASM from the "
           "grid.";
}

constexpr char kNotTypeZero[] =
    "This is not a type 0 midi file. Use your sequencer program or your PSR to convert this midi "
    "to the proper form. Ssee Info/Help";

// What a fuzzer input goes through after its load, as its fuzz target does.
enum class Steps {
    LoadOnly,
    Preparation,    // prepared with each option, written as the working file, that loaded
    StyleAssembly,  // prepared into the working file, CASM set automatically, style built and
                    // loaded
};

struct Expectation {
    bool refused = true;
    std::vector<std::string> loadMessages;
    // Styles: the messages of reading the kept CASM for "Main A" as conversion does, and the
    // first problem the inspection reader lists.
    std::vector<std::string> casmMessages = {};
    std::string casmProblem = {};
    Steps steps = Steps::LoadOnly;
    std::vector<std::string> stepMessages = {};
};

std::string CasmLie(const std::string& tag, int offset, uint32_t declared, int remaining,
                    const std::string& container) {
    return "\"" + tag + "\" at offset " + std::to_string(offset) + " declares " +
           std::to_string(declared) + " data bytes, but only " + std::to_string(remaining) +
           " remain in " + container;
}

const std::map<std::string, Expectation>& Expected() {
    static const std::map<std::string, Expectation> expected = {
        // The file ends inside the header chunk or before a whole track chunk header: there is
        // no track to walk.
        {"truncated-header/only-tag.mid", {true, {kNotTypeZero}}},
        {"truncated-header/before-format.mid", {true, {kNotTypeZero}}},
        {"truncated-header/before-division.mid", {true, {kNotTypeZero}}},
        {"truncated-header/before-track-tag.mid", {true, {kNotTypeZero}}},
        {"truncated-header/inside-track-length.mid", {true, {kNotTypeZero}}},
        // Without End of Track the walk runs on to the declared end, past the file's: the file
        // is cut short and refused. With it, the events decide where the track ends.
        {"track-length-past-end/forty-more.mid", {true, {OutOfRange("GetInfo")}}},
        {"track-length-past-end/four-gigabytes.mid", {true, {OutOfRange("GetInfo")}}},
        {"track-length-past-end/cut-inside-note-off.mid", {true, {OutOfRange("GetInfo")}}},
        {"track-length-past-end/with-end-of-track.mid", {false, {}}},
        // A quantity beyond 32 bits overflows; one cut by the end of the file runs out of it.
        {"endless-variable-length-quantity/delta-beyond-32-bits.mid",
         {true, {Overflow("GetInfo")}}},
        {"endless-variable-length-quantity/delta-to-the-end.mid", {true, {OutOfRange("GetInfo")}}},
        {"endless-variable-length-quantity/meta-length-to-the-end.mid",
         {true, {Overflow("GetInfo")}}},
        // With no channel status yet, each data byte is an event without data whose next byte
        // is read as a delta time, as midicsv reads it; the preparation drops these events.
        {"running-status-before-status/first-event.mid", {false, {}}},
        {"running-status-before-status/after-meta.mid", {false, {}}},
        // The channel's running status goes on across a text or SysEx event: every note is read.
        {"running-status-after-meta-or-sysex/after-sysex.mid", {false, {}}},
        {"running-status-after-meta-or-sysex/after-text.mid", {false, {}}},
        // A track that ends with its declared length is read to there; one cut inside its End
        // of Track event runs past the file.
        {"no-end-of-track/length-fits.mid", {false, {}}},
        {"no-end-of-track/cut-inside-end-of-track.mid", {true, {OutOfRange("GetInfo")}}},
        {"sysex-length-past-end/f0.mid", {true, {OutOfRange("GetInfo")}}},
        {"sysex-length-past-end/f7-escape.mid", {true, {OutOfRange("GetInfo")}}},
        {"sysex-length-past-end/f0-huge.mid", {true, {OutOfRange("GetInfo")}}},
        {"meta-length-past-end/track-name.mid", {true, {OutOfRange("GetInfo")}}},
        {"meta-length-past-end/tempo.mid", {true, {OutOfRange("GetInfo")}}},
        {"meta-length-past-end/end-of-track.mid", {true, {OutOfRange("GetInfo")}}},
        // A stray system status byte is stepped over as an event without data and dropped by
        // the preparation (checked below).
        {"status-f1-to-fe/status-f1.mid", {false, {}}},
        {"status-f1-to-fe/status-f2.mid", {false, {}}},
        {"status-f1-to-fe/status-f3.mid", {false, {}}},
        {"status-f1-to-fe/status-f4.mid", {false, {}}},
        {"status-f1-to-fe/status-f5.mid", {false, {}}},
        {"status-f1-to-fe/status-f6.mid", {false, {}}},
        {"status-f1-to-fe/status-f8.mid", {false, {}}},
        {"status-f1-to-fe/status-f9.mid", {false, {}}},
        {"status-f1-to-fe/status-fa.mid", {false, {}}},
        {"status-f1-to-fe/status-fb.mid", {false, {}}},
        {"status-f1-to-fe/status-fc.mid", {false, {}}},
        {"status-f1-to-fe/status-fd.mid", {false, {}}},
        {"status-f1-to-fe/status-fe.mid", {false, {}}},
        // SMPTE frames or no ticks at all: the program counts ticks per quarter note.
        {"smpte-division/25-fps-40-ticks.mid", {true, {kNotTypeZero}}},
        {"smpte-division/30-fps-80-ticks.mid", {true, {kNotTypeZero}}},
        {"zero-division/division-0.mid", {true, {kNotTypeZero}}},
        // Chunks of other types before the track are skipped (the image is checked below).
        {"junk-chunk-before-track/xfih.mid", {false, {}}},
        {"junk-chunk-before-track/empty-chunk.mid", {false, {}}},
        {"junk-chunk-before-track/two-chunks.mid", {false, {}}},
        {"no-track-chunk/only-junk.mid", {true, {kNotTypeZero}}},
        {"no-track-chunk/junk-past-end.mid", {true, {kNotTypeZero}}},
        {"no-track-chunk/track-tag-cut.mid", {true, {kNotTypeZero}}},
        {"not-a-midi-file/zeros.mid", {true, {kNotTypeZero}}},
        {"not-a-midi-file/riff.mid", {true, {kNotTypeZero}}},
        // Fewer than 6 header bytes, or a length that hides the track; more bytes are skipped.
        {"header-length-lies/too-short.mid", {true, {kNotTypeZero}}},
        {"header-length-lies/four-gigabytes.mid", {true, {kNotTypeZero}}},
        {"header-length-lies/eight-with-extra-bytes.mid", {false, {}}},
        // The load reads a style's CASM as `casm` does: a damaged one is named in a message and
        // never kept, so neither "Use Style's Casm" nor a conversion can carry it over.
        {"style-casm-lengths-lie/casm-past-end.sty",
         {false,
          {},
          {},
          CasmLie("CASM", 100, 0x00100000, 57, "the file") +
              "; the rest of the file is not read."}},
        {"style-casm-lengths-lie/cseg-past-casm.sty",
         {false,
          {},
          {},
          CasmLie("CSEG", 108, 0x7FFFFFFF, 49, "the CASM chunk at offset 100") +
              "; the rest of that CASM chunk is not read."}},
        {"style-casm-lengths-lie/sdec-past-end.sty",
         {false,
          {},
          {},
          CasmLie("Sdec", 116, 0x01000000, 41, "the CSEG at offset 108") +
              "; the rest of that CSEG is not read."}},
        {"style-casm-lengths-lie/ctab-past-end.sty",
         {false,
          {},
          {},
          CasmLie("Ctab", 130, 0x00010000, 27, "the CSEG at offset 108") +
              "; the rest of that CSEG is not read."}},
        {"style-casm-lengths-lie/ctab-too-short.sty",
         {false,
          {},
          {},
          CasmLie("Ctab", 130, 27, 3, "the CSEG at offset 108") +
              "; the rest of that CSEG is not read."}},
        // Lengths right, but a source channel beyond 16.
        {"style-casm-lengths-lie/ctab-channel-17.sty",
         {false,
          {},
          {},
          "\"Ctab\" at offset 130 names source channel 17, beyond the 16 MIDI channels."}},
        // Found as a style built from a song without a time signature (no measure length) whose
        // set-up events take time; its header chunk of no bytes and its division of 0 now keep
        // it out. The regression test below keeps the style case.
        {"fuzz-style-1/crash-7c48e56c.mid", {true, {kNotTypeZero}}},
        // A style garbled by a fuzzer: after its set-up SysEx messages its bytes run on under
        // the running status of a channel message, as midicsv reads them too, up to the
        // declared end of the track; it is prepared without a report. Its CASM cannot be found.
        {"fuzz-prepare-1/crash-bb12d19a.sty",
         {false,
          {},
          {},
          "The track has no End of Track event before the end of the file (4247 bytes); no "
          "chunks are read.",
          Steps::Preparation,
          {}}},
        // Overlapping section markers copy the same music several times: the assembled track
        // has more measures than the scan counts. The preparation after the assembly reports
        // its scan and goes on; loading the built style is refused.
        {"fuzz-style-2/crash-b089a4ee.mid",
         {false, {}, {}, {}, Steps::StyleAssembly, {Overflow("GetInfo"), Overflow("GetInfo")}}},
    };
    return expected;
}

fs::path CorpusFolder() {
    return ZEPHRANE_INVALID_DATA_DIR;
}

// "fault/file" of every song and style in the corpus folder.
std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(CorpusFolder())) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".mid" && extension != ".sty")) continue;
        files.push_back(fs::relative(entry.path(), CorpusFolder()).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(InvalidCorpusTable, EveryFileOfTheCorpusHasItsExpectedReportAndEveryEntryItsFile) {
    // Guards against a new malformed file that nobody checks, and a table entry left behind.
    std::vector<std::string> listed;
    for (const auto& [name, expectation] : Expected())
        listed.push_back(name);
    EXPECT_EQ(CorpusFiles(), listed);
}

Bytes GoodSong() {
    TrackBuilder track;
    track.Text(0, 3, "Good").Tempo(0, 500000).TimeSignature(0, 4, 2);
    track.Program(0, 1, 0).NoteOn(0, 1, 60, 100).NoteOff(480, 1, 60).EndOfTrack();
    return test::SongFile(track);
}

// The note numbers of the note-ons of a song, negative for those under running status.
std::vector<int> NotesOfScale(const ByteImage& song) {
    std::vector<int> notes;
    WalkState walk;
    TrackWalker walker(song, walk);
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        if (!event.IsChannelMessage() || event.Kind() != 0x9) continue;
        const int note = song.At(event.dataPos);
        notes.push_back(event.runningStatus ? -note : note);
    }
    return notes;
}

class InvalidCorpusTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
        ASSERT_TRUE(OpenChosenFile(s, dir.Write("good.mid", GoodSong())));
        good = static_cast<const SessionState&>(s);
        recorder.messages.clear();
    }
    // The messages shown since the last call.
    std::vector<std::string> TakeMessages() { return std::exchange(recorder.messages, {}); }

    // The steps of the style fuzz target after its load.
    void AssembleStyle() {
        const std::string workingFile = recorder.workingFilePath;
        ASSERT_TRUE(PrepMidi(s, PrepOption::AllChannels));
        ASSERT_TRUE(SaveStyleFile(s, workingFile));
        ASSERT_TRUE(LoadSong(s, workingFile));
        AutoSetCasm(s);
        const SectionSlots& pressed = s.view.sectionPressed;
        if (std::none_of(pressed.begin(), pressed.end(), [](bool down) { return down; })) {
            PressSectionButton(s, "Intro A");
        }
        if (!CheckStyleCommand(s, StyleCommandSource::MenuItem) || !MakeStyleFromMidi(s)) return;
        const std::string built = (dir.Path() / "built.sty").string();
        ASSERT_TRUE(SaveStyleFile(s, built));
        OpenChosenFile(s, built);
    }

    // The steps of the preparation fuzz target after its load.
    void Prepare() {
        for (PrepOption option :
             {PrepOption::AssignedOnly, PrepOption::NoSpecialMarkers, PrepOption::AllChannels}) {
            ASSERT_TRUE(PrepMidi(s, option));
        }
        ASSERT_TRUE(SaveStyleFile(s, recorder.workingFilePath));
        LoadSong(s, recorder.workingFilePath);
    }

    test::TempDir dir;
    StubSession test;
    StubPlatform& recorder = test.platform;
    Session& s = test.session;
    SessionState good{};
};

TEST_P(InvalidCorpusTest, LoadEndsInItsReportAndARefusalKeepsTheSong) {
    const std::string name = GetParam();
    const auto found = Expected().find(name);
    ASSERT_NE(found, Expected().end()) << name << " has no expectation";
    const Expectation& expected = found->second;
    const std::string path = (CorpusFolder() / name).string();

    const bool opened = OpenChosenFile(s, path);
    std::vector<std::string> loadMessages = expected.loadMessages;
    if (!expected.casmProblem.empty()) loadMessages.push_back(DamagedCasm(expected.casmProblem));
    EXPECT_EQ(TakeMessages(), loadMessages);
    if (expected.refused) {
        EXPECT_FALSE(opened);
        EXPECT_EQ(s.song.bytes, good.song.bytes);
        EXPECT_EQ(s.song.fileName, good.song.fileName);
        EXPECT_EQ(s.view.caption, "Zephrane   good.mid");
        EXPECT_EQ(s.view.txtFileName, good.view.txtFileName);
        return;
    }
    ASSERT_TRUE(opened);
    EXPECT_EQ(s.song.fileName, path);
    // Every walk starts the track at byte 22.
    const ByteImage& image = s.song.bytes;
    EXPECT_EQ(image.ReadU32BE(4), 6u);
    EXPECT_EQ(std::string(image.Span(14, 4).begin(), image.Span(14, 4).end()), "MTrk");
    if (name.starts_with("junk-chunk-before-track/") || name.starts_with("header-length-lies/") ||
        name.starts_with("track-length-past-end/")) {
        // Nothing of the song is lost with the chunks and header bytes skipped.
        EXPECT_EQ(s.view.txtStyleName, "Sound");
        EXPECT_TRUE(s.view.rows[0].visible);
    }

    if (name.starts_with("status-f1-to-fe/")) {
        // The stray status byte does not reach the prepared file.
        const uint8_t stray = static_cast<uint8_t>(std::stoi(name.substr(23, 2), nullptr, 16));
        ASSERT_TRUE(PrepMidi(s, PrepOption::AllChannels));
        const auto& bytes = s.output.Bytes();
        EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + s.outputWritePos, stray), 0);
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{});
    }
    if (name.starts_with("running-status-after-meta-or-sysex/")) {
        // The song holds the scale's four notes, three under running status; prepared, each
        // has its own status byte.
        EXPECT_EQ(NotesOfScale(s.song.bytes), (std::vector<int>{60, -62, -64, -65}));
        ASSERT_TRUE(PrepMidi(s, PrepOption::AllChannels));
        EXPECT_EQ(NotesOfScale(s.output), (std::vector<int>{60, 62, 64, 65}));
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{});
    }
    if (name.ends_with(".sty")) {
        const CasmListing listing = ReadCasmListing(ByteImage(ReadWholeFile(path)));
        if (expected.casmProblem.empty()) {
            EXPECT_EQ(listing.problems, std::vector<std::string>{});
            EXPECT_TRUE(s.song.hasStyleCasm);
            GetChannels(s, "Main A");
            EXPECT_EQ(TakeMessages(), expected.casmMessages);
        } else {
            ASSERT_FALSE(listing.problems.empty());
            EXPECT_EQ(listing.problems.front(), expected.casmProblem);
            EXPECT_FALSE(s.song.hasStyleCasm);
            EXPECT_FALSE(s.view.casmOptionsVisible);
        }
    }
    if (expected.steps == Steps::Preparation) Prepare();
    if (expected.steps == Steps::StyleAssembly) AssembleStyle();
    EXPECT_EQ(TakeMessages(), expected.stepMessages);
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, InvalidCorpusTest, ::testing::ValuesIn(CorpusFiles()), TestName);

// The style of a short song with its set-up events before the first section; the messages of
// building it, and the style.
struct BuiltStyle {
    bool built = false;
    std::vector<std::string> messages;
    Bytes style;
};

BuiltStyle BuildStyle(uint16_t division) {
    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
    test.platform.programDirectory = ZEPHRANE_DATA_DIR;
    test.platform.workingFilePath = (dir.Path() / "Zephwork.mid").string();
    SetUpEffectLists(s);
    // The program change comes a beat after the start: the set-up part takes time.
    TrackBuilder track;
    track.Tempo(0, 500000).Program(96, 1, 0).Marker(0, ">Intro A");
    track.NoteOn(0, 1, 60, 100).NoteOff(96, 1, 60).Marker(0, "<Intro A").EndOfTrack();
    EXPECT_TRUE(
        OpenFileByPath(s, dir.Write("no-time-signature.mid", test::SongFile(track, division))));
    AutoSetCasm(s);
    EXPECT_TRUE(CheckStyleCommand(s, StyleCommandSource::MenuItem));
    test.platform.messages.clear();
    BuiltStyle result;
    result.built = MakeStyleFromMidi(s);
    result.messages = test.platform.messages;
    result.style = s.output.Bytes();
    return result;
}

// Guards against a song without time signature having no measure length: its first section
// starts on the bar line of a 4/4 measure of 96-tick quarters.
TEST(InvalidCorpusRegression, StyleOfASongWithoutTimeSignatureIsBuiltInFourFour) {
    const BuiltStyle result = BuildStyle(96);
    EXPECT_TRUE(result.built);
    EXPECT_EQ(result.messages, std::vector<std::string>{});
    // The section marker's delta: the 384-tick set-up measure less the 96 ticks of set-up.
    const Bytes introA = {0x82, 0x20, 0xFF, 0x06, 0x07, 'I', 'n', 't', 'r', 'o', ' ', 'A'};
    EXPECT_NE(std::search(result.style.begin(), result.style.end(), introA.begin(), introA.end()),
              result.style.end());
}

}  // namespace
}  // namespace zephrane
