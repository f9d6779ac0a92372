#pragma once

#include "stationui/RunBoard.h"

#include <QColor>
#include <QRectF>
#include <QWidget>

class QPainter;

// One slot of the run, drawn large enough to be read from two metres: its
// state as a word and a colour, and a mark that is not colour alone (a tick
// for PASS, a cross and hatching for FAIL), the unit's serial number whole,
// how long it has been under way, why it failed, and when its last result
// came. It keeps keyboard focus like a button, and says all of it to screen
// readers.
class SlotTile final : public QWidget
{
    Q_OBJECT

public:
    explicit SlotTile(QWidget *parent = nullptr);

    // elapsedMs: how long the unit has been settling or configuring, or -1.
    void showSlot(const SlotStatus &slot, qint64 elapsedMs);

    [[nodiscard]] QString stateWord() const { return m_word; }
    [[nodiscard]] QColor background() const;
    [[nodiscard]] SlotState state() const { return m_slot.state; }

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

    // The word for a state, in the window's language.
    [[nodiscard]] static QString wordFor(SlotState state);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    [[nodiscard]] QString serialText() const;
    [[nodiscard]] QString footText() const;
    // Each draws its part at the top (the foot at the bottom) of area and
    // takes that part off it.
    void paintHead(QPainter &painter, QRectF &area, int mark, const QColor &color) const;
    void paintSerial(QPainter &painter, QRectF &area) const;
    void paintFoot(QPainter &painter, QRectF &area) const;

    SlotStatus m_slot;
    qint64 m_elapsedMs = -1;
    QString m_word;
};
