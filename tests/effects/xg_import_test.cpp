#include "effects/xg_import.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zephrane {
namespace {

constexpr auto kSys = VariationConnection::System;
constexpr auto kIns = VariationConnection::Insertion;

// Every field as "name=value", from settings with every field holding a value (reverb 5,
// chorus 6, variation 7 selected) so that any change shows.
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

// The fields that `text` changes in filled settings of `connection`, in field order.
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

struct ImportCase {
    VariationConnection connection;
    const char* alAndData;
    const char* changes;
};

// The type positions of the listed types are checked against the shipped effect list; these rows
// pin what the list cannot show.
// clang-format off
const ImportCase kEffectBlockCases[] = {
    // One-byte levels fill their box with the blank-signed D1; the insertion part counts from 1.
    {kSys, "0C 50", "reverbReturn= 80"}, {kSys, "2C 40", "chorusReturn= 64"},
    {kSys, "56 7F", "variationReturn= 127"}, {kSys, "57 01", "pan= 1"},
    {kSys, "58 00", "sendToReverb= 0"}, {kSys, "59 21", "sendToChorus= 33"},
    {kSys, "5B 00", "insertionPart= 1"}, {kSys, "5B 0F", "insertionPart= 16"},
    // Hall 1; an unlisted MSB, and type 00 (no effect), select "No Effect" (0); Early Ref (09)
    // is a system-only type.
    {kSys, "00 01 00", "reverb=1"}, {kSys, "00 20 00", "reverb=0"}, {kSys, "00 00 00", "reverb=0"},
    {kSys, "20 01 00", "chorus=0"}, {kSys, "20 00 00", "chorus=0"},
    {kSys, "40 20 00", "variation=0"}, {kSys, "40 00 00", "variation=0"},
    {kIns, "40 09 00", "variation=0"},
    // A listed MSB with an unlisted LSB keeps the selection (Auto Wah+OD 4E 02 has an entry but
    // no type selects it; Auto Wah+Dist 4E 01 is system-only).
    {kSys, "00 01 05", ""}, {kSys, "20 41 05", ""}, {kSys, "40 14 03", ""},
    {kSys, "40 4E 02", ""}, {kIns, "40 4E 01", ""},
    // "Any" entries ignore the LSB, without shadowing MSBs listed LSB by LSB elsewhere.
    {kSys, "00 10 7F", "reverb=20"}, {kSys, "00 13 05", "reverb=23"},
    {kSys, "20 48 08", "chorus=18"}, {kSys, "20 57 33", "chorus=19"},
    {kSys, "40 4A 12", "variation=72"}, {kSys, "40 5E 01", "variation=95"},
    {kSys, "40 48 08", "variation=66"}, {kSys, "40 48 01", ""},
    {kIns, "40 57 33", "variation=74"}, {kIns, "40 4D 01", "variation=64"}, {kIns, "40 48 08", ""},
    // Reverse Gate: its XG type 0B 00 and the MSB 1B; neither is an insertion type.
    {kSys, "40 0B 00", "variation=28"}, {kSys, "40 1B 00", "variation=28"},
    {kIns, "40 0B 00", "variation=0"}, {kIns, "40 1B 00", "variation=0"},
    // The connection in force picks the variation list (Karaoke 1 is System 33, Insertion 25);
    // changing it (XG 0 is insertion, any other value system) clears the variation type only.
    {kSys, "40 14 00", "variation=33"}, {kIns, "40 14 00", "variation=25"},
    {kSys, "5A 00", "connection=Insertion variation=-1"},
    {kIns, "5A 02", "connection=System variation=-1"},
    {kSys, "5A 01", ""}, {kSys, "5A 7F", ""}, {kIns, "5A 00", ""},
    // Parameters outside the dialog change nothing; nor does a message whose data is cut short
    // or has bit 7 set: a type needs both bytes, even an unlisted or "any" MSB.
    {kSys, "02 05", ""}, {kSys, "42 00 10", ""}, {kSys, "0C", ""}, {kSys, "0C 80", ""},
    {kSys, "5B", ""}, {kSys, "5A", ""}, {kIns, "5A", ""}, {kSys, "00 01", ""},
    {kSys, "00 20", ""}, {kSys, "00 10", ""},
};
// clang-format on

TEST(XgImport, EffectBlockMessagesChangeTheirFieldsOnly) {
    for (const ImportCase& c : kEffectBlockCases)
        EXPECT_EQ(Changes(c.connection, EffectMessage(c.alAndData)), c.changes)
            << (c.connection == kSys ? "System: " : "Insertion: ") << c.alAndData;
}

// Guards against importing messages for another device, block, model or kind of SysEx, and
// against reading past the end of a cut-off text; a text lacking only its F7 still applies.
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
    for (const int al : {0x01, 0x0B, 0x0D, 0x21, 0x2B, 0x2D, 0x41, 0x55, 0x5C, 0x70, 0x7F}) {
        char text[32];
        std::snprintf(text, sizeof text, "43 10 4C 02 01 %02X 01 10 F7 ", al);
        EXPECT_EQ(Changes(kSys, text), "") << text;
    }
}

// Guards against lower-case digits, missing leading zeros or a missing blank after the closing
// F7, any of which would make the "43 10 4C" prefix test or the character positions miss.
TEST(XgImport, SysExHexTextIsTwoUpperCaseDigitsAndABlankPerByte) {
    EXPECT_EQ(SysExHexText(std::vector<uint8_t>{0x43, 0x0A, 0xFF, 0x00, 0x9B, 0xF7}),
              "43 0A FF 00 9B F7 ");
    EXPECT_EQ(SysExHexText({}), "");
}

}  // namespace
}  // namespace zephrane
