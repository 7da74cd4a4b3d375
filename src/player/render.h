#pragma once
// Playing a section of a style under a chord progression, as an arranger keyboard does: the
// section loops while the chords go by, every note of each part follows its rules, and the
// result is a list of MIDI events on the accompaniment channels (a type-0 MIDI file on demand).

#include <cstdint>
#include <string>
#include <vector>

#include "player/chords.h"
#include "player/style_reader.h"
#include "song/midi.h"

namespace zephrane::player {

struct RenderRequest {
    std::string section;        // empty: "Main A", else the first section
    std::vector<Chord> chords;  // one after the other, each for barsPerChord bars
    int barsPerChord = 1;
    int loops = 1;     // how many times the whole progression is played
    double bpm = 0.0;  // 0: the style's own tempo
};

// One event of the accompaniment: a channel message (status and data bytes) or a meta event
// (0xFF, its type, its data without the length).
struct MidiMessage {
    int64_t tick = 0;
    std::vector<uint8_t> bytes;

    bool IsMeta() const { return !bytes.empty() && bytes[0] == kMetaStatus; }
};

struct Rendering {
    std::string sectionName;
    int division = 480;
    int64_t tempo = 500000;  // microseconds per quarter note
    int numerator = 4;
    int denominatorPower = 2;
    int64_t length = 0;               // ticks; every note has ended by then
    std::vector<MidiMessage> events;  // in time order, set-up first
    std::vector<std::string> notes;   // for the user: defaults taken, damage met
};

// Pitch bend range the player sets (RPN 0) on a part whose notes glide at chord changes.
inline constexpr int kBendRangeSemitones = 12;

// Plays `request.section` of `style`. An unknown or empty section, no chords, or a length the
// player refuses (fewer than 1 or more than 10000 bars) throws PlayerError.
Rendering RenderSection(const PlayableStyle& style, const RenderRequest& request);

// The rendering as a type-0 Standard MIDI File: track name, tempo, time signature, the events,
// End of Track at `length`.
std::vector<uint8_t> WriteMidiFile(const Rendering& rendering);

}  // namespace zephrane::player
