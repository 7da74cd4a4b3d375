#include "convert/onto_one_chord.h"

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

// The root of each chord change, nothing for "N.C.".
std::vector<std::optional<int>> RootsOf(std::span<const ChordChange> chords) {
    std::vector<std::optional<int>> roots;
    for (const ChordChange& change : chords) {
        try {
            const player::Chord chord = player::ParseChord(change.chord);
            roots.push_back(chord.noChord ? std::nullopt : std::optional(chord.root));
        } catch (const player::PlayerError&) {
            Fail(error_number::kInvalidProcedureCall);
        }
    }
    return roots;
}

// A byte of the song and the note number it becomes.
struct NoteRewrite {
    int64_t position;
    uint8_t note;
};

// One walk over the song, finding the note bytes to rewrite; the song is left as it is.
class OntoOneChord {
  public:
    OntoOneChord(const ByteImage& song, const CasmSnapshot& parts, const ChannelTable& channels,
                 MeasureRange range, std::span<const ChordChange> chords)
        : song_(song),
          parts_(parts),
          range_(range),
          chords_(chords),
          roots_(RootsOf(chords)),
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
        const std::optional<int> root = RootInForce(measure, grid_.BeatOf(time));
        if (!root) return source;
        const int moved = source + ShiftToC(*root);
        const int pitchClass = ((moved % kOctave) + kOctave) % kOctave;
        return InMidiRange(moved - pitchClass +
                           PartPitchClass(parts_.part.at(channel), pitchClass));
    }

    // The root of the last change at or before the beat; nothing under "N.C." or before the first.
    std::optional<int> RootInForce(int measure, int beat) const {
        std::optional<int> root;
        for (size_t i = 0; i < chords_.size(); ++i) {
            if (std::tuple(chords_[i].measure, chords_[i].beat) > std::tuple(measure, beat)) break;
            root = roots_[i];
        }
        return root;
    }

    const ByteImage& song_;
    const CasmSnapshot& parts_;
    MeasureRange range_;
    std::span<const ChordChange> chords_;
    std::vector<std::optional<int>> roots_;
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

void ConvertOntoCMaj7(ByteImage& song, const CasmSnapshot& parts, const ChannelTable& channels,
                      MeasureRange range, std::span<const ChordChange> chords) {
    // Found on the whole walk first, so that a failure on the way leaves the song as it was.
    const std::vector<NoteRewrite> rewrites =
        OntoOneChord(song, parts, channels, range, chords).Run();
    for (const NoteRewrite& rewrite : rewrites)
        song.Set(rewrite.position, rewrite.note);
}

}  // namespace zephrane
