#pragma once
// Reading a style for playing: its timing, its section markers, its channel events and, from
// the CASM chunk, the parts each section's channels feed and the rules they follow.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "player/note_rules.h"
#include "song/byte_image.h"
#include "song/midi.h"

namespace zephrane::player {

// A section of the style: from its marker up to the next section marker or End of Track.
struct StyleSection {
    std::string name;  // "Main A", "Fill In AA" …
    int64_t start = 0;
    int64_t end = 0;
};

// A channel message of the track at its absolute tick.
struct StyleEvent {
    int64_t tick = 0;
    uint8_t status = 0;  // 0x80..0xEF
    uint8_t data1 = 0;
    uint8_t data2 = 0;  // 0 for messages with one data byte

    int Kind() const { return KindOfStatus(status); }
    int Channel() const { return ChannelIndexOf(status); }
    bool IsNoteOn() const { return Kind() == message_kind::kNoteOn && data2 > 0; }
    bool IsNoteOff() const {
        return Kind() == message_kind::kNoteOff || (Kind() == message_kind::kNoteOn && data2 == 0);
    }
};

// The records of one CSEG: the sections it names and the parts of their channels.
struct PartSegment {
    std::vector<std::string> sections;
    std::vector<PartRule> parts;
};

struct PlayableStyle {
    int division = 480;                  // ticks per quarter note
    int64_t tempo = 500000;              // microseconds per quarter note (the first tempo event)
    int numerator = 4;                   // time signature (the first one)
    int denominatorPower = 2;            // 2 = quarter notes
    int64_t setUpEnd = 0;                // tick of the first section marker
    std::vector<StyleSection> sections;  // in file order
    std::vector<StyleEvent> events;      // every channel message of the track, in file order
    bool hasCasm = false;
    std::vector<PartSegment> segments;
    std::vector<std::string> notes;  // what was read with a damage or a default: for the user

    int64_t BarTicks() const;
};

// Reads a style file. A file that is not a type-0 MIDI file, a track that cannot be walked to
// its end or a style without section markers throws PlayerError with a message naming the
// fault; damage in the CASM data is listed in `notes` and the parts fall back to defaults.
PlayableStyle ReadPlayableStyle(const ByteImage& file);

// The section named `name`, an exact match first, then one that differs only in letter case;
// nullptr when there is none.
const StyleSection* FindSection(const PlayableStyle& style, std::string_view name);

// The section to play when none is asked for: "Main A", else the first section.
const StyleSection& DefaultSection(const PlayableStyle& style);

// The parts the channels of a section play.
struct SectionParts {
    std::vector<PartRule> rules;
    bool defaults = false;  // the DefaultPart rules, for want of records
};

// The parts of the channels of `section`: the records of the first CSEG whose section list
// names it and that holds records the player can use; without CASM data, or when no such CSEG
// names it, the channels 9 to 16 as themselves with DefaultPart rules.
SectionParts PartsFor(const PlayableStyle& style, std::string_view section);

}  // namespace zephrane::player
