#pragma once
// The chords a song plays, found from its notes: the chord of every measure, and of each half
// measure where the harmony changes there, named as the player's chord progressions name chords.

#include <vector>

#include "analysis/scan_song.h"
#include "sections/section_plan.h"
#include "song/byte_image.h"

namespace zephrane {

// True for a channel whose keys are sounds rather than pitches: channel 10, and a channel whose
// voice the scan names as a drum or effect kit.
bool PlaysKit(int midiChannel, const ChannelInfo& channel);

// The chords of `song` from the notes of its other channels (`channels`: the scan's table of the
// same song): the pitch classes weighted by how long they sound, the lowest note as the bass,
// matched against the chord types the player knows. The first entry is measure 0, beat 1; then
// one entry where the chord changes, on the first beat of a measure or on the beat at its half.
// A span without a note continues the chord before it; before the first note the song plays
// "N.C.". Measures are numbered as the scan numbers them. A walk failure is thrown, and so is
// error 6 for a song in SMPTE time, whose measures have no length in ticks.
std::vector<ChordChange> FindChords(const ByteImage& song, const ChannelTable& channels);

}  // namespace zephrane
