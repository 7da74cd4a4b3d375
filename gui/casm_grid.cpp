#include "gui/casm_grid.h"

#include <QGridLayout>
#include <QSignalBlocker>

#include "app/edit_history.h"

namespace zephrane::gui {
namespace {

enum Column {
    kChannel,
    kVoice,
    kPart,
    kKey,
    kChord,
    kNtr,
    kNtt,
    kHighKey,
    kLow,
    kHigh,
    kRetrigger,
    kChordMute
};

struct Heading {
    const char* text;
    const char* toolTip;
};

constexpr Heading kHeadings[] = {
    {"Ch", "Midi channel number"},
    {"Instrument (# changes)", "Type of instrument and # of voice changes"},
    {"Part", "PSR accompanyment channel"},
    {"Key", "Source key for part"},
    {"Key Type", ""},
    {"NTR", "How the chord root is transpositioned"},
    {"NTT", "Style of note transposition"},
    {"HiKey", "Upper root limit for RootTrans NTR"},
    {"LoLimit", "Lowest note allowed, others transposed"},
    {"HiLimit", "Highest note allowed, others transposed"},
    {"Retrigger Rule", "How notes held over chord changes are played"},
    {"Chord Mute", "Sets the chords that trigger this part"},
};

template <typename List>
QStringList Texts(const List& list) {
    QStringList texts;
    for (std::string_view entry : list) {
        texts << QString::fromUtf8(entry.data(), static_cast<int>(entry.size()));
    }
    return texts;
}

QStringList PartTexts() {
    QStringList texts;
    for (const ListEntry& entry : kPartList) {
        texts << QString::fromUtf8(entry.text.data(), static_cast<int>(entry.text.size()));
    }
    return texts;
}

}  // namespace

template <typename Command>
CommandResult CasmGrid::Edit(int column, Command&& command) {
    const CommandResult result =
        RecordEdit(session_, kHeadings[column].text, std::forward<Command>(command));
    emit Edited();
    return result;
}

CasmGrid::CasmGrid(Session& session, QWidget* parent) : QWidget(parent), session_(session) {
    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(4);
    layout->setVerticalSpacing(2);
    layout->setContentsMargins(0, 0, 0, 0);
    BuildHeadings();
    for (int row = 0; row < 16; ++row)
        BuildRow(row);
    layout->setColumnStretch(kVoice, 1);
    // The rows of silent channels are hidden: the rest stay together at the top.
    layout->setRowStretch(17, 1);
    UpdateControls();
}

void CasmGrid::BuildHeadings() {
    auto* layout = static_cast<QGridLayout*>(this->layout());
    for (int column = 0; column <= kChordMute; ++column) {
        auto* label = new QLabel(kHeadings[column].text, this);
        label->setToolTip(kHeadings[column].toolTip);
        label->setStyleSheet("font-weight: bold;");
        layout->addWidget(label, 0, column);
    }
}

QComboBox* CasmGrid::AddList(int row, int column, const char* name, const QStringList& texts,
                             int CasmRow::*field) {
    auto* list = new QComboBox(this);
    list->setObjectName(QString("WLCbo%1%2").arg(name).arg(row + 1));
    list->addItems(texts);
    list->setToolTip(kHeadings[column].toolTip);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    static_cast<QGridLayout*>(layout())->addWidget(list, row + 1, column);
    if (field == nullptr) return list;
    connect(list, &QComboBox::activated, this, [this, row, column, field](int position) {
        Edit(column, [&] { return ChooseCasmCell(session_, row, field, position); });
    });
    return list;
}

QLineEdit* CasmGrid::AddLimit(int row, int column, const char* name, LimitCell cell) {
    auto* text = new QLineEdit(this);
    text->setObjectName(QString("WLTxt%1%2").arg(name).arg(row + 1));
    text->setToolTip(kHeadings[column].toolTip);
    text->setMaximumWidth(56);
    static_cast<QGridLayout*>(layout())->addWidget(text, row + 1, column);
    connect(text, &QLineEdit::editingFinished, this, [this, row, column, cell, text] {
        if (!text->isModified()) return;
        text->setModified(false);
        // A refused text keeps the focus in its cell until it is mended or emptied.
        if (!Edit(column, [&] {
                return LeaveLimitCell(session_, row, cell, text->text().toStdString());
            })) {
            text->setFocus();
        }
    });
    return text;
}

void CasmGrid::BuildRow(int row) {
    auto* layout = static_cast<QGridLayout*>(this->layout());
    Row& cells = rows_[row];
    cells.channel = new QLabel(QString::number(row + 1), this);
    cells.channel->setToolTip(kHeadings[kChannel].toolTip);
    layout->addWidget(cells.channel, row + 1, kChannel);
    cells.voice = new QLineEdit(this);
    cells.voice->setObjectName(QString("WLTxtVoice%1").arg(row + 1));
    cells.voice->setReadOnly(true);
    cells.voice->setToolTip(kHeadings[kVoice].toolTip);
    layout->addWidget(cells.voice, row + 1, kVoice);

    // Picking a part loads its defaults into the row, as the grid always does.
    cells.part = AddList(row, kPart, "Part", PartTexts(), nullptr);
    connect(cells.part, &QComboBox::activated, this, [this, row](int position) {
        Edit(kPart, [&] { return PickPart(session_, row, position); });
        UpdateControls();
    });
    cells.key = AddList(row, kKey, "Key", Texts(kKeyList), &CasmRow::sourceKey);
    cells.chord = AddList(row, kChord, "Chord", Texts(kChordTypeList), &CasmRow::sourceChord);
    cells.ntr = AddList(row, kNtr, "Ntr", Texts(kNtrList), &CasmRow::ntr);
    cells.ntt = AddList(row, kNtt, "Ntt", Texts(kNttList), &CasmRow::ntt);
    cells.highKey = AddList(row, kHighKey, "HiKey", Texts(kKeyList), &CasmRow::highKey);
    cells.lowLimit = AddLimit(row, kLow, "LoLimit", LimitCell::Low);
    cells.highLimit = AddLimit(row, kHigh, "HiLimit", LimitCell::High);
    cells.retrigger =
        AddList(row, kRetrigger, "Retrigger", Texts(kRetriggerList), &CasmRow::retrigger);
    cells.chordMute = new QPushButton("Edit", this);
    cells.chordMute->setObjectName(QString("cmdChordMute%1").arg(row + 1));
    cells.chordMute->setToolTip("Edit Chord Mute settings");
    layout->addWidget(cells.chordMute, row + 1, kChordMute);
    connect(cells.chordMute, &QPushButton::clicked, this,
            [this, row] { emit ChordMuteRequested(row); });
}

void CasmGrid::UpdateControls() {
    for (int row = 0; row < 16; ++row) {
        const Row& cells = rows_[row];
        const CasmRow& casm = session_.casm[row];
        const ChannelRowView& view = session_.view.rows[row];
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 cells.channel, cells.voice, cells.part, cells.key, cells.chord, cells.ntr,
                 cells.ntt, cells.highKey, cells.lowLimit, cells.highLimit, cells.retrigger,
                 cells.chordMute}) {
            widget->setVisible(view.visible);
        }
        cells.voice->setText(QString::fromStdString(view.voice));
        const std::pair<QComboBox*, int> lists[] = {{cells.part, casm.part},
                                                    {cells.key, casm.sourceKey},
                                                    {cells.chord, casm.sourceChord},
                                                    {cells.ntr, casm.ntr},
                                                    {cells.ntt, casm.ntt},
                                                    {cells.highKey, casm.highKey},
                                                    {cells.retrigger, casm.retrigger}};
        for (const auto& [list, position] : lists) {
            const QSignalBlocker blocker(list);
            list->setCurrentIndex(position);
        }
        if (!cells.lowLimit->hasFocus())
            cells.lowLimit->setText(QString::fromStdString(casm.lowLimitText));
        if (!cells.highLimit->hasFocus())
            cells.highLimit->setText(QString::fromStdString(casm.highLimitText));
    }
}

}  // namespace zephrane::gui
