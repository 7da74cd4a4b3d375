#include "song/byte_image.h"

#include <gtest/gtest.h>

#include "song/error.h"
#include "support/error_of.h"

namespace zephrane {
namespace {

using test::ErrorOf;

TEST(ByteImage, ReadsAndWritesOutsideTheImageAreSubscriptErrors) {
    ByteImage image({1, 2, 3});
    EXPECT_EQ(ErrorOf([&] { image.At(3); }), 9);
    EXPECT_EQ(ErrorOf([&] { image.At(-1); }), 9);
    EXPECT_EQ(ErrorOf([&] { image.Set(3, 0); }), 9);
    EXPECT_EQ(ErrorOf([&] { image.ReadU32BE(0); }), 9);
    EXPECT_EQ(ErrorOf([&] { image.Span(2, 2); }), 9);
    EXPECT_EQ(ErrorOf([&] { image.InsertGap(4, 1); }), 9);
    EXPECT_EQ(image.Bytes(), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(ByteImage, InsertGapShiftsTheTailUpAndZeroFillsTheGap) {
    ByteImage image({1, 2, 3, 4});
    image.InsertGap(2, 3);
    EXPECT_EQ(image.Bytes(), (std::vector<uint8_t>{1, 2, 0, 0, 0, 3, 4}));
    image.InsertGap(7, 1);  // at the very end
    EXPECT_EQ(image.Bytes().back(), 0);
}

TEST(ByteImage, BigEndianWordsRoundTrip) {
    ByteImage image(std::vector<uint8_t>(6, 0));
    image.WriteU32BE(1, 0x01020304);
    EXPECT_EQ(image.Bytes(), (std::vector<uint8_t>{0, 1, 2, 3, 4, 0}));
    EXPECT_EQ(image.ReadU32BE(1), 0x01020304u);
    EXPECT_EQ(image.ReadU16BE(1), 0x0102);
    EXPECT_EQ(ErrorOf([&] { image.WriteU32BE(3, 1); }), 9);
    // A length field cannot hold a negative or a 33-bit value; that fault is named first.
    EXPECT_EQ(ErrorOf([&] { image.WriteU32BE(1, int64_t{1} << 32); }), 6);
    EXPECT_EQ(ErrorOf([&] { image.WriteU32BE(3, -1); }), 6);
    EXPECT_EQ(image.Bytes(), (std::vector<uint8_t>{0, 1, 2, 3, 4, 0}));
}

}  // namespace
}  // namespace zephrane
