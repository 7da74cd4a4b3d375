#pragma once
// The effect type lists of the effects window, read from "cbo3.dat" beside the program.

#include "effects/effect_list.h"

namespace zephrane {

struct Session;

// Start-up: fills the lists from the file beside the program; failures are reported under
// "SetUpTextBox". The three type lists start without a selection.
void SetUpEffectLists(Session& session);

// Selecting System or Insertion: the list file is read again and the variation type list
// refilled for the connection, which clears its selection. Failures go under "VarType1".
void ChangeVariationConnection(Session& session, VariationConnection connection);

}  // namespace zephrane
