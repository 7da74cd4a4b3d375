#pragma once
// Voice labels of the channel grid: what kind of instrument a channel plays, named from the bank
// select before its first program change and its program numbers in the GM and XG voice banks and
// the XG drum kits, followed by how often its voice changes ("Bass-XG( 3)"). The text before the
// first "-" of a label is read elsewhere as the channel's instrument category, so the category
// names and the "-GM", "-XG" and "-Panel" suffixes are part of the interface.

#include <string>
#include <string_view>

namespace zephrane {

struct VoiceLabelInput {
    int channel;       // 1..16
    int bankMsb;       // 0..127, or -1 when no bank select came before the first program change
    int bankLsb;       // same for controller 32
    int firstProgram;  // 0..127
    int programChangeCount;  // already incremented for the change being processed
    int currentProgram;      // data byte of the program change being processed
};

// Rebuilds `label` at a program change; where the rules keep the label unchanged it is kept.
// A kept label shows only the latest change count: a count it already ends in is replaced.
void BuildVoiceLabel(const VoiceLabelInput& input, std::string& label);

// The program-number-to-category lists. Channel 9 (the keyboard's sub-rhythm channel, which may
// hold drums or a voice) and the melodic channels use lists with different bounds, for GM songs
// (no bank select) and for XG songs (bank MSB 0).
enum class CategoryTable {
    kSubRhythmGm,  // channel 9, no bank select
    kSubRhythmXg,  // channel 9, bank MSB 0
    kMelodicXg,    // channels 1-8 and 11-16, bank MSB 0
    kMelodicGm,    // channels 1-8 and 11-16, no bank select
};

// The category of `program` in `table`; "Program #" and the blank-signed program where the table
// lists none.
std::string VoiceCategory(CategoryTable table, int program);

// The name of the XG drum kit (bank MSB 127) at `program`; "Drum Kit" for kits without a name.
std::string_view DrumKitName(int program);

// True for the label of a drum kit or a sound-effect kit, whose keys play sounds, not pitches.
bool NamesKit(std::string_view voiceLabel);

}  // namespace zephrane
