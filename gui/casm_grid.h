#pragma once
// The CASM grid of the main window: one row per MIDI channel, a list or text cell per setting.
// Its columns can be widened by dragging their headings. With "Use Style's Casm" it shows, read
// only, the records the opened style keeps, for the section group chosen above it.

#include <array>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "app/casm_commands.h"
#include "app/session.h"

namespace zephrane::gui {

class CasmGrid : public QWidget {
    Q_OBJECT

  public:
    CasmGrid(Session& session, QWidget* parent = nullptr);

    // Shows the rows of the channels with notes and every cell as the table holds it.
    void UpdateControls();
    // The cells that take the focus, row by row, for the window's Tab order.
    QList<QWidget*> FocusChain() const;
    // The column widths as the user left them, as one text, and back.
    std::string ColumnWidths() const;
    void RestoreColumnWidths(const std::string& widths);
    QTableWidget* Table() const { return table_; }

  signals:
    void ChordMuteRequested(int row);
    // A cell's edit went into the CASM table (and the edit history).
    void Edited();

  private:
    struct Row {
        QComboBox* part = nullptr;
        QComboBox* key = nullptr;
        QComboBox* chord = nullptr;
        QComboBox* ntr = nullptr;
        QComboBox* ntt = nullptr;
        QComboBox* highKey = nullptr;
        QLineEdit* lowLimit = nullptr;
        QLineEdit* highLimit = nullptr;
        QComboBox* retrigger = nullptr;
        QPushButton* chordMute = nullptr;
    };

    void BuildHeadings();
    void BuildRow(int row);
    QComboBox* AddList(int row, int column, const char* name, const QStringList& texts,
                       int CasmRow::*field);  // none: the caller connects the list
    QLineEdit* AddLimit(int row, int column, const char* name, LimitCell cell);
    void ShowRow(int row, const CasmRow& casm, bool editable);
    // The style's record group chosen in the selector, when the grid shows the style's own CASM.
    const StyleCasmGroup* ShownStyleGroup() const;
    // Runs the editing command of the cell under `column` as a step of the edit history.
    template <typename Command>
    CommandResult Edit(int column, Command&& command);

    Session& session_;
    QLabel* groupCaption_ = nullptr;
    QComboBox* group_ = nullptr;
    QTableWidget* table_ = nullptr;
    std::array<Row, 16> rows_;
};

}  // namespace zephrane::gui
