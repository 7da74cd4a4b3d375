#include "gui/section_map.h"

#include <QContextMenuEvent>
#include <QPainter>

namespace zephrane::gui {

SectionMap::SectionMap(const Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName("sectionMap");
    setToolTip(
        "Measures of the working file: filled where an event starts on the first beat.\n"
        "Marked sections are drawn over their measures; the faint names show where the "
        "section buttons put the sections not marked yet.");
}

const SectionPicture& SectionMap::Picture() const {
    return session_.view.sections;
}

double SectionMap::CellWidth() const {
    return static_cast<double>(width() - 2) / Picture().measuresShown;
}

QRectF SectionMap::BarOf(const SectionSpan& span) const {
    const double cell = CellWidth();
    return {1 + span.first * cell, 46, std::max(1, span.end - span.first) * cell - 1, 14};
}

std::string SectionMap::SectionAt(const QPoint& at) const {
    for (const SectionSpan& span : Picture().marked) {
        if (BarOf(span).contains(at)) return span.label;
    }
    return {};
}

void SectionMap::contextMenuEvent(QContextMenuEvent* event) {
    const std::string key = SectionAt(event->pos());
    if (!key.empty()) emit SectionMenuRequested(key, event->globalPos());
}

void SectionMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const SectionPicture& picture = Picture();
    const int measures = picture.measuresShown;
    const double cell = CellWidth();
    const int cellTop = 4;
    const int cellHeight = 14;
    for (int m = 0; m < measures; ++m) {
        const QRectF box(1 + m * cell, cellTop, cell - 1, cellHeight);
        const bool holdsEvent = picture.measureHoldsEvent[static_cast<size_t>(m)];
        painter.fillRect(box, holdsEvent ? QColor(90, 120, 170) : QColor(225, 225, 225));
        if (m % 4 == 0 && cell > 6) {
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(QRectF(1 + m * cell, cellTop + cellHeight, cell * 4, 12),
                             Qt::AlignLeft, QString::number(m));
        }
    }
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    painter.setFont(small);
    // Where the section buttons would put the sections not marked yet.
    painter.setPen(QColor(150, 150, 150));
    for (const SectionSpan& place : picture.places) {
        const QRectF box(1 + place.first * cell, 32, (place.end - place.first) * cell, 12);
        painter.drawText(box, Qt::AlignCenter, QString::fromStdString(place.label));
    }
    // The sections marked in the file.
    for (const SectionSpan& span : picture.marked) {
        const QRectF bar = BarOf(span);
        painter.fillRect(bar, QColor(235, 160, 60));
        painter.setPen(Qt::black);
        painter.drawText(bar, Qt::AlignCenter, QString::fromStdString(span.label));
    }
}

}  // namespace zephrane::gui
