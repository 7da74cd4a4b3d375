#include "convert/part_notes.h"

#include <array>

namespace zephrane {
namespace {

constexpr int kHighestNote = 127;
constexpr int kOctave = 12;

constexpr int kSnapshotSubRhythm = 9;
constexpr int kSnapshotRhythm = 10;
constexpr int kSnapshotBass = 11;
constexpr int kSnapshotChord1 = 12;
constexpr int kSnapshotPad = 14;
constexpr int kSnapshotPhrase2 = 16;

// Where each pitch class above C goes. Bass and phrases keep the six-note scale C D E G A B:
// C# falls to C, Eb rises to E, F and F# fall to E, Ab and Bb fall to G.
constexpr std::array<int, 12> kScaleNotes = {0, 0, 2, 4, 4, 4, 4, 7, 7, 9, 7, 11};
// Chord parts keep the tones of C maj7 (C E G B): D falls to C, A to G, and Bb goes to the G an
// octave above.
constexpr std::array<int, 12> kChordTones = {0, 0, 0, 4, 4, 4, 4, 7, 7, 7, 19, 11};

}  // namespace

bool IsRhythmPart(int snapshotPart) {
    return snapshotPart == kSnapshotSubRhythm || snapshotPart == kSnapshotRhythm;
}

bool FollowsTheChord(int snapshotPart) {
    return snapshotPart >= kSnapshotBass && snapshotPart <= kSnapshotPhrase2;
}

int PartPitchClass(int snapshotPart, int pitchClass) {
    if (!FollowsTheChord(snapshotPart)) return pitchClass;
    const bool chordPart = snapshotPart >= kSnapshotChord1 && snapshotPart <= kSnapshotPad;
    return chordPart ? kChordTones.at(pitchClass) : kScaleNotes.at(pitchClass);
}

uint8_t InMidiRange(int note) {
    while (note > kHighestNote)
        note -= kOctave;
    while (note < 0)
        note += kOctave;
    return static_cast<uint8_t>(note);
}

}  // namespace zephrane
