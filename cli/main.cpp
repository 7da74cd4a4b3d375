// zephrane-cli: the main window's commands without a window, for batch runs and scripts.

#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/main_commands.h"
#include "app/session.h"
#include "app/version.h"
#include "cli/casm_output.h"
#include "cli/cli_platform.h"
#include "cli/run.h"

namespace {

using zephrane::cli::RunOptions;

// The options that set menu marks, open the file and edit it, shared by info and working.
void AddEditingOptions(CLI::App& command, RunOptions& options) {
    command.add_flag("--raw", options.raw, "Load only: no preparation, no working file written");
    command.add_option("--work-dir", options.workDir, "Folder of the working file Zephwork.mid");
    command.add_flag("--no-panel", options.noPanel, "Uncheck \"Specify Panel (bank 112) voices\"");
    command.add_flag("--no-xg-on", options.noXgOn, "Uncheck \"Include XG System On\"");
    command.add_flag("--multiple-tempos", options.multipleTempos,
                     "Check \"Allow Multiple Tempos\"");
    command.add_flag("--add-b", options.addB, "Check \"Convert7th by adding a B\"");
    command.add_flag("--bb", options.bb, "Open through \"Style from BB\"");
    command.add_flag("--bb8", options.bb8, "\"Style from BB\" with 8-measure main sections");
    command.add_option("--style-name", options.styleName, "Style name, as typed into its box");
    command.add_option("--copyright", options.copyright, "Copyright, as typed into its box");
    // One value per --sections, split at the commas; a repeated --sections adds its buttons.
    // Without the limits a list option would swallow every argument after it, FILE included.
    command
        .add_option("--sections", options.sections,
                    "Section buttons to press, comma-separated keys (\"Intro A,Main A\")")
        ->expected(1)
        ->allow_extra_args(false)
        ->delimiter(',')
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command.add_flag("--all-sections", options.allSections, "Press all fourteen section buttons");
    command.add_flag("--clear-casm", options.clearCasm, "\"Clear CASM\"");
    command.add_flag("--auto-casm", options.autoCasm, "\"Auto CASM Set\"");
    command.add_option("--casm", options.casmFile, "CASM rows to set, a JSON file")
        ->check(CLI::ExistingFile);
    command.add_flag("--use-style-casm", options.useStyleCasm,
                     "Select \"Use Style's Casm\" (when the opened style has CASM data)");
    command.add_option("--effects", options.effectsFile, "Effect fields to set, a JSON file")
        ->check(CLI::ExistingFile);
    command
        .add_option("--convert", options.convert,
                    "\"Convert Notes\": plain (to key of C and chord/scale notes) or sevenths "
                    "(and 7th chords)")
        ->check(CLI::IsMember({"plain", "sevenths"}));
    command.add_option("FILE", options.file, "Type-0 MIDI file or style")->required();
}

// Sections marked on any measures, for the commands that save what they mark.
void AddMarkOptions(CLI::App& command, RunOptions& options) {
    command
        .add_option("--mark", options.marks,
                    "Mark a section on measures FIRST-LAST, 0 being the song's first "
                    "(\"Main A=9-16\"); repeatable")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command
        .add_option("--plan", options.planFile,
                    "Mark the sections of a plan, a JSON file as suggest --json prints it")
        ->check(CLI::ExistingFile);
    command.add_flag("--suggested", options.suggested,
                     "Mark the sections and chords that suggest proposes; --mark and --plan "
                     "then take their sections' place");
}

struct MergeOptions {
    std::string input;
    std::string output;
    bool force = false;
};

void AddMergeOptions(CLI::App& command, MergeOptions& options) {
    command.add_option("IN", options.input, "Type-1 MIDI file")->required();
    command.add_option("-o", options.output, "The type-0 MIDI file to write")->required();
    command.add_flag("--force", options.force, "Answer OK when asked to replace a file");
}

// Merges the tracks of a type-1 file into a type-0 file; messages go to standard error.
int RunMerge(const MergeOptions& options) {
    zephrane::cli::CliPlatform platform("", options.force);
    zephrane::Platform services = platform.Services();
    zephrane::Session session(services);
    return zephrane::MergeMidiFile(session, options.input, options.output)
               ? zephrane::cli::kExitSuccess
               : zephrane::cli::kExitRefused;
}

// The arguments after the program name, last first as the parser takes them. "-o=OUT" names OUT,
// as "--work-dir=DIR" names DIR; the parser would keep the '=' and write a file named "=OUT".
std::vector<std::string> ParserArguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        optionsEnded = optionsEnded || argument == "--";
        if (!optionsEnded && argument.starts_with("-o=")) {
            arguments.push_back("-o");
            arguments.push_back(argument.substr(3));
        } else {
            arguments.push_back(argument);
        }
    }
    return {arguments.rbegin(), arguments.rend()};
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Zephrane: turns type-0 MIDI songs into accompaniment styles", "zephrane-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", zephrane::VersionLine("zephrane-cli"));

    RunOptions info;
    CLI::App* infoCommand =
        app.add_subcommand("info", "Open a file and print what the main window then shows");
    infoCommand->add_flag("--json", info.json, "Print one JSON object");
    AddEditingOptions(*infoCommand, info);

    RunOptions working;
    working.subcommand = zephrane::cli::Subcommand::Working;
    CLI::App* workingCommand =
        app.add_subcommand("working", "Open a file, edit it and save the working MIDI file");
    AddEditingOptions(*workingCommand, working);
    AddMarkOptions(*workingCommand, working);
    workingCommand->add_option("-o", working.output, "The MIDI file to write")->required();
    workingCommand->add_flag("--force", working.force, "Answer OK when asked to replace a file");

    RunOptions style;
    style.subcommand = zephrane::cli::Subcommand::Style;
    CLI::App* styleCommand =
        app.add_subcommand("style", "Open a file, edit it and save a style as \"Save Style\" does");
    AddEditingOptions(*styleCommand, style);
    AddMarkOptions(*styleCommand, style);
    styleCommand->add_option("-o", style.output, "The style file to write")->required();
    styleCommand->add_flag("--force", style.force, "Answer OK when asked to replace a file");

    bool casmJson = false;
    std::string casmFile;
    CLI::App* casmCommand = app.add_subcommand(
        "casm", "Print the CASM data and the other chunks after a style's track");
    casmCommand->add_flag("--json", casmJson, "Print one JSON object");
    casmCommand->add_option("STYLE", casmFile, "Style file")->required();

    RunOptions suggest;
    suggest.subcommand = zephrane::cli::Subcommand::Suggest;
    CLI::App* suggestCommand = app.add_subcommand(
        "suggest", "Open a file and print the sections and chords Zephrane proposes for a style");
    suggestCommand->add_flag("--json", suggest.json, "Print one JSON object");
    suggestCommand->add_option("--work-dir", suggest.workDir,
                               "Folder of the working file Zephwork.mid");
    suggestCommand->add_option("FILE", suggest.file, "Type-0 MIDI file")->required();

    MergeOptions merge;
    CLI::App* mergeCommand = app.add_subcommand(
        "merge", "Merge the tracks of a type-1 MIDI file into a type-0 file that Zephrane opens");
    AddMergeOptions(*mergeCommand, merge);

    try {
        app.parse(ParserArguments(argc, argv));
    } catch (const CLI::Success& helpOrVersion) {
        return app.exit(helpOrVersion);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return zephrane::cli::kExitUsage;
    }
    if (casmCommand->parsed()) return zephrane::cli::RunCasm(casmFile, casmJson);
    if (mergeCommand->parsed()) return RunMerge(merge);
    const RunOptions& options = infoCommand->parsed()      ? info
                                : workingCommand->parsed() ? working
                                : suggestCommand->parsed() ? suggest
                                                           : style;
    if (const std::string problem = zephrane::cli::UsageProblem(options); !problem.empty()) {
        std::cerr << "zephrane-cli: " << problem << "\n" << app.help();
        return zephrane::cli::kExitUsage;
    }
    try {
        return zephrane::cli::Run(options);
    } catch (const std::exception& error) {
        std::cerr << "zephrane-cli: " << error.what() << '\n';
        return zephrane::cli::kExitRefused;
    }
}
