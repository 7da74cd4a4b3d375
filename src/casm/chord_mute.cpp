#include "casm/chord_mute.h"

#include <stdexcept>

#include "song/numbers.h"

namespace zephrane {

namespace {

// Boxes off under "Major" and on under "Minor": dim, dim7 and the eight minor chords.
bool IsMinorBox(int box) {
    return box == 11 || box == 12 || (box >= 18 && box <= 25);
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

}  // namespace zephrane
