#include "effects/effect_settings.h"

namespace zephrane {

void ResetEffects(EffectSettings& effects) {
    std::string insertionPart = std::move(effects.insertionPart);
    effects = EffectSettings{};
    effects.insertionPart = std::move(insertionPart);
}

}  // namespace zephrane
