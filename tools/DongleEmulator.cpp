#include "tools/DongleEmulator.h"

#include "protocol/ByteText.h"
#include "serial/PseudoTerminal.h"

#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <cerrno>
#include <unistd.h>

using namespace SettingCodec;

namespace {

// "7 data bits" for a known code, "data bits code 3?" for one the tool never sends.
QString field(const ListTable &table, unsigned value, const QString &known, const QString &label)
{
    if (const ListItem *item = table.itemOf(value)) {
        return known.arg(toQString(item->text).trimmed());
    }
    return QStringLiteral("%1 code %2?").arg(label).arg(value);
}

QString describe(const GeneralFields &g)
{
    QStringList parts{
        field(baudrate, g.baudrate, QStringLiteral("baud %1"), QStringLiteral("baud")),
        field(DataBit, g.dataBit, QStringLiteral("%1 data bits"), QStringLiteral("data bits")),
        field(ParityBit, g.parityBit, QStringLiteral("%1"), QStringLiteral("parity")),
        field(StopBit, g.stopBit, QStringLiteral("%1 stop bits"), QStringLiteral("stop bits")),
        QStringLiteral("timeout %1 ms").arg(g.timeOut),
        field(DataRate, g.dataRate, QStringLiteral("rate %1"), QStringLiteral("rate")),
        QStringLiteral("channel %1").arg(g.rfChannel),
        field(RF_Power, g.rfPower, QStringLiteral("%1"), QStringLiteral("power")),
        QStringLiteral("length %1").arg(g.dataLength),
    };
    if (g.unknownFormatBits != 0) {
        const unsigned format = g.unknownFormatBits | g.dataBit | g.parityBit | g.stopBit;
        parts.append(QStringLiteral("format byte 0x%1 has unknown bits")
                         .arg(format, 2, 16, QLatin1Char('0')));
    }
    if (g.wrongFixedByte) {
        parts.append(
            QStringLiteral("byte 8 is %1, not %2").arg(*g.wrongFixedByte).arg(kGeneralFixedByte8));
    }
    return QStringLiteral("General: ") + parts.join(QStringLiteral(", "));
}

QString describe(const PairFields &p)
{
    QString text =
        QStringLiteral("Pair: %1, master %2.%3.%4, slave %5.%6.%7")
            .arg(field(PairMode, p.pairMode, QStringLiteral("mode %1"), QStringLiteral("mode")))
            .arg(p.masterIds[0])
            .arg(p.masterIds[1])
            .arg(p.masterIds[2])
            .arg(p.slaveIds[0])
            .arg(p.slaveIds[1])
            .arg(p.slaveIds[2]);
    if (p.wrongSeparators) {
        text += QStringLiteral(", separators %1 %2 (expected 54)")
                    .arg((*p.wrongSeparators)[0], 2, 16)
                    .arg((*p.wrongSeparators)[1], 2, 16);
    }
    return text;
}

QString describe(const ReceiveTimeoutFields &r)
{
    QString text = QStringLiteral("Receive timeout: %1 ms").arg(r.receiveTimeout);
    if (r.firstNonZero) {
        text += QStringLiteral(", byte %1 is %2, not 0")
                    .arg(r.firstNonZero->position)
                    .arg(r.firstNonZero->value);
    }
    return text;
}

} // namespace

QString describeFrame(const ConfigFrame &frame)
{
    const DecodedFrame decoded = decodeFrame(frame);
    if (const auto *general = std::get_if<GeneralFields>(&decoded))
        return describe(*general);
    if (const auto *pair = std::get_if<PairFields>(&decoded))
        return describe(*pair);
    if (const auto *receiveTimeout = std::get_if<ReceiveTimeoutFields>(&decoded))
        return describe(*receiveTimeout);
    return QStringLiteral("Unknown command 0x%1: %2")
        .arg(std::get<UnknownCommand>(decoded).command, 2, 16, QLatin1Char('0'))
        .arg(spacedHex(frame));
}

DongleEmulator::DongleEmulator(int fd, DongleOptions options, QObject *parent)
    : QObject(parent), m_fd(fd), m_options(std::move(options)),
      m_notifier(new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this))
{
    connect(m_notifier, &QSocketNotifier::activated, this, &DongleEmulator::onReadable);
    applyNoise();
}

void DongleEmulator::setOptions(const DongleOptions &options)
{
    m_options = options;
    applyNoise();
}

bool DongleEmulator::send(const QByteArray &bytes)
{
    return writeAll(m_fd, bytes);
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
        const bool known = !std::holds_alternative<UnknownCommand>(decodeFrame(frame));
        if (m_options.silent || !known || !answersFrame(m_frames.size()))
            continue;
        if (m_options.delayMs > 0)
            QTimer::singleShot(m_options.delayMs, this, &DongleEmulator::answer);
        else
            answer();
    }
}

void DongleEmulator::answer()
{
    answerAgainLater();
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

bool DongleEmulator::answersFrame(qsizetype number) const
{
    return m_options.onlyFrame <= 0 || number == m_options.onlyFrame;
}

// A dongle that repeats itself: the second answer must not be taken for the
// answer to the next frame.
void DongleEmulator::answerAgainLater()
{
    if (m_options.repeatMs < 0)
        return;
    QTimer::singleShot(m_options.repeatMs, this, [this, reply = m_options.reply] {
        send(reply);
        emit replied(reply);
    });
}

void DongleEmulator::applyNoise()
{
    if (m_options.noiseMs <= 0) {
        if (m_noise)
            m_noise->stop();
        return;
    }
    if (!m_noise) {
        m_noise = new QTimer(this);
        connect(m_noise, &QTimer::timeout, this, &DongleEmulator::sendNoise);
    }
    m_noise->start(m_options.noiseMs);
}

void DongleEmulator::sendNoise()
{
    // Without waiting: noise on a line nobody reads is lost, as on a UART.
    (void)!::write(m_fd, ".", 1);
}
