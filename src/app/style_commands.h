#pragma once
// The steps of making a style that work on the session: the style assembled from the working
// file.

namespace zephrane {

struct Session;

// Builds the style into the output image and reloads the working file. False after a failure,
// which goes to the report under "MakeStyleFromMidi"; nothing is written but the working file.
bool MakeStyleFromMidi(Session& session);

}  // namespace zephrane
