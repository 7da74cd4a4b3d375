// Section buttons: the input loaded as it is (as `--raw` does), then the fourteen buttons pressed
// in toolbar order and in reverse, once one by one and once in a row. A row of presses works out
// the scan between markers from the scan before; it must leave the song, the scan results, the
// pressed buttons and the messages exactly as the single presses do.

#include <algorithm>

#include "app/section_commands.h"
#include "app/song_commands.h"
#include "fuzz_support.h"
#include "sections/sections.h"
#include "song/song_image.h"

using namespace zephrane;
using namespace zephrane::fuzz;

namespace {

void PressOneByOne(Session& session, const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        if (!PressSectionButton(session, key)) return;
    }
}

void CompareRowWithSinglePresses(const SessionState& loaded, std::vector<std::string> keys) {
    FuzzSession single;
    FuzzSession row;
    static_cast<SessionState&>(single.session) = loaded;
    static_cast<SessionState&>(row.session) = loaded;
    PressOneByOne(single.session, keys);
    PressSectionButtons(row.session, keys);
    if (!SameScanResults(row.session, single.session)) {
        Finding("a row of section buttons leaves other scan results than single presses");
    }
    if (row.session.sectionFlags != single.session.sectionFlags ||
        row.platform.messages != single.platform.messages) {
        Finding("a row of section buttons marks or says other things than single presses");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSession fuzz;
    const std::string path = WriteInput(data, size, InputName(data, size));
    if (!OpenChosenFile(fuzz.session, path)) return 0;
    std::vector<std::string> keys = AllSectionKeys();
    CompareRowWithSinglePresses(fuzz.session, keys);
    std::reverse(keys.begin(), keys.end());
    CompareRowWithSinglePresses(fuzz.session, keys);
    return 0;
}
