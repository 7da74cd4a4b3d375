#include "analysis/scan_song.h"

#include <gtest/gtest.h>

#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::TrackBuilder;

class ScanSongTest : public ::testing::Test {
  protected:
    std::string Scan(const TrackBuilder& track, uint16_t division = 480,
                     std::string_view decodeXg = "") {
        s.song.bytes = ByteImage(test::SongFile(track.Events(), division));
        return ScanSong(s, decodeXg);
    }
    std::vector<int32_t> MeasurePositions(int last) const {
        std::vector<int32_t> positions;
        for (int m = 0; m <= last; ++m)
            positions.push_back(s.measures.entries[m].position);
        return positions;
    }

    StubSession test;
    Session& s = test.session;
};

TEST_F(ScanSongTest, LaterTempoEventWinsAndIsRoundedToWholeBeats) {
    EXPECT_EQ(Scan(TrackBuilder().Tempo(0, 600000).Tempo(10, 500000).EndOfTrack()), "ok");
    EXPECT_EQ(s.facts.tempoBpm, 120);
    Scan(TrackBuilder().Tempo(0, 461538).EndOfTrack());  // 130.0001 beats a minute
    EXPECT_EQ(s.facts.tempoBpm, 130);
}

// Guards against a song without time signature having no measures (and so no sections): a
// Standard MIDI File is in 4/4 until a time signature says otherwise, except in SMPTE time.
TEST_F(ScanSongTest, WithoutTimeSignatureTheMeasuresAreFourFour) {
    Scan(test::MeasuresSongWithoutTimeSignature(11));
    EXPECT_EQ(s.facts.measureCount, 11);
    // Note-on at 22, then 10 bytes a measure: note-off and note-on, each with a 2-byte delta.
    for (int m = 1; m < 11; ++m)
        EXPECT_EQ(std::tie(s.measures.entries[m].position, s.measures.entries[m].tick),
                  std::tuple(22 + 10 * m, m * 1920));
    Scan(test::MeasuresSongWithoutTimeSignature(3), 96);  // 4 quarters of 96 ticks a measure
    EXPECT_EQ(std::tie(s.facts.ticksPerMeasure, s.facts.measureCount), std::tuple(384.0, 15));
    EXPECT_EQ(Scan(test::MeasuresSongWithoutTimeSignature(12), 0xE728), "ok");
    EXPECT_EQ(std::tie(s.facts.ticksPerMeasure, s.facts.measureCount), std::tuple(0.0, 0));
}

// Guards against the default outliving the time signature, or the time signature reaching back
// before its own position; a measure's entry is the last delta byte of its first event.
TEST_F(ScanSongTest, MeasureTableFollowsTheTimeSignatureFromItsPosition) {
    Scan(TrackBuilder()
             .NoteOn(0, 1, 60, 100)      // 22: tick 0
             .NoteOn(1920, 1, 62, 100)   // 26: delta 8F 00, tick 1920, measure 1 in 4/4
             .TimeSignature(1920, 6, 3)  // 31: tick 3840, 6/8: from here 1440 a measure
             .NoteOn(100, 1, 64, 100)    // 40: still measure 2
             .NoteOn(2780, 1, 64, 100)   // 44: delta 95 5C, tick 6720, measure 4 (3 empty)
             .EndOfTrack(1440));         // 49: tick 8160, measure 5
    EXPECT_EQ(std::tie(s.facts.timeSigNumerator, s.facts.timeSigDenominator),
              std::tuple(int16_t{6}, int16_t{8}));
    EXPECT_EQ(MeasurePositions(5), (std::vector<int32_t>{22, 27, 32, 0, 45, 50}));
    EXPECT_EQ(std::tie(s.facts.measureCount, s.facts.endOfTrackPos, s.facts.scanEndPos),
              std::tuple(int16_t{5}, 50, 51));
}

// Guards against the data bytes after a meta or SysEx event being read as another such event,
// which refused the song with error 9: the channel's running status goes on across them.
TEST_F(ScanSongTest, RunningStatusGoesOnAcrossMetaAndSysExEvents) {
    TrackBuilder t;
    t.TimeSignature(0, 4, 2).Program(0, 2, 5).Text(0, 1, "verse").RunningStatus(0, {6});
    t.SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7}).RunningStatus(0, {7}).Marker(0, "SFF1");
    t.RunningStatus(0, {8}).NoteOn(0, 3, 60, 100).Tempo(1900, 400000);  // tempo at 68: 8E 6C
    t.RunningStatus(20, {62, 0}).EndOfTrack(1920);  // 76: measure 1, a note-on of channel 3
    ASSERT_EQ(Scan(t), "ok");
    EXPECT_EQ(std::tie(s.Channel(2).programChangeCount, s.Channel(2).firstProgram),
              std::tuple(int16_t{4}, int16_t{5}));
    EXPECT_TRUE(s.Channel(3).hasNotes);
    EXPECT_EQ(std::tie(s.facts.tempoBpm, s.markers.count, s.facts.measureCount),
              std::tuple(int16_t{150}, 1, int16_t{2}));
    EXPECT_EQ(std::tie(s.measures.entries[1].position, s.measures.entries[1].runningStatus,
                       s.measures.entries[0].runningStatus),
              std::tuple(76, uint8_t{0x92}, uint8_t{0}));
}

// The End of Track of 12 measures lies in measure 12: the table grows to 12 + 50 entries.
TEST_F(ScanSongTest, MeasureTableGrowsFiftyBeyondTheLastMeasureMetAndNeverShrinks) {
    EXPECT_EQ(s.measures.LastIndex(), 10);
    Scan(test::MeasuresSong(12));
    EXPECT_EQ(s.facts.measureCount, 12);
    EXPECT_EQ(s.measures.LastIndex(), 61);
    Scan(test::MeasuresSong(3));
    EXPECT_EQ(s.measures.LastIndex(), 61);
}

TEST_F(ScanSongTest, KeySignatureTextsNameMinorKeysByTheirTonic) {
    const std::tuple<int, uint8_t, const char*> cases[] = {
        {0, 0, "Cmajor"},  {-3, 0, "Ebmajor"}, {-7, 0, "Cbmajor"}, {7, 0, "C#major"},
        {-3, 1, "Cminor"}, {0, 1, "Aminor"},   {3, 1, "F#minor"},  {-6, 1, "Ebminor"},
        {7, 1, "A#minor"}, {-7, 1, "Abminor"}, {2, 2, "DMode  2"}};
    for (const auto& [sharpsFlats, mode, keyText] : cases) {
        Scan(TrackBuilder().KeySignature(0, sharpsFlats, mode).EndOfTrack());
        EXPECT_EQ(s.facts.keyText, keyText) << sharpsFlats << "/" << int{mode};
    }
    EXPECT_EQ(s.facts.keySignaturePos, 26);
    // An out-of-range signature keeps the key name the scan had, with its own mode word.
    Scan(TrackBuilder().KeySignature(0, 2, 0).KeySignature(0, 9, 1).EndOfTrack());
    EXPECT_EQ(s.facts.keyText, "Dminor");
    Scan(TrackBuilder().KeySignature(0, 9, 0).EndOfTrack());
    EXPECT_EQ(s.facts.keyText, "major");
}

TEST_F(ScanSongTest, StyleNameAndCopyrightKeepTextPositionAndLength) {
    TrackBuilder t;
    Scan(t.Text(0, 2, "(c) Me").Text(0, 3, "Old").Text(0, 3, "Caf\xE9 Swing").EndOfTrack());
    EXPECT_EQ(std::tie(s.facts.copyright, s.facts.copyrightPos, s.facts.copyrightLength),
              std::tuple("(c) Me", 26, int16_t{6}));
    EXPECT_EQ(std::tie(s.facts.styleName, s.facts.styleNamePos, s.facts.styleNameLength),
              std::tuple("Caf\xC3\xA9 Swing", 43, int16_t{10}));
}

// Markers are listed with position and tick; the list grows by ten and keeps, beyond the count,
// what earlier scans left.
TEST_F(ScanSongTest, MarkersAreListedAndOnlySectionMarkersOrNoteOnsStartTheMusic) {
    TrackBuilder t;
    Scan(t.Marker(0, "SFF1").Marker(0, "SInt").Marker(960, ">Main A").NoteOn(0, 1, 60, 100));
    ASSERT_EQ(s.markers.count, 3);
    EXPECT_EQ(s.markers.entries[1], (Marker{"SInt", 30, 0}));
    EXPECT_EQ(s.markers.entries[2], (Marker{">Main A", 38, 960}));
    EXPECT_EQ(s.facts.musicStartPos, 38);
    TrackBuilder u;
    Scan(u.Marker(0, "SInt").Program(0, 1, 4).NoteOn(10, 1, 60, 0).Marker(0, "Main A"));
    EXPECT_EQ(s.facts.musicStartPos, 33);
    EXPECT_TRUE(s.Channel(1).hasNotes);  // velocity 0 counts
    TrackBuilder many;
    for (int i = 0; i < 25; ++i)
        many.Marker(0, std::string("M").append(std::to_string(i)));
    Scan(many);
    EXPECT_EQ(std::tuple(s.markers.count, s.markers.entries.size()), std::tuple(25, 31u));
    Scan(TrackBuilder().Marker(0, "X"));
    EXPECT_EQ(std::tie(s.markers.count, s.markers.entries[1].text), std::tuple(1, "M1"));
}

TEST_F(ScanSongTest, BankSelectCountsOnlyBeforeTheFirstProgramChange) {
    TrackBuilder t;
    t.Controller(0, 3, 0, 0).Controller(0, 3, 32, 0).Program(0, 3, 33).Controller(0, 3, 0, 127);
    Scan(t.Controller(0, 3, 32, 5).Program(0, 3, 34).NoteOn(0, 3, 40, 90));
    EXPECT_EQ(s.Channel(3), (ChannelInfo{"Bass-XG( 2)", true, 33, 2, 0, 0}));
}

TEST_F(ScanSongTest, RescanKeepsLabelsAndBanksButRecountsProgramChanges) {
    TrackBuilder track;
    track.Program(0, 9, 5).Program(0, 9, 6).NoteOn(0, 9, 60, 1).EndOfTrack();
    s.Channel(9).bankLsb = 3;  // only an LSB came before: the label is kept
    s.Channel(9).voiceLabel = "Kept";
    Scan(track);
    Scan(track);
    EXPECT_EQ(s.Channel(9).voiceLabel, "Kept( 2)");
}

TEST_F(ScanSongTest, XgEffectMessagesAreImportedOnlyWhenAsked) {
    TrackBuilder track;
    track.SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x50, 0xF7}).EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.effects.reverbReturn, "");
    Scan(track, 480, kDecodeXg);
    EXPECT_EQ(s.effects.reverbReturn, " 80");
}

TEST_F(ScanSongTest, FailuresAreReportedUnderGetInfoAndReturnFailed) {
    // Division E7 28: 25 frames of 40 ticks, SMPTE time, which the measure arithmetic refuses.
    EXPECT_EQ(Scan(TrackBuilder().TimeSignature(0, 4, 2).EndOfTrack(), 0xE728), "failed");
    EXPECT_EQ(Scan(TrackBuilder().Tempo(0, 0).EndOfTrack()), "failed");
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{
                  "Error #: 6, Overflow, encountered in Function GetInfo. If the solution is not "
                  "obvious, please report this to the author.",
                  "Error #: 11, Division by zero, encountered in Function GetInfo. If the solution "
                  "is not obvious, please report this to the author."}));
}

}  // namespace
}  // namespace zephrane
