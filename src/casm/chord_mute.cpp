#include "casm/chord_mute.h"

#include <stdexcept>

#include "app/session.h"
#include "song/numbers.h"

namespace zephrane {

namespace {

// Boxes off under "Major" and on under "Minor": dim, dim7 and the eight minor chords.
bool IsMinorBox(int box) {
    return box == 11 || box == 12 || (box >= 18 && box <= 25);
}

// Once the dialog is gone, every section present in the working file shows its toolbar button
// pressed again (slots 1-24); buttons of absent sections are left as they are.
void RealignSectionToolbar(Session& session) {
    for (int slot = 1; slot <= 24; ++slot) {
        if (session.sectionFlags[slot]) session.view.sectionPressed[slot] = true;
    }
}

}  // namespace

ChordMuteDialog::ChordMuteDialog(int row, const ChordMute& stored, int64_t song)
    : row_(row), song_(song) {
    if (row < 0 || row >= static_cast<int>(CasmTable{}.size()))
        throw std::out_of_range("chord-mute row");
    for (int i = 0; i < kChordMuteBoxCount; ++i) {
        const ChordMuteBox& box = kChordMuteBoxes[i];
        checked_[i] = ((stored[box.byte] >> box.bit) & 1) != 0;
    }
}

std::string ChordMuteDialog::Caption() const {
    return kChordMuteCaptionPrefix + BlankSigned(row_ + 1);
}

void ChordMuteDialog::All() {
    checked_.fill(true);
}

void ChordMuteDialog::None() {
    checked_.fill(false);
}

void ChordMuteDialog::Major() {
    for (int i = 0; i < kChordMuteBoxCount; ++i)
        checked_[i] = !IsMinorBox(i);
}

void ChordMuteDialog::Minor() {
    for (int i = 0; i < kChordMuteBoxCount; ++i)
        checked_[i] = IsMinorBox(i);
}

ChordMute ChordMuteDialog::Bytes() const {
    ChordMute bytes{};
    for (int i = 0; i < kChordMuteBoxCount; ++i) {
        const ChordMuteBox& box = kChordMuteBoxes[i];
        if (checked_[i]) bytes[box.byte] = static_cast<uint8_t>(bytes[box.byte] | (1u << box.bit));
    }
    return bytes;
}

ChordMuteDialog OpenChordMuteDialog(const Session& session, int row) {
    return ChordMuteDialog(row, session.casm.at(row).chordMute, session.songsOpened);
}

bool ChordMuteDialogIsCurrent(const Session& session, const ChordMuteDialog& dialog) {
    return dialog.Song() == session.songsOpened;
}

bool StoreChordMute(Session& session, const ChordMuteDialog& dialog) {
    if (!ChordMuteDialogIsCurrent(session, dialog)) return false;
    session.casm.at(dialog.Row()).chordMute = dialog.Bytes();
    RealignSectionToolbar(session);
    return true;
}

void CloseChordMuteDialog(Session& session) {
    RealignSectionToolbar(session);
}

}  // namespace zephrane
