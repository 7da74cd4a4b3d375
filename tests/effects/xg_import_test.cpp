#include "effects/xg_import.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace zephrane {
namespace {

constexpr int kNone = -1;

// The text of an XG effect-block parameter change for device 0: F0 43 10 4C 02 01, then
// `tail` (AL and the data bytes), then F7; the text holds the bytes after F0.
std::string EffectMessage(std::vector<uint8_t> tail) {
    std::vector<uint8_t> bytes = {0x43, 0x10, 0x4C, 0x02, 0x01};
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    bytes.push_back(0xF7);
    return SysExHexText(bytes);
}

EffectSettings Imported(EffectSettings effects, std::vector<uint8_t> tail) {
    ImportXgMessage(effects, EffectMessage(tail));
    return effects;
}

// Settings with every field holding a value, so that any change shows.
EffectSettings Filled(VariationConnection connection = VariationConnection::System) {
    EffectSettings effects;
    effects.reverb = 5;
    effects.reverbReturn = " 11";
    effects.chorus = 6;
    effects.chorusReturn = " 12";
    effects.connection = connection;
    effects.variation = 7;
    effects.insertionPart = " 13";
    effects.variationReturn = " 14";
    effects.pan = " 15";
    effects.sendToReverb = " 16";
    effects.sendToChorus = " 17";
    return effects;
}

auto Fields(const EffectSettings& e) {
    return std::tie(e.reverb, e.reverbReturn, e.chorus, e.chorusReturn, e.connection, e.variation,
                    e.insertionPart, e.variationReturn, e.pan, e.sendToReverb, e.sendToChorus);
}

void ExpectUnchanged(std::string_view text, VariationConnection connection) {
    EffectSettings effects = Filled(connection);
    ImportXgMessage(effects, text);
    EXPECT_TRUE(Fields(effects) == Fields(Filled(connection))) << '"' << text << '"';
}

void ExpectUnchanged(std::string_view text) {
    ExpectUnchanged(text, VariationConnection::System);
}

// Every list position that some type message (any D1, any D2) selects, starting from no
// selection, under the given connection.
std::set<int> ReachablePositions(uint8_t al, VariationConnection connection) {
    std::set<int> positions;
    for (int d1 = 0; d1 <= 0x7F; ++d1) {
        for (int d2 = 0; d2 <= 0x7F; ++d2) {
            EffectSettings effects;
            effects.connection = connection;
            ImportXgMessage(
                effects, EffectMessage({al, static_cast<uint8_t>(d1), static_cast<uint8_t>(d2)}));
            const int selected = al == 0x00   ? effects.reverb
                                 : al == 0x20 ? effects.chorus
                                              : effects.variation;
            if (selected != kNone) positions.insert(selected);
        }
    }
    return positions;
}

std::set<int> PositionsUpTo(int last) {
    std::set<int> positions;
    for (int p = 0; p <= last; ++p)
        positions.insert(p);
    return positions;
}

// --- The hex text handed over by the analysis scan ---

// Guards against lower-case digits, missing leading zeros or a missing blank after the closing
// F7, any of which would make the "43 10 4C" prefix test or the character positions miss.
TEST(SysExHexTextTest, EachByteIsTwoUpperCaseDigitsAndABlank) {
    const std::vector<uint8_t> message = {0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x00, 0xF7};
    EXPECT_EQ(SysExHexText(message), "43 10 4C 02 01 00 01 00 F7 ");
    const std::vector<uint8_t> digits = {0x0A, 0xFF, 0x00, 0x9B};
    EXPECT_EQ(SysExHexText(digits), "0A FF 00 9B ");
    EXPECT_EQ(SysExHexText({}), "");
}

// --- The one-byte parameters ---

// Guards against a parameter filling the wrong box, or a value without its leading blank.
TEST(XgImportTest, LevelParametersFillTheirBoxWithBlankSignedD1) {
    EXPECT_EQ(Imported({}, {0x0C, 0x50}).reverbReturn, " 80");
    EXPECT_EQ(Imported({}, {0x2C, 0x40}).chorusReturn, " 64");
    EXPECT_EQ(Imported({}, {0x56, 0x7F}).variationReturn, " 127");
    EXPECT_EQ(Imported({}, {0x57, 0x01}).pan, " 1");
    EXPECT_EQ(Imported({}, {0x58, 0x00}).sendToReverb, " 0");
    EXPECT_EQ(Imported({}, {0x59, 0x21}).sendToChorus, " 33");

    // Each message touches only its own box.
    EffectSettings expected = Filled();
    expected.pan = " 64";
    const EffectSettings effects = Imported(Filled(), {0x57, 0x40});
    EXPECT_TRUE(Fields(effects) == Fields(expected));
}

// Guards against showing XG's 0-based part number: the dialog counts parts from 1.
TEST(XgImportTest, InsertionPartIsD1PlusOne) {
    EXPECT_EQ(Imported({}, {0x5B, 0x02}).insertionPart, " 3");
    EXPECT_EQ(Imported({}, {0x5B, 0x00}).insertionPart, " 1");
    EXPECT_EQ(Imported({}, {0x5B, 0x0F}).insertionPart, " 16");
}

// Guards against acting on effect-block parameters outside the dialog (e.g. reverb time 02,
// variation parameter 42, or the byte just past a handled one).
TEST(XgImportTest, OtherParametersChangeNothing) {
    for (const uint8_t al :
         {0x01, 0x02, 0x0B, 0x0D, 0x21, 0x2B, 0x2D, 0x41, 0x42, 0x55, 0x5C, 0x70, 0x7F}) {
        ExpectUnchanged(EffectMessage({al, 0x00, 0x00}));
        ExpectUnchanged(EffectMessage({al, 0x01, 0x10}));
    }
}

// --- Type messages: the table rules ---

// Guards against a type message selecting the wrong list position in each of the four tables.
TEST(XgImportTest, TypeMessagesSelectTheirListPosition) {
    EXPECT_EQ(Imported({}, {0x00, 0x01, 0x00}).reverb, 1);
    EXPECT_EQ(Imported({}, {0x00, 0x02, 0x13}).reverb, 12);
    EXPECT_EQ(Imported({}, {0x00, 0x04, 0x11}).reverb, 19);
    EXPECT_EQ(Imported({}, {0x20, 0x41, 0x00}).chorus, 1);
    EXPECT_EQ(Imported({}, {0x20, 0x42, 0x08}).chorus, 5);
    EXPECT_EQ(Imported({}, {0x20, 0x44, 0x10}).chorus, 17);
    EXPECT_EQ(Imported({}, {0x40, 0x01, 0x00}).variation, 1);
    EXPECT_EQ(Imported({}, {0x40, 0x50, 0x00}).variation, 82);
    EXPECT_EQ(Imported({}, {0x40, 0x61, 0x01}).variation, 101);
    EffectSettings insertion;
    insertion.connection = VariationConnection::Insertion;
    EXPECT_EQ(Imported(insertion, {0x40, 0x14, 0x00}).variation, 25);
    EXPECT_EQ(Imported(insertion, {0x40, 0x4E, 0x10}).variation, 68);
    EXPECT_EQ(Imported(insertion, {0x40, 0x52, 0x08}).variation, 71);
}

// Guards against an unknown MSB leaving the old type in place: it selects "No Effect" (0),
// and so does type 00 (no effect), which no table lists.
TEST(XgImportTest, UnlistedMsbSelectsPositionZero) {
    EXPECT_EQ(Imported(Filled(), {0x00, 0x20, 0x00}).reverb, 0);
    EXPECT_EQ(Imported(Filled(), {0x00, 0x00, 0x00}).reverb, 0);
    EXPECT_EQ(Imported(Filled(), {0x20, 0x01, 0x00}).chorus, 0);
    EXPECT_EQ(Imported(Filled(), {0x20, 0x00, 0x00}).chorus, 0);
    EXPECT_EQ(Imported(Filled(), {0x40, 0x20, 0x00}).variation, 0);
    EXPECT_EQ(Imported(Filled(), {0x40, 0x00, 0x00}).variation, 0);
    // Early Ref (09) is a system-only type.
    EXPECT_EQ(Imported(Filled(VariationConnection::Insertion), {0x40, 0x09, 0x00}).variation, 0);
}

// Guards against a known MSB with an unknown LSB selecting anything: the selection stays.
TEST(XgImportTest, ListedMsbWithUnlistedLsbKeepsTheSelection) {
    EXPECT_EQ(Imported({}, {0x00, 0x01, 0x05}).reverb, kNone);
    EXPECT_EQ(Imported(Filled(), {0x00, 0x01, 0x05}).reverb, 5);
    EXPECT_EQ(Imported(Filled(), {0x20, 0x41, 0x05}).chorus, 6);
    EXPECT_EQ(Imported(Filled(), {0x40, 0x14, 0x03}).variation, 7);
    // Auto Wah+OD (4E 02) has a list entry but no type selects it.
    EXPECT_EQ(Imported(Filled(), {0x40, 0x4E, 0x02}).variation, 7);
    // Auto Wah+Dist (4E 01) is a system-only variant of a type the insertion list has.
    EXPECT_EQ(Imported(Filled(VariationConnection::Insertion), {0x40, 0x4E, 0x01}).variation, 7);
}

// Guards against "any" entries examining D2, and against them shadowing an MSB whose LSBs are
// listed one by one elsewhere (Phaser 48: any LSB for chorus, 00 and 08 only as a variation).
TEST(XgImportTest, AnyEntriesIgnoreTheLsb) {
    EXPECT_EQ(Imported({}, {0x00, 0x10, 0x7F}).reverb, 20);
    EXPECT_EQ(Imported({}, {0x00, 0x13, 0x05}).reverb, 23);
    EXPECT_EQ(Imported({}, {0x20, 0x48, 0x08}).chorus, 18);
    EXPECT_EQ(Imported({}, {0x20, 0x57, 0x33}).chorus, 19);
    EXPECT_EQ(Imported({}, {0x40, 0x4A, 0x12}).variation, 72);
    EXPECT_EQ(Imported({}, {0x40, 0x5E, 0x01}).variation, 95);
    EXPECT_EQ(Imported({}, {0x40, 0x48, 0x08}).variation, 66);
    EXPECT_EQ(Imported({}, {0x40, 0x48, 0x01}).variation, kNone);
    EffectSettings insertion;
    insertion.connection = VariationConnection::Insertion;
    EXPECT_EQ(Imported(insertion, {0x40, 0x57, 0x33}).variation, 74);
    EXPECT_EQ(Imported(insertion, {0x40, 0x4D, 0x01}).variation, 64);
    EXPECT_EQ(Imported(insertion, {0x40, 0x48, 0x08}).variation, kNone);
}

// Guards against losing Reverse Gate: its XG type 0B 00 (the code its list entry carries) and
// the MSB 1B both select System position 28; neither is an insertion type.
TEST(XgImportTest, ReverseGateIsReachableByItsXgType) {
    EXPECT_EQ(Imported({}, {0x40, 0x0B, 0x00}).variation, 28);
    EXPECT_EQ(Imported({}, {0x40, 0x1B, 0x00}).variation, 28);
    EffectSettings insertion;
    insertion.connection = VariationConnection::Insertion;
    EXPECT_EQ(Imported(insertion, {0x40, 0x0B, 0x00}).variation, 0);
    EXPECT_EQ(Imported(insertion, {0x40, 0x1B, 0x00}).variation, 0);
}

// Guards against a mistyped position in a table: over all 128 x 128 types, the positions
// selected are exactly the list's (24 reverb, 20 chorus, 102 System and 75 Insertion
// entries), none beyond its end, with only System position 81 out of reach.
TEST(XgImportTest, TypesReachEveryListPositionAndNoOther) {
    EXPECT_EQ(ReachablePositions(0x00, VariationConnection::System), PositionsUpTo(23));
    EXPECT_EQ(ReachablePositions(0x20, VariationConnection::System), PositionsUpTo(19));
    std::set<int> system = PositionsUpTo(101);
    system.erase(81);
    EXPECT_EQ(ReachablePositions(0x40, VariationConnection::System), system);
    EXPECT_EQ(ReachablePositions(0x40, VariationConnection::Insertion), PositionsUpTo(74));
}

// --- Variation connection ---

// Guards against looking the variation type up in a fixed table: the connection selected when
// the message arrives decides (Karaoke 1 is System 33, Insertion 25).
TEST(XgImportTest, VariationTypeFollowsTheCurrentConnection) {
    EffectSettings effects;
    ImportXgMessage(effects, EffectMessage({0x40, 0x14, 0x00}));
    EXPECT_EQ(effects.variation, 33);
    ImportXgMessage(effects, EffectMessage({0x5A, 0x00}));
    ImportXgMessage(effects, EffectMessage({0x40, 0x14, 0x00}));
    EXPECT_EQ(effects.connection, VariationConnection::Insertion);
    EXPECT_EQ(effects.variation, 25);
}

// Guards against keeping a variation position that belongs to the other list: a connection
// change reloads the list, so the type selection is cleared, in both directions.
TEST(XgImportTest, ChangingTheConnectionClearsTheVariationType) {
    EffectSettings effects;
    ImportXgMessage(effects, EffectMessage({0x40, 0x01, 0x00}));
    ASSERT_EQ(effects.variation, 1);
    ImportXgMessage(effects, EffectMessage({0x5A, 0x00}));
    EXPECT_EQ(effects.connection, VariationConnection::Insertion);
    EXPECT_EQ(effects.variation, kNone);

    ImportXgMessage(effects, EffectMessage({0x40, 0x01, 0x00}));
    ASSERT_EQ(effects.variation, 1);
    ImportXgMessage(effects, EffectMessage({0x5A, 0x01}));
    EXPECT_EQ(effects.connection, VariationConnection::System);
    EXPECT_EQ(effects.variation, kNone);
}

// Guards against treating only 01 as System, or against re-selecting the current connection
// clearing the type: XG connection 0 is insertion, every other value system.
TEST(XgImportTest, SelectingTheCurrentConnectionChangesNothing) {
    ExpectUnchanged(EffectMessage({0x5A, 0x01}), VariationConnection::System);
    ExpectUnchanged(EffectMessage({0x5A, 0x7F}), VariationConnection::System);
    ExpectUnchanged(EffectMessage({0x5A, 0x00}), VariationConnection::Insertion);

    const EffectSettings effects = Imported(Filled(VariationConnection::Insertion), {0x5A, 0x02});
    EXPECT_EQ(effects.connection, VariationConnection::System);
    EXPECT_EQ(effects.variation, kNone);
}

// Guards against the connection change clearing anything but the type: levels, send amounts
// and the insertion part stay.
TEST(XgImportTest, ConnectionChangeKeepsTheOtherFields) {
    EffectSettings expected = Filled(VariationConnection::Insertion);
    expected.variation = kNone;
    const EffectSettings effects = Imported(Filled(), {0x5A, 0x00});
    EXPECT_TRUE(Fields(effects) == Fields(expected));
}

// --- Messages that do not apply ---

// Guards against importing messages for another device, another address block, another model
// or another kind of SysEx.
TEST(XgImportTest, OtherDevicesAndBlocksAreIgnored) {
    ExpectUnchanged("43 11 4C 02 01 00 01 00 F7 ");  // device 1
    ExpectUnchanged("43 11 4C 02 01 0C 50 F7 ");
    ExpectUnchanged("43 10 4C 02 00 00 01 00 F7 ");  // block 02 00
    ExpectUnchanged("43 10 4C 02 40 00 01 00 F7 ");  // block 02 40 (EQ)
    ExpectUnchanged("43 10 4C 00 01 0C 50 F7 ");     // block 00 01
    ExpectUnchanged("43 10 4C 08 01 0C 50 F7 ");     // multi part block
    ExpectUnchanged("43 10 4C 03 01 0C 50 F7 ");     // insertion effect block
    ExpectUnchanged("43 10 4B 02 01 0C 50 F7 ");     // another model ID
    ExpectUnchanged("43 00 4C 02 01 0C 50 F7 ");     // bulk dump
    ExpectUnchanged("7E 7F 09 01 F7 ");              // GM System On
    ExpectUnchanged("");
}

// Guards against reading past the end of a cut-off or empty-data message, and against storing
// the closing F7 (or any byte with bit 7 set) as a value, which the style's own SysEx could not
// carry: the message does not apply.
TEST(XgImportTest, MessagesTooShortForTheirDataChangeNothing) {
    ExpectUnchanged("43 10 4C");
    ExpectUnchanged("43 10 4C ");
    ExpectUnchanged("43 10 4C 0");
    ExpectUnchanged("43 10 4C 02 0");
    ExpectUnchanged("43 10 4C 02 01 ");
    ExpectUnchanged("43 10 4C 02 01 F7 ");
    ExpectUnchanged("43 10 4C 02 01 0C");
    ExpectUnchanged("43 10 4C 02 01 0C ");
    ExpectUnchanged("43 10 4C 02 01 0C 5");
    ExpectUnchanged("43 10 4C 02 01 0C F7 ");
    ExpectUnchanged("43 10 4C 02 01 5B F7 ");
    ExpectUnchanged("43 10 4C 02 01 0C 80 F7 ");
    ExpectUnchanged("43 10 4C 02 01 5A F7 ", VariationConnection::System);
    ExpectUnchanged("43 10 4C 02 01 5A F7 ", VariationConnection::Insertion);
    // A type needs both bytes: not even an unlisted or "any" MSB applies without its LSB.
    ExpectUnchanged("43 10 4C 02 01 00 01 F7 ");
    ExpectUnchanged("43 10 4C 02 01 00 20 F7 ");
    ExpectUnchanged("43 10 4C 02 01 00 10 F7 ");
    ExpectUnchanged("43 10 4C 02 01 20 48");
    ExpectUnchanged("43 10 4C 02 01 40 06 ");
}

// Guards against demanding more than a message's parameter reads: a level needs only D1, and a
// text lacking just the closing F7 still applies.
TEST(XgImportTest, MessagesHoldingTheirDataApplyWithoutTheClosingF7) {
    EffectSettings effects;
    ImportXgMessage(effects, "43 10 4C 02 01 0C 50");
    EXPECT_EQ(effects.reverbReturn, " 80");
    ImportXgMessage(effects, "43 10 4C 02 01 00 01 00");
    EXPECT_EQ(effects.reverb, 1);
}

// --- Whole songs' worth of messages, as the analysis scan hands them over ---

// Guards against the documented examples drifting: reverb Hall 1, then an unknown Hall LSB that
// keeps it, then an unknown MSB that gives "No Effect"; a return of 80 with its blank.
TEST(XgImportTest, ReverbExamplesFromRawMessages) {
    EffectSettings effects;
    const std::vector<uint8_t> unknownLsb = {0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x05, 0xF7};
    ImportXgMessage(effects, SysExHexText(unknownLsb));
    EXPECT_EQ(effects.reverb, kNone);
    const std::vector<uint8_t> hall1 = {0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x00, 0xF7};
    ImportXgMessage(effects, SysExHexText(hall1));
    EXPECT_EQ(effects.reverb, 1);
    ImportXgMessage(effects, "43 10 4C 02 01 00 01 05 F7 ");
    EXPECT_EQ(effects.reverb, 1);
    ImportXgMessage(effects, "43 10 4C 02 01 00 20 00 F7 ");
    EXPECT_EQ(effects.reverb, 0);
    ImportXgMessage(effects, "43 10 4C 02 01 0C 50 F7 ");
    EXPECT_EQ(effects.reverbReturn, " 80");
}

}  // namespace
}  // namespace zephrane
