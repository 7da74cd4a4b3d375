#include "app/chord_mute_commands.h"

#include "app/session.h"

namespace zephrane {
namespace {

// Once the dialog is gone, every section present in the working file shows its toolbar button
// pressed again (slots 1-24); buttons of absent sections are left as they are.
void RealignSectionToolbar(Session& session) {
    for (int slot = 1; slot <= 24; ++slot) {
        if (session.sectionFlags[slot]) session.view.sectionPressed[slot] = true;
    }
}

}  // namespace

ChordMuteDialog OpenChordMuteDialog(const Session& session, int row) {
    return ChordMuteDialog(row, session.casm.at(row).chordMute, session.songsOpened);
}

bool ChordMuteDialogIsCurrent(const Session& session, const ChordMuteDialog& dialog) {
    return dialog.Song() == session.songsOpened;
}

CommandResult StoreChordMute(Session& session, const ChordMuteDialog& dialog) {
    return RunCommand(session, [&] {
        if (!ChordMuteDialogIsCurrent(session, dialog)) return false;
        session.casm.at(dialog.Row()).chordMute = dialog.Bytes();
        RealignSectionToolbar(session);
        return true;
    });
}

void CloseChordMuteDialog(Session& session) {
    RealignSectionToolbar(session);
}

}  // namespace zephrane
