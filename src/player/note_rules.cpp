#include "player/note_rules.h"

#include <algorithm>
#include <cstdlib>

namespace zephrane::player {
namespace {

int Mod12(int value) {
    return ((value % 12) + 12) % 12;
}

int FloorDiv12(int value) {
    return value >= 0 ? value / 12 : -((-value + 11) / 12);
}

int CeilDiv12(int value) {
    return (value + 11) / 12;  // value >= 0
}

// The number congruent to `pitchClass` modulo 12 that lies nearest to `near`; when two lie a
// tritone away, the lower one when `tieUp` is false, else the upper one.
int NearestOf(int pitchClass, int near, bool tieUp) {
    const int below = near - Mod12(near - pitchClass);  // at or below `near`
    const int above = below + 12;
    const int down = near - below;
    const int up = above - near;
    if (down == 0) return below;
    if (down < up) return below;
    if (up < down) return above;
    return tieUp ? above : below;
}

const ChordShape& SourceShape(const PartRule& part) {
    const bool valid = part.sourceChord >= 0 && part.sourceChord < kChordTypeCount;
    return ShapeOf(valid ? part.sourceChord : kMaj7Type);
}

// Melody: the step of the written scale at or below `degree` becomes the same step of the
// chord's scale; a note between two steps keeps its distance above the lower one.
int ByScale(int degree, const ChordShape& from, const ChordShape& to) {
    const std::array<int, 7>& target = to.keepsScale ? from.scale : to.scale;
    size_t step = 0;
    for (size_t i = 0; i < from.scale.size(); ++i) {
        if (from.scale[i] <= degree) step = i;
    }
    return target[step] + degree - from.scale[step];
}

// The chord tone nearest to `degree` (relative to the root), half-way going up.
int NearestChordTone(int degree, const ChordShape& to) {
    int best = 0;
    int bestDistance = 99;
    for (int i = 0; i < to.toneCount; ++i) {
        const int candidate = NearestOf(to.tones[static_cast<size_t>(i)], degree, true);
        const int distance = std::abs(candidate - degree);
        if (distance < bestDistance || (distance == bestDistance && candidate > best)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

// Chord: a voice of the written chord becomes the same voice of the chord held; any other note
// takes its scale step and then the nearest chord tone.
int ByChord(int degree, const ChordShape& from, const ChordShape& to) {
    for (size_t voice = 0; voice < from.voices.size(); ++voice) {
        if (from.voices[voice] == degree) return to.voices[voice];
    }
    return NearestChordTone(ByScale(degree, from, to), to);
}

// Bass: root, third, (real) fifth and seventh keep their function; other notes their step.
int ByBass(int degree, const ChordShape& from, const ChordShape& to) {
    const std::array<int, 4> fromVoices = {0, from.voices[1], from.fifth, from.voices[3]};
    const std::array<int, 4> toVoices = {0, to.voices[1], to.fifth, to.voices[3]};
    for (size_t voice = 0; voice < fromVoices.size(); ++voice) {
        if (fromVoices[voice] == degree) return toVoices[voice];
    }
    return ByScale(degree, from, to);
}

// The minor tables: between a major and a minor chord only the named degrees move a semitone.
int ByMinorTable(int degree, const PartRule& part, const ChordShape& from, const ChordShape& to) {
    const bool sixth = part.ntt == Ntt::kHarmonicMinor || part.ntt == Ntt::kNaturalMinor;
    const bool seventh = part.ntt == Ntt::kNaturalMinor || part.ntt == Ntt::kDorian;
    if (from.quality == Quality::kMajor && to.quality == Quality::kMinor) {
        if (degree == 4) return 3;
        if (sixth && degree == 9) return 8;
        if (seventh && degree == 11) return 10;
    } else if (from.quality == Quality::kMinor && to.quality == Quality::kMajor) {
        if (degree == 3) return 4;
        if (sixth && degree == 8) return 9;
        if (seventh && degree == 10) return 11;
    }
    if (part.fifthVariation && degree == from.fifth) return to.fifth;
    return degree;
}

bool FollowsBassNote(const PartRule& part, const Chord& chord) {
    return chord.bass >= 0 && (part.bassOn || part.ntt == Ntt::kBass);
}

// The pitch class (relative to the chord's root) that `degree` (relative to the written root)
// becomes.
int ConvertDegree(const PartRule& part, int degree, const Chord& chord) {
    if (degree == 0 && FollowsBassNote(part, chord)) return Mod12(chord.bass - chord.root);
    const ChordShape& from = SourceShape(part);
    const ChordShape& to = ShapeOf(chord.type);
    switch (part.ntt) {
        case Ntt::kBypass:
            return degree;
        case Ntt::kMelody:
            return ByScale(degree, from, to);
        case Ntt::kChord:
            return ByChord(degree, from, to);
        case Ntt::kBass:
            return ByBass(degree, from, to);
        case Ntt::kMelodicMinor:
        case Ntt::kHarmonicMinor:
        case Ntt::kNaturalMinor:
        case Ntt::kDorian:
            return ByMinorTable(degree, part, from, to);
    }
    return degree;
}

}  // namespace

bool NotePlays(const PartRule& part, int sourceNote) {
    const int pitchClass = Mod12(sourceNote);
    const uint8_t byte = pitchClass < 8 ? part.noteMute[1] : part.noteMute[0];
    const int bit = pitchClass < 8 ? pitchClass : pitchClass - 8;
    return ((byte >> bit) & 1) != 0;
}

bool ChordPlays(const PartRule& part, const Chord& chord) {
    if (chord.noChord) return part.IsDrumPart();
    if (chord.type < 0 || chord.type >= kChordTypeCount) return false;
    const uint8_t byte = part.chordMute[static_cast<size_t>(4 - chord.type / 8)];
    return ((byte >> (chord.type % 8)) & 1) != 0;
}

int ApplyLimits(const PartRule& part, int note) {
    const int low = std::clamp(part.lowLimit, 0, 127);
    const int high = std::clamp(part.highLimit, 0, 127);
    if (low <= high) {
        if (note > high) note -= 12 * CeilDiv12(note - high);
        if (note < low) note += 12 * CeilDiv12(low - note);
    }
    while (note < 0)
        note += 12;
    while (note > 127)
        note -= 12;
    return note;
}

int ConvertNote(const PartRule& part, int sourceNote, const Chord& chord) {
    if (part.IsDrumPart() || chord.noChord) return sourceNote;
    if (part.ntt == Ntt::kBypass && part.rootFixed && !FollowsBassNote(part, chord)) {
        return ApplyLimits(part, sourceNote);
    }
    const int sourceRoot = Mod12(part.sourceRoot);
    const int degree = Mod12(sourceNote - sourceRoot);
    const int written = sourceNote - degree;  // the written root at or below the note
    // The converted degree in the octave nearest to the note's own degree.
    const int converted =
        written + NearestOf(ConvertDegree(part, degree, chord), degree, /*tieUp=*/false);
    int result = 0;
    if (part.rootFixed) {
        // Root fixed: the note keeps its octave (C to B) and takes the new pitch class.
        result = converted + Mod12(chord.root - sourceRoot);
        if (FloorDiv12(result) != FloorDiv12(converted)) result -= 12;
    } else {
        // Root transposition: up to the chord's root, or down when the root lies above the
        // high key.
        const int root = chord.root <= Mod12(part.highKey) ? chord.root : chord.root - 12;
        result = converted + root - sourceRoot;
    }
    return ApplyLimits(part, result);
}

int RootNear(const PartRule& part, int pitch, const Chord& chord) {
    const int root = FollowsBassNote(part, chord) ? chord.bass : chord.root;
    return ApplyLimits(part, NearestOf(root, pitch, /*tieUp=*/false));
}

int ChordToneNear(const PartRule& part, int pitch, const Chord& chord) {
    const ChordShape& shape = ShapeOf(chord.type);
    return ApplyLimits(part, chord.root + NearestChordTone(pitch - chord.root, shape));
}

PartRule DefaultPart(int channel) {
    static constexpr std::array<const char*, 8> kNames = {
        "SubRhythm", "Rhythm", "Bass", "Chord 1", "Chord 2", "Pad", "Phrase 1", "Phrase 2"};
    PartRule part;
    part.sourceChannel = channel;
    part.destination = channel;
    part.name = channel >= 8 && channel <= 15 ? kNames[static_cast<size_t>(channel - 8)] : "";
    switch (channel) {
        case kSubRhythmChannel:
        case kRhythmChannel:
            part.rootFixed = true;
            part.ntt = Ntt::kBypass;
            part.retrigger = kRetriggerStop;
            break;
        case 10:  // Bass
            part.ntt = Ntt::kBass;
            part.highKey = 3;  // D#: roots E to B sound below the written bass line
            part.lowLimit = 28;
            part.retrigger = kRetriggerRetriggerToRoot;
            break;
        case 14:  // Phrase 1
        case 15:  // Phrase 2
            part.ntt = Ntt::kMelody;
            part.highKey = 7;
            part.retrigger = kRetriggerPitchShift;
            break;
        default:  // Chord 1, Chord 2, Pad
            part.ntt = Ntt::kChord;
            part.highKey = 7;
            part.retrigger = kRetriggerPitchShift;
            break;
    }
    return part;
}

}  // namespace zephrane::player
