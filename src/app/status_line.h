#pragma once
// The hints the main window gives at every step: what the empty window says, and the status line
// that tells what the last command did, which sections are marked and what comes next.

#include <string>
#include <string_view>

#include "app/command_result.h"

namespace zephrane {

struct Session;

inline constexpr char kStartHint[] =
    "Open a song to start: File > Open File (Ctrl+O), or drop a type-0 MIDI file or a style on "
    "this window.";

// Keeps what the user action `action` ("Save Style", "Main A", ...) came to for the status line.
void NoteOutcome(Session& session, std::string_view action, const CommandResult& result);

// "Sections: Main A, Fill AA." (or "14 sections marked.") and the next step for the song as it
// stands (accepting the proposed sections while there are); empty sentences are left out.
std::string MarkedAndNextStep(const Session& session);

}  // namespace zephrane
