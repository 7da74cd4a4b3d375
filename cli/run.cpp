#include "cli/run.h"

#include <iostream>

#include "app/main_commands.h"
#include "app/session.h"
#include "cli/cli_platform.h"
#include "cli/info_output.h"
#include "song/text_events.h"

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
    if (!options.allSections) return options.sections;
    std::vector<std::string> keys;
    for (const SectionRow& row : kSectionTable)
        keys.emplace_back(row.key);
    return keys;
}

// Leaving a text box shows a message only when the edit failed.
bool EditText(Session& session, const CliPlatform& platform, const std::string& text,
              void (*leaveBox)(Session&, const std::string&)) {
    const size_t before = platform.Messages().size();
    leaveBox(session, text);
    return platform.Messages().size() == before;
}

// The edits in their fixed order; false once one is refused.
bool ApplyEdits(Session& session, const CliPlatform& platform, const RunOptions& options) {
    if (options.styleName && !EditText(session, platform, *options.styleName, LeaveStyleNameBox)) {
        return false;
    }
    if (options.copyright && !EditText(session, platform, *options.copyright, LeaveCopyrightBox)) {
        return false;
    }
    for (const std::string& key : SectionKeysToPress(options)) {
        if (!PressSectionButton(session, key)) return false;
    }
    return true;
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
    if (!options.raw) {
        return "only --raw is available in this version (the load alone, without preparing the "
               "working file)";
    }
    if (options.bb || options.bb8) return "--bb needs the preparation step, which --raw skips";
    for (const std::string& key : options.sections) {
        if (SectionByKey(key) == nullptr) return "unknown section key \"" + key + "\"";
    }
    return "";
}

int Run(const RunOptions& options) {
    CliPlatform platform(options.workDir, options.force);
    Platform services = platform.Services();
    Session session(services);
    SetMenuMarks(session.settings, options);
    SetUpEffectLists(session);

    bool succeeded = OpenChosenFile(session, options.file) != kResultFailed &&
                     ApplyEdits(session, platform, options);
    if (succeeded && options.subcommand == Subcommand::Working) {
        platform.SetFileToSave(options.output);
        succeeded = SaveWorkingMidiFile(session);
    }
    if (options.subcommand == Subcommand::Info) PrintInfo(session, platform, options, succeeded);
    return succeeded ? kExitSuccess : kExitRefused;
}

}  // namespace zephrane::cli
