#include "stationui/SlotTile.h"

#include <QEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextLayout>

#include <cmath>

namespace {

enum class Mark
{
    None,
    Tick,
    Cross,
    Pause, // held by another program
    Ring   // nothing was sent
};

struct Look
{
    QColor fill;
    QColor text;
    Mark mark;
};

// Light fills for a slot that waits or works, strong ones for a result: a
// glance tells what needs a hand. Each has a word and, for the results, a
// mark, for eyes that do not tell red from green.
Look lookOf(SlotState state)
{
    switch (state) {
    case SlotState::Empty:
        return {QColor(0xE4, 0xE6, 0xE8), QColor(0x30, 0x33, 0x36), Mark::None};
    case SlotState::Settling:
        return {QColor(0xCF, 0xE2, 0xFF), QColor(0x10, 0x2A, 0x50), Mark::None};
    case SlotState::Configuring:
        return {QColor(0xFF, 0xD9, 0x66), QColor(0x3A, 0x2A, 0x00), Mark::None};
    case SlotState::Passed:
        return {QColor(0x1E, 0x7E, 0x34), Qt::white, Mark::Tick};
    case SlotState::Failed:
        return {QColor(0xB7, 0x1C, 0x1C), Qt::white, Mark::Cross};
    case SlotState::Busy:
        return {QColor(0x4A, 0x55, 0x68), Qt::white, Mark::Pause};
    case SlotState::NotConfigured:
        return {QColor(0xBD, 0xC1, 0xC6), QColor(0x20, 0x22, 0x25), Mark::Ring};
    case SlotState::NotRecorded:
        return {QColor(0x8E, 0x24, 0xAA), Qt::white, Mark::Cross};
    }
    return {Qt::white, Qt::black, Mark::None};
}

QFont scaled(QFont font, qreal factor, bool bold = false)
{
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

void drawMark(QPainter &painter, Mark mark, const QRectF &box, const QColor &color)
{
    if (mark == Mark::None)
        return;
    QPainterPath path;
    const qreal w = box.width();
    if (mark == Mark::Tick) {
        path.moveTo(box.left() + 0.15 * w, box.top() + 0.55 * w);
        path.lineTo(box.left() + 0.40 * w, box.top() + 0.80 * w);
        path.lineTo(box.left() + 0.85 * w, box.top() + 0.20 * w);
    } else if (mark == Mark::Cross) {
        path.moveTo(box.topLeft() + QPointF(0.2 * w, 0.2 * w));
        path.lineTo(box.topLeft() + QPointF(0.8 * w, 0.8 * w));
        path.moveTo(box.topLeft() + QPointF(0.8 * w, 0.2 * w));
        path.lineTo(box.topLeft() + QPointF(0.2 * w, 0.8 * w));
    } else if (mark == Mark::Pause) {
        // Upright bars: a flat dash beside a Chinese word reads as 一.
        for (const qreal x : {0.35, 0.65}) {
            path.moveTo(box.left() + x * w, box.top() + 0.2 * w);
            path.lineTo(box.left() + x * w, box.top() + 0.8 * w);
        }
    } else {
        path.addEllipse(box.adjusted(0.25 * w, 0.25 * w, -0.25 * w, -0.25 * w));
    }
    painter.setPen(QPen(color, std::max(2.0, w / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

// The largest font, from factor times the base down to floor times it, in
// which text fits on one line of width; the smallest if none does (the text
// wraps). Widths grow with the type size, so one measure finds it: shaping
// text is what a tile's drawing costs most.
QFont fitting(const QFont &base, qreal factor, const QString &text, qreal width, qreal floor = 1.0)
{
    QFont font = scaled(base, factor, true);
    const qreal advance = QFontMetricsF(font).horizontalAdvance(text);
    if (advance <= width)
        return font;
    // A little under the proportion: glyph widths do not scale exactly.
    const qreal fit = std::max(floor, factor * width / advance * 0.97);
    return scaled(base, std::floor(fit * 20) / 20, true);
}

// Wrapped text in box, as many whole lines as fit, the last cut with an
// ellipsis when there is more.
void drawWrapped(QPainter &painter, const QRectF &box, const QString &text)
{
    const QFontMetricsF metrics(painter.font());
    QTextLayout layout(text, painter.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box.width());
        const bool lastThatFits = y + 2 * line.height() > box.height();
        if (lastThatFits && line.textStart() + line.textLength() < text.size()) {
            const QString rest =
                metrics.elidedText(text.mid(line.textStart()), Qt::ElideRight, box.width());
            painter.drawText(QPointF(box.left(), box.top() + y + metrics.ascent()), rest);
            break;
        }
        line.setPosition(QPointF(0, y));
        line.draw(&painter, box.topLeft());
        y += line.height();
        if (lastThatFits)
            break;
    }
    layout.endLayout();
}

} // namespace

SlotTile::SlotTile(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    retranslate();
}

QString SlotTile::wordFor(SlotState state)
{
    switch (state) {
    case SlotState::Empty:
        return tr("Empty");
    case SlotState::Settling:
        return tr("Settling");
    case SlotState::Configuring:
        return tr("Configuring");
    case SlotState::Passed:
        return tr("PASS");
    case SlotState::Failed:
        return tr("FAIL");
    case SlotState::Busy:
        return tr("Busy");
    case SlotState::NotConfigured:
        return tr("Not configured");
    case SlotState::NotRecorded:
        return tr("Not recorded");
    }
    return {};
}

void SlotTile::showSlot(const SlotStatus &slot, qint64 elapsedMs)
{
    m_slot = slot;
    m_elapsedMs = elapsedMs;
    retranslate();
    update();
}

QColor SlotTile::background() const
{
    return lookOf(m_slot.state).fill;
}

QString SlotTile::serialText() const
{
    // An empty slot shows no unit, only when its last one ended.
    if (m_slot.state == SlotState::Empty)
        return {};
    if (!m_slot.unit.serialNumber.isEmpty())
        return m_slot.unit.serialNumber;
    // A unit without a USB serial number is known by its device.
    return m_slot.unit.location;
}

// While a unit is under way, how long so far; else when the last result came.
QString SlotTile::footText() const
{
    if (m_elapsedMs >= 0)
        return tr("%1 s").arg(QLocale().toString(m_elapsedMs / 1000.0, 'f', 1));
    if (m_slot.lastResultTime.isValid())
        return tr("Last result %1").arg(m_slot.lastResultTime.toString(QStringLiteral("HH:mm:ss")));
    return {};
}

void SlotTile::retranslate()
{
    m_word = wordFor(m_slot.state);
    QStringList about{serialText(), m_slot.reason, footText()};
    about.removeAll(QString());
    setAccessibleName(tr("Slot %1: %2").arg(m_slot.number).arg(m_word));
    setAccessibleDescription(about.join(QStringLiteral(". ")));
    setToolTip(m_slot.reason);
}

void SlotTile::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

QSize SlotTile::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 26, metrics.height() * 9};
}

QSize SlotTile::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * 18, metrics.height() * 7};
}

void SlotTile::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Look look = lookOf(m_slot.state);
    const QRectF frame = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.fillRect(rect(), palette().window());
    painter.setPen(QPen(look.text, m_slot.state == SlotState::Failed ? 4 : 1.5));
    painter.setBrush(look.fill);
    painter.drawRoundedRect(frame, 6, 6);
    if (m_slot.state == SlotState::Failed) {
        painter.setBrush(QBrush(look.fill.darker(130), Qt::BDiagPattern));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(frame, 6, 6);
    }
    const qreal margin = QFontMetricsF(font()).height() * 0.5;
    QRectF area = frame.adjusted(margin, margin * 0.6, -margin, -margin * 0.6);
    painter.setPen(look.text);
    paintHead(painter, area, int(look.mark), look.text);
    paintSerial(painter, area);
    paintFoot(painter, area);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(4, 4, -4, -4);
        option.backgroundColor = look.fill;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void SlotTile::paintHead(QPainter &painter, QRectF &area, int mark, const QColor &color) const
{
    const QFont small = font();
    const qreal smallHeight = QFontMetricsF(small).height();
    const QRectF line(area.topLeft(), QSizeF(area.width(), smallHeight));
    painter.setFont(small);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, tr("Slot %1").arg(m_slot.number));
    if (m_slot.attempt > 1) {
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                         tr("Attempt %1").arg(m_slot.attempt));
    }
    area.setTop(area.top() + smallHeight);

    const qreal markSide = QFontMetricsF(scaled(small, 2.2, true)).height();
    const bool marked = Mark(mark) != Mark::None;
    const QFont big = fitting(small, 2.2, m_word, area.width() - (marked ? 1.3 * markSide : 0));
    const qreal bigHeight = std::max(QFontMetricsF(big).height(), markSide);
    painter.setFont(big);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), bigHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, m_word);
    drawMark(painter, Mark(mark), QRectF(area.right() - markSide, area.top(), markSide, markSide),
             color);
    area.setTop(area.top() + bigHeight);
}

// The serial number is shown whole: in smaller type, then wrapped, never cut.
void SlotTile::paintSerial(QPainter &painter, QRectF &area) const
{
    const QString serial = serialText();
    const QFont serialFont = fitting(font(), 1.5, serial, area.width(), 0.8);
    painter.setFont(serialFont);
    const QRectF needed =
        QFontMetricsF(serialFont)
            .boundingRect(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, serial);
    QTextOption wrap(Qt::AlignLeft | Qt::AlignTop);
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), needed.height()), serial, wrap);
    area.setTop(area.top() + needed.height() + QFontMetricsF(font()).height() * 0.2);
}

// The reason in what room is left, and the time on the last line.
void SlotTile::paintFoot(QPainter &painter, QRectF &area) const
{
    const QFont small = font();
    // The time under way, large: the line watches it grow.
    const QFont footFont = m_elapsedMs >= 0 ? scaled(small, 1.5, true) : small;
    const qreal footHeight = QFontMetricsF(footFont).height();
    painter.setFont(footFont);
    QString foot = footText();
    // Narrow tiles in large type keep the time, not the words before it.
    if (QFontMetricsF(footFont).horizontalAdvance(foot) > area.width() &&
        m_slot.lastResultTime.isValid() && m_elapsedMs < 0)
        foot = m_slot.lastResultTime.toString(QStringLiteral("HH:mm:ss"));
    const QRectF footBox(area.left(), area.bottom() - footHeight, area.width(), footHeight);
    painter.drawText(footBox, Qt::AlignLeft | Qt::AlignVCenter, foot);
    area.setBottom(footBox.top());
    painter.setFont(small);
    if (!m_slot.reason.isEmpty())
        drawWrapped(painter, area, m_slot.reason);
}
