#include "gui/section_map.h"

#include <algorithm>

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "sections/suggest_sections.h"

namespace zephrane::gui {
namespace {

constexpr int kCellTop = 4;
constexpr int kCellHeight = 14;
constexpr int kPlaceTop = 32;
constexpr int kBarTop = 46;
constexpr int kLabelHeight = 14;
constexpr int kProposalTop = 62;
constexpr int kChordTop = 78;

// The section bars keep one colour in both themes: it is the colour of a pressed section button.
const QColor kMarkedBar(235, 160, 60);
const QColor kMarkedText(0, 0, 0);

// A name as it fits `width`: whole, else its initials ("Intro A" as "IA", "Fill AA" as "FAA",
// which still tell the sections apart), else cut with "…".
QString ShortLabel(const QString& full, double width, const QFontMetricsF& metrics) {
    if (metrics.horizontalAdvance(full) <= width) return full;
    const QStringList words = full.split(' ', Qt::SkipEmptyParts);
    QString initials = words.value(0).left(1);
    for (qsizetype i = 1; i < words.size(); ++i)
        initials += words[i];
    if (metrics.horizontalAdvance(initials) <= width) return initials;
    return metrics.elidedText(full, Qt::ElideRight, width);
}

// A chord name as it fits `width`: whole, else without its bass ("C/E" as "C"; the "/9" of "6/9"
// is no bass), else its root with the "m" of a minor chord ("Dm7" as "Dm", "Cmaj7" as "C"), else
// nothing: the tooltip still names it.
QString ShortChord(const QString& full, double width, const QFontMetricsF& metrics) {
    const auto fits = [&](const QString& text) { return metrics.horizontalAdvance(text) <= width; };
    const auto isNoteLetter = [](QChar c) { return c >= 'A' && c <= 'G'; };
    if (fits(full)) return full;
    const qsizetype slash = full.lastIndexOf('/');
    if (slash > 0 && slash + 1 < full.size() && isNoteLetter(full[slash + 1]) &&
        fits(full.left(slash))) {
        return full.left(slash);
    }
    if (full.isEmpty() || !isNoteLetter(full[0])) return {};
    qsizetype rootLength = full.size() > 1 && (full[1] == '#' || full[1] == 'b') ? 2 : 1;
    const QStringView suffix = QStringView(full).mid(rootLength);
    if (suffix.startsWith('m') && !suffix.startsWith(QLatin1String("maj"))) ++rootLength;
    return fits(full.left(rootLength)) ? full.left(rootLength) : QString();
}

std::optional<SectionMap::Label> Under(const std::vector<SectionMap::Label>& labels,
                                       const QPoint& position) {
    for (const SectionMap::Label& label : labels) {
        if (label.box.contains(position)) return label;
    }
    return std::nullopt;
}

}  // namespace

SectionMap::SectionMap(const Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName("sectionMap");
    setFocusPolicy(Qt::ClickFocus);  // Escape reaches the map that holds the selection
}

QFont SectionMap::LabelFont() const {
    QFont small = font();
    small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1));
    return small;
}

const SectionPicture& SectionMap::Picture() const {
    return session_.view.sections;
}

double SectionMap::CellWidth() const {
    return static_cast<double>(width() - 2) / std::max(1, Picture().measuresShown);
}

int SectionMap::MeasureAt(double x) const {
    const int last = std::max(1, Picture().measuresShown) - 1;
    return std::clamp(static_cast<int>((x - 1) / CellWidth()), 0, last);
}

std::optional<std::pair<int, int>> SectionMap::Selection() const {
    if (!dragged_) return std::nullopt;
    return std::minmax(dragged_->first, dragged_->second);
}

void SectionMap::ClearSelection() {
    dragged_.reset();
    update();
}

QRectF SectionMap::SpanBox(int first, int end, int top) const {
    const double cell = CellWidth();
    return {1 + first * cell, static_cast<double>(top), std::max(1, end - first) * cell - 1,
            static_cast<double>(kLabelHeight)};
}

std::vector<SectionMap::Label> SectionMap::Labels() const {
    const SectionPicture& picture = Picture();
    const QFontMetricsF metrics(LabelFont());
    std::vector<Label> labels;
    const auto add = [&](const SectionSpan& span, int top, bool marked) {
        const QRectF box = SpanBox(span.first, span.end, top);
        const QString full = QString::fromStdString(span.label);
        labels.push_back({box, ShortLabel(full, box.width() - 2, metrics), full, marked});
    };
    for (const SectionSpan& place : picture.places)
        add(place, kPlaceTop, false);
    for (const SectionSpan& span : picture.marked)
        add(span, kBarTop, true);
    return labels;
}

std::vector<SectionMap::Label> SectionMap::ProposalLabels() const {
    const QFontMetricsF metrics(LabelFont());
    std::vector<Label> labels;
    for (const PlannedSection& proposal : session_.view.proposedSections) {
        const QRectF box = SpanBox(proposal.first, proposal.last + 1, kProposalTop);
        const QString full = QString::fromStdString(proposal.section);
        labels.push_back({box, ShortLabel(full, box.width() - 2, metrics), full, false});
    }
    return labels;
}

std::vector<SectionMap::Label> SectionMap::ChordLabels() const {
    const std::vector<ChordChange>& chords = session_.view.chords;
    const int measures = Picture().measuresShown;
    const double cell = CellWidth();
    const int beats = std::max<int>(1, session_.facts.timeSigNumerator);
    const auto measureOf = [&](size_t i) {
        if (i >= chords.size()) return static_cast<double>(measures);
        return std::min<double>(measures, chords[i].measure + (chords[i].beat - 1.0) / beats);
    };
    const QFontMetricsF metrics(LabelFont());
    std::vector<Label> labels;
    for (size_t i = 0; i < chords.size() && measureOf(i) < measures; ++i) {
        const double from = measureOf(i);
        const QRectF box(1 + from * cell, kChordTop, (measureOf(i + 1) - from) * cell - 1,
                         kLabelHeight);
        const QString full = QString::fromStdString(chords[i].chord);
        labels.push_back({box, ShortChord(full, box.width() - 2, metrics), full, false});
    }
    return labels;
}

std::optional<SectionMap::Label> SectionMap::LabelAt(const QPoint& position) const {
    return Under(Labels(), position);
}

std::optional<size_t> SectionMap::ProposalIndexAt(const QPoint& position) const {
    const std::vector<Label> labels = ProposalLabels();
    for (size_t i = labels.size(); i-- > 0;) {
        if (labels[i].box.contains(position)) return i;
    }
    return std::nullopt;
}

std::string SectionMap::ProposalAt(const QPoint& at) const {
    const std::optional<size_t> index = ProposalIndexAt(at);
    return index ? session_.view.proposedSections[*index].section : std::string();
}

std::string SectionMap::SectionAt(const QPoint& at) const {
    const std::optional<Label> label = LabelAt(at);
    return label && label->marked ? label->full.toStdString() : std::string();
}

void SectionMap::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.base());
    if (!session_.view.startHint.empty()) {
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         QString::fromStdString(session_.view.startHint));
        return;
    }
    const SectionPicture& picture = Picture();
    const double cell = CellWidth();
    const QColor empty = colours.color(QPalette::Mid);
    const QColor holdsEvent = colours.color(QPalette::Highlight);
    for (int m = 0; m < picture.measuresShown; ++m) {
        const QRectF box(1 + m * cell, kCellTop, cell - 1, kCellHeight);
        painter.fillRect(box,
                         picture.measureHoldsEvent[static_cast<size_t>(m)] ? holdsEvent : empty);
        if (m % 4 == 0 && cell > 6) {
            painter.setPen(colours.color(QPalette::Text));
            painter.drawText(QRectF(1 + m * cell, kCellTop + kCellHeight, cell * 4, 12),
                             Qt::AlignLeft, QString::number(m));
        }
    }
    painter.setFont(LabelFont());
    for (const Label& label : Labels()) {
        if (label.marked) {
            painter.fillRect(label.box, kMarkedBar);
            painter.setPen(kMarkedText);
        } else {
            // Where a section button would put its section: the theme's own placeholder colour,
            // readable on the base colour in light and dark themes.
            painter.setPen(colours.color(QPalette::PlaceholderText));
        }
        painter.drawText(label.box, Qt::AlignCenter, label.shown);
    }
    PaintProposals(painter);
    // A chord's name starts under the beat it starts on.
    painter.setPen(colours.color(QPalette::Text));
    for (const Label& chord : ChordLabels())
        painter.drawText(chord.box.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         chord.shown);
    PaintSelection(painter);
}

// A proposal is not marked yet: an outline only, dashed, in the theme's colours; each covers the
// ones it overlaps.
void SectionMap::PaintProposals(QPainter& painter) const {
    const QPalette& colours = palette();
    for (const Label& proposal : ProposalLabels()) {
        painter.fillRect(proposal.box, colours.base());
        painter.setPen(QPen(colours.color(QPalette::Highlight), 1, Qt::DashLine));
        painter.drawRect(proposal.box.adjusted(0, 0, -1, -1));
        painter.setPen(colours.color(QPalette::Text));
        painter.drawText(proposal.box, Qt::AlignCenter, proposal.shown);
    }
}

void SectionMap::PaintSelection(QPainter& painter) const {
    const std::optional<std::pair<int, int>> selection = Selection();
    if (!selection) return;
    const double cell = CellWidth();
    const QRectF box(1 + selection->first * cell, 1,
                     (selection->second - selection->first + 1) * cell - 1, height() - 2);
    QColor shade = palette().color(QPalette::Highlight);
    shade.setAlpha(70);
    painter.fillRect(box, shade);
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawRect(box);
}

void SectionMap::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !session_.view.startHint.empty()) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressedAt_ = event->position().toPoint();
    pressed_ = true;
    dragging_ = false;
}

void SectionMap::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) return;
    const QPoint at = event->position().toPoint();
    // A mouse that moves no further than a click would is no drag.
    dragging_ =
        dragging_ || (at - pressedAt_).manhattanLength() >= QApplication::startDragDistance();
    if (!dragging_) return;
    dragged_ = {MeasureAt(pressedAt_.x()), MeasureAt(at.x())};
    update();
}

void SectionMap::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || event->button() != Qt::LeftButton) return;
    pressed_ = false;
    if (!dragging_) ClearSelection();  // a click
}

void SectionMap::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && dragged_) {
        ClearSelection();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool SectionMap::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<Label> label = LabelAt(help->pos());
    if (const std::optional<size_t> proposal = ProposalIndexAt(help->pos())) {
        QToolTip::showText(
            help->globalPos(),
            QString::fromStdString(ProposalText(session_.view.proposedSections[*proposal])), this);
    } else if (label) {
        QToolTip::showText(help->globalPos(),
                           label->marked ? label->full + " (right click to remove it)"
                                         : label->full + ": its place in the layout",
                           this);
    } else if (const std::optional<Label> chord = Under(ChordLabels(), help->pos())) {
        QToolTip::showText(help->globalPos(), chord->full + ": the chord the song plays here",
                           this);
    } else {
        QToolTip::showText(help->globalPos(),
                           "Measures of the working file: filled where an event starts on the "
                           "first beat.",
                           this);
    }
    return true;
}

void SectionMap::contextMenuEvent(QContextMenuEvent* event) {
    if (const std::string proposal = ProposalAt(event->pos()); !proposal.empty()) {
        emit ProposalMenuRequested(proposal, event->globalPos());
        return;
    }
    const std::string key = SectionAt(event->pos());
    if (!key.empty()) emit SectionMenuRequested(key, event->globalPos());
}

}  // namespace zephrane::gui
