#pragma once
// The section map under the toolbars: one cell per measure, filled where an event starts, the
// sections marked drawn over their measures, the places of the sections not marked yet shown
// faintly, as the core pictures them, the suggested sections not accepted yet in a lane of their
// own under the marked ones, and under them the chords the song plays.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/session.h"
#include "sections/section_picture.h"

namespace zephrane::gui {

class SectionMap : public QWidget {
    Q_OBJECT

  public:
    SectionMap(const Session& session, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {900, 94}; }
    QSize minimumSizeHint() const override { return {300, 94}; }
    // What the map draws of the session's song now.
    const SectionPicture& Picture() const;

    // A section or chord name drawn on the map, shortened when its measures are too narrow for
    // it, the whole name then given as the tooltip of its box: a section's to its initials or
    // with "…".
    struct Label {
        QRectF box;
        QString shown;
        QString full;
        bool marked = false;  // a marked section's bar, else the faint place of an unmarked one
    };
    std::vector<Label> Labels() const;
    // The chord changes from where each starts to the next: the name shortened to the chord
    // without its bass, then to its root, or left out where it does not fit.
    std::vector<Label> ChordLabels() const;
    // The proposed sections in the view's order, each over its measures and named as marked bars
    // are; a later one is drawn over an earlier one it overlaps (a fill over its main).
    std::vector<Label> ProposalLabels() const;
    QFont LabelFont() const;
    // The marked section whose bar lies under `at`, or an empty text.
    std::string SectionAt(const QPoint& at) const;
    // The proposed section under `at`, or an empty text.
    std::string ProposalAt(const QPoint& at) const;

    // The measures dragged across, first and last, while the selection stands; a section button
    // pressed then marks its section on them. Escape or a click clears it.
    std::optional<std::pair<int, int>> Selection() const;
    void ClearSelection();

  signals:
    // A right click on the bar of a marked section.
    void SectionMenuRequested(const std::string& key, const QPoint& globalPosition);
    // A right click on a proposed section.
    void ProposalMenuRequested(const std::string& key, const QPoint& globalPosition);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    double CellWidth() const;
    int MeasureAt(double x) const;
    QRectF SpanBox(int first, int end, int top) const;
    void PaintProposals(QPainter& painter) const;
    void PaintSelection(QPainter& painter) const;
    std::optional<Label> LabelAt(const QPoint& position) const;
    // The proposal drawn on top at `position`, by its place in the view.
    std::optional<size_t> ProposalIndexAt(const QPoint& position) const;

    const Session& session_;
    // The drag: where the mouse went down, and the measures it went from and to.
    QPoint pressedAt_;
    bool pressed_ = false;
    bool dragging_ = false;  // the mouse went further than a click would since it went down
    std::optional<std::pair<int, int>> dragged_;
};

}  // namespace zephrane::gui
