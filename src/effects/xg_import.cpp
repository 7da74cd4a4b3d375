#include "effects/xg_import.h"

#include <optional>
#include <span>

#include "song/numbers.h"

namespace zephrane {
namespace {

// One row of a type table: the type's MSB (D1) and LSB (D2) and the list position it selects.
struct TypeEntry {
    int d1;
    int d2;  // kAnyD2: every LSB of this MSB selects the position
    int position;
};

constexpr int kAnyD2 = -1;

// Reverb types (AL 00).
constexpr TypeEntry kReverbTypes[] = {
    {0x01, 0x00, 1},    {0x01, 0x01, 2},    {0x01, 0x10, 3},    {0x01, 0x11, 4},
    {0x01, 0x12, 5},    {0x02, 0x00, 6},    {0x02, 0x10, 7},    {0x02, 0x01, 8},
    {0x02, 0x11, 9},    {0x02, 0x02, 10},   {0x02, 0x12, 11},   {0x02, 0x13, 12},
    {0x03, 0x00, 13},   {0x03, 0x10, 14},   {0x03, 0x01, 15},   {0x03, 0x11, 16},
    {0x04, 0x00, 17},   {0x04, 0x10, 18},   {0x04, 0x11, 19},   {0x10, kAnyD2, 20},
    {0x11, kAnyD2, 21}, {0x12, kAnyD2, 22}, {0x13, kAnyD2, 23},
};

// Chorus types (AL 20).
constexpr TypeEntry kChorusTypes[] = {
    {0x41, 0x00, 1},  {0x42, 0x11, 2},  {0x41, 0x01, 3},    {0x42, 0x10, 4},    {0x42, 0x08, 5},
    {0x41, 0x02, 6},  {0x42, 0x00, 7},  {0x42, 0x01, 8},    {0x41, 0x08, 9},    {0x42, 0x02, 10},
    {0x43, 0x00, 11}, {0x43, 0x08, 12}, {0x43, 0x10, 13},   {0x43, 0x11, 14},   {0x43, 0x01, 15},
    {0x44, 0x00, 16}, {0x44, 0x10, 17}, {0x48, kAnyD2, 18}, {0x57, kAnyD2, 19},
};

// Variation types (AL 40) while the variation is connected as a system effect. Reverse Gate
// (position 28) is XG type 0B 00, which its list entry carries; MSB 1B, not an XG type, selects
// it as well, as the table has always listed it there. Auto Wah+OD (4E 02, position 81) is
// selected by no type.
constexpr TypeEntry kSystemVariationTypes[] = {
    {0x01, 0x00, 1},    {0x01, 0x01, 2},    {0x01, 0x10, 3},    {0x01, 0x11, 4},
    {0x01, 0x12, 5},    {0x02, 0x00, 6},    {0x02, 0x10, 7},    {0x02, 0x01, 8},
    {0x02, 0x11, 9},    {0x02, 0x02, 10},   {0x02, 0x12, 11},   {0x02, 0x13, 12},
    {0x03, 0x00, 13},   {0x03, 0x10, 14},   {0x03, 0x01, 15},   {0x03, 0x11, 16},
    {0x04, 0x00, 17},   {0x04, 0x10, 18},   {0x04, 0x11, 19},   {0x05, 0x00, 20},
    {0x05, 0x10, 21},   {0x06, kAnyD2, 22}, {0x07, kAnyD2, 23}, {0x08, kAnyD2, 24},
    {0x09, 0x00, 25},   {0x09, 0x01, 26},   {0x0A, kAnyD2, 27}, {0x0B, kAnyD2, 28},
    {0x1B, kAnyD2, 28}, {0x10, kAnyD2, 29}, {0x11, kAnyD2, 30}, {0x12, kAnyD2, 31},
    {0x13, kAnyD2, 32}, {0x14, 0x00, 33},   {0x14, 0x01, 34},   {0x14, 0x02, 35},
    {0x41, 0x00, 36},   {0x42, 0x11, 37},   {0x41, 0x01, 38},   {0x42, 0x08, 39},
    {0x42, 0x10, 40},   {0x41, 0x02, 41},   {0x42, 0x01, 42},   {0x41, 0x08, 43},
    {0x42, 0x00, 44},   {0x42, 0x02, 45},   {0x43, 0x00, 46},   {0x43, 0x08, 47},
    {0x43, 0x01, 48},   {0x43, 0x10, 49},   {0x43, 0x11, 50},   {0x44, 0x00, 51},
    {0x44, 0x10, 52},   {0x45, 0x00, 53},   {0x45, 0x10, 54},   {0x47, 0x11, 55},
    {0x47, 0x12, 56},   {0x46, 0x11, 57},   {0x42, 0x12, 58},   {0x56, kAnyD2, 59},
    {0x46, 0x00, 60},   {0x46, 0x10, 61},   {0x47, 0x13, 62},   {0x47, 0x14, 63},
    {0x47, 0x00, 64},   {0x47, 0x10, 65},   {0x48, 0x08, 66},   {0x48, 0x00, 67},
    {0x49, 0x00, 68},   {0x49, 0x01, 69},   {0x4B, 0x10, 70},   {0x4B, 0x11, 71},
    {0x4A, kAnyD2, 72}, {0x4B, 0x00, 73},   {0x4C, 0x00, 74},   {0x4D, kAnyD2, 75},
    {0x4C, 0x10, 76},   {0x4C, 0x11, 77},   {0x4E, 0x00, 78},   {0x4E, 0x10, 79},
    {0x4E, 0x01, 80},   {0x50, 0x00, 82},   {0x50, 0x10, 83},   {0x51, kAnyD2, 84},
    {0x52, 0x00, 85},   {0x52, 0x08, 86},   {0x52, 0x01, 87},   {0x52, 0x02, 88},
    {0x53, kAnyD2, 89}, {0x54, kAnyD2, 90}, {0x55, kAnyD2, 91}, {0x57, kAnyD2, 92},
    {0x58, kAnyD2, 93}, {0x5D, kAnyD2, 94}, {0x5E, kAnyD2, 95}, {0x5F, 0x00, 96},
    {0x5F, 0x01, 97},   {0x60, 0x00, 98},   {0x60, 0x01, 99},   {0x61, 0x00, 100},
    {0x61, 0x01, 101},
};

// Variation types (AL 40) while the variation is an insertion effect on one part.
constexpr TypeEntry kInsertionVariationTypes[] = {
    {0x01, 0x00, 1},    {0x01, 0x01, 2},    {0x01, 0x10, 3},    {0x01, 0x11, 4},
    {0x01, 0x12, 5},    {0x02, 0x00, 6},    {0x02, 0x10, 7},    {0x02, 0x01, 8},
    {0x02, 0x11, 9},    {0x02, 0x02, 10},   {0x02, 0x12, 11},   {0x02, 0x13, 12},
    {0x03, 0x00, 13},   {0x03, 0x10, 14},   {0x03, 0x01, 15},   {0x03, 0x11, 16},
    {0x04, 0x00, 17},   {0x04, 0x10, 18},   {0x04, 0x11, 19},   {0x05, 0x00, 20},
    {0x05, 0x10, 21},   {0x06, kAnyD2, 22}, {0x07, kAnyD2, 23}, {0x08, kAnyD2, 24},
    {0x14, 0x00, 25},   {0x14, 0x01, 26},   {0x14, 0x02, 27},   {0x41, 0x00, 28},
    {0x42, 0x11, 29},   {0x41, 0x01, 30},   {0x42, 0x10, 31},   {0x41, 0x02, 32},
    {0x41, 0x08, 33},   {0x42, 0x00, 34},   {0x42, 0x01, 35},   {0x42, 0x02, 36},
    {0x42, 0x08, 37},   {0x43, 0x00, 38},   {0x43, 0x01, 39},   {0x43, 0x10, 40},
    {0x43, 0x08, 41},   {0x43, 0x11, 42},   {0x44, 0x00, 43},   {0x44, 0x10, 44},
    {0x45, 0x00, 45},   {0x45, 0x10, 46},   {0x47, 0x11, 47},   {0x47, 0x12, 48},
    {0x46, 0x11, 49},   {0x42, 0x12, 50},   {0x46, 0x00, 51},   {0x46, 0x10, 52},
    {0x47, 0x13, 53},   {0x47, 0x14, 54},   {0x47, 0x00, 55},   {0x47, 0x10, 56},
    {0x48, 0x00, 57},   {0x49, 0x00, 58},   {0x4B, 0x10, 59},   {0x4B, 0x11, 60},
    {0x4A, kAnyD2, 61}, {0x4B, 0x00, 62},   {0x4C, 0x00, 63},   {0x4D, kAnyD2, 64},
    {0x4C, 0x10, 65},   {0x4C, 0x11, 66},   {0x4E, 0x00, 67},   {0x4E, 0x10, 68},
    {0x51, kAnyD2, 69}, {0x52, 0x00, 70},   {0x52, 0x08, 71},   {0x53, kAnyD2, 72},
    {0x54, kAnyD2, 73}, {0x57, kAnyD2, 74},
};

// The new selection for type (d1, d2): an MSB the table does not know selects position 0
// ("No Effect"); a known MSB with an unknown LSB keeps the selection (nullopt).
std::optional<int> LookUpType(std::span<const TypeEntry> table, int d1, int d2) {
    bool knownMsb = false;
    for (const TypeEntry& entry : table) {
        if (entry.d1 != d1) continue;
        if (entry.d2 == kAnyD2 || entry.d2 == d2) return entry.position;
        knownMsb = true;
    }
    if (knownMsb) return std::nullopt;
    return 0;
}

void SelectType(int& selection, std::span<const TypeEntry> table, int d1, int d2) {
    if (const std::optional<int> position = LookUpType(table, d1, d2)) selection = *position;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Byte `index` of the message text (byte i is characters 3i and 3i + 1, 0-based). A byte whose
// two characters are missing or not hex digits, or that has bit 7 set, is not a data byte: in a
// SysEx only the closing F7 has bit 7 set. The message is taken to end there, so a message cut
// short, or one that closes before its data byte ("43 10 4C 02 01 0C F7 "), reads as missing
// and does not apply, rather than storing F7 as a value that would end the style's own SysEx.
std::optional<int> DataByte(std::string_view text, size_t index) {
    const size_t at = 3 * index;
    if (at + 1 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[at]);
    const int low = HexDigit(text[at + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    const int value = high * 16 + low;
    if (value >= 0x80) return std::nullopt;
    return value;
}

// Byte positions after F0: 43 (Yamaha), 10 (parameter change, device 0), 4C (XG), AH, AM, AL.
constexpr size_t kAhIndex = 3;
constexpr size_t kAmIndex = 4;
constexpr size_t kAlIndex = 5;
constexpr size_t kD1Index = 6;
constexpr size_t kD2Index = 7;

// The effect block's parameters (AL).
constexpr int kReverbType = 0x00;
constexpr int kReverbReturn = 0x0C;
constexpr int kChorusType = 0x20;
constexpr int kChorusReturn = 0x2C;
constexpr int kVariationType = 0x40;
constexpr int kVariationReturn = 0x56;
constexpr int kVariationPan = 0x57;
constexpr int kVariationSendToReverb = 0x58;
constexpr int kVariationSendToChorus = 0x59;
constexpr int kVariationConnection = 0x5A;
constexpr int kInsertionPart = 0x5B;

bool IsTypeParameter(int al) {
    return al == kReverbType || al == kChorusType || al == kVariationType;
}

}  // namespace

std::string SysExHexText(std::span<const uint8_t> data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(3 * data.size());
    for (const uint8_t byte : data) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
        text += ' ';
    }
    return text;
}

void ImportXgMessage(EffectSettings& effects, std::string_view hexText) {
    // Device number 0 and the effect block 02 01; the blanks between the bytes are not examined.
    if (!hexText.starts_with("43 10 4C")) return;
    if (DataByte(hexText, kAhIndex) != 0x02 || DataByte(hexText, kAmIndex) != 0x01) return;

    const std::optional<int> al = DataByte(hexText, kAlIndex);
    const std::optional<int> d1 = DataByte(hexText, kD1Index);
    if (!al || !d1) return;
    // The types carry MSB and LSB; a type message without its LSB does not apply.
    const std::optional<int> d2 = DataByte(hexText, kD2Index);
    if (IsTypeParameter(*al) && !d2) return;

    switch (*al) {
        case kReverbType:
            SelectType(effects.reverb, kReverbTypes, *d1, *d2);
            break;
        case kReverbReturn:
            effects.reverbReturn = BlankSigned(*d1);
            break;
        case kChorusType:
            SelectType(effects.chorus, kChorusTypes, *d1, *d2);
            break;
        case kChorusReturn:
            effects.chorusReturn = BlankSigned(*d1);
            break;
        case kVariationType:
            if (effects.connection == VariationConnection::System) {
                SelectType(effects.variation, kSystemVariationTypes, *d1, *d2);
            } else {
                SelectType(effects.variation, kInsertionVariationTypes, *d1, *d2);
            }
            break;
        case kVariationReturn:
            effects.variationReturn = BlankSigned(*d1);
            break;
        case kVariationPan:
            effects.pan = BlankSigned(*d1);
            break;
        case kVariationSendToReverb:
            effects.sendToReverb = BlankSigned(*d1);
            break;
        case kVariationSendToChorus:
            effects.sendToChorus = BlankSigned(*d1);
            break;
        case kVariationConnection: {
            // XG connection 0 is insertion, every other value system. Switching reloads the
            // variation list with the other connection's types, which clears its selection.
            const VariationConnection connection =
                *d1 == 0 ? VariationConnection::Insertion : VariationConnection::System;
            if (connection != effects.connection) {
                effects.connection = connection;
                effects.variation = -1;
            }
            break;
        }
        case kInsertionPart:
            // XG counts parts from 0; the dialog shows them from 1.
            effects.insertionPart = BlankSigned(*d1 + 1);
            break;
        default:
            break;
    }
}

}  // namespace zephrane
