#include "style/prep_midi.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "song/numbers.h"
#include "song/text_codec.h"
#include "song/walker.h"

namespace zephrane {
namespace {

// Controllers a style keeps: bank select, modulation, volume, pan, expression, resonance,
// release, brightness and the reverb, chorus and variation sends. The first pass of style
// assembly with a new CASM also keeps data entry, sustain, sostenuto and soft pedal.
constexpr uint8_t kStyleControllers[] = {0, 1, 7, 10, 11, 32, 71, 72, 74, 91, 93, 94};
constexpr uint8_t kAssignedPartControllers[] = {0,  1,  6,  7,  10, 11, 32, 64,
                                                66, 67, 71, 72, 74, 91, 93, 94};

constexpr uint8_t kBankSelectMsb = 0;
constexpr uint8_t kBankSelectLsb = 32;
constexpr int kDrumChannel = 10;
constexpr uint8_t kDrumKitBankMsb = 127;  // XG: bank MSB 127 holds the drum kits
constexpr uint8_t kPanelVoiceBankLsb = 112;

constexpr std::string_view kKeptMarkerWords[] = {"Main", "Fill", "Intro", "Ending", "SInt", "SFF1"};
constexpr std::string_view kSectionWords[] = {"Main", "Intro", "Ending", "Fill"};

// XG parameter change for device 0: 43 (Yamaha) 10 (device 0) 4C (XG), then the address (high,
// mid, low) and the data.
constexpr uint8_t kXgParameterChange[] = {0x43, 0x10, 0x4C};
constexpr size_t kXgAddressHigh = 3;
constexpr size_t kXgAddressMid = 4;
constexpr size_t kXgAddressLow = 5;

// The effect block, address 02 01 xx.
constexpr uint8_t kEffectBlockHigh = 0x02;
constexpr uint8_t kEffectBlockMid = 0x01;
constexpr uint8_t kReverbType = 0x00;
constexpr uint8_t kReverbReturn = 0x0C;
constexpr uint8_t kChorusType = 0x20;
constexpr uint8_t kChorusReturn = 0x2C;
constexpr uint8_t kVariationType = 0x40;
constexpr uint8_t kVariationReturn = 0x56;
constexpr uint8_t kVariationPan = 0x57;
constexpr uint8_t kVariationToReverb = 0x58;
constexpr uint8_t kVariationToChorus = 0x59;
constexpr uint8_t kVariationConnection = 0x5A;
constexpr uint8_t kInsertionPart = 0x5B;
// The set-up block writes these from the effect settings, so the song's own are dropped.
constexpr uint8_t kSetUpEffectParameters[] = {
    kReverbType,        kReverbReturn,        kChorusType,   kChorusReturn,
    kVariationType,     kVariationReturn,     kVariationPan, kVariationToReverb,
    kVariationToChorus, kVariationConnection, kInsertionPart};

// Drum setup 1 and 2 (address 3n rr pp, rr the drum note): pitch, level, pan, the three sends,
// filter and envelope are kept; alternate group, key assign and note receive are not.
constexpr uint8_t kDrumSetupHighs[] = {0x30, 0x31};
constexpr uint8_t kKeptDrumParameters[] = {0x00, 0x01, 0x02, 0x04, 0x05, 0x06,
                                           0x07, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F};

// Set-up messages, each a SysEx with its length byte: the Yamaha message (43 73) a style's
// set-up measure carries, then the GM and XG resets.
constexpr uint8_t kYamahaStyleMessage[] = {0xF0, 0x08, 0x43, 0x73, 0x39,
                                           0x11, 0x00, 0x46, 0x00, 0xF7};
constexpr uint8_t kGmSystemOn[] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
constexpr uint8_t kXgSystemOn[] = {0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
// XG part mode (address 08 nn 07): 2 plays the part as drum setup 1, 3 as drum setup 2.
constexpr uint8_t kPartModeParameter = 0x07;
constexpr uint8_t kRhythmPartMode = 2;
constexpr uint8_t kSubRhythmPartMode = 3;

template <typename List, typename Value>
bool Holds(const List& list, Value value) {
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

bool ContainsAny(std::string_view text, std::span<const std::string_view> words) {
    return std::any_of(words.begin(), words.end(), [text](std::string_view word) {
        return text.find(word) != std::string_view::npos;
    });
}

bool IsKeptXgParameterChange(std::span<const uint8_t> data) {
    if (data.size() <= kXgAddressLow ||
        !std::equal(std::begin(kXgParameterChange), std::end(kXgParameterChange), data.begin())) {
        return false;
    }
    const uint8_t high = data[kXgAddressHigh];
    const uint8_t low = data[kXgAddressLow];
    if (high == kEffectBlockHigh) {
        return data[kXgAddressMid] == kEffectBlockMid && !Holds(kSetUpEffectParameters, low);
    }
    return Holds(kDrumSetupHighs, high) && Holds(kKeptDrumParameters, low);
}

// A number box of the effects dialog: a decimal number, a leading blank allowed; a text that is
// no number counts as 0.
int64_t NumberBoxValue(std::string_view text) {
    while (text.starts_with(' '))
        text.remove_prefix(1);
    int64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc::result_out_of_range) Fail(error_number::kOverflow);
    return error == std::errc() && stop == end ? value : 0;
}

uint8_t DataByte(int64_t value) {
    if (value < 0 || value > 255) Fail(error_number::kOverflow);
    return static_cast<uint8_t>(value);
}

class Preparation {
  public:
    Preparation(const PrepSource& source, const PrepTarget& target, PrepOption option)
        : source_(source), target_(target), option_(option) {}
    void Run();

  private:
    void FindMarkerPositions();
    void Step(const TrackEvent& event);
    bool Keeps(const TrackEvent& event);
    bool KeepsMeta(const TrackEvent& event);
    bool KeepsMarker(std::string_view text) const;
    bool KeepsChannelMessage(const TrackEvent& event) const;
    bool TakesPart(int channel) const;
    bool UsesDrumKitBank(int channel) const;
    bool NeedsBankSelects(const TrackEvent& event) const;
    int PartOf(int channel) const { return source_.casm.at(channel - 1).part; }

    void WriteBankSelects(int channel);
    void WriteEvent(const TrackEvent& event);
    void WriteChannelMessage(const TrackEvent& event, int64_t delta);
    void WriteSetUpBlock();
    void WriteChannelAssignments();
    void WriteAssignmentText(int channel, int part);
    void WriteEffectSettings();
    void WriteVariationSettings();
    void WriteEffectType(uint8_t parameter, int code);
    void WriteEffectValue(uint8_t parameter, int64_t value);
    void WriteEffectText(uint8_t parameter, const std::string& text);
    void WriteSetUpMessage(std::span<const uint8_t> message);
    void WriteDelta(int64_t delta);
    // Appends at the write position; one event at a time, so inline.
    [[gnu::always_inline]] void Write(std::span<const uint8_t> bytes) {
        const int64_t end = target_.writePos + static_cast<int64_t>(bytes.size());
        if (end > target_.output.Size()) target_.output.Resize(end);
        target_.output.Write(target_.writePos, bytes);
        target_.writePos = end;
    }
    void CopySong(int64_t first, int64_t last) {
        Write(source_.song.bytes.Span(first, last - first + 1));
    }

    const PrepSource& source_;
    const PrepTarget& target_;
    PrepOption option_;
    int32_t sintPos_ = 0;
    int32_t firstSectionPos_ = 0;
    int64_t carriedDelta_ = 0;
    bool tempoWritten_ = false;
    bool timeSignatureWritten_ = false;
};

void Preparation::Run() {
    FindMarkerPositions();
    target_.output = ByteImage();
    target_.output.Resize(source_.song.bytes.Size());
    target_.writePos = 0;
    target_.setupTime = 0;
    CopySong(0, kTrackHeaderLastPos);
    TrackWalker walker(source_.song.bytes, target_.walk);
    while (!walker.AtEnd())
        Step(walker.Next());
    target_.output.WriteU32BE(kTrackLengthPos, target_.writePos - kFirstEventPos);
    target_.output.Resize(target_.writePos);
}

void Preparation::FindMarkerPositions() {
    for (int i = 0; i < source_.markers.count; ++i) {
        const Marker& marker = source_.markers.entries.at(i);
        if (sintPos_ == 0 && marker.text == "SInt") sintPos_ = marker.position;
        if (firstSectionPos_ == 0 && ContainsAny(marker.text, kSectionWords)) {
            firstSectionPos_ = marker.position;
        }
    }
}

// A dropped event leaves its delta time to the next kept one, so the music does not move.
void Preparation::Step(const TrackEvent& event) {
    const int64_t delta = target_.walk.deltaTime + carriedDelta_;
    if (!Keeps(event)) {
        carriedDelta_ = delta;
        return;
    }
    carriedDelta_ = 0;
    if (event.firstDeltaPos < source_.facts.musicStartPos) target_.setupTime += delta;
    if (event.IsChannelMessage() && !NeedsBankSelects(event)) {
        WriteChannelMessage(event, delta);
        return;
    }
    WriteDelta(delta);
    if (NeedsBankSelects(event)) WriteBankSelects(event.Channel());
    WriteEvent(event);
    if (event.IsMeta() && event.metaType == meta_type::kMarker && event.firstDeltaPos == sintPos_) {
        WriteSetUpBlock();
    }
}

bool Preparation::Keeps(const TrackEvent& event) {
    if (event.IsMeta()) return KeepsMeta(event);
    if (event.status == kSysExStatus) {
        return IsKeptXgParameterChange(source_.song.bytes.Span(event.dataPos, event.dataLength));
    }
    if (event.IsChannelMessage()) return KeepsChannelMessage(event);
    return false;  // F7 escapes and stray system bytes
}

bool Preparation::KeepsMeta(const TrackEvent& event) {
    switch (event.metaType) {
        case meta_type::kCopyright:
        case meta_type::kTrackName:
        case meta_type::kInstrumentName:
        case meta_type::kKeySignature:
        case meta_type::kEndOfTrack:
            return true;
        case meta_type::kMarker:
            return KeepsMarker(target_.walk.metaText);
        case meta_type::kTempo:
            return !std::exchange(tempoWritten_, true) || source_.settings.multipleTempos;
        case meta_type::kTimeSignature:
            return !std::exchange(timeSignatureWritten_, true);
        default:  // texts, lyrics, cue points, sequencer data and types without a rule
            return false;
    }
}

bool Preparation::KeepsMarker(std::string_view text) const {
    if (option_ == PrepOption::NoSpecialMarkers && text.find_first_of("<>") != text.npos) {
        return false;
    }
    return ContainsAny(text, kKeptMarkerWords);
}

bool Preparation::KeepsChannelMessage(const TrackEvent& event) const {
    if (!TakesPart(event.Channel())) return false;
    switch (event.Kind()) {
        case message_kind::kNoteOff:
        case message_kind::kNoteOn:
        case message_kind::kPitchBend:
            // A BB song's lead-in before its first section is not part of the style.
            return !(source_.song.bbMode && event.firstDeltaPos < firstSectionPos_);
        case message_kind::kProgramChange:
            return true;
        case message_kind::kController: {
            const uint8_t controller = source_.song.bytes.At(event.dataPos);
            return option_ == PrepOption::AssignedOnly ? Holds(kAssignedPartControllers, controller)
                                                       : Holds(kStyleControllers, controller);
        }
        default:  // polyphonic and channel pressure
            return false;
    }
}

bool Preparation::TakesPart(int channel) const {
    if (option_ != PrepOption::AssignedOnly) return true;
    const int part = PartOf(channel);
    return part >= 0 && part <= kLastAccompanimentPart;
}

// Under "assigned only" the rhythm parts, wherever they sit, take the drum kits that channel 10
// takes otherwise.
bool Preparation::UsesDrumKitBank(int channel) const {
    if (option_ != PrepOption::AssignedOnly) return channel == kDrumChannel;
    const int part = PartOf(channel);
    return part == kSubRhythmPart || part == kRhythmPart;
}

// A MIDI file that sets no bank on a channel leaves its voice to the instrument's current bank.
bool Preparation::NeedsBankSelects(const TrackEvent& event) const {
    return event.IsChannelMessage() && event.Kind() == message_kind::kProgramChange &&
           source_.song.isMidiFile && source_.channels.at(event.Channel() - 1).bankLsb == -1;
}

void Preparation::WriteBankSelects(int channel) {
    const uint8_t status = ChannelStatus(message_kind::kController, channel - 1);
    const bool drumKits = UsesDrumKitBank(channel);
    const bool panelVoice = !drumKits && channel != kDrumChannel && source_.settings.panelVoices;
    const uint8_t msb = drumKits ? kDrumKitBankMsb : 0;
    const uint8_t lsb = panelVoice ? kPanelVoiceBankLsb : 0;
    // The program change's own delta is already written: the three events sound together.
    const uint8_t bytes[] = {status, kBankSelectMsb, msb, 0x00, status, kBankSelectLsb, lsb, 0x00};
    Write(bytes);
}

// Copied from its status byte to its end; a channel event that relied on running status gets
// its status byte back, so the prepared track never uses running status.
// Most kept events: delta time, status and data bytes in one write, the bytes WriteDelta and
// WriteEvent give.
void Preparation::WriteChannelMessage(const TrackEvent& event, int64_t delta) {
    const VariableLengthBytes deltaBytes = EncodeVariableLength(delta);
    const std::span<const uint8_t> data = source_.song.bytes.Span(event.dataPos, event.dataLength);
    uint8_t bytes[sizeof deltaBytes.bytes + 1 + 2];
    size_t count = 0;
    for (uint8_t byte : deltaBytes.Span())
        bytes[count++] = byte;
    bytes[count++] = event.status;
    for (uint8_t byte : data)
        bytes[count++] = byte;
    Write({bytes, count});
}

void Preparation::WriteEvent(const TrackEvent& event) {
    const uint8_t status[] = {event.status};
    Write(status);
    CopySong(event.IsChannelMessage() ? int64_t{event.dataPos} : int64_t{event.statusPos} + 1,
             event.lastPos);
}

void Preparation::WriteSetUpBlock() {
    WriteChannelAssignments();
    WriteSetUpMessage(kYamahaStyleMessage);
    WriteSetUpMessage(kGmSystemOn);
    if (source_.settings.xgSystemOn) WriteSetUpMessage(kXgSystemOn);
    WriteEffectSettings();
}

void Preparation::WriteChannelAssignments() {
    for (int channel = 1; channel <= 16; ++channel) {
        const int part = PartOf(channel);
        if (part < 0 || part == kMuteLockPart) continue;
        if (option_ == PrepOption::AllChannels) WriteAssignmentText(channel, part);
        if (part != kSubRhythmPart && part != kRhythmPart) continue;
        const uint8_t mode = part == kRhythmPart ? kRhythmPartMode : kSubRhythmPartMode;
        const uint8_t partMode[] = {0xF0,
                                    0x08,
                                    0x43,
                                    0x10,
                                    0x4C,
                                    0x08,
                                    static_cast<uint8_t>(channel - 1),
                                    kPartModeParameter,
                                    mode,
                                    0xF7};
        WriteSetUpMessage(partMode);
    }
}

void Preparation::WriteAssignmentText(int channel, int part) {
    const std::vector<uint8_t> text = EncodeAnsi(
        "Channel " + BlankSigned(channel) + " assigned to " + std::string(kPartList.at(part).text));
    const uint8_t head[] = {kMetaStatus, meta_type::kText};
    WriteDelta(0);
    Write(head);
    const VariableLengthBytes length = EncodeVariableLength(static_cast<int64_t>(text.size()));
    Write(length.Span());
    Write(text);
}

// An effect field that holds no value sends nothing: the instrument keeps its own default.
void Preparation::WriteEffectSettings() {
    const EffectSettings& effects = source_.effects;
    if (effects.reverb >= 0) {
        WriteEffectType(kReverbType, EffectCode(source_.effectLists.reverb, effects.reverb));
    }
    WriteEffectText(kReverbReturn, effects.reverbReturn);
    if (effects.chorus >= 0) {
        WriteEffectType(kChorusType, EffectCode(source_.effectLists.chorus, effects.chorus));
    }
    WriteEffectText(kChorusReturn, effects.chorusReturn);
    if (effects.variation >= 0) WriteVariationSettings();
}

// The variation levels are System-connection parameters; an insertion effect has its part.
void Preparation::WriteVariationSettings() {
    const EffectSettings& effects = source_.effects;
    const bool system = effects.connection == VariationConnection::System;
    WriteEffectValue(kVariationConnection, system ? 1 : 0);
    if (!system && !effects.insertionPart.empty()) {
        WriteEffectValue(kInsertionPart, NumberBoxValue(effects.insertionPart) - 1);
    }
    WriteEffectType(kVariationType, EffectCode(source_.effectLists.Variation(effects.connection),
                                               effects.variation));
    if (!system) return;
    WriteEffectText(kVariationReturn, effects.variationReturn);
    WriteEffectText(kVariationPan, effects.pan);
    WriteEffectText(kVariationToReverb, effects.sendToReverb);
    WriteEffectText(kVariationToChorus, effects.sendToChorus);
}

// A type's two data bytes are its list code's hundreds and the rest (code 116 is 01 10).
void Preparation::WriteEffectType(uint8_t parameter, int code) {
    const int msb = code / 100;
    const uint8_t message[] = {0xF0, 0x09, 0x43,      0x10,          0x4C,
                               0x02, 0x01, parameter, DataByte(msb), DataByte(code - 100 * msb),
                               0xF7};
    WriteSetUpMessage(message);
}

void Preparation::WriteEffectValue(uint8_t parameter, int64_t value) {
    const uint8_t message[] = {0xF0, 0x08, 0x43, 0x10, 0x4C, 0x02, 0x01, parameter, DataByte(value),
                               0xF7};
    WriteSetUpMessage(message);
}

void Preparation::WriteEffectText(uint8_t parameter, const std::string& text) {
    if (!text.empty()) WriteEffectValue(parameter, NumberBoxValue(text));
}

// Every set-up message sounds at the "SInt" marker: delta time 0.
void Preparation::WriteSetUpMessage(std::span<const uint8_t> message) {
    WriteDelta(0);
    Write(message);
}

void Preparation::WriteDelta(int64_t delta) {
    const VariableLengthBytes bytes = EncodeVariableLength(delta);
    Write(bytes.Span());
}

}  // namespace

void PrepareSong(const PrepSource& source, const PrepTarget& target, PrepOption option) {
    Preparation(source, target, option).Run();
}

}  // namespace zephrane
