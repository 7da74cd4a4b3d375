#pragma once
// The steps of making a style that work on the session: the song prepared, the style assembled
// from the working file, and its CASM chunk appended to the output image.

#include <string_view>

#include "style/prep_midi.h"

namespace zephrane {

struct Session;

// Re-runs the analysis scan, then fills the output image with the prepared file, cut to its
// length, with `outputWritePos` just after its last byte and `setupTime` set. A failure goes to
// the common report under "PrepMidi"; the output image then holds what was written before it.
// True when the preparation ran to its end.
bool PrepMidi(Session& session, PrepOption option);

// The CASM writers append at the output write position and move it on; they return false after
// a failure, which they report under their own names.

// Appends a CASM chunk built from the CASM table for the sections in `sectionList`.
bool CreateCasm(Session& session, std::string_view sectionList);

// Appends the bytes kept behind the opened style's track, its CASM chunk and what followed it.
bool AddCasm(Session& session);

// Builds the style into the output image and reloads the working file. False after a failure,
// which goes to the report under "MakeStyleFromMidi"; nothing is written but the working file.
bool MakeStyleFromMidi(Session& session);

}  // namespace zephrane
