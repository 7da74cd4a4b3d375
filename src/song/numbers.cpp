#include "song/numbers.h"

#include <cmath>
#include <limits>

#include "song/error.h"

namespace zephrane {

std::string BlankSigned(int64_t value) {
    std::string text(value < 0 ? 0 : 1, ' ');  // the blank stands where a minus sign would
    text += std::to_string(value);
    return text;
}

uint64_t Fnv1a64(std::span<const uint8_t> bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (const uint8_t byte : bytes)
        hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

double RoundHalfEven(double value) {
    return std::nearbyint(value);
}

namespace {
template <typename T>
T CheckedNarrow(double value) {
    if (!std::isfinite(value)) Fail(error_number::kOverflow);
    const double rounded = RoundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<T>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<T>::max())) {
        Fail(error_number::kOverflow);
    }
    return static_cast<T>(rounded);
}
}  // namespace

int16_t CheckedInt16(double value) {
    return CheckedNarrow<int16_t>(value);
}
int32_t CheckedInt32(double value) {
    return CheckedNarrow<int32_t>(value);
}

}  // namespace zephrane
