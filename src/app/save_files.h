#pragma once
// Saving the song image and the output image: Save As with its dialog and question, and the
// writes of the commands, each reporting its own failure.

#include <optional>
#include <string>

namespace zephrane {

struct Session;

enum class SaveKind { Midi, Style };

// Writes the song image to `path`; false after a failure (reported under "SaveMidiFile").
bool SaveMidiFile(Session& session, const std::string& path);
// Writes the output image to `path`; false after a failure (reported under "SaveStyleFile").
bool SaveStyleFile(Session& session, const std::string& path);

// Asks for a file name, unless `path` gives it, and writes the song image (Midi) or the output
// image (Style). The path once written; nothing when the user cancelled or the write failed.
std::optional<std::string> SaveAs(Session& session, SaveKind kind,
                                  const std::optional<std::string>& path = std::nullopt);

// The name the Save dialog proposes: the open file's name without its last four characters,
// then "." and the extension.
std::string ProposedSaveName(const std::string& fileName, const std::string& extension);

}  // namespace zephrane
