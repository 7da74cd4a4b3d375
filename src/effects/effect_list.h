#pragma once
// The effect list file "cbo3.dat": one line "name,code" per XG effect type, CR LF between lines,
// in four sections by line number: reverb types (lines 0-23), chorus types (24-43), variation
// types for the System connection (44-145) and for the Insertion connection (146-220). The code
// is the type's two data bytes as MSB × 100 + LSB (type 01 10 hex is 116).

#include <string>
#include <string_view>
#include <vector>

#include "effects/effect_settings.h"

namespace zephrane {

inline constexpr char kEffectListFileName[] = "cbo3.dat";

struct EffectListEntry {
    std::string name;  // "Hall 1*": a star marks a type every XG instrument has
    int code = 0;
};

struct EffectLists {
    std::vector<EffectListEntry> reverb;
    std::vector<EffectListEntry> chorus;
    std::vector<EffectListEntry> systemVariation;
    std::vector<EffectListEntry> insertionVariation;

    // The variation list the effects dialog shows for a connection.
    const std::vector<EffectListEntry>& Variation(VariationConnection connection) const {
        return connection == VariationConnection::System ? systemVariation : insertionVariation;
    }
};

// Fills `lists` from the file's text, section by section; a short file, a line without a comma
// or a code that is not a whole number is thrown as a run-time failure, with the entries read
// before it kept.
void ParseEffectListFile(std::string_view text, EffectLists& lists);

// The code of a chosen list entry; a position outside the list is error 9.
int EffectCode(const std::vector<EffectListEntry>& list, int position);

}  // namespace zephrane
