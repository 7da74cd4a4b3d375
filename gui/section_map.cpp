#include "gui/section_map.h"

#include <QPainter>

namespace zephrane::gui {
namespace {

constexpr int kStandardMeasures = 34;

}  // namespace

SectionMap::SectionMap(const Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName("sectionMap");
    setToolTip(
        "Measures of the working file: filled where an event starts on the first beat.\n"
        "Marked sections are drawn over their measures; the faint names show where the "
        "section buttons put each section.");
}

int SectionMap::MeasuresShown() const {
    return std::max<int>(kStandardMeasures, session_.facts.measureCount + 1);
}

std::vector<SectionMap::Span> SectionMap::MarkedSections() const {
    std::vector<Span> spans;
    const double measure = session_.facts.ticksPerMeasure;
    if (measure <= 0) return spans;
    const MarkerList& markers = session_.markers;
    for (int i = 0; i < markers.count; ++i) {
        const std::string& text = markers.entries[i].text;
        if (!text.starts_with('>')) continue;
        std::string endMarker = text;
        endMarker.front() = '<';
        for (int j = i + 1; j < markers.count; ++j) {
            if (markers.entries[j].text == endMarker) {
                // Bars are labelled with the button keys, which are short enough for one measure.
                const SectionRow* row = SectionByMarker(text);
                const std::string label = row ? std::string(row->key) : text.substr(1);
                spans.push_back({QString::fromStdString(label),
                                 static_cast<int>(markers.entries[i].tick / measure),
                                 static_cast<int>(markers.entries[j].tick / measure)});
                break;
            }
        }
    }
    return spans;
}

void SectionMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const int measures = MeasuresShown();
    const double cell = static_cast<double>(width() - 2) / measures;
    const int cellTop = 4;
    const int cellHeight = 14;
    const MeasureTable& table = session_.measures;
    const bool fileOpen = !session_.song.fileName.empty();
    for (int m = 0; m < measures; ++m) {
        const QRectF box(1 + m * cell, cellTop, cell - 1, cellHeight);
        const bool holdsEvent =
            fileOpen && m <= table.LastIndex() && table.entries[m].position != 0;
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
    // Where the section buttons put each section.
    painter.setPen(QColor(150, 150, 150));
    for (const SectionRow& row : kSectionTable) {
        const QRectF place(1 + row.start * cell, 32, (row.end - row.start) * cell, 12);
        painter.drawText(place, Qt::AlignCenter,
                         QString::fromUtf8(row.key.data(), static_cast<int>(row.key.size())));
    }
    // The sections marked in the file.
    for (const Span& span : MarkedSections()) {
        const QRectF bar(1 + span.first * cell, 46, std::max(1, span.end - span.first) * cell - 1,
                         14);
        painter.fillRect(bar, QColor(235, 160, 60));
        painter.setPen(Qt::black);
        painter.drawText(bar, Qt::AlignCenter, span.name);
    }
}

}  // namespace zephrane::gui
