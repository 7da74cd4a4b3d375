// zephrane-cli: the main window's commands without a window, for batch runs and scripts.

#include <filesystem>
#include <iostream>

#include <CLI/CLI.hpp>

#include "app/session.h"
#include "cli/cli_platform.h"
#include "cli/info_output.h"

namespace {

using zephrane::cli::CliPlatform;

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

struct InfoOptions {
    std::string file;
    std::string workDir;
    bool json = false;
    bool raw = false;
};

int RunInfo(const InfoOptions& options) {
    if (!options.raw) {
        std::cerr << "zephrane-cli info: only --raw is available in this version (the load alone, "
                     "without preparing the working file)\n";
        return kExitUsage;
    }
    const std::string workDir =
        options.workDir.empty() ? zephrane::cli::DefaultWorkDirectory() : options.workDir;
    CliPlatform platform((std::filesystem::path(workDir) / "Zephwork.mid").string(), false);
    zephrane::Platform services = platform.Services();
    zephrane::Session session(services);

    const bool loaded = zephrane::OpenChosenFile(session, options.file) != zephrane::kResultFailed;
    if (options.json) {
        std::cout << zephrane::cli::InfoJson(session, platform.Messages())
                         .dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << '\n';
    } else if (loaded) {
        std::cout << zephrane::cli::InfoText(session);
    }
    return loaded ? 0 : kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Zephrane: turns type-0 MIDI songs into accompaniment styles", "zephrane-cli"};
    app.require_subcommand(1);

    InfoOptions info;
    CLI::App* infoCommand = app.add_subcommand("info",
                                               "Open a file and print what the main "
                                               "window then shows");
    infoCommand->add_flag("--json", info.json, "Print one JSON object");
    infoCommand->add_flag("--raw", info.raw, "Load only: no preparation, no working file");
    infoCommand->add_option("--work-dir", info.workDir, "Directory of the working file");
    infoCommand->add_option("FILE", info.file, "Type-0 MIDI file or style")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return kExitUsage;
    }
    try {
        if (infoCommand->parsed()) return RunInfo(info);
    } catch (const std::exception& error) {
        std::cerr << "zephrane-cli: " << error.what() << '\n';
        return kExitRefused;
    }
    return kExitUsage;
}
