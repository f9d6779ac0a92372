#include "app/StatusLight.h"

#include <QLabel>
#include <QPainter>

namespace {

// Drawn rather than shipped, so the discs stay sharp at any screen scale.
QPixmap disc(const QColor &color, qreal devicePixelRatio)
{
    const int side = qRound(16 * devicePixelRatio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color.darker(160), devicePixelRatio));
    painter.setBrush(color);
    painter.drawEllipse(QRectF(1, 1, side - 2, side - 2).adjusted(0.5, 0.5, -0.5, -0.5));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QLabel *makeDisc(const QString &name, const QString &toolTip, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setToolTip(toolTip);
    // The discs are the only sign of the port state besides the toggle's caption.
    label->setAccessibleName(toolTip);
    label->setPixmap(disc(color, parent->devicePixelRatioF()));
    return label;
}

} // namespace

StatusLight::StatusLight(QWidget *parent) : QStackedWidget(parent)
{
    imgNotConnected = makeDisc(QStringLiteral("imgNotConnected"), QStringLiteral("ComPort 關閉"),
                               QColor(220, 30, 30), this);
    imgConnected = makeDisc(QStringLiteral("imgConnected"), QStringLiteral("ComPort 打開"),
                            QColor(30, 190, 50), this);
    addWidget(imgNotConnected);
    addWidget(imgConnected);
    setFixedSize(16, 16);
}

void StatusLight::setConnected(bool connected)
{
    setCurrentWidget(connected ? imgConnected : imgNotConnected);
}
