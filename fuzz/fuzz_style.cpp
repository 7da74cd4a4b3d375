// Style assembly: the input opened as the Open File command does (loaded, prepared into the
// working file, that loaded), the CASM set automatically, "Intro A" marked when no section is,
// and the style built with the table's CASM and, for a style that brought one, with its own.
// A failed build must show its report; a built style must load as a style unless it has more
// measures than the scan counts. Last, Save Style writes the style only when no error report
// was shown on the way.

#include <algorithm>

#include "app/main_commands.h"
#include "app/song_commands.h"
#include "app/style_commands.h"
#include "casm/casm_reader.h"
#include "fuzz_support.h"

using namespace zephrane;
using namespace zephrane::fuzz;

namespace {

// A built style must load as a style unless it has more measures than the scan counts (a
// section marked more than once is copied as often). A CASM built from the table must read back
// without a problem; one taken over from the opened style keeps whatever that held. The header
// is copied from the opened file as it was (the load reads only its format byte), so it is put
// right before the CASM is read back.
void CheckBuiltStyle(const ByteImage& style, bool casmFromTable) {
    std::vector<uint8_t> bytes = style.Bytes();
    const uint8_t header[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    const uint8_t track[] = {'M', 'T', 'r', 'k'};
    if (bytes.size() < 22) Finding("the built style is shorter than its headers");
    std::copy(std::begin(header), std::end(header), bytes.begin());
    std::copy(std::begin(track), std::end(track), bytes.begin() + 14);
    const CasmListing listing = ReadCasmListing(ByteImage(bytes));
    if (casmFromTable && !listing.problems.empty()) {
        Finding("the built style's CASM: " + listing.problems.front());
    }
    FuzzSession reader;
    const std::string path = WriteInput(style.Bytes().data(), style.Bytes().size(), "built.sty");
    if (!OpenChosenFile(reader.session, path) &&
        reader.platform.messages != std::vector<std::string>{kScanOverflowReport}) {
        Finding("the built style does not load: " + (reader.platform.messages.empty()
                                                         ? std::string("no report")
                                                         : reader.platform.messages.back()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSession fuzz;
    Session& s = fuzz.session;
    if (!OpenWithAPartAndASection(s, WriteInput(data, size, InputName(data, size)))) return 0;
    for (bool useStyleCasm : {false, true}) {
        if (useStyleCasm && !s.song.hasStyleCasm) break;
        s.useStyleCasm = useStyleCasm;
        if (!CheckStyleCommand(s, StyleCommandSource::MenuItem)) return 0;
        const size_t messages = fuzz.MessageCount();
        if (!MakeStyleFromMidi(s)) {
            RequireReport(fuzz, messages, "the style assembly");
            return 0;
        }
        CheckBuiltStyle(s.output, !useStyleCasm);
    }
    CheckSaveStyle(fuzz);
    return 0;
}
