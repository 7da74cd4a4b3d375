#pragma once
// A growable byte array whose every read and write is bounds-checked: an index outside the image
// is run-time error 9 ("Subscript out of range"), never undefined behaviour.

#include <cstdint>
#include <span>
#include <vector>

namespace zephrane {

class ByteImage {
  public:
    ByteImage() = default;
    explicit ByteImage(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }
    int64_t LastIndex() const { return Size() - 1; }
    bool Contains(int64_t index) const { return index >= 0 && index < Size(); }

    uint8_t At(int64_t index) const;
    void Set(int64_t index, uint8_t value);

    // The `count` bytes from `index` on; error 9 unless all of them lie inside the image.
    std::span<const uint8_t> Span(int64_t index, int64_t count) const;

    // Big-endian 32-bit word at index..index+3.
    uint32_t ReadU32BE(int64_t index) const;
    void WriteU32BE(int64_t index, uint32_t value);

    // Grows or shrinks to `newSize` bytes, keeping the contents; new bytes are 0.
    void Resize(int64_t newSize);
    // Moves the bytes from `index` to the end up by `count`, leaving `count` zero bytes at `index`.
    void InsertGap(int64_t index, int64_t count);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    friend bool operator==(const ByteImage&, const ByteImage&) = default;

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace zephrane
