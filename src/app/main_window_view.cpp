#include "app/main_window_view.h"

#include "app/play_commands.h"
#include "app/session.h"
#include "app/song_commands.h"

namespace zephrane {

void RefreshMainWindowView(Session& session) {
    MainWindowView& view = session.view;
    const bool fileOpen = !session.song.fileName.empty();
    if (fileOpen && !view.waitingForSequencer) ScanSong(session);
    view.sections = PictureSections(
        {session.markers, session.measures, session.facts, view.sectionPressed, fileOpen});
    view.previewSections = PreviewSections(view.sectionPressed);
    view.programsRunning = !session.watchedPrograms.empty();
    view.previewPlaying = PreviewPlaying(session);
}

}  // namespace zephrane
