#include "station/UnitExchange.h"

#include "protocol/ByteText.h"
#include "protocol/SettingTransaction.h"
#include "serial/DeviceFacts.h"
#include "serial/SerialLink.h"
#include "station/ExitStatus.h"

namespace {

// The device of the command line is the one entry, port number 1, of the
// link's catalog.
constexpr int kPortNumber = 1;

} // namespace

UnitExchange::UnitExchange(const RunPlan &plan, const QString &device, Console console,
                           bool frameLines, QObject *parent)
    : QObject(parent), m_plan(plan), m_device(device), m_console(console), m_frameLines(frameLines)
{
}

UnitExchange::~UnitExchange() = default;

void UnitExchange::start()
{
    // From the event loop: an exit requested before the loop runs would be lost.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_clock.start();
            const QString notADevice = DeviceFacts::whyNotADevice(m_device);
            if (!notADevice.isEmpty()) {
                fail(Outcome::Result::PortError, notADevice, ExitStatus::kPortError);
                return;
            }

            // Messages name the device as the operator typed it.
            PortEntry entry{m_device, QString()};
            entry.label = m_device;
            m_link = std::make_unique<SerialLink>(
                std::make_unique<FixedPortCatalog>(QList<PortEntry>{entry}));
            m_transaction = std::make_unique<SettingTransaction>(*m_link);
            m_transaction->setTimeoutInterval(m_plan.waitMs);
            connect(m_link.get(), &SerialLink::chunkReceived, this, &UnitExchange::onChunk);
            connect(m_link.get(), &SerialLink::portLost, this, &UnitExchange::onPortLost);
            connect(m_transaction.get(), &SettingTransaction::timedOut, this,
                    &UnitExchange::onTimedOut);

            m_link->setAudience(PortErrors::Audience::CommandLine);
            QString error;
            PortErrors::OpenFailure failure = PortErrors::OpenFailure::Other;
            if (!m_link->open(kPortNumber, &error, &failure)) {
                fail(failure == PortErrors::OpenFailure::Busy ? Outcome::Result::Busy
                                                              : Outcome::Result::PortError,
                     openFailure(error), ExitStatus::kPortError);
                return;
            }
            // Only what answers this run's frames counts: a late answer to an
            // earlier exchange may be waiting in the line.
            m_link->discardInput();
            sendNext();
        },
        Qt::QueuedConnection);
}

void UnitExchange::sendNext()
{
    if (m_finished)
        return;
    if (m_next == m_plan.frames.size()) {
        finish(ExitStatus::kAcknowledged);
        return;
    }
    const SettingCodec::ConfigFrame frame = m_plan.frames.at(m_next).frame;
    const SettingTransaction::SendOutcome outcome =
        m_transaction->send([frame] { return std::optional(frame); });
    switch (outcome.result) {
    case SettingTransaction::SendResult::Sent:
        m_waiting = true;
        m_answeredThisFrame = false;
        m_outcome.sent.append(frameBytes(frame));
        trace(QStringLiteral("-> ") + spacedHex(frame));
        return;
    case SettingTransaction::SendResult::WriteFailed:
        fail(Outcome::Result::PortError, outcome.error, ExitStatus::kPortError);
        return;
    case SettingTransaction::SendResult::PortClosed:
    case SettingTransaction::SendResult::OverRange:
        break;
    }
    fail(Outcome::Result::PortError,
         QStringLiteral("Cannot write to %1: the port is closed.").arg(m_device),
         ExitStatus::kPortError);
}

void UnitExchange::onChunk(const QByteArray &chunk)
{
    trace(QStringLiteral("<- ") + spacedHex(chunk));
    m_outcome.received.append(chunk);
    m_answeredThisFrame = true;
    bool acknowledged = false;
    // Only the acknowledgement matters here; the rest was traced above.
    (void)m_transaction->takeChunk(chunk, &acknowledged);
    // An acknowledgement counts only for a frame that awaits one.
    if (!acknowledged || !m_waiting || m_finished)
        return;
    m_waiting = false;
    if (m_frameLines)
        m_console.say(QStringLiteral("Setting OK !!"));
    ++m_next;
    // Not from inside the link's delivery of this chunk.
    QMetaObject::invokeMethod(this, &UnitExchange::sendNext, Qt::QueuedConnection);
}

void UnitExchange::onTimedOut()
{
    if (m_finished)
        return;
    m_waiting = false;
    if (m_frameLines)
        m_console.say(QStringLiteral("Setting Fail !!"));
    fail(m_answeredThisFrame ? Outcome::Result::WrongAnswer : Outcome::Result::NoAnswer,
         QStringLiteral("No acknowledgement (55 AA) for the %1 frame came from %2 within %3 ms.")
             .arg(pageName(m_plan.frames.at(m_next).page), m_device)
             .arg(m_plan.waitMs),
         ExitStatus::kNoAcknowledgement);
}

void UnitExchange::onPortLost(const QString &reason)
{
    if (m_finished)
        return;
    fail(Outcome::Result::PortError, reason, ExitStatus::kPortError);
}

void UnitExchange::fail(Outcome::Result result, const QString &reason, int exitCode)
{
    if (m_finished)
        return;
    m_console.complain(reason);
    m_outcome.result = result;
    m_outcome.reason = reason;
    finish(exitCode);
}

void UnitExchange::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    m_outcome.elapsedMs = m_clock.elapsed();
    if (m_link)
        m_link->close();
    emit finished(exitCode);
}

void UnitExchange::trace(const QString &line)
{
    if (!m_plan.verbose)
        return;
    // Among several devices, each line says whose it is.
    m_console.trace(m_frameLines ? line : QStringLiteral("%1: %2").arg(m_device, line));
}

QString UnitExchange::openFailure(const QString &linkError) const
{
    QString text = linkError;
    if (DeviceFacts::accessDenied(m_device))
        text += QLatin1Char('\n') + PortErrors::joinGroupHint(DeviceFacts::owningGroup(m_device));
    return text;
}
