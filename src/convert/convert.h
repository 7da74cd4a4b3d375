#pragma once
// "Convert Notes": rewrites the working file so that every melodic part is written over the
// reference chord of a style, C major seven. Each note is moved to the key of C by its channel's
// source key and, in main and fill-in sections, pulled onto the notes its part may use: chord
// tones (C E G B) for the chord parts, the six-note scale C D E G A B for the bass and phrases.
// Rhythm channels are left alone. The CASM settings followed are taken anew at every section
// marker, from the CASM table or, for an opened style, from its own CASM.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "casm/casm_chunk.h"
#include "casm/casm_table.h"
#include "song/byte_image.h"
#include "song/walker.h"

namespace zephrane {

enum class ConvertItem {
    Plain,     // to the key of C and the chord or scale notes
    Sevenths,  // the same, and every converted root becomes a major seventh
};

// The toolbar button and the two items of its drop-down menu.
inline constexpr char kConvertButtonKey[] = "ConvertNotes";
inline constexpr char kConvertButtonCaption[] = "Convert Notes";

struct ConvertMenuItem {
    std::string_view key;
    std::string_view text;
    ConvertItem item;
};
inline constexpr std::array<ConvertMenuItem, 2> kConvertMenuItems = {{
    {"Convert", " To key of C and chord/scale notes", ConvertItem::Plain},
    {"Convert7ths", " To key of C and chord/scale/7th chord ", ConvertItem::Sevenths},
}};

// Where the CASM settings a conversion follows come from, asked at each section marker.
class SectionRuleSource {
  public:
    virtual ~SectionRuleSource() = default;
    // A working marker (">Main A", "<Main A") opened or closed a section: the settings come from
    // the CASM table, or from the chord the innermost of the sections still open (`openSections`,
    // named as a style names them, the innermost last) was played over. False after a failure,
    // which ends the conversion.
    virtual bool TakeTableRules(std::span<const std::string> openSections) = 0;
    // A style's own section marker opened `sectionName`. False after a failure, which ends the
    // conversion.
    virtual bool TakeSectionRules(std::string_view sectionName) = 0;
};

struct ConversionRules {
    ConvertItem item;
    bool seventhAddsB;             // a converted root keeps its note and a B sounds with it
    const CasmSnapshot& snapshot;  // the settings in force, renewed by `sections`
    SectionRuleSource& sections;
};

// The walk: copies the prepared `song` into `output` (emptied first) with its notes converted,
// walking with `walk`. Returns the length written. Failures are thrown; `output` then holds what
// was written before them.
int64_t ConvertSong(const ByteImage& song, WalkState& walk, ByteImage& output,
                    const ConversionRules& rules);

// Takes the snapshot of every channel's part, source key and source chord from the CASM table.
// Failures are thrown.
void TakeTableSnapshot(const CasmTable& table, CasmSnapshot& snapshot);

// Gives every channel of `snapshot` whose part follows the chord the source key and chord of
// `chordName` ("Gm7", as the player names chords); the rhythm parts keep theirs. An unreadable
// name is error 5.
void TakeChordSnapshot(std::string_view chordName, CasmSnapshot& snapshot);

// Marks every Ctab record of a kept style CASM whose source root lies at one of `sourceRoots`
// as written over C major seven (source root C, source chord "maj7"). Failures are thrown.
void MarkRecordsConverted(ByteImage& styleCasm, std::span<const int32_t> sourceRoots);

// The song's key signature (the last one) becomes C major; a song without one is left alone.
// Failures are thrown.
void ResetKeySignature(ByteImage& song);

}  // namespace zephrane
