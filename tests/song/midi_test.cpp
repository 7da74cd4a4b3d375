// The byte-level primitives every reader and writer of the program stands on: variable-length
// quantities, the bounds-checked byte image, checked numbers, Windows-1252 text.

#include "song/midi.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "song/byte_image.h"
#include "song/numbers.h"
#include "song/text_codec.h"
#include "support/error_of.h"

namespace zephrane {
namespace {

using test::ErrorOf;
using Bytes = std::vector<uint8_t>;

TEST(VariableLength, EachLengthsSmallestAndLargestValueRoundTrips) {
    // clang-format off
    const std::pair<int64_t, Bytes> quantities[] = {
        {0, {0x00}}, {0x7F, {0x7F}}, {0x80, {0x81, 0x00}}, {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}}, {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
        {0x200000, {0x81, 0x80, 0x80, 0x00}}, {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}}};
    // clang-format on
    for (const auto& [value, bytes] : quantities) {
        SCOPED_TRACE(value);
        const VariableLengthBytes written = EncodeVariableLength(value);
        EXPECT_EQ(Bytes(written.Span().begin(), written.Span().end()), bytes);
        // A byte after the quantity must stay unread.
        Bytes image = bytes;
        image.push_back(0x7F);
        int32_t pos = 0;
        EXPECT_EQ(ReadVariableLength(ByteImage(image), pos), value);
        EXPECT_EQ(pos, static_cast<int32_t>(bytes.size()) - 1);
    }
    EXPECT_EQ(ErrorOf([] { EncodeVariableLength(0x10000000); }), 6);
    EXPECT_EQ(ErrorOf([] { EncodeVariableLength(-1); }), 6);
}

// Loads of damaged files reach the bounds checks through reads; here the writes and the ends.
TEST(ByteImage, AccessOutsideTheImageIsASubscriptErrorAndAnUnfitLengthAnOverflow) {
    ByteImage image(Bytes(6, 0));
    image.WriteU32BE(1, 0x01020304);
    // clang-format off
    for (const auto& [number, access] : std::vector<std::pair<int, std::function<void()>>>{
             {9, [&] { image.At(6); }}, {9, [&] { image.At(-1); }}, {9, [&] { image.Set(6, 0); }},
             {9, [&] { image.Span(5, 2); }}, {9, [&] { image.InsertGap(7, 1); }},
             {9, [&] { image.WriteU32BE(3, 1); }},
             // A negative or a 33-bit value is named first.
             {6, [&] { image.WriteU32BE(1, int64_t{1} << 32); }}, {6, [&] { image.WriteU32BE(3, -1); }}})
        EXPECT_EQ(ErrorOf(access), number);
    // clang-format on
    EXPECT_EQ(image.Bytes(), (Bytes{0, 1, 2, 3, 4, 0}));
    image.InsertGap(6, 1);  // at the very end
    image.InsertGap(1, 1);
    EXPECT_EQ(image.Bytes(), (Bytes{0, 0, 1, 2, 3, 4, 0, 0}));
}

TEST(Numbers, BlankSignedRoundHalfEvenAndCheckedNarrowing) {
    EXPECT_EQ(BlankSigned(0) + BlankSigned(34) + BlankSigned(-1), " 0 34-1");
    EXPECT_EQ((std::vector<double>{RoundHalfEven(2.5), RoundHalfEven(3.5), RoundHalfEven(-2.5)}),
              (std::vector<double>{2, 4, -2}));
    EXPECT_EQ((std::vector<int>{CheckedInt16(119.5), CheckedInt16(120.5), CheckedInt16(32767)}),
              (std::vector<int>{120, 120, 32767}));
    EXPECT_EQ(ErrorOf([] { CheckedInt16(32768); }), 6);
    EXPECT_EQ(ErrorOf([] { CheckedInt32(1e10); }), 6);
}

TEST(TextCodec, Windows1252TextsSurviveARoundTrip) {
    const Bytes cafe = {'C', 'a', 'f', 0xE9};
    EXPECT_EQ(DecodeAnsi(cafe), "Caf\xC3\xA9");
    EXPECT_EQ(EncodeAnsi("Caf\xC3\xA9"), cafe);
    EXPECT_EQ(AnsiLength("Caf\xC3\xA9"), 4u);
    // 80 is the euro sign and 99 the trade mark in Windows-1252, not C1 controls.
    EXPECT_EQ(DecodeAnsi(Bytes{0x80, 0x99}), "\xE2\x82\xAC\xE2\x84\xA2");
    EXPECT_EQ(EncodeAnsi("\xE2\x82\xAC\xE2\x84\xA2"), (Bytes{0x80, 0x99}));
    // Bytes without a character (81, 8D, 8F, 90, 9D) still come back as themselves.
    EXPECT_EQ(EncodeAnsi(DecodeAnsi(Bytes{0x81, 0x9D})), (Bytes{0x81, 0x9D}));
    // Characters without a code, and malformed UTF-8, become question marks.
    EXPECT_EQ(EncodeAnsi("\xE6\x97\xA5 x\xFF"), (Bytes{'?', ' ', 'x', '?'}));
}

}  // namespace
}  // namespace zephrane
