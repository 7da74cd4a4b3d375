#pragma once
// The section map under the toolbars: one cell per measure, filled where an event starts, the
// sections marked drawn over their measures, and the places of the sections not marked yet shown
// faintly, as the core pictures them.

#include <string>

#include <QWidget>

#include "app/session.h"
#include "sections/section_picture.h"

namespace zephrane::gui {

class SectionMap : public QWidget {
    Q_OBJECT

  public:
    SectionMap(const Session& session, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {900, 64}; }
    QSize minimumSizeHint() const override { return {300, 56}; }
    // What the map draws of the session's song now.
    const SectionPicture& Picture() const;
    // The key of the marked section whose bar lies under `at`; empty where there is none.
    std::string SectionAt(const QPoint& at) const;

  signals:
    // A right click on the bar of the marked section `key`.
    void SectionMenuRequested(const std::string& key, const QPoint& globalPos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // The bar of a marked section spanning measures first..end-1.
    QRectF BarOf(const SectionSpan& span) const;
    double CellWidth() const;

    const Session& session_;
};

}  // namespace zephrane::gui
