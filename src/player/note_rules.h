#pragma once
// How one accompaniment part follows the player's chords: the rules of one Ctab record (or the
// middle range of a Ctb2 record, refined by a Cntt record) and the note arithmetic they call for.
// The rules themselves, with their musical reasons, are written down in docs/style-playback.md.

#include <array>
#include <cstdint>
#include <string>

#include "player/chords.h"

namespace zephrane::player {

// Note transposition table: how the notes of a phrase change with the chord.
enum class Ntt {
    kBypass,         // only the root moves them (and with "root fixed", nothing does)
    kMelody,         // each note keeps its scale degree
    kChord,          // each note becomes a tone of the chord held
    kBass,           // chord tones keep their function, other notes their degree; on-bass
    kMelodicMinor,   // only the third follows major/minor
    kHarmonicMinor,  // the third and the sixth follow major/minor
    kNaturalMinor,   // the third, the sixth and the seventh follow major/minor
    kDorian,         // the third and the seventh follow major/minor
};

// Retrigger rules: what happens to a note that is sounding when the chord changes.
inline constexpr int kRetriggerStop = 0;
inline constexpr int kRetriggerPitchShift = 1;
inline constexpr int kRetriggerPitchShiftToRoot = 2;
inline constexpr int kRetriggerRetrigger = 3;
inline constexpr int kRetriggerRetriggerToRoot = 4;
inline constexpr int kRetriggerNoteGenerator = 5;

inline constexpr int kSubRhythmChannel = 8;
inline constexpr int kRhythmChannel = 9;

struct PartRule {
    int sourceChannel = 0;  // 0-based channel of the phrase in the style's track
    int destination = 8;    // 0-based channel it sounds on: 8 SubRhythm … 15 Phrase 2
    std::string name;       // the record's name, blanks removed
    std::array<uint8_t, 2> noteMute = {0x0F, 0xFF};
    std::array<uint8_t, 5> chordMute = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    int sourceRoot = 0;  // the key the phrase is written in
    int sourceChord = kMaj7Type;
    bool rootFixed = false;  // NTR: false root transposition, true root fixed
    Ntt ntt = Ntt::kBypass;
    bool fifthVariation = false;  // Cntt "5th var": the fifth follows the chord's fifth too
    bool bassOn = false;          // follows the bass note of an on-bass chord
    int highKey = 11;             // pitch class: roots above it are played an octave lower
    int lowLimit = 0;
    int highLimit = 127;
    int retrigger = kRetriggerPitchShift;

    // SubRhythm and Rhythm are drum parts: their notes are instruments, never transposed.
    bool IsDrumPart() const {
        return destination == kSubRhythmChannel || destination == kRhythmChannel;
    }
};

// Note mute: true when the part plays source notes of `sourceNote`'s pitch class. The 12 bits
// are C = bit 0 of the second byte up to G = bit 7, then G# = bit 0 of the first byte up to
// B = bit 3 ("0F FF": every note plays).
bool NotePlays(const PartRule& part, int sourceNote);

// Chord mute: true when the part sounds on `chord`. Chord type t is bit t % 8 of byte
// 4 - t / 8 (byte 0 bit 0 is "sus4", bit 1 "1+2+5"). Under "N.C." only drum parts play.
bool ChordPlays(const PartRule& part, const Chord& chord);

// The note `sourceNote` of the part's phrase sounds as this note under `chord`.
int ConvertNote(const PartRule& part, int sourceNote, const Chord& chord);

// The note limits: a note below the low limit or above the high limit is moved by octaves into
// the range; when no octave of it fits (a range narrower than an octave), it takes the octave
// just above the low limit. A high limit below the low limit leaves notes alone. The result is
// always a MIDI note 0..127.
int ApplyLimits(const PartRule& part, int note);

// "... to root" rules: the root of `chord` (the bass note of an on-bass chord for a part that
// follows it) nearest to `pitch`, a tritone away going down; then the limits.
int RootNear(const PartRule& part, int pitch, const Chord& chord);

// Note generator: the tone of `chord` nearest to `pitch`, half-way going up; then the limits.
int ChordToneNear(const PartRule& part, int pitch, const Chord& chord);

// The default rule of a part that has no Ctab record, by its 0-based channel (8 to 15), for
// styles without CASM data: drums fixed, bass and chords and phrases following the chords as
// the keyboard's own style data usually set them.
PartRule DefaultPart(int channel);

}  // namespace zephrane::player
