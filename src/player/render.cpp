#include "player/render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "player/player_error.h"
#include "song/midi.h"
#include "song/midi_layout.h"

namespace zephrane::player {
namespace {

constexpr int64_t kMaxBars = 10000;
constexpr uint8_t kSustainPedal = 64;

// A note of the section's phrase, timed from the section's start.
struct SourceNote {
    int channel = 0;
    int key = 0;
    int velocity = 0;
    int64_t on = 0;
    int64_t off = 0;
};

// One playing of a source note in the output.
struct NotePlaying {
    const SourceNote* note = nullptr;
    int64_t on = 0;
    int64_t off = 0;
};

// What happens at a tick, in this order: notes end, the chord changes, controllers, notes begin.
enum class Step { kNoteEnd, kChordChange, kControlChange, kNoteStart };

struct Happening {
    int64_t tick = 0;
    Step step = Step::kNoteEnd;
    size_t index = 0;  // into the playings, the controls or the chord changes
    size_t sequence = 0;
};

struct Sounding {
    size_t playing = 0;
    int key = 0;  // the key the note-on named; it sounds at key + the channel's bend
    int velocity = 0;
    const PartRule* part = nullptr;
};

struct ChannelState {
    std::vector<Sounding> sounding;
    int bend = 0;          // semitones the channel is bent by the player
    bool mayBend = false;  // a pitch shift may bend this channel
    bool sustainUsed = false;
};

struct ChordChange {
    int64_t tick = 0;
    Chord chord;
};

std::string SectionList(const PlayableStyle& style) {
    std::string list;
    for (const StyleSection& section : style.sections) {
        if (!list.empty()) list += ", ";
        list += "\"" + section.name + "\"";
    }
    return list;
}

const StyleSection& ChooseSection(const PlayableStyle& style, const std::string& name) {
    if (name.empty()) return DefaultSection(style);
    const StyleSection* section = FindSection(style, name);
    if (!section) {
        throw PlayerError("The style has no section \"" + name + "\"; its sections are " +
                          SectionList(style) + ".");
    }
    return *section;
}

// The notes from the section's marker up to its end, paired first on with first off; a note
// still held at the end of the section ends there.
std::vector<SourceNote> SectionNotes(const PlayableStyle& style, const StyleSection& section) {
    std::vector<SourceNote> notes;
    std::vector<std::vector<size_t>> open(16 * 128);
    for (const StyleEvent& event : style.events) {
        if (event.tick < section.start || event.tick >= section.end) continue;
        const size_t slot = static_cast<size_t>(event.Channel() * 128 + event.data1);
        if (event.IsNoteOn()) {
            open[slot].push_back(notes.size());
            notes.push_back({event.Channel(), event.data1, event.data2, event.tick - section.start,
                             section.end - section.start});
        } else if (event.IsNoteOff() && !open[slot].empty()) {
            notes[open[slot].front()].off = event.tick - section.start;
            open[slot].erase(open[slot].begin());
        }
    }
    std::erase_if(notes, [](const SourceNote& note) { return note.off <= note.on; });
    return notes;
}

// Every channel message but the notes: poly pressure up to pitch bend.
bool IsControl(const StyleEvent& event) {
    return event.Kind() >= message_kind::kPolyPressure && event.Kind() <= message_kind::kPitchBend;
}

std::vector<uint8_t> ChannelMessage(int kind, int channel, int data1, int data2) {
    const uint8_t status = ChannelStatus(kind, channel);
    if (DataBytesOfKind(kind) == 1) return {status, static_cast<uint8_t>(data1)};
    return {status, static_cast<uint8_t>(data1), static_cast<uint8_t>(data2)};
}

class Renderer {
  public:
    Renderer(const PlayableStyle& style, const RenderRequest& request, Rendering& out)
        : style_(style), request_(request), out_(out) {}

    void Run();

  private:
    void Prepare();
    void SetUp();
    void Play();
    void Emit(int64_t tick, std::vector<uint8_t> bytes) {
        out_.events.push_back({tick, std::move(bytes)});
    }
    void NoteOn(int64_t tick, int channel, int key, int velocity) {
        Emit(tick, ChannelMessage(message_kind::kNoteOn, channel, key, velocity));
    }
    void NoteOff(int64_t tick, int channel, int key) {
        Emit(tick, ChannelMessage(message_kind::kNoteOff, channel, key, 0));
    }
    void Bend(int64_t tick, int channel, int semitones);
    void StartNote(int64_t tick, size_t playing);
    void EndNote(int64_t tick, size_t playing);
    void Control(int64_t tick, const StyleEvent& event);
    void ChangeChord(int64_t tick, const Chord& chord);
    void ChangeChordOnChannel(int64_t tick, int channel, const Chord& chord);
    void Unbend(int64_t tick, int channel);
    void GroupVoicings();
    int Target(const PartRule& rule, const SourceNote& note, const Chord& chord) const;
    void Forget(int channel, size_t index);

    const PlayableStyle& style_;
    const RenderRequest& request_;
    Rendering& out_;
    const StyleSection* section_ = nullptr;
    std::vector<PartRule> parts_;
    std::array<const PartRule*, 16> bySource_{};
    std::vector<SourceNote> notes_;
    std::vector<std::vector<size_t>> voicings_;  // notes struck together, by source channel
    std::vector<size_t> voicingOf_;              // per note: its voicing
    std::vector<NotePlaying> playings_;
    std::vector<int> soundingOn_;       // per playing: its output channel while it sounds, else -1
    std::vector<StyleEvent> controls_;  // timed on the output
    std::vector<ChordChange> chords_;
    std::array<ChannelState, 16> channels_;
    Chord chord_;
};

void Renderer::Run() {
    Prepare();
    SetUp();
    Play();
}

void Renderer::Prepare() {
    if (request_.chords.empty()) throw PlayerError("No chords were given to play the style to.");
    if (request_.barsPerChord < 1 || request_.loops < 1) {
        throw PlayerError("Bars per chord and loops must be at least 1.");
    }
    section_ = &ChooseSection(style_, request_.section);
    out_.sectionName = section_->name;
    const int64_t sectionLength = section_->end - section_->start;
    if (sectionLength <= 0) {
        throw PlayerError("The section \"" + section_->name +
                          "\" is empty: its marker is followed at once by the next one.");
    }
    const int64_t chordCount = static_cast<int64_t>(request_.chords.size());
    const int64_t bars = chordCount * request_.barsPerChord * request_.loops;
    if (request_.barsPerChord > kMaxBars || request_.loops > kMaxBars || bars > kMaxBars) {
        throw PlayerError("The player plays at most " + std::to_string(kMaxBars) +
                          " bars; ask for fewer chords, bars per chord or loops.");
    }
    out_.division = style_.division;
    out_.numerator = style_.numerator;
    out_.denominatorPower = style_.denominatorPower;
    out_.tempo = style_.tempo;
    if (request_.bpm > 0) {
        out_.tempo = std::clamp<int64_t>(std::llround(60000000.0 / request_.bpm), 1, 0xFFFFFF);
    }
    const int64_t barTicks = style_.BarTicks();
    if (barTicks <= 0) throw PlayerError("The style's bars have no length.");
    out_.length = bars * barTicks;

    SectionParts parts = PartsFor(style_, section_->name);
    parts_ = std::move(parts.rules);
    if (parts.defaults) {
        const std::string why = style_.hasCasm
                                    ? "No CSEG of the style's CASM data names \"" + section_->name +
                                          "\" with a record the player can use"
                                    : "The style has no CASM data";
        out_.notes.push_back(why +
                             ", so channels 9 to 16 play as themselves with the player's "
                             "default rules.");
    }
    for (const PartRule& part : parts_) {
        if (!bySource_[static_cast<size_t>(part.sourceChannel)]) {
            bySource_[static_cast<size_t>(part.sourceChannel)] = &part;
        }
    }

    // A part bent by the player must not carry pitch bends of its own, nor be a drum part.
    for (size_t channel = 0; channel < channels_.size(); ++channel) {
        channels_[channel].mayBend = channel != kSubRhythmChannel && channel != kRhythmChannel;
    }
    for (const StyleEvent& event : style_.events) {
        const PartRule* part = bySource_[static_cast<size_t>(event.Channel())];
        if (part && event.Kind() == message_kind::kPitchBend) {
            channels_[static_cast<size_t>(part->destination)].mayBend = false;
        }
    }

    notes_ = SectionNotes(style_, *section_);
    GroupVoicings();
    for (int64_t loopStart = 0; loopStart < out_.length; loopStart += sectionLength) {
        for (const SourceNote& note : notes_) {
            if (loopStart + note.on >= out_.length) continue;
            playings_.push_back(
                {&note, loopStart + note.on, std::min(loopStart + note.off, out_.length)});
        }
        for (const StyleEvent& event : style_.events) {
            if (event.tick < section_->start || event.tick >= section_->end) continue;
            if (!IsControl(event)) continue;
            StyleEvent timed = event;
            timed.tick = loopStart + event.tick - section_->start;
            if (timed.tick < out_.length) controls_.push_back(timed);
        }
    }
    soundingOn_.assign(playings_.size(), -1);
    const int64_t chordTicks = barTicks * request_.barsPerChord;
    for (int64_t i = 0; i * chordTicks < out_.length; ++i) {
        chords_.push_back({i * chordTicks, request_.chords[static_cast<size_t>(i % chordCount)]});
    }
}

// Notes of one channel that begin within a 32nd note of the first are one voicing: a chord
// struck together, or strummed on a guitar.
void Renderer::GroupVoicings() {
    const int64_t window = std::max(style_.division / 8, 1);
    std::array<size_t, 16> open;
    open.fill(SIZE_MAX);
    voicingOf_.resize(notes_.size());
    for (size_t i = 0; i < notes_.size(); ++i) {
        size_t& current = open[static_cast<size_t>(notes_[i].channel)];
        if (current == SIZE_MAX || notes_[i].on - notes_[voicings_[current].front()].on > window) {
            current = voicings_.size();
            voicings_.emplace_back();
        }
        voicings_[current].push_back(i);
        voicingOf_[i] = current;
    }
}

// The key `note` sounds at under `chord`: in a part that fits voicings, as one voice of the
// voicing it belongs to (the other notes of its range, noises left out), else on its own.
int Renderer::Target(const PartRule& rule, const SourceNote& note, const Chord& chord) const {
    if (!rule.FitsVoicings()) return ConvertNote(rule, note.key, chord);
    const PartRule& part = *bySource_[static_cast<size_t>(note.channel)];
    const size_t self = static_cast<size_t>(&note - notes_.data());
    std::vector<int> keys;
    size_t voice = 0;
    for (const size_t other : voicings_[voicingOf_[self]]) {
        const int key = notes_[other].key;
        if (&part.RuleFor(key) != &rule || IsNoiseNote(rule, key)) continue;
        if (other == self) voice = keys.size();
        keys.push_back(key);
    }
    if (keys.size() < 2) return ConvertNote(rule, note.key, chord);
    return FitVoicing(rule, keys, chord)[voice];
}

void Renderer::SetUp() {
    std::array<bool, 16> used{};
    for (const PartRule& part : parts_)
        used[static_cast<size_t>(part.destination)] = true;
    for (const StyleEvent& event : style_.events) {
        if (event.tick >= style_.setUpEnd) break;
        if (IsControl(event)) Control(0, event);
    }
    // The glide of a pitch shift is a pitch bend of up to an octave.
    for (const PartRule& part : parts_) {
        const size_t channel = static_cast<size_t>(part.destination);
        const bool shifts =
            part.retrigger == kRetriggerPitchShift || part.retrigger == kRetriggerPitchShiftToRoot;
        if (!shifts || !channels_[channel].mayBend || !used[channel]) continue;
        used[channel] = false;  // once per channel
        const int c = static_cast<int>(channel);
        for (const auto& [controller, value] : std::array<std::pair<int, int>, 6>{
                 {{101, 0}, {100, 0}, {6, kBendRangeSemitones}, {38, 0}, {101, 127}, {100, 127}}}) {
            Emit(0, ChannelMessage(message_kind::kController, c, controller, value));
        }
    }
}

void Renderer::Play() {
    std::vector<Happening> happenings;
    for (size_t i = 0; i < playings_.size(); ++i) {
        happenings.push_back({playings_[i].off, Step::kNoteEnd, i, happenings.size()});
        happenings.push_back({playings_[i].on, Step::kNoteStart, i, happenings.size()});
    }
    for (size_t i = 0; i < controls_.size(); ++i)
        happenings.push_back({controls_[i].tick, Step::kControlChange, i, happenings.size()});
    for (size_t i = 0; i < chords_.size(); ++i)
        happenings.push_back({chords_[i].tick, Step::kChordChange, i, happenings.size()});
    std::sort(happenings.begin(), happenings.end(), [](const Happening& a, const Happening& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.step != b.step) return a.step < b.step;
        return a.sequence < b.sequence;
    });
    for (const Happening& happening : happenings) {
        switch (happening.step) {
            case Step::kNoteEnd:
                EndNote(happening.tick, happening.index);
                break;
            case Step::kChordChange:
                ChangeChord(happening.tick, chords_[happening.index].chord);
                break;
            case Step::kControlChange:
                Control(happening.tick, controls_[happening.index]);
                break;
            case Step::kNoteStart:
                StartNote(happening.tick, happening.index);
                break;
        }
    }
    for (size_t channel = 0; channel < channels_.size(); ++channel) {
        const int c = static_cast<int>(channel);
        if (channels_[channel].bend != 0) Bend(out_.length, c, 0);
        if (channels_[channel].sustainUsed) {
            Emit(out_.length, ChannelMessage(message_kind::kController, c, kSustainPedal, 0));
        }
    }
}

void Renderer::Bend(int64_t tick, int channel, int semitones) {
    const int value = std::clamp(
        8192 + static_cast<int>(std::lround(semitones * 8192.0 / kBendRangeSemitones)), 0, 16383);
    Emit(tick, ChannelMessage(message_kind::kPitchBend, channel, value & 0x7F, value >> 7));
    channels_[static_cast<size_t>(channel)].bend = semitones;
}

void Renderer::Forget(int channel, size_t index) {
    std::vector<Sounding>& sounding = channels_[static_cast<size_t>(channel)].sounding;
    soundingOn_[sounding[index].playing] = -1;
    sounding.erase(sounding.begin() + static_cast<std::ptrdiff_t>(index));
}

// New notes on a bent channel would sound bent: the held notes are struck again at the pitch
// they sound at, and the bend is released.
void Renderer::Unbend(int64_t tick, int channel) {
    ChannelState& state = channels_[static_cast<size_t>(channel)];
    for (const Sounding& held : state.sounding)
        NoteOff(tick, channel, held.key);
    const int bend = state.bend;
    Bend(tick, channel, 0);
    for (Sounding& held : state.sounding) {
        held.key = std::clamp(held.key + bend, 0, 127);
        NoteOn(tick, channel, held.key, held.velocity);
    }
}

void Renderer::StartNote(int64_t tick, size_t playing) {
    const SourceNote& note = *playings_[playing].note;
    const PartRule* source = bySource_[static_cast<size_t>(note.channel)];
    if (!source) return;
    const PartRule* part = &source->RuleFor(note.key);
    if (IsNoiseNote(*part, note.key) || !ChordPlays(*part, chord_)) return;
    const int channel = part->destination;
    ChannelState& state = channels_[static_cast<size_t>(channel)];
    if (state.bend != 0) Unbend(tick, channel);
    const int key = Target(*part, note, chord_);
    for (size_t i = 0; i < state.sounding.size(); ++i) {
        if (state.sounding[i].key == key) {
            // The same key struck again: the earlier note ends here.
            NoteOff(tick, channel, key);
            Forget(channel, i);
            break;
        }
    }
    NoteOn(tick, channel, key, note.velocity);
    state.sounding.push_back({playing, key, note.velocity, part});
    soundingOn_[playing] = channel;
}

void Renderer::EndNote(int64_t tick, size_t playing) {
    const int channel = soundingOn_[playing];
    if (channel < 0) return;
    ChannelState& state = channels_[static_cast<size_t>(channel)];
    for (size_t i = 0; i < state.sounding.size(); ++i) {
        if (state.sounding[i].playing != playing) continue;
        NoteOff(tick, channel, state.sounding[i].key);
        Forget(channel, i);
        break;
    }
    if (state.sounding.empty() && state.bend != 0) Bend(tick, channel, 0);
}

void Renderer::Control(int64_t tick, const StyleEvent& event) {
    const PartRule* part = bySource_[static_cast<size_t>(event.Channel())];
    if (!part) return;
    const int channel = part->destination;
    if (event.Kind() == message_kind::kController && event.data1 == kSustainPedal) {
        channels_[static_cast<size_t>(channel)].sustainUsed = true;
    }
    Emit(tick, ChannelMessage(event.Kind(), channel, event.data1, event.data2));
}

void Renderer::ChangeChord(int64_t tick, const Chord& chord) {
    chord_ = chord;
    const std::string text = ChordText(chord);
    std::vector<uint8_t> marker = {kMetaStatus, meta_type::kMarker};
    marker.insert(marker.end(), text.begin(), text.end());
    Emit(tick, std::move(marker));
    for (int channel = 0; channel < 16; ++channel) {
        if (!channels_[static_cast<size_t>(channel)].sounding.empty()) {
            ChangeChordOnChannel(tick, channel, chord);
        }
    }
}

// The retrigger rules for the notes sounding on `channel` when the chord changes.
void Renderer::ChangeChordOnChannel(int64_t tick, int channel, const Chord& chord) {
    enum class Action { kKeep, kStop, kShift, kRetrigger };
    struct Plan {
        Action action = Action::kKeep;
        int target = 0;
    };
    ChannelState& state = channels_[static_cast<size_t>(channel)];
    std::vector<Plan> plans;
    for (const Sounding& held : state.sounding) {
        const PartRule& part = *held.part;
        const SourceNote& written = *playings_[held.playing].note;
        const int pitch = held.key + state.bend;
        Plan plan;
        if (!ChordPlays(part, chord)) {
            plan.action = Action::kStop;
        } else if (part.IsDrumPart()) {
            plan.action = Action::kKeep;
        } else {
            switch (part.retrigger) {
                case kRetriggerPitchShift:
                    plan = {Action::kShift, Target(part, written, chord)};
                    break;
                case kRetriggerPitchShiftToRoot:
                    plan = {Action::kShift, RootNear(part, pitch, chord)};
                    break;
                case kRetriggerRetrigger:
                    plan = {Action::kRetrigger, Target(part, written, chord)};
                    break;
                case kRetriggerRetriggerToRoot:
                    plan = {Action::kRetrigger, RootNear(part, pitch, chord)};
                    break;
                case kRetriggerNoteGenerator:
                    plan = {Action::kRetrigger,
                            ChordToneNear(part, Target(part, written, chord), chord)};
                    break;
                default:
                    plan.action = Action::kStop;
                    break;
            }
        }
        plans.push_back(plan);
    }

    // Stopped notes end first.
    for (size_t i = state.sounding.size(); i-- > 0;) {
        if (plans[i].action != Action::kStop) continue;
        NoteOff(tick, channel, state.sounding[i].key);
        Forget(channel, i);
        plans.erase(plans.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (state.sounding.empty()) {
        if (state.bend != 0) Bend(tick, channel, 0);
        return;
    }

    // A glide without a new attack: when every note left glides by the same interval, one pitch
    // bend moves them all.
    const int glide = plans.front().target - state.sounding.front().key;
    bool bendable = state.mayBend && std::abs(glide) <= kBendRangeSemitones;
    for (size_t i = 0; i < plans.size() && bendable; ++i) {
        bendable =
            plans[i].action == Action::kShift && plans[i].target - state.sounding[i].key == glide;
    }
    if (bendable) {
        if (glide != state.bend) Bend(tick, channel, glide);
        return;
    }

    // Otherwise each moving note is struck again at its new pitch (and on a bent channel every
    // note is, as the bend is released).
    const bool wasBent = state.bend != 0;
    std::vector<bool> strike(plans.size(), false);
    for (size_t i = 0; i < plans.size(); ++i) {
        const int pitch = state.sounding[i].key + state.bend;
        if (plans[i].action == Action::kKeep) plans[i].target = pitch;
        strike[i] = wasBent || plans[i].action == Action::kRetrigger ||
                    (plans[i].action == Action::kShift && plans[i].target != pitch);
    }
    for (size_t i = 0; i < plans.size(); ++i) {
        if (strike[i]) NoteOff(tick, channel, state.sounding[i].key);
    }
    if (wasBent) Bend(tick, channel, 0);
    std::vector<size_t> merged;  // notes that land on a key another note already holds
    for (size_t i = 0; i < plans.size(); ++i) {
        if (!strike[i]) continue;
        const int target = plans[i].target;
        bool taken = false;
        for (size_t j = 0; j < plans.size(); ++j) {
            if (j == i) continue;
            const bool holds = !strike[j] && state.sounding[j].key == target;
            const bool struck = strike[j] && j < i && plans[j].target == target &&
                                std::find(merged.begin(), merged.end(), j) == merged.end();
            taken = taken || holds || struck;
        }
        if (taken) {
            merged.push_back(i);
            continue;
        }
        NoteOn(tick, channel, target, state.sounding[i].velocity);
        state.sounding[i].key = target;
    }
    for (size_t k = merged.size(); k-- > 0;)
        Forget(channel, merged[k]);
}

void AppendMeta(std::vector<uint8_t>& track, int64_t delta, uint8_t type,
                const std::vector<uint8_t>& data) {
    AppendVariableLength(track, delta);
    track.push_back(kMetaStatus);
    track.push_back(type);
    AppendVariableLength(track, static_cast<int64_t>(data.size()));
    track.insert(track.end(), data.begin(), data.end());
}

}  // namespace

Rendering RenderSection(const PlayableStyle& style, const RenderRequest& request) {
    Rendering rendering;
    Renderer(style, request, rendering).Run();
    return rendering;
}

std::vector<uint8_t> WriteMidiFile(const Rendering& rendering) {
    std::vector<uint8_t> file = TypeZeroHeaders(static_cast<uint16_t>(rendering.division));
    const std::string name = "Zephrane play: " + rendering.sectionName;
    AppendMeta(file, 0, meta_type::kTrackName, std::vector<uint8_t>(name.begin(), name.end()));
    AppendMeta(file, 0, meta_type::kTempo,
               {static_cast<uint8_t>(rendering.tempo >> 16),
                static_cast<uint8_t>(rendering.tempo >> 8), static_cast<uint8_t>(rendering.tempo)});
    AppendMeta(file, 0, meta_type::kTimeSignature,
               {static_cast<uint8_t>(rendering.numerator),
                static_cast<uint8_t>(rendering.denominatorPower), 24, 8});
    int64_t now = 0;
    for (const MidiMessage& message : rendering.events) {
        const int64_t delta = message.tick - now;
        now = message.tick;
        if (message.IsMeta()) {
            AppendMeta(file, delta, message.bytes[1],
                       std::vector<uint8_t>(message.bytes.begin() + 2, message.bytes.end()));
        } else {
            AppendVariableLength(file, delta);
            file.insert(file.end(), message.bytes.begin(), message.bytes.end());
        }
    }
    AppendMeta(file, std::max<int64_t>(rendering.length - now, 0), meta_type::kEndOfTrack, {});
    ByteImage image(std::move(file));
    image.WriteU32BE(kTrackLengthPos, image.Size() - kFirstEventPos);
    return image.Bytes();
}

}  // namespace zephrane::player
