#include "analysis/voice_names.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace zephrane {
namespace {

constexpr int kNone = -1;

// The first program change of a channel.
VoiceLabelInput FirstChange(int channel, int msb, int lsb, int program) {
    return {channel, msb, lsb, program, 1, program};
}

// A later program change: the bank and first program stay as they were at the first change.
VoiceLabelInput LaterChange(int channel, int msb, int lsb, int firstProgram, int count,
                            int currentProgram) {
    return {channel, msb, lsb, firstProgram, count, currentProgram};
}

std::string Build(const VoiceLabelInput& input, std::string label = "") {
    BuildVoiceLabel(input, label);
    return label;
}

using Expectations = std::vector<std::pair<int, std::string>>;

void ExpectCategories(CategoryTable table, const Expectations& expected) {
    for (const auto& [program, category] : expected) {
        EXPECT_EQ(VoiceCategory(table, program), category) << "program " << program;
    }
}

struct RangeEnds {
    int first;
    int last;
    std::string category;
};

// Both ends of every range fall into its category; with neighbouring ranges listed too, this
// also pins the programs just outside each range.
void ExpectRangeEnds(CategoryTable table, const std::vector<RangeEnds>& ranges) {
    for (const RangeEnds& range : ranges) {
        EXPECT_EQ(VoiceCategory(table, range.first), range.category) << "program " << range.first;
        EXPECT_EQ(VoiceCategory(table, range.last), range.category) << "program " << range.last;
    }
}

// The programs 0..127 to which `table` gives no category of its own.
std::vector<int> UncategorisedPrograms(CategoryTable table) {
    std::vector<int> programs;
    for (int program = 0; program <= 127; ++program) {
        if (VoiceCategory(table, program).starts_with("Program #")) programs.push_back(program);
    }
    return programs;
}

std::vector<int> Programs(std::initializer_list<std::pair<int, int>> ranges) {
    std::vector<int> programs;
    for (const auto& [first, last] : ranges) {
        for (int program = first; program <= last; ++program)
            programs.push_back(program);
    }
    return programs;
}

// ---------------------------------------------------------------------------------------------
// Drum kits

TEST(DrumKitName, EveryNamedXgKitKeepsItsOwnName) {
    const std::vector<std::pair<int, std::string>> kits = {
        {0, "Std Drum Kit 1"},   {1, "Std Drum Kit 2"},     {4, "Hit Drum Kit"},
        {8, "Room Drum Kit"},    {16, "Rock Drum Kit"},     {24, "Electronic Drum Kit"},
        {25, "Analog Drum Kit"}, {27, "Dance Drum Kit"},    {32, "Jazz Drum Kit"},
        {40, "Brush Drum Kit"},  {48, "Symphony Drum Kit"},
    };
    for (const auto& [program, name] : kits) {
        EXPECT_EQ(DrumKitName(program), name) << "program " << program;
    }
}

TEST(DrumKitName, NeighboursOfNamedKitsAreNotGivenANeighboursName) {
    for (const int program : {2, 3, 5, 7, 9, 15, 17, 23, 26, 28, 31, 33, 39, 41, 47, 49, 127}) {
        EXPECT_EQ(DrumKitName(program), "Drum Kit") << "program " << program;
    }
}

// ---------------------------------------------------------------------------------------------
// Category of channel 9 in a GM song

TEST(SubRhythmGmCategories, RangeEndsLandInTheirCategoryWithTheShiftedBounds) {
    const std::vector<RangeEnds> ranges = {
        {0, 7, "Keyboard"},           {8, 16, "Chrom. Perc."}, {17, 21, "Organ"},
        {22, 24, "Accordion"},        {25, 32, "Guitar"},      {33, 40, "Bass"},
        {41, 51, "Strings"},          {52, 56, "Choir"},       {57, 64, "Brass"},
        {65, 72, "Sax,Clarinet,etc"}, {73, 80, "Flute/Pipe"},  {81, 88, "Synth Lead"},
        {89, 96, "Synth Pad"},        {97, 104, "SynthFx"},    {105, 112, "Ethnic"},
        {113, 120, "PercFx"},         {121, 127, "SoundFx"},
    };
    ExpectRangeEnds(CategoryTable::kSubRhythmGm, ranges);
}

TEST(SubRhythmGmCategories, ProgramClaimedByTwoRangesGoesToTheEarlierRule) {
    EXPECT_EQ(VoiceCategory(CategoryTable::kSubRhythmGm, 21), "Organ");
}

TEST(SubRhythmGmCategories, NoProgramFallsThroughToProgramNumber) {
    EXPECT_TRUE(UncategorisedPrograms(CategoryTable::kSubRhythmGm).empty());
}

// ---------------------------------------------------------------------------------------------
// Category of channel 9 in an XG song

TEST(SubRhythmXgCategories, RangeEndsLandInTheirCategory) {
    const std::vector<RangeEnds> ranges = {
        {0, 7, "Keyboard"},       {8, 15, "Chrom.Perc."}, {16, 20, "Organ"},
        {21, 23, "Accordion"},    {24, 32, "Guitar"},     {33, 40, "Bass"},
        {41, 51, "Strings"},      {52, 55, "Choir"},      {56, 64, "Brass"},
        {65, 72, "Sax,Clarinet"}, {73, 79, "Flute/Pipe"}, {80, 87, "Synth Lead"},
        {88, 95, "Synth Pad"},
    };
    ExpectRangeEnds(CategoryTable::kSubRhythmXg, ranges);
}

TEST(SubRhythmXgCategories, RegroupedSingleProgramsGetTheirOwnCategory) {
    const Expectations expected = {
        {47, "Chrom.Perc."}, {108, "Chrom.Perc."}, {114, "Chrom.Perc."}, {104, "Strings"},
        {105, "Strings"},    {106, "Strings"},     {107, "Strings"},     {109, "Flute/Pipe"},
        {96, "Synth Lead"},  {98, "Synth Lead"},   {99, "Synth Pad"},    {101, "Synth Pad"},
        {103, "Synth Pad"},
    };
    ExpectCategories(CategoryTable::kSubRhythmXg, expected);
}

TEST(SubRhythmXgCategories, TimpaniInsideTheStringsRangeStaysChromaticPercussion) {
    ExpectCategories(CategoryTable::kSubRhythmXg,
                     {{46, "Strings"}, {47, "Chrom.Perc."}, {48, "Strings"}});
}

TEST(SubRhythmXgCategories, ExactlyTheUnlistedProgramsGetProgramNumber) {
    EXPECT_EQ(UncategorisedPrograms(CategoryTable::kSubRhythmXg),
              Programs({{97, 97}, {100, 100}, {102, 102}, {110, 113}, {115, 127}}));
    EXPECT_EQ(VoiceCategory(CategoryTable::kSubRhythmXg, 97), "Program # 97");
    EXPECT_EQ(VoiceCategory(CategoryTable::kSubRhythmXg, 127), "Program # 127");
}

// ---------------------------------------------------------------------------------------------
// Category of the melodic channels in an XG song

TEST(MelodicXgCategories, RangeEndsLandInTheirCategory) {
    const std::vector<RangeEnds> ranges = {
        {0, 7, "Keyboard"},       {8, 15, "Chrom.Perc."}, {16, 20, "Organ"},
        {21, 23, "Accordion"},    {24, 31, "Guitar"},     {32, 39, "Bass"},
        {40, 51, "Strings"},      {52, 54, "Choir"},      {55, 63, "Brass"},
        {64, 71, "Sax,Clarinet"}, {72, 79, "Flute/Pipe"}, {80, 87, "Synth Lead"},
        {88, 95, "Synth Pad"},
    };
    ExpectRangeEnds(CategoryTable::kMelodicXg, ranges);
}

TEST(MelodicXgCategories, RegroupedSingleProgramsGetTheirOwnCategory) {
    const Expectations expected = {
        {47, "Chrom.Perc."}, {108, "Chrom.Perc."}, {114, "Chrom.Perc."},
        {109, "Flute/Pipe"}, {96, "Synth Lead"},   {98, "Synth Lead"},
        {99, "Synth Pad"},   {101, "Synth Pad"},   {103, "Synth Pad"},
    };
    ExpectCategories(CategoryTable::kMelodicXg, expected);
}

TEST(MelodicXgCategories, TimpaniInsideTheStringsRangeStaysChromaticPercussion) {
    ExpectCategories(CategoryTable::kMelodicXg,
                     {{46, "Strings"}, {47, "Chrom.Perc."}, {48, "Strings"}});
}

TEST(MelodicXgCategories, PluckedEthnicStringsAreNotBorrowedFromChannel9) {
    EXPECT_EQ(UncategorisedPrograms(CategoryTable::kMelodicXg),
              Programs({{97, 97}, {100, 100}, {102, 102}, {104, 107}, {110, 113}, {115, 127}}));
    EXPECT_EQ(VoiceCategory(CategoryTable::kMelodicXg, 104), "Program # 104");
}

// ---------------------------------------------------------------------------------------------
// Category of the melodic channels in a GM song

TEST(MelodicGmCategories, RangeEndsLandInTheirCategory) {
    const std::vector<RangeEnds> ranges = {
        {0, 7, "Keyboard"},       {8, 15, "Chrom. Perc."}, {16, 20, "Organ"},
        {21, 23, "Accordion"},    {24, 31, "Guitar"},      {32, 39, "Bass"},
        {40, 51, "Strings"},      {52, 55, "Choir"},       {56, 63, "Brass"},
        {64, 71, "Sax,Clarinet"}, {72, 79, "Flute/Pipe"},  {80, 87, "Synth Lead"},
        {88, 95, "Synth Pad"},    {96, 103, "SynthFx"},    {104, 111, "Ethnic"},
        {112, 119, "PercFx"},     {120, 127, "SoundFx"},
    };
    ExpectRangeEnds(CategoryTable::kMelodicGm, ranges);
}

TEST(MelodicGmCategories, XgRegroupingDoesNotLeakIntoGmSongs) {
    const Expectations expected = {
        {47, "Strings"}, {96, "SynthFx"}, {99, "SynthFx"},
        {108, "Ethnic"}, {109, "Ethnic"}, {114, "PercFx"},
    };
    ExpectCategories(CategoryTable::kMelodicGm, expected);
}

TEST(MelodicGmCategories, NoProgramFallsThroughToProgramNumber) {
    EXPECT_TRUE(UncategorisedPrograms(CategoryTable::kMelodicGm).empty());
}

// ---------------------------------------------------------------------------------------------
// Channel 10 (rhythm)

TEST(RhythmChannelLabel, WithoutBankSelectIsTheGmKitWhateverTheProgram) {
    EXPECT_EQ(Build(FirstChange(10, kNone, kNone, 0)), "Drum Kit-GM");
    EXPECT_EQ(Build(FirstChange(10, kNone, kNone, 26)), "Drum Kit-GM");
    EXPECT_EQ(Build(FirstChange(10, kNone, 0, 25)), "Drum Kit-GM");
}

TEST(RhythmChannelLabel, DrumBankNamesTheKitOfTheFirstProgram) {
    EXPECT_EQ(Build(FirstChange(10, 127, 0, 0)), "Std Drum Kit 1");
    EXPECT_EQ(Build(FirstChange(10, 127, 0, 26)), "Drum Kit");
    EXPECT_EQ(Build(FirstChange(10, 127, kNone, 48)), "Symphony Drum Kit");
}

TEST(RhythmChannelLabel, KitNameIgnoresLaterProgramChanges) {
    EXPECT_EQ(Build(LaterChange(10, 127, 0, 25, 2, 0)), "Analog Drum Kit( 2)");
}

TEST(RhythmChannelLabel, OtherBanksShowBankAndCurrentProgramInPlainNumbers) {
    EXPECT_EQ(Build(FirstChange(10, 0, 0, 5)), "Msb:0 Lsb:0 Pc:5");
    EXPECT_EQ(Build(FirstChange(10, 0, kNone, 5)), "Msb:0 Lsb:-1 Pc:5");
    EXPECT_EQ(Build(LaterChange(10, 8, kNone, 5, 2, 9)), "Msb:8 Lsb:-1 Pc:9( 2)");
}

TEST(RhythmChannelLabel, SfxBanksAreNotNamedSoundFxKitOnTheRhythmChannel) {
    EXPECT_EQ(Build(FirstChange(10, 126, kNone, 3)), "Msb:126 Lsb:-1 Pc:3");
    EXPECT_EQ(Build(FirstChange(10, 64, 0, 3)), "Msb:64 Lsb:0 Pc:3");
}

// ---------------------------------------------------------------------------------------------
// Channel 9 (sub rhythm)

TEST(SubRhythmChannelLabel, DrumBankNamesTheKitOfTheFirstProgram) {
    EXPECT_EQ(Build(FirstChange(9, 127, 0, 40)), "Brush Drum Kit");
    EXPECT_EQ(Build(FirstChange(9, 127, kNone, 26)), "Drum Kit");
    EXPECT_EQ(Build(LaterChange(9, 127, 0, 32, 3, 0)), "Jazz Drum Kit( 3)");
}

TEST(SubRhythmChannelLabel, SfxKitBankIsSoundFxKitWhateverTheProgram) {
    EXPECT_EQ(Build(FirstChange(9, 126, kNone, 0)), "SoundFx Kit");
    EXPECT_EQ(Build(FirstChange(9, 126, 0, 127)), "SoundFx Kit");
}

TEST(SubRhythmChannelLabel, GmVoiceUsesTheShiftedChannel9List) {
    EXPECT_EQ(Build(FirstChange(9, kNone, kNone, 24)), "Accordion-GM");
    EXPECT_EQ(Build(FirstChange(9, kNone, kNone, 16)), "Chrom. Perc.-GM");
    EXPECT_EQ(Build(FirstChange(9, kNone, kNone, 65)), "Sax,Clarinet,etc-GM");
}

TEST(SubRhythmChannelLabel, XgVoiceUsesTheChannel9XgList) {
    EXPECT_EQ(Build(FirstChange(9, 0, 0, 104)), "Strings-XG");
    EXPECT_EQ(Build(FirstChange(9, 0, 0, 32)), "Guitar-XG");
    EXPECT_EQ(Build(FirstChange(9, 0, 0, 97)), "Program # 97-XG");
}

TEST(SubRhythmChannelLabel, PanelSuffixStartsAboveLsb99) {
    EXPECT_EQ(Build(FirstChange(9, 0, 99, 33)), "Bass-XG");
    EXPECT_EQ(Build(FirstChange(9, 0, 100, 33)), "Bass-Panel");
    EXPECT_EQ(Build(FirstChange(9, 0, 127, 100)), "Program # 100-Panel");
}

TEST(SubRhythmChannelLabel, MsbZeroWithoutLsbShowsBankAndProgramText) {
    EXPECT_EQ(Build(FirstChange(9, 0, kNone, 5)), "Msb:0 Lsb:-1 Pc:5");
}

TEST(SubRhythmChannelLabel, LsbWithoutMsbKeepsTheStandingLabel) {
    EXPECT_EQ(Build(FirstChange(9, kNone, 0, 24), "Strings-XG"), "Strings-XG");
    EXPECT_EQ(Build(FirstChange(9, kNone, 0, 24)), "");
}

TEST(SubRhythmChannelLabel, BanksNamingNeitherDrumsNorVoicesKeepTheStandingLabel) {
    for (const int msb : {1, 8, 64, 125}) {
        EXPECT_EQ(Build(FirstChange(9, msb, 0, 24), "Organ-GM"), "Organ-GM") << "msb " << msb;
        EXPECT_EQ(Build(FirstChange(9, msb, kNone, 24), "Organ-GM"), "Organ-GM") << "msb " << msb;
    }
}

// ---------------------------------------------------------------------------------------------
// Channels 1-8 and 11-16

TEST(MelodicChannelLabel, MsbZeroWithoutLsbSaysLsbIsMissing) {
    EXPECT_EQ(Build(FirstChange(5, 0, kNone, 5)), "Msb:0 Lsb Missing Pc:5");
    EXPECT_EQ(Build(LaterChange(5, 0, kNone, 5, 2, 9)), "Msb:0 Lsb Missing Pc:9( 2)");
}

TEST(MelodicChannelLabel, LsbWithoutMsbSaysMsbIsMissing) {
    EXPECT_EQ(Build(FirstChange(5, kNone, 3, 7)), "Msb Missing Lsb:3 Pc:7");
    EXPECT_EQ(Build(LaterChange(5, kNone, 3, 7, 2, 120)), "Msb Missing Lsb:3 Pc:120( 2)");
}

TEST(MelodicChannelLabel, XgVoiceGetsXgSuffixUpToLsb99AndPanelAbove) {
    EXPECT_EQ(Build(FirstChange(3, 0, 0, 33)), "Bass-XG");
    EXPECT_EQ(Build(FirstChange(3, 0, 112, 33)), "Bass-Panel");
    EXPECT_EQ(Build(FirstChange(3, 0, 99, 33)), "Bass-XG");
    EXPECT_EQ(Build(FirstChange(3, 0, 100, 33)), "Bass-Panel");
}

TEST(MelodicChannelLabel, XgVoiceUsesTheMelodicXgList) {
    EXPECT_EQ(Build(FirstChange(3, 0, 0, 32)), "Bass-XG");
    EXPECT_EQ(Build(FirstChange(3, 0, 0, 64)), "Sax,Clarinet-XG");
    EXPECT_EQ(Build(FirstChange(3, 0, 0, 8)), "Chrom.Perc.-XG");
}

TEST(MelodicChannelLabel, UnlistedXgProgramGetsProgramNumberAndBankSuffix) {
    EXPECT_EQ(Build(FirstChange(4, 0, 0, 97)), "Program # 97-XG");
    EXPECT_EQ(Build(FirstChange(4, 0, 100, 104)), "Program # 104-Panel");
}

TEST(MelodicChannelLabel, GmVoiceUsesTheGmFamilyList) {
    EXPECT_EQ(Build(FirstChange(3, kNone, kNone, 24)), "Guitar-GM");
    EXPECT_EQ(Build(FirstChange(3, kNone, kNone, 8)), "Chrom. Perc.-GM");
    EXPECT_EQ(Build(FirstChange(3, kNone, kNone, 64)), "Sax,Clarinet-GM");
}

TEST(MelodicChannelLabel, SfxBanksAreSoundFxKitWhateverTheProgram) {
    EXPECT_EQ(Build(FirstChange(2, 64, 0, 0)), "SoundFx Kit");
    EXPECT_EQ(Build(FirstChange(2, 64, 0, 127)), "SoundFx Kit");
    EXPECT_EQ(Build(FirstChange(2, 126, kNone, 40)), "SoundFx Kit");
}

TEST(MelodicChannelLabel, DrumBankIsNotLookedUpAsAKit) {
    EXPECT_EQ(Build(FirstChange(1, 127, kNone, 0)), "Msb:127 Lsb:-1 Pc:0");
    EXPECT_EQ(Build(FirstChange(1, 127, 0, 25)), "Msb:127 Lsb:0 Pc:25");
}

TEST(MelodicChannelLabel, OtherBanksShowBankAndCurrentProgramInPlainNumbers) {
    EXPECT_EQ(Build(FirstChange(6, 8, kNone, 5)), "Msb:8 Lsb:-1 Pc:5");
    EXPECT_EQ(Build(FirstChange(6, 1, 3, 0)), "Msb:1 Lsb:3 Pc:0");
    EXPECT_EQ(Build(LaterChange(6, 8, kNone, 5, 2, 9)), "Msb:8 Lsb:-1 Pc:9( 2)");
}

TEST(MelodicChannelLabel, CategoryFollowsTheFirstProgramNotTheCurrentOne) {
    EXPECT_EQ(Build(LaterChange(3, 0, 0, 33, 2, 0)), "Bass-XG( 2)");
    EXPECT_EQ(Build(LaterChange(3, kNone, kNone, 24, 2, 0)), "Guitar-GM( 2)");
}

TEST(MelodicChannelLabel, ChannelsBesideTheRhythmPairShareTheMelodicRules) {
    for (const int channel : {1, 8, 11, 16}) {
        EXPECT_EQ(Build(FirstChange(channel, kNone, kNone, 24)), "Guitar-GM")
            << "channel " << channel;
        EXPECT_EQ(Build(FirstChange(channel, 0, 0, 32)), "Bass-XG") << "channel " << channel;
    }
    EXPECT_EQ(Build(FirstChange(9, kNone, kNone, 24)), "Accordion-GM");
    EXPECT_EQ(Build(FirstChange(10, kNone, kNone, 24)), "Drum Kit-GM");
}

TEST(MelodicChannelLabel, RebuildReplacesWhateverLabelStood) {
    EXPECT_EQ(Build(FirstChange(3, 0, 0, 33), "Msb Missing Lsb:3 Pc:7( 4)"), "Bass-XG");
}

// ---------------------------------------------------------------------------------------------
// Change count

TEST(ChangeCount, FirstProgramChangeShowsNoCount) {
    EXPECT_EQ(Build(FirstChange(3, 0, 0, 0)), "Keyboard-XG");
}

TEST(ChangeCount, LaterChangesAppendTheBlankSignedCount) {
    EXPECT_EQ(Build(LaterChange(3, 0, 0, 0, 2, 0)), "Keyboard-XG( 2)");
    EXPECT_EQ(Build(LaterChange(3, 0, 0, 0, 3, 0)), "Keyboard-XG( 3)");
    EXPECT_EQ(Build(LaterChange(3, 0, 0, 0, 12, 0)), "Keyboard-XG( 12)");
}

TEST(ChangeCount, RebuiltLabelDoesNotCarryTheEarlierCount) {
    std::string label;
    BuildVoiceLabel(FirstChange(3, 0, 0, 0), label);
    BuildVoiceLabel(LaterChange(3, 0, 0, 0, 2, 40), label);
    BuildVoiceLabel(LaterChange(3, 0, 0, 0, 3, 41), label);
    EXPECT_EQ(label, "Keyboard-XG( 3)");
}

TEST(ChangeCount, LateBankSelectLeavesTheLabelAndOnlyTheCountChanges) {
    // Bank selects after the first program change are not recorded, so the second change comes
    // with the bank of the first.
    std::string label;
    BuildVoiceLabel(FirstChange(7, kNone, kNone, 0), label);
    EXPECT_EQ(label, "Keyboard-GM");
    BuildVoiceLabel(LaterChange(7, kNone, kNone, 0, 2, 48), label);
    EXPECT_EQ(label, "Keyboard-GM( 2)");
}

TEST(ChangeCount, KeptLabelShowsOnlyTheLatestCount) {
    std::string label;
    BuildVoiceLabel(FirstChange(9, kNone, 0, 5), label);
    EXPECT_EQ(label, "");
    BuildVoiceLabel(LaterChange(9, kNone, 0, 5, 2, 6), label);
    EXPECT_EQ(label, "( 2)");
    BuildVoiceLabel(LaterChange(9, kNone, 0, 5, 3, 7), label);
    EXPECT_EQ(label, "( 3)");
}

TEST(ChangeCount, KeptLabelGetsTheCountAppended) {
    EXPECT_EQ(Build(LaterChange(9, 8, 0, 5, 2, 6), "Strings-XG"), "Strings-XG( 2)");
}

TEST(ChangeCount, RescanDoesNotStackCountsOnAKeptLabel) {
    // A later scan of the same song counts the channel's changes from 1 again.
    std::string label = "Strings-XG( 3)";
    BuildVoiceLabel(FirstChange(9, kNone, 0, 5), label);
    EXPECT_EQ(label, "Strings-XG");
    BuildVoiceLabel(LaterChange(9, kNone, 0, 5, 2, 6), label);
    BuildVoiceLabel(LaterChange(9, kNone, 0, 5, 3, 7), label);
    EXPECT_EQ(label, "Strings-XG( 3)");
}

TEST(ChangeCount, OnlyABlankSignedCountInParenthesesIsTakenForAnEarlierCount) {
    const VoiceLabelInput keptSecondChange = LaterChange(9, kNone, 0, 5, 2, 6);
    EXPECT_EQ(Build(keptSecondChange, "Pad(12)"), "Pad(12)( 2)");
    EXPECT_EQ(Build(keptSecondChange, "Pad( )"), "Pad( )( 2)");
    EXPECT_EQ(Build(keptSecondChange, "Pad( 1a)"), "Pad( 1a)( 2)");
    EXPECT_EQ(Build(keptSecondChange, "Pad( 12) "), "Pad( 12) ( 2)");
    EXPECT_EQ(Build(keptSecondChange, "Pad( 12)"), "Pad( 2)");
}

}  // namespace
}  // namespace zephrane
