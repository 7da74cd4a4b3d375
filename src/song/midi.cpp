#include "song/midi.h"

#include <limits>

namespace zephrane {

int32_t ReadVariableLength(const ByteImage& image, int32_t& pos) {
    int64_t value = 0;
    for (uint8_t byte = image.At(pos); byte >= 0x80; byte = image.At(++pos)) {
        value = value * 128 + (byte - 128) * 128;
        if (value > std::numeric_limits<int32_t>::max()) Fail(error_number::kOverflow);
    }
    value += image.At(pos);
    if (value > std::numeric_limits<int32_t>::max()) Fail(error_number::kOverflow);
    return static_cast<int32_t>(value);
}

}  // namespace zephrane
