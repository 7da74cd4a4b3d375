#include "player/note_rules.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>

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

// A note of a guitar or root-fixed chord part played alone: in the arpeggio and all-purpose
// tables it keeps its role in the chord (the Chord table), in the stroke table it takes the
// nearest chord tone; either at the pitch nearest to where it is written.
int LoneNote(const PartRule& part, int sourceNote, int degree, const Chord& chord) {
    if (part.ntr == Ntr::kGuitar && part.guitarMode == GuitarMode::kStroke) {
        return chord.root + NearestChordTone(sourceNote - chord.root, ShapeOf(chord.type));
    }
    const int role = degree == 0 && FollowsBassNote(part, chord)
                         ? Mod12(chord.bass - chord.root)
                         : ByChord(degree, SourceShape(part), ShapeOf(chord.type));
    return NearestOf(Mod12(chord.root + role), sourceNote, /*tieUp=*/false);
}

// The tones a fitted voicing may use (pitch classes) and what it costs to leave each out.
struct VoicingTones {
    std::vector<int> pitchClasses;
    std::vector<int> missingCost;
};

// Leaving out the third costs most (it says major or minor), then the seventh, the root and a
// tension; a fifth is left out first, as players do.
VoicingTones TonesOf(const Chord& chord) {
    const ChordShape& shape = ShapeOf(chord.type);
    VoicingTones tones;
    for (int i = 0; i < shape.toneCount; ++i) {
        const int tone = shape.tones[static_cast<size_t>(i)];
        int cost = 5;
        if (tone == 0) cost = 20;
        if (tone == shape.voices[1] && tone != 0) cost = 40;
        if (tone == shape.voices[3] && tone != 0) cost = 30;
        if (tone == shape.voices[2] && tone != shape.fifth && tone != 0) cost = 15;
        tones.pitchClasses.push_back(Mod12(chord.root + tone));
        tones.missingCost.push_back(cost);
    }
    return tones;
}

// The voicing of least cost over written keys (ascending): each key moves at most a fifth to a
// chord tone within the limits, the voices rising (strictly, or allowing unisons); the cost is
// the movement, the top voice's three times, plus the cost of every tone left out. The search
// goes up voice by voice, keeping for each pitch of the current voice and each set of tones
// covered below it the cheapest way there.
class VoicingSearch {
  public:
    VoicingSearch(const PartRule& part, const std::vector<int>& written, VoicingTones tones)
        : written_(written),
          tones_(std::move(tones)),
          sets_(size_t{1} << tones_.pitchClasses.size()) {
        for (const int key : written_)
            options_.push_back(OptionsNear(part, key));
    }

    // Empty when no voicing fits.
    std::vector<int> Cheapest(bool strict) {
        for (const std::vector<Option>& options : options_) {
            if (options.empty()) return {};
        }
        Fill(strict);
        return Trace();
    }

  private:
    static constexpr int kReach = 7;
    static constexpr int kTopWeight = 3;
    static constexpr int kUnreached = 1 << 29;
    struct Option {
        int pitch = 0;
        size_t tone = 0;
    };
    struct Way {
        int cost = kUnreached;
        size_t option = 0, set = 0;  // the voice below: its option and the tones covered
    };

    std::vector<Option> OptionsNear(const PartRule& part, int key) const {
        std::vector<Option> options;
        for (int pitch = key - kReach; pitch <= key + kReach; ++pitch) {
            for (size_t t = 0; t < tones_.pitchClasses.size(); ++t) {
                if (Mod12(pitch) == tones_.pitchClasses[t] && pitch >= 0 && pitch <= 127 &&
                    ApplyLimits(part, pitch) == pitch) {
                    options.push_back({pitch, t});
                }
            }
        }
        return options;
    }

    void Fill(bool strict) {
        ways_.assign(written_.size(), {});
        for (size_t voice = 0; voice < written_.size(); ++voice) {
            const int weight = voice + 1 == written_.size() ? kTopWeight : 1;
            ways_[voice].assign(options_[voice].size(), std::vector<Way>(sets_));
            for (size_t o = 0; o < options_[voice].size(); ++o) {
                const Option option = options_[voice][o];
                const int move = weight * std::abs(option.pitch - written_[voice]);
                const size_t bit = size_t{1} << option.tone;
                if (voice == 0) {
                    ways_[0][o][bit].cost = move;
                    continue;
                }
                for (size_t p = 0; p < options_[voice - 1].size(); ++p) {
                    const int below = options_[voice - 1][p].pitch;
                    if (strict ? below >= option.pitch : below > option.pitch) continue;
                    for (size_t set = 0; set < sets_; ++set) {
                        const int cost = ways_[voice - 1][p][set].cost + move;
                        Way& way = ways_[voice][o][set | bit];
                        if (cost < way.cost) way = {cost, p, set};
                    }
                }
            }
        }
    }

    int MissingCost(size_t set) const {
        int cost = 0;
        for (size_t t = 0; t < tones_.pitchClasses.size(); ++t) {
            if ((set & (size_t{1} << t)) == 0) cost += tones_.missingCost[t];
        }
        return cost;
    }

    std::vector<int> Trace() const {
        const std::vector<std::vector<Way>>& top = ways_.back();
        int best = kUnreached;
        size_t option = 0, set = 0;
        for (size_t o = 0; o < top.size(); ++o) {
            for (size_t s = 0; s < sets_; ++s) {
                if (top[o][s].cost >= kUnreached) continue;
                const int total = top[o][s].cost + MissingCost(s);
                if (total < best) std::tie(best, option, set) = std::tie(total, o, s);
            }
        }
        if (best >= kUnreached) return {};
        std::vector<int> fitted(written_.size());
        for (size_t voice = written_.size(); voice-- > 0;) {
            fitted[voice] = options_[voice][option].pitch;
            const Way& way = ways_[voice][option][set];
            std::tie(option, set) = std::pair(way.option, way.set);
        }
        return fitted;
    }

    const std::vector<int>& written_;
    const VoicingTones tones_;
    const size_t sets_;  // every subset of the tones
    std::vector<std::vector<Option>> options_;
    std::vector<std::vector<std::vector<Way>>> ways_;  // [voice][option][tones covered]
};

}  // namespace

const PartRule& PartRule::RuleFor(int sourceNote) const {
    if (outerRanges.size() == 2) {
        if (sourceNote < middleLowest) return outerRanges[0];
        if (sourceNote > middleHighest) return outerRanges[1];
    }
    return *this;
}

bool PartRule::FitsVoicings() const {
    return (ntr == Ntr::kGuitar && guitarMode != GuitarMode::kArpeggio) ||
           (ntr == Ntr::kRootFixed && ntt == Ntt::kChord);
}

bool ChordPlays(const PartRule& part, const Chord& chord) {
    if (chord.noChord) return part.IsDrumPart();
    if (chord.type < 0 || chord.type >= kChordTypeCount) return false;
    const int root = Mod12(chord.root);
    const uint8_t rootByte = root < 8 ? part.noteMute[1] : part.noteMute[0];
    if (((rootByte >> (root < 8 ? root : root - 8)) & 1) == 0) return false;
    const uint8_t byte = part.chordMute[static_cast<size_t>(4 - chord.type / 8)];
    return ((byte >> (chord.type % 8)) & 1) != 0;
}

bool IsNoiseNote(const PartRule& part, int sourceNote) {
    return sourceNote >= kLowestNoiseKey &&
           (part.ntr == Ntr::kGuitar || part.destination == kBassChannel);
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
    if (part.ntt == Ntt::kBypass && part.ntr == Ntr::kRootFixed && !FollowsBassNote(part, chord)) {
        return ApplyLimits(part, sourceNote);
    }
    const int sourceRoot = Mod12(part.sourceRoot);
    const int degree = Mod12(sourceNote - sourceRoot);
    if (part.ntr == Ntr::kGuitar || part.FitsVoicings())
        return ApplyLimits(part, LoneNote(part, sourceNote, degree, chord));
    const int written = sourceNote - degree;  // the written root at or below the note
    // The converted degree in the octave nearest to the note's own degree.
    const int converted =
        written + NearestOf(ConvertDegree(part, degree, chord), degree, /*tieUp=*/false);
    int result = 0;
    if (part.ntr == Ntr::kRootFixed) {
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

std::vector<int> FitVoicing(const PartRule& part, const std::vector<int>& sourceKeys,
                            const Chord& chord) {
    if (part.IsDrumPart() || chord.noChord) return sourceKeys;
    std::vector<size_t> order(sourceKeys.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sourceKeys[a] < sourceKeys[b]; });
    std::vector<int> written;
    for (size_t i : order)
        written.push_back(sourceKeys[i]);
    VoicingSearch search(part, written, TonesOf(chord));
    std::vector<int> fitted = search.Cheapest(/*strict=*/true);
    if (fitted.empty()) fitted = search.Cheapest(/*strict=*/false);
    std::vector<int> result(sourceKeys.size());
    for (size_t i = 0; i < order.size(); ++i) {
        result[order[i]] = fitted.empty() ? ConvertNote(part, written[i], chord) : fitted[i];
    }
    return result;
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
            part.ntr = Ntr::kRootFixed;
            part.ntt = Ntt::kBypass;
            part.retrigger = kRetriggerStop;
            break;
        case kBassChannel:
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
