#pragma once
// Assembling a style from the working MIDI file: the set-up part, then each marked section on
// its own measure lines, End of Track, and the CASM chunk.

#include <string>

namespace zephrane {

struct Session;

// Builds the style into the output image and reloads the working file. False after a failure,
// which goes to the report under "MakeStyleFromMidi"; nothing is written but the working file.
bool MakeStyleFromMidi(Session& session);

}  // namespace zephrane
