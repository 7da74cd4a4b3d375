#pragma once
// "Convert Notes": rewrites the working file so that every melodic part is written over the
// reference chord of a style, C major seven. Each note is moved to the key of C by its channel's
// source key and, in main and fill-in sections, pulled onto the notes its part may use: chord
// tones (C E G B) for the chord parts, the six-note scale C D E G A B for the bass and phrases.
// Rhythm channels are left alone. The CASM settings followed are taken anew at every section
// marker, from the CASM table or, for an opened style, from its own CASM.

#include <array>
#include <string_view>

namespace zephrane {

struct Session;

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

// A batch run has no sequencer, so the command line skips that one check.
enum class SequencerCheck { Required, Skipped };

// The command of both menu items. Refuses with a message when no file is open, no section is
// marked, no sequencer is set (when required) or, without a style CASM, no channel has a part.
// Then the song's key signature becomes C major, the song is prepared and converted into the
// working file, which is loaded again; the CASM table's source chords become C major ("Plain")
// or C major seven ("Sevenths") and "Make Casm" is selected. A failed step is reported and
// leaves the session as it was before the command. True when the song was converted.
bool ConvertNotes(Session& session, ConvertItem item,
                  SequencerCheck sequencerCheck = SequencerCheck::Required);

// The walk: the prepared song in the output image becomes the song image and the output image
// is refilled with its converted copy. False after a failure, which is reported under "Convert";
// the output image is then incomplete.
bool Convert(Session& session, ConvertItem item);

// Takes the snapshot of every channel's part, source key and source chord from the CASM table.
// False after a failure (reported under "GetCasmSectionData").
bool GetCasmSectionData(Session& session);

// Marks every Ctab record read during the conversion as written over C major seven (source root
// C, source chord "maj7") in the kept style CASM. False after a failure (reported under
// "KeepConvertedData").
bool KeepConvertedData(Session& session);

// The song's key signature (the last one) becomes C major; a song without one is left alone.
// Failures are thrown.
void ResetKeySignature(Session& session);

}  // namespace zephrane
