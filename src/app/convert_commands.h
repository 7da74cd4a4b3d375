#pragma once
// "Convert Notes" and the steps of the conversion that work on the session.

#include <string_view>

#include "app/command_result.h"
#include "convert/convert.h"

namespace zephrane {

struct Session;

// A batch run has no sequencer, so the command line skips that one check.
enum class SequencerCheck { Required, Skipped };

// The command of both menu items. Refuses with a message when no file is open, no section is
// marked, no sequencer is set (when required) or, without a style CASM, no channel has a part.
// Then the song's key signature becomes C major, the song is prepared and converted into the
// working file, which is loaded again; the CASM table's source chords become C major ("Plain")
// or C major seven ("Sevenths") and "Make Casm" is selected. A failed step is reported and
// leaves the session as it was before the command.
CommandResult ConvertNotes(Session& session, ConvertItem item,
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

// Loads into the snapshot the parts and source keys of the opened style's Ctab records that
// apply to `sectionName` (every CSEG whose section list contains it), and notes where each
// record's source root lies. Failures go to the report under "GetChannels".
void GetChannels(Session& session, std::string_view sectionName);

}  // namespace zephrane
