// The CASM reader: the input read as a style file by the inspection reader, which reports damage
// in its problem list and never throws; then loaded as a style, its kept CASM read for every
// section as conversion reads it, and appended to the output as a style built with it is.

#include "app/convert_commands.h"
#include "app/song_commands.h"
#include "app/style_commands.h"
#include "casm/casm_chunk.h"
#include "casm/casm_reader.h"
#include "fuzz_support.h"
#include "sections/sections.h"
#include "song/song_image.h"

using namespace zephrane;
using namespace zephrane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CasmListing listing = ReadCasmListing(ByteImage(std::vector<uint8_t>(data, data + size)));
    for (const StyleChunk& chunk : listing.chunks) {
        if (chunk.offset < 0 || static_cast<size_t>(chunk.offset) >= size) {
            Finding("a chunk listed outside the file");
        }
    }

    FuzzSession fuzz;
    Session& s = fuzz.session;
    if (!OpenChosenFile(s, WriteInput(data, size, "input.sty"))) return 0;
    if (!s.song.hasStyleCasm) return 0;
    for (const SectionRow& row : kSectionTable) {
        GetChannels(s, row.name);
    }
    GetChannels(s, "Fill In BA");
    const size_t messages = fuzz.MessageCount();
    if (!AddCasm(s)) RequireReport(fuzz, messages, "appending the kept CASM");
    return 0;
}
