#pragma once
// Undo and redo of the editing commands. Before each one, what the user edits is set aside; when
// the command is done and changed it, that becomes a step Undo puts back. A history belongs to the
// song it was made on: opening another file starts a new one. It also knows whether the song has
// edits that no save holds, which closing the program asks about.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/scan_song.h"
#include "app/command_result.h"
#include "app/main_window_view.h"
#include "casm/casm_chunk.h"
#include "casm/casm_table.h"
#include "effects/effect_settings.h"
#include "sections/sections.h"
#include "song/song_image.h"

namespace zephrane {

struct Session;

// What the editing commands change: the song image and its style data, the prepared output, the
// section buttons, the CASM, the effects, and what the window shows of them. The settings, the
// recent files and the effect lists are the program's, not the song's, and stay out.
struct DocumentState {
    SongImage song;
    ByteImage output;
    int64_t outputWritePos = 0;
    int64_t setupTime = 0;
    ChannelTable channels;
    SectionSlots sectionFlags{};
    CasmTable casm;
    std::map<std::string, std::string> sectionChords;
    bool useStyleCasm = false;
    CasmSnapshot casmSnapshot;
    std::vector<int32_t> notedRecords;
    EffectSettings effects;
    MainWindowView view;
};

inline constexpr size_t kEditHistoryDepth = 100;

// The steps of one song, newest last. A state is known by its revision number, so that a song
// undone back to what was saved counts as saved again.
class EditHistory {
  public:
    struct Step {
        std::string what;  // the command's name, as "Undo" and "Redo" show it
        DocumentState state;
        int64_t revision = 0;
    };

    // Starts a history of its own for the song numbered `song` unless this one is.
    void Follow(int64_t song);
    bool Follows(int64_t song) const { return song_ == song; }

    // A command `what` turned `before` into the current state: the oldest step goes beyond
    // kEditHistoryDepth, and what was undone can no longer be redone.
    void Record(std::string_view what, DocumentState before);
    // The state to put back for Undo (Redo), taking `current` as the step Redo (Undo) puts
    // back. Only while there is a step.
    DocumentState Back(DocumentState current) { return Move(undo_, redo_, std::move(current)); }
    DocumentState Forward(DocumentState current) { return Move(redo_, undo_, std::move(current)); }

    const std::deque<Step>& UndoSteps() const { return undo_; }
    const std::deque<Step>& RedoSteps() const { return redo_; }

    void MarkSaved() { savedRevision_ = revision_; }
    bool HasUnsavedEdits() const { return revision_ != savedRevision_; }

  private:
    DocumentState Move(std::deque<Step>& from, std::deque<Step>& to, DocumentState current);

    std::deque<Step> undo_;
    std::deque<Step> redo_;
    int64_t song_ = 0;
    int64_t revision_ = 0;
    int64_t savedRevision_ = 0;
    int64_t lastRevision_ = 0;
};

// The parts of `session` an editing command may change.
DocumentState TakeDocument(const Session& session);

// Makes a step of `before` when the session no longer holds it.
void RecordIfChanged(Session& session, std::string_view what, DocumentState before);

// Runs the editing command `command` (returning a CommandResult) named `what`; a step of the
// history when it is done and changed something.
template <typename Command>
CommandResult RecordEdit(Session& session, std::string_view what, Command&& command) {
    DocumentState before = TakeDocument(session);
    CommandResult result = std::forward<Command>(command)();
    if (result) RecordIfChanged(session, what, std::move(before));
    return result;
}

// Undo and Redo: the state before (after) the last step comes back, the song is scanned again
// and the window redrawn. Cancelled when there is no step, or while the sequencer edits the file.
CommandResult Undo(Session& session);
CommandResult Redo(Session& session);

// True when Undo (Redo) has a step to take for the open song.
bool CanUndo(const Session& session);
bool CanRedo(const Session& session);

// The open song is now held by a saved file; edits from here on are unsaved.
void MarkEditsSaved(Session& session);
// True when the open song has edits since it was opened or last saved.
bool HasUnsavedEdits(const Session& session);

// Closing the program: with unsaved edits asks "Save the style before closing?"; Save runs Save
// Style. True when the program may close: no unsaved edits, Discard, or Save done.
bool MayClose(Session& session);

}  // namespace zephrane
