#include "player/synth_output.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <thread>

#include <fluidsynth.h>

#include "song/midi.h"

namespace zephrane::play {
namespace {

constexpr int kBankSelect = 0;
constexpr int kBankSelectLow = 32;
constexpr int kFirstDrumBank = 120;
constexpr int kGeneralMidiDrumChannel = 9;
constexpr int kFramesPerBlock = 64;

// FluidSynth's error messages, kept to explain a failure; its warnings (voices substituted for
// the bank numbers a General MIDI sound font lacks) are not shown.
std::string& LastSynthError() {
    static std::string text;
    return text;
}

void KeepError(int, const char* message, void*) {
    LastSynthError() = message ? message : "";
}

void QuietLogs() {
    fluid_set_log_function(FLUID_PANIC, KeepError, nullptr);
    fluid_set_log_function(FLUID_ERR, KeepError, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

struct SettingsDeleter {
    void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct SynthDeleter {
    void operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
};
struct DriverDeleter {
    void operator()(fluid_audio_driver_t* driver) const { delete_fluid_audio_driver(driver); }
};
using Settings = std::unique_ptr<fluid_settings_t, SettingsDeleter>;
using Synth = std::unique_ptr<fluid_synth_t, SynthDeleter>;
using Driver = std::unique_ptr<fluid_audio_driver_t, DriverDeleter>;

void Send(fluid_synth_t* synth, const std::vector<uint8_t>& bytes) {
    const int channel = ChannelIndexOf(bytes[0]);
    const int data1 = bytes.size() > 1 ? bytes[1] : 0;
    const int data2 = bytes.size() > 2 ? bytes[2] : 0;
    switch (KindOfStatus(bytes[0])) {
        case message_kind::kNoteOff:
            fluid_synth_noteoff(synth, channel, data1);
            break;
        case message_kind::kNoteOn:
            if (data2 == 0) {
                fluid_synth_noteoff(synth, channel, data1);
            } else {
                fluid_synth_noteon(synth, channel, data1, data2);
            }
            break;
        case message_kind::kPolyPressure:
            fluid_synth_key_pressure(synth, channel, data1, data2);
            break;
        case message_kind::kController:
            if (data1 == kBankSelect) {
                const bool drums =
                    data2 >= kFirstDrumBank || (channel == kGeneralMidiDrumChannel && data2 == 0);
                fluid_synth_set_channel_type(synth, channel,
                                             drums ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
                fluid_synth_cc(synth, channel, kBankSelect, 0);
            } else if (data1 != kBankSelectLow) {
                fluid_synth_cc(synth, channel, data1, data2);
            }
            break;
        case message_kind::kProgramChange:
            fluid_synth_program_change(synth, channel, data1);
            break;
        case message_kind::kChannelPressure:
            fluid_synth_channel_pressure(synth, channel, data1);
            break;
        case message_kind::kPitchBend:
            fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
            break;
        default:
            break;
    }
}

void RenderFrames(fluid_synth_t* synth, Audio& audio, int64_t untilFrame) {
    int64_t done = static_cast<int64_t>(audio.samples.size() / 2);
    while (done < untilFrame) {
        const int frames = static_cast<int>(std::min<int64_t>(kFramesPerBlock, untilFrame - done));
        const size_t at = audio.samples.size();
        audio.samples.resize(at + static_cast<size_t>(frames) * 2);
        fluid_synth_write_float(synth, frames, audio.samples.data() + at, 0, 2,
                                audio.samples.data() + at, 1, 2);
        done += frames;
    }
}

struct LivePlayback {
    const Audio* audio = nullptr;
    std::atomic<size_t> frame{0};
};

int FeedDevice(void* data, int len, int, float*[], int nout, float* out[]) {
    auto* playback = static_cast<LivePlayback*>(data);
    const size_t frames = playback->audio->samples.size() / 2;
    size_t frame = playback->frame.load();
    for (int i = 0; i < len; ++i, ++frame) {
        const bool inside = frame < frames;
        const float left = inside ? playback->audio->samples[frame * 2] : 0.0f;
        const float right = inside ? playback->audio->samples[frame * 2 + 1] : 0.0f;
        if (nout > 0) out[0][i] = left;
        if (nout > 1) out[1][i] = right;
    }
    playback->frame.store(frame);
    return FLUID_OK;
}

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>((value >> (8 * i)) & 0xFF));
}

void AppendTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

}  // namespace

Audio Synthesize(const player::Rendering& rendering, const SynthSettings& wanted) {
    QuietLogs();
    Settings settings(new_fluid_settings());
    if (!settings) throw std::runtime_error("FluidSynth could not be started.");
    fluid_settings_setnum(settings.get(), "synth.sample-rate", wanted.sampleRate);
    fluid_settings_setint(settings.get(), "synth.cpu-cores", 1);
    Synth synth(new_fluid_synth(settings.get()));
    if (!synth) throw std::runtime_error("FluidSynth could not be started: " + LastSynthError());
    if (fluid_synth_sfload(synth.get(), wanted.soundFont.c_str(), 1) == FLUID_FAILED) {
        throw std::runtime_error("The sound font " + wanted.soundFont +
                                 " cannot be loaded (the Debian package fluid-soundfont-gm "
                                 "installs /usr/share/sounds/sf2/FluidR3_GM.sf2); give another "
                                 "with --soundfont.");
    }
    Audio audio;
    audio.sampleRate = wanted.sampleRate;
    const double secondsPerTick = static_cast<double>(rendering.tempo) / 1e6 / rendering.division;
    const auto frameOf = [&](int64_t tick) {
        return static_cast<int64_t>(std::llround(tick * secondsPerTick * wanted.sampleRate));
    };
    for (const player::MidiMessage& message : rendering.events) {
        if (message.IsMeta()) continue;
        RenderFrames(synth.get(), audio, frameOf(message.tick));
        Send(synth.get(), message.bytes);
    }
    const int64_t tail = std::llround(wanted.tailSeconds * wanted.sampleRate);
    RenderFrames(synth.get(), audio, frameOf(rendering.length) + tail);
    return audio;
}

std::vector<uint8_t> WavFile(const Audio& audio) {
    const uint32_t dataBytes = static_cast<uint32_t>(audio.samples.size() * 2);
    std::vector<uint8_t> out;
    AppendTag(out, "RIFF");
    AppendLittleEndian(out, 36 + dataBytes, 4);
    AppendTag(out, "WAVE");
    AppendTag(out, "fmt ");
    AppendLittleEndian(out, 16, 4);                                           // chunk size
    AppendLittleEndian(out, 1, 2);                                            // PCM
    AppendLittleEndian(out, 2, 2);                                            // stereo
    AppendLittleEndian(out, static_cast<uint32_t>(audio.sampleRate), 4);      // frames per second
    AppendLittleEndian(out, static_cast<uint32_t>(audio.sampleRate) * 4, 4);  // bytes per second
    AppendLittleEndian(out, 4, 2);                                            // bytes per frame
    AppendLittleEndian(out, 16, 2);                                           // bits per sample
    AppendTag(out, "data");
    AppendLittleEndian(out, dataBytes, 4);
    for (const float sample : audio.samples) {
        const long value = std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f);
        AppendLittleEndian(out, static_cast<uint32_t>(static_cast<int16_t>(value)) & 0xFFFF, 2);
    }
    return out;
}

bool PlayOnAudioDevice(const Audio& audio, std::string& why) {
    QuietLogs();
    LastSynthError().clear();
    Settings settings(new_fluid_settings());
    if (!settings) {
        why = "FluidSynth could not be started";
        return false;
    }
    fluid_settings_setnum(settings.get(), "synth.sample-rate", audio.sampleRate);
    LivePlayback playback;
    playback.audio = &audio;
    Driver driver(new_fluid_audio_driver2(settings.get(), FeedDevice, &playback));
    if (!driver) {
        why = LastSynthError().empty() ? "no audio device could be opened" : LastSynthError();
        return false;
    }
    const size_t frames = audio.samples.size() / 2;
    while (playback.frame.load() < frames)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return true;
}

}  // namespace zephrane::play
