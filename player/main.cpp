// zephrane-play: plays a section of a style under a chord progression, as an arranger keyboard
// does, into a WAV file, a MIDI file or the audio device.

#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "app/version.h"
#include "player/player_error.h"
#include "player/render.h"
#include "player/style_reader.h"
#include "player/synth_output.h"
#include "song/byte_image.h"
#include "song/error.h"
#include "song/file_io.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitCannotPlay = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoSound = 3;

constexpr char kDefaultChords[] = "C Am F G7";

struct Options {
    std::string style;
    std::string section;
    std::string chords = kDefaultChords;
    int barsPerChord = 1;
    int loops = 2;
    double tempo = 0.0;
    std::string wav;
    std::string midi;
    std::string soundFont = ZEPHRANE_DEFAULT_SOUND_FONT;
    bool quiet = false;
};

void Warn(const std::string& text) {
    std::cerr << "zephrane-play: " << text << '\n';
}

std::string Seconds(const zephrane::player::Rendering& rendering) {
    const double seconds =
        static_cast<double>(rendering.length) * rendering.tempo / 1e6 / rendering.division;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    return text;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    try {
        zephrane::WriteWholeFile(path, bytes);
    } catch (const zephrane::RuntimeError& error) {
        throw zephrane::player::PlayerError("Cannot write " + path + ": " + error.Description() +
                                            ".");
    }
}

int Run(const Options& options) {
    using namespace zephrane::player;
    zephrane::ByteImage file;
    try {
        file = zephrane::ByteImage(zephrane::ReadInputFile(options.style));
    } catch (const zephrane::FileRefused& refusal) {
        throw PlayerError(refusal.what());
    } catch (const zephrane::RuntimeError& error) {
        throw PlayerError("Cannot read " + options.style + ": " + error.Description() + ".");
    }
    const PlayableStyle style = ReadPlayableStyle(file);
    RenderRequest request;
    request.section = options.section;
    request.chords = ParseProgression(options.chords);
    request.barsPerChord = options.barsPerChord;
    request.loops = options.loops;
    request.bpm = options.tempo;
    const Rendering rendering = RenderSection(style, request);
    if (!options.quiet) {
        for (const std::string& note : style.notes)
            Warn(note);
        for (const std::string& note : rendering.notes)
            Warn(note);
        std::cout << "Playing \"" << rendering.sectionName << "\" of " << options.style << " under "
                  << options.chords << ": " << rendering.length / style.BarTicks() << " bars, "
                  << Seconds(rendering) << '\n';
    }
    if (!options.midi.empty()) WriteFile(options.midi, WriteMidiFile(rendering));
    const bool live = options.wav.empty() && options.midi.empty();
    if (options.wav.empty() && !live) return kExitSuccess;

    zephrane::play::SynthSettings settings;
    settings.soundFont = options.soundFont;
    zephrane::play::Audio audio;
    try {
        audio = zephrane::play::Synthesize(rendering, settings);
    } catch (const std::runtime_error& error) {
        Warn(error.what());
        return kExitNoSound;
    }
    if (!options.wav.empty()) {
        WriteFile(options.wav, zephrane::play::WavFile(audio));
        return kExitSuccess;
    }
    std::string why;
    if (!zephrane::play::PlayOnAudioDevice(audio, why)) {
        Warn("Cannot play: " + why + ". Write the sound to a file with -o out.wav instead.");
        return kExitNoSound;
    }
    return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{
        "zephrane-play: plays a section of a style under a chord progression, as an arranger "
        "keyboard does. With only the style given it plays Main A (or the first section) under " +
            std::string(kDefaultChords) + " on the audio device.",
        "zephrane-play"};
    app.add_option("STYLE", options.style, "The style file")->required();
    app.add_option("--section", options.section,
                   "Section to play, as its marker names it (\"Main A\", \"Intro B\" …)");
    app.add_option("--chords", options.chords,
                   "Chord progression, blank-separated (\"C Am F G7\", \"Dm7 G7 Cmaj7\", \"C/E\")")
        ->capture_default_str();
    app.add_option("--bars-per-chord", options.barsPerChord, "Bars each chord is held")
        ->check(CLI::Range(1, 10000))
        ->capture_default_str();
    app.add_option("--loops", options.loops, "Times the progression is played")
        ->check(CLI::Range(1, 10000))
        ->capture_default_str();
    app.add_option("--tempo", options.tempo, "Tempo in beats per minute (default: the style's)")
        ->check(CLI::Range(10.0, 400.0));
    app.add_option("-o", options.wav, "Write the sound to this WAV file instead of playing it");
    app.add_option("--midi", options.midi, "Write the accompaniment as a type-0 MIDI file");
    app.add_option("--soundfont", options.soundFont, "General MIDI sound font (.sf2)")
        ->capture_default_str();
    app.add_flag("-q,--quiet", options.quiet, "Print nothing but errors");
    app.set_version_flag("--version", zephrane::VersionLine("zephrane-play"));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitSuccess : kExitUsage;
    }
    try {
        return Run(options);
    } catch (const zephrane::player::PlayerError& error) {
        Warn(error.what());
        return kExitCannotPlay;
    } catch (const zephrane::RuntimeError& error) {
        Warn("error " + std::to_string(error.Number()) + " (" + error.Description() + ").");
        return kExitCannotPlay;
    }
}
