#include "song_generator.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string_view>
#include <utility>

#include "song/midi.h"
#include "song/midi_layout.h"

namespace zephrane::bench {
namespace {

constexpr uint32_t kDivision = 480;
constexpr uint32_t kStepTicks = kDivision / 4;  // a sixteenth note
constexpr int kStepsPerMeasure = 16;
constexpr uint32_t kMeasureTicks = kStepTicks * kStepsPerMeasure;

using namespace message_kind;
constexpr int kDrumChannel = 10;

// The fifteen melodic channels (1-based) and the General MIDI program each starts with: piano,
// bass, guitar, strings, organ, lead, pad, brass, accordion, electric piano, guitar, strings,
// flute, trumpet, bass.
constexpr std::array<std::pair<int, uint8_t>, 15> kMelodicChannels = {{{1, 0},
                                                                       {2, 33},
                                                                       {3, 25},
                                                                       {4, 48},
                                                                       {5, 16},
                                                                       {6, 80},
                                                                       {7, 88},
                                                                       {8, 61},
                                                                       {9, 21},
                                                                       {11, 4},
                                                                       {12, 26},
                                                                       {13, 49},
                                                                       {14, 73},
                                                                       {15, 56},
                                                                       {16, 32}}};

// A small deterministic generator (xorshift), so that a size always gives the same song.
class Random {
  public:
    uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    uint8_t Below(uint32_t limit) { return static_cast<uint8_t>(Next() % limit); }

  private:
    uint32_t state_ = 0x2545F491u;
};

// Writes one track's events at absolute ticks; repeats of a channel status are left out
// (running status), and a meta or system-exclusive event ends the running status.
class TrackWriter {
  public:
    void Channel(uint32_t tick, int kind, int channel, uint8_t data1) {
        Status(tick, ChannelStatus(kind, channel - 1));
        bytes_.push_back(data1 & 0x7F);
    }
    void Channel(uint32_t tick, int kind, int channel, uint8_t data1, uint8_t data2) {
        Channel(tick, kind, channel, data1);
        bytes_.push_back(data2 & 0x7F);
    }
    void Meta(uint32_t tick, uint8_t type, std::initializer_list<uint8_t> data) {
        Delta(tick);
        bytes_.push_back(kMetaStatus);
        bytes_.push_back(type);
        VariableLength(static_cast<int64_t>(data.size()));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        runningStatus_ = 0;
    }
    void MetaText(uint32_t tick, uint8_t type, std::string_view text) {
        Delta(tick);
        bytes_.push_back(kMetaStatus);
        bytes_.push_back(type);
        VariableLength(static_cast<int64_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        runningStatus_ = 0;
    }
    // `data` runs from the byte after F0 up to and including the closing F7.
    void SysEx(uint32_t tick, std::initializer_list<uint8_t> data) {
        Delta(tick);
        bytes_.push_back(kSysExStatus);
        VariableLength(static_cast<int64_t>(data.size()));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        runningStatus_ = 0;
    }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

  private:
    void Status(uint32_t tick, uint8_t status) {
        Delta(tick);
        if (status != runningStatus_) bytes_.push_back(status);
        runningStatus_ = status;
    }
    void Delta(uint32_t tick) {
        VariableLength(tick - lastTick_);
        lastTick_ = tick;
    }
    void VariableLength(int64_t value) { AppendVariableLength(bytes_, value); }

    std::vector<uint8_t> bytes_;
    uint32_t lastTick_ = 0;
    uint8_t runningStatus_ = 0;
};

struct Sounding {
    int channel;
    uint8_t note;
};

class SongWriter {
  public:
    SongWriter(int measures, int burstsPerStep) : measures_(measures), bursts_(burstsPerStep) {}
    std::vector<uint8_t> Write();

  private:
    void SetUp();
    void Step(uint32_t tick, int measure, int step);
    void NotesOff(uint32_t tick);
    void Drums(uint32_t tick, int step);
    void Burst(uint32_t tick, int index);

    int measures_;
    int bursts_;
    TrackWriter track_;
    Random random_;
    std::vector<Sounding> sounding_;
    uint32_t burstCounter_ = 0;
};

std::vector<uint8_t> SongWriter::Write() {
    SetUp();
    for (int measure = 0; measure < measures_; ++measure) {
        for (int step = 0; step < kStepsPerMeasure; ++step) {
            Step(static_cast<uint32_t>(measure) * kMeasureTicks + step * kStepTicks, measure, step);
        }
    }
    const uint32_t end = static_cast<uint32_t>(measures_) * kMeasureTicks;
    NotesOff(end - kStepTicks / 2);
    track_.Meta(end, meta_type::kEndOfTrack, {});

    const std::vector<uint8_t> events = track_.Take();
    std::vector<uint8_t> file = TypeZeroHeaders(static_cast<uint16_t>(kDivision));
    file.insert(file.end(), events.begin(), events.end());
    ByteImage image(std::move(file));
    image.WriteU32BE(kTrackLengthPos, image.Size() - kFirstEventPos);
    return image.Bytes();
}

void SongWriter::SetUp() {
    track_.MetaText(0, meta_type::kTrackName, "Zephrane Bench Song");
    track_.MetaText(0, meta_type::kCopyright, "(C) Zephrane benchmarks");
    track_.Meta(0, meta_type::kTempo, {0x07, 0xA1, 0x20});                    // 120 beats a minute
    track_.Meta(0, meta_type::kTimeSignature, {0x04, 0x02, 0x18, 0x08});      // 4/4
    track_.Meta(0, meta_type::kKeySignature, {0x01, 0x00});                   // G major
    track_.SysEx(0, {0x7E, 0x7F, 0x09, 0x01, 0xF7});                          // GM System On
    track_.SysEx(0, {0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7});        // XG System On
    track_.SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x00, 0x01, 0x00, 0xF7});  // reverb Hall 1
    track_.SysEx(0, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x20, 0x41, 0x00, 0xF7});  // chorus 1
    // Channels 1-8 select their bank, the others leave it to the instrument.
    for (const auto& [channel, program] : kMelodicChannels) {
        if (channel <= 8) {
            track_.Channel(0, kController, channel, 0, 0);
            track_.Channel(0, kController, channel, 32, 0);
        }
        track_.Channel(0, kProgramChange, channel, program);
        track_.Channel(0, kController, channel, 7, 100);
        track_.Channel(0, kController, channel, 10, static_cast<uint8_t>(channel * 8));
        track_.Channel(0, kController, channel, 91, 40);
        track_.Channel(0, kController, channel, 93, 10);
    }
    track_.Channel(0, kController, kDrumChannel, 0, 127);
    track_.Channel(0, kController, kDrumChannel, 32, 0);
    track_.Channel(0, kProgramChange, kDrumChannel, 0);
    track_.Channel(0, kController, kDrumChannel, 7, 110);
}

void SongWriter::Step(uint32_t tick, int measure, int step) {
    NotesOff(tick);
    Drums(tick, step);
    for (int burst = 0; burst < bursts_; ++burst)
        Burst(tick, burst + step + measure);
}

// Note-on with velocity 0 on even channels, note-off on odd ones.
void SongWriter::NotesOff(uint32_t tick) {
    for (const Sounding& note : sounding_) {
        if (note.channel % 2 == 0) {
            track_.Channel(tick, kNoteOn, note.channel, note.note, 0);
        } else {
            track_.Channel(tick, kNoteOff, note.channel, note.note, 64);
        }
    }
    sounding_.clear();
}

void SongWriter::Drums(uint32_t tick, int step) {
    auto hit = [&](uint8_t note, uint8_t velocity) {
        track_.Channel(tick, kNoteOn, kDrumChannel, note, velocity);
        sounding_.push_back({kDrumChannel, note});
    };
    if (step % 4 == 0) hit(36, 110);                        // kick on every beat
    if (step % 8 == 4) hit(38, 100);                        // snare on 2 and 4
    hit(42, static_cast<uint8_t>(60 + random_.Below(40)));  // closed hi-hat
}

// A chord on one melodic channel, then one of eight kinds of other traffic.
void SongWriter::Burst(uint32_t tick, int index) {
    const auto& [channel, program] =
        kMelodicChannels[static_cast<size_t>(index) % kMelodicChannels.size()];
    const uint8_t root = static_cast<uint8_t>(36 + random_.Below(48));
    for (uint8_t interval : {0, 4, 7}) {
        const auto note = static_cast<uint8_t>(root + interval);
        track_.Channel(tick, kNoteOn, channel, note, static_cast<uint8_t>(50 + random_.Below(70)));
        sounding_.push_back({channel, note});
    }
    const uint8_t value = random_.Below(128);
    switch (burstCounter_++ % 8) {
        case 0:  // volume, expression, modulation
            track_.Channel(tick, kController, channel, 7, value);
            track_.Channel(tick, kController, channel, 11, value);
            track_.Channel(tick, kController, channel, 1, random_.Below(64));
            break;
        case 1:
            track_.Channel(tick, kPitchBend, channel, value, 0x40);
            track_.Channel(tick, kPitchBend, channel, 0, 0x40);
            break;
        case 2:
            track_.Channel(tick, kChannelPressure, channel, value);
            break;
        case 3:
            track_.Channel(tick, kPolyPressure, channel, root, value);
            break;
        case 4:  // sustain pedal, brightness, reverb send
            track_.Channel(tick, kController, channel, 64, value >= 64 ? 127 : 0);
            track_.Channel(tick, kController, channel, 74, value);
            track_.Channel(tick, kController, channel, 91, value);
            break;
        case 5:  // pan and chorus send
            track_.Channel(tick, kController, channel, 10, value);
            track_.Channel(tick, kController, channel, 93, value);
            break;
        case 6:
            switch (value % 4) {
                case 0:  // XG reverb time: a style keeps it
                    track_.SysEx(tick, {0x43, 0x10, 0x4C, 0x02, 0x01, 0x02, value, 0xF7});
                    break;
                case 1:  // XG drum setup: level of the bass drum, kept as well
                    track_.SysEx(tick, {0x43, 0x10, 0x4C, 0x30, 36, 0x01, value, 0xF7});
                    break;
                case 2:  // XG part volume: dropped
                    track_.SysEx(tick, {0x43, 0x10, 0x4C, 0x08, static_cast<uint8_t>(channel - 1),
                                        0x0B, value, 0xF7});
                    break;
                default:  // universal master volume: dropped
                    track_.SysEx(tick, {0x7F, 0x7F, 0x04, 0x01, 0x00, value, 0xF7});
                    break;
            }
            break;
        default:
            switch (value % 3) {
                case 0:
                    track_.MetaText(tick, meta_type::kLyric, "la");
                    break;
                case 1:
                    track_.MetaText(tick, meta_type::kText, "bench text");
                    break;
                default:
                    track_.Meta(tick, meta_type::kSequencerSpecific, {0x43, 0x7B, 0x00});
                    break;
            }
            break;
    }
}

}  // namespace

std::vector<uint8_t> GenerateSong(int64_t targetBytes, int measures) {
    // The size grows by the same amount with every added burst a step: two trial songs give
    // the fixed part and that amount.
    const auto one = static_cast<int64_t>(SongWriter(measures, 1).Write().size());
    const auto two = static_cast<int64_t>(SongWriter(measures, 2).Write().size());
    const int64_t perBurst = std::max<int64_t>(two - one, 1);
    const int64_t fixed = one - perBurst;
    const double bursts =
        std::round(static_cast<double>(targetBytes - fixed) / static_cast<double>(perBurst));
    return SongWriter(measures, static_cast<int>(std::max(bursts, 1.0))).Write();
}

int64_t ParseSize(const std::string& text) {
    if (text.empty()) return 0;
    int64_t multiplier = 1;
    std::string_view digits = text;
    switch (std::tolower(static_cast<unsigned char>(text.back()))) {
        case 'k':
            multiplier = 1024;
            break;
        case 'm':
            multiplier = 1024 * 1024;
            break;
        default:
            break;
    }
    if (multiplier != 1) digits.remove_suffix(1);
    if (digits.empty() || digits.size() > 12) return 0;
    int64_t value = 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
        value = value * 10 + (c - '0');
    }
    return value * multiplier;
}

}  // namespace zephrane::bench
