#pragma once
// A section button puts two markers into the song, each after a scan of the song as it stands.
// The scan between them need not walk the song again: a marker moves the bytes after it, adds
// itself to the marker list and becomes the first event of its measure, and changes nothing
// else that the scan finds. This works out that scan's result from the one before.

#include <cstdint>
#include <string_view>

#include "analysis/scan_song.h"

namespace zephrane {

// What a scan would find in the song after a marker went in, given that `scan` holds what a scan
// of the song just before found. The marker with `text` went in front of the first event of
// `measure` (1 or later), whose delta time it took over, and put `insertedBytes` bytes in right
// after that delta time. The caller makes sure that the event is a channel message, that the
// scan stopped at End of Track, and that the walk after the marker reads the events as before.
// False, with nothing changed, where this cannot follow the marker (a set-up marker, a song
// beyond 32-bit positions): the song must then be scanned again.
bool FollowMarkerInsertion(ScanResults scan, std::string_view text, int measure,
                           int64_t insertedBytes);

}  // namespace zephrane
