#include "analysis/voice_names.h"

#include <optional>
#include <span>
#include <utility>

#include "song/numbers.h"

namespace zephrane {

namespace {

constexpr int kSubRhythmChannel = 9;
constexpr int kRhythmChannel = 10;

// Bank select value when none came before the first program change.
constexpr int kNoBankSelect = -1;

// XG bank MSBs with a meaning of their own.
constexpr int kXgNormalVoicesMsb = 0;
constexpr int kXgSfxVoicesMsb = 64;
constexpr int kXgSfxKitsMsb = 126;
constexpr int kXgDrumKitsMsb = 127;

// Under MSB 0, LSBs above this hold the keyboard's own panel voices rather than XG variations.
constexpr int kLastXgVariationLsb = 99;

// A category covers one or more program ranges (both ends included). The lists are ordered: the
// first entry whose range holds the program gives the category, so a program claimed by an earlier
// entry is not reached by a later range that also holds it.
struct CategoryEntry {
    int first;
    int last;
    std::string_view category;
};

// Channel 9 in a GM song. Most bounds lie one above the GM instrument families (as if programs
// were counted from 1), and 21 falls into both Organ and Accordion, where Organ comes first.
constexpr CategoryEntry kSubRhythmGmEntries[] = {
    {0, 7, "Keyboard"},           {8, 16, "Chrom. Perc."}, {17, 21, "Organ"},
    {21, 24, "Accordion"},        {25, 32, "Guitar"},      {33, 40, "Bass"},
    {41, 51, "Strings"},          {52, 56, "Choir"},       {57, 64, "Brass"},
    {65, 72, "Sax,Clarinet,etc"}, {73, 80, "Flute/Pipe"},  {81, 88, "Synth Lead"},
    {89, 96, "Synth Pad"},        {97, 104, "SynthFx"},    {105, 112, "Ethnic"},
    {113, 120, "PercFx"},         {121, 128, "SoundFx"},
};

// The XG lists regroup single voices by how they are played: timpani (47), kalimba (108) and steel
// drums (114) as chromatic percussion, bagpipe (109) as a pipe, the synth effects 96 and 98 as
// leads and 99, 101 and 103 as pads, and on channel 9 sitar, banjo, shamisen and koto (104-107) as
// strings. The remaining effect, ethnic and percussive programs have no category.
constexpr CategoryEntry kSubRhythmXgEntries[] = {
    {0, 7, "Keyboard"},        {8, 15, "Chrom.Perc."},    {47, 47, "Chrom.Perc."},
    {114, 114, "Chrom.Perc."}, {108, 108, "Chrom.Perc."}, {16, 20, "Organ"},
    {21, 23, "Accordion"},     {24, 32, "Guitar"},        {33, 40, "Bass"},
    {41, 51, "Strings"},       {106, 107, "Strings"},     {104, 105, "Strings"},
    {52, 55, "Choir"},         {56, 64, "Brass"},         {65, 72, "Sax,Clarinet"},
    {73, 79, "Flute/Pipe"},    {109, 109, "Flute/Pipe"},  {80, 87, "Synth Lead"},
    {98, 98, "Synth Lead"},    {96, 96, "Synth Lead"},    {88, 95, "Synth Pad"},
    {99, 99, "Synth Pad"},     {101, 101, "Synth Pad"},   {103, 103, "Synth Pad"},
};

// Melodic channels in an XG song: the GM family bounds, except Choir ending at 54 and Brass
// starting at 55; the plucked ethnic strings 104-107 are not regrouped here.
constexpr CategoryEntry kMelodicXgEntries[] = {
    {0, 7, "Keyboard"},        {8, 15, "Chrom.Perc."},    {47, 47, "Chrom.Perc."},
    {114, 114, "Chrom.Perc."}, {108, 108, "Chrom.Perc."}, {16, 20, "Organ"},
    {21, 23, "Accordion"},     {24, 31, "Guitar"},        {32, 39, "Bass"},
    {40, 51, "Strings"},       {52, 54, "Choir"},         {55, 63, "Brass"},
    {64, 71, "Sax,Clarinet"},  {72, 79, "Flute/Pipe"},    {109, 109, "Flute/Pipe"},
    {80, 87, "Synth Lead"},    {98, 98, "Synth Lead"},    {96, 96, "Synth Lead"},
    {88, 95, "Synth Pad"},     {99, 99, "Synth Pad"},     {101, 101, "Synth Pad"},
    {103, 103, "Synth Pad"},
};

// Melodic channels in a GM song: the sixteen GM instrument families, with the organ family split
// off its accordions and harmonica (21-23) and the ensembles split between strings and choir.
constexpr CategoryEntry kMelodicGmEntries[] = {
    {0, 7, "Keyboard"},    {8, 15, "Chrom. Perc."},  {16, 20, "Organ"},      {21, 23, "Accordion"},
    {24, 31, "Guitar"},    {32, 39, "Bass"},         {40, 51, "Strings"},    {52, 55, "Choir"},
    {56, 63, "Brass"},     {64, 71, "Sax,Clarinet"}, {72, 79, "Flute/Pipe"}, {80, 87, "Synth Lead"},
    {88, 95, "Synth Pad"}, {96, 103, "SynthFx"},     {104, 111, "Ethnic"},   {112, 119, "PercFx"},
    {120, 127, "SoundFx"},
};

std::span<const CategoryEntry> EntriesOf(CategoryTable table) {
    switch (table) {
        case CategoryTable::kSubRhythmGm:
            return kSubRhythmGmEntries;
        case CategoryTable::kSubRhythmXg:
            return kSubRhythmXgEntries;
        case CategoryTable::kMelodicXg:
            return kMelodicXgEntries;
        case CategoryTable::kMelodicGm:
            return kMelodicGmEntries;
    }
    return {};
}

struct DrumKit {
    int program;
    std::string_view name;
};

// The XG drum kits of bank MSB 127 that have names of their own.
constexpr DrumKit kDrumKits[] = {
    {0, "Std Drum Kit 1"},   {1, "Std Drum Kit 2"},     {4, "Hit Drum Kit"},
    {8, "Room Drum Kit"},    {16, "Rock Drum Kit"},     {24, "Electronic Drum Kit"},
    {25, "Analog Drum Kit"}, {27, "Dance Drum Kit"},    {32, "Jazz Drum Kit"},
    {40, "Brush Drum Kit"},  {48, "Symphony Drum Kit"},
};

constexpr std::string_view kGmSuffix = "-GM";
constexpr std::string_view kXgSuffix = "-XG";
constexpr std::string_view kPanelSuffix = "-Panel";

std::string BankAndProgramText(const VoiceLabelInput& input) {
    return "Msb:" + std::to_string(input.bankMsb) + " Lsb:" + std::to_string(input.bankLsb) +
           " Pc:" + std::to_string(input.currentProgram);
}

std::string XgLabel(CategoryTable table, const VoiceLabelInput& input) {
    const std::string_view suffix = input.bankLsb > kLastXgVariationLsb ? kPanelSuffix : kXgSuffix;
    return VoiceCategory(table, input.firstProgram) + std::string(suffix);
}

std::string GmLabel(CategoryTable table, const VoiceLabelInput& input) {
    return VoiceCategory(table, input.firstProgram) + std::string(kGmSuffix);
}

std::string RhythmLabel(const VoiceLabelInput& input) {
    if (input.bankMsb == kXgDrumKitsMsb) return std::string(DrumKitName(input.firstProgram));
    // A GM song's rhythm channel always plays the GM drum kit.
    if (input.bankMsb == kNoBankSelect) return "Drum Kit-GM";
    return BankAndProgramText(input);
}

// Channel 9 may carry drums or a voice; banks that name neither keep the label that stands.
std::optional<std::string> SubRhythmLabel(const VoiceLabelInput& input) {
    const bool hasLsb = input.bankLsb != kNoBankSelect;
    switch (input.bankMsb) {
        case kXgDrumKitsMsb:
            return std::string(DrumKitName(input.firstProgram));
        case kXgSfxKitsMsb:
            return "SoundFx Kit";
        case kNoBankSelect:
            if (hasLsb) return std::nullopt;
            return GmLabel(CategoryTable::kSubRhythmGm, input);
        case kXgNormalVoicesMsb:
            if (hasLsb) return XgLabel(CategoryTable::kSubRhythmXg, input);
            return BankAndProgramText(input);
        default:
            return std::nullopt;
    }
}

std::string MelodicLabel(const VoiceLabelInput& input) {
    const bool hasLsb = input.bankLsb != kNoBankSelect;
    const std::string program = " Pc:" + std::to_string(input.currentProgram);
    switch (input.bankMsb) {
        case kXgNormalVoicesMsb:
            if (hasLsb) return XgLabel(CategoryTable::kMelodicXg, input);
            return "Msb:" + std::to_string(input.bankMsb) + " Lsb Missing" + program;
        case kNoBankSelect:
            if (hasLsb) return "Msb Missing Lsb:" + std::to_string(input.bankLsb) + program;
            return GmLabel(CategoryTable::kMelodicGm, input);
        case kXgSfxKitsMsb:
        case kXgSfxVoicesMsb:
            return "SoundFx Kit";
        default:
            // Bank MSB 127 included: drum kits are named only on the two rhythm channels.
            return BankAndProgramText(input);
    }
}

// The label from scratch, or nothing where the bank leaves the label that stands.
std::optional<std::string> BaseLabel(const VoiceLabelInput& input) {
    switch (input.channel) {
        case kRhythmChannel:
            return RhythmLabel(input);
        case kSubRhythmChannel:
            return SubRhythmLabel(input);
        default:
            return MelodicLabel(input);
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Removes a trailing change count such as "( 3)", left by an earlier program change or an earlier
// scan of the song, so that a kept label does not collect one count after another.
void DropCountSuffix(std::string& label) {
    if (label.empty() || label.back() != ')') return;
    const size_t open = label.rfind('(');
    if (open == std::string::npos) return;
    const std::string_view number =
        std::string_view(label).substr(open + 1, label.size() - open - 2);
    if (number.size() < 2 || (number.front() != ' ' && number.front() != '-')) return;
    for (const char c : number.substr(1)) {
        if (!IsDigit(c)) return;
    }
    label.erase(open);
}

}  // namespace

std::string VoiceCategory(CategoryTable table, int program) {
    for (const CategoryEntry& entry : EntriesOf(table)) {
        if (program >= entry.first && program <= entry.last) return std::string(entry.category);
    }
    return "Program #" + BlankSigned(program);
}

std::string_view DrumKitName(int program) {
    for (const DrumKit& kit : kDrumKits) {
        if (kit.program == program) return kit.name;
    }
    return "Drum Kit";
}

// Every kit label ends its name in "Kit": the XG drum kits, "Drum Kit-GM" and "SoundFx Kit".
bool NamesKit(std::string_view voiceLabel) {
    return voiceLabel.find("Kit") != std::string_view::npos;
}

void BuildVoiceLabel(const VoiceLabelInput& input, std::string& label) {
    if (std::optional<std::string> base = BaseLabel(input)) {
        label = std::move(*base);
    } else {
        DropCountSuffix(label);
    }
    if (input.programChangeCount > 1) {
        label += '(';
        label += BlankSigned(input.programChangeCount);
        label += ')';
    }
}

}  // namespace zephrane
