#pragma once
// What the main window shows, computed by the core; the Qt window draws it, the CLI prints it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "casm/casm_table.h"
#include "sections/section_picture.h"
#include "sections/section_plan.h"
#include "sections/sections.h"

namespace zephrane {

inline constexpr char kProgramTitle[] = "Zephrane";

struct ChannelRowView {
    bool visible = false;  // rows of channels without notes are hidden
    std::string voice;     // the instrument cell: the channel's voice label
};

// One CSEG of an opened style's own CASM: the sections it serves ("Main A,Main B") and its Ctab
// records as grid rows, by source channel.
struct StyleCasmGroup {
    std::string sections;
    std::array<std::optional<CasmRow>, 16> rows;

    bool operator==(const StyleCasmGroup&) const = default;
};

struct MainWindowView {
    std::string caption = kProgramTitle;
    std::string txtFileName;
    std::string txtCopyright;
    std::string txtTempo;
    std::string txtTimeSig;
    std::string txtStyleName;
    std::string txtKey;
    std::string lblMaxMeasures;
    std::array<ChannelRowView, 16> rows;
    SectionSlots sectionPressed{};     // buttons of the section toolbar shown pressed, by slot
    bool casmOptionsVisible = false;   // "Make Casm" and "Use Style's Casm"
    bool waitingForSequencer = false;  // commands are closed while the sequencer edits the file
    SectionPicture sections;           // the section map under the toolbars
    std::vector<ChordChange> chords;   // the song's chords, shown under the section map
    // The suggested sections not accepted or dropped yet, shown on the section map; they are no
    // part of the song until accepted.
    std::vector<PlannedSection> proposedSections;
    uint64_t chordsFoundIn = 0;             // the FNV-1a hash of the song bytes they were found in
    std::vector<StyleCasmGroup> styleCasm;  // with "Use Style's Casm": what the style will keep
    std::string startHint;                  // what the empty window says; empty once a file is open
    std::string lastDone;                   // what the last user action came to
    std::string statusLine;                 // lastDone, the sections marked and the next step
    bool canUndo = false;
    bool canRedo = false;
    std::string undoCaption = "Undo";  // "Undo " and the name of the step it takes back
    std::string redoCaption = "Redo";
    std::vector<std::string> previewSections;  // the preview's section chooser: marked sections
    bool previewPlaying = false;               // the preview's button says "Stop"
    bool programsRunning = false;              // a started program is watched until it ends
};

struct Session;

// Finds the song's chords again when its bytes changed since they were found; none while no file
// is open. A failure goes to the common report under "FindChords".
void RefreshChords(Session& session);

// Brings the view up to the song as it stands: the scan results describe it again (unless the
// sequencer is editing it) and the section map is worked out from them. The window draws from
// the view after every command.
void RefreshMainWindowView(Session& session);

}  // namespace zephrane
