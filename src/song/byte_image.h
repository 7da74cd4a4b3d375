#pragma once
// A growable byte array whose every read and write is bounds-checked: an index outside the image
// is run-time error 9 ("Subscript out of range"), never undefined behaviour.
//
// The single-byte accessors are inline so that the walkers pay one comparison per byte; the bulk
// operations check their whole range once.

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
    bool Contains(int64_t index) const {
        // One unsigned comparison covers both ends.
        return static_cast<uint64_t>(index) < bytes_.size();
    }

    uint8_t At(int64_t index) const {
        if (!Contains(index)) FailOutOfRange();
        return bytes_[static_cast<size_t>(index)];
    }
    void Set(int64_t index, uint8_t value) {
        if (!Contains(index)) FailOutOfRange();
        bytes_[static_cast<size_t>(index)] = value;
    }

    // The `count` bytes from `index` on; error 9 unless all of them lie inside the image.
    std::span<const uint8_t> Span(int64_t index, int64_t count) const {
        if (count < 0 || (count > 0 && (!Contains(index) || !Contains(index + count - 1)))) {
            FailOutOfRange();
        }
        if (count == 0) return {};
        return {bytes_.data() + index, static_cast<size_t>(count)};
    }
    // Copies `bytes` to index..index+size-1; error 9, with nothing written, unless all of them
    // lie inside the image. The writers append an event at a time, so short copies are inline.
    void Write(int64_t index, std::span<const uint8_t> bytes) {
        const auto count = static_cast<int64_t>(bytes.size());
        if (count == 0) return;
        if (!Contains(index) || !Contains(index + count - 1)) FailOutOfRange();
        if (count > kShortCopy) {
            WriteLong(index, bytes);
            return;
        }
        uint8_t copy[kShortCopy];  // `bytes` may lie in this image
        for (int64_t i = 0; i < count; ++i)
            copy[i] = bytes[static_cast<size_t>(i)];
        for (int64_t i = 0; i < count; ++i)
            bytes_[static_cast<size_t>(index + i)] = copy[i];
    }

    // Big-endian words, as MIDI files hold their numbers: 16 bits at index..index+1, 32 bits at
    // index..index+3. A value that does not fit 32 unsigned bits is error 6 (Overflow), checked
    // before the position.
    uint16_t ReadU16BE(int64_t index) const;
    uint32_t ReadU32BE(int64_t index) const;
    void WriteU32BE(int64_t index, int64_t value);

    // Grows or shrinks to `newSize` bytes, keeping the contents; new bytes are 0.
    void Resize(int64_t newSize);
    // Moves the bytes from `index` to the end up by `count`, leaving `count` zero bytes at `index`.
    void InsertGap(int64_t index, int64_t count);
    // Takes out the `count` bytes from `index` on, moving the rest down; error 9, with nothing
    // taken out, unless all of them lie inside the image.
    void RemoveBytes(int64_t index, int64_t count);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    friend bool operator==(const ByteImage&, const ByteImage&) = default;

  private:
    static constexpr int64_t kShortCopy = 16;

    [[noreturn]] static void FailOutOfRange();
    void WriteLong(int64_t index, std::span<const uint8_t> bytes);

    std::vector<uint8_t> bytes_;
};

}  // namespace zephrane
