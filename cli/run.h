#pragma once
// One run of zephrane-cli: open a file, apply the editing options in their fixed order, then
// print (info, suggest) or save (working, style).

#include <optional>
#include <string>
#include <vector>

namespace zephrane::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitRefused = 1;
inline constexpr int kExitUsage = 2;

enum class Subcommand { Info, Working, Style, Suggest };

struct RunOptions {
    Subcommand subcommand = Subcommand::Info;
    std::string file;
    std::string output;
    std::string workDir;
    bool json = false;
    bool raw = false;
    bool force = false;

    // Menu marks, set before anything is opened.
    bool noPanel = false;
    bool noXgOn = false;
    bool multipleTempos = false;
    bool addB = false;
    bool bb8 = false;
    bool bb = false;

    // Edits.
    std::optional<std::string> styleName;
    std::optional<std::string> copyright;
    std::vector<std::string> sections;  // section button keys, pressed in this order
    bool allSections = false;
    std::vector<std::string> marks;  // "Main A=9-16": sections marked on any measures
    std::string planFile;            // a section plan as `suggest --json` prints it
    bool suggested = false;          // mark the sections `suggest` proposes, before the marks
    bool clearCasm = false;
    bool autoCasm = false;
    std::string casmFile;
    bool useStyleCasm = false;
    std::string effectsFile;
    std::string convert;  // "Convert Notes" with the item "plain" or "sevenths"; empty: none
};

// Checks what the parser cannot (known section keys, the options that go together); a usage
// message, or empty when the options are fine.
std::string UsageProblem(const RunOptions& options);

// Runs the subcommand; the exit status.
int Run(const RunOptions& options);

}  // namespace zephrane::cli
