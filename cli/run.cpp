#include "cli/run.h"

#include <iostream>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/effect_commands.h"
#include "app/error_report.h"
#include "app/main_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/song_commands.h"
#include "app/text_boxes.h"
#include "app/working_folder.h"
#include "cli/cli_platform.h"
#include "cli/edit_files.h"
#include "cli/info_output.h"

namespace zephrane::cli {
namespace {

void SetMenuMarks(Settings& settings, const RunOptions& options) {
    settings.panelVoices = !options.noPanel;
    settings.xgSystemOn = !options.noXgOn;
    settings.multipleTempos = options.multipleTempos;
    settings.convertSeventhAddB = options.addB;
    settings.eightMeasureBbMains = options.bb8;
}

std::vector<std::string> SectionKeysToPress(const RunOptions& options) {
    return options.allSections ? AllSectionKeys() : options.sections;
}

// Leaving a text box shows a message only when the edit failed.
bool EditText(Session& session, const CliPlatform& platform, const std::string& text,
              void (*leaveBox)(Session&, const std::string&)) {
    const size_t before = platform.Messages().size();
    leaveBox(session, text);
    return platform.Messages().size() == before;
}

struct EditFiles {
    std::vector<CasmRowEdit> casm;
    std::optional<EffectsEdit> effects;
};

EditFiles ReadEditFiles(const RunOptions& options) {
    EditFiles files;
    if (!options.casmFile.empty()) files.casm = ReadCasmEdits(options.casmFile);
    if (!options.effectsFile.empty()) files.effects = ReadEffectsEdit(options.effectsFile);
    return files;
}

// The values of --convert, the two items of "Convert Notes".
ConvertItem ConvertItemNamed(const std::string& name) {
    return name == "sevenths" ? ConvertItem::Sevenths : ConvertItem::Plain;
}

// The edits in their fixed order; false once one is refused.
bool ApplyEdits(Session& session, const CliPlatform& platform, const RunOptions& options,
                const EditFiles& files) {
    if (options.styleName && !EditText(session, platform, *options.styleName, LeaveStyleNameBox)) {
        return false;
    }
    if (options.copyright && !EditText(session, platform, *options.copyright, LeaveCopyrightBox)) {
        return false;
    }
    if (!PressSectionButtons(session, SectionKeysToPress(options))) return false;
    if (options.clearCasm) ClearCasmSet(session);
    if (options.autoCasm) AutoSetCasm(session);
    if (!ApplyCasmEdits(session, files.casm)) return false;
    if (options.useStyleCasm) ChooseCasmSource(session, CasmSource::StylesCasm);
    if (files.effects) ApplyEffectsEdit(session, *files.effects);
    if (!options.convert.empty()) {
        // A batch run has no sequencer to check for.
        const ConvertItem item = ConvertItemNamed(options.convert);
        if (!ConvertNotes(session, item, SequencerCheck::Skipped)) return false;
    }
    return true;
}

bool Open(Session& session, CliPlatform& platform, const RunOptions& options) {
    if (options.raw) return OpenChosenFile(session, options.file);
    platform.SetFileToOpen(options.file);
    return options.bb || options.bb8 ? StyleFromBb(session) : OpenFileCommand(session);
}

bool Finish(Session& session, CliPlatform& platform, const RunOptions& options) {
    platform.SetFileToSave(options.output);
    switch (options.subcommand) {
        case Subcommand::Working:
            return SaveWorkingMidiFile(session);
        case Subcommand::Style:
            return SaveStyle(session, StyleCommandSource::ToolbarButton);
        case Subcommand::Info:
            return true;
    }
    return false;
}

// The folder given with --work-dir, held for this run alone, else a fresh one of its own; nothing
// when another run keeps the given folder.
std::optional<WorkingFolder> TakeWorkingFolder(const RunOptions& options) {
    if (options.workDir.empty()) return WorkingFolder::Fresh();
    return WorkingFolder::Hold(options.workDir, kWorkingFolderPatience);
}

void PrintInfo(const Session& session, const CliPlatform& platform, const RunOptions& options,
               bool succeeded) {
    if (options.json) {
        std::cout << InfoJson(session, platform.Messages())
                         .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << '\n';
    } else if (succeeded) {
        std::cout << InfoText(session);
    }
}

}  // namespace

std::string UsageProblem(const RunOptions& options) {
    if (options.raw && (options.bb || options.bb8))
        return "--bb opens through \"Style from BB\", --raw loads only";
    for (const std::string& key : options.sections) {
        if (SectionByKey(key) == nullptr) return "unknown section key \"" + key + "\"";
    }
    return "";
}

int Run(const RunOptions& options) {
    EditFiles files;
    try {
        files = ReadEditFiles(options);
    } catch (const UsageError& error) {
        std::cerr << "zephrane-cli: " << error.what() << '\n';
        return kExitUsage;
    }
    std::optional<WorkingFolder> workingFolder;
    try {
        workingFolder = TakeWorkingFolder(options);
    } catch (const RuntimeError& error) {
        std::cerr << ErrorReportText(error, "Main") << '\n';
        return kExitRefused;
    }
    if (!workingFolder) {
        std::cerr << WorkingFolderInUseMessage(options.workDir) << '\n';
        return kExitRefused;
    }
    CliPlatform platform(workingFolder->Path(), options.force);
    Platform services = platform.Services();
    Session session(services);
    SetMenuMarks(session.settings, options);
    SetUpEffectLists(session);
    platform.CreateFolders();

    bool succeeded = false;
    try {
        // A run that showed an error report saves nothing and ends as refused.
        const auto noErrorReport = [&] { return session.errorReportsShown == 0; };
        succeeded = Open(session, platform, options) &&
                    ApplyEdits(session, platform, options, files) && noErrorReport() &&
                    Finish(session, platform, options) && noErrorReport();
    } catch (const UsageError& error) {
        std::cerr << "zephrane-cli: " << error.what() << '\n';
        return kExitUsage;
    }
    if (options.subcommand == Subcommand::Info) PrintInfo(session, platform, options, succeeded);
    return succeeded ? kExitSuccess : kExitRefused;
}

}  // namespace zephrane::cli
