#include "protocol/SettingTransaction.h"

#include <QTimer>

namespace {

constexpr int kAckTimeoutMs = 2500;
constexpr char kAck0 = char(0x55);
constexpr char kAck1 = char(0xAA);

} // namespace

SettingTransaction::SettingTransaction(FrameLink &link, QObject *parent)
    : QObject(parent), m_link(link), Timer3(new QTimer(this))
{
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(kAckTimeoutMs);
    // A coarse timer may tick up to 5% early.
    Timer3->setTimerType(Qt::PreciseTimer);
    connect(Timer3, &QTimer::timeout, this, &SettingTransaction::onTimer3);
}

SettingTransaction::SendOutcome SettingTransaction::send(const FrameBuilder &build)
{
    if (!m_link.isOpen())
        return {SendResult::PortClosed, {}};
    const std::optional<SettingCodec::ConfigFrame> frame = build();
    if (!frame)
        return {SendResult::OverRange, {}};
    QByteArray released = releaseHeld();
    QString error;
    if (!m_link.writeFrame(*frame, &error))
        return {SendResult::WriteFailed, error, std::move(released)};
    Timer3->start();
    return {SendResult::Sent, {}, std::move(released)};
}

QByteArray SettingTransaction::takeChunk(QByteArray chunk, bool *acknowledged)
{
    *acknowledged = false;
    if (chunk.isEmpty())
        return chunk;

    QByteArray out;
    if (m_holding) {
        m_holding = false;
        if (chunk.front() == kAck1) {
            Timer3->stop();
            *acknowledged = true;
            chunk[0] = 0;
            return QByteArray(1, 0) + chunk;
        }
        out.append(kAck0);
    }

    if (chunk.size() >= 2 && chunk.at(0) == kAck0 && chunk.at(1) == kAck1) {
        Timer3->stop();
        *acknowledged = true;
        chunk[0] = 0;
        chunk[1] = 0;
    } else if (chunk.size() == 1 && chunk.front() == kAck0 && isWaiting()) {
        // The kernel hands bytes over as they arrive: the 0xAA may be next.
        m_holding = true;
        return out;
    }
    out.append(chunk);
    return out;
}

QByteArray SettingTransaction::releaseHeld()
{
    if (!m_holding)
        return {};
    m_holding = false;
    return QByteArray(1, kAck0);
}

bool SettingTransaction::isWaiting() const
{
    return Timer3->isActive();
}

void SettingTransaction::setTimeoutInterval(int milliseconds)
{
    Timer3->setInterval(milliseconds);
}

void SettingTransaction::onTimer3()
{
    // The tick and the line's data may be due in the same turn of the event
    // loop: an acknowledgement already in the line came before the deadline.
    m_link.deliverWaiting();
    if (!Timer3->isActive())
        return; // acknowledged by what was waiting
    Timer3->stop();
    emit timedOut();
}
