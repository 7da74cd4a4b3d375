#pragma once
// The effect type lists of the effects window, read from "cbo3.dat" beside the program.

#include <string>

#include "app/command_result.h"
#include "effects/effect_list.h"
#include "effects/effect_settings.h"

namespace zephrane {

struct Session;

// Start-up: fills the lists from the file beside the program; failures are reported under
// "SetUpTextBox". The three type lists start without a selection.
void SetUpEffectLists(Session& session);

// Selecting System or Insertion: the list file is read again and the variation type list
// refilled for the connection, which clears its selection. Failures go under "VarType1".
CommandResult ChangeVariationConnection(Session& session, VariationConnection connection);

// Chooses entry `position` (-1 none) of a type list: `type` is the reverb, chorus or variation
// type of the effect settings.
CommandResult ChooseEffectType(Session& session, int EffectSettings::*type, int position);

// Sets one of the effect values (a return level, the insertion part, pan or a send) to `text`,
// as its box shows it; an empty text leaves the value out of the style.
CommandResult SetEffectValue(Session& session, std::string EffectSettings::*value,
                             const std::string& text);

}  // namespace zephrane
