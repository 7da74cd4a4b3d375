#include "analysis/scan_song.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/voice_names.h"
#include "effects/xg_import.h"
#include "song/numbers.h"
#include "song/walker.h"

namespace zephrane {
namespace {

bool IsSetUpMarker(std::string_view text) {
    return text == "SFF1" || text == "SInt";
}

// A Standard MIDI File is in 4/4 until a time-signature event says otherwise.
constexpr int kDefaultNumerator = 4;
constexpr int kDefaultDenominator = 4;

// The division's top byte: 80 or more counts SMPTE frames instead of ticks per quarter note.
bool HasSmpteDivision(const ByteImage& bytes) {
    return bytes.At(kDivisionPos) >= 0x80;
}

// A key signature's sharps (1..7) or flats (-1..-7) as stored in its signed byte.
int SignedSharpsFlats(uint8_t byte) {
    return byte <= 127 ? byte : byte - 256;
}

class InfoScan {
  public:
    InfoScan(const ByteImage& song, ScanResults results, EffectSettings& effects, bool importXg)
        : song_(song),
          s_(results),
          effects_(effects),
          walker_(song, results.walk),
          importXg_(importXg) {}

    void Run();

  private:
    void Reset();
    // The two steps of every event are defined here, to be inlined into the loop; their rare
    // branches are functions of their own.
    // RecordMeasure and OnChannelMessage for a channel message that starts no measure still to
    // be recorded and that at most marks its channel as playing notes (once the music start is
    // known); false, with nothing done, for any other.
    [[gnu::always_inline]] bool OnQuietChannelMessage(const TrackEvent& event) {
        if (event.absoluteTime >= quietUntil_) return false;
        switch (event.Kind()) {
            case message_kind::kNoteOn:
                if (s_.facts.musicStartPos == 0) return false;
                s_.channels[ChannelIndexOf(event.status)].hasNotes = true;
                return true;
            case message_kind::kController:
                return s_.channels[ChannelIndexOf(event.status)].programChangeCount != 0;
            case message_kind::kProgramChange:
                return false;
            default:
                return true;
        }
    }
    [[gnu::always_inline]] void RecordMeasure(const TrackEvent& event) {
        // Before `quietUntil_` no event can start a measure still to be recorded.
        if (event.absoluteTime < quietUntil_) return;
        RecordMeasureAt(event, event.runningStatus ? event.status : uint8_t{0});
    }
    [[gnu::always_inline]] void OnChannelMessage(const TrackEvent& event) {
        ChannelInfo& channel = s_.channels[ChannelIndexOf(event.status)];  // the channel's row
        switch (event.Kind()) {
            case message_kind::kNoteOn:
                channel.hasNotes = true;
                if (s_.facts.musicStartPos == 0) s_.facts.musicStartPos = event.firstDeltaPos;
                break;
            case message_kind::kController:
                // Bank selects count only before the channel's first program change.
                if (channel.programChangeCount != 0) break;
                if (DataByte(event, 0) == 0) channel.bankMsb = DataByte(event, 1);
                if (DataByte(event, 0) == 32) channel.bankLsb = DataByte(event, 1);
                break;
            case message_kind::kProgramChange:
                OnProgramChange(event.Channel(), DataByte(event, 0));
                break;
            default:
                break;
        }
    }
    void RecordMeasureAt(const TrackEvent& event, uint8_t runningStatus);
    void OnProgramChange(int midiChannel, int program);
    void OnMeta(const TrackEvent& event);
    void OnTimeSignature(const TrackEvent& event);
    void OnKeySignature(const TrackEvent& event);
    void AppendMarker(const TrackEvent& event);
    void OnSysEx(const TrackEvent& event);
    uint8_t DataByte(const TrackEvent& event, int index) const {
        return song_.At(int64_t{event.dataPos} + index);
    }

    const ByteImage& song_;
    ScanResults s_;
    EffectSettings& effects_;
    TrackWalker walker_;
    bool importXg_;
    int nextMeasure_ = 1;
    // The time from which an event may start measure `nextMeasure_` under the measure length
    // in force; 0 (look again) whenever the measure length changes.
    int64_t quietUntil_ = 0;
    std::string keyName_;
};

void InfoScan::Run() {
    Reset();
    while (!walker_.AtEnd()) {
        // Most events are channel messages with a one-byte delta time that change nothing but a
        // note flag: the fast lane. It leaves the first event with more to do to Next.
        walker_.StepCommonEvents(
            [this](const TrackEvent& event) { return OnQuietChannelMessage(event); });
        if (walker_.AtEnd()) break;
        const TrackEvent& event = walker_.Next();
        RecordMeasure(event);
        if (event.IsMeta()) {
            OnMeta(event);
        } else if (event.IsChannelMessage()) {
            OnChannelMessage(event);
        } else if (event.status == kSysExStatus && importXg_) {
            OnSysEx(event);
        }
    }
    int16_t last = 0;
    for (int m = s_.measures.LastIndex(); m > 0; --m) {
        if (s_.measures.entries[m].position != 0) {
            last = CheckedInt16(m);
            break;
        }
    }
    s_.facts.measureCount = last;
    s_.facts.scanEndPos = s_.walk.walkPos;
}

void InfoScan::Reset() {
    // Measures in SMPTE time have no length in ticks.
    const ByteImage& bytes = song_;
    s_.facts.ticksPerMeasure =
        HasSmpteDivision(bytes) ? 0 : MeasureLength(bytes, kDefaultNumerator, kDefaultDenominator);
    for (ChannelInfo& channel : s_.channels)
        channel.programChangeCount = 0;
    s_.facts.musicStartPos = 0;
    s_.markers.count = 0;
    for (MeasureEntry& entry : s_.measures.entries)
        entry.position = 0;
    s_.measures.entries[0] = {kFirstEventPos, 0, kFirstEventPos, 0};
    s_.facts.lastTextEventPos = 0;
}

void InfoScan::RecordMeasureAt(const TrackEvent& event, uint8_t runningStatus) {
    const int64_t time = event.absoluteTime;
    const double ticksPerMeasure = s_.facts.ticksPerMeasure;
    if (ticksPerMeasure <= 0) {  // no measure length yet: no measures
        quietUntil_ = std::numeric_limits<int64_t>::max();
        return;
    }
    const double measure = MeasureOfTime(time, ticksPerMeasure);
    // Measure numbers never decrease, and one below the next to record fits in 16 bits.
    if (measure >= nextMeasure_) {
        // Measure numbers are 16-bit: a song of more measures than that is beyond the model.
        const int m = CheckedInt16(measure);
        if (m > s_.measures.LastIndex()) s_.measures.entries.resize(static_cast<size_t>(m) + 51);
        s_.measures.entries[m] = {event.lastDeltaPos, runningStatus, event.firstDeltaPos,
                                  static_cast<int32_t>(time)};
        nextMeasure_ = m + 1;
    }
    quietUntil_ = FirstTimeOfMeasure(nextMeasure_, ticksPerMeasure);
}

void InfoScan::OnMeta(const TrackEvent& event) {
    SongFacts& facts = s_.facts;
    if (WalkKeepsText(event.metaType)) facts.lastTextEventPos = event.firstDeltaPos;
    switch (event.metaType) {
        case meta_type::kMarker:
            AppendMarker(event);
            break;
        case meta_type::kCopyright:
            facts.copyright = s_.walk.metaText;
            facts.copyrightPos = event.dataPos;
            facts.copyrightLength = CheckedInt16(event.dataLength);
            break;
        case meta_type::kTrackName:
            facts.styleName = s_.walk.metaText;
            facts.styleNamePos = event.dataPos;
            facts.styleNameLength = CheckedInt16(event.dataLength);
            break;
        case meta_type::kTempo:
            if (event.dataLength >= 3) {
                const int64_t microseconds = (int64_t{DataByte(event, 0)} << 16) |
                                             (DataByte(event, 1) << 8) | DataByte(event, 2);
                if (microseconds == 0) Fail(error_number::kDivisionByZero);
                facts.tempoBpm = CheckedInt16(60000000.0 / static_cast<double>(microseconds));
            }
            break;
        case meta_type::kTimeSignature:
            OnTimeSignature(event);
            break;
        case meta_type::kKeySignature:
            OnKeySignature(event);
            break;
        case meta_type::kEndOfTrack:
            facts.endOfTrackPos = event.lastDeltaPos;
            break;
        default:
            break;
    }
}

void InfoScan::OnTimeSignature(const TrackEvent& event) {
    if (event.dataLength < 2) return;
    const int power = DataByte(event, 1);
    s_.facts.timeSigNumerator = DataByte(event, 0);
    s_.facts.timeSigDenominator = CheckedInt16(std::ldexp(1.0, power));
    s_.facts.ticksPerMeasure =
        MeasureLength(song_, s_.facts.timeSigNumerator, s_.facts.timeSigDenominator);
    quietUntil_ = 0;
}

void InfoScan::OnKeySignature(const TrackEvent& event) {
    if (event.dataLength < 2) return;
    s_.facts.keySignaturePos = event.dataPos;
    const std::string name = KeyName(DataByte(event, 0), DataByte(event, 1));
    if (!name.empty()) keyName_ = name;
    s_.facts.modeWord = ModeWord(DataByte(event, 1));
    s_.facts.keyText = keyName_ + s_.facts.modeWord;
}

void InfoScan::AppendMarker(const TrackEvent& event) {
    MarkerList& markers = s_.markers;
    if (markers.count >= static_cast<int>(markers.entries.size())) {
        markers.entries.resize(markers.entries.size() + 10);
    }
    markers.entries[markers.count++] = {s_.walk.metaText, event.firstDeltaPos,
                                        static_cast<int32_t>(event.absoluteTime)};
    if (!IsSetUpMarker(s_.walk.metaText) && s_.facts.musicStartPos == 0) {
        s_.facts.musicStartPos = event.firstDeltaPos;
    }
}

void InfoScan::OnSysEx(const TrackEvent& event) {
    const std::span<const uint8_t> data = song_.Span(event.dataPos, event.dataLength);
    // The hex text starts "43 10 4C" exactly when the data does: only those are written out.
    static constexpr uint8_t kXgParameterChange[] = {0x43, 0x10, 0x4C};
    if (data.size() < 3 || !std::equal(data.begin(), data.begin() + 3, kXgParameterChange)) return;
    const std::string text = SysExHexText(data);
    if (text.starts_with("43 10 4C")) ImportXgMessage(effects_, text);
}

void InfoScan::OnProgramChange(int midiChannel, int program) {
    ChannelInfo& channel = s_.channels.at(midiChannel - 1);
    if (channel.programChangeCount == 0) channel.firstProgram = CheckedInt16(program);
    channel.programChangeCount = CheckedInt16(channel.programChangeCount + 1);
    BuildVoiceLabel({midiChannel, channel.bankMsb, channel.bankLsb, channel.firstProgram,
                     channel.programChangeCount, program},
                    channel.voiceLabel);
}

}  // namespace

double MeasureLength(const ByteImage& song, int numerator, int denominator) {
    if (HasSmpteDivision(song)) Fail(error_number::kOverflow);
    const int division = song.ReadU16BE(kDivisionPos);
    return (static_cast<double>(numerator) / denominator) / 0.25 * division;
}

double MeasureOfTime(int64_t time, double ticksPerMeasure) {
    return std::floor(static_cast<double>(time) / ticksPerMeasure);
}

// The measure of a time never decreases as the time grows, so the estimate is moved to the exact
// boundary of MeasureOfTime.
int64_t FirstTimeOfMeasure(int measure, double ticksPerMeasure) {
    auto time = static_cast<int64_t>(std::ceil(measure * ticksPerMeasure));
    time = std::max<int64_t>(time, 0);
    while (time > 0 && MeasureOfTime(time - 1, ticksPerMeasure) >= measure)
        --time;
    while (MeasureOfTime(time, ticksPerMeasure) < measure)
        ++time;
    return time;
}

std::string KeyName(uint8_t sharpsFlats, uint8_t mode) {
    static constexpr std::array<const char*, 15> kMajorKeys = {
        "Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C", "G", "D", "A", "E", "B", "F#", "C#"};
    static constexpr std::array<const char*, 15> kMinorKeys = {
        "Ab", "Eb", "Bb", "F", "C", "G", "D", "A", "E", "B", "F#", "C#", "G#", "D#", "A#"};
    const int signature = SignedSharpsFlats(sharpsFlats);
    if (signature < -7 || signature > 7) return "";
    return mode == 1 ? kMinorKeys[signature + 7] : kMajorKeys[signature + 7];
}

std::string ModeWord(uint8_t mode) {
    if (mode == 0) return "major";
    if (mode == 1) return "minor";
    return "Mode " + BlankSigned(mode);
}

void ScanSong(const ByteImage& song, ScanResults results, EffectSettings& effects, XgImport xg) {
    InfoScan(song, results, effects, xg == XgImport::Import).Run();
}

}  // namespace zephrane
