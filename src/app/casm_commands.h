#pragma once
// The CASM grid's commands: a part picked, a limit cell left, "Auto CASM Set", "Clear CASM".

#include <string>

#include "casm/casm_table.h"

namespace zephrane {

struct Session;

// Picking entry `position` of a row's part list, by the user or by a command: the part's
// defaults follow, with the open song's key and chord.
void PickPart(Session& session, int row, int position);

enum class LimitCell { Low, High };
// Leaving a limit cell with `text`: an empty text is not checked; an accepted text stores its
// note number; a refused one shows the message and keeps the number the row had. False when
// refused (the focus stays in the cell).
bool LeaveLimitCell(Session& session, int row, LimitCell cell, const std::string& text);

// "Auto CASM Set" over the channels' instruments as the grid shows them; failures are reported
// under "AutoSetCasm".
void AutoSetCasm(Session& session);

// "Clear CASM"; failures are reported under "ClearCasmSet".
void ClearCasmSet(Session& session);

}  // namespace zephrane
