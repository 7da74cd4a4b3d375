#pragma once
// The notes each accompaniment part may use once its phrase is written over C major seven, the
// chord a style's main and fill-in sections are read from. Parts are numbered as a CASM snapshot
// numbers them: the part code + 1.

#include <cstdint>

namespace zephrane {

// True for the rhythm and sub-rhythm parts, whose keys are sounds rather than pitches.
bool IsRhythmPart(int snapshotPart);

// True for the parts that follow the chord with their notes: the bass, the chord parts, the pad
// and the phrases.
bool FollowsTheChord(int snapshotPart);

// Where pitch class `pitchClass` (0 = C, after the move into C) goes in a main or fill-in section:
// a chord part keeps the tones of C maj7 (C E G B), the bass and the phrases the six-note scale
// C D E G A B; any other part keeps it. The result is a pitch class above C, or 19 for the G an
// octave above.
int PartPitchClass(int snapshotPart, int pitchClass);

// A note moved outside 0..127 goes back into the MIDI range by octaves.
uint8_t InMidiRange(int note);

}  // namespace zephrane
