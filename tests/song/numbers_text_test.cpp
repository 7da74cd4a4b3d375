#include <gtest/gtest.h>

#include "song/error.h"
#include "song/numbers.h"
#include "song/text_codec.h"

namespace zephrane {
namespace {

TEST(Numbers, BlankSignedPutsABlankBeforeZeroAndPositives) {
    EXPECT_EQ(BlankSigned(0), " 0");
    EXPECT_EQ(BlankSigned(34), " 34");
    EXPECT_EQ(BlankSigned(-1), "-1");
}

TEST(Numbers, RoundingTakesHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(CheckedInt16(119.5), 120);
    EXPECT_EQ(CheckedInt16(120.5), 120);
}

TEST(Numbers, NarrowingOutOfRangeIsOverflow) {
    EXPECT_EQ(CheckedInt16(32767), 32767);
    try {
        CheckedInt16(32768);
        FAIL() << "no overflow";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), 6);
    }
    EXPECT_THROW(CheckedInt32(1e10), RuntimeError);
}

TEST(TextCodec, Windows1252TextsSurviveARoundTrip) {
    const std::vector<uint8_t> cafe = {'C', 'a', 'f', 0xE9};
    EXPECT_EQ(DecodeAnsi(cafe), "Caf\xC3\xA9");
    EXPECT_EQ(EncodeAnsi("Caf\xC3\xA9"), cafe);
    // 80 is the euro sign and 99 the trade mark in Windows-1252, not C1 controls.
    EXPECT_EQ(DecodeAnsi(std::vector<uint8_t>{0x80, 0x99}), "\xE2\x82\xAC\xE2\x84\xA2");
    EXPECT_EQ(EncodeAnsi("\xE2\x82\xAC\xE2\x84\xA2"), (std::vector<uint8_t>{0x80, 0x99}));
    // Bytes without a character (81, 8D, 8F, 90, 9D) still come back as themselves.
    EXPECT_EQ(EncodeAnsi(DecodeAnsi(std::vector<uint8_t>{0x81, 0x9D})),
              (std::vector<uint8_t>{0x81, 0x9D}));
}

TEST(TextCodec, CharactersWithoutACodeBecomeQuestionMarks) {
    EXPECT_EQ(EncodeAnsi("\xE6\x97\xA5 x"), (std::vector<uint8_t>{'?', ' ', 'x'}));
    EXPECT_EQ(EncodeAnsi("\xFF"), (std::vector<uint8_t>{'?'}));  // malformed UTF-8
    EXPECT_EQ(AnsiLength("Caf\xC3\xA9"), 4u);
}

}  // namespace
}  // namespace zephrane
