#include "tools/DongleEmulator.h"

#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

using namespace SettingCodec;

namespace {

// "7 data bits" for a known code, "data bits code 3?" for one the tool never sends.
QString field(const ListTable &table, unsigned value, const QString &known, const QString &label)
{
    for (const ListItem &item : table.items) {
        if (item.value == value) {
            const QString text =
                QString::fromLatin1(item.text.data(), qsizetype(item.text.size())).trimmed();
            return known.arg(text);
        }
    }
    return QStringLiteral("%1 code %2?").arg(label).arg(value);
}

unsigned word(const ConfigFrame &f, std::size_t low)
{
    return unsigned(f[low]) | unsigned(f[low + 1]) << 8;
}

QString describeGeneral(const ConfigFrame &f)
{
    const unsigned format = f[4];
    QStringList parts{
        field(baudrate, f[3], QStringLiteral("baud %1"), QStringLiteral("baud")),
        field(DataBit, format & 0x03u, QStringLiteral("%1 data bits"), QStringLiteral("data bits")),
        field(ParityBit, format & 0x0Cu, QStringLiteral("%1"), QStringLiteral("parity")),
        field(StopBit, format & 0x10u, QStringLiteral("%1 stop bits"), QStringLiteral("stop bits")),
        QStringLiteral("timeout %1 ms").arg(word(f, 5)),
        field(DataRate, f[7], QStringLiteral("rate %1"), QStringLiteral("rate")),
        QStringLiteral("channel %1").arg(f[9]),
        field(RF_Power, f[10], QStringLiteral("%1"), QStringLiteral("power")),
        QStringLiteral("length %1").arg(f[11]),
    };
    if (format & ~0x1Fu)
        parts.append(QStringLiteral("format byte 0x%1 has unknown bits")
                         .arg(format, 2, 16, QLatin1Char('0')));
    if (f[8] != kGeneralFixedByte8)
        parts.append(QStringLiteral("byte 8 is %1, not %2").arg(f[8]).arg(kGeneralFixedByte8));
    return QStringLiteral("General: ") + parts.join(QStringLiteral(", "));
}

QString describePair(const ConfigFrame &f)
{
    QString text =
        QStringLiteral("Pair: %1, master %2.%3.%4, slave %5.%6.%7")
            .arg(field(PairMode, f[3], QStringLiteral("mode %1"), QStringLiteral("mode")))
            .arg(f[5])
            .arg(f[6])
            .arg(f[7])
            .arg(f[9])
            .arg(f[10])
            .arg(f[11]);
    if (f[4] != kPairSeparator || f[8] != kPairSeparator)
        text +=
            QStringLiteral(", separators %1 %2 (expected 54)").arg(f[4], 2, 16).arg(f[8], 2, 16);
    return text;
}

QString describeReceiveTimeout(const ConfigFrame &f)
{
    QString text = QStringLiteral("Receive timeout: %1 ms").arg(word(f, 3));
    for (std::size_t i = 5; i < f.size(); ++i) {
        if (f[i] != 0) {
            text += QStringLiteral(", byte %1 is %2, not 0").arg(i).arg(f[i]);
            break;
        }
    }
    return text;
}

} // namespace

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString describeFrame(const ConfigFrame &frame)
{
    switch (frame[2]) {
    case kGeneralCommand:
        return describeGeneral(frame);
    case kPairCommand:
        return describePair(frame);
    case kReceiveTimeoutCommand:
        return describeReceiveTimeout(frame);
    default:
        return QStringLiteral("Unknown command 0x%1: %2")
            .arg(frame[2], 2, 16, QLatin1Char('0'))
            .arg(hexBytes(
                QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()))));
    }
}

DongleEmulator::DongleEmulator(int fd, DongleOptions options, QObject *parent)
    : QObject(parent), m_fd(fd), m_options(std::move(options)),
      m_notifier(new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &DongleEmulator::onReadable);
}

bool DongleEmulator::send(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

void DongleEmulator::onReadable()
{
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0) {
        m_received.append(buffer, n);
        m_unparsed.append(buffer, n);
        takeFrames();
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    // End of file or EIO: nobody holds the other side any more.
    m_notifier->setEnabled(false);
    emit lineClosed();
}

void DongleEmulator::takeFrames()
{
    static const QByteArray header{"\x98\x95", 2};
    for (;;) {
        const qsizetype start = m_unparsed.indexOf(header);
        if (start < 0) {
            // Keep a trailing first header byte: its partner may be on the way.
            const qsizetype keep = m_unparsed.endsWith(header.front()) ? 1 : 0;
            if (m_unparsed.size() > keep) {
                emit bytesSkipped(m_unparsed.left(m_unparsed.size() - keep));
                m_unparsed.remove(0, m_unparsed.size() - keep);
            }
            return;
        }
        if (start > 0) {
            emit bytesSkipped(m_unparsed.left(start));
            m_unparsed.remove(0, start);
        }
        ConfigFrame frame{};
        if (m_unparsed.size() < qsizetype(frame.size()))
            return;
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = std::uint8_t(m_unparsed.at(qsizetype(i)));
        m_unparsed.remove(0, qsizetype(frame.size()));
        m_frames.append(frame);
        emit frameDecoded(describeFrame(frame));
        // The dongle acknowledges only frames it takes.
        const bool known = frame[2] == kGeneralCommand || frame[2] == kPairCommand ||
                           frame[2] == kReceiveTimeoutCommand;
        if (m_options.silent || !known)
            continue;
        if (m_options.delayMs > 0)
            QTimer::singleShot(m_options.delayMs, this, &DongleEmulator::answer);
        else
            answer();
    }
}

void DongleEmulator::answer()
{
    const QByteArray reply = m_options.reply;
    if (m_options.splitMs < 0 || reply.size() < 2) {
        send(reply);
        emit replied(reply);
        return;
    }
    send(reply.left(1));
    emit replied(reply.left(1));
    QTimer::singleShot(m_options.splitMs, this, [this, rest = reply.mid(1)] {
        send(rest);
        emit replied(rest);
    });
}
