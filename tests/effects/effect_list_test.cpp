#include "effects/effect_list.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "app/effect_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "effects/xg_import.h"
#include "support/error_of.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

EffectLists ShippedLists() {
    const test::Bytes bytes = test::ReadFile(std::string(ZEPHRANE_DATA_DIR) + "/cbo3.dat");
    EffectLists lists;
    ParseEffectListFile(std::string(bytes.begin(), bytes.end()), lists);
    return lists;
}

// Every entry's code must be a type that selects that very entry when a song sends it, so that
// what the dialog shows and what the style sends agree.
TEST(EffectListFile, EveryCodeOfTheShippedFileSelectsItsOwnPositionOnImport) {
    const EffectLists lists = ShippedLists();
    EXPECT_EQ(lists.reverb[1].name, "Hall 1*");
    EXPECT_EQ(lists.systemVariation[28].name, "Reverse Gate*");
    const struct {
        const std::vector<EffectListEntry>& list;
        size_t size;
        int address;
        VariationConnection connection;
    } sections[] = {{lists.reverb, 24, 0x00, VariationConnection::System},
                    {lists.chorus, 20, 0x20, VariationConnection::System},
                    {lists.systemVariation, 102, 0x40, VariationConnection::System},
                    {lists.insertionVariation, 75, 0x40, VariationConnection::Insertion}};
    for (const auto& section : sections) {
        EXPECT_EQ(section.list.size(), section.size);
        for (size_t position = 0; position < section.list.size(); ++position) {
            // Position 81 of the System list shares its type with another entry.
            if (&section.list == &lists.systemVariation && position == 81) continue;
            const int code = section.list[position].code;  // MSB x 100 + LSB
            char message[40];
            std::snprintf(message, sizeof message, "43 10 4C 02 01 %02X %02X %02X F7 ",
                          section.address, code / 100, code % 100);
            EffectSettings effects;
            effects.connection = section.connection;
            ImportXgMessage(effects, message);
            const int selected = section.address == 0x00   ? effects.reverb
                                 : section.address == 0x20 ? effects.chorus
                                                           : effects.variation;
            EXPECT_EQ(selected, static_cast<int>(position)) << section.list[position].name;
        }
    }
}

TEST(EffectListFile, DamagedFilesAreRunTimeFailuresKeepingWhatWasRead) {
    const std::pair<const char*, int> damaged[] = {{"No Effect,0\r\nHall 1,100\r\n", 9},
                                                   {"No Effect 0\r\n", 5},
                                                   {"No Effect,zero\r\n", 13},
                                                   {"No Effect,0x\r\n", 13}};
    for (const auto& [text, error] : damaged) {
        EffectLists lists;
        EXPECT_EQ(test::ErrorOf([&] { ParseEffectListFile(text, lists); }), error) << text;
    }
    EffectLists lists;
    EXPECT_THROW(ParseEffectListFile("No Effect,0\r\n\r\nHall 1, 100\r\n", lists), RuntimeError);
    ASSERT_EQ(lists.reverb.size(), 2u);  // empty lines are skipped, blanks around codes allowed
    EXPECT_EQ(lists.reverb[1].code, 100);
}

TEST(EffectListFile, MissingFileIsReportedAtStartUp) {
    StubSession test;
    test::TempDir empty;
    test.platform.programDirectory = empty.Path().string();
    test.session.effects.reverb = 3;
    SetUpEffectLists(test.session);
    EXPECT_EQ(test.session.effects.reverb, -1);
    ASSERT_EQ(test.platform.messages.size(), 1u);
    EXPECT_NE(test.platform.messages[0].find("encountered in Function SetUpTextBox"),
              std::string::npos);
}

TEST(EffectListFile, ConnectionChangeRefillsTheVariationListAndClearsItsChoice) {
    StubSession test;
    test.platform.programDirectory = ZEPHRANE_DATA_DIR;
    Session& s = test.session;
    SetUpEffectLists(s);
    s.effects.variation = 10;
    ChangeVariationConnection(s, VariationConnection::Insertion);
    EXPECT_EQ(s.effects.connection, VariationConnection::Insertion);
    EXPECT_EQ(s.effects.variation, -1);
    EXPECT_EQ(s.effectLists.Variation(s.effects.connection).size(), 75u);
    EXPECT_EQ(EffectCode(s.effectLists.insertionVariation, 1), 100);
    EXPECT_EQ(test::ErrorOf([&] { EffectCode(s.effectLists.insertionVariation, 75); }), 9);
    EXPECT_TRUE(test.platform.messages.empty());
}

}  // namespace
}  // namespace zephrane
