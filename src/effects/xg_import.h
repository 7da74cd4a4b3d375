#pragma once
// Import of a song's XG effect messages into the effect settings. An XG parameter change is the
// SysEx F0 43 1n 4C AH AM AL data… F7 (n the device number); the effect block is AH AM = 02 01,
// where AL picks the parameter: the reverb, chorus and variation types (two data bytes, MSB and
// LSB of the type) and their one-byte levels, connection and insertion part.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "effects/effect_settings.h"

namespace zephrane {

// The text form of a SysEx message's data bytes (closing F7 included): each byte as two
// upper-case hex digits and one blank ("43 10 4C 02 01 00 01 00 F7 ").
std::string SysExHexText(std::span<const uint8_t> data);

// Applies one XG parameter-change message given in that text form; messages for another device
// number or address block, or too short, change nothing.
void ImportXgMessage(EffectSettings& effects, std::string_view hexText);

}  // namespace zephrane
