#include "app/main_window_view.h"

#include "app/session.h"
#include "app/song_commands.h"

namespace zephrane {

void RefreshMainWindowView(Session& session) {
    MainWindowView& view = session.view;
    const bool fileOpen = !session.song.fileName.empty();
    if (fileOpen && !view.waitingForSequencer) ScanSong(session);
    view.sections = PictureSections(
        {session.markers, session.measures, session.facts, view.sectionPressed, fileOpen});
    view.canUndo = CanUndo(session);
    view.canRedo = CanRedo(session);
    const EditHistory& history = session.history;
    view.undoCaption = view.canUndo ? "Undo " + history.UndoSteps().back().what : "Undo";
    view.redoCaption = view.canRedo ? "Redo " + history.RedoSteps().back().what : "Redo";
}

}  // namespace zephrane
