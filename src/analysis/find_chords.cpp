#include "analysis/find_chords.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "analysis/measure_grid.h"
#include "analysis/voice_names.h"
#include "player/chords.h"
#include "song/midi.h"
#include "song/walker.h"

namespace zephrane {
namespace {

constexpr int kRhythmChannel = 10;

// How a chord is weighed against what sounded (Score).
constexpr double kBassWeight = 0.1;      // the chord's bass was the lowest note all along
constexpr double kOnBassCost = 0.05;     // where a bass allows both, the root position wins
constexpr double kExtraToneCost = 0.02;  // each tone beyond a triad: near ties go to the simpler
// An augmented fifth (aug, maj7aug, 7aug): a major third alone fits an augmented chord on either
// of its notes as well as the major chord it far more likely belongs to.
constexpr double kAugmentedCost = 0.06;
constexpr int kAugmentedFifth = 8;
constexpr double kTie = 1e-9;
// A bass note other than the root is named ("C/E") when it is the lowest note this share of the
// time: a walking or alternating bass names no chord of its own.
constexpr double kClearlyHeld = 0.6;
// Two chords in a measure only when they fit its halves this much better than one chord does: a
// melody's passing notes do not split a held chord.
constexpr double kSplitGain = 0.1;
// A span sounding for less of its length than this is silent: a note released just after the
// bar line, a grace note.
constexpr double kAudibleShare = 1.0 / 16;

// What the melodic channels sounded during one span: a measure or half of one.
struct SpanSound {
    std::array<double, 12> presence{};  // ticks during which each pitch class sounded
    std::array<double, 12> lowest{};    // ticks during which it was the lowest note
    double sounding = 0;                // ticks during which any note sounded
    double length = 0;                  // ticks of the span

    bool Audible() const { return sounding > 0 && sounding >= kAudibleShare * length; }
    double Magnitude() const {
        double squares = 0;
        for (const double ticks : presence)
            squares += ticks * ticks;
        return std::sqrt(squares);
    }
    SpanSound& operator+=(const SpanSound& other) {
        for (size_t pc = 0; pc < 12; ++pc) {
            presence[pc] += other.presence[pc];
            lowest[pc] += other.lowest[pc];
        }
        sounding += other.sounding;
        length += other.length;
        return *this;
    }
};

struct MeasureSound {
    std::array<SpanSound, 2> halves;
    int secondHalfBeat = 0;  // the beat its second half starts on; 0 for a measure of one span
};

// One walk over the song that adds up, span by span, how long each pitch class sounded on the
// melodic channels and how long it was the lowest note.
class SoundWalk {
  public:
    SoundWalk(const ByteImage& song, const ChannelTable& channels)
        : song_(song), walker_(song, walk_), grid_(song) {
        for (int index = 0; index < 16; ++index)
            melodic_[index] = !PlaysKit(index + 1, channels[index]);
    }

    std::vector<MeasureSound> Run() {
        while (!walker_.AtEnd()) {
            const TrackEvent& event = walker_.Next();
            SoundUntil(event.absoluteTime);
            if (event.IsChannelMessage()) {
                OnChannelMessage(event);
            } else if (event.IsMeta() && event.metaType == meta_type::kTimeSignature) {
                grid_.FollowTimeSignature(event);
            }
        }
        return std::move(measures_);
    }

  private:
    void OnChannelMessage(const TrackEvent& event) {
        const int index = ChannelIndexOf(event.status);
        const int kind = event.Kind();
        if (!melodic_[index] || (kind != message_kind::kNoteOn && kind != message_kind::kNoteOff))
            return;
        const uint8_t key = song_.At(event.dataPos);
        if (key > 127) return;  // not a note: a status byte where a key belongs
        if (kind == message_kind::kNoteOn && song_.At(int64_t{event.dataPos} + 1) != 0) {
            ++held_[index][key];
            if (sounding_[key]++ == 0) Sound(key, +1);
        } else if (held_[index][key] > 0) {
            --held_[index][key];
            if (--sounding_[key] == 0) Sound(key, -1);
        }
    }
    void Sound(int key, int change) {
        soundingClasses_[static_cast<size_t>(key % 12)] += change;
        soundingKeys_ += change;
    }

    // Adds what sounded from the last event up to `time`, span by span.
    void SoundUntil(int64_t time) {
        while (now_ < time && soundingKeys_ > 0 && grid_.HasMeasures()) {
            const MeasureGrid::Place place = grid_.PlaceOf(now_);
            const bool second = now_ >= place.halfStart;
            const int64_t until = std::min(time, second ? place.end : place.halfStart);
            AddSound(SpanOf(place).halves[second ? 1 : 0], static_cast<double>(until - now_));
            now_ = until;
        }
        now_ = std::max(now_, time);
    }
    MeasureSound& SpanOf(const MeasureGrid::Place& place) {
        const auto index = static_cast<size_t>(place.measure);
        if (index >= measures_.size()) measures_.resize(index + 1);
        MeasureSound& measure = measures_[index];
        if (measure.halves[0].length == 0) {
            measure.halves[0].length = static_cast<double>(place.halfStart - place.start);
            measure.halves[1].length = static_cast<double>(place.end - place.halfStart);
            measure.secondHalfBeat = place.secondHalfBeat;
        }
        return measure;
    }
    void AddSound(SpanSound& span, double ticks) {
        for (size_t pc = 0; pc < 12; ++pc) {
            if (soundingClasses_[pc] > 0) span.presence[pc] += ticks;
        }
        int lowestKey = 0;
        while (sounding_[static_cast<size_t>(lowestKey)] == 0)
            ++lowestKey;
        span.lowest[static_cast<size_t>(lowestKey % 12)] += ticks;
        span.sounding += ticks;
    }

    const ByteImage& song_;
    WalkState walk_;
    TrackWalker walker_;
    MeasureGrid grid_;
    std::array<bool, 16> melodic_{};
    std::array<std::array<int, 128>, 16> held_{};  // notes held, by channel index and key
    std::array<int, 128> sounding_{};              // melodic notes sounding, by key
    std::array<int, 12> soundingClasses_{};        // keys sounding, by pitch class
    int soundingKeys_ = 0;
    int64_t now_ = 0;
    std::vector<MeasureSound> measures_;
};

// A chord as the finder weighs it.
struct Candidate {
    int root = 0;
    int type = 0;
    int bass = -1;  // an on-bass pitch class other than the root; -1 for none

    bool operator==(const Candidate&) const = default;
};

int ToneCount(const Candidate& chord) {
    return player::ShapeOf(chord.type).toneCount;
}

// The order in which equal scores are settled: fewer tones, the root in the bass, the chord
// types in the order of the CASM data (the common ones first).
bool Simpler(const Candidate& a, const Candidate& b) {
    return std::tuple(ToneCount(a), a.bass >= 0, a.type) <
           std::tuple(ToneCount(b), b.bass >= 0, b.type);
}

// How well `chord` names `sound`: the cosine between the pitch classes' sounding times and the
// chord's tones, raised by the share of the time the chord's bass was the lowest note, lowered
// for each tone beyond a triad, for a bass other than the root and for an augmented fifth.
double Score(const SpanSound& sound, const Candidate& chord) {
    const player::ChordShape& shape = player::ShapeOf(chord.type);
    double matched = 0;
    for (int i = 0; i < shape.toneCount; ++i) {
        matched += sound.presence[static_cast<size_t>((chord.root + shape.tones[i]) % 12)];
    }
    const double cosine = matched / (sound.Magnitude() * std::sqrt(shape.toneCount));
    const int bass = chord.bass < 0 ? chord.root : chord.bass;
    return cosine + kBassWeight * sound.lowest[static_cast<size_t>(bass)] / sound.sounding -
           (chord.bass < 0 ? 0 : kOnBassCost) - kExtraToneCost * std::max(0, shape.toneCount - 3) -
           (shape.fifth == kAugmentedFifth ? kAugmentedCost : 0);
}

// The pitch class that was the lowest note clearly most of the time, or -1.
int ClearlyHeldBass(const SpanSound& sound) {
    const auto most = std::max_element(sound.lowest.begin(), sound.lowest.end());
    if (*most < kClearlyHeld * sound.sounding) return -1;
    return static_cast<int>(most - sound.lowest.begin());
}

// The pitch classes that sound for an audible share of the span.
int HeardPitchClasses(const SpanSound& sound) {
    return static_cast<int>(std::count_if(
        sound.presence.begin(), sound.presence.end(),
        [&](double ticks) { return ticks > 0 && ticks >= kAudibleShare * sound.length; }));
}

Candidate BestChord(const SpanSound& sound) {
    const int heldBass = ClearlyHeldBass(sound);
    // A root alone ("1+8") or with its fifth ("1+5") names a span that sounds nothing else: C and
    // E heard are C major without its fifth, not an E with a stray C.
    const int heard = HeardPitchClasses(sound);
    Candidate best;
    double bestScore = -std::numeric_limits<double>::infinity();
    const auto weigh = [&](const Candidate& chord) {
        const double score = Score(sound, chord);
        if (score > bestScore + kTie || (score > bestScore - kTie && Simpler(chord, best))) {
            best = chord;
            bestScore = score;
        }
    };
    for (int root = 0; root < 12; ++root) {
        for (int type = 0; type < player::kChordTypeCount; ++type) {
            const player::ChordShape& shape = player::ShapeOf(type);
            if (shape.keepsScale && heard > shape.toneCount) continue;
            weigh({root, type, -1});
            if (heldBass >= 0 && heldBass != root && player::IsChordTone(type, heldBass - root)) {
                weigh({root, type, heldBass});
            }
        }
    }
    return best;
}

std::string NameOf(const Candidate& chord) {
    player::Chord named;
    named.root = chord.root;
    named.type = chord.type;
    named.bass = chord.bass;
    return player::ChordText(named);
}

// Appends a change unless the chord goes on; a change at the place of the last one replaces it.
void Emit(std::vector<ChordChange>& changes, int measure, int beat, const std::string& chord) {
    if (!changes.empty() && changes.back().measure == measure && changes.back().beat == beat) {
        changes.pop_back();
    }
    if (!changes.empty() && changes.back().chord == chord) return;
    changes.push_back({measure, beat, chord});
}

void EmitMeasure(std::vector<ChordChange>& changes, int measure, const MeasureSound& sound) {
    const SpanSound& first = sound.halves[0];
    const SpanSound& second = sound.halves[1];
    if (!second.Audible()) {
        if (first.Audible()) Emit(changes, measure, 1, NameOf(BestChord(first)));
        return;
    }
    if (!first.Audible()) {
        Emit(changes, measure, sound.secondHalfBeat, NameOf(BestChord(second)));
        return;
    }
    // A half that sounds a single note names no chord of its own: a bass or a melody line moving
    // over the measure is one chord, not a change at every note.
    if (HeardPitchClasses(first) < 2 || HeardPitchClasses(second) < 2) {
        SpanSound whole = first;
        whole += second;
        Emit(changes, measure, 1, NameOf(BestChord(whole)));
        return;
    }
    const Candidate early = BestChord(first);
    const Candidate late = BestChord(second);
    SpanSound whole = first;
    whole += second;
    // A root alone or with its fifth, then its third: the chord filling in, no change.
    const bool fillsIn = early.root == late.root && (player::ShapeOf(early.type).keepsScale ||
                                                     player::ShapeOf(late.type).keepsScale);
    const Candidate one = early == late ? early : BestChord(whole);
    if (fillsIn) {
        Emit(changes, measure, 1, NameOf(one));
        return;
    }
    const double gain =
        Score(first, early) + Score(second, late) - Score(first, one) - Score(second, one);
    if (gain < kSplitGain) {
        Emit(changes, measure, 1, NameOf(one));
        return;
    }
    Emit(changes, measure, 1, NameOf(early));
    Emit(changes, measure, sound.secondHalfBeat, NameOf(late));
}

}  // namespace

bool PlaysKit(int midiChannel, const ChannelInfo& channel) {
    return midiChannel == kRhythmChannel || NamesKit(channel.voiceLabel);
}

std::vector<ChordChange> FindChords(const ByteImage& song, const ChannelTable& channels) {
    const std::vector<MeasureSound> measures = SoundWalk(song, channels).Run();
    std::vector<ChordChange> changes;
    player::Chord none;
    none.noChord = true;
    Emit(changes, 0, 1, player::ChordText(none));
    for (size_t m = 0; m < measures.size(); ++m)
        EmitMeasure(changes, static_cast<int>(m), measures[m]);
    return changes;
}

}  // namespace zephrane
