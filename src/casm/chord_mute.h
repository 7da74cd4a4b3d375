#pragma once
// The chord-mute dialog of one CASM row: 34 check boxes, one per chord type, that decide on which
// chords the channel's source track plays. The five chord-mute bytes hold one bit per box.

#include <array>
#include <string>
#include <string_view>

#include "casm/casm_table.h"

namespace zephrane {

inline constexpr int kChordMuteBoxCount = 34;

// One check box: its caption, the byte and bit (bit 0 = value 1) it stands for, and the chord-type
// code of that bit. Byte 0 holds the two chord types 32 and 33, bytes 1-4 eight types each, from
// the high codes down, so the chord type of byte k, bit b is 8 * (4 - k) + b.
struct ChordMuteBox {
    std::string_view caption;
    int byte;
    int bit;
    int chordType;
};

namespace chord_mute_detail {
inline constexpr std::array<std::string_view, kChordMuteBoxCount> kCaptions = {
    "sus4", "1+2+5",  "7(13)", "7(b9)", "7(b13)", "7(#9)", "M7aug",  "7aug", "1+8",
    "1+5",  "m7M(9)", "dim",   "dim7",  "7",      "7sus4", "7b5",    "7(9)", "7#11",
    "min",  "min6",   "min7",  "m7b5",  "m(9)",   "m7(9)", "m7(11)", "mM7",  "Maj",
    "Maj6", "Maj7",   "M7#11", "(9)",   "M7(9)",  "6(9)",  "aug"};

constexpr std::array<ChordMuteBox, kChordMuteBoxCount> MakeBoxes() {
    std::array<ChordMuteBox, kChordMuteBoxCount> boxes{};
    for (int i = 0; i < kChordMuteBoxCount; ++i) {
        const int byte = i < 2 ? 0 : (i - 2) / 8 + 1;
        const int bit = i < 2 ? i : (i - 2) % 8;
        boxes[i] = {kCaptions[i], byte, bit, 8 * (4 - byte) + bit};
    }
    return boxes;
}
}  // namespace chord_mute_detail

// The boxes in dialog order (box index = position).
inline constexpr std::array<ChordMuteBox, kChordMuteBoxCount> kChordMuteBoxes =
    chord_mute_detail::MakeBoxes();

inline constexpr char kChordMuteCaptionPrefix[] = " Chord Recognition for Channel ";
inline constexpr char kChordMutePrompt[] =
    "Select the chords you wish to trigger the playing of this source track. Note: Clicking OK "
    "stores the settings.";
inline constexpr char kChordMuteMajorButton[] = "Major";
inline constexpr char kChordMuteMinorButton[] = "Minor";
inline constexpr char kChordMuteAllButton[] = "All";
inline constexpr char kChordMuteNoneButton[] = "None";
inline constexpr char kChordMuteOkButton[] = "OK";
inline constexpr char kChordMuteCancelButton[] = "Cancel";

// The open dialog of one CASM row. It keeps the row it was opened for; the stored bytes change
// only through StoreChordMute.
class ChordMuteDialog {
  public:
    // A box is checked where its bit is set in `stored`. `row` is the 0-based MIDI channel;
    // `song` the number of the song it is opened for.
    ChordMuteDialog(int row, const ChordMute& stored, int64_t song = 0);

    int Row() const { return row_; }
    int64_t Song() const { return song_; }
    // " Chord Recognition for Channel " and the channel number with one leading blank.
    std::string Caption() const;
    std::string_view PromptText() const { return kChordMutePrompt; }

    bool IsChecked(int box) const { return checked_.at(box); }
    void SetChecked(int box, bool checked) { checked_.at(box) = checked; }

    void All();
    void None();
    // Every chord but the minor family, dim and dim7 (minMaj7(9) stays on).
    void Major();
    // Only the minor family, dim and dim7.
    void Minor();

    // The five bytes the boxes give; bits without a box are 0.
    ChordMute Bytes() const;

  private:
    int row_;
    int64_t song_;
    std::array<bool, kChordMuteBoxCount> checked_{};
};

}  // namespace zephrane
