#pragma once
// The section map under the toolbars: one cell per measure, filled where an event starts, the
// sections marked drawn over their measures, the places of the sections not marked yet shown
// faintly, as the core pictures them, and under them the chords the song plays.

#include <optional>
#include <string>
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
    QSize sizeHint() const override { return {900, 78}; }
    QSize minimumSizeHint() const override { return {300, 78}; }
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
    QFont LabelFont() const;
    // The marked section whose bar lies under `at`, or an empty text.
    std::string SectionAt(const QPoint& at) const;

  signals:
    // A right click on the bar of a marked section.
    void SectionMenuRequested(const std::string& key, const QPoint& globalPosition);

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    double CellWidth() const;
    std::optional<Label> LabelAt(const QPoint& position) const;

    const Session& session_;
};

}  // namespace zephrane::gui
