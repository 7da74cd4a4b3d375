#include "convert/onto_one_chord.h"

#include <array>
#include <deque>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "analysis/find_chords.h"
#include "analysis/measure_grid.h"
#include "convert/part_notes.h"
#include "player/chords.h"
#include "player/player_error.h"
#include "song/error.h"
#include "song/midi.h"
#include "song/walker.h"

namespace zephrane {
namespace {

constexpr int kOctave = 12;
constexpr int kWidestShiftDown = -5;  // a root of F moves down to C; F# moves up

// A chord played over, as far as the move onto C maj7 needs it.
struct PlayedChord {
    int root = 0;
    int type = 0;
};

// The chord of each change, nothing for "N.C.".
std::vector<std::optional<PlayedChord>> ChordsOf(std::span<const ChordChange> chords) {
    std::vector<std::optional<PlayedChord>> played;
    for (const ChordChange& change : chords) {
        try {
            const player::Chord chord = player::ParseChord(change.chord);
            played.push_back(chord.noChord ? std::nullopt
                                           : std::optional(PlayedChord{chord.root, chord.type}));
        } catch (const player::PlayerError&) {
            Fail(error_number::kInvalidProcedureCall);
        }
    }
    return played;
}

// The tone of C maj7 that takes the place of the chord tone `interval` semitones above the root
// of a chord of `type`, as the instrument moves C maj7's tones onto that chord: its third to E,
// its fifth (or the tension in the fifth's place) to G, its seventh (or sixth) to B; nothing for
// a note that is no chord tone.
std::optional<int> CMaj7ToneFor(int type, int interval) {
    const player::ChordShape& shape = player::ShapeOf(type);
    constexpr std::array<int, 4> kCMaj7Voices = {0, 4, 7, 11};
    for (size_t voice = 0; voice < shape.voices.size(); ++voice) {
        if (voice > 0 && shape.voices[voice] == 0) continue;  // a doubled root
        if (shape.voices[voice] == interval) return kCMaj7Voices[voice];
    }
    for (int i = 0; i < shape.toneCount; ++i) {
        // The fifth of a chord whose fifth's place holds a tension.
        const int tone = shape.tones[static_cast<size_t>(i)];
        if (tone == interval && tone >= 6 && tone <= 8) return 7;
    }
    return std::nullopt;
}

// A byte of the song and the note number it becomes.
struct NoteRewrite {
    int64_t position;
    uint8_t note;
};

// One walk over the song, finding the note bytes to rewrite; the song is left as it is.
class OntoOneChord {
  public:
    OntoOneChord(const ByteImage& song, const CasmSnapshot& parts, const PartHighKeys& highKeys,
                 const ChannelTable& channels, MeasureRange range,
                 std::span<const ChordChange> chords)
        : song_(song),
          parts_(parts),
          highKeys_(highKeys),
          range_(range),
          chords_(chords),
          played_(ChordsOf(chords)),
          grid_(song) {
        for (int channel = 1; channel <= 16; ++channel) {
            melodic_[channel] = !IsRhythmPart(parts.part.at(channel)) &&
                                !PlaysKit(channel, channels.at(channel - 1));
        }
    }

    std::vector<NoteRewrite> Run() {
        WalkState walk;
        TrackWalker walker(song_, walk);
        while (!walker.AtEnd()) {
            const TrackEvent& event = walker.Next();
            if (event.IsMeta() && event.metaType == meta_type::kTimeSignature) {
                grid_.FollowTimeSignature(event);
            } else if (event.IsChannelMessage()) {
                OnChannelMessage(event);
            }
        }
        return std::move(rewrites_);
    }

  private:
    void OnChannelMessage(const TrackEvent& event) {
        const int kind = event.Kind();
        const int channel = event.Channel();
        if (!melodic_.at(channel) ||
            (kind != message_kind::kNoteOn && kind != message_kind::kNoteOff))
            return;
        const uint8_t source = song_.At(event.dataPos);
        if (source > 127) return;  // not a note: a status byte where a key belongs
        const bool starts =
            kind == message_kind::kNoteOn && song_.At(int64_t{event.dataPos} + 1) > 0;
        const uint8_t note =
            starts ? NoteStarted(channel, source, event.absoluteTime) : NoteEnded(channel, source);
        if (note != source) rewrites_.push_back({event.dataPos, note});
    }

    uint8_t NoteStarted(int channel, uint8_t source, int64_t time) {
        const uint8_t note = Converted(channel, source, time);
        sounding_[{channel, source}].push_back(note);
        return note;
    }

    // The oldest note-on of the same key still sounding gave its note its pitch.
    uint8_t NoteEnded(int channel, uint8_t source) {
        const auto found = sounding_.find({channel, source});
        if (found == sounding_.end() || found->second.empty()) return source;
        const uint8_t note = found->second.front();
        found->second.pop_front();
        return note;
    }

    uint8_t Converted(int channel, uint8_t source, int64_t time) const {
        if (!grid_.HasMeasures()) return source;
        const int measure = grid_.PlaceOf(time).measure;
        if (measure < range_.first || measure > range_.last) return source;
        const std::optional<PlayedChord> chord = ChordInForce(measure, grid_.BeatOf(time));
        if (!chord) return source;
        const int moved =
            source + ShiftToC(chord->root, highKeys_.at(static_cast<size_t>(channel - 1)));
        const int pitchClass = ((moved % kOctave) + kOctave) % kOctave;
        // A chord tone takes its degree's tone of C maj7, the other notes the part's notes.
        const int part = parts_.part.at(channel);
        const std::optional<int> tone =
            FollowsTheChord(part) ? CMaj7ToneFor(chord->type, pitchClass) : std::nullopt;
        return InMidiRange(moved - pitchClass + (tone ? *tone : PartPitchClass(part, pitchClass)));
    }

    // The chord of the last change at or before the beat; nothing under "N.C." or before the
    // first.
    std::optional<PlayedChord> ChordInForce(int measure, int beat) const {
        std::optional<PlayedChord> chord;
        for (size_t i = 0; i < chords_.size(); ++i) {
            if (std::tuple(chords_[i].measure, chords_[i].beat) > std::tuple(measure, beat)) break;
            chord = played_[i];
        }
        return chord;
    }

    const ByteImage& song_;
    const CasmSnapshot& parts_;
    const PartHighKeys& highKeys_;
    MeasureRange range_;
    std::span<const ChordChange> chords_;
    std::vector<std::optional<PlayedChord>> played_;
    MeasureGrid grid_;
    std::array<bool, 17> melodic_{};  // by MIDI channel
    // Per channel and source key, the pitches given to the note-ons still sounding, oldest first.
    std::map<std::pair<int, uint8_t>, std::deque<uint8_t>> sounding_;
    std::vector<NoteRewrite> rewrites_;
};

}  // namespace

int ShiftToC(int root) {
    const int down = -(((root % kOctave) + kOctave) % kOctave);
    return down < kWidestShiftDown ? down + kOctave : down;
}

int ShiftToC(int root, int highKey) {
    if (highKey < 0) return ShiftToC(root);
    const int pitchClass = ((root % kOctave) + kOctave) % kOctave;
    return pitchClass <= highKey % kOctave ? -pitchClass : kOctave - pitchClass;
}

void ConvertOntoCMaj7(ByteImage& song, const CasmSnapshot& parts, const PartHighKeys& highKeys,
                      const ChannelTable& channels, MeasureRange range,
                      std::span<const ChordChange> chords) {
    // Found on the whole walk first, so that a failure on the way leaves the song as it was.
    const std::vector<NoteRewrite> rewrites =
        OntoOneChord(song, parts, highKeys, channels, range, chords).Run();
    for (const NoteRewrite& rewrite : rewrites)
        song.Set(rewrite.position, rewrite.note);
}

}  // namespace zephrane
