#pragma once
// The two edit files of the command line: --casm FILE.json sets grid rows as a user would,
// --effects FILE.json sets the effects dialog's fields.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zephrane {
struct Session;
}

namespace zephrane::cli {

// An edit file that cannot be used: a usage error (exit status 2).
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One grid row, list cells as list positions (resolved from their texts), -1 when absent.
struct CasmRowEdit {
    int channel = 0;
    std::optional<int> part;
    std::optional<int> key;
    std::optional<int> chord;
    std::optional<int> ntr;
    std::optional<int> ntt;
    std::optional<int> highKey;
    std::optional<std::string> lowLimit;
    std::optional<std::string> highLimit;
    std::optional<int> retrigger;
    std::optional<std::vector<int>> chordMute;
};

struct EffectsEdit {
    std::optional<size_t> reverb;  // a list position
    std::optional<std::string> reverbReturn;
    std::optional<size_t> chorus;  // a list position
    std::optional<std::string> chorusReturn;
    std::optional<std::string> connection;  // "System" or "Insertion"
    std::optional<size_t> variation;        // a list position
    std::optional<std::string> insertionPart;
    std::optional<std::string> variationReturn;
    std::optional<std::string> pan;
    std::optional<std::string> sendToReverb;
    std::optional<std::string> sendToChorus;
};

// Read and check the files; a file that cannot be read or used is a UsageError.
std::vector<CasmRowEdit> ReadCasmEdits(const std::string& path);
EffectsEdit ReadEffectsEdit(const std::string& path);

// Apply them through the commands of the grid and the effects window; false once one is not done
// (a limit text refused, a failure reported).
bool ApplyCasmEdits(Session& session, const std::vector<CasmRowEdit>& rows);
bool ApplyEffectsEdit(Session& session, const EffectsEdit& edit);

}  // namespace zephrane::cli
