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
    // A coarse timer may fire up to 5% early: a window cut short would let
    // an earlier frame's answer through.
    for (QTimer *timer : {&m_phaseTimer, &m_quietLimitTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&m_phaseTimer, &QTimer::timeout, this, &UnitExchange::onPhaseTimer);
    connect(&m_quietLimitTimer, &QTimer::timeout, this, &UnitExchange::onNoisyLine);
}

UnitExchange::~UnitExchange() = default;

void UnitExchange::start()
{
    // From the event loop: an exit requested before the loop runs would be lost.
    QMetaObject::invokeMethod(this, &UnitExchange::begin, Qt::QueuedConnection);
}

void UnitExchange::begin()
{
    m_clock.start();
    const QString notADevice = DeviceFacts::whyNotADevice(m_device);
    if (!notADevice.isEmpty()) {
        fail(Outcome::Result::PortError, notADevice, ExitStatus::kPortError);
        return;
    }
    if (openDevice())
        settle();
}

bool UnitExchange::openDevice()
{
    // Messages name the device as the operator typed it.
    PortEntry entry{m_device, QString()};
    entry.label = m_device;
    m_link =
        std::make_unique<SerialLink>(std::make_unique<FixedPortCatalog>(QList<PortEntry>{entry}));
    m_transaction = std::make_unique<SettingTransaction>(*m_link);
    m_transaction->setTimeoutInterval(m_plan.waitMs);
    connect(m_link.get(), &SerialLink::chunkReceived, this, &UnitExchange::onChunk);
    connect(m_link.get(), &SerialLink::portLost, this, &UnitExchange::onPortLost);
    connect(m_transaction.get(), &SettingTransaction::timedOut, this, &UnitExchange::onTimedOut);

    m_link->setAudience(PortErrors::Audience::CommandLine);
    QString error;
    PortErrors::OpenFailure failure = PortErrors::OpenFailure::Other;
    if (!m_link->open(kPortNumber, &error, &failure)) {
        fail(failure == PortErrors::OpenFailure::Busy ? Outcome::Result::Busy
                                                      : Outcome::Result::PortError,
             openFailure(error), ExitStatus::kPortError);
        return false;
    }
    // By the device itself: the note reaches the next exchange with it,
    // whatever path that one names it by.
    m_unanswered = UnansweredFrame(DeviceFacts::deviceKey(m_device));
    return true;
}

// Before each frame: first the rest of the time an earlier frame's answer
// may still take, then the quiet window.
void UnitExchange::settle()
{
    if (m_finished)
        return;
    if (m_next == m_plan.frames.size()) {
        finish(ExitStatus::kAcknowledged);
        return;
    }
    const qint64 lateMs = m_unanswered.remainingMs(m_plan.lateMs);
    if (lateMs == 0) {
        startQuietWindow();
        return;
    }
    trace(
        QStringLiteral("waiting %1 ms: the answer to an earlier frame may still come").arg(lateMs));
    m_phase = Phase::LateWait;
    m_phaseTimer.start(int(lateMs));
}

void UnitExchange::startQuietWindow()
{
    m_phase = Phase::Quiet;
    m_quietLimitTimer.start(m_plan.quietLimitMs);
    m_phaseTimer.start(m_plan.quietMs);
}

void UnitExchange::onPhaseTimer()
{
    if (m_phase == Phase::LateWait)
        startQuietWindow();
    else if (m_phase == Phase::Quiet)
        onQuietWindowOver();
}

void UnitExchange::onQuietWindowOver()
{
    // Bytes already in the line came within the window: delivered, they
    // start it again.
    m_link->deliverWaiting();
    if (m_finished || m_phaseTimer.isActive())
        return;
    // Bytes the port has not read yet came within the window too.
    if (m_link->hasUnreadInput()) {
        m_phaseTimer.start(m_plan.quietMs);
        return;
    }
    m_quietLimitTimer.stop();
    sendFrame();
}

void UnitExchange::onNoisyLine()
{
    if (m_finished || m_phase != Phase::Quiet)
        return;
    if (m_frameLines)
        m_console.say(QStringLiteral("Setting Fail !!"));
    fail(Outcome::Result::NoisyLine,
         QStringLiteral("The %1 frame was not sent to %2: the line was not quiet for %3 ms "
                        "within %4 ms.")
             .arg(frameName(), m_device)
             .arg(m_plan.quietMs)
             .arg(m_plan.quietLimitMs),
         ExitStatus::kNoAcknowledgement);
}

void UnitExchange::sendFrame()
{
    const SettingCodec::ConfigFrame frame = m_plan.frames.at(m_next).frame;
    // Noted before it goes out: a program killed right after the write
    // leaves the note too.
    if (!m_unanswered.note(frameBytes(frame)))
        trace(QStringLiteral("the frame is not noted: %1").arg(m_unanswered.errorString()));
    const SettingTransaction::SendOutcome outcome =
        m_transaction->send([frame] { return std::optional(frame); });
    switch (outcome.result) {
    case SettingTransaction::SendResult::Sent:
        m_phase = Phase::Awaiting;
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
    switch (m_phase) {
    case Phase::Quiet:
        // It may be the middle of a message: the window starts again.
        m_phaseTimer.start(m_plan.quietMs);
        return;
    case Phase::Idle:
    case Phase::LateWait:
        return; // kept for the record; it answers nothing
    case Phase::Awaiting:
        break;
    }
    m_answeredThisFrame = true;
    bool acknowledged = false;
    // Only the acknowledgement matters here; the rest was traced above.
    (void)m_transaction->takeChunk(chunk, &acknowledged);
    if (acknowledged && !m_finished)
        onAcknowledged();
}

void UnitExchange::onAcknowledged()
{
    m_phase = Phase::Idle;
    m_unanswered.clear();
    if (m_frameLines)
        m_console.say(QStringLiteral("Setting OK !!"));
    ++m_next;
    // Not from inside the link's delivery of this chunk.
    QMetaObject::invokeMethod(this, &UnitExchange::settle, Qt::QueuedConnection);
}

void UnitExchange::onTimedOut()
{
    if (m_finished || m_phase != Phase::Awaiting)
        return;
    m_phase = Phase::Idle;
    if (m_frameLines)
        m_console.say(QStringLiteral("Setting Fail !!"));
    fail(m_answeredThisFrame ? Outcome::Result::WrongAnswer : Outcome::Result::NoAnswer,
         QStringLiteral("No acknowledgement (55 AA) for the %1 frame came from %2 within %3 ms.")
             .arg(frameName(), m_device)
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
    m_phase = Phase::Idle;
    m_phaseTimer.stop();
    m_quietLimitTimer.stop();
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

QString UnitExchange::frameName() const
{
    return pageName(m_plan.frames.at(m_next).page);
}
