#pragma once
// Commands of the main window's File menu and command toolbar that need no window of their own.

#include <optional>
#include <string>
#include <vector>

#include "app/command_result.h"

namespace zephrane {

struct Session;

enum class StyleCommandSource { MenuItem, ToolbarButton };

// Open File (toolbar "Open", menu "&Open File"): the Open dialog (unless `path` names the file,
// as on the command line), the load, then the song is prepared into the working file and that
// is loaded.
CommandResult OpenFileCommand(Session& session,
                              const std::optional<std::string>& path = std::nullopt);

// Opens `path` as Open File does after its dialog (a file dropped on the window).
CommandResult OpenFileByPath(Session& session, const std::string& path);

// Loads `path` as it stands, without preparing it into the working file (the command line's
// --raw, which shows what the file itself holds).
CommandResult LoadFileAsItIs(Session& session, const std::string& path);

// A recent-files entry: loads it as Open File does; a refused load changes nothing.
CommandResult OpenRecentFile(Session& session, int index);

// To Sequencer: writes the prepared working file, runs the user's sequencer on it, waits until
// it ends (the window paints but takes no commands meanwhile) and loads the edited file.
CommandResult ToSequencer(Session& session);

// Play Style: starts the style player on the last style saved, else on the opened style, and
// returns at once (CheckStartedPrograms tells how it ended); refused when there is neither.
CommandResult PlayStyle(Session& session);

// Save Style (toolbar) and "&Style File" (menu): the checks, the style built, Save As (its
// dialog unless `path` names the file).
CommandResult SaveStyle(Session& session, StyleCommandSource source,
                        const std::optional<std::string>& path = std::nullopt);

// Style from BB: opens a 44-measure song exported from another arranger program, marks all
// sections in the BB layout, assigns the CASM automatically and prepares the working file. The
// Open dialog offers MIDI files only; `path`, when given, names the song instead.
CommandResult StyleFromBb(Session& session, const std::optional<std::string>& path = std::nullopt);

// "Convert Type 1 MIDI...": asks for a type-1 song, merges its tracks into one, asks where to
// save the type-0 file and opens that as Open File does.
CommandResult ConvertTypeOneMidi(Session& session);

// Quick Start and Help: the two documents in the information window.
CommandResult ShowQuickStart(Session& session);
CommandResult ShowHelp(Session& session);

// The program and arguments of a command text: a text naming an existing file is one program,
// blanks and all; otherwise the text is split at its blanks. `argument` follows when not empty.
std::vector<std::string> CommandArguments(const std::string& command, const std::string& argument);

// The checks "Save Style" (toolbar) and "&Style File" (menu) make before a style is built, with
// their messages: a file is open, a section is marked (a warning when "Main A" is missing), and
// a channel feeds an accompaniment part unless the style's own CASM is used. True when the style
// may be built.
bool CheckStyleCommand(Session& session, StyleCommandSource source);

// Every row's source key and chord: "major" C maj, "7th" C maj7, "all" the song's key and chord.
void SetSourceChords(Session& session, const std::string& which);

enum class CasmSource { MakeCasm, StylesCasm };

// "Make Casm" / "Use Style's Casm": where the style's CASM comes from. The style's own CASM can be
// chosen only while the opened style has sound CASM data; a newly opened file starts with "Make
// Casm" again. Cancelled, with "Make Casm" kept, when the style's own CASM cannot be chosen.
CommandResult ChooseCasmSource(Session& session, CasmSource source);

// "&Working Midi File": saves the song image as a MIDI file under a name the user chooses (or
// `path`); the saved file then is the open file.
CommandResult SaveWorkingMidiFile(Session& session,
                                  const std::optional<std::string>& path = std::nullopt);

// The type-1 merge (`zephrane-cli merge`): reads `in`, merges it and writes `out` (safely: beside
// it, then renamed). When `out` exists, asks "This will replace existing file" first and writes
// nothing unless answered OK. A refusal of the input (not a regular file of at most 256 MB, or not
// a type-1 file) shows its message, a failed read or write the common error report under
// "MergeMidiFile". Done once `out` is written.
CommandResult MergeMidiFile(Session& session, const std::string& in, const std::string& out);

}  // namespace zephrane
