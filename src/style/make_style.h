#pragma once
// Assembling a style's track from the prepared working file: the set-up part, then each marked
// section on its own measure lines, and End of Track.

#include <cstdint>
#include <string>

#include "analysis/scan_song.h"
#include "song/byte_image.h"
#include "song/song_image.h"

namespace zephrane {

// What the assembly reads: the prepared song in the song image, with the scan results over it
// and the time its set-up events take.
struct StyleSource {
    const SongImage& song;
    const SongFacts& facts;
    const MarkerList& markers;
    int64_t setupTime = 0;
};

// Assembles the style's track into `output`, which is refilled. Returns the names of the
// sections copied, as the CASM's section list takes them ("Main A,Fill In AA"). Failures are
// thrown; `output` then holds what was written before them.
std::string AssembleStyleTrack(const StyleSource& source, ByteImage& output);

}  // namespace zephrane
