// Damaged files must end in exactly their report, never in a crash or a read outside the image;
// where the load is refused the session keeps the song it had. The corpus in
// tests/data/invalid/<fault>/ holds one file per way a file goes wrong; the fuzz-<target>-<n>
// folders hold inputs a fuzzer found, which after the load go through that target's steps. Every
// file needs an entry in the table below, so that a new file cannot go unchecked.

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
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

std::string General(int number, const std::string& description) {
    return "Error #: " + std::to_string(number) + ", " + description +
           ", encountered in Function GetInfo. If the solution is not obvious, please report this "
           "to the author.";
}
const std::string kOutOfRange = General(9, "Subscript out of range");
const std::string kOverflow = General(6, "Overflow");
const std::string kNotTypeZero =
    "This is not a type 0 midi file. Use your sequencer program or your PSR to convert this midi "
    "to the proper form. Ssee Info/Help";

// What a fuzzer input goes through after its load, as its fuzz target does.
enum class Steps {
    LoadOnly,
    Preparation,    // prepared with each option, written as the working file, that loaded
    StyleAssembly,  // prepared into the working file, CASM set automatically, style built, loaded
};

struct Expectation {
    bool refused = true;
    std::vector<std::string> loadMessages;
    std::string casmProblem = {};  // styles: the first problem the CASM inspection lists
    Steps steps = Steps::LoadOnly;
    std::vector<std::string> stepMessages = {};
};

const Expectation kLoads{false, {}};
Expectation Refused(const std::string& message) {
    return {true, {message}};
}
Expectation CasmLie(const std::string& tag, int offset, uint32_t declared, int remaining,
                    const std::string& container, const std::string& rest) {
    return {false,
            {},
            "\"" + tag + "\" at offset " + std::to_string(offset) + " declares " +
                std::to_string(declared) + " data bytes, but only " + std::to_string(remaining) +
                " remain in " + container + "; the rest of " + rest + " is not read."};
}

const std::map<std::string, Expectation>& Expected() {
    static const std::map<std::string, Expectation> expected = [] {
        std::map<std::string, Expectation> all;
        // Files of one fault folder with one expectation: names without extension are songs.
        const auto add = [&](const std::string& fault, const std::string& names,
                             const Expectation& expectation) {
            std::istringstream list(names);
            for (std::string name; list >> name;)
                all[fault + "/" + name + (name.ends_with(".sty") ? "" : ".mid")] = expectation;
        };
        // The file ends inside the header chunk or before a whole track chunk header: there is
        // no track to walk.
        add("truncated-header",
            "only-tag before-format before-division before-track-tag inside-track-length",
            Refused(kNotTypeZero));
        // Without End of Track the walk runs on to the declared end, past the file's: the file
        // is cut short and refused. With it, the events decide where the track ends.
        add("track-length-past-end", "forty-more four-gigabytes cut-inside-note-off",
            Refused(kOutOfRange));
        add("track-length-past-end", "with-end-of-track", kLoads);
        // A quantity beyond 32 bits overflows; one cut by the end of the file runs out of it.
        add("endless-variable-length-quantity", "delta-beyond-32-bits meta-length-to-the-end",
            Refused(kOverflow));
        add("endless-variable-length-quantity", "delta-to-the-end", Refused(kOutOfRange));
        // With no channel status yet, each data byte is an event without data whose next byte
        // is read as a delta time, as midicsv reads it; the preparation drops these events.
        add("running-status-before-status", "first-event after-meta", kLoads);
        // The channel's running status goes on across a text or SysEx event (checked below).
        add("running-status-after-meta-or-sysex", "after-sysex after-text", kLoads);
        // A track that ends with its declared length is read to there; one cut inside its End
        // of Track event runs past the file.
        add("no-end-of-track", "length-fits", kLoads);
        add("no-end-of-track", "cut-inside-end-of-track", Refused(kOutOfRange));
        add("sysex-length-past-end", "f0 f7-escape f0-huge", Refused(kOutOfRange));
        add("meta-length-past-end", "track-name tempo end-of-track", Refused(kOutOfRange));
        // A stray system status byte is stepped over as an event without data and dropped by
        // the preparation (checked below).
        add("status-f1-to-fe",
            "status-f1 status-f2 status-f3 status-f4 status-f5 status-f6 status-f8 status-f9 "
            "status-fa status-fb status-fc status-fd status-fe",
            kLoads);
        // SMPTE frames or no ticks at all: the program counts ticks per quarter note.
        add("smpte-division", "25-fps-40-ticks 30-fps-80-ticks", Refused(kNotTypeZero));
        add("zero-division", "division-0", Refused(kNotTypeZero));
        // Chunks of other types before the track are skipped (the image is checked below).
        add("junk-chunk-before-track", "xfih empty-chunk two-chunks", kLoads);
        add("no-track-chunk", "only-junk junk-past-end track-tag-cut", Refused(kNotTypeZero));
        add("not-a-midi-file", "zeros riff", Refused(kNotTypeZero));
        // Fewer than 6 header bytes, or a length that hides the track; more bytes are skipped.
        add("header-length-lies", "too-short four-gigabytes", Refused(kNotTypeZero));
        add("header-length-lies", "eight-with-extra-bytes", kLoads);
        // The load reads a style's CASM as `casm` does: a damaged one is named in a message and
        // never kept, so neither "Use Style's Casm" nor a conversion can carry it over.
        const std::string cseg = "the CSEG at offset 108", inCseg = "that CSEG";
        add("style-casm-lengths-lie", "casm-past-end.sty",
            CasmLie("CASM", 100, 0x00100000, 57, "the file", "the file"));
        add("style-casm-lengths-lie", "cseg-past-casm.sty",
            CasmLie("CSEG", 108, 0x7FFFFFFF, 49, "the CASM chunk at offset 100",
                    "that CASM chunk"));
        add("style-casm-lengths-lie", "sdec-past-end.sty",
            CasmLie("Sdec", 116, 0x01000000, 41, cseg, inCseg));
        add("style-casm-lengths-lie", "ctab-past-end.sty",
            CasmLie("Ctab", 130, 0x00010000, 27, cseg, inCseg));
        add("style-casm-lengths-lie", "ctab-too-short.sty",
            CasmLie("Ctab", 130, 27, 3, cseg, inCseg));
        add("style-casm-lengths-lie", "ctab-channel-17.sty",
            {false,
             {},
             "\"Ctab\" at offset 130 names source channel 17, beyond the 16 MIDI "
             "channels."});
        // A song without a time signature whose set-up events take time; its header chunk of no
        // bytes and its division of 0 keep it out.
        add("fuzz-style-1", "crash-7c48e56c", Refused(kNotTypeZero));
        // A garbled style: after its set-up SysEx messages its bytes run on under the running
        // status of a channel message, as midicsv reads them too, up to the declared end of the
        // track; it is prepared without a report. Its CASM cannot be found.
        add("fuzz-prepare-1", "crash-bb12d19a.sty",
            {false,
             {},
             "The track has no End of Track event before the end of the file (4247 bytes); no "
             "chunks are read.",
             Steps::Preparation});
        // Overlapping section markers copy the same music several times: the assembled track
        // has more measures than the scan counts. The preparation after the assembly reports
        // its scan and goes on; loading the built style is refused.
        add("fuzz-style-2", "crash-b089a4ee",
            {false, {}, "", Steps::StyleAssembly, {kOverflow, kOverflow}});
        return all;
    }();
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
    std::vector<std::string> listed;
    for (const auto& [name, expectation] : Expected())
        listed.push_back(name);
    EXPECT_EQ(CorpusFiles(), listed);
}

Bytes GoodSong() {
    TrackBuilder track;
    track.Text(0, 3, "Good").Tempo(0, 500000).TimeSignature(0, 4, 2).KeySignature(0, 1, 0);
    track.SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x50, 0xF7}).Controller(0, 1, 0, 0);
    track.Program(0, 1, 0).NoteOn(0, 1, 60, 100).RunningStatus(480, {62, 100});
    return test::SongFile(track.NoteOff(1920, 1, 60).EndOfTrack());
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

// A session that holds a good song.
class GoodSongSession : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
        ASSERT_EQ(OpenChosenFile(s, dir.Write("good.mid", GoodSong())), "");
        good = static_cast<const SessionState&>(s);
        recorder.messages.clear();
    }
    // The messages shown since the last call.
    std::vector<std::string> TakeMessages() { return std::exchange(recorder.messages, {}); }

    // The result of opening `path`; a refusal must keep the good song.
    std::string OpenKeepingTheSongWhenRefused(const std::string& path) {
        const std::string result = OpenChosenFile(s, path);
        if (result == "failed") {
            EXPECT_EQ(s.song.bytes, good.song.bytes);
            EXPECT_EQ(s.song.fileName, good.song.fileName);
            EXPECT_EQ(s.view.caption, "Zephrane   good.mid");
            EXPECT_EQ(s.view.txtFileName, good.view.txtFileName);
        }
        return result;
    }

    // The steps of the style fuzz target after its load.
    void AssembleStyle() {
        ASSERT_TRUE(PrepMidi(s, PrepOption::AllChannels));
        ASSERT_TRUE(SaveStyleFile(s, recorder.workingFilePath));
        ASSERT_NE(LoadSong(s, recorder.workingFilePath), "failed");
        AutoSetCasm(s);
        const SectionSlots& pressed = s.view.sectionPressed;
        if (std::none_of(pressed.begin(), pressed.end(), [](bool down) { return down; }))
            PressSectionButton(s, "Intro A");
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

class InvalidCorpusTest : public GoodSongSession,
                          public ::testing::WithParamInterface<std::string> {};

TEST_P(InvalidCorpusTest, LoadEndsInItsReportAndARefusalKeepsTheSong) {
    const std::string name = GetParam();
    const auto found = Expected().find(name);
    ASSERT_NE(found, Expected().end()) << name << " has no expectation";
    const Expectation& expected = found->second;
    const std::string path = (CorpusFolder() / name).string();

    const std::string result = OpenKeepingTheSongWhenRefused(path);
    std::vector<std::string> loadMessages = expected.loadMessages;
    if (!expected.casmProblem.empty()) {
        loadMessages.push_back("The CASM data of this style is damaged: " + expected.casmProblem +
                               " \"Use Style's Casm\" is not available for it; Save Style makes "
                               "a new CASM from the grid.");
    }
    EXPECT_EQ(TakeMessages(), loadMessages);
    EXPECT_EQ(result, expected.refused ? "failed" : "");
    if (expected.refused) return;
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
        const auto stray = static_cast<uint8_t>(std::stoi(name.substr(23, 2), nullptr, 16));
        ASSERT_TRUE(PrepMidi(s, PrepOption::AllChannels));
        const auto& bytes = s.output.Bytes();
        EXPECT_EQ(std::count(bytes.begin(), bytes.begin() + s.outputWritePos, stray), 0);
    }
    if (name.starts_with("running-status-after-meta-or-sysex/")) {
        // The song holds the scale's four notes, three under running status; prepared, each
        // has its own status byte.
        EXPECT_EQ(NotesOfScale(s.song.bytes), (std::vector<int>{60, -62, -64, -65}));
        ASSERT_TRUE(PrepMidi(s, PrepOption::AllChannels));
        EXPECT_EQ(NotesOfScale(s.output), (std::vector<int>{60, 62, 64, 65}));
    }
    if (name.ends_with(".sty")) {
        const CasmListing listing = ReadCasmListing(ByteImage(ReadWholeFile(path)));
        ASSERT_FALSE(listing.problems.empty());
        EXPECT_EQ(listing.problems.front(), expected.casmProblem);
        EXPECT_FALSE(s.song.hasStyleCasm);
        EXPECT_FALSE(s.view.casmOptionsVisible);
    }
    if (expected.steps == Steps::Preparation) Prepare();
    if (expected.steps == Steps::StyleAssembly) AssembleStyle();
    EXPECT_EQ(TakeMessages(), expected.stepMessages);
}

INSTANTIATE_TEST_SUITE_P(Corpus, InvalidCorpusTest, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& row) {
                             std::string name = row.param;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                                 '_');
                             return name;
                         });

TEST_F(GoodSongSession, EveryTruncationOfASongIsRefusedWithAReport) {
    const Bytes song = GoodSong();
    for (size_t length = 0; length < song.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_EQ(OpenKeepingTheSongWhenRefused(
                      dir.Write("cut.mid", Bytes(song.begin(), song.begin() + length))),
                  "failed");
        // Without the whole header and track chunk header there is no track; with them the
        // walk runs off the file.
        const std::string expected = length == 0   ? "Zephrane cannot read this file"
                                     : length < 22 ? kNotTypeZero
                                                   : kOutOfRange;
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{expected});
    }
}

TEST_F(GoodSongSession, AbsurdMeasureLengthsAreOverflowsNotHugeTables) {
    // 1/64 time at division 1: a measure of 1/16 tick puts the end far beyond 32767 measures.
    TrackBuilder track;
    track.TimeSignature(0, 1, 6).NoteOn(0x0FFFFFFF, 1, 60, 1).EndOfTrack();
    EXPECT_EQ(
        OpenKeepingTheSongWhenRefused(dir.Write("bars.mid", test::SongFile(track.Events(), 1))),
        "failed");
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{kOverflow});
}

}  // namespace
}  // namespace zephrane
