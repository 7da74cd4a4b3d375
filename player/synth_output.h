#pragma once
// Sound for zephrane-play: the rendered accompaniment played through FluidSynth with a General
// MIDI sound font, into a WAV file or out of the audio device.

#include <string>
#include <vector>

#include "player/render.h"

namespace zephrane::play {

struct SynthSettings {
    std::string soundFont;
    int sampleRate = 44100;
    double tailSeconds = 2.0;  // after the last bar, for the notes' release and the reverb
};

// Stereo samples, left and right interleaved, in -1..1.
struct Audio {
    int sampleRate = 44100;
    std::vector<float> samples;
};

// Plays the events into samples. Yamaha bank numbers are read as a General MIDI module would:
// bank select MSB 120 and above makes a drum channel (the XG drum kits 126 and 127); any other
// bank is the General MIDI bank; channel 10 stays a drum channel unless told otherwise. A sound
// font that cannot be loaded throws std::runtime_error.
Audio Synthesize(const player::Rendering& rendering, const SynthSettings& settings);

// The samples as a 16-bit stereo PCM WAV file.
std::vector<uint8_t> WavFile(const Audio& audio);

// Plays the samples on the default audio device and returns when they are done; false, with
// the reason in `why`, when no audio device can be opened.
bool PlayOnAudioDevice(const Audio& audio, std::string& why);

}  // namespace zephrane::play
