#include "song/text_codec.h"

#include <array>

namespace zephrane {
namespace {

// Code points of bytes 80-9F; 0 where Windows-1252 has no character (the byte maps to the
// C1 control of the same value, as the platform's conversion does).
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t CodePointOfByte(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint8_t ByteOfCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<uint8_t>(cp);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) return static_cast<uint8_t>(0x80 + i);
        if (kHighControls[i] == 0 && cp == 0x80 + i) return static_cast<uint8_t>(cp);
    }
    return '?';
}

// Reads one UTF-8 sequence at `pos`, advancing it; a malformed byte reads as U+FFFD.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto lead = static_cast<uint8_t>(text[pos++]);
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (extra < 0 || pos + extra > text.size()) return 0xFFFD;
    char32_t cp = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const auto next = static_cast<uint8_t>(text[pos]);
        if ((next & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (next & 0x3F);
        ++pos;
    }
    return cp;
}

}  // namespace

std::string DecodeAnsi(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (uint8_t byte : bytes)
        AppendUtf8(out, CodePointOfByte(byte));
    return out;
}

std::vector<uint8_t> EncodeAnsi(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();)
        out.push_back(ByteOfCodePoint(NextCodePoint(text, pos)));
    return out;
}

size_t AnsiLength(std::string_view text) {
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); ++count)
        NextCodePoint(text, pos);
    return count;
}

}  // namespace zephrane
