#include "effects/effect_list.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "app/effect_commands.h"
#include "app/session.h"
#include "app/stub_platform.h"
#include "effects/xg_import.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

std::string ShippedListFile() {
    const test::Bytes bytes = test::ReadFile(std::string(ZEPHRANE_DATA_DIR) + "/cbo3.dat");
    return std::string(bytes.begin(), bytes.end());
}

std::string Hex(int byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X ", byte);
    return text;
}

// The position the import selects for the type whose code is `code`.
int ImportedPosition(int address, int code, VariationConnection connection) {
    EffectSettings effects;
    effects.connection = connection;
    const std::string message =
        "43 10 4C 02 01 " + Hex(address) + Hex(code / 100) + Hex(code % 100) + "F7 ";
    ImportXgMessage(effects, message);
    return address == 0x00 ? effects.reverb : address == 0x20 ? effects.chorus : effects.variation;
}

TEST(EffectListFile, ShippedFileHasTheFourSectionsInOrder) {
    EffectLists lists;
    ParseEffectListFile(ShippedListFile(), lists);
    EXPECT_EQ(lists.reverb.size(), 24u);
    EXPECT_EQ(lists.chorus.size(), 20u);
    EXPECT_EQ(lists.systemVariation.size(), 102u);
    EXPECT_EQ(lists.insertionVariation.size(), 75u);
    EXPECT_EQ(lists.reverb[1].name, "Hall 1*");
    EXPECT_EQ(lists.reverb[3].code, 116);  // type 01 10
    EXPECT_EQ(lists.systemVariation[28].name, "Reverse Gate*");
    EXPECT_EQ(lists.systemVariation[28].code, 1100);
}

// Every entry's code must be a type that selects that very entry when a song sends it, so that
// what the dialog shows and what the style sends agree.
TEST(EffectListFile, EveryCodeSelectsItsOwnPositionOnImport) {
    EffectLists lists;
    ParseEffectListFile(ShippedListFile(), lists);
    const struct {
        const std::vector<EffectListEntry>& list;
        int address;
        VariationConnection connection;
    } sections[] = {{lists.reverb, 0x00, VariationConnection::System},
                    {lists.chorus, 0x20, VariationConnection::System},
                    {lists.systemVariation, 0x40, VariationConnection::System},
                    {lists.insertionVariation, 0x40, VariationConnection::Insertion}};
    for (const auto& section : sections) {
        for (size_t position = 0; position < section.list.size(); ++position) {
            const int code = section.list[position].code;
            const int selected = ImportedPosition(section.address, code, section.connection);
            // Position 81 of the System list shares its type with another entry.
            if (&section.list == &lists.systemVariation && position == 81) continue;
            EXPECT_EQ(selected, static_cast<int>(position))
                << section.list[position].name << " code " << code;
        }
    }
}

TEST(EffectListFile, DamagedFilesAreRunTimeFailuresKeepingWhatWasRead) {
    const struct {
        const char* text;
        int error;
    } damaged[] = {{"No Effect,0\r\nHall 1,100\r\n", 9},
                   {"No Effect 0\r\n", 5},
                   {"No Effect,zero\r\n", 13},
                   {"No Effect,0x\r\n", 13}};
    for (const auto& file : damaged) {
        EffectLists lists;
        try {
            ParseEffectListFile(file.text, lists);
            ADD_FAILURE() << file.text;
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), file.error) << file.text;
        }
    }
    EffectLists lists;
    EXPECT_THROW(ParseEffectListFile("No Effect,0\r\n\r\nHall 1, 100\r\n", lists), RuntimeError);
    EXPECT_EQ(lists.reverb.size(), 2u);  // empty lines are skipped, blanks around codes allowed
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
    EXPECT_THROW(EffectCode(s.effectLists.insertionVariation, 75), RuntimeError);
    EXPECT_TRUE(test.platform.messages.empty());
}

}  // namespace
}  // namespace zephrane
