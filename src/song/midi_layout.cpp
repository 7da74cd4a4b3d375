#include "song/midi_layout.h"

#include <algorithm>
#include <string_view>

#include "song/walker.h"

namespace zephrane {
namespace {

constexpr int64_t kChunkHeaderSize = 8;  // 4-character tag, 4-byte big-endian length
constexpr int64_t kHeaderDataSize = 6;   // format, number of tracks, division
constexpr int64_t kHeaderLengthPos = 4;
constexpr int64_t kFormatPos = 8;
constexpr int kSmpteBit = 0x8000;

bool HasTag(const ByteImage& file, int64_t pos, std::string_view tag) {
    if (pos < 0 || pos + static_cast<int64_t>(tag.size()) > file.Size()) return false;
    const auto bytes = file.Span(pos, static_cast<int64_t>(tag.size()));
    return std::equal(bytes.begin(), bytes.end(), tag.begin());
}

int ReadU16BE(const ByteImage& file, int64_t pos) {
    return file.At(pos) * 256 + file.At(pos + 1);
}

}  // namespace

MidiFileLayout ReadMidiFileLayout(const ByteImage& file) {
    MidiFileLayout layout;
    if (!HasTag(file, 0, "MThd") || file.Size() < kChunkHeaderSize + kHeaderDataSize) {
        return layout;
    }
    layout.headerLength = file.ReadU32BE(kHeaderLengthPos);
    if (layout.headerLength < kHeaderDataSize) return layout;
    layout.hasHeaderChunk = true;
    layout.format = ReadU16BE(file, kFormatPos);
    layout.division = ReadU16BE(file, kDivisionPos);
    layout.firstChunkPos = kChunkHeaderSize + layout.headerLength;
    // Lengths are at most 32 bits and the file far smaller than 2^63: the sum cannot overflow.
    for (int64_t pos = layout.firstChunkPos; pos + kChunkHeaderSize <= file.Size();
         pos += kChunkHeaderSize + file.ReadU32BE(pos + kHeaderLengthPos)) {
        if (HasTag(file, pos, "MTrk")) {
            layout.trackChunkPos = pos;
            break;
        }
    }
    return layout;
}

bool CountsTicksPerQuarter(int division) {
    return division != 0 && (division & kSmpteBit) == 0;
}

ByteImage WithTrackAfterHeader(ByteImage file, int64_t trackChunkPos) {
    ByteImage image = std::move(file);
    if (trackChunkPos != kFirstTrackChunkPos) {
        std::vector<uint8_t> bytes;
        bytes.reserve(static_cast<size_t>(kFirstTrackChunkPos + image.Size() - trackChunkPos));
        const auto header = image.Span(0, kFirstTrackChunkPos);
        bytes.insert(bytes.end(), header.begin(), header.end());
        const auto track = image.Span(trackChunkPos, image.Size() - trackChunkPos);
        bytes.insert(bytes.end(), track.begin(), track.end());
        image = ByteImage(std::move(bytes));
    }
    image.WriteU32BE(kHeaderLengthPos, kHeaderDataSize);
    return image;
}

}  // namespace zephrane
