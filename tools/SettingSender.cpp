#include "tools/SettingSender.h"

#include "protocol/SettingTransaction.h"
#include "serial/DeviceFacts.h"
#include "serial/SerialLink.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using SetArguments::ExitCode;

namespace {

// The device of the command line is the one entry, port number 1, of the
// link's catalog.
constexpr int kPortNumber = 1;

#ifdef Q_OS_UNIX
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
#endif

} // namespace

SettingSender::SettingSender(const SetArguments::Plan &plan, const QString &device, Output output,
                             QObject *parent)
    : QObject(parent), m_plan(plan), m_device(device), m_output(output)
{
}

SettingSender::~SettingSender() = default;

void SettingSender::start()
{
    // From the event loop: an exit requested before the loop runs would be lost.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_clock.start();
#ifdef Q_OS_UNIX
            // On Windows a device is COMn, which is no file; opening it tells.
            const QByteArray path = QFile::encodeName(m_device);
            struct stat st = {};
            if (::stat(path.constData(), &st) != 0) {
                const int error = errno;
                fail(Outcome::Result::PortError,
                     QStringLiteral("Cannot open %1: %2.").arg(m_device, systemError(error)),
                     ExitCode::kPortError);
                return;
            }
            if (!S_ISCHR(st.st_mode)) {
                fail(Outcome::Result::PortError,
                     QStringLiteral("Cannot open %1: it is not a serial device.").arg(m_device),
                     ExitCode::kPortError);
                return;
            }
#endif

            // Messages name the device as the operator typed it.
            PortEntry entry{m_device, QString()};
            entry.label = m_device;
            m_link = std::make_unique<SerialLink>(
                std::make_unique<FixedPortCatalog>(QList<PortEntry>{entry}));
            m_transaction = std::make_unique<SettingTransaction>(*m_link);
            m_transaction->setTimeoutInterval(m_plan.waitMs);
            connect(m_link.get(), &SerialLink::chunkReceived, this, &SettingSender::onChunk);
            connect(m_link.get(), &SerialLink::portLost, this, &SettingSender::onPortLost);
            connect(m_transaction.get(), &SettingTransaction::timedOut, this,
                    &SettingSender::onTimedOut);

            QString error;
            if (!m_link->open(kPortNumber, &error)) {
                fail(Outcome::Result::PortError, openFailure(error), ExitCode::kPortError);
                return;
            }
            sendNext();
        },
        Qt::QueuedConnection);
}

void SettingSender::sendNext()
{
    if (m_finished)
        return;
    if (m_next == m_plan.frames.size()) {
        finish(ExitCode::kAcknowledged);
        return;
    }
    const SettingCodec::ConfigFrame frame = m_plan.frames.at(m_next).frame;
    const SettingTransaction::SendOutcome outcome =
        m_transaction->send([frame] { return std::optional(frame); });
    switch (outcome.result) {
    case SettingTransaction::SendResult::Sent:
        m_waiting = true;
        m_answeredThisFrame = false;
        m_outcome.sent.append(
            QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size())));
        trace(QStringLiteral("-> ") + SetArguments::frameHex(frame));
        return;
    case SettingTransaction::SendResult::WriteFailed:
        fail(Outcome::Result::PortError, outcome.error, ExitCode::kPortError);
        return;
    case SettingTransaction::SendResult::PortClosed:
    case SettingTransaction::SendResult::OverRange:
        break;
    }
    fail(Outcome::Result::PortError,
         QStringLiteral("Cannot write to %1: the port is closed.").arg(m_device),
         ExitCode::kPortError);
}

void SettingSender::onChunk(const QByteArray &chunk)
{
    trace(QStringLiteral("<- ") + QString::fromLatin1(chunk.toHex(' ').toUpper()));
    m_outcome.received.append(chunk);
    m_answeredThisFrame = true;
    bool acknowledged = false;
    // Only the acknowledgement matters here; the rest was traced above.
    (void)m_transaction->takeChunk(chunk, &acknowledged);
    // An acknowledgement counts only for a frame that awaits one.
    if (!acknowledged || !m_waiting || m_finished)
        return;
    m_waiting = false;
    if (m_output.frameLines)
        say(QStringLiteral("Setting OK !!"));
    ++m_next;
    // Not from inside the link's delivery of this chunk.
    QMetaObject::invokeMethod(this, &SettingSender::sendNext, Qt::QueuedConnection);
}

void SettingSender::onTimedOut()
{
    if (m_finished)
        return;
    m_waiting = false;
    if (m_output.frameLines)
        say(QStringLiteral("Setting Fail !!"));
    fail(m_answeredThisFrame ? Outcome::Result::WrongAnswer : Outcome::Result::NoAnswer,
         QStringLiteral("No acknowledgement (55 AA) for the %1 frame came from %2 within %3 ms.")
             .arg(SetArguments::pageName(m_plan.frames.at(m_next).page), m_device)
             .arg(m_plan.waitMs),
         ExitCode::kNoAcknowledgement);
}

void SettingSender::onPortLost(const QString &reason)
{
    if (m_finished)
        return;
    fail(Outcome::Result::PortError, reason, ExitCode::kPortError);
}

void SettingSender::fail(Outcome::Result result, const QString &reason, int exitCode)
{
    if (m_finished)
        return;
    complain(reason);
    m_outcome.result = result;
    m_outcome.reason = reason;
    finish(exitCode);
}

void SettingSender::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    m_outcome.elapsedMs = m_clock.elapsed();
    if (m_link)
        m_link->close();
    emit finished(exitCode);
}

void SettingSender::say(const QString &line)
{
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), m_output.out);
    std::fflush(m_output.out);
}

void SettingSender::complain(const QString &text)
{
    std::fputs(
        (QStringLiteral("vantrel-set: ") + text + QLatin1Char('\n')).toLocal8Bit().constData(),
        m_output.err);
    std::fflush(m_output.err);
}

void SettingSender::trace(const QString &line)
{
    if (!m_plan.verbose)
        return;
    std::fputs((line + QLatin1Char('\n')).toLocal8Bit().constData(), m_output.err);
    std::fflush(m_output.err);
}

QString SettingSender::openFailure(const QString &linkError) const
{
    QString text = linkError;
    if (DeviceFacts::accessDenied(m_device)) {
        QString group = DeviceFacts::owningGroup(m_device);
        if (group.isEmpty() || group == QLatin1String("root"))
            group = QStringLiteral("dialout");
        text += QStringLiteral("\nAdd your user to the group that owns the device, for example: "
                               "sudo usermod -aG %1 $USER\nthen log out and in again.")
                    .arg(group);
    }
    return text;
}
