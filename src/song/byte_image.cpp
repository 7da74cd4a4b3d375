#include "song/byte_image.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "song/error.h"

namespace zephrane {
namespace {
// Larger images than this are refused as "Out of memory" rather than attempted: the positions of
// the walkers are signed 32-bit numbers.
constexpr int64_t kMaxImageSize = 0x7FFFFFF0;
}  // namespace

void ByteImage::FailOutOfRange() {
    Fail(error_number::kSubscriptOutOfRange);
}

void ByteImage::WriteLong(int64_t index, std::span<const uint8_t> bytes) {
    // memmove: `bytes` may lie in this image.
    std::memmove(bytes_.data() + index, bytes.data(), bytes.size());
}

uint16_t ByteImage::ReadU16BE(int64_t index) const {
    return static_cast<uint16_t>(At(index) << 8 | At(index + 1));
}

uint32_t ByteImage::ReadU32BE(int64_t index) const {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | At(index + i);
    return value;
}

void ByteImage::WriteU32BE(int64_t index, int64_t value) {
    if (value < 0 || value > std::numeric_limits<uint32_t>::max()) Fail(error_number::kOverflow);
    if (!Contains(index) || !Contains(index + 3)) FailOutOfRange();
    for (int i = 3; i >= 0; --i) {
        Set(index + i, static_cast<uint8_t>(value & 0xFF));
        value >>= 8;
    }
}

void ByteImage::Resize(int64_t newSize) {
    if (newSize < 0) FailOutOfRange();
    if (newSize > kMaxImageSize) Fail(error_number::kOutOfMemory);
    try {
        bytes_.resize(static_cast<size_t>(newSize));
    } catch (const std::bad_alloc&) {
        Fail(error_number::kOutOfMemory);
    }
}

void ByteImage::InsertGap(int64_t index, int64_t count) {
    if (index < 0 || index > Size() || count < 0) FailOutOfRange();
    const int64_t oldSize = Size();
    Resize(oldSize + count);
    auto first = bytes_.begin() + index;
    std::move_backward(first, bytes_.begin() + oldSize, bytes_.end());
    std::fill(first, first + count, uint8_t{0});
}

void ByteImage::RemoveBytes(int64_t index, int64_t count) {
    if (count == 0) return;
    Span(index, count);  // the bounds check
    const auto first = bytes_.begin() + index;
    bytes_.erase(first, first + count);
}

}  // namespace zephrane
