#include "app/edit_history.h"

#include "app/main_commands.h"
#include "app/session.h"

namespace zephrane {
namespace {

constexpr char kSaveBeforeClosingQuestion[] = "Save the style before closing?";

// True when the session holds what `document` holds of what the user edits.
bool Holds(const Session& session, const DocumentState& document) {
    return session.song.bytes == document.song.bytes &&
           session.song.styleCasmBytes == document.song.styleCasmBytes &&
           session.sectionFlags == document.sectionFlags &&
           session.view.sectionPressed == document.view.sectionPressed &&
           session.casm == document.casm && session.sectionChords == document.sectionChords &&
           session.useStyleCasm == document.useStyleCasm &&
           session.casmSnapshot == document.casmSnapshot && session.effects == document.effects;
}

// Puts `document` into the session. The file's name and the last style saved follow the saves,
// not the edits, and stay; so does the sequencer's wait.
void PutBack(Session& session, DocumentState document) {
    document.song.fileName = std::move(session.song.fileName);
    document.song.lastStyleSaved = std::move(session.song.lastStyleSaved);
    document.view.caption = std::move(session.view.caption);
    document.view.txtFileName = std::move(session.view.txtFileName);
    document.view.waitingForSequencer = session.view.waitingForSequencer;
    session.song = std::move(document.song);
    session.output = std::move(document.output);
    session.outputWritePos = document.outputWritePos;
    session.setupTime = document.setupTime;
    session.channels = std::move(document.channels);
    session.sectionFlags = document.sectionFlags;
    session.casm = std::move(document.casm);
    session.sectionChords = std::move(document.sectionChords);
    session.useStyleCasm = document.useStyleCasm;
    session.casmSnapshot = document.casmSnapshot;
    session.notedRecords = std::move(document.notedRecords);
    session.effects = std::move(document.effects);
    session.view = std::move(document.view);
}

// Takes one step of the history, `back` or forward, and shows the song it leaves.
CommandResult TakeStep(Session& session, bool back) {
    return RunCommand(session, [&] {
        if (session.view.waitingForSequencer || !(back ? CanUndo(session) : CanRedo(session))) {
            return false;
        }
        EditHistory& history = session.history;
        DocumentState current = TakeDocument(session);
        PutBack(session,
                back ? history.Back(std::move(current)) : history.Forward(std::move(current)));
        RefreshMainWindowView(session);
        session.platform.window.ShowMainWindow(session.view);
        return true;
    });
}

}  // namespace

void EditHistory::Follow(int64_t song) {
    if (song == song_) return;
    undo_.clear();
    redo_.clear();
    song_ = song;
    revision_ = savedRevision_ = ++lastRevision_;
}

void EditHistory::Record(std::string_view what, DocumentState before) {
    undo_.push_back({std::string(what), std::move(before), revision_});
    if (undo_.size() > kEditHistoryDepth) undo_.pop_front();
    redo_.clear();
    revision_ = ++lastRevision_;
}

DocumentState EditHistory::Move(std::deque<Step>& from, std::deque<Step>& to,
                                DocumentState current) {
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back({std::move(step.what), std::move(current), revision_});
    revision_ = step.revision;
    return std::move(step.state);
}

DocumentState TakeDocument(const Session& session) {
    return {session.song,         session.output,        session.outputWritePos,
            session.setupTime,    session.channels,      session.sectionFlags,
            session.casm,         session.sectionChords, session.useStyleCasm,
            session.casmSnapshot, session.notedRecords,  session.effects,
            session.view};
}

void RecordIfChanged(Session& session, std::string_view what, DocumentState before) {
    if (Holds(session, before)) return;
    session.history.Follow(session.songsOpened);
    session.history.Record(what, std::move(before));
}

CommandResult Undo(Session& session) {
    return TakeStep(session, true);
}

CommandResult Redo(Session& session) {
    return TakeStep(session, false);
}

bool CanUndo(const Session& session) {
    return session.history.Follows(session.songsOpened) && !session.history.UndoSteps().empty();
}

bool CanRedo(const Session& session) {
    return session.history.Follows(session.songsOpened) && !session.history.RedoSteps().empty();
}

void MarkEditsSaved(Session& session) {
    session.history.Follow(session.songsOpened);
    session.history.MarkSaved();
}

bool HasUnsavedEdits(const Session& session) {
    return session.history.Follows(session.songsOpened) && session.history.HasUnsavedEdits();
}

bool MayClose(Session& session) {
    if (!HasUnsavedEdits(session)) return true;
    switch (session.platform.messages.AskSaveDiscardCancel(kSaveBeforeClosingQuestion)) {
        case SaveAnswer::Save:
            return static_cast<bool>(SaveStyle(session, StyleCommandSource::MenuItem));
        case SaveAnswer::Discard:
            return true;
        case SaveAnswer::Cancel:
            return false;
    }
    return false;
}

}  // namespace zephrane
