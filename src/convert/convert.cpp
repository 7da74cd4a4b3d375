#include "convert/convert.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "convert/part_notes.h"
#include "player/chords.h"
#include "player/player_error.h"
#include "sections/sections.h"
#include "song/numbers.h"

namespace zephrane {
namespace {

// Chord types "min" (8) to "dim7" (18) have a minor third.
constexpr int kFirstMinorChord = 8;
constexpr int kLastMinorChord = 18;

constexpr int kOctave = 12;
constexpr int kMinorThird = 3;
constexpr int kMajorThird = 4;
constexpr int kMajorSeventh = 11;

// What a Ctab record says after the conversion: written over C maj7.
constexpr uint8_t kSourceRootC = 0;
constexpr uint8_t kSourceChordMaj7 = 2;

enum class SectionKind { None, IntroOrEnding, MainOrFill };

SectionKind KindOfSection(std::string_view name) {
    const std::string_view head = name.substr(0, 4);
    if (head == "Intr" || head == "Endi") return SectionKind::IntroOrEnding;
    if (head == "Main" || head == "Fill") return SectionKind::MainOrFill;
    return SectionKind::None;
}

bool IsSectionName(std::string_view text) {
    return std::any_of(kSectionTable.begin(), kSectionTable.end(),
                       [text](const SectionRow& row) { return row.name == text; });
}

int16_t SnapshotPart(int partPosition) {
    if (partPosition < 0 || partPosition == kMuteLockPart) return 0;
    return CheckedInt16(kPartList.at(partPosition).code + 1);
}

// The note a source note became, and the major seventh added above it.
struct ConvertedNote {
    uint8_t note = 0;
    std::optional<uint8_t> addedSeventh;
};

// One walk over the prepared song, copying it into the output image with its notes converted.
class Conversion {
  public:
    Conversion(const ByteImage& song, WalkState& walk, ByteImage& output,
               const ConversionRules& rules)
        : song_(song), walk_(walk), output_(output), rules_(rules) {}
    int64_t Run();

  private:
    void Step(const TrackEvent& event);
    void OnMarker(std::string_view text);
    void OpenSection(std::string_view name);
    void CloseSection(std::string_view name);

    void StepChannelMessage(const TrackEvent& event);
    void StepNote(const TrackEvent& event, bool withStatus);
    ConvertedNote NoteStarted(int channel, uint8_t source);
    ConvertedNote NoteEnded(int channel, uint8_t source);
    ConvertedNote ByRulesInForce(int channel, uint8_t source) const;
    int TargetPitchClass(int channel, int pitchClass) const;
    bool TakesSeventh(int targetPitchClass) const;
    SectionKind CurrentSection() const { return KindOfSection(sections_.back()); }
    std::span<const std::string> OpenSections() const {
        return std::span(sections_).subspan(1);  // after "None"
    }

    void WriteNote(const TrackEvent& event, bool withStatus, uint8_t note, uint8_t velocity);
    void Write(std::span<const uint8_t> bytes);
    void Copy(int64_t first, int64_t last);

    const ByteImage& song_;
    WalkState& walk_;
    ByteImage& output_;
    const ConversionRules& rules_;
    std::vector<std::string> sections_{"None"};  // the current section is the last one
    // Per channel and source note, the conversions of the note-ons still sounding, oldest first.
    std::map<std::pair<int, uint8_t>, std::deque<ConvertedNote>> sounding_;
    bool afterChannelMessage_ = false;  // the last event copied is a channel message
    int64_t w_ = 0;
};

int64_t Conversion::Run() {
    output_ = ByteImage();
    output_.Resize(song_.Size());
    Copy(0, kTrackHeaderLastPos);
    TrackWalker walker(song_, walk_);
    while (!walker.AtEnd())
        Step(walker.Next());
    output_.WriteU32BE(kTrackLengthPos, w_ - kFirstEventPos);
    output_.Resize(w_);
    return w_;
}

// Every event is copied as it stands except the notes of melodic channels.
void Conversion::Step(const TrackEvent& event) {
    Copy(event.firstDeltaPos, event.lastDeltaPos);
    if (event.IsChannelMessage()) {
        StepChannelMessage(event);
        return;
    }
    afterChannelMessage_ = false;
    Copy(event.statusPos, event.lastPos);
    if (event.IsMeta() && event.metaType == meta_type::kMarker) OnMarker(walk_.metaText);
}

// A channel message under running status stays without its status byte while it follows
// another channel message; after a meta or system-exclusive event it gets it back, since strict
// readers take no running status over those.
void Conversion::StepChannelMessage(const TrackEvent& event) {
    const bool withStatus = !event.runningStatus || !afterChannelMessage_;
    afterChannelMessage_ = true;
    if (event.Kind() == message_kind::kNoteOn || event.Kind() == message_kind::kNoteOff) {
        StepNote(event, withStatus);
        return;
    }
    if (withStatus) {
        const uint8_t status[] = {event.status};
        Write(status);
    }
    Copy(event.dataPos, event.lastPos);
}

// ">Main A" and "<Main A" open and close a section of the working file; a style's own markers
// ("Main A") each open the next section. A failure to take the settings has been reported: it
// ends the conversion without a report of its own.
void Conversion::OnMarker(std::string_view text) {
    const std::string_view named = text.empty() ? text : text.substr(1);
    bool taken = true;
    if (text.starts_with('>') && IsSectionName(named)) {
        OpenSection(named);
        taken = rules_.sections.TakeTableRules(OpenSections());
    } else if (text.starts_with('<') && IsSectionName(named)) {
        CloseSection(named);
        taken = rules_.sections.TakeTableRules(OpenSections());
    } else if (IsSectionName(text)) {
        OpenSection(text);
        taken = rules_.sections.TakeSectionRules(text);
    }
    if (!taken) Fail(error_number::kSilent);
}

void Conversion::OpenSection(std::string_view name) {
    if (std::find(sections_.begin(), sections_.end(), name) != sections_.end()) {
        Fail(error_number::kInvalidProcedureCall);
    }
    sections_.emplace_back(name);
}

void Conversion::CloseSection(std::string_view name) {
    const auto open = std::find(sections_.begin(), sections_.end(), name);
    if (open == sections_.end()) Fail(error_number::kInvalidProcedureCall);
    sections_.erase(open);
}

// A note-off (or a note-on of velocity 0) ends on the pitch its note-on was given, so that no
// note hangs when the rules change between the two.
void Conversion::StepNote(const TrackEvent& event, bool withStatus) {
    const int channel = event.Channel();
    const uint8_t source = song_.At(event.dataPos);
    const uint8_t velocity = song_.At(int64_t{event.dataPos} + 1);
    const bool starts = event.Kind() == message_kind::kNoteOn && velocity > 0;
    const ConvertedNote converted =
        starts ? NoteStarted(channel, source) : NoteEnded(channel, source);
    WriteNote(event, withStatus, converted.note, velocity);
    if (converted.addedSeventh) {
        const uint8_t sameTime[] = {0x00};
        Write(sameTime);
        WriteNote(event, withStatus, *converted.addedSeventh, velocity);
    }
}

ConvertedNote Conversion::NoteStarted(int channel, uint8_t source) {
    const ConvertedNote converted = ByRulesInForce(channel, source);
    sounding_[{channel, source}].push_back(converted);
    return converted;
}

ConvertedNote Conversion::NoteEnded(int channel, uint8_t source) {
    const auto found = sounding_.find({channel, source});
    if (found == sounding_.end() || found->second.empty()) return ByRulesInForce(channel, source);
    const ConvertedNote converted = found->second.front();
    found->second.pop_front();
    return converted;
}

// The note moves down by the channel's source key into C, then onto the notes its part may use.
ConvertedNote Conversion::ByRulesInForce(int channel, uint8_t source) const {
    const CasmSnapshot& snapshot = rules_.snapshot;
    if (IsRhythmPart(snapshot.part.at(channel))) return {source, std::nullopt};
    const int moved = source - snapshot.sourceKey.at(channel);
    const int pitchClass = ((moved % kOctave) + kOctave) % kOctave;
    const int octaveBase = moved - pitchClass;
    const int target = TargetPitchClass(channel, pitchClass);
    if (!TakesSeventh(target)) return {InMidiRange(octaveBase + target), std::nullopt};
    if (rules_.seventhAddsB) {
        return {InMidiRange(octaveBase + target), InMidiRange(octaveBase + kMajorSeventh)};
    }
    return {InMidiRange(octaveBase + target - 1), std::nullopt};  // the root becomes the B below
}

int Conversion::TargetPitchClass(int channel, int pitchClass) const {
    const CasmSnapshot& snapshot = rules_.snapshot;
    switch (CurrentSection()) {
        case SectionKind::IntroOrEnding: {
            // Intros and endings of a minor phrase are played over a major chord: the minor
            // third becomes the major third.
            const int chord = snapshot.sourceChord.at(channel);
            const bool minor = chord >= kFirstMinorChord && chord <= kLastMinorChord;
            return minor && pitchClass == kMinorThird ? kMajorThird : pitchClass;
        }
        case SectionKind::MainOrFill:
            return PartPitchClass(snapshot.part.at(channel), pitchClass);
        case SectionKind::None:
            break;
    }
    return pitchClass;
}

bool Conversion::TakesSeventh(int targetPitchClass) const {
    return rules_.item == ConvertItem::Sevenths && CurrentSection() != SectionKind::None &&
           targetPitchClass == 0;
}

// The added seventh repeats its note's status byte, or goes without it as its note does.
void Conversion::WriteNote(const TrackEvent& event, bool withStatus, uint8_t note,
                           uint8_t velocity) {
    if (withStatus) {
        const uint8_t status[] = {event.status};
        Write(status);
    }
    const uint8_t data[] = {note, velocity};
    Write(data);
}

void Conversion::Write(std::span<const uint8_t> bytes) {
    const int64_t end = w_ + static_cast<int64_t>(bytes.size());
    if (end > output_.Size()) output_.Resize(end);
    output_.Write(w_, bytes);
    w_ = end;
}

void Conversion::Copy(int64_t first, int64_t last) {
    Write(song_.Span(first, last - first + 1));
}

}  // namespace

int64_t ConvertSong(const ByteImage& song, WalkState& walk, ByteImage& output,
                    const ConversionRules& rules) {
    return Conversion(song, walk, output, rules).Run();
}

void TakeTableSnapshot(const CasmTable& table, CasmSnapshot& snapshot) {
    for (int channel = 1; channel <= 16; ++channel) {
        const CasmRow& row = table.at(channel - 1);
        snapshot.part.at(channel) = SnapshotPart(row.part);
        // Key-list positions are the pitch classes from C, chord-list positions the types.
        snapshot.sourceKey.at(channel) = CheckedInt16(std::max(row.sourceKey, 0));
        snapshot.sourceChord.at(channel) = CheckedInt16(std::max(row.sourceChord, 0));
    }
}

void TakeChordSnapshot(std::string_view chordName, CasmSnapshot& snapshot) {
    player::Chord chord;
    try {
        chord = player::ParseChord(chordName);
    } catch (const player::PlayerError&) {
        Fail(error_number::kInvalidProcedureCall);
    }
    if (chord.noChord) return;
    for (size_t channel = 1; channel < snapshot.part.size(); ++channel) {
        if (!FollowsTheChord(snapshot.part[channel])) continue;
        snapshot.sourceKey[channel] = static_cast<int16_t>(chord.root);
        snapshot.sourceChord[channel] = static_cast<int16_t>(chord.type);
    }
}

void MarkRecordsConverted(ByteImage& styleCasm, std::span<const int32_t> sourceRoots) {
    for (const int32_t sourceRoot : sourceRoots) {
        styleCasm.Set(sourceRoot, kSourceRootC);
        styleCasm.Set(int64_t{sourceRoot} + 1, kSourceChordMaj7);
    }
}

void ResetKeySignature(ByteImage& song) {
    std::optional<int32_t> sharpsFlatsPos;
    WalkState walk;
    TrackWalker walker(song, walk);
    while (!walker.AtEnd()) {
        const TrackEvent& event = walker.Next();
        if (event.IsMeta() && event.metaType == meta_type::kKeySignature && event.dataLength >= 2) {
            sharpsFlatsPos = event.dataPos;
        }
    }
    if (!sharpsFlatsPos) return;
    song.Set(*sharpsFlatsPos, 0);      // no sharps or flats
    song.Set(*sharpsFlatsPos + 1, 0);  // major
}

}  // namespace zephrane
