#include <gtest/gtest.h>

#include "song/numbers.h"
#include "song/text_codec.h"
#include "support/error_of.h"

namespace zephrane {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Numbers, BlankSignedRoundHalfEvenAndCheckedNarrowing) {
    EXPECT_EQ(BlankSigned(0) + BlankSigned(34) + BlankSigned(-1), " 0 34-1");
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(CheckedInt16(119.5), 120);
    EXPECT_EQ(CheckedInt16(120.5), 120);
    EXPECT_EQ(CheckedInt16(32767), 32767);
    EXPECT_EQ(test::ErrorOf([] { CheckedInt16(32768); }), 6);
    EXPECT_EQ(test::ErrorOf([] { CheckedInt32(1e10); }), 6);
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
