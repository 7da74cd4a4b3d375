#include "cli/run.h"

#include <iostream>

#include "app/casm_commands.h"
#include "app/convert_commands.h"
#include "app/effect_commands.h"
#include "app/error_report.h"
#include "app/main_commands.h"
#include "app/main_window_view.h"
#include "app/section_chord_commands.h"
#include "app/section_commands.h"
#include "app/session.h"
#include "app/settings_files.h"
#include "app/song_commands.h"
#include "app/text_boxes.h"
#include "app/working_folder.h"
#include "cli/cli_platform.h"
#include "cli/edit_files.h"
#include "cli/info_output.h"
#include "cli/plan_options.h"
#include "cli/plan_output.h"
#include "sections/suggest_sections.h"

namespace zephrane::cli {
namespace {

void SetMenuMarks(Session& session, const RunOptions& options) {
    SetOptionMarkForRun(session, OptionMark::PanelVoices, !options.noPanel);
    SetOptionMarkForRun(session, OptionMark::XgSystemOn, !options.noXgOn);
    SetOptionMarkForRun(session, OptionMark::MultipleTempos, options.multipleTempos);
    SetOptionMarkForRun(session, OptionMark::ConvertSeventhAddB, options.addB);
    SetOptionMarkForRun(session, OptionMark::EightMeasureBbMains, options.bb8);
}

std::vector<std::string> SectionKeysToPress(const RunOptions& options) {
    return options.allSections ? AllSectionKeys() : options.sections;
}

struct EditFiles {
    SectionPlan marks;
    std::vector<CasmRowEdit> casm;
    std::optional<EffectsEdit> effects;
};

EditFiles ReadEditFiles(const RunOptions& options) {
    EditFiles files;
    files.marks = MarksOfRun(options.planFile, options.marks);
    if (!options.casmFile.empty()) files.casm = ReadCasmEdits(options.casmFile);
    if (!options.effectsFile.empty()) files.effects = ReadEffectsEdit(options.effectsFile);
    return files;
}

// The values of --convert, the two items of "Convert Notes".
ConvertItem ConvertItemNamed(const std::string& name) {
    return name == "sevenths" ? ConvertItem::Sevenths : ConvertItem::Plain;
}

// The edits in their fixed order; false once one is not done.
bool ApplyEdits(Session& session, const RunOptions& options, const EditFiles& files) {
    if (options.styleName && !LeaveStyleNameBox(session, *options.styleName)) return false;
    if (options.copyright && !LeaveCopyrightBox(session, *options.copyright)) return false;
    if (!PressSectionButtons(session, SectionKeysToPress(options))) return false;
    // The user's own marks come after the suggested ones, and take their sections' place.
    SectionPlan marked;
    if (options.suggested) {
        const std::optional<SectionPlan> suggested = MarkSuggestedSections(session);
        if (!suggested) return false;
        marked.sections = suggested->sections;
    }
    if (!files.marks.sections.empty() && !MarkSections(session, files.marks)) return false;
    marked.sections.insert(marked.sections.end(), files.marks.sections.begin(),
                           files.marks.sections.end());
    if (options.clearCasm && !ClearCasmSet(session)) return false;
    if (options.autoCasm && !AutoSetCasm(session)) return false;
    if (!ApplyCasmEdits(session, files.casm)) return false;
    // A file without a CASM of its own keeps "Make Casm", as the window's option does.
    if (options.useStyleCasm) ChooseCasmSource(session, CasmSource::StylesCasm);
    if (files.effects && !ApplyEffectsEdit(session, *files.effects)) return false;
    // Marked sections played over several chords are written over one, with the parts the
    // CASM edits above chose: a batch over a folder of songs has nobody to ask.
    if (!marked.sections.empty() && !ConvertChangingSections(session, marked)) {
        return false;
    }
    if (!options.convert.empty()) {
        // A batch run has no sequencer to check for.
        const ConvertItem item = ConvertItemNamed(options.convert);
        if (!ConvertNotes(session, item, SequencerCheck::Skipped)) return false;
    }
    return true;
}

CommandResult Open(Session& session, const RunOptions& options) {
    if (options.raw) return LoadFileAsItIs(session, options.file);
    return options.bb || options.bb8 ? StyleFromBb(session, options.file)
                                     : OpenFileCommand(session, options.file);
}

CommandResult Finish(Session& session, const RunOptions& options) {
    // Without -o the save is cancelled, as a closed Save dialog would be.
    const std::optional<std::string> output =
        options.output.empty() ? std::nullopt : std::optional(options.output);
    switch (options.subcommand) {
        case Subcommand::Working:
            return SaveWorkingMidiFile(session, output);
        case Subcommand::Style:
            return SaveStyle(session, StyleCommandSource::ToolbarButton, output);
        case Subcommand::Info:
        case Subcommand::Suggest:
            break;
    }
    return {};
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

// The plan proposed for the song; false when the command was refused or failed.
bool PrintSuggestion(Session& session, const RunOptions& options) {
    const std::optional<SectionPlan> plan = SuggestSections(session);
    if (!plan) return false;
    if (options.json) {
        std::cout << PlanJson(*plan).dump(2, ' ', false,
                                          nlohmann::ordered_json::error_handler_t::replace)
                  << '\n';
    } else {
        std::cout << PlanText(*plan);
    }
    return true;
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
    SetMenuMarks(session, options);
    SetUpEffectLists(session);
    platform.CreateFolders();

    bool succeeded = false;
    try {
        // A run stops at the first command that is not done: one that showed an error report
        // saves nothing and ends as refused.
        succeeded = Open(session, options) && ApplyEdits(session, options, files) &&
                    Finish(session, options);
        if (succeeded && options.subcommand == Subcommand::Suggest)
            succeeded = PrintSuggestion(session, options);
    } catch (const UsageError& error) {
        std::cerr << "zephrane-cli: " << error.what() << '\n';
        return kExitUsage;
    }
    if (options.subcommand == Subcommand::Info) {
        if (options.json) RefreshChords(session);
        PrintInfo(session, platform, options, succeeded);
    }
    return succeeded ? kExitSuccess : kExitRefused;
}

}  // namespace zephrane::cli
