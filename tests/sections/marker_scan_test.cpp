#include "sections/marker_scan.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "sections/sections.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::TrackBuilder;

// The scan results in words, to show where two sessions part.
std::string ScanSummary(const SessionState& s) {
    std::ostringstream out;
    const SongFacts& f = s.facts;
    out << "music " << f.musicStartPos << " end " << f.endOfTrackPos << " scan end " << f.scanEndPos
        << " text " << f.lastTextEventPos << " name " << f.styleNamePos << " copyright "
        << f.copyrightPos << " key " << f.keySignaturePos << " measures " << f.measureCount << "\n";
    for (size_t m = 0; m < s.measures.entries.size(); ++m) {
        const MeasureEntry& e = s.measures.entries[m];
        out << "m" << m << " " << e.position << "/" << e.firstDeltaPos << "/" << e.tick << "/"
            << int{e.runningStatus} << "\n";
    }
    for (size_t i = 0; i < s.markers.entries.size(); ++i) {
        const Marker& marker = s.markers.entries[i];
        out << (static_cast<int>(i) < s.markers.count ? "marker " : "stale ") << marker.text << " "
            << marker.position << " " << marker.tick << "\n";
    }
    out << "walk " << s.walk.walkPos << " " << s.walk.deltaTime << " " << s.walk.dataLength << " "
        << s.walk.metaText << "\n";
    return out.str();
}

#define EXPECT_SAME_SCAN(actual, expected)                                                \
    EXPECT_TRUE(SameScanResults(actual, expected)) << "worked out:\n"                     \
                                                   << ScanSummary(actual) << "scanned:\n" \
                                                   << ScanSummary(expected)

class MarkerScanTest : public ::testing::Test {
  protected:
    void Load(const TrackBuilder& track) {
        s.song.bytes = ByteImage(test::SongFile(track));
        s.song.fileName = "/songs/song.mid";
        // What earlier walks left behind, which a scan keeps where it reads no text.
        s.walk.metaText = "left by an earlier walk";
    }
    // Puts the marker in and follows it; the session a scan of the new song gives is `scanned`.
    bool InsertAndFollow(std::string_view text, int measure) {
        EXPECT_TRUE(ScanSong(s));
        const SessionState before = s;
        const int64_t oldSize = s.song.bytes.Size();
        EXPECT_TRUE(StoreMarker(s, text, measure));
        static_cast<SessionState&>(scanned.session) = before;
        scanned.session.song = s.song;
        EXPECT_TRUE(ScanSong(scanned.session));
        return FollowMarkerInsertion(s.ScanParts(), text, measure, s.song.bytes.Size() - oldSize);
    }

    StubSession test;
    Session& s = test.session;
    StubSession scanned;
};

// A song with the usual set-up in measure 0 and `measures` 4/4 measures, each with a note on
// channel 1 on its first beat and one more event on its third beat.
TrackBuilder SetUpAndNotes(int measures, bool textOnThirdBeats) {
    TrackBuilder track;
    track.Text(0, 3, "Song").Text(0, 2, "(c) us").TimeSignature(0, 4, 2).KeySignature(0, -3, 0);
    track.Controller(0, 1, 0, 0).Program(0, 1, 5).NoteOn(0, 1, 60, 100);
    for (int m = 0; m < measures; ++m) {
        if (textOnThirdBeats) {
            track.Text(960, 1, "beat " + std::to_string(m));
        } else {
            track.Controller(960, 1, 7, 100);
        }
        track.NoteOn(960, 1, 60, 100);
    }
    return track.EndOfTrack(0);
}

TEST_F(MarkerScanTest, MarkerBeforeLaterTextEventsShiftsThemAndKeepsTheWalksText) {
    Load(SetUpAndNotes(6, true));
    ASSERT_TRUE(InsertAndFollow("<Intro A", 2));
    EXPECT_SAME_SCAN(s, scanned.session);
    EXPECT_EQ(s.walk.metaText, "beat 5");
    EXPECT_EQ(s.markers.count, 1);
}

TEST_F(MarkerScanTest, MarkerAfterTheLastTextEventBecomesTheWalksText) {
    Load(SetUpAndNotes(6, false));
    ASSERT_TRUE(InsertAndFollow("<Intro A", 4));
    EXPECT_SAME_SCAN(s, scanned.session);
    EXPECT_EQ(s.walk.metaText, "<Intro A");
}

TEST_F(MarkerScanTest, NoteUnderRunningStatusAtTheBarLine) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).NoteOn(0, 2, 60, 100);
    track.Raw({0x8F, 0x00, 60, 0}).Raw({0x10, 62, 90});  // measure 1, then on, running status
    track.Raw({0x8F, 0x00, 62, 0}).EndOfTrack(0);        // measure 2
    Load(track);
    ASSERT_TRUE(InsertAndFollow("<Intro A", 1));
    EXPECT_SAME_SCAN(s, scanned.session);
    EXPECT_EQ(s.measures.entries[1].runningStatus, 0);  // the marker has its own status
    EXPECT_EQ(s.measures.entries[2].runningStatus, 0x91);
}

TEST_F(MarkerScanTest, MusicThatStartsAfterTheMarkerNowStartsAtIt) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).Controller(1920, 1, 7, 100).Controller(1920, 1, 7, 90);
    track.NoteOn(1920, 1, 60, 100).EndOfTrack(1920);
    Load(track);
    ASSERT_TRUE(InsertAndFollow("<Intro A", 2));
    EXPECT_SAME_SCAN(s, scanned.session);
    EXPECT_EQ(s.facts.musicStartPos, s.measures.entries[2].firstDeltaPos);
}

TEST_F(MarkerScanTest, MultiByteDeltaAndMarkersOnBothSides) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2).Marker(0, "SFF1").NoteOn(0, 10, 36, 100);
    track.Marker(480, "Verse").NoteOn(3360, 10, 36, 100).NoteOn(1920, 10, 36, 100);
    track.Marker(100, "Chorus").Text(0, 3, "New name").Text(0, 2, "(p)").KeySignature(0, 2, 1);
    track.NoteOn(1820, 10, 36, 100).EndOfTrack(0);
    Load(track);
    ASSERT_TRUE(InsertAndFollow(">Main A", 2));
    EXPECT_SAME_SCAN(s, scanned.session);
    ASSERT_EQ(s.markers.count, 4);
    EXPECT_EQ(s.markers.entries[2].text, ">Main A");
    EXPECT_EQ(s.markers.entries[2].tick, 3840);
}

TEST_F(MarkerScanTest, FullMarkerListGrowsAsTheScanGrowsIt) {
    TrackBuilder track;
    track.TimeSignature(0, 4, 2);
    for (int i = 0; i < 21; ++i)
        track.Marker(0, "Cue " + std::to_string(i));
    track.NoteOn(0, 10, 36, 100).NoteOn(1920, 10, 36, 100).NoteOn(1920, 10, 36, 100);
    Load(track.EndOfTrack(0));
    ASSERT_TRUE(InsertAndFollow("<Intro A", 1));
    EXPECT_SAME_SCAN(s, scanned.session);
    EXPECT_EQ(s.markers.entries.size(), 31u);
    EXPECT_EQ(s.markers.count, 22);
}

TEST_F(MarkerScanTest, LeavesSetUpMarkersAndMeasureZeroToAScan) {
    Load(SetUpAndNotes(3, false));
    ASSERT_TRUE(ScanSong(s));
    const SessionState before = s;
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), "SInt", 1, 8));
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), "SFF1", 1, 8));
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), ">Main A", 0, 11));
    EXPECT_FALSE(FollowMarkerInsertion(s.ScanParts(), ">Main A", 9, 11));  // no event starts there
    EXPECT_SAME_SCAN(s, before);
}

// A song whose bar lines carry, in turn, a note with its own status, a note under
// running status, a controller, a text event, a SysEx message and a program change, with text,
// name, copyright and key-signature events between them until measure 28.
TrackBuilder MixedBarLines(int measures = 36) {
    TrackBuilder track;
    track.Text(0, 3, "Song").TimeSignature(0, 4, 2).Tempo(0, 500000).Program(0, 2, 33);
    for (int m = 0; m < measures; ++m) {
        switch (m % 6) {
            case 0:
                track.NoteOn(m == 0 ? 0 : 480, 1, 60, 100);
                break;
            case 1:
                track.Raw({0x83, 0x60, 62, 100});
                break;  // 480 ticks, running status 91
            case 2:
                track.Controller(480, 2, 11, 100);
                break;
            case 3:
                track.Text(480, 1, "bar " + std::to_string(m));
                break;
            case 4:
                track.SysEx(480, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x10, 0xF7});
                break;
            default:
                track.Program(480, 2, static_cast<uint8_t>(m));
                break;
        }
        if (m < 28 && m % 4 == 0) {
            track.Text(960, 1, "verse " + std::to_string(m));
        } else if (m == 12) {
            track.Text(960, 2, "(c) later");
        } else if (m == 20) {
            track.KeySignature(960, 1, 0);
        } else if (m == 25) {
            track.Text(960, 3, "Renamed");
        } else {
            track.NoteOn(960, 2, 48, 0);
        }
        track.NoteOn(480, 2, 50, 0);  // channel 2 in force for the next bar line's running status
    }
    return track.EndOfTrack(480);
}

// A section button as it was before the scan between its markers was worked out: the start
// marker goes in after a second scan of the song.
void PressWithTwoScans(Session& session, std::string_view key) {
    ASSERT_TRUE(ScanSong(session));
    const SectionRow& row = *SectionByKey(key);
    for (int i = 0; i < session.markers.count; ++i) {
        if (session.markers.entries[i].text.find(row.name) != std::string::npos) return;
    }
    ASSERT_TRUE(StoreMarker(session, "<" + std::string(row.name), row.end));
    ASSERT_TRUE(StoreMarker(session, ">" + std::string(row.name), row.start));
}

class SectionButtonScanTest : public MarkerScanTest {
  protected:
    void PressAll(const std::vector<std::string_view>& keys) {
        Load(MixedBarLines());
        static_cast<SessionState&>(scanned.session) = s;
        for (std::string_view key : keys) {
            SCOPED_TRACE(key);
            ASSERT_TRUE(PressSectionButton(s, key));
            PressWithTwoScans(scanned.session, key);
            EXPECT_SAME_SCAN(s, scanned.session);
        }
        EXPECT_EQ(s.markers.count, static_cast<int>(2 * keys.size() - 1));
    }
};

TEST_F(SectionButtonScanTest, EveryButtonInToolbarOrderLeavesWhatTwoScansLeft) {
    std::vector<std::string_view> keys;
    for (const SectionRow& row : kSectionTable)
        keys.push_back(row.key);
    PressAll(keys);
}

TEST_F(SectionButtonScanTest, EveryButtonInReverseOrderLeavesWhatTwoScansLeft) {
    // End markers now land in front of the start markers of the sections already marked.
    std::vector<std::string_view> keys;
    for (auto row = kSectionTable.rbegin(); row != kSectionTable.rend(); ++row)
        keys.push_back(row->key);
    PressAll(keys);
}

TEST_F(MarkerScanTest, PressingTheButtonsInARowLeavesWhatSinglePressesLeave) {
    for (int measures : {36, 25}) {  // 25 measures: "End C" asks for 26 and stops the row
        SCOPED_TRACE(measures);
        StubSession single;
        StubSession row;
        for (Session* session : {&single.session, &row.session}) {
            session->song.bytes = ByteImage(test::SongFile(MixedBarLines(measures)));
            session->song.fileName = "/songs/song.mid";
        }
        bool allMarked = true;
        for (const std::string& key : AllSectionKeys()) {
            if (!PressSectionButton(single.session, key)) {
                allMarked = false;
                break;
            }
        }
        EXPECT_EQ(PressSectionButtons(row.session, AllSectionKeys()), allMarked);
        EXPECT_SAME_SCAN(row.session, single.session);
        EXPECT_EQ(row.session.sectionFlags, single.session.sectionFlags);
        EXPECT_EQ(row.platform.messages, single.platform.messages);
    }
    EXPECT_TRUE(PressSectionButtons(s, {}));
}

TEST_F(MarkerScanTest, BbLayoutLeavesWhatStoreMarkerCallsInARowLeave) {
    constexpr std::string_view kBbOrder[] = {"Intro A", "Intro B", "Intro C", "Main A",  "Fill AA",
                                             "Main B",  "Fill BB", "Main C",  "Fill CC", "Main D",
                                             "Fill DD", "End A",   "End B",   "End C"};
    for (bool eightMeasureMains : {false, true}) {
        SCOPED_TRACE(eightMeasureMains);
        StubSession marked;
        StubSession oneByOne;
        for (Session* session : {&marked.session, &oneByOne.session})
            session->song.bytes = ByteImage(test::SongFile(MixedBarLines(45)));
        MarkBBSections(marked.session, eightMeasureMains);
        for (std::string_view key : kBbOrder) {
            const SectionRow& row = *SectionByKey(key);
            const bool eight = eightMeasureMains && row.name.starts_with("Main");
            StoreMarker(oneByOne.session, std::string("<").append(row.name),
                        eight ? row.bbEndEightMeasureMains : row.bbEnd);
            StoreMarker(oneByOne.session, std::string(">").append(row.name), row.bbStart);
        }
        EXPECT_SAME_SCAN(marked.session, oneByOne.session);
        EXPECT_EQ(marked.session.markers.count, 27);
        EXPECT_EQ(marked.platform.messages, oneByOne.platform.messages);
    }
}

}  // namespace
}  // namespace zephrane
