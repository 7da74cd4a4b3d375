// Conversion: the input opened as the Open File command does, the CASM set automatically,
// "Intro A" marked when no section is, then "Convert Notes" with both items in turn. A refused
// or failed conversion must show its report and leave the session as it was.

#include "app/convert_commands.h"
#include "app/main_commands.h"
#include "casm/casm_table.h"
#include "fuzz_support.h"

using namespace zephrane;
using namespace zephrane::fuzz;

namespace {

// The parts and source chords a conversion rewrites.
bool SameParts(const CasmTable& a, const CasmTable& b) {
    for (size_t row = 0; row < a.size(); ++row) {
        if (a[row].part != b[row].part || a[row].sourceKey != b[row].sourceKey ||
            a[row].sourceChord != b[row].sourceChord) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSession fuzz;
    Session& s = fuzz.session;
    if (!OpenWithAPartAndASection(s, WriteInput(data, size, InputName(data, size)))) return 0;
    for (ConvertItem item : {ConvertItem::Plain, ConvertItem::Sevenths}) {
        const ByteImage songBefore = s.song.bytes;
        const CasmTable casmBefore = s.casm;
        const size_t messages = fuzz.MessageCount();
        if (!ConvertNotes(s, item, SequencerCheck::Skipped)) {
            RequireReport(fuzz, messages, "the conversion");
            if (!(s.song.bytes == songBefore) || !SameParts(s.casm, casmBefore)) {
                Finding("a failed conversion changed the session");
            }
            return 0;
        }
    }
    return 0;
}
