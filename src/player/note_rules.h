#pragma once
// How one accompaniment part follows the player's chords: the rules of one Ctab record (or of the
// three note ranges of a Ctb2 record), refined by a Cntt record, and the note arithmetic they
// call for.
// The rules themselves, with their musical reasons, are written down in docs/style-playback.md.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

// Note transposition rule: what moves a note to the chord's root.
enum class Ntr {
    kRootTransposition,  // the phrase moves up (or down, past the high key) to the chord's root
    kRootFixed,          // each note stays near where it is written, taking the new pitch class
    kGuitar,             // the written guitar voicing is fitted onto the chord with least movement
};

// The tables of the guitar rule, in the NTT byte of a guitar part.
enum class GuitarMode {
    kAllPurpose,  // chords strummed together are fitted as a whole, single notes keep their role
    kStroke,      // chords fitted as a whole, single notes take the nearest chord tone
    kArpeggio,    // every note keeps its role (root, third, fifth, seventh) at its nearest pitch
};

// Notes from this key up on guitar and bass parts are fret and string noises, not pitches.
inline constexpr int kLowestNoiseKey = 96;
inline constexpr int kBassChannel = 10;

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
    Ntr ntr = Ntr::kRootTransposition;
    Ntt ntt = Ntt::kBypass;
    GuitarMode guitarMode = GuitarMode::kAllPurpose;  // the NTT byte of a guitar part
    bool fifthVariation = false;  // Cntt "5th var": the fifth follows the chord's fifth too
    bool bassOn = false;          // follows the bass note of an on-bass chord
    int highKey = 11;             // pitch class: roots above it are played an octave lower
    int lowLimit = 0;
    int highLimit = 127;
    int retrigger = kRetriggerPitchShift;
    // A Ctb2 record splits the written notes into three ranges: those below `middleLowest`
    // follow outerRanges[0], those above `middleHighest` outerRanges[1] (copies of this rule
    // with their own NTR, NTT, high key, limits and retrigger rule); a Ctab has none.
    int middleLowest = 0;
    int middleHighest = 127;
    std::vector<PartRule> outerRanges;

    // The rule the written note `sourceNote` follows: its range's.
    const PartRule& RuleFor(int sourceNote) const;

    // Guitar parts (but for the arpeggio table) and root-fixed parts with the Chord table fit
    // chords strummed or struck together as a whole (FitVoicing) rather than note by note.
    bool FitsVoicings() const;

    // SubRhythm and Rhythm are drum parts: their notes are instruments, never transposed.
    bool IsDrumPart() const {
        return destination == kSubRhythmChannel || destination == kRhythmChannel;
    }
};

// Note mute and chord mute: true when the part sounds on `chord`. Note mute: the part plays
// only under chords whose root has its bit set, C = bit 0 of the second byte up to G = bit 7,
// then G# = bit 0 of the first byte up to B = bit 3 ("0F FF": every root). Chord mute: chord
// type t is bit t % 8 of byte 4 - t / 8 (byte 0 bit 0 is "sus4", bit 1 "1+2+5"). Under "N.C."
// only drum parts play.
bool ChordPlays(const PartRule& part, const Chord& chord);

// True for a fret or string noise: a key from kLowestNoiseKey up on a guitar or bass part. The
// player does not sound them (a General MIDI voice would play them as very high pitches).
bool IsNoiseNote(const PartRule& part, int sourceNote);

// The note `sourceNote` of the part's phrase sounds as this note under `chord` (a note of a
// fitted voicing played alone).
int ConvertNote(const PartRule& part, int sourceNote, const Chord& chord);

// A voicing of a part that FitsVoicings (written keys struck together) under `chord`: each key
// moves to a tone of the chord so that the movement is least (the top voice counting three
// times), the order of the voices is kept, and the third, seventh, root and tension sound
// wherever the voicing has enough notes; every note within the limits. When no such voicing
// exists each key is converted on its own. The keys in the order given.
std::vector<int> FitVoicing(const PartRule& part, const std::vector<int>& sourceKeys,
                            const Chord& chord);

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
