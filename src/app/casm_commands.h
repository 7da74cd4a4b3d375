#pragma once
// The CASM grid's commands: a part picked, a limit cell left, "Auto CASM Set", "Clear CASM".

#include <string>

#include "app/command_result.h"
#include "casm/casm_table.h"

namespace zephrane {

struct Session;

// Picking entry `position` of a row's part list, by the user or by a command: the part's
// defaults follow, with the open song's key and chord.
CommandResult PickPart(Session& session, int row, int position);

// Choosing entry `position` of one of a row's other lists: `cell` is the source key or chord,
// NTR, NTT, high key or retrigger rule of the row.
CommandResult ChooseCasmCell(Session& session, int row, int CasmRow::*cell, int position);

// The five chord-mute bytes of a row, as a batch run gives them (the window goes through the
// chord-mute dialog).
CommandResult SetChordMute(Session& session, int row, const ChordMute& bytes);

enum class LimitCell { Low, High };
// Leaving a limit cell with `text`: an empty text is not checked; an accepted text stores its
// note number; a refused one shows the message and keeps the number the row had (the focus
// stays in the cell).
CommandResult LeaveLimitCell(Session& session, int row, LimitCell cell, const std::string& text);

// "Auto CASM Set" over the channels' instruments as the grid shows them; failures are reported
// under "AutoSetCasm".
CommandResult AutoSetCasm(Session& session);

// The CASM table; while it gives no channel a part, the table "Auto CASM Set" would make of it.
CasmTable CasmOrAutoParts(const Session& session);

// "Clear CASM"; failures are reported under "ClearCasmSet".
CommandResult ClearCasmSet(Session& session);

}  // namespace zephrane
