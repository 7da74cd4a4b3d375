#include "song/midi_layout.h"

#include <algorithm>

namespace zephrane {
namespace {

constexpr int kSmpteBit = 0x8000;

}  // namespace

bool HasChunkTag(const ByteImage& file, int64_t pos, std::string_view tag) {
    if (pos < 0 || pos + static_cast<int64_t>(tag.size()) > file.Size()) return false;
    const auto bytes = file.Span(pos, static_cast<int64_t>(tag.size()));
    return std::equal(bytes.begin(), bytes.end(), tag.begin());
}

MidiFileLayout ReadMidiFileLayout(const ByteImage& file) {
    MidiFileLayout layout;
    if (!HasChunkTag(file, 0, "MThd") || file.Size() < kChunkHeaderSize + kHeaderDataSize) {
        return layout;
    }
    layout.headerLength = file.ReadU32BE(kChunkLengthOffset);
    if (layout.headerLength < kHeaderDataSize) return layout;
    layout.hasHeaderChunk = true;
    layout.format = file.ReadU16BE(kFormatPos);
    layout.division = file.ReadU16BE(kDivisionPos);
    layout.firstChunkPos = kChunkHeaderSize + layout.headerLength;
    // Lengths are at most 32 bits and the file far smaller than 2^63: the sum cannot overflow.
    for (int64_t pos = layout.firstChunkPos; pos + kChunkHeaderSize <= file.Size();
         pos += kChunkHeaderSize + file.ReadU32BE(pos + kChunkLengthOffset)) {
        if (HasChunkTag(file, pos, "MTrk")) {
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
    image.WriteU32BE(kChunkLengthOffset, kHeaderDataSize);
    return image;
}

std::vector<uint8_t> TypeZeroHeaders(uint16_t division) {
    // "MThd" and its 6 data bytes: format 0, one track, the division.
    std::vector<uint8_t> headers = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    headers.push_back(static_cast<uint8_t>(division >> 8));
    headers.push_back(static_cast<uint8_t>(division & 0xFF));
    headers.insert(headers.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    return headers;
}

}  // namespace zephrane
