#pragma once
// A map of the working file under the toolbars: one cell per measure, filled where an event
// starts (a section needs one on its first and its end measure), the sections marked drawn over
// their measures, and the standard layout's places shown faintly, so that one sees at once why a
// section button refuses.

#include <QWidget>

#include "app/session.h"

namespace zephrane::gui {

class SectionMap : public QWidget {
    Q_OBJECT

  public:
    SectionMap(const Session& session, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {900, 64}; }
    QSize minimumSizeHint() const override { return {300, 56}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Span {
        QString name;
        int first;  // first measure
        int end;    // the measure after the last
    };
    std::vector<Span> MarkedSections() const;
    int MeasuresShown() const;

    const Session& session_;
};

}  // namespace zephrane::gui
