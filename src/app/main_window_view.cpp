#include "app/main_window_view.h"

#include "analysis/find_chords.h"
#include "app/play_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/status_line.h"
#include "song/numbers.h"

namespace zephrane {

namespace {

std::vector<StyleCasmGroup> StyleCasmGroups(const ByteImage& bytesAfterTrack) {
    std::vector<StyleCasmGroup> groups;
    for (const StyleChunk& chunk : ReadChunksAfterTrack(bytesAfterTrack)) {
        for (const CasmSegment& segment : chunk.csegs) {
            StyleCasmGroup group{segment.sections.value_or(""), {}};
            for (const CasmRecord& record : segment.records) {
                if (!record.ctab || record.ctab->sourceChannel > 15) continue;
                auto& row = group.rows[record.ctab->sourceChannel];
                if (!row) row = RowOfCtab(*record.ctab);  // the first record of a channel counts
            }
            groups.push_back(std::move(group));
        }
    }
    return groups;
}

}  // namespace

void RefreshChords(Session& session) {
    MainWindowView& view = session.view;
    if (session.song.fileName.empty()) {
        view.chords.clear();
        view.chordsFoundIn = 0;
        return;
    }
    // The walk over the notes is the costly part of a refresh: most commands leave the song as
    // it was.
    const uint64_t song = Fnv1a64(session.song.bytes.Bytes());
    if (song == view.chordsFoundIn) return;
    view.chordsFoundIn = song;
    view.chords.clear();
    Guarded(session, "FindChords",
            [&] { view.chords = FindChords(session.song.bytes, session.channels); });
}

void RefreshMainWindowView(Session& session) {
    MainWindowView& view = session.view;
    const bool fileOpen = !session.song.fileName.empty();
    const bool scanned = fileOpen && !view.waitingForSequencer && ScanSong(session);
    if (scanned || !fileOpen) RefreshChords(session);
    view.sections = PictureSections(
        {session.markers, session.measures, session.facts, view.sectionPressed, fileOpen});
    view.canUndo = CanUndo(session);
    view.canRedo = CanRedo(session);
    const EditHistory& history = session.history;
    view.undoCaption = view.canUndo ? "Undo " + history.UndoSteps().back().what : "Undo";
    view.redoCaption = view.canRedo ? "Redo " + history.RedoSteps().back().what : "Redo";
    view.startHint = fileOpen ? "" : kStartHint;
    view.styleCasm.clear();
    if (session.useStyleCasm) view.styleCasm = StyleCasmGroups(session.song.styleCasmBytes);
    if (view.waitingForSequencer) {
        view.statusLine = "Waiting for the sequencer to close: save the file there and close it.";
        return;
    }
    const std::string next = fileOpen ? MarkedAndNextStep(session) : view.startHint;
    view.statusLine = view.lastDone.empty() ? next : view.lastDone + "  " + next;
    view.previewSections = PreviewSections(view.sectionPressed);
    view.programsRunning = !session.watchedPrograms.empty();
    view.previewPlaying = PreviewPlaying(session);
}

}  // namespace zephrane
