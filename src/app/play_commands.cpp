#include "app/play_commands.h"

#include <algorithm>
#include <filesystem>

#include <unistd.h>

#include "app/main_commands.h"
#include "app/save_files.h"
#include "app/session.h"
#include "app/style_commands.h"
#include "player/chords.h"
#include "player/player_error.h"
#include "song/file_io.h"

namespace zephrane {
namespace {

namespace fs = std::filesystem;

// zephrane-play's status when it could neither load its sound font nor open an audio device.
constexpr int kNoSoundStatus = 3;

constexpr char kNoPreviewPlayerMessage[] =
    "The style player zephrane-play was found neither beside Zephrane, nor in the player folder "
    "of its build, nor on the PATH. Install it to hear the preview.";

bool IsPreview(const WatchedProgram& program) {
    return program.kind != WatchedProgramKind::StylePlayer;
}

bool IsRunnable(const fs::path& file) {
    std::error_code ignored;
    return fs::is_regular_file(file, ignored) && ::access(file.c_str(), X_OK) == 0;
}

// `text`, then the program's error output below it when it wrote any.
std::string WithErrorOutput(const std::string& text, const ProgramEnd& end) {
    const size_t last = end.errorOutput.find_last_not_of(" \t\r\n");
    if (last == std::string::npos) return text;
    return text + "\n\n" + end.errorOutput.substr(0, last + 1);
}

// zephrane-play's own lines when it wrote any: the sound libraries beneath it write their
// complaints about a missing audio device to the same standard error.
std::string PlayerLines(const std::string& errorOutput) {
    const std::string prefix = std::string(kPreviewPlayerName) + ": ";
    std::string kept;
    for (size_t from = 0; from < errorOutput.size();) {
        const size_t end = std::min(errorOutput.find('\n', from), errorOutput.size());
        if (errorOutput.compare(from, prefix.size(), prefix) == 0) {
            kept += errorOutput.substr(from, end - from) + "\n";
        }
        from = end + 1;
    }
    return kept.empty() ? errorOutput : kept;
}

std::string PreviewFilePath(const PathService& paths) {
    return (fs::path(paths.WorkingFilePath()).parent_path() / kPreviewFileName).string();
}

// The style the preview plays: the opened style while no section was marked in it, else the
// style Save Style would make, written to the preview file. Nothing after a refusal.
std::optional<std::string> PreviewStyle(Session& session) {
    if (session.song.isStyleFile && !session.sectionMarkedSinceOpen) return session.song.fileName;
    const ErrorReportWatch watch(session);
    if (!CheckStyleCommand(session, StyleCommandSource::ToolbarButton) ||
        !MakeStyleFromMidi(session) || watch.AnyShown()) {
        return std::nullopt;
    }
    const std::string path = PreviewFilePath(session.platform.paths);
    if (!SaveStyleFile(session, path)) return std::nullopt;
    return path;
}

void StopPreviews(Session& session) {
    for (WatchedProgram& program : session.watchedPrograms) {
        if (!IsPreview(program) || program.stopped) continue;
        session.platform.processes.StopProcess(program.processId);
        program.stopped = true;
    }
}

bool StartPreview(Session& session, const PreviewRequest& request) {
    bool started = false;
    Guarded(session, "PlayPreview", [&] {
        try {
            player::ParseProgression(request.chords);
        } catch (const player::PlayerError& error) {
            Refuse(session, error.what());
            return;
        }
        const auto player = FindPreviewPlayer(session.platform.paths);
        if (!player) {
            Refuse(session, kNoPreviewPlayerMessage);
            return;
        }
        const auto style = PreviewStyle(session);
        if (!style) return;
        StopPreviews(session);
        std::vector<std::string> arguments{*player, *style};
        if (!request.section.empty())
            arguments.insert(arguments.end(), {"--section", request.section});
        arguments.insert(arguments.end(), {"--chords", request.chords});
        StartWatchedProgram(session, WatchedProgramKind::Preview, arguments);
        started = true;
    });
    return started;
}

// No sound from the preview: asks whether to write it to a WAV file, and where, and starts
// zephrane-play again with -o.
void OfferWavFile(Session& session, const WatchedProgram& preview, const ProgramEnd& end) {
    MessageService& messages = session.platform.messages;
    if (!messages.AskOkCancel(WithErrorOutput("No sound: the preview found no audio device or "
                                              "no sound font (exit status 3).",
                                              end) +
                              "\n\nWrite the preview to a WAV file instead?")) {
        return;
    }
    FileDialogRequest request;
    request.title = "Write the Preview to a WAV File";
    request.filter = "WAV Files(*.wav)|*.wav|";
    request.defaultExtension = "wav";
    request.proposedName = ProposedSaveName(session.song.fileName, "wav");
    const auto chosen = session.platform.fileDialogs.ChooseFileToSave(request);
    if (!chosen || chosen->empty()) return;
    if (FileCanBeRead(*chosen) && !messages.AskOkCancel("This will replace existing file")) return;
    std::vector<std::string> arguments = preview.arguments;
    arguments.insert(arguments.end(), {"-o", *chosen});
    StartWatchedProgram(session, WatchedProgramKind::PreviewToWav, arguments);
}

void TellEnd(Session& session, const WatchedProgram& program, const ProgramEnd& end) {
    MessageService& messages = session.platform.messages;
    const std::string status = std::to_string(end.exitStatus);
    switch (program.kind) {
        case WatchedProgramKind::StylePlayer:
            if (end.exitStatus != 0) {
                messages.ShowMessage(WithErrorOutput(
                    "The style player ended with exit status " + status + ".", end));
            }
            break;
        case WatchedProgramKind::Preview:
            if (end.exitStatus == kNoSoundStatus) {
                OfferWavFile(session, program, end);
            } else if (end.exitStatus != 0) {
                messages.ShowMessage(
                    WithErrorOutput("The preview ended with exit status " + status + ".", end));
            }
            break;
        case WatchedProgramKind::PreviewToWav:
            const std::string& wavFile = program.arguments.back();
            messages.ShowMessage(end.exitStatus == 0
                                     ? "The preview was written to " + wavFile + "."
                                     : WithErrorOutput("The preview could not be written to " +
                                                           wavFile + " (exit status " + status +
                                                           ").",
                                                       end));
            break;
    }
}

}  // namespace

CommandResult PlayPreview(Session& session, const PreviewRequest& request) {
    return RunCommand(session, [&] { return StartPreview(session, request); });
}

CommandResult StopPreview(Session& session) {
    return RunCommand(session, [&] {
        StopPreviews(session);
        return true;
    });
}

bool CheckStartedPrograms(Session& session) {
    bool anyEnded = false;
    RunCommand(session, [&] {
        return Guarded(session, "CheckStartedPrograms", [&] {
            // An ended program leaves the list before anything is shown: while a message box is
            // open the window polls again.
            std::vector<std::pair<WatchedProgram, ProgramEnd>> ended;
            std::vector<WatchedProgram>& watched = session.watchedPrograms;
            for (auto program = watched.begin(); program != watched.end();) {
                if (auto end = session.platform.processes.PollExit(program->processId)) {
                    if (IsPreview(*program)) end->errorOutput = PlayerLines(end->errorOutput);
                    ended.emplace_back(std::move(*program), std::move(*end));
                    program = watched.erase(program);
                } else {
                    ++program;
                }
            }
            anyEnded = !ended.empty();
            for (const auto& [program, end] : ended) {
                if (!program.stopped) TellEnd(session, program, end);
            }
        });
    });
    return anyEnded;
}

void StartWatchedProgram(Session& session, WatchedProgramKind kind,
                         const std::vector<std::string>& arguments) {
    const int64_t processId = session.platform.processes.StartWatchedProcess(arguments);
    session.watchedPrograms.push_back({processId, kind, arguments, false});
}

std::optional<std::string> FindPreviewPlayer(const PathService& paths) {
    const fs::path programDirectory = paths.ProgramDirectory();
    std::vector<fs::path> candidates{programDirectory / kPreviewPlayerName};
    if (programDirectory.filename() == "gui") {
        candidates.push_back(programDirectory.parent_path() / "player" / kPreviewPlayerName);
    }
    const std::string searchPath = paths.ProgramSearchPath();
    for (size_t from = 0; from <= searchPath.size();) {
        const size_t colon = std::min(searchPath.find(':', from), searchPath.size());
        if (colon > from) {
            candidates.push_back(fs::path(searchPath.substr(from, colon - from)) /
                                 kPreviewPlayerName);
        }
        from = colon + 1;
    }
    const auto found = std::find_if(candidates.begin(), candidates.end(), IsRunnable);
    if (found == candidates.end()) return std::nullopt;
    return found->string();
}

std::vector<std::string> PreviewSections(const SectionSlots& pressed) {
    std::vector<const SectionRow*> rows;
    for (const SectionRow& row : kSectionTable) {
        if (pressed[row.slot]) rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(),
              [](const SectionRow* a, const SectionRow* b) { return a->slot < b->slot; });
    std::vector<std::string> names;
    for (const SectionRow* row : rows)
        names.emplace_back(row->name);
    return names;
}

bool PreviewPlaying(const Session& session) {
    return std::any_of(
        session.watchedPrograms.begin(), session.watchedPrograms.end(),
        [](const WatchedProgram& program) { return IsPreview(program) && !program.stopped; });
}

}  // namespace zephrane
