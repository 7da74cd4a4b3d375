#include "effects/xg_import.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// Every field as "name=value".
// clang-format off
std::vector<std::string> Fields(const EffectSettings& e) {
    return {"reverb=" + std::to_string(e.reverb), "reverbReturn=" + e.reverbReturn,
            "chorus=" + std::to_string(e.chorus), "chorusReturn=" + e.chorusReturn,
            e.connection == kSys ? "connection=System" : "connection=Insertion",
            "variation=" + std::to_string(e.variation), "insertionPart=" + e.insertionPart,
            "variationReturn=" + e.variationReturn, "pan=" + e.pan,
            "sendToReverb=" + e.sendToReverb, "sendToChorus=" + e.sendToChorus};
}
// clang-format on

// The fields `text` changes in settings with every field filled (reverb 5, chorus 6, variation 7).
std::string Changes(VariationConnection connection, const std::string& text) {
    EffectSettings e{5, " 11", 6, " 12", connection, 7, " 13", " 14", " 15", " 16", " 17"};
    const std::vector<std::string> before = Fields(e);
    ImportXgMessage(e, text);
    const std::vector<std::string> after = Fields(e);
    std::string changes;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) changes += (changes.empty() ? "" : " ") + after[i];
    return changes;
}

// An XG effect-block parameter change for device 0: F0 43 10 4C 02 01, AL and data, F7.
std::string EffectMessage(const std::string& alAndData) {
    return "43 10 4C 02 01 " + alAndData + " F7 ";
}

// Beyond the listed types' positions (checked against the shipped effect list) these rows pin: the
// one-byte values (blank-signed D1, the insertion part from 1); "No Effect" (0) for an unlisted
// MSB, type 00 and the system-only Early Ref under insertion; a listed MSB with an unlisted LSB
// keeping the selection (4E 02: an entry no type selects, 4E 01: system-only); "any" entries
// ignoring the LSB without shadowing MSBs listed LSB by LSB; Reverse Gate (0B 00, 1B) system only;
// the connection in force (Karaoke 1: System 33, Insertion 25), a change (XG 0 is insertion)
// clearing the variation type only; other parameters, cut data and bit 7 changing nothing.
// clang-format off
const std::tuple<VariationConnection, const char*, const char*> kEffectBlockCases[] = {
    {kSys, "0C 50", "reverbReturn= 80"}, {kSys, "2C 40", "chorusReturn= 64"},
    {kSys, "56 7F", "variationReturn= 127"}, {kSys, "57 01", "pan= 1"},
    {kSys, "58 00", "sendToReverb= 0"}, {kSys, "59 21", "sendToChorus= 33"},
    {kSys, "5B 00", "insertionPart= 1"}, {kSys, "5B 0F", "insertionPart= 16"},
    {kSys, "00 20 00", "reverb=0"}, {kSys, "00 00 00", "reverb=0"}, {kSys, "20 01 00", "chorus=0"},
    {kSys, "20 00 00", "chorus=0"}, {kSys, "40 20 00", "variation=0"},
    {kSys, "40 00 00", "variation=0"}, {kIns, "40 09 00", "variation=0"}, {kSys, "00 01 05", ""},
    {kSys, "20 41 05", ""}, {kSys, "40 14 03", ""}, {kSys, "40 4E 02", ""}, {kIns, "40 4E 01", ""},
    {kSys, "00 10 7F", "reverb=20"}, {kSys, "00 13 05", "reverb=23"},
    {kSys, "20 48 08", "chorus=18"}, {kSys, "20 57 33", "chorus=19"},
    {kSys, "40 4A 12", "variation=72"}, {kSys, "40 5E 01", "variation=95"},
    {kSys, "40 48 08", "variation=66"}, {kSys, "40 48 01", ""}, {kIns, "40 57 33", "variation=74"},
    {kIns, "40 4D 01", "variation=64"}, {kIns, "40 48 08", ""}, {kSys, "40 0B 00", "variation=28"},
    {kSys, "40 1B 00", "variation=28"}, {kIns, "40 0B 00", "variation=0"},
    {kIns, "40 1B 00", "variation=0"}, {kSys, "40 14 00", "variation=33"},
    {kIns, "40 14 00", "variation=25"}, {kSys, "5A 00", "connection=Insertion variation=-1"},
    {kIns, "5A 02", "connection=System variation=-1"}, {kSys, "5A 01", ""}, {kSys, "5A 7F", ""},
    {kIns, "5A 00", ""}, {kSys, "02 05", ""}, {kSys, "42 00 10", ""}, {kSys, "0B 01", ""},
    {kSys, "0D 01", ""}, {kSys, "2B 01", ""}, {kSys, "55 01", ""}, {kSys, "5C 01", ""},
    {kSys, "7F 01", ""}, {kSys, "0C", ""}, {kSys, "0C 80", ""}, {kSys, "5B", ""}, {kSys, "5A", ""},
    {kIns, "5A", ""}, {kSys, "00 01", ""}, {kSys, "00 20", ""}, {kSys, "00 10", ""},
};
// clang-format on

TEST(XgImport, EffectBlockMessagesChangeTheirFieldsOnly) {
    for (const auto& [connection, alAndData, changes] : kEffectBlockCases)
        EXPECT_EQ(Changes(connection, EffectMessage(alAndData)), changes)
            << (connection == kSys ? "System: " : "Insertion: ") << alAndData;
}

// Other devices, blocks, models or kinds of SysEx and cut texts change nothing; a text lacking
// only its F7 still applies.
TEST(XgImport, OtherMessagesAndCutTextsChangeNothing) {
    // clang-format off
    for (const char* text : {
             "43 11 4C 02 01 00 01 00 F7 ", "43 11 4C 02 01 0C 50 F7 ", "43 10 4C 02 00 00 01 00 F7 ",
             "43 10 4C 02 40 00 01 00 F7 ", "43 10 4C 00 01 0C 50 F7 ", "43 10 4C 08 01 0C 50 F7 ",
             "43 10 4C 03 01 0C 50 F7 ", "43 10 4B 02 01 0C 50 F7 ", "43 00 4C 02 01 0C 50 F7 ",
             "7E 7F 09 01 F7 ", "", "43 10 4C", "43 10 4C ", "43 10 4C 0", "43 10 4C 02 0",
             "43 10 4C 02 01 ", "43 10 4C 02 01 F7 ", "43 10 4C 02 01 0C", "43 10 4C 02 01 0C ",
             "43 10 4C 02 01 0C 5", "43 10 4C 02 01 20 48", "43 10 4C 02 01 40 06 "})
        // clang-format on
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
    // Each list, its size, the parameter address of its type and the connection it serves.
    const std::tuple<const std::vector<EffectListEntry>&, size_t, int, VariationConnection>
        sections[] = {{lists.reverb, 24, 0x00, kSys},
                      {lists.chorus, 20, 0x20, kSys},
                      {lists.systemVariation, 102, 0x40, kSys},
                      {lists.insertionVariation, 75, 0x40, kIns}};
    for (const auto& [list, size, address, connection] : sections) {
        EXPECT_EQ(list.size(), size);
        for (size_t position = 0; position < list.size(); ++position) {
            if (&list == &lists.systemVariation && position == 81) continue;  // shares its type
            char type[16];
            std::snprintf(type, sizeof type, "%02X %02X %02X", address, list[position].code / 100,
                          list[position].code % 100);
            EffectSettings e;
            e.connection = connection;
            ImportXgMessage(e, EffectMessage(type));
            const int selected = address == 0x00   ? e.reverb
                                 : address == 0x20 ? e.chorus
                                                   : e.variation;
            EXPECT_EQ(selected, static_cast<int>(position)) << list[position].name;
        }
    }
}

TEST(EffectListFile, DamagedFilesAreRunTimeFailuresKeepingWhatWasRead) {
    // clang-format off
    const std::pair<const char*, int> damaged[] = {{"No Effect,0\r\nHall 1,100\r\n", 9},
        {"No Effect 0\r\n", 5}, {"No Effect,zero\r\n", 13}, {"No Effect,0x\r\n", 13}};
    // clang-format on
    for (const auto& [text, error] : damaged) {
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
