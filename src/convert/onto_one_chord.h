#pragma once
// A section marked on a song's own measures may have been played over several chords
// (Dm7 | G7 | C | Am), yet a style gives each section one source chord. Its measures are written
// over C major seven instead, span by span: each melodic note moves from the root of the chord it
// was played over to C, back the way the instrument will move it up to that root (by the part's
// high key: up to roots up to it, down to roots above it), else the shortest way (-5 to +6
// semitones), and onto the notes its part may use there, as "Convert Notes" pulls the notes of a
// main section. Played over the chords of the song, the section then sounds in its own register.

#include <array>
#include <span>

#include "analysis/scan_song.h"
#include "casm/casm_chunk.h"
#include "sections/section_plan.h"
#include "song/byte_image.h"

namespace zephrane {

// Measures `first` to `last`, both included, numbered as the scan numbers them.
struct MeasureRange {
    int first = 0;
    int last = 0;
};

// The semitones that move `root` (a pitch class) to C the shortest way: -5 to +6.
int ShiftToC(int root);

// The semitones that move `root` to C for a part whose high key is `highKey` (a pitch class):
// down by the root when it lies up to the high key, up by the rest of the octave when it lies
// above; the shortest way for a part without one (-1).
int ShiftToC(int root, int highKey);

// Per channel (index = MIDI channel - 1), the high key of a part that follows the chord's root
// with its own high key; -1 for the others.
using PartHighKeys = std::array<int, 16>;

// Rewrites in place the note-ons of `song` that start in `range`, and their note-offs, on every
// channel but the rhythm ones (a rhythm part in `parts`, or a kit by `channels`). `chords` are the
// song's chord changes in time order, as FindChords gives them: a note follows the change in force
// on its beat; under "N.C." or before the first change it stays. A note-off takes the pitch its
// note-on was given, so that no note hangs. Failures, an unreadable chord name among them (error
// 5), are thrown with the song as it was.
void ConvertOntoCMaj7(ByteImage& song, const CasmSnapshot& parts, const PartHighKeys& highKeys,
                      const ChannelTable& channels, MeasureRange range,
                      std::span<const ChordChange> chords);

}  // namespace zephrane
