#include "gui/casm_grid.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QVBoxLayout>

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
    kChordMute,
    kColumnCount
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

QTableWidgetItem* FixedItem(const QString& text, const char* toolTip) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setToolTip(toolTip);
    return item;
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* selector = new QHBoxLayout;
    groupCaption_ = new QLabel("The style's own CASM, read only, for the sections", this);
    group_ = new QComboBox(this);
    group_->setObjectName("cboCasmGroup");
    group_->setToolTip("The CSEG of the style's CASM shown in the grid");
    selector->addWidget(groupCaption_);
    selector->addWidget(group_, 1);
    layout->addLayout(selector);
    connect(group_, &QComboBox::activated, this, [this] { UpdateControls(); });

    table_ = new QTableWidget(16, kColumnCount, this);
    table_->setObjectName("casmTable");
    table_->verticalHeader()->hide();
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setFocusPolicy(Qt::NoFocus);
    table_->setTabKeyNavigation(false);  // Tab walks the cells' own lists and texts
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    BuildHeadings();
    for (int row = 0; row < 16; ++row)
        BuildRow(row);
    table_->resizeColumnsToContents();
    // A limit holds a note name of at most four characters ("G#10").
    for (const int limit : {kLow, kHigh})
        table_->setColumnWidth(limit, table_->fontMetrics().horizontalAdvance("HiLimit") + 24);
    table_->resizeRowsToContents();
    layout->addWidget(table_, 1);
    UpdateControls();
}

void CasmGrid::BuildHeadings() {
    for (int column = 0; column < kColumnCount; ++column) {
        auto* heading = new QTableWidgetItem(kHeadings[column].text);
        heading->setToolTip(kHeadings[column].toolTip);
        table_->setHorizontalHeaderItem(column, heading);
    }
}

QComboBox* CasmGrid::AddList(int row, int column, const char* name, const QStringList& texts,
                             int CasmRow::*field) {
    auto* list = new QComboBox;
    list->setObjectName(QString("WLCbo%1%2").arg(name).arg(row + 1));
    list->addItems(texts);
    list->setToolTip(kHeadings[column].toolTip);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    table_->setCellWidget(row, column, list);
    if (field == nullptr) return list;
    connect(list, &QComboBox::activated, this, [this, row, column, field](int position) {
        Edit(column, [&] { return ChooseCasmCell(session_, row, field, position); });
    });
    return list;
}

QLineEdit* CasmGrid::AddLimit(int row, int column, const char* name, LimitCell cell) {
    auto* text = new QLineEdit;
    text->setObjectName(QString("WLTxt%1%2").arg(name).arg(row + 1));
    text->setToolTip(kHeadings[column].toolTip);
    table_->setCellWidget(row, column, text);
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
    Row& cells = rows_[row];
    table_->setItem(row, kChannel,
                    FixedItem(QString::number(row + 1), kHeadings[kChannel].toolTip));
    table_->setItem(row, kVoice, FixedItem(QString(), kHeadings[kVoice].toolTip));
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
    cells.chordMute = new QPushButton("Edit");
    cells.chordMute->setObjectName(QString("cmdChordMute%1").arg(row + 1));
    cells.chordMute->setToolTip("Edit Chord Mute settings");
    table_->setCellWidget(row, kChordMute, cells.chordMute);
    connect(cells.chordMute, &QPushButton::clicked, this,
            [this, row] { emit ChordMuteRequested(row); });
}

const StyleCasmGroup* CasmGrid::ShownStyleGroup() const {
    const std::vector<StyleCasmGroup>& groups = session_.view.styleCasm;
    if (groups.empty()) return nullptr;
    const int chosen = std::clamp(group_->currentIndex(), 0, static_cast<int>(groups.size()) - 1);
    return &groups[static_cast<size_t>(chosen)];
}

void CasmGrid::ShowRow(int row, const CasmRow& casm, bool editable) {
    const Row& cells = rows_[row];
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
        list->setEnabled(editable);
    }
    for (const auto& [text, value] : {std::pair{cells.lowLimit, &casm.lowLimitText},
                                      std::pair{cells.highLimit, &casm.highLimitText}}) {
        if (!text->hasFocus()) text->setText(QString::fromStdString(*value));
        text->setReadOnly(!editable);
        text->setFocusPolicy(editable ? Qt::StrongFocus : Qt::NoFocus);
    }
    cells.chordMute->setEnabled(editable);
}

void CasmGrid::UpdateControls() {
    const std::vector<StyleCasmGroup>& groups = session_.view.styleCasm;
    {
        const QSignalBlocker blocker(group_);
        const int chosen = group_->currentIndex();
        group_->clear();
        for (const StyleCasmGroup& group : groups)
            group_->addItem(QString::fromStdString(group.sections));
        if (chosen >= 0 && chosen < group_->count()) group_->setCurrentIndex(chosen);
    }
    groupCaption_->setVisible(!groups.empty());
    group_->setVisible(!groups.empty());
    const StyleCasmGroup* styleGroup = ShownStyleGroup();
    for (int row = 0; row < 16; ++row) {
        const ChannelRowView& view = session_.view.rows[row];
        table_->item(row, kVoice)->setText(QString::fromStdString(view.voice));
        if (styleGroup) {
            const std::optional<CasmRow>& kept = styleGroup->rows[row];
            table_->setRowHidden(row, !view.visible && !kept);
            ShowRow(row, kept.value_or(CasmRow{}), false);
        } else {
            table_->setRowHidden(row, !view.visible);
            ShowRow(row, session_.casm[row], true);
        }
    }
}

QList<QWidget*> CasmGrid::FocusChain() const {
    QList<QWidget*> chain{group_};
    for (const Row& cells : rows_) {
        chain << cells.part << cells.key << cells.chord << cells.ntr << cells.ntt << cells.highKey
              << cells.lowLimit << cells.highLimit << cells.retrigger << cells.chordMute;
    }
    return chain;
}

std::string CasmGrid::ColumnWidths() const {
    QStringList widths;
    for (int column = 0; column < kColumnCount; ++column)
        widths << QString::number(table_->columnWidth(column));
    return widths.join(',').toStdString();
}

void CasmGrid::RestoreColumnWidths(const std::string& widths) {
    const QStringList parts = QString::fromStdString(widths).split(',');
    if (parts.size() != kColumnCount) return;  // none stored yet, or from another grid
    for (int column = 0; column < kColumnCount; ++column) {
        const int width = parts[column].toInt();
        if (width >= 16 && width <= 2000) table_->setColumnWidth(column, width);
    }
}

}  // namespace zephrane::gui
