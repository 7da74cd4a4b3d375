#pragma once
// Commands of the main window's File menu and command toolbar that need no window of their own.

namespace zephrane {

struct Session;

enum class StyleCommandSource { MenuItem, ToolbarButton };

// The checks "Save Style" (toolbar) and "&Style File" (menu) make before a style is built, with
// their messages: a file is open, a section is marked (a warning when "Main A" is missing), and
// a channel feeds an accompaniment part unless the style's own CASM is used. True when the style
// may be built.
bool CheckStyleCommand(Session& session, StyleCommandSource source);

// "&Working Midi File": saves the song image as a MIDI file under a name the user chooses; the
// saved file then is the open file. False when nothing was saved.
bool SaveWorkingMidiFile(Session& session);

}  // namespace zephrane
