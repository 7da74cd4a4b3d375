#include "app/main_commands.h"

#include <algorithm>

#include <filesystem>
#include <sstream>

#include "app/casm_commands.h"
#include "app/edit_history.h"
#include "app/messages.h"
#include "app/play_commands.h"
#include "app/recent_files.h"
#include "app/save_files.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/style_commands.h"
#include "song/file_io.h"
#include "song/merge_tracks.h"

namespace zephrane {
namespace {

constexpr int kMainASlot = 2;

constexpr int kPollMilliseconds = 100;
constexpr int kBbMeasures = 44;

// Prepares the song with every channel, writes it as the working file and loads that.
bool LoadAndPrepare(Session& session) {
    const std::string workingFile = session.platform.paths.WorkingFilePath();
    return PrepMidi(session, PrepOption::AllChannels) && SaveStyleFile(session, workingFile) &&
           LoadSong(session, workingFile);
}

// Starts the program and waits for it, letting the window paint every 100 ms meanwhile.
void ShellAndWait(Session& session, const std::vector<std::string>& arguments) {
    ProcessService& processes = session.platform.processes;
    const int64_t processId = processes.StartProcess(arguments);
    session.view.waitingForSequencer = true;
    // The window closes its commands and says why before the first wait, not after the last.
    session.platform.window.ShowMainWindow(session.view);
    try {
        while (!processes.WaitForExit(processId, kPollMilliseconds)) {
            processes.ProcessPendingEvents();
        }
    } catch (...) {
        session.view.waitingForSequencer = false;
        throw;
    }
    session.view.waitingForSequencer = false;
}

// Recent-file entries decide the file kind by these endings only.
void SetKindFromRecentEntry(SongImage& song) {
    const std::string name = song.fileName;
    const std::string ending = name.size() >= 3 ? name.substr(name.size() - 3) : name;
    for (const char* midi : {"MID", "mid", "Mid"}) {
        if (ending == midi) {
            song.isMidiFile = true;
            song.isStyleFile = false;
            return;
        }
    }
    for (const char* style : {"sty", "pcs", "sst", "pst", "STY", "PCS", "SST", "PST"}) {
        if (ending == style) {
            song.isStyleFile = true;
            song.isMidiFile = false;
            return;
        }
    }
}

bool ShowDocument(Session& session, const std::string& name, const DocumentRequest& shown,
                  const std::string& failure) {
    DocumentRequest request = shown;
    request.path = session.platform.paths.DataFilePath(name);
    if (!FileCanBeRead(request.path) || !session.platform.window.ShowDocument(request)) {
        session.platform.messages.ShowMessage(failure);
        return false;
    }
    return true;
}

}  // namespace

bool CheckStyleCommand(Session& session, StyleCommandSource source) {
    bool mayBuild = false;
    const bool toolbar = source == StyleCommandSource::ToolbarButton;
    Guarded(session, toolbar ? "Toolbar1" : "mnusave", [&] {
        MessageService& messages = session.platform.messages;
        if (session.song.fileName.empty()) {
            Refuse(session, kNoFileOpenMessage);
            return;
        }
        const SectionSlots& pressed = session.view.sectionPressed;
        const bool anyPressed =
            std::any_of(pressed.begin(), pressed.end(), [](bool b) { return b; });
        if (!session.sectionFlags[kMainASlot] && (toolbar || anyPressed)) {
            messages.ShowMessage(
                "WARNING- Your style does not have a Main A section. This will cause some PSR's "
                "(e.g. 2000/9000) to act strangely.");
        }
        if (!anyPressed) {
            Refuse(session, kNoSectionSelectedMessage);
            return;
        }
        if (!session.useStyleCasm && !AnyPartAssigned(session.casm)) {
            Refuse(session, toolbar ? "At least one Part In the CASM must be assigned for a "
                                      "style to be created"
                                    : "At least one Part in the CASM must be assigned for a "
                                      "style to be created");
            return;
        }
        if (toolbar && !ScanSong(session)) return;
        mayBuild = true;
    });
    return mayBuild;
}

CommandResult ChooseCasmSource(Session& session, CasmSource source) {
    return RunCommand(session, [&] {
        const bool stylesCasm = source == CasmSource::StylesCasm;
        session.useStyleCasm = stylesCasm && session.song.hasStyleCasm;
        return session.useStyleCasm == stylesCasm;
    });
}

CommandResult SaveWorkingMidiFile(Session& session, const std::optional<std::string>& path) {
    return RunCommand(session, [&] {
        bool saved = false;
        Guarded(session, "mnuSaveMidi", [&] {
            if (session.song.fileName.empty()) {
                Refuse(session, kNoFileOpenMessage);
                return;
            }
            const auto written = SaveAs(session, SaveKind::Midi, path);
            if (!written) return;
            const std::string name = FileNameWithoutFolder(*written);
            session.view.caption = std::string(kProgramTitle) + "   " + name;
            session.song.fileName = *written;
            session.view.txtFileName = name + "(modified)";
            MarkEditsSaved(session);
            saved = true;
        });
        return saved;
    });
}

std::vector<std::string> CommandArguments(const std::string& command, const std::string& argument) {
    std::vector<std::string> arguments;
    std::error_code ignored;
    if (std::filesystem::is_regular_file(command, ignored)) {
        arguments.push_back(command);
    } else {
        std::istringstream words(command);
        for (std::string word; words >> word;)
            arguments.push_back(word);
    }
    if (!argument.empty()) arguments.push_back(argument);
    return arguments;
}

void SetSourceChords(Session& session, const std::string& which) {
    int key = 0;
    int chord = 0;
    if (which == "major") {
        chord = 0;
    } else if (which == "7th") {
        chord = 2;
    } else if (which == "all") {
        key = SongKeyIndex(session.facts.keyText);
        chord = SongChordPosition(session.facts.modeWord);
    } else {
        return;
    }
    for (CasmRow& row : session.casm) {
        row.sourceKey = key;
        row.sourceChord = chord;
    }
}

namespace {

bool OpenRecentEntry(Session& session, int index) {
    bool opened = false;
    Guarded(session, "Toolbar1", [&] {
        const std::vector<std::string>& entries = session.recentFiles.entries;
        if (index < 0 || index >= static_cast<int>(entries.size())) return;
        const std::string path = entries[index];
        SongImage& song = session.song;
        const std::string previousCaption = session.view.caption;
        const std::string previousFileName = song.fileName;
        const bool wasMidi = song.isMidiFile;
        const bool wasStyle = song.isStyleFile;
        session.view.caption = std::string(kProgramTitle) + "   " + path;
        song.fileName = path;
        SetKindFromRecentEntry(song);
        if (!LoadSong(session, path)) {
            session.view.caption = previousCaption;
            song.fileName = previousFileName;
            song.isMidiFile = wasMidi;
            song.isStyleFile = wasStyle;
            return;
        }
        AddRecentFile(session, path);
        opened = AllOrNothing(session, [&] { return LoadAndPrepare(session); });
    });
    return opened;
}

bool EditInSequencer(Session& session) {
    bool edited = false;
    Guarded(session, "Toolbar1", [&] {
        // The sequencer is also where a song is lengthened before any section can be marked,
        // so the command does not wait for a marked section: every section button is enabled.
        if (session.song.fileName.empty()) {
            Refuse(session, kNoFileOpenMessage);
            return;
        }
        if (session.settings.sequencerPath.empty()) {
            Refuse(session, kNoSequencerMessage);
            return;
        }
        const std::string workingFile = session.platform.paths.WorkingFilePath();
        const ErrorReportWatch watch(session);
        if (!PrepMidi(session, PrepOption::AllChannels) || watch.AnyShown() ||
            !SaveStyleFile(session, workingFile)) {
            return;
        }
        ShellAndWait(session, CommandArguments(session.settings.sequencerPath, workingFile));
        if (!LoadSong(session, workingFile)) return;
        SetSourceChords(session, "all");
        edited = true;
    });
    return edited;
}

bool StartStylePlayer(Session& session) {
    bool started = false;
    Guarded(session, "Toolbar1", [&] {
        const Settings& settings = session.settings;
        if (settings.stylePlayerPath.empty()) {
            Refuse(session,
                   "The style player program has not been selected. Click on Setup to identify the "
                   "style player that you wish to use");
            return;
        }
        const SongImage& song = session.song;
        const std::string style = !song.lastStyleSaved.empty() ? song.lastStyleSaved
                                  : song.isStyleFile           ? song.fileName
                                                               : "";
        if (style.empty()) {
            Refuse(session, kNoStyleToPlayMessage);
            return;
        }
        StartWatchedProgram(session, WatchedProgramKind::StylePlayer,
                            CommandArguments(settings.stylePlayerPath, style));
        started = true;
    });
    return started;
}

bool PrepareBbSong(Session& session, const std::optional<std::string>& path) {
    bool prepared = false;
    Guarded(session, "Toolbar1", [&] {
        session.song.bbMode = true;
        const ErrorReportWatch watch(session);
        if (!OpenFile(session, path) || watch.AnyShown()) return;
        if (session.facts.measureCount < kBbMeasures) {
            Refuse(session, "A midi must have 44 measures to make a style using this function.");
            return;
        }
        if (session.song.fileName.empty()) return;
        if (!ScanSong(session)) return;
        MarkBBSections(session, session.settings.eightMeasureBbMains);
        AutoSetCasm(session);
        if (watch.AnyShown() || !PrepMidi(session, PrepOption::AllChannels) || watch.AnyShown() ||
            !ScanSong(session)) {
            return;
        }
        const std::string workingFile = session.platform.paths.WorkingFilePath();
        prepared = SaveStyleFile(session, workingFile) && LoadSong(session, workingFile);
    });
    return prepared;
}

bool MergeChosenTypeOneFile(Session& session) {
    bool opened = false;
    Guarded(session, "OpenFile", [&] {
        FileDialogService& dialogs = session.platform.fileDialogs;
        FileDialogRequest open;
        open.title = "Select Type 1 MIDI File to convert";
        open.filter = "MIDI Files(*.mid)|*.mid|";
        open.initialDirectory = session.settings.defaultDirectory.empty()
                                    ? session.platform.paths.ProgramDirectory()
                                    : FolderWithSeparator(session.settings.defaultDirectory);
        const auto source = dialogs.ChooseFileToOpen(open);
        if (!source || source->empty()) return;
        FileDialogRequest save;
        save.title = "Save the Type 0 MIDI File";
        save.filter = "MIDI Files(*.mid)|*.mid|";
        save.defaultExtension = "mid";
        save.proposedName = ProposedSaveName(*source, "mid");
        save.proposedName.insert(save.proposedName.size() - 4, " type 0");
        const auto target = dialogs.ChooseFileToSave(save);
        if (!target || target->empty()) return;
        if (!MergeMidiFile(session, *source, *target)) return;  // asks before replacing a file
        opened = static_cast<bool>(OpenFileByPath(session, *target));
    });
    return opened;
}

// Opens a file the way `open` does and prepares it, all or nothing; a failure is reported under
// `procedure`.
template <typename Open>
CommandResult OpenAndPrepare(Session& session, std::string_view procedure, Open&& open) {
    return RunCommand(session, [&] {
        bool opened = false;
        Guarded(session, procedure, [&] {
            session.song.bbMode = false;
            opened = AllOrNothing(session, [&] { return open() && LoadAndPrepare(session); });
        });
        return opened;
    });
}

}  // namespace

CommandResult OpenFileCommand(Session& session, const std::optional<std::string>& path) {
    return OpenAndPrepare(session, "Toolbar1", [&] { return OpenFile(session, path); });
}

CommandResult OpenFileByPath(Session& session, const std::string& path) {
    return OpenAndPrepare(session, "OpenFile", [&] { return OpenChosenFile(session, path); });
}

CommandResult LoadFileAsItIs(Session& session, const std::string& path) {
    return RunCommand(session, [&] { return OpenChosenFile(session, path); });
}

CommandResult OpenRecentFile(Session& session, int index) {
    return RunCommand(session, [&] { return OpenRecentEntry(session, index); });
}

CommandResult ToSequencer(Session& session) {
    return RunCommand(session, [&] { return EditInSequencer(session); });
}

CommandResult PlayStyle(Session& session) {
    return RunCommand(session, [&] { return StartStylePlayer(session); });
}

CommandResult SaveStyle(Session& session, StyleCommandSource source,
                        const std::optional<std::string>& path) {
    return RunCommand(session, [&] {
        const ErrorReportWatch watch(session);
        if (!CheckStyleCommand(session, source) || !MakeStyleFromMidi(session) ||
            watch.AnyShown()) {
            return false;
        }
        if (!SaveAs(session, SaveKind::Style, path)) return false;
        MarkEditsSaved(session);
        return true;
    });
}

CommandResult StyleFromBb(Session& session, const std::optional<std::string>& path) {
    return RunCommand(session, [&] { return PrepareBbSong(session, path); });
}

CommandResult ConvertTypeOneMidi(Session& session) {
    return RunCommand(session, [&] { return MergeChosenTypeOneFile(session); });
}

CommandResult ShowQuickStart(Session& session) {
    return RunCommand(session, [&] {
        return ShowDocument(session, "ZephraneQuickStart.rtf",
                            {"", "Quick Start Guide", "Scroll screen to select function"},
                            "Cannot find the Quick Start File named ZephraneQuickStart.rtf");
    });
}

CommandResult ShowHelp(Session& session) {
    return RunCommand(session, [&] {
        return ShowDocument(session, "Zephrane.rtf", {"", std::nullopt, std::nullopt},
                            "Cannot find the Information File named Zephrane.rtf");
    });
}

CommandResult MergeMidiFile(Session& session, const std::string& in, const std::string& out) {
    return RunCommand(session, [&] {
        bool written = false;
        Guarded(session, "MergeMidiFile", [&] {
            ByteImage merged;
            try {
                merged = MergeToTypeZero(ByteImage(ReadInputFile(in)));
            } catch (const FileRefused& refusal) {
                Refuse(session, refusal.what());
                return;
            }
            if (FileCanBeRead(out) &&
                !session.platform.messages.AskOkCancel("This will replace existing file")) {
                return;
            }
            WriteWholeFile(out, merged.Bytes());
            written = true;
        });
        return written;
    });
}

}  // namespace zephrane
