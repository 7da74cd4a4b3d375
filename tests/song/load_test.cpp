// Loading a song or style: a damaged file ends in one report and a refused load keeps the song
// the session had. What the CLI prints and writes for the corpus in tests/data/invalid/ is held by
// its golden digests; here the session kept across loads, and the fuzz-<target>-<n> findings
// through the other steps of their fuzz target (the CLI prepares with one option at a time).

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/main_commands.h"
#include "app/save_files.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "app/style_commands.h"
#include "sections/sections.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::Chunk;
using test::Concat;
using test::TrackBuilder;

const std::string kGetInfo =
    ", encountered in Function GetInfo. If the solution is not obvious, please report this to the "
    "author.";
const std::string kOutOfRange = "Error #: 9, Subscript out of range" + kGetInfo,
                  kOverflow = "Error #: 6, Overflow" + kGetInfo;
const std::string kNotTypeZero =
    "This is not a type 0 midi file. Use your sequencer program or your PSR to convert this midi "
    "to the proper form. Ssee Info/Help";

const fs::path kCorpusFolder = ZEPHRANE_INVALID_DATA_DIR;

// "fault/file" of every song and style in the corpus folder.
std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(kCorpusFolder)) {
        const fs::path extension = entry.path().extension();
        if (entry.is_regular_file() && (extension == ".mid" || extension == ".sty"))
            files.push_back(fs::relative(entry.path(), kCorpusFolder).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// 100 BPM in 3/4 and G major, so that a field left from it shows.
Bytes GoodSong() {
    TrackBuilder track;
    track.Text(0, 3, "Good").Tempo(0, 600000).TimeSignature(0, 3, 2).KeySignature(0, 1, 0);
    track.SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x50, 0xF7}).Controller(0, 1, 0, 0);
    track.Program(0, 1, 0).NoteOn(0, 1, 60, 100).RunningStatus(480, {62, 100});
    return test::SongFile(track.NoteOff(1920, 1, 60).EndOfTrack());
}

// A session that holds a good song and a part chosen in the CASM grid.
class GoodSongSession : public ::testing::Test {
  protected:
    void SetUp() override {
        recorder.programDirectory = ZEPHRANE_DATA_DIR;
        recorder.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
        ASSERT_TRUE(OpenChosenFile(s, dir.Write("good.mid", GoodSong())));
        s.casm[1].part = 2;
        good = static_cast<const SessionState&>(s);
        recorder.messages.clear();
    }
    std::vector<std::string> TakeMessages() { return std::exchange(recorder.messages, {}); }

    // Whether `path` opened; a refusal must keep the good song, its facts and its table.
    bool OpenKeepingTheSongWhenRefused(const std::string& path) {
        const bool opened = OpenChosenFile(s, path);
        const auto kept = [](const SessionState& state) {
            return state.song.fileName + "|" + state.view.caption + "|" + state.view.txtFileName +
                   "|" + state.view.txtKey + "|" + state.channels[0].voiceLabel + "|" +
                   std::to_string(state.facts.endOfTrackPos) + "|" +
                   std::to_string(state.casm[1].part) + std::to_string(state.song.isMidiFile);
        };
        if (opened) return true;
        EXPECT_EQ(kept(s), kept(good));
        EXPECT_EQ(s.song.bytes, good.song.bytes);
        return false;
    }

    // The steps of the preparation fuzz target after the load, then those of the style target.
    void PrepareAndAssembleStyle(bool assemble) {
        for (PrepOption option :
             {PrepOption::AssignedOnly, PrepOption::NoSpecialMarkers, PrepOption::AllChannels}) {
            ASSERT_TRUE(PrepMidi(s, option));
        }
        ASSERT_TRUE(SaveStyleFile(s, recorder.workingFilePath));
        ASSERT_TRUE(LoadSong(s, recorder.workingFilePath));
        if (!assemble) return;
        AutoSetCasm(s);
        const SectionSlots& pressed = s.view.sectionPressed;
        if (std::none_of(pressed.begin(), pressed.end(), [](bool down) { return down; }))
            PressSectionButton(s, "Intro A");
        if (!CheckStyleCommand(s, StyleCommandSource::MenuItem) || !MakeStyleFromMidi(s)) return;
        const std::string built = (dir.Path() / "built.sty").string();
        ASSERT_TRUE(SaveStyleFile(s, built));
        OpenChosenFile(s, built);
    }

    test::TempDir dir;
    StubSession test;
    StubPlatform& recorder = test.platform;
    Session& s = test.session;
    SessionState good{};
};

class InvalidCorpusTest : public GoodSongSession,
                          public ::testing::WithParamInterface<std::string> {};

TEST_P(InvalidCorpusTest, LoadEndsInOneReportOrLoadsAndARefusalKeepsTheSong) {
    const std::string name = GetParam(), path = (kCorpusFolder / name).string();
    if (!OpenKeepingTheSongWhenRefused(path)) {
        EXPECT_EQ(TakeMessages().size(), 1u);
        return;
    }
    EXPECT_EQ(s.song.fileName, path);
    TakeMessages();
    if (name.starts_with("fuzz-")) PrepareAndAssembleStyle(name.starts_with("fuzz-style-"));
    // Overlapping section markers copy the same music several times: the assembled track has
    // more measures than the scan counts, which the preparation after the assembly reports before
    // it goes on, and loading the built style refuses.
    const std::vector<std::string> reports(name.starts_with("fuzz-style-2/") ? 2 : 0, kOverflow);
    EXPECT_EQ(TakeMessages(), reports);
}

INSTANTIATE_TEST_SUITE_P(Corpus, InvalidCorpusTest, ::testing::ValuesIn(CorpusFiles()),
                         [](const ::testing::TestParamInfo<std::string>& row) {
                             std::string name = row.param;
                             std::ranges::replace_if(
                                 name, [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

TEST_F(GoodSongSession, RefusedFilesEndInTheirReportAndKeepTheSong) {
    const Bytes song = GoodSong(), note = TrackBuilder().NoteOn(0, 1, 60, 1).EndOfTrack().Events();
    std::vector<std::pair<Bytes, std::string>> refused;
    // Every truncation: without the whole header and track chunk header there is no track; with
    // them the walk runs off the file.
    for (size_t length = 0; length < song.size(); ++length) {
        refused.push_back({Bytes(song.begin(), song.begin() + length),
                           length == 0   ? "Zephrane cannot read this file"
                           : length < 22 ? kNotTypeZero
                                         : kOutOfRange});
    }
    // 1/64 time at division 1: a measure of 1/16 tick puts the end far beyond 32767 measures.
    const TrackBuilder absurd =
        TrackBuilder().TimeSignature(0, 1, 6).NoteOn(0x0FFFFFFF, 1, 60, 1).EndOfTrack();
    refused.push_back({test::SongFile(absurd.Events(), 1), kOverflow});
    for (const auto& [file, message] : refused) {
        SCOPED_TRACE(file.size());
        EXPECT_FALSE(OpenKeepingTheSongWhenRefused(dir.Write("refused.mid", file)));
        EXPECT_EQ(TakeMessages(), std::vector<std::string>{message});
    }
    // Only the low format byte decides type 0. Without tempo, time signature or key the fields
    // show the MIDI defaults, not the last song's.
    ASSERT_TRUE(OpenChosenFile(s, dir.Write("256.mid", test::SongFile(note, 480, 0x100))));
    EXPECT_EQ(s.view.txtTempo + "|" + s.view.txtTimeSig + "|" + s.view.txtKey + "|" +
                  s.view.lblMaxMeasures,
              "120| 4/4||Measures:  0");
    // 30722 quarters a minute in 6/8 are shown as 61444 eighths, beyond a 16-bit field: the song
    // loads all the same.
    const TrackBuilder fast = TrackBuilder()
                                  .Tempo(0, 1953)
                                  .TimeSignature(0, 6, 3)
                                  .NoteOn(0, 1, 60, 90)
                                  .NoteOff(480, 1, 60)
                                  .EndOfTrack();
    ASSERT_TRUE(OpenChosenFile(s, dir.Write("fast.mid", test::SongFile(fast))));
    EXPECT_EQ(s.view.txtTempo + "|" + s.view.txtTimeSig, "61444| 6/8");
}

TEST(FileKind, FollowsTheLastThreeCharactersInAnyCase) {
    EXPECT_EQ((std::vector<FileKind>{KindOfFileName("a.PCS"), KindOfFileName("A.MID"),
                                     KindOfFileName("a.kar")}),
              (std::vector<FileKind>{FileKind::Style, FileKind::Midi, FileKind::Other}));
}

TEST_F(GoodSongSession, StyleKeepsWhatFollowsItsTrackOnlyBeyondTwentyEightBytes) {
    const Bytes trailer = Chunk("CASM", Chunk("CSEG", Chunk("Sdec", {'I', 'n', 't', 'r', 'o'})));
    ASSERT_EQ(trailer.size(), 29u);
    OpenChosenFile(
        s, dir.Write("short.sty", Concat({GoodSong(), Bytes(trailer.begin(), trailer.end() - 1)})));
    EXPECT_FALSE(s.song.hasStyleCasm || s.view.casmOptionsVisible);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), (Bytes{0, 0}));
    OpenChosenFile(s, dir.Write("long.sty", Concat({GoodSong(), trailer})));
    EXPECT_TRUE(s.song.hasStyleCasm && s.view.casmOptionsVisible);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), trailer);
}

}  // namespace
}  // namespace zephrane
