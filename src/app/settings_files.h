#pragma once
// The four one-line settings files and the start-up that reads them.
//
// Each file holds one text followed by CR LF: "Zephrane.ini" the sequencer's command,
// "Zephrane2.ini" the style player's, "Zephrane3.ini" the Open dialog's start folder (kept with
// its line end; its users cut it at the last folder separator), "Zephrane4.ini" two digits, the
// "Specify Panel (bank 112) voices" and "Use 8 measures for BB styles" marks.

#include <string>

namespace zephrane {

struct Session;

inline constexpr char kSequencerFile[] = "Zephrane.ini";
inline constexpr char kStylePlayerFile[] = "Zephrane2.ini";
inline constexpr char kDefaultDirectoryFile[] = "Zephrane3.ini";
inline constexpr char kOptionMarksFile[] = "Zephrane4.ini";

// The whole file as text; empty without a message when it does not exist. Other failures go to
// the report under "ReadTextFileContents" and give an empty text.
std::string ReadTextFileContents(Session& session, const std::string& path);

// Replaces the file with `text` and CR LF; failures go to the report under
// "WriteTextFileContents". False after a failure.
bool WriteTextFileContents(Session& session, const std::string& text, const std::string& path);

// Start-up: the recent-files list, the three program settings and the two stored marks (a
// failure goes to the report under "Main"), then the effect type lists.
void StartUp(Session& session);

// The options whose check marks the menu toggles.
enum class OptionMark {
    PanelVoices,
    EightMeasureBbMains,
    XgSystemOn,
    ConvertSeventhAddB,
    MultipleTempos
};

// Toggles a check mark; the first two are stored in "Zephrane4.ini" at once.
void ToggleOptionMark(Session& session, OptionMark mark);

// Sets a check mark for this run only, as the command line's options do; nothing is stored.
void SetOptionMarkForRun(Session& session, OptionMark mark, bool checked);

// How the user left the window: its place and size, the CASM grid's column widths. Kept in the
// per-user settings store (application "Zephrane", section "Window") as the window writes them.
enum class WindowLayoutItem { Geometry, CasmColumns };
std::string ReadWindowLayout(Session& session, WindowLayoutItem item);
void StoreWindowLayout(Session& session, WindowLayoutItem item, const std::string& value);

// Full path of a settings file in the settings folder.
std::string SettingsFilePath(const Session& session, const std::string& name);

}  // namespace zephrane
