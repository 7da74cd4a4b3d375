#pragma once
// Preparing the song for a style: the single track of the song image is copied into the output
// image event by event, keeping what a style plays (notes, program changes, a few controllers,
// the first tempo and time signature, the section markers) and dropping the rest without moving
// the music. Bank selects go in front of program changes of a MIDI file that has none, and the
// style's set-up messages follow the "SInt" marker.

#include <cstdint>

#include "analysis/scan_song.h"
#include "casm/casm_table.h"
#include "effects/effect_list.h"
#include "effects/effect_settings.h"
#include "song/byte_image.h"
#include "song/song_image.h"
#include "song/walker.h"

namespace zephrane {

enum class PrepOption {
    AllChannels,       // every channel; the set-up block names the channel assignments
    AssignedOnly,      // only channels that feed an accompaniment part ("SubRhythm".."Phrase 2")
    NoSpecialMarkers,  // every channel; the working markers (with "<" or ">") are dropped
};

// The menu options a preparation follows.
struct PrepSettings {
    bool panelVoices = true;      // "Specify Panel (bank 112) voices"
    bool xgSystemOn = true;       // "Include XG System On"
    bool multipleTempos = false;  // "Allow Multiple Tempos"
};

// What a preparation reads: the song image, what a scan just found in it, the CASM table's
// parts and the effects of the set-up block.
struct PrepSource {
    const SongImage& song;
    const SongFacts& facts;
    const MarkerList& markers;
    const ChannelTable& channels;
    const CasmTable& casm;
    const EffectSettings& effects;
    const EffectLists& effectLists;
    PrepSettings settings;
};

// What a preparation writes: the prepared file, its end, the ticks of the kept events before
// the music starts, and the walk over the song.
struct PrepTarget {
    ByteImage& output;
    int64_t& writePos;
    int64_t& setupTime;
    WalkState& walk;
};

// Fills the output image with the prepared file, cut to its length, with the write position
// just after its last byte. Failures are thrown; the output image then holds what was written
// before them.
void PrepareSong(const PrepSource& source, const PrepTarget& target, PrepOption option);

}  // namespace zephrane
