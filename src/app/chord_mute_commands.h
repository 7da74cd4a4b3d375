#pragma once
// The chord-mute dialog of a CASM row: opened on the row's stored bits, OK stores them, Cancel
// keeps them.

#include "app/command_result.h"
#include "casm/chord_mute.h"

namespace zephrane {

struct Session;

// The dialog for CASM row `row` loaded with that row's stored bytes.
ChordMuteDialog OpenChordMuteDialog(const Session& session, int row);

// True while the song the dialog was opened for is the open one.
bool ChordMuteDialogIsCurrent(const Session& session, const ChordMuteDialog& dialog);

// "OK": stores the boxes into the dialog's row, then lines the section toolbar up again. A dialog
// of a song no longer open stores nothing (cancelled): its row means another song's channel.
CommandResult StoreChordMute(Session& session, const ChordMuteDialog& dialog);

// "Cancel": the stored bytes stay; the section toolbar is lined up again.
void CloseChordMuteDialog(Session& session);

}  // namespace zephrane
