#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Concat;
using test::TrackBuilder;

using test::Chunk;

// A sound CASM chunk: one CSEG naming `sections` and holding no records.
Bytes CasmOfOneSegment(const std::string& sections) {
    return Chunk("CASM", Chunk("CSEG", Chunk("Sdec", Bytes(sections.begin(), sections.end()))));
}

constexpr char kNotTypeZero[] =
    "This is not a type 0 midi file. Use your sequencer program or your PSR to convert this midi "
    "to the proper form. Ssee Info/Help";

const Bytes kSetUpMarkers = {0x00, 0xFF, 0x06, 0x04, 'S', 'F', 'F', '1',
                             0x00, 0xFF, 0x06, 0x04, 'S', 'I', 'n', 't'};

class LoadTest : public ::testing::Test {
  protected:
    bool Open(const std::string& name, const Bytes& file) {
        return OpenChosenFile(s, dir.Write(name, file));
    }
    Bytes Track() const {
        const auto& all = s.song.bytes.Bytes();
        return Bytes(all.begin() + 22, all.end());
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

TrackBuilder SmallSong() {
    TrackBuilder track;
    track.Text(0, 3, "  Bossa  ")
        .Text(0, 2, "(c) 2026")
        .Tempo(0, 500000)
        .TimeSignature(0, 6, 3)
        .KeySignature(0, -3, 1)
        .Program(0, 2, 33)
        .NoteOn(0, 2, 40, 90)
        .NoteOn(0, 10, 36, 90)
        .NoteOff(1440, 2, 40)
        .EndOfTrack(1440);
    return track;
}

TEST_F(LoadTest, WindowFieldsShowTheSongsFacts) {
    ASSERT_TRUE(Open("bossa.mid", test::SongFile(SmallSong())));
    const MainWindowView& view = s.view;
    EXPECT_EQ(view.caption, "Zephrane   bossa.mid");
    EXPECT_EQ(view.txtFileName, "bossa.mid(modified)");
    EXPECT_EQ(view.txtStyleName, "Bossa");
    EXPECT_EQ(view.txtCopyright, "(c) 2026");
    EXPECT_EQ(view.txtTempo, "240");  // 120 quarters a minute in eighths
    EXPECT_EQ(view.txtTimeSig, " 6/8");
    EXPECT_EQ(view.txtKey, "Cminor");
    EXPECT_EQ(view.lblMaxMeasures, "Measures:  2");
    EXPECT_TRUE(view.rows[1].visible);
    EXPECT_EQ(view.rows[1].voice, "Bass-GM");
    EXPECT_TRUE(view.rows[9].visible);
    EXPECT_EQ(view.rows[9].voice, "Drum Kit-GM no PC");
    EXPECT_FALSE(view.rows[0].visible);
    ASSERT_EQ(test.platform.shownViews.size(), 1u);
    EXPECT_EQ(test.platform.shownViews[0].txtKey, "Cminor");
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(LoadTest, PlainSongGetsSff1ThenSIntAtTickZero) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 100).EndOfTrack(10);
    ASSERT_TRUE(Open("plain.mid", test::SongFile(track)));
    EXPECT_EQ(Track(), Concat({kSetUpMarkers, {0x00, 0x90, 60, 100, 0x0A, 0xFF, 0x2F, 0x00}}));
    EXPECT_EQ(s.song.bytes.ReadU32BE(18), 24u);
    ASSERT_EQ(s.markers.count, 2);
    EXPECT_EQ(s.markers.entries[0].text, "SFF1");
    EXPECT_EQ(s.markers.entries[1].position, 30);
}

TEST_F(LoadTest, SongWhoseFirstEventIsLateKeepsItsTiming) {
    TrackBuilder track;
    track.NoteOn(200, 1, 60, 100).EndOfTrack(10);
    ASSERT_TRUE(Open("late.mid", test::SongFile(track)));
    EXPECT_EQ(Track(), Concat({{0x81, 0x48},
                               Bytes(kSetUpMarkers.begin() + 1, kSetUpMarkers.end()),
                               {0x00, 0x90, 60, 100, 0x0A, 0xFF, 0x2F, 0x00}}));
}

TEST_F(LoadTest, ExistingMarkersPressTheirSectionButtonsAndAreNotAddedAgain) {
    TrackBuilder track;
    track.Marker(0, "SFF1")
        .Marker(0, "SInt")
        .Marker(0, ">Main A")
        .Marker(0, "Fill In BB")
        .Marker(0, "<Main B")
        .NoteOn(0, 1, 60, 1)
        .EndOfTrack();
    const Bytes file = test::SongFile(track);
    ASSERT_TRUE(Open("marked.mid", file));
    EXPECT_EQ(s.song.bytes.Bytes(), file);
    EXPECT_TRUE(s.sectionFlags[2]);
    EXPECT_TRUE(s.view.sectionPressed[2]);
    EXPECT_TRUE(s.sectionFlags[22]);
    EXPECT_FALSE(s.sectionFlags[3]);  // "<" markers only end a section
}

TEST_F(LoadTest, OnlyTheLowFormatByteDecidesTypeZero) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 1).EndOfTrack();
    EXPECT_TRUE(Open("format256.mid", test::SongFile(track.Events(), 480, 0x0100)));
    EXPECT_FALSE(Open("type1.mid", test::SongFile(track.Events(), 480, 1)));
    EXPECT_EQ(test.platform.messages.back(),
              "This is not a type 0 midi file. Use your sequencer program or your PSR to convert "
              "this midi to the proper form. Ssee Info/Help");
}

TEST_F(LoadTest, RefusedLoadLeavesThePreviousSongAsItWas) {
    ASSERT_TRUE(Open("bossa.mid", test::SongFile(SmallSong())));
    s.casm[1].part = 2;
    const ByteImage bytes = s.song.bytes;
    const MainWindowView view = s.view;
    const SongFacts facts = s.facts;
    const auto channels = s.channels;

    TrackBuilder other;
    other.NoteOn(0, 5, 60, 1).EndOfTrack();
    const Bytes truncated = [&] {
        Bytes file = test::SongFile(SmallSong());
        file.resize(file.size() - 6);
        return file;
    }();
    EXPECT_FALSE(Open("type1.mid", test::SongFile(other.Events(), 480, 1)));
    EXPECT_FALSE(Open("empty.sty", {}));
    EXPECT_FALSE(Open("truncated.mid", truncated));
    EXPECT_FALSE(OpenChosenFile(s, (dir.Path() / "missing.mid").string()));

    EXPECT_EQ(s.song.bytes, bytes);
    EXPECT_EQ(s.song.fileName, (dir.Path() / "bossa.mid").string());
    EXPECT_TRUE(s.song.isMidiFile);
    EXPECT_EQ(s.view.caption, view.caption);
    EXPECT_EQ(s.view.txtFileName, view.txtFileName);
    EXPECT_EQ(s.view.rows[1].voice, view.rows[1].voice);
    EXPECT_EQ(s.facts.endOfTrackPos, facts.endOfTrackPos);
    EXPECT_EQ(s.facts.keyText, facts.keyText);
    EXPECT_EQ(s.channels[1].voiceLabel, channels[1].voiceLabel);
    EXPECT_EQ(s.casm[1].part, 2);
    ASSERT_EQ(test.platform.messages.size(), 4u);
    EXPECT_EQ(test.platform.messages[1], "Zephrane cannot read this file");
    EXPECT_EQ(test.platform.messages[2],
              "Error #: 9, Subscript out of range, encountered in Function GetInfo. If the "
              "solution is not obvious, please report this to the author.");
    EXPECT_EQ(test.platform.messages[3], "This file is Not found.");
}

TEST_F(LoadTest, FileKindFollowsTheLastThreeCharactersInAnyCase) {
    TrackBuilder track;
    track.NoteOn(0, 1, 60, 1).EndOfTrack();
    const Bytes file = test::SongFile(track);
    Open("SONG.MID", file);
    EXPECT_TRUE(s.song.isMidiFile);
    Open("song.sty", file);
    EXPECT_TRUE(s.song.isStyleFile);
    EXPECT_FALSE(s.song.isMidiFile);
    Open("song.kar", file);  // neither kind: the flags stay
    EXPECT_TRUE(s.song.isStyleFile);
    EXPECT_FALSE(s.song.isMidiFile);
    for (const char* style : {"a.PCS", "a.sst", "a.pst", "a.prs", "a.bcs"}) {
        EXPECT_EQ(KindOfFileName(style), FileKind::Style) << style;
    }
}

TEST_F(LoadTest, StyleKeepsWhatFollowsItsTrackOnlyBeyondTwentyEightBytes) {
    TrackBuilder track;
    track.Marker(0, "SFF1").Marker(0, "SInt").NoteOn(0, 1, 60, 1).EndOfTrack();
    const Bytes song = test::SongFile(track);
    const Bytes trailer = CasmOfOneSegment("Intro");  // 29 bytes
    ASSERT_EQ(trailer.size(), 29u);

    Open("short.sty", Concat({song, Bytes(trailer.begin(), trailer.end() - 1)}));
    EXPECT_FALSE(s.song.hasStyleCasm);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), (Bytes{0, 0}));
    EXPECT_FALSE(s.view.casmOptionsVisible);

    Open("long.sty", Concat({song, trailer}));
    EXPECT_TRUE(s.song.hasStyleCasm);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), trailer);
    EXPECT_TRUE(s.view.casmOptionsVisible);
    // The image still holds the trailer; the length field covers only the track.
    EXPECT_EQ(s.song.bytes.Size(), static_cast<int64_t>(song.size() + trailer.size()));
}

TEST_F(LoadTest, WorkingFileReloadKeepsTheStylesCasmAndTheTable) {
    TrackBuilder track;
    track.Marker(0, "SFF1").Marker(0, "SInt").NoteOn(0, 1, 60, 1).EndOfTrack();
    const Bytes song = test::SongFile(track);
    const Bytes casm = CasmOfOneSegment("Main A");
    Open("style.sty", Concat({song, casm}));
    s.casm[0].part = 3;
    s.casm[0].chordMute = {0, 0, 0, 0, 1};

    test.platform.workingFilePath = dir.Write("Zephwork.mid", song);
    ASSERT_TRUE(LoadSong(s, test.platform.workingFilePath));
    EXPECT_TRUE(s.song.hasStyleCasm);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), casm);
    EXPECT_TRUE(s.view.casmOptionsVisible);  // the user's file is still the style
    EXPECT_EQ(s.casm[0].part, 3);
    EXPECT_EQ(s.casm[0].chordMute, (ChordMute{0, 0, 0, 0, 1}));  // kept with the table
    EXPECT_EQ(s.song.fileName, (dir.Path() / "style.sty").string());

    Open("next.mid", song);  // another file clears the table and the chord mutes
    EXPECT_EQ(s.casm[0].part, -1);
    EXPECT_EQ(s.casm[0].chordMute, kAllChordsOn);
    EXPECT_FALSE(s.song.hasStyleCasm);
}

TEST_F(LoadTest, OpenDialogStartsInTheDefaultFolderWithTheFilterOfTheMode) {
    s.settings.defaultDirectory = "/music/styles/\r\n";
    EXPECT_FALSE(OpenFile(s));  // cancelled
    s.song.bbMode = true;
    s.settings.defaultDirectory.clear();
    OpenFile(s);
    ASSERT_EQ(test.platform.openRequests.size(), 2u);
    EXPECT_EQ(test.platform.openRequests[0].initialDirectory, "/music/styles/");
    EXPECT_EQ(test.platform.openRequests[0].title, "Select File to open");
    EXPECT_EQ(test.platform.openRequests[0].filter,
              "Style Files(*.sty;*.pcs;*.sst;*.pst;*.mid;*.prs;*.bcs)|*.sty;*.pcs;*.sst;*.pst;"
              "*.mid;*.prs;*.bcs|");
    EXPECT_EQ(test.platform.openRequests[1].initialDirectory, test.platform.programDirectory);
    EXPECT_EQ(test.platform.openRequests[1].filter, "Style Files(*.mid)|*.mid|");
    EXPECT_TRUE(s.song.fileName.empty());
}

TEST_F(LoadTest, OpenFileLoadsTheChosenFile) {
    test.platform.openAnswers.push_back(dir.Write("chosen.mid", test::SongFile(SmallSong())));
    EXPECT_TRUE(OpenFile(s));
    EXPECT_EQ(s.view.caption, "Zephrane   chosen.mid");
}

TEST_F(LoadTest, SongWithoutTempoOrTimeSignatureShowsTheMidiDefaults) {
    ASSERT_TRUE(Open("bossa.mid", test::SongFile(SmallSong())));
    TrackBuilder bare;
    bare.NoteOn(0, 1, 60, 1).EndOfTrack();
    ASSERT_TRUE(Open("bare.mid", test::SongFile(bare)));
    EXPECT_EQ(s.view.txtTempo, "120");
    EXPECT_EQ(s.view.txtTimeSig, " 4/4");
    EXPECT_EQ(s.view.txtKey, "");
    EXPECT_EQ(s.view.lblMaxMeasures, "Measures:  0");
}

// A song that needs no set-up markers, so that the loaded image is the file as it was read.
Bytes MarkedTrack() {
    TrackBuilder track;
    track.Marker(0, "SFF1").Marker(0, "SInt").NoteOn(0, 1, 60, 1).NoteOff(480, 1, 60).EndOfTrack();
    return track.Events();
}

TEST_F(LoadTest, ChunksBeforeTheTrackAndExtraHeaderBytesAreLeftOutOfTheImage) {
    // Guards against walking a chunk of another type as the track: the image is the 6-byte
    // header, then the track chunk at 14, whatever the file held between them.
    const Bytes song = test::SongFile(MarkedTrack());
    const Bytes headerOfEight = Concat({Chunk("MThd", {0, 0, 0, 1, 0x01, 0xE0, 0xAB, 0xCD})});
    const Bytes junk = Concat({Chunk("XFIH", {'j', 'u', 'n', 'k'}), Chunk("JUNK", {})});
    const Bytes trackChunk(song.begin() + 14, song.end());

    ASSERT_TRUE(
        Open("junk.mid", Concat({Bytes(song.begin(), song.begin() + 14), junk, trackChunk})));
    EXPECT_EQ(s.song.bytes.Bytes(), song);
    ASSERT_TRUE(Open("long-header.mid", Concat({headerOfEight, junk, trackChunk})));
    EXPECT_EQ(s.song.bytes.Bytes(), song);
    EXPECT_TRUE(s.view.rows[0].visible);
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(LoadTest, StyleWithAChunkBeforeItsTrackKeepsTheBytesAfterTheTrack) {
    const Bytes song = test::SongFile(MarkedTrack());
    const Bytes trailer = CasmOfOneSegment("Main A");
    const Bytes file = Concat({Bytes(song.begin(), song.begin() + 14), Chunk("XFIH", {1, 2}),
                               Bytes(song.begin() + 14, song.end()), trailer});
    ASSERT_TRUE(Open("junk.sty", file));
    EXPECT_EQ(s.song.bytes.Bytes(), Concat({song, trailer}));
    EXPECT_TRUE(s.song.hasStyleCasm);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), trailer);
}

TEST_F(LoadTest, TrackLengthBeyondTheFileLoadsWhenEndOfTrackEndsTheEvents) {
    // The events decide where the track ends; the field is left as the file has it.
    Bytes file = test::SongFile(MarkedTrack());
    file[18] = file[19] = file[20] = file[21] = 0xFF;
    ASSERT_TRUE(Open("lying.mid", file));
    EXPECT_EQ(s.song.bytes.Bytes(), file);
    EXPECT_TRUE(s.view.rows[0].visible);
}

struct RefusedHeader {
    const char* fault;
    Bytes file;
};

class RefusedHeaderTest : public LoadTest, public ::testing::WithParamInterface<RefusedHeader> {};

TEST_P(RefusedHeaderTest, IsRefusedAsNotTypeZeroAndKeepsTheSong) {
    ASSERT_TRUE(Open("good.mid", test::SongFile(SmallSong())));
    const ByteImage good = s.song.bytes;
    test.platform.messages.clear();
    EXPECT_FALSE(Open("bad.mid", GetParam().file));
    EXPECT_EQ(test.platform.messages, std::vector<std::string>{kNotTypeZero});
    EXPECT_EQ(s.song.bytes, good);
    EXPECT_EQ(s.view.caption, "Zephrane   good.mid");
}

Bytes WithHeader(const Bytes& header) {
    return Concat({Chunk("MThd", header), Chunk("MTrk", MarkedTrack())});
}

INSTANTIATE_TEST_SUITE_P(
    Headers, RefusedHeaderTest,
    ::testing::Values(RefusedHeader{"zeros", Bytes(64, 0)},
                      RefusedHeader{"no_track_chunk",
                                    Concat({test::FileHeader(0, 1), Chunk("XFIH", MarkedTrack())})},
                      RefusedHeader{"header_of_four_bytes", WithHeader({0, 0, 0, 1})},
                      RefusedHeader{"header_length_ffffffff",
                                    Concat({Bytes{'M', 'T', 'h', 'd', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0,
                                                  0, 1, 1, 0xE0},
                                            Chunk("MTrk", MarkedTrack())})},
                      RefusedHeader{"division_0", WithHeader({0, 0, 0, 1, 0, 0})},
                      RefusedHeader{"smpte_25_fps", WithHeader({0, 0, 0, 1, 0xE7, 0x28})},
                      RefusedHeader{"smpte_top_bit_only", WithHeader({0, 0, 0, 1, 0x80, 0x00})}),
    [](const auto& row) { return std::string(row.param.fault); });

// Files that are not songs at all, each refused by name before a byte is read.
struct NotAFile {
    const char* kind;
    // Makes the thing in `folder`; its path.
    std::string (*make)(const std::filesystem::path& folder);
    const char* messageAfterPath;
};

std::string MakeFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directory(folder / "folder.mid");
    return (folder / "folder.mid").string();
}
std::string MakePipe(const std::filesystem::path& folder) {
    const std::string path = (folder / "pipe.mid").string();
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
}
std::string MakeLinkLoop(const std::filesystem::path& folder) {
    std::filesystem::create_symlink("loop-b.mid", folder / "loop-a.mid");
    std::filesystem::create_symlink("loop-a.mid", folder / "loop-b.mid");
    return (folder / "loop-a.mid").string();
}
std::string MakeSparseFile(const std::filesystem::path& folder) {
    // 300 MB that take no room on the disk.
    const std::string path = (folder / "huge.mid").string();
    std::ofstream(path).close();
    std::filesystem::resize_file(path, uintmax_t{300} << 20);
    return path;
}
std::string DeviceZero(const std::filesystem::path&) {
    return "/dev/zero";
}

class NotAFileTest : public LoadTest, public ::testing::WithParamInterface<NotAFile> {};

TEST_P(NotAFileTest, IsRefusedByNameAndKeepsTheSong) {
    // Guards against reading a device without end, waiting on a pipe for ever, or reading a
    // huge file whole before failing.
    ASSERT_TRUE(Open("good.mid", test::SongFile(SmallSong())));
    const ByteImage good = s.song.bytes;
    test.platform.messages.clear();
    const std::string path = GetParam().make(dir.Path());
    EXPECT_FALSE(OpenChosenFile(s, path));
    EXPECT_EQ(test.platform.messages, std::vector<std::string>{path + GetParam().messageAfterPath});
    EXPECT_EQ(s.song.bytes, good);
    EXPECT_EQ(s.song.fileName, (dir.Path() / "good.mid").string());
    EXPECT_EQ(s.view.caption, "Zephrane   good.mid");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, NotAFileTest,
    ::testing::Values(NotAFile{"folder", MakeFolder, " is a folder, not a file."},
                      NotAFile{"pipe", MakePipe, " is a device or a pipe, not a file."},
                      NotAFile{"link_loop", MakeLinkLoop, " links to itself in a loop."},
                      NotAFile{"sparse_300_mb", MakeSparseFile,
                               " is larger than 256 MB: it is not a song or a style."},
                      NotAFile{"dev_zero", DeviceZero, " is a device or a pipe, not a file."}),
    [](const auto& row) { return std::string(row.param.kind); });

// Guards against "Measures: 0" for a song of many bars that leaves its time signature out.
TEST_F(LoadTest, SongWithoutTimeSignatureCountsItsFourFourMeasures) {
    ASSERT_TRUE(Open("bars.mid", test::SongFile(test::MeasuresSongWithoutTimeSignature(35))));
    EXPECT_EQ(s.view.txtTimeSig, " 4/4");
    EXPECT_EQ(s.view.lblMaxMeasures, "Measures:  35");
}

}  // namespace
}  // namespace zephrane
