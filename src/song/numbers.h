#pragma once
// Number helpers shared by the displayed and written texts and by the byte-level walkers.

#include <cstdint>
#include <span>
#include <string>

namespace zephrane {

// Decimal text preceded by one blank when zero or positive, by "-" when negative (" 4", "-1").
std::string BlankSigned(int64_t value);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// Narrowing into the 16- and 32-bit fields of the song model; out of range is error 6 (Overflow).
int16_t CheckedInt16(double value);
int32_t CheckedInt32(double value);

// The 64-bit FNV-1a hash of `bytes`: a short name that tells texts or songs apart.
uint64_t Fnv1a64(std::span<const uint8_t> bytes);

}  // namespace zephrane
