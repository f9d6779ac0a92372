#include "tools/SettingSender.h"

#include "protocol/SettingTransaction.h"
#include "serial/PortErrors.h"
#include "serial/SerialLink.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
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

QString owningGroup(const QByteArray &path)
{
    struct stat st = {};
    if (::stat(path.constData(), &st) != 0)
        return {};
    const group *g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString();
}
#endif

} // namespace

SettingSender::SettingSender(const SetArguments::Plan &plan, Output output, QObject *parent)
    : QObject(parent), m_plan(plan), m_output(output)
{
}

SettingSender::~SettingSender() = default;

void SettingSender::start()
{
    // From the event loop: an exit requested before the loop runs would be lost.
    QMetaObject::invokeMethod(
        this,
        [this] {
#ifdef Q_OS_UNIX
            // On Windows a device is COMn, which is no file; opening it tells.
            const QByteArray path = QFile::encodeName(m_plan.device);
            struct stat st = {};
            if (::stat(path.constData(), &st) != 0) {
                const int error = errno;
                complain(
                    QStringLiteral("Cannot open %1: %2.").arg(m_plan.device, systemError(error)));
                finish(ExitCode::kPortError);
                return;
            }
            if (!S_ISCHR(st.st_mode)) {
                complain(QStringLiteral("Cannot open %1: it is not a serial device.")
                             .arg(m_plan.device));
                finish(ExitCode::kPortError);
                return;
            }
#endif

            m_link = std::make_unique<SerialLink>(
                std::make_unique<ListedPortCatalog>(QList<PortEntry>{{m_plan.device, QString()}}));
            m_transaction = std::make_unique<SettingTransaction>(*m_link);
            m_transaction->setTimeoutInterval(m_plan.waitMs);
            connect(m_link.get(), &SerialLink::chunkReceived, this, &SettingSender::onChunk);
            connect(m_link.get(), &SerialLink::portLost, this, &SettingSender::onPortLost);
            connect(m_transaction.get(), &SettingTransaction::timedOut, this,
                    &SettingSender::onTimedOut);

            QString error;
            if (!m_link->open(kPortNumber, &error)) {
                complain(openFailure(error));
                finish(ExitCode::kPortError);
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
        trace(QStringLiteral("-> ") + SetArguments::frameHex(frame));
        return;
    case SettingTransaction::SendResult::WriteFailed:
        complain(withPath(outcome.error));
        break;
    case SettingTransaction::SendResult::PortClosed:
    case SettingTransaction::SendResult::OverRange:
        complain(QStringLiteral("Cannot write to %1: the port is closed.").arg(m_plan.device));
        break;
    }
    finish(ExitCode::kPortError);
}

void SettingSender::onChunk(const QByteArray &chunk)
{
    trace(QStringLiteral("<- ") + QString::fromLatin1(chunk.toHex(' ').toUpper()));
    bool acknowledged = false;
    // Only the acknowledgement matters here; the rest was traced above.
    (void)m_transaction->takeChunk(chunk, &acknowledged);
    // An acknowledgement counts only for a frame that awaits one.
    if (!acknowledged || !m_waiting || m_finished)
        return;
    m_waiting = false;
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
    say(QStringLiteral("Setting Fail !!"));
    complain(
        QStringLiteral("No acknowledgement (55 AA) for the %1 frame came from %2 within %3 ms.")
            .arg(SetArguments::pageName(m_plan.frames.at(m_next).page), m_plan.device)
            .arg(m_plan.waitMs));
    finish(ExitCode::kNoAcknowledgement);
}

void SettingSender::onPortLost(const QString &reason)
{
    if (m_finished)
        return;
    complain(withPath(reason));
    finish(ExitCode::kPortError);
}

void SettingSender::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
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

// The link names a device as the window's port number; here it is the path
// the operator typed.
QString SettingSender::withPath(QString text) const
{
    return text.replace(PortErrors::deviceName(kPortNumber, m_plan.device), m_plan.device);
}

QString SettingSender::openFailure(const QString &linkError) const
{
    QString text = withPath(linkError);
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(m_plan.device);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        QString group = owningGroup(path);
        if (group.isEmpty() || group == QLatin1String("root"))
            group = QStringLiteral("dialout");
        text += QStringLiteral("\nAdd your user to the group that owns the device, for example: "
                               "sudo usermod -aG %1 $USER\nthen log out and in again.")
                    .arg(group);
    }
#endif
    return text;
}
