#include "gui/chord_mute_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/chord_mute_commands.h"
#include "app/edit_history.h"
#include "gui/qt_services.h"

namespace zephrane::gui {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

}  // namespace

ChordMuteWindow::ChordMuteWindow(Session& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    setObjectName("frmChordMute");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(Text(kChordMutePrompt), this);
    prompt->setWordWrap(true);
    layout->addWidget(prompt);
    auto* grid = new QGridLayout;
    // Boxes in rows of eight, as the bytes hold them.
    for (int box = 0; box < kChordMuteBoxCount; ++box) {
        boxes_[box] = new QCheckBox(Text(kChordMuteBoxes[box].caption), this);
        boxes_[box]->setObjectName(QString("chkChordMute%1").arg(box));
        grid->addWidget(boxes_[box], box / 6, box % 6);
    }
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    const std::pair<const char*, void (ChordMuteDialog::*)()> presets[] = {
        {kChordMuteMajorButton, &ChordMuteDialog::Major},
        {kChordMuteMinorButton, &ChordMuteDialog::Minor},
        {kChordMuteAllButton, &ChordMuteDialog::All},
        {kChordMuteNoneButton, &ChordMuteDialog::None}};
    for (const auto& [caption, preset] : presets) {
        auto* button = new QPushButton(caption, this);
        connect(button, &QPushButton::clicked, this, [this, preset = preset] {
            TakeBoxes();
            ((*model_).*preset)();
            ShowModel();
        });
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* ok = new QPushButton(kChordMuteOkButton, this);
    auto* cancel = new QPushButton(kChordMuteCancelButton, this);
    connect(ok, &QPushButton::clicked, this, [this] { Finish(true); });
    connect(cancel, &QPushButton::clicked, this, [this] { Finish(false); });
    connect(this, &QDialog::rejected, this, [this] { Finish(false); });
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    MakeDefaultButton(this, ok);
}

void ChordMuteWindow::Open(int row) {
    model_ = OpenChordMuteDialog(session_, row);
    ShowModel();
    show();
    raise();
}

void ChordMuteWindow::CloseIfItsSongIsGone() {
    if (!model_ || ChordMuteDialogIsCurrent(session_, *model_)) return;
    model_.reset();
    hide();
}

void ChordMuteWindow::ShowModel() {
    setWindowTitle(QString::fromStdString(model_->Caption()));
    for (int box = 0; box < kChordMuteBoxCount; ++box)
        boxes_[box]->setChecked(model_->IsChecked(box));
}

void ChordMuteWindow::TakeBoxes() {
    for (int box = 0; box < kChordMuteBoxCount; ++box)
        model_->SetChecked(box, boxes_[box]->isChecked());
}

void ChordMuteWindow::Finish(bool store) {
    if (!model_) return;
    if (store) {
        TakeBoxes();
        RecordEdit(session_, "Chord Mute", [this] { return StoreChordMute(session_, *model_); });
    } else {
        CloseChordMuteDialog(session_);
    }
    model_.reset();
    hide();
    emit Closed();
}

}  // namespace zephrane::gui
