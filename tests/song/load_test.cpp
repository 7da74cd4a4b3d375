#include <gtest/gtest.h>

#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::TrackBuilder;

// A sound CASM chunk: one CSEG naming `sections` and holding no records.
Bytes CasmOfOneSegment(const std::string& sections) {
    return Chunk("CASM", Chunk("CSEG", Chunk("Sdec", Bytes(sections.begin(), sections.end()))));
}

class LoadTest : public ::testing::Test {
  protected:
    std::string Open(const std::string& name, const Bytes& file) {
        return OpenChosenFile(s, dir.Write(name, file));
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

Bytes SmallSong() {
    TrackBuilder track;
    track.Text(0, 3, "  Bossa  ").Text(0, 2, "(c) 2026").Tempo(0, 500000).TimeSignature(0, 6, 3);
    track.KeySignature(0, -3, 1).Program(0, 2, 33).NoteOn(0, 2, 40, 90).NoteOn(0, 10, 36, 90);
    return test::SongFile(track.NoteOff(1440, 2, 40).EndOfTrack(1440));
}

// A song that needs no set-up markers, so that the loaded image is the file as it was read.
Bytes MarkedSong() {
    TrackBuilder track;
    track.Marker(0, "SFF1").Marker(0, "SInt").NoteOn(0, 1, 60, 1).NoteOff(480, 1, 60);
    return test::SongFile(track.EndOfTrack());
}

TEST_F(LoadTest, WindowFieldsShowTheSongsFacts) {
    ASSERT_EQ(Open("bossa.mid", SmallSong()), "");
    const MainWindowView& view = s.view;
    EXPECT_EQ(view.txtStyleName + "|" + view.txtCopyright + "|" + view.txtTempo + "|" +
                  view.txtTimeSig + "|" + view.txtKey + "|" + view.lblMaxMeasures,
              "Bossa|(c) 2026|240| 6/8|Cminor|Measures:  2");  // the tempo in eighths
    EXPECT_EQ(view.rows[1].voice + "|" + view.rows[9].voice, "Bass-GM|Drum Kit-GM no PC");
    EXPECT_FALSE(view.rows[0].visible);
    ASSERT_EQ(test.platform.shownViews.size(), 1u);
    EXPECT_EQ(test.platform.shownViews[0].txtKey, "Cminor");

    // A song without tempo, time signature or key shows the MIDI defaults, not the last song's.
    TrackBuilder bare;
    ASSERT_EQ(Open("bare.mid", test::SongFile(bare.NoteOn(0, 1, 60, 1).EndOfTrack())), "");
    EXPECT_EQ(s.view.txtTempo + "|" + s.view.txtTimeSig + "|" + s.view.txtKey, "120| 4/4|");
    EXPECT_EQ(s.view.lblMaxMeasures, "Measures:  0");
}

TEST_F(LoadTest, PlainSongGetsSff1ThenSIntAtTickZero) {
    TrackBuilder track;
    ASSERT_EQ(Open("plain.mid", test::SongFile(track.NoteOn(0, 1, 60, 100).EndOfTrack(10))), "");
    const Bytes markers = TrackBuilder().Marker(0, "SFF1").Marker(0, "SInt").Events();
    EXPECT_EQ(s.song.bytes.Bytes(), test::SongFile(Concat({markers, track.Events()})));
    ASSERT_EQ(s.markers.count, 2);
    EXPECT_EQ(s.markers.entries[1].position, 30);
}

TEST_F(LoadTest, ExistingMarkersPressTheirSectionButtonsAndAreNotAddedAgain) {
    TrackBuilder track;
    track.Marker(0, "SFF1").Marker(0, "SInt").Marker(0, ">Main A").Marker(0, "Fill In BB");
    const Bytes file = test::SongFile(track.Marker(0, "<Main B").NoteOn(0, 1, 60, 1).EndOfTrack());
    ASSERT_EQ(Open("marked.mid", file), "");
    EXPECT_EQ(s.song.bytes.Bytes(), file);
    EXPECT_TRUE(s.sectionFlags[2] && s.view.sectionPressed[2] && s.sectionFlags[22]);
    EXPECT_FALSE(s.sectionFlags[3]);  // "<" markers only end a section
}

TEST_F(LoadTest, RefusedLoadLeavesThePreviousSongAsItWas) {
    ASSERT_EQ(Open("bossa.mid", SmallSong()), "");
    s.casm[1].part = 2;
    const SessionState before = s;
    EXPECT_EQ(Open("type1.mid", test::SongFile(test::MeasuresSong(1).Events(), 480, 1)), "failed");
    EXPECT_EQ(Open("empty.sty", {}), "failed");
    EXPECT_EQ(OpenChosenFile(s, (dir.Path() / "missing.mid").string()), "failed");

    EXPECT_EQ(s.song.bytes, before.song.bytes);
    EXPECT_EQ(s.song.fileName, (dir.Path() / "bossa.mid").string());
    EXPECT_TRUE(s.song.isMidiFile);
    EXPECT_EQ(s.view.caption + "|" + s.view.txtFileName + "|" + s.view.rows[1].voice,
              "Zephrane   bossa.mid|bossa.mid(modified)|Bass-GM");
    EXPECT_EQ(s.facts.endOfTrackPos, before.facts.endOfTrackPos);
    EXPECT_EQ(s.facts.keyText, before.facts.keyText);
    EXPECT_EQ(s.channels[1].voiceLabel, before.channels[1].voiceLabel);
    EXPECT_EQ(s.casm[1].part, 2);
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{
                  "This is not a type 0 midi file. Use your sequencer program or your PSR to "
                  "convert this midi to the proper form. Ssee Info/Help",
                  "Zephrane cannot read this file", "This file is Not found."}));
    // Only the low format byte decides type 0.
    EXPECT_EQ(Open("format256.mid", test::SongFile(test::MeasuresSong(1).Events(), 480, 0x100)),
              "");
}

TEST_F(LoadTest, FileKindFollowsTheLastThreeCharactersInAnyCase) {
    Open("SONG.MID", MarkedSong());
    EXPECT_TRUE(s.song.isMidiFile);
    Open("song.sty", MarkedSong());
    EXPECT_TRUE(s.song.isStyleFile && !s.song.isMidiFile);
    Open("song.kar", MarkedSong());  // neither kind: the flags stay
    EXPECT_TRUE(s.song.isStyleFile && !s.song.isMidiFile);
    for (const char* style : {"a.PCS", "a.sst", "a.pst", "a.prs", "a.bcs"})
        EXPECT_EQ(KindOfFileName(style), FileKind::Style) << style;
}

TEST_F(LoadTest, StyleKeepsWhatFollowsItsTrackOnlyBeyondTwentyEightBytes) {
    const Bytes trailer = CasmOfOneSegment("Intro");  // 29 bytes
    Open("short.sty", Concat({MarkedSong(), Bytes(trailer.begin(), trailer.end() - 1)}));
    EXPECT_FALSE(s.song.hasStyleCasm || s.view.casmOptionsVisible);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), (Bytes{0, 0}));
    Open("long.sty", Concat({MarkedSong(), trailer}));
    EXPECT_TRUE(s.song.hasStyleCasm && s.view.casmOptionsVisible);
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), trailer);
    EXPECT_EQ(s.song.bytes.Bytes(), Concat({MarkedSong(), trailer}));
}

TEST_F(LoadTest, WorkingFileReloadKeepsTheStylesCasmAndTheTable) {
    const Bytes casm = CasmOfOneSegment("Main A");
    Open("style.sty", Concat({MarkedSong(), casm}));
    s.casm[0].part = 3;
    s.casm[0].chordMute = {0, 0, 0, 0, 1};
    test.platform.workingFilePath = dir.Write("Zephwork.mid", MarkedSong());
    ASSERT_EQ(LoadSong(s, test.platform.workingFilePath), "");
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), casm);
    EXPECT_TRUE(s.song.hasStyleCasm && s.view.casmOptionsVisible);  // the user's file is the style
    EXPECT_EQ(s.casm[0].part, 3);
    EXPECT_EQ(s.casm[0].chordMute, (ChordMute{0, 0, 0, 0, 1}));
    EXPECT_EQ(s.song.fileName, (dir.Path() / "style.sty").string());
    Open("next.mid", MarkedSong());  // another file clears the table and the chord mutes
    EXPECT_EQ(s.casm[0].part, -1);
    EXPECT_EQ(s.casm[0].chordMute, kAllChordsOn);
    EXPECT_FALSE(s.song.hasStyleCasm);
}

TEST_F(LoadTest, ChunksBeforeTheTrackAndExtraHeaderBytesAreLeftOutOfTheImage) {
    // Guards against walking a chunk of another type as the track: the image is the 6-byte
    // header, then the track chunk at 14, and a style's bytes after the track.
    const Bytes song = MarkedSong(), trailer = CasmOfOneSegment("Main A");
    const Bytes junk = Concat({Chunk("XFIH", {'j', 'u', 'n', 'k'}), Chunk("JUNK", {})});
    const Bytes trackChunk(song.begin() + 14, song.end());
    const Bytes longHeader = Chunk("MThd", {0, 0, 0, 1, 0x01, 0xE0, 0xAB, 0xCD});
    ASSERT_EQ(Open("junk.mid", Concat({Bytes(song.begin(), song.begin() + 14), junk, trackChunk})),
              "");
    EXPECT_EQ(s.song.bytes.Bytes(), song);
    ASSERT_EQ(Open("long-header.sty", Concat({longHeader, junk, trackChunk, trailer})), "");
    EXPECT_EQ(s.song.bytes.Bytes(), Concat({song, trailer}));
    EXPECT_EQ(s.song.styleCasmBytes.Bytes(), trailer);
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(LoadTest, OpenDialogStartsInTheDefaultFolderWithTheFilterOfTheMode) {
    s.settings.defaultDirectory = "/music/styles/\r\n";
    EXPECT_EQ(OpenFile(s), "failed");  // cancelled
    EXPECT_TRUE(s.song.fileName.empty());
    s.song.bbMode = true;
    s.settings.defaultDirectory.clear();
    test.platform.openAnswers.push_back(dir.Write("chosen.mid", SmallSong()));
    EXPECT_EQ(OpenFile(s), "");
    EXPECT_EQ(s.view.caption, "Zephrane   chosen.mid");
    ASSERT_EQ(test.platform.openRequests.size(), 2u);
    EXPECT_EQ(test.platform.openRequests[0].initialDirectory, "/music/styles/");
    EXPECT_EQ(test.platform.openRequests[0].title, "Select File to open");
    EXPECT_EQ(test.platform.openRequests[0].filter,
              "Style Files(*.sty;*.pcs;*.sst;*.pst;*.mid;*.prs;*.bcs)|*.sty;*.pcs;*.sst;*.pst;"
              "*.mid;*.prs;*.bcs|");
    EXPECT_EQ(test.platform.openRequests[1].initialDirectory, test.platform.programDirectory);
    EXPECT_EQ(test.platform.openRequests[1].filter, "Style Files(*.mid)|*.mid|");
}

}  // namespace
}  // namespace zephrane
