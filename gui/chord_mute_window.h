#pragma once
// frmChordMute: the chords on which a channel's part sounds, one check box per chord type.

#include <array>
#include <optional>

#include <QCheckBox>
#include <QDialog>
#include <QLabel>

#include "app/session.h"
#include "casm/chord_mute.h"

namespace zephrane::gui {

class ChordMuteWindow : public QDialog {
    Q_OBJECT

  public:
    ChordMuteWindow(Session& session, QWidget* parent = nullptr);

    // Shows the stored bits of `row`; an open window is loaded again with the new row, so that
    // what the user sees is what OK stores.
    void Open(int row);
    // Closes the window, storing nothing, once the song it was opened for is no longer open.
    void CloseIfItsSongIsGone();

  signals:
    void Closed();

  private:
    void ShowModel();
    void TakeBoxes();
    void Finish(bool store);

    Session& session_;
    std::optional<ChordMuteDialog> model_;
    std::array<QCheckBox*, kChordMuteBoxCount> boxes_{};
};

}  // namespace zephrane::gui
