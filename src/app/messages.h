#pragma once
// Message texts that several commands show.

namespace zephrane {

inline constexpr char kNoFileOpenMessage[] =
    "A file has not yet been opened. Click on Open File to identify the file to use.";
inline constexpr char kNoGrooveRepeatsMessage[] =
    "No groove repeats in this song, so there are no sections to suggest.";
inline constexpr char kNoSectionsProposedMessage[] =
    "No sections are proposed. Edit > Suggest Sections proposes them.";
inline constexpr char kNoSectionSelectedMessage[] = "At least one style section should be selected";
inline constexpr char kNoSequencerMessage[] =
    "A sequencer program has not been selected. Click on Setup to identify the sequencer that "
    "you wish to use";
inline constexpr char kNoStyleToPlayMessage[] =
    "No style has been saved or opened yet. Save a style with Save Style, or open a style file, "
    "to play it.";

}  // namespace zephrane
