#include "song/midi.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/error_of.h"

namespace zephrane {
namespace {

using test::ErrorOf;

struct Quantity {
    int64_t value;
    std::vector<uint8_t> bytes;  // written by hand from the format's definition
};

class VariableLengthTest : public testing::TestWithParam<Quantity> {};

TEST_P(VariableLengthTest, WritesTheBytesAndReadsThemBack) {
    const Quantity& q = GetParam();
    const VariableLengthBytes written = EncodeVariableLength(q.value);
    EXPECT_EQ(std::vector<uint8_t>(written.Span().begin(), written.Span().end()), q.bytes);
    // A byte after the quantity must stay unread.
    std::vector<uint8_t> image = q.bytes;
    image.push_back(0x7F);
    int32_t pos = 0;
    EXPECT_EQ(ReadVariableLength(ByteImage(image), pos), q.value);
    EXPECT_EQ(pos, static_cast<int32_t>(q.bytes.size()) - 1);
}

// Each length's smallest and largest value.
INSTANTIATE_TEST_SUITE_P(EveryLength, VariableLengthTest,
                         testing::Values(Quantity{0, {0x00}}, Quantity{0x7F, {0x7F}},
                                         Quantity{0x80, {0x81, 0x00}},
                                         Quantity{0x3FFF, {0xFF, 0x7F}},
                                         Quantity{0x4000, {0x81, 0x80, 0x00}},
                                         Quantity{0x1FFFFF, {0xFF, 0xFF, 0x7F}},
                                         Quantity{0x200000, {0x81, 0x80, 0x80, 0x00}},
                                         Quantity{0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}}));

TEST(VariableLength, ValuesTheFourBytesCannotHoldAreOverflows) {
    EXPECT_EQ(ErrorOf([] { EncodeVariableLength(0x10000000); }), 6);
    EXPECT_EQ(ErrorOf([] { EncodeVariableLength(-1); }), 6);
}

TEST(ChannelMessage, DataBytesFollowTheKind) {
    // Program change and channel pressure carry one data byte, the other kinds two; status
    // nibbles below 8 are data bytes and F is a system status, neither a channel message.
    const int expected[16] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 1, 1, 2, 0};
    for (int kind = 0; kind < 16; ++kind)
        EXPECT_EQ(DataBytesOfKind(kind), expected[kind]) << kind;
    EXPECT_EQ(ChannelStatus(message_kind::kProgramChange, 9), 0xC9);
}

}  // namespace
}  // namespace zephrane
