#include "effects/xg_import.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "effects/effect_list.h"
#include "support/error_of.h"
#include "support/temp_dir.h"

namespace zephrane {
namespace {

constexpr auto kSys = VariationConnection::System;
constexpr auto kIns = VariationConnection::Insertion;

// The fields, as "name=value", that `text` changes in settings with every field filled.
std::string Changes(VariationConnection connection, const std::string& text) {
    EffectSettings e{5, " 11", 6, " 12", connection, 7, " 13", " 14", " 15", " 16", " 17"};
    // clang-format off
    const auto fields = [&e] { return std::vector<std::string>{
        "reverb=" + std::to_string(e.reverb), "reverbReturn=" + e.reverbReturn,
        "chorus=" + std::to_string(e.chorus), "chorusReturn=" + e.chorusReturn,
        e.connection == kSys ? "connection=System" : "connection=Insertion",
        "variation=" + std::to_string(e.variation), "insertionPart=" + e.insertionPart,
        "variationReturn=" + e.variationReturn, "pan=" + e.pan, "sendToReverb=" + e.sendToReverb,
        "sendToChorus=" + e.sendToChorus}; };
    // clang-format on
    const std::vector<std::string> before = fields();
    ImportXgMessage(e, text);
    const std::vector<std::string> after = fields();
    std::string changes;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) changes += (changes.empty() ? "" : " ") + after[i];
    return changes;
}

// An XG effect-block parameter change for device 0: F0 43 10 4C 02 01, AL and data, F7.
std::string EffectMessage(const std::string& alAndData) {
    return "43 10 4C 02 01 " + alAndData + " F7 ";
}

// Besides the listed types: one-byte values (blank-signed, the insertion part from 1); an unlisted
// MSB selecting "No Effect", an unlisted LSB (4E 02: no type selects it) keeping the selection, an
// "any" entry, 1B for Reverse Gate; the connection in force (Karaoke 1) and a change of it (XG 0 is
// insertion) clearing the variation type; other parameters, a lone MSB and bit 7 changing nothing.
// clang-format off
const std::tuple<VariationConnection, const char*, const char*> kEffectBlockCases[] = {
    {kSys, "0C 50", "reverbReturn= 80"}, {kSys, "2C 40", "chorusReturn= 64"},
    {kSys, "56 7F", "variationReturn= 127"}, {kSys, "57 01", "pan= 1"},
    {kSys, "58 00", "sendToReverb= 0"}, {kSys, "59 21", "sendToChorus= 33"},
    {kSys, "5B 0F", "insertionPart= 16"}, {kSys, "00 00 00", "reverb=0"}, {kSys, "40 4E 02", ""},
    {kSys, "00 10 7F", "reverb=20"}, {kSys, "40 1B 00", "variation=28"},
    {kSys, "40 14 00", "variation=33"}, {kIns, "40 14 00", "variation=25"},
    {kSys, "5A 00", "connection=Insertion variation=-1"},
    {kIns, "5A 02", "connection=System variation=-1"}, {kSys, "42 00 10", ""}, {kSys, "00 01", ""},
    {kSys, "0C 80", ""},
};
// clang-format on

TEST(XgImport, EffectBlockMessagesChangeTheirFieldsOnlyOthersNothing) {
    for (const auto& [connection, alAndData, changes] : kEffectBlockCases)
        EXPECT_EQ(Changes(connection, EffectMessage(alAndData)), changes)
            << (connection == kSys ? "System: " : "Insertion: ") << alAndData;
    // Another device or block address, a cut text and a type without its LSB change nothing; a
    // text lacking only its F7 still applies.
    for (const char* text :
         {"43 11 4C 02 01 0C 50 F7 ", "43 10 4C 02 00 00 01 00 F7 ", "43 10 4C 03 01 0C 50 F7 ",
          "43 10 4C 02 01 0C 5", "43 10 4C 02 01 20 48", "43 10 4C 02 01 40 06 "})
        EXPECT_EQ(Changes(kSys, text), "") << '"' << text << '"';
    EXPECT_EQ(Changes(kSys, "43 10 4C 02 01 0C 50"), "reverbReturn= 80");
    EXPECT_EQ(Changes(kSys, "43 10 4C 02 01 00 01 00"), "reverb=1");
}

// Every entry's code (MSB x 100 + LSB) must select that very entry when a song sends it, so that
// what the dialog shows and what the style sends agree.
TEST(EffectListFile, EveryCodeOfTheShippedFileSelectsItsOwnPositionOnImport) {
    const test::Bytes file = test::ReadFile(std::string(ZEPHRANE_DATA_DIR) + "/cbo3.dat");
    EffectLists lists;
    ParseEffectListFile(std::string(file.begin(), file.end()), lists);
    EXPECT_EQ(test::ErrorOf([&] { EffectCode(lists.insertionVariation, 75); }), 9);
    // Each list, its size, the address of its type, the connection it serves, the field it fills.
    const std::tuple<const std::vector<EffectListEntry>&, size_t, int, VariationConnection,
                     int EffectSettings::*>
        sections[] = {{lists.reverb, 24, 0x00, kSys, &EffectSettings::reverb},
                      {lists.chorus, 20, 0x20, kSys, &EffectSettings::chorus},
                      {lists.systemVariation, 102, 0x40, kSys, &EffectSettings::variation},
                      {lists.insertionVariation, 75, 0x40, kIns, &EffectSettings::variation}};
    for (const auto& [list, size, address, connection, field] : sections) {
        EXPECT_EQ(list.size(), size);
        for (size_t position = 0; position < list.size(); ++position) {
            if (&list == &lists.systemVariation && position == 81) continue;  // shares its type
            char type[16];
            std::snprintf(type, sizeof type, "%02X %02X %02X", address, list[position].code / 100,
                          list[position].code % 100);
            EffectSettings e;
            e.connection = connection;
            ImportXgMessage(e, EffectMessage(type));
            EXPECT_EQ(e.*field, static_cast<int>(position)) << list[position].name;
        }
    }
}

TEST(EffectListFile, DamagedFilesAreRunTimeFailuresKeepingWhatWasRead) {
    const std::pair<const char*, int> damaged[] = {{"No Effect,0\r\nHall 1,100\r\n", 9},
                                                   {"No Effect 0\r\n", 5},
                                                   {"No Effect,zero\r\n", 13},
                                                   {"No Effect,0x\r\n", 13}};
    for (const auto& [damagedText, error] : damaged) {
        const char* text = damagedText;  // a lambda may not capture a structured binding
        EffectLists lists;
        EXPECT_EQ(test::ErrorOf([&] { ParseEffectListFile(text, lists); }), error) << text;
    }
    EffectLists lists;
    EXPECT_THROW(ParseEffectListFile("No Effect,0\r\n\r\nHall 1, 100\r\n", lists), RuntimeError);
    ASSERT_EQ(lists.reverb.size(), 2u);  // empty lines are skipped, blanks around codes allowed
    EXPECT_EQ(lists.reverb[1].code, 100);
}

}  // namespace
}  // namespace zephrane
