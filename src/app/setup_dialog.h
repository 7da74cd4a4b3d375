#pragma once
// The Setup dialog's logic: the sequencer, the style player and the Open dialog's start folder.

#include <string>

namespace zephrane {

struct Session;

struct SetupTexts {
    std::string sequencer;         // txtSequencerLocation
    std::string stylePlayer;       // txtStylePlayerLocation
    std::string defaultDirectory;  // txtDefaultDirectory
};

// Opening the dialog: the three settings read again from their files.
SetupTexts OpenSetup(Session& session);

// "Browse" for the sequencer: the choice is shown and stored at once. For the style player: the
// choice is only shown; Close stores it. Failures go under "cmdBrowse" and "cmdBrowse2".
void BrowseSequencer(Session& session, SetupTexts& texts);
void BrowseStylePlayer(Session& session, SetupTexts& texts);

// Close: stores the folder, the style player and the sequencer, in that order, as typed.
void CloseSetup(Session& session, const SetupTexts& texts);

}  // namespace zephrane
