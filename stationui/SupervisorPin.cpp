#include "stationui/SupervisorPin.h"

#include <QCoreApplication>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>

namespace {

const QString kScheme = QStringLiteral("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kKeyBytes = 32;

QByteArray derive(const QString &pin, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, pin.toUtf8(), salt,
                                              iterations, kKeyBytes);
}

// Compares in a time that does not tell how many leading bytes matched.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

} // namespace

namespace SupervisorPin {

QString hash(const QString &pin)
{
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(salt.data()),
                                          kSaltBytes / sizeof(quint32));
    return hash(pin, salt, kIterations);
}

QString hash(const QString &pin, const QByteArray &salt, int iterations)
{
    return QStringLiteral("%1$%2$%3$%4")
        .arg(kScheme)
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toHex()),
             QString::fromLatin1(derive(pin, salt, iterations).toHex()));
}

bool verify(const QString &stored, const QString &pin)
{
    const QStringList parts = stored.split(QLatin1Char('$'));
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    // A hash of fewer iterations than ours is weaker than we write; one of
    // far more would hang the check.
    if (!ok || iterations < 1000 || iterations > 10 * kIterations)
        return false;
    const QByteArray salt = QByteArray::fromHex(parts[2].toLatin1());
    const QByteArray key = QByteArray::fromHex(parts[3].toLatin1());
    if (salt.size() < 8 || key.size() != kKeyBytes)
        return false;
    return sameBytes(derive(pin, salt, iterations), key);
}

QString refusal(const QString &pin)
{
    if (pin.size() < kMinLength) {
        return QCoreApplication::translate("SupervisorPin", "A PIN has at least %n character(s).",
                                           nullptr, kMinLength);
    }
    if (pin.trimmed() != pin) {
        return QCoreApplication::translate("SupervisorPin",
                                           "A PIN does not start or end with a blank.");
    }
    return {};
}

} // namespace SupervisorPin

qint64 PinGate::delayAfter(int failures)
{
    if (failures <= kFreeTries)
        return 0;
    // 2 s, 4 s, 8 s, ... up to five minutes.
    const int doublings = std::min(failures - kFreeTries - 1, 20);
    return std::min<qint64>(qint64(2000) << doublings, kMaxDelayMs);
}

qint64 PinGate::waitMs(qint64 nowMs) const
{
    return std::clamp<qint64>(m_state.notBeforeMs - nowMs, 0, delayAfter(m_state.failures));
}

PinGate::Outcome PinGate::record(bool right, qint64 nowMs)
{
    // The clock was set back: the wait runs from now, or it would last
    // until the clock caught up.
    if (const qint64 delay = delayAfter(m_state.failures); m_state.notBeforeMs - nowMs > delay)
        m_state.notBeforeMs = nowMs + delay;
    if (const qint64 wait = waitMs(nowMs); wait > 0)
        return {Verdict::TooSoon, wait};
    if (right) {
        m_state = {};
        return {Verdict::Accepted, 0};
    }
    ++m_state.failures;
    const qint64 delay = delayAfter(m_state.failures);
    m_state.notBeforeMs = nowMs + delay;
    return {Verdict::Refused, delay};
}
