#include "analysis/scan_song.h"

#include <gtest/gtest.h>

#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::TrackBuilder;

class ScanSongTest : public ::testing::Test {
  protected:
    bool Scan(const TrackBuilder& track, uint16_t division = 480, XgImport xg = XgImport::Skip) {
        return ScanBytes(test::SongFile(track.Events(), division), xg);
    }
    bool ScanBytes(const Bytes& file, XgImport xg = XgImport::Skip) {
        s.song.bytes = ByteImage(file);
        return ScanSong(s, xg);
    }

    StubSession test;
    Session& s = test.session;
};

TEST_F(ScanSongTest, LaterTempoEventWinsAndIsRoundedToWholeBeats) {
    TrackBuilder track;
    track.Tempo(0, 600000).Tempo(10, 500000).EndOfTrack();
    EXPECT_TRUE(Scan(track));
    EXPECT_EQ(s.facts.tempoBpm, 120);
    // 60000000 / 480000 = 125 exactly; 60000000 / 461538 = 130.0001 rounds to 130.
    track = {};
    track.Tempo(0, 461538).EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.facts.tempoBpm, 130);
}

TEST_F(ScanSongTest, TimeSignatureSetsMeasureLengthFromTheDivision) {
    TrackBuilder track;
    track.TimeSignature(0, 6, 3).EndOfTrack();
    Scan(track, 480);
    EXPECT_EQ(s.facts.timeSigNumerator, 6);
    EXPECT_EQ(s.facts.timeSigDenominator, 8);
    EXPECT_DOUBLE_EQ(s.facts.ticksPerMeasure, 1440.0);
}

// Guards against a song without time signature having no measures (and so no sections): a
// Standard MIDI File is in 4/4 until a time signature says otherwise.
TEST_F(ScanSongTest, WithoutTimeSignatureTheMeasuresAreFourFour) {
    for (int measures : {35, 11, 3}) {
        Scan(test::MeasuresSongWithoutTimeSignature(measures));
        EXPECT_DOUBLE_EQ(s.facts.ticksPerMeasure, 1920.0);
        EXPECT_EQ(s.facts.measureCount, measures);
        // Measure m opens with the note-on after the note-off of measure m - 1: note-on at 22,
        // then 10 bytes a measure (note-off and note-on, each with a two-byte delta of 960
        // ticks), the last delta byte of the note-on closing them.
        for (int m = 1; m < measures; ++m) {
            EXPECT_EQ(s.measures.entries[m].position, 22 + 10 * m) << m;
            EXPECT_EQ(s.measures.entries[m].tick, m * 1920) << m;
        }
    }
    // Four quarter notes of the file's division: 3 measures of 1920 ticks are 15 of 384.
    Scan(test::MeasuresSongWithoutTimeSignature(3), 96);
    EXPECT_DOUBLE_EQ(s.facts.ticksPerMeasure, 384.0);
    EXPECT_EQ(s.facts.measureCount, 15);
}

// Guards against the default outliving the time signature, or the time signature reaching back
// before its own position.
TEST_F(ScanSongTest, LaterTimeSignatureTakesOverFromItsPosition) {
    TrackBuilder track;
    track
        .NoteOn(0, 1, 60, 100)      // 22: tick 0
        .NoteOn(1920, 1, 62, 100)   // 26: delta 8F 00, tick 1920, measure 1 in 4/4
        .TimeSignature(1920, 3, 2)  // 31: delta 8F 00, tick 3840: from here 1440 a measure
        .NoteOn(1440, 1, 64, 100)   // 40: delta 8B 20, tick 5280, measure 3 of 1440 ticks
        .EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.facts.timeSigNumerator, 3);
    EXPECT_DOUBLE_EQ(s.facts.ticksPerMeasure, 1440.0);
    EXPECT_EQ(s.measures.entries[1].position, 27);
    EXPECT_EQ(s.measures.entries[2].position, 32);  // the time signature, still in 4/4
    EXPECT_EQ(s.measures.entries[3].position, 41);
    EXPECT_EQ(s.facts.measureCount, 3);
}

// Guards against the 4/4 default refusing songs timed in SMPTE frames, which have no measure
// length in ticks: they load without measures, as before.
TEST_F(ScanSongTest, SmpteTimeWithoutTimeSignatureHasNoMeasures) {
    EXPECT_TRUE(Scan(test::MeasuresSongWithoutTimeSignature(12), 0xE728));
    EXPECT_EQ(s.facts.ticksPerMeasure, 0);
    EXPECT_EQ(s.facts.measureCount, 0);
    EXPECT_TRUE(test.platform.messages.empty());
}

TEST_F(ScanSongTest, MeasureTableHoldsTheLastDeltaByteOfEachMeasuresFirstEvent) {
    TrackBuilder track;
    track
        .TimeSignature(0, 4, 2)    // 22: tick 0
        .NoteOn(1920, 1, 60, 100)  // 30: delta 8F 00, measure 1, last delta byte 31
        .NoteOn(100, 1, 62, 100)   // 35: still measure 1
        .NoteOn(3740, 1, 64, 100)  // 39: tick 5760, measure 3 (measure 2 empty)
        .EndOfTrack(1920);         // 44: tick 7680, measure 4
    Scan(track);
    EXPECT_EQ(s.measures.entries[0].position, 22);
    EXPECT_EQ(s.measures.entries[1].position, 31);
    EXPECT_EQ(s.measures.entries[2].position, 0);
    EXPECT_EQ(s.measures.entries[3].position, 40);
    EXPECT_EQ(s.measures.entries[4].position, 45);
    EXPECT_EQ(s.facts.measureCount, 4);
    EXPECT_EQ(s.facts.endOfTrackPos, 45);
    EXPECT_EQ(s.facts.scanEndPos, 46);
}

TEST_F(ScanSongTest, MeasureTableRecordsTheRunningStatusOfAMeasuresFirstEvent) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100).Raw({0x8F, 0x00, 60, 0}).EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.measures.entries[1].position, 35);
    EXPECT_EQ(s.measures.entries[1].runningStatus, 0x91);
    EXPECT_EQ(s.measures.entries[0].runningStatus, 0);
}

// Guards against the data bytes after a meta or SysEx event being read as another such event,
// which refused the song with error 9: the channel's running status goes on across them.
TEST_F(ScanSongTest, RunningStatusGoesOnAcrossMetaAndSysExEvents) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2)
        .Program(0, 2, 5)
        .Text(0, 1, "verse")
        .RunningStatus(0, {6})  // program 6 on channel 2
        .SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .RunningStatus(0, {7})  // program 7
        .Marker(0, "SFF1")
        .RunningStatus(0, {8})       // program 8
        .NoteOn(0, 3, 60, 100)       // 64
        .Tempo(1900, 400000)         // 68: delta 8E 6C, measure 0
        .RunningStatus(20, {62, 0})  // 76: measure 1, note-on of channel 3 under running status
        .EndOfTrack(1920);
    ASSERT_TRUE(Scan(track));
    EXPECT_EQ(s.Channel(2).programChangeCount, 4);
    EXPECT_EQ(s.Channel(2).firstProgram, 5);
    EXPECT_TRUE(s.Channel(3).hasNotes);
    EXPECT_EQ(s.facts.tempoBpm, 150);
    EXPECT_EQ(s.markers.count, 1);
    EXPECT_EQ(s.measures.entries[1].position, 76);
    EXPECT_EQ(s.measures.entries[1].runningStatus, 0x92);
    EXPECT_EQ(s.facts.measureCount, 2);
}

TEST_F(ScanSongTest, MeasureTableGrowsFiftyBeyondTheLastMeasureMetAndNeverShrinks) {
    EXPECT_EQ(s.measures.LastIndex(), 10);
    Scan(test::MeasuresSong(12));
    // The End of Track lies in measure 12: the table grows to 12 + 50 entries at measure 11.
    EXPECT_EQ(s.measures.LastIndex(), 61);
    EXPECT_EQ(s.facts.measureCount, 12);
    Scan(test::MeasuresSong(3));
    EXPECT_EQ(s.measures.LastIndex(), 61);
    EXPECT_EQ(s.facts.measureCount, 3);
}

TEST_F(ScanSongTest, KeySignatureTextsNameMinorKeysByTheirTonic) {
    const struct {
        int sharpsFlats;
        uint8_t mode;
        const char* keyText;
    } cases[] = {
        {0, 0, "Cmajor"},  {-3, 0, "Ebmajor"}, {-7, 0, "Cbmajor"}, {7, 0, "C#major"},
        {-3, 1, "Cminor"}, {0, 1, "Aminor"},   {3, 1, "F#minor"},  {-6, 1, "Ebminor"},
        {7, 1, "A#minor"}, {-7, 1, "Abminor"}, {2, 2, "DMode  2"},
    };
    for (const auto& c : cases) {
        TrackBuilder track;
        track.KeySignature(0, c.sharpsFlats, c.mode).EndOfTrack();
        Scan(track);
        EXPECT_EQ(s.facts.keyText, c.keyText) << c.sharpsFlats << "/" << int{c.mode};
    }
    EXPECT_EQ(s.facts.keySignaturePos, 26);
}

TEST_F(ScanSongTest, OutOfRangeSignatureKeepsThePreviousKeyNameOfTheScan) {
    TrackBuilder track;
    track.KeySignature(0, 2, 0).KeySignature(0, 9, 1).EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.facts.keyText, "Dminor");
    track = {};
    track.KeySignature(0, 9, 0).EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.facts.keyText, "major");
}

TEST_F(ScanSongTest, StyleNameAndCopyrightKeepTextPositionAndLength) {
    TrackBuilder track;
    track.Text(0, 2, "(c) Me").Text(0, 3, "Old").Text(0, 3, "Caf\xE9 Swing").EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.facts.copyright, "(c) Me");
    EXPECT_EQ(s.facts.copyrightPos, 26);
    EXPECT_EQ(s.facts.copyrightLength, 6);
    EXPECT_EQ(s.facts.styleName, "Caf\xC3\xA9 Swing");
    EXPECT_EQ(s.facts.styleNamePos, 43);
    EXPECT_EQ(s.facts.styleNameLength, 10);
}

TEST_F(ScanSongTest, MarkersAreListedAndOnlySectionMarkersStartTheMusic) {
    TrackBuilder track;
    track.Marker(0, "SFF1")
        .Marker(0, "SInt")
        .Marker(960, ">Main A")
        .NoteOn(0, 1, 60, 100)
        .EndOfTrack();
    Scan(track);
    ASSERT_EQ(s.markers.count, 3);
    EXPECT_EQ(s.markers.entries[0].text, "SFF1");
    EXPECT_EQ(s.markers.entries[1].position, 30);
    EXPECT_EQ(s.markers.entries[2].text, ">Main A");
    EXPECT_EQ(s.markers.entries[2].tick, 960);
    EXPECT_EQ(s.facts.musicStartPos, s.markers.entries[2].position);
}

TEST_F(ScanSongTest, FirstNoteOnStartsTheMusicWhenNoSectionMarkerComesFirst) {
    TrackBuilder track;
    track.Marker(0, "SInt").Program(0, 1, 4).NoteOn(10, 1, 60, 0).Marker(0, "Main A").EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.facts.musicStartPos, 33);
    EXPECT_TRUE(s.Channel(1).hasNotes);  // velocity 0 counts
}

TEST_F(ScanSongTest, MarkerListGrowsByTenAndKeepsOlderEntriesBeyondTheCount) {
    TrackBuilder many;
    for (int i = 0; i < 25; ++i)
        many.Marker(0, std::string("M").append(std::to_string(i)));
    Scan(many.EndOfTrack());
    EXPECT_EQ(s.markers.count, 25);
    EXPECT_EQ(s.markers.entries.size(), 31u);
    TrackBuilder few;
    Scan(few.Marker(0, "X").EndOfTrack());
    EXPECT_EQ(s.markers.count, 1);
    EXPECT_EQ(s.markers.entries[1].text, "M1");
}

TEST_F(ScanSongTest, BankSelectCountsOnlyBeforeTheFirstProgramChange) {
    TrackBuilder track;
    track.Controller(0, 3, 0, 0)
        .Controller(0, 3, 32, 0)
        .Program(0, 3, 33)
        .Controller(0, 3, 0, 127)
        .Controller(0, 3, 32, 5)
        .Program(0, 3, 34)
        .NoteOn(0, 3, 40, 90)
        .EndOfTrack();
    Scan(track);
    const ChannelInfo& bass = s.Channel(3);
    EXPECT_EQ(bass.bankMsb, 0);
    EXPECT_EQ(bass.bankLsb, 0);
    EXPECT_EQ(bass.firstProgram, 33);
    EXPECT_EQ(bass.programChangeCount, 2);
    EXPECT_EQ(bass.voiceLabel, "Bass-XG( 2)");
}

TEST_F(ScanSongTest, RescanKeepsLabelsAndBanksButRecountsProgramChanges) {
    TrackBuilder track;
    track.Program(0, 9, 5).Program(0, 9, 6).NoteOn(0, 9, 60, 1).EndOfTrack();
    s.Channel(9).bankLsb = 3;  // only an LSB came before: the label is kept
    s.Channel(9).voiceLabel = "Kept";
    Scan(track);
    Scan(track);
    EXPECT_EQ(s.Channel(9).programChangeCount, 2);
    EXPECT_EQ(s.Channel(9).voiceLabel, "Kept( 2)");
}

TEST_F(ScanSongTest, XgEffectMessagesAreImportedOnlyWhenAsked) {
    TrackBuilder track;
    track.SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x50, 0xF7}).EndOfTrack();
    Scan(track);
    EXPECT_EQ(s.effects.reverbReturn, "");
    Scan(track, 480, XgImport::Import);
    EXPECT_EQ(s.effects.reverbReturn, " 80");
}

TEST_F(ScanSongTest, FailuresAreReportedUnderGetInfoAndReturnFailed) {
    TrackBuilder smpte;
    smpte.TimeSignature(0, 4, 2).EndOfTrack();
    // Division E7 28: 25 frames of 40 ticks, SMPTE time, which the measure arithmetic refuses.
    EXPECT_FALSE(Scan(smpte, 0xE728));
    ASSERT_EQ(test.platform.messages.size(), 1u);
    EXPECT_EQ(test.platform.messages[0],
              "Error #: 6, Overflow, encountered in Function GetInfo. If the solution is not "
              "obvious, please report this to the author.");

    TrackBuilder zeroTempo;
    zeroTempo.Tempo(0, 0).EndOfTrack();
    EXPECT_FALSE(Scan(zeroTempo));
    EXPECT_NE(test.platform.messages[1].find("Error #: 11, Division by zero"), std::string::npos);
}

}  // namespace
}  // namespace zephrane
