// The byte-level primitives every reader and writer of the program stands on.

#include "song/midi.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "song/byte_image.h"
#include "support/error_of.h"

namespace zephrane {
namespace {

using test::ErrorOf;
using Bytes = std::vector<uint8_t>;

TEST(VariableLength, EachLengthsSmallestAndLargestValueRoundTrips) {
    const std::pair<int64_t, Bytes> quantities[] = {
        {0, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0x81, 0x00}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}},
        {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
        {0x200000, {0x81, 0x80, 0x80, 0x00}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
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

TEST(ChannelMessage, DataBytesFollowTheKind) {
    // Program change and channel pressure carry one data byte, the other kinds two; status
    // nibbles below 8 are data bytes and F is a system status, neither a channel message.
    const int expected[16] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 2, 2, 1, 1, 2, 0};
    for (int kind = 0; kind < 16; ++kind)
        EXPECT_EQ(DataBytesOfKind(kind), expected[kind]) << kind;
    EXPECT_EQ(ChannelStatus(message_kind::kProgramChange, 9), 0xC9);
}

// Loads of damaged files reach the bounds checks through reads; here the writes and the ends.
TEST(ByteImage, AccessOutsideTheImageIsASubscriptErrorAndAnUnfitLengthAnOverflow) {
    ByteImage image(Bytes(6, 0));
    image.WriteU32BE(1, 0x01020304);
    EXPECT_EQ(image.ReadU32BE(1), 0x01020304u);
    EXPECT_EQ(image.ReadU16BE(1), 0x0102);
    for (const auto& [number, access] : std::vector<std::pair<int, std::function<void()>>>{
             {9, [&] { image.At(6); }},
             {9, [&] { image.At(-1); }},
             {9, [&] { image.Set(6, 0); }},
             {9, [&] { image.Span(5, 2); }},
             {9, [&] { image.InsertGap(7, 1); }},
             {9, [&] { image.WriteU32BE(3, 1); }},
             // A negative or a 33-bit value is named first.
             {6, [&] { image.WriteU32BE(1, int64_t{1} << 32); }},
             {6, [&] { image.WriteU32BE(3, -1); }}}) {
        EXPECT_EQ(ErrorOf(access), number);
    }
    EXPECT_EQ(image.Bytes(), (Bytes{0, 1, 2, 3, 4, 0}));
    image.InsertGap(6, 1);  // at the very end
    image.InsertGap(1, 1);
    EXPECT_EQ(image.Bytes(), (Bytes{0, 0, 1, 2, 3, 4, 0, 0}));
}

}  // namespace
}  // namespace zephrane
