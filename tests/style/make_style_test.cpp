#include "app/style_commands.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/casm_commands.h"
#include "app/effect_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

using test::Bytes;
using test::TrackBuilder;

struct StyleEvent {
    int64_t tick;
    std::string marker;  // marker text, "EOT" for End of Track, "" for other events
};

class MakeStyleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test.platform.programDirectory = ZEPHRANE_DATA_DIR;
        test.platform.workingFilePath = (dir.Path() / "Zephwork.mid").string();
        SetUpEffectLists(s);
    }
    void Open(const TrackBuilder& track, const std::string& name = "song.mid") {
        ASSERT_TRUE(OpenChosenFile(s, dir.Write(name, test::SongFile(track))));
    }
    // The markers and End of Track of the built style's track, with their ticks.
    std::vector<StyleEvent> Markers() const {
        std::vector<StyleEvent> events;
        WalkState walk;
        TrackWalker walker(s.output, walk);
        while (!walker.AtEnd()) {
            const TrackEvent& event = walker.Next();
            if (event.IsEndOfTrack()) events.push_back({event.absoluteTime, "EOT"});
            if (event.IsMeta() && event.metaType == 6) {
                events.push_back({event.absoluteTime, walk.metaText});
            }
        }
        return events;
    }

    test::TempDir dir;
    StubSession test;
    Session& s = test.session;
};

// Measures of 1920 ticks with a drum hit on every first beat; set-up events at tick 0.
TrackBuilder Song(int measures) {
    return test::MeasuresSong(measures);
}

TEST_F(MakeStyleTest, LastSectionEndsOnABarLineAfterItsLastEvent) {
    // Main A (measures 8-9) ends with a note-off 1.5 measures after its start.
    TrackBuilder track;
    track.TimeSignature(0, 4, 2)
        .NoteOn(0, 10, 36, 90)
        .NoteOn(8 * 1920, 1, 60, 90)
        .NoteOff(2880, 1, 60)
        .NoteOn(960, 10, 36, 90)
        .EndOfTrack(1920);
    Open(track);
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    PickPart(s, 0, kChord1Part);
    ASSERT_TRUE(MakeStyleFromMidi(s));
    const std::vector<StyleEvent> markers = Markers();
    ASSERT_EQ(markers.size(), 4u);
    EXPECT_EQ(markers[2].marker, "Main A");
    EXPECT_EQ(markers[2].tick, 1920);
    EXPECT_EQ(markers[3].marker, "EOT");
    EXPECT_EQ(markers[3].tick, 1920 + 2 * 1920);  // padded by half a measure
}

TEST_F(MakeStyleTest, LateSetUpPartLeadsInToTheNextBarLine) {
    // The notes start 2.25 measures in: the set-up part takes longer than a measure.
    TrackBuilder track = Song(12);
    Bytes events = track.Events();
    TrackBuilder late;
    late.TimeSignature(0, 4, 2)
        .Controller(4320, 10, 7, 100)
        .Raw(Bytes(events.begin() + 8, events.end()));
    Open(late);
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    PickPart(s, 9, kRhythmPart);
    ASSERT_TRUE(MakeStyleFromMidi(s));
    const std::vector<StyleEvent> markers = Markers();
    ASSERT_EQ(markers[2].marker, "Main A");
    // The set-up part ends at 4320, 0.25 measures into measure 2: the section starts on 5760.
    EXPECT_EQ(markers[2].tick, 5760);
    EXPECT_EQ(markers.back().tick, 5760 + 2 * 1920);
}

TEST_F(MakeStyleTest, EffectSettingsOutliveTheReloadAfterABuild) {
    // The working file reloaded after a build still holds the set-up of its last preparation,
    // made before the user chose these effects: a second style must get them all the same.
    Open(Song(12));
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    PickPart(s, 9, kRhythmPart);
    s.effects.reverb = 3;
    s.effects.reverbReturn = "80";
    s.effects.connection = VariationConnection::Insertion;
    s.effects.variation = 2;
    s.effects.pan = "64";
    const EffectSettings chosen = s.effects;
    for (int build = 1; build <= 2; ++build) {
        ASSERT_TRUE(MakeStyleFromMidi(s));
        EXPECT_EQ(s.effects.reverb, chosen.reverb) << "build " << build;
        EXPECT_EQ(s.effects.reverbReturn, chosen.reverbReturn) << "build " << build;
        EXPECT_EQ(s.effects.connection, chosen.connection) << "build " << build;
        EXPECT_EQ(s.effects.variation, chosen.variation) << "build " << build;
        EXPECT_EQ(s.effects.pan, chosen.pan) << "build " << build;
    }
}

TEST_F(MakeStyleTest, ReopenedStyleKeepsItsClosingRest) {
    // A style whose last section "Main A" ends with a rest: End of Track 300 ticks after the last
    // note-off (delta 82 2C).
    TrackBuilder style;
    style.Marker(0, "SFF1")
        .Marker(0, "SInt")
        .TimeSignature(0, 4, 2)
        .NoteOn(0, 10, 36, 90)
        .Marker(1920, "Main A")
        .NoteOn(0, 10, 36, 90)
        .NoteOff(1620, 10, 36)
        .EndOfTrack(300);
    const Bytes casm = {'C', 'A', 'S', 'M', 0,   0, 0, 22, 'C', 'S', 'E', 'G', 0,   0,   0,
                        14,  'S', 'd', 'e', 'c', 0, 0, 0,  6,   'M', 'a', 'i', 'n', ' ', 'A'};
    ASSERT_TRUE(
        OpenChosenFile(s, dir.Write("old.sty", test::Concat({test::SongFile(style), casm}))));
    s.useStyleCasm = true;
    ASSERT_TRUE(MakeStyleFromMidi(s));
    const std::vector<StyleEvent> markers = Markers();
    ASSERT_FALSE(markers.empty());
    EXPECT_EQ(markers.back().marker, "EOT");
    EXPECT_EQ(markers.back().tick, 3840);
    const auto& bytes = s.output.Bytes();
    EXPECT_EQ(Bytes(bytes.end() - static_cast<long>(casm.size()), bytes.end()), casm);
}

TEST_F(MakeStyleTest, UnwritableWorkingFileStopsBeforeAnythingChanges) {
    Open(Song(12));
    ASSERT_TRUE(PressSectionButton(s, "Main A"));
    PickPart(s, 9, kRhythmPart);
    const ByteImage song = s.song.bytes;
    test.platform.workingFilePath = (dir.Path() / "gone" / "Zephwork.mid").string();
    EXPECT_FALSE(MakeStyleFromMidi(s));
    EXPECT_EQ(s.song.bytes, song);
    EXPECT_EQ(test.platform.messages, (std::vector<std::string>{"That path doesn't exist."}));
}

}  // namespace
}  // namespace zephrane
