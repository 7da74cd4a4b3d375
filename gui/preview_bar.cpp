#include "gui/preview_bar.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>

#include "app/play_commands.h"

namespace zephrane::gui {

PreviewBar::PreviewBar(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
    setObjectName("previewBar");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    section_ = new QComboBox(this);
    section_->setObjectName("cboPreviewSection");
    section_->setToolTip("Section of the style to hear");
    section_->setMinimumContentsLength(10);  // "Fill In AA" fits before any section is marked
    section_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    chords_ = new QLineEdit(kDefaultPreviewChords, this);
    chords_->setObjectName("txtPreviewChords");
    chords_->setToolTip("Chords the style follows, one a bar: C Am F G7, Dm7 G7 Cmaj7, C/E ...");
    play_ = new QPushButton("Play", this);
    play_->setObjectName("cmdPreview");
    play_->setToolTip("Hear the section under the chords (Save Style's checks apply)");
    layout->addWidget(new QLabel("Preview Section", this));
    layout->addWidget(section_);
    layout->addWidget(new QLabel("Chords", this));
    layout->addWidget(chords_, 1);
    layout->addWidget(play_);
    connect(play_, &QPushButton::clicked, this, &PreviewBar::PlayOrStop);
    // Enter in the chord box plays the new chords, also in place of a preview still sounding.
    connect(chords_, &QLineEdit::returnPressed, this, &PreviewBar::Play);
    // The preview's sound ends with the program.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { StopPreview(session_); });
}

void PreviewBar::UpdateControls() {
    const MainWindowView& view = session_.view;
    QStringList sections;
    for (const std::string& name : view.previewSections)
        sections << QString::fromStdString(name);
    QStringList shown;
    for (int item = 0; item < section_->count(); ++item)
        shown << section_->itemText(item);
    if (shown != sections) {  // refilled only when changed, so that an open list stays open
        const QString chosen = section_->currentText();
        section_->clear();
        section_->addItems(sections);
        section_->setCurrentIndex(std::max(0, static_cast<int>(sections.indexOf(chosen))));
    }
    play_->setText(view.previewPlaying ? "Stop" : "Play");
}

void PreviewBar::Play() {
    PlayPreview(session_, {section_->currentText().toStdString(), chords_->text().toStdString()});
    emit CommandRan();
}

void PreviewBar::PlayOrStop() {
    if (!session_.view.previewPlaying) {
        Play();
        return;
    }
    StopPreview(session_);
    emit CommandRan();
}

}  // namespace zephrane::gui
