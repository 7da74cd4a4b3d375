#pragma once
// Programs that play styles beside the window: the style player of Setup ("Play Style") and the
// preview bar's zephrane-play, watched without waiting until they end.

#include <optional>
#include <string>
#include <vector>

#include "app/command_result.h"
#include "app/platform.h"
#include "sections/sections.h"

namespace zephrane {

struct Session;
enum class WatchedProgramKind;

inline constexpr char kPreviewPlayerName[] = "zephrane-play";
inline constexpr char kPreviewFileName[] = "Zephpreview.sty";
inline constexpr char kDefaultPreviewChords[] = "C Am F G7";

struct PreviewRequest {
    std::string section;  // the marker name ("Main A"); empty lets zephrane-play choose
    std::string chords = kDefaultPreviewChords;
};

// The preview's Play: refuses an unreadable chord progression with the player's own message,
// then makes the style as Save Style does (its checks and messages) into the preview file of
// the working folder, without counting as a save; an opened style in which no section was
// marked plays as it is instead. Stops a preview still sounding and starts zephrane-play on the
// style with the section and the chords.
CommandResult PlayPreview(Session& session, const PreviewRequest& request);

// The preview's Stop: ends the preview (and a WAV file being written for it).
CommandResult StopPreview(Session& session);

// Polled while programs run beside the window: for each one that has ended, says how when that
// matters: a failed style player or preview shows its exit status and its error output; a
// preview without sound (status 3) offers to write a WAV file instead and starts that run; a
// finished WAV run says where the file is. True when a program ended: only then has anything
// the window shows changed.
bool CheckStartedPrograms(Session& session);

// Starts `arguments` beside the window and watches it until CheckStartedPrograms sees it end.
void StartWatchedProgram(Session& session, WatchedProgramKind kind,
                         const std::vector<std::string>& arguments);

// zephrane-play: beside the running program, else in the build tree's player folder beside its
// gui folder, else the first on the search path; nothing when it is in none of them.
std::optional<std::string> FindPreviewPlayer(const PathService& paths);

// The marker names of the pressed section buttons, in toolbar order.
std::vector<std::string> PreviewSections(const SectionSlots& pressed);

// True while a preview (or its WAV run) is running and not stopped.
bool PreviewPlaying(const Session& session);

}  // namespace zephrane
