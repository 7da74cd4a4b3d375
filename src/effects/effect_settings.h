#pragma once
// The XG effect set-up of a style: reverb, chorus and the variation (DSP) effect. An empty field
// sends nothing, so that the instrument keeps its own default.

#include <string>

namespace zephrane {

enum class VariationConnection { System, Insertion };

struct EffectSettings {
    int reverb = -1;  // list position of the reverb type; -1 none
    std::string reverbReturn;
    int chorus = -1;
    std::string chorusReturn;
    VariationConnection connection = VariationConnection::System;
    int variation = -1;
    std::string insertionPart;
    std::string variationReturn;
    std::string pan;
    std::string sendToReverb;
    std::string sendToChorus;

    bool operator==(const EffectSettings&) const = default;
};

// Before each song is analysed: System connection, no type chosen, the value boxes emptied;
// the insertion part keeps its text.
void ResetEffects(EffectSettings& effects);

}  // namespace zephrane
