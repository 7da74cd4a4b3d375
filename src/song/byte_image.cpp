#include "song/byte_image.h"

#include <new>

#include "app/error_report.h"

namespace zephrane {
namespace {
// Larger images than this are refused as "Out of memory" rather than attempted: the positions of
// the walkers are signed 32-bit numbers.
constexpr int64_t kMaxImageSize = 0x7FFFFFF0;
}  // namespace

uint8_t ByteImage::At(int64_t index) const {
    if (!Contains(index)) Fail(error_number::kSubscriptOutOfRange);
    return bytes_[static_cast<size_t>(index)];
}

void ByteImage::Set(int64_t index, uint8_t value) {
    if (!Contains(index)) Fail(error_number::kSubscriptOutOfRange);
    bytes_[static_cast<size_t>(index)] = value;
}

std::span<const uint8_t> ByteImage::Span(int64_t index, int64_t count) const {
    if (count < 0 || (count > 0 && (!Contains(index) || !Contains(index + count - 1)))) {
        Fail(error_number::kSubscriptOutOfRange);
    }
    if (count == 0) return {};
    return {bytes_.data() + index, static_cast<size_t>(count)};
}

uint32_t ByteImage::ReadU32BE(int64_t index) const {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | At(index + i);
    return value;
}

void ByteImage::WriteU32BE(int64_t index, uint32_t value) {
    if (!Contains(index) || !Contains(index + 3)) Fail(error_number::kSubscriptOutOfRange);
    for (int i = 3; i >= 0; --i) {
        Set(index + i, static_cast<uint8_t>(value & 0xFF));
        value >>= 8;
    }
}

void ByteImage::Resize(int64_t newSize) {
    if (newSize < 0) Fail(error_number::kSubscriptOutOfRange);
    if (newSize > kMaxImageSize) Fail(error_number::kOutOfMemory);
    try {
        bytes_.resize(static_cast<size_t>(newSize));
    } catch (const std::bad_alloc&) {
        Fail(error_number::kOutOfMemory);
    }
}

void ByteImage::InsertGap(int64_t index, int64_t count) {
    if (index < 0 || index > Size() || count < 0) Fail(error_number::kSubscriptOutOfRange);
    const int64_t oldSize = Size();
    Resize(oldSize + count);
    auto first = bytes_.begin() + index;
    std::move_backward(first, bytes_.begin() + oldSize, bytes_.end());
    std::fill(first, first + count, uint8_t{0});
}

}  // namespace zephrane
