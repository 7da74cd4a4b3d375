#include "analysis/scan_song.h"

#include <gtest/gtest.h>

#include <sstream>
#include "analysis/voice_names.h"
#include "app/song_commands.h"
#include "app/stub_platform.h"
#include "support/midi_builder.h"

namespace zephrane {
namespace {

using test::TrackBuilder;

class ScanSongTest : public ::testing::Test {
  protected:
    bool Scan(const TrackBuilder& track, uint16_t division = 480, XgImport xg = XgImport::Skip) {
        s.song.bytes = ByteImage(test::SongFile(track.Events(), division));
        return ScanSong(s, xg);
    }

    StubSession test;
    Session& s = test.session;
};

// A Standard MIDI File is in 4/4 until a time signature says otherwise. A measure's entry is the
// last delta byte of its first event.
TEST_F(ScanSongTest, MeasureTableIsInFourFourUntilATimeSignatureAndFollowsItFromItsPosition) {
    Scan(TrackBuilder()
             .NoteOn(0, 1, 60, 100)     // 22: tick 0
             .NoteOn(3100, 1, 62, 100)  // 26: delta 98 1C, tick 3100, measure 1 in 4/4
             .TimeSignature(740, 6, 3)  // 31: tick 3840, 6/8: from here 1440 a measure
             .NoteOn(100, 1, 64, 100)   // 40: still measure 2
             .NoteOn(2780, 1, 64, 100)  // 44: delta 95 5C, tick 6720, measure 4 (3 empty)
             .EndOfTrack(1440));        // 49: tick 8160, measure 5
    EXPECT_EQ(std::tie(s.facts.timeSigNumerator, s.facts.timeSigDenominator),
              std::tuple(int16_t{6}, int16_t{8}));
    const int32_t positions[] = {22, 27, 32, 0, 45, 50};
    for (int m = 0; m <= 5; ++m)
        EXPECT_EQ(s.measures.entries[m].position, positions[m]) << "measure " << m;
    EXPECT_EQ(std::tie(s.facts.measureCount, s.facts.endOfTrackPos, s.facts.scanEndPos),
              std::tuple(int16_t{5}, 50, 51));
}

TEST_F(ScanSongTest, KeySignatureTextsNameMinorKeysByTheirTonic) {
    const std::tuple<int, uint8_t, const char*> cases[] = {{-7, 0, "Cbmajor"}, {7, 0, "C#major"},
                                                           {3, 1, "F#minor"},  {7, 1, "A#minor"},
                                                           {-7, 1, "Abminor"}, {2, 2, "DMode  2"}};
    for (const auto& [sharpsFlats, mode, keyText] : cases) {
        Scan(TrackBuilder().KeySignature(0, sharpsFlats, mode).EndOfTrack());
        EXPECT_EQ(s.facts.keyText, keyText) << sharpsFlats << "/" << int{mode};
    }
    // An out-of-range signature keeps the key name the scan had, with its own mode word.
    Scan(TrackBuilder().KeySignature(0, 2, 0).KeySignature(0, 9, 1).EndOfTrack());
    EXPECT_EQ(s.facts.keyText, "Dminor");
}

TEST_F(ScanSongTest, BankSelectCountsOnlyBeforeTheFirstProgramChange) {
    TrackBuilder t;
    t.Controller(0, 3, 0, 0).Controller(0, 3, 32, 0).Program(0, 3, 33).Controller(0, 3, 0, 127);
    Scan(t.Controller(0, 3, 32, 5).Program(0, 3, 34).NoteOn(0, 3, 40, 90));
    EXPECT_EQ(s.Channel(3), (ChannelInfo{"Bass-XG( 2)", true, 33, 2, 0, 0}));
}

TEST_F(ScanSongTest, XgEffectMessagesAreImportedOnlyWhenAsked) {
    const TrackBuilder track =
        TrackBuilder().SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x0C, 0x50, 0xF7}).EndOfTrack();
    EXPECT_TRUE(Scan(track) && s.effects.reverbReturn.empty());
    EXPECT_TRUE(Scan(track, 480, XgImport::Import) && s.effects.reverbReturn == " 80");
}

// An SMPTE division with a time signature (an overflow) is held by the malformed-file corpus.
TEST_F(ScanSongTest, FailuresAreReportedUnderGetInfoAndTheScanFails) {
    EXPECT_FALSE(Scan(TrackBuilder().Tempo(0, 0).EndOfTrack()));
    EXPECT_EQ(test.platform.messages,
              (std::vector<std::string>{"Error #: 11, Division by zero, encountered in Function "
                                        "GetInfo. If the solution is not obvious, please report "
                                        "this to the author."}));
}

// A program change: "channel bank-MSB bank-LSB first-program change-count program" (-1: no bank
// select came before the first change), the label standing before it, the label after it.
// clang-format off
const char* const kLabelCases[][3] = {
    // Channel 10: the GM kit without a bank, the XG kit of the first program under MSB 127, bank
    // and current program in plain numbers otherwise.
    {"10 -1 -1 26 1 26", "", "Drum Kit-GM"}, {"10 127 -1 48 1 48", "", "Symphony Drum Kit"},
    {"10 127 0 25 2 0", "", "Analog Drum Kit( 2)"}, {"10 8 -1 5 2 9", "", "Msb:8 Lsb:-1 Pc:9( 2)"},
    {"10 127 0 2 1 2", "", "Drum Kit"},
    // Channel 9: kits, the SFX kit, its own GM and XG lists; banks naming neither drums nor voices
    // keep the standing label.
    {"9 127 0 32 3 0", "", "Jazz Drum Kit( 3)"}, {"9 126 0 127 1 127", "", "SoundFx Kit"},
    {"9 -1 -1 24 1 24", "", "Accordion-GM"}, {"9 0 0 104 1 104", "", "Strings-XG"},
    {"9 0 -1 5 1 5", "", "Msb:0 Lsb:-1 Pc:5"}, {"9 -1 0 24 1 24", "Strings-XG", "Strings-XG"},
    {"9 1 0 24 1 24", "Organ-GM", "Organ-GM"},
    // Channels 1-8 and 11-16; the category follows the first program, not the current one.
    {"5 0 -1 5 2 9", "", "Msb:0 Lsb Missing Pc:9( 2)"}, {"3 0 99 33 12 0", "", "Bass-XG( 12)"},
    {"5 -1 3 7 2 120", "", "Msb Missing Lsb:3 Pc:120( 2)"}, {"3 0 100 33 1 33", "", "Bass-Panel"},
    {"4 0 0 97 1 97", "", "Program # 97-XG"}, {"2 64 0 0 1 0", "", "SoundFx Kit"},
    {"1 127 -1 0 1 0", "", "Msb:127 Lsb:-1 Pc:0"}, {"3 -1 -1 24 2 0", "", "Guitar-GM( 2)"},
    // The count from the second change on: a rebuilt label drops its old one, a kept one shows only
    // the latest; only a blank-signed number in parentheses at the very end is a count.
    {"3 0 0 0 1 0", "Keyboard-XG( 2)", "Keyboard-XG"}, {"9 -1 0 5 2 6", "", "( 2)"},
    {"9 -1 0 5 2 6", "Pad(12)", "Pad(12)( 2)"}, {"9 -1 0 5 2 6", "Pad( )", "Pad( )( 2)"},
    {"9 -1 0 5 2 6", "Pad( 1a)", "Pad( 1a)( 2)"}, {"9 -1 0 5 2 6", "Pad( 12) ", "Pad( 12) ( 2)"},
    {"9 -1 0 5 2 6", "Pad( 3)", "Pad( 2)"},
};
// clang-format on

TEST(VoiceLabel, EachProgramChangeGivesItsLabel) {
    for (const auto& [change, standing, expected] : kLabelCases) {
        VoiceLabelInput in{};
        std::istringstream(change) >> in.channel >> in.bankMsb >> in.bankLsb >> in.firstProgram >>
            in.programChangeCount >> in.currentProgram;
        std::string label = standing;
        BuildVoiceLabel(in, label);
        EXPECT_EQ(label, expected) << change << " over \"" << standing << '"';
    }
}

}  // namespace
}  // namespace zephrane
