#pragma once
// The preview bar under the section map: a section of the current style, played by zephrane-play
// under a chord progression, heard without leaving the window.

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "app/session.h"

namespace zephrane::gui {

class PreviewBar : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewBar(Session& session, QWidget* parent = nullptr);

    // The current style's sections in the chooser (the choice kept while it is one of them) and
    // Play or Stop on the button, from the view model.
    void UpdateControls();
    // Its controls in the window's Tab order.
    QList<QWidget*> FocusChain() const { return {section_, chords_, play_}; }

  signals:
    // A command ran: the window shows what it left.
    void CommandRan();

  private:
    void Play();
    void PlayOrStop();

    Session& session_;
    QComboBox* section_ = nullptr;
    QLineEdit* chords_ = nullptr;
    QPushButton* play_ = nullptr;
};

}  // namespace zephrane::gui
