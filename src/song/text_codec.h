#pragma once
// The texts of a song are single-byte characters in the Windows-1252 code page. In memory the
// program holds them as UTF-8; these two functions are the only crossing between the two.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zephrane {

// Each byte becomes one character (as UTF-8).
std::string DecodeAnsi(std::span<const uint8_t> bytes);

// Each character becomes one byte; a character without a Windows-1252 code becomes "?".
// Malformed UTF-8 sequences count as one character each.
std::vector<uint8_t> EncodeAnsi(std::string_view text);

// Number of single-byte characters `text` takes in a file.
size_t AnsiLength(std::string_view text);

}  // namespace zephrane
