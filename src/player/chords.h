#pragma once
// Chords as an arranger keyboard knows them: a root, one of the 34 chord types of the CASM data
// and, for an on-bass chord ("C/E"), a bass note; and what each chord type is made of.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zephrane::player {

inline constexpr int kChordTypeCount = 34;
inline constexpr int kMaj7Type = 2;

// A chord held by the player's left hand.
struct Chord {
    int root = 0;          // pitch class, 0 = C
    int type = 0;          // chord type 0..33 (0 maj, 2 maj7, 8 min, 19 7th …)
    int bass = -1;         // on-bass pitch class ("C/E": 4); -1 when the chord has none
    bool noChord = false;  // "N.C.": only the drum parts play
    std::string name;      // as written

    friend bool operator==(const Chord&, const Chord&) = default;
};

// How a chord sounds, by intervals above its root.
enum class Quality { kMajor, kMinor, kNeutral };  // third major, minor, or no third at all

struct ChordShape {
    std::string_view name;      // the CASM name: "maj7", "min7b5", "1+2+5" …
    std::array<int, 4> voices;  // the four voices of a chord part: root, third, fifth, seventh;
                                // a chord of three notes doubles its root as the fourth voice and
                                // a tension (9th, 11th, 13th) takes the place of the fifth
    std::array<int, 5> tones;   // every tone of the chord …
    int toneCount;              // … the first toneCount entries of `tones`
    std::array<int, 7> scale;   // the scale a melody uses over the chord, one step per degree
    bool keepsScale;            // "1+8", "1+5": no third, the melody keeps the written scale
    Quality quality;
    int fifth;  // the fifth the bass plays: 6 diminished, 7 perfect, 8 augmented
};

// The shape of chord type `type` (0..33).
const ChordShape& ShapeOf(int type);

// True when pitch class `pitchClass` (relative to the root) is a tone of chord type `type`.
bool IsChordTone(int type, int pitchClass);

// True when `chord` lies within `other`: the same root, and every tone of its type one of
// `other`'s ("C" within "Cmaj7", "Cmaj7" not within "C").
bool LiesWithin(const Chord& chord, const Chord& other);

// Reads one chord: a root A-G with "#" or "b", a chord name ("", "m", "7", "maj7", "m7b5",
// "dim7", "sus4", "aug", "add9", "6/9" …, or a CASM name such as "min7(9)") and an optional
// "/bass"; "N.C." (or "NC") is no chord. An unreadable text throws PlayerError naming it.
Chord ParseChord(std::string_view text);

// Reads a progression of chords separated by blanks, commas or bar lines ("C Am | F G7").
// An empty progression or an unreadable chord throws PlayerError.
std::vector<Chord> ParseProgression(std::string_view text);

// The chord as text, "C", "F#m7", "Bb7(9)/D", "N.C.": the root and a common chord name.
std::string ChordText(const Chord& chord);

// Pitch class names for messages: "C", "C#", "D", "Eb" …
std::string_view PitchClassName(int pitchClass);

}  // namespace zephrane::player
