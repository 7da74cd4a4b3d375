#pragma once
// The section map under the toolbars: one cell per measure, filled where an event starts, the
// sections marked drawn over their measures, and the places of the sections not marked yet shown
// faintly, as the core pictures them.

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

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const Session& session_;
};

}  // namespace zephrane::gui
