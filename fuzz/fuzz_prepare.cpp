// Preparation: the input loaded (as a style when it holds a CASM tag), then prepared with each
// option. A failed preparation must show its report; a song prepared with every channel is
// written as the working file, which must load again unless it has more measures than the scan
// counts.

#include "app/save_files.h"
#include "app/song_commands.h"
#include "app/style_commands.h"
#include "fuzz_support.h"
#include "song/song_image.h"

using namespace zephrane;
using namespace zephrane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSession fuzz;
    Session& s = fuzz.session;
    const std::string path = WriteInput(data, size, InputName(data, size));
    if (!OpenChosenFile(s, path)) return 0;
    for (PrepOption option :
         {PrepOption::AssignedOnly, PrepOption::NoSpecialMarkers, PrepOption::AllChannels}) {
        const size_t messages = fuzz.MessageCount();
        if (!PrepMidi(s, option)) {
            RequireReport(fuzz, messages, "the preparation");
            return 0;
        }
    }
    const std::string workingFile = s.platform.paths.WorkingFilePath();
    if (!SaveStyleFile(s, workingFile)) Finding("the working file cannot be written");
    // Only the first time signature is kept, so a song whose later ones shorten its measures
    // may come out with more measures than a 16-bit count holds: only that refusal is expected.
    const size_t messages = fuzz.MessageCount();
    if (!LoadSong(s, workingFile) && (fuzz.MessageCount() != messages + 1 ||
                                      fuzz.platform.messages.back() != kScanOverflowReport)) {
        Finding("the prepared working file does not load: " +
                (fuzz.MessageCount() > messages ? fuzz.platform.messages.back() : "no report"));
    }
    return 0;
}
