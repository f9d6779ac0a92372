#include "station/ProductionRun.h"

#include "station/ExitStatus.h"

#include <Version.h>

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>

namespace {

const QString kNotConfigured = QStringLiteral("not-configured");

RunIdentity identityOf(const RunPlan &plan)
{
    return {.version = QLatin1String(kVantrelVersion),
            .station = plan.stationName.isEmpty() ? QSysInfo::machineHostName() : plan.stationName,
            .operatorName = plan.operatorName,
            .lot = plan.lot,
            .runId = QUuid::createUuid().toString(QUuid::WithoutBraces),
            .profile = plan.profilePath.isEmpty() ? QString()
                                                  : QFileInfo(plan.profilePath).absoluteFilePath(),
            .settingsSha256 = QString::fromLatin1(
                QCryptographicHash::hash(plan.settingsText, QCryptographicHash::Sha256).toHex())};
}

} // namespace

QString resultName(UnitExchange::Outcome::Result result)
{
    switch (result) {
    case UnitExchange::Outcome::Result::Ok:
        return QStringLiteral("ok");
    case UnitExchange::Outcome::Result::NoAnswer:
        return QStringLiteral("no-answer");
    case UnitExchange::Outcome::Result::WrongAnswer:
        return QStringLiteral("wrong-answer");
    case UnitExchange::Outcome::Result::NoisyLine:
        return QStringLiteral("noisy-line");
    case UnitExchange::Outcome::Result::PortError:
        return QStringLiteral("port-error");
    case UnitExchange::Outcome::Result::Busy:
        return QStringLiteral("busy");
    }
    return {};
}

QString unitName(const PortEntry &unit)
{
    return unit.serialNumber.isEmpty()
               ? unit.location
               : QStringLiteral("%1 (%2)").arg(unit.serialNumber, unit.location);
}

QList<PortEntry> describedDevices(const QStringList &devices, bool withIdentity)
{
    return describedPorts(devices, withIdentity);
}

ProductionRun::ProductionRun(const RunPlan &plan, Kind kind, Console console, QObject *parent)
    : QObject(parent), m_plan(plan), m_kind(kind), m_console(console), m_identity(identityOf(plan))
{
    if (!plan.reportPath.isEmpty()) {
        m_report.emplace(plan.reportPath, m_identity);
        m_console.keepResultsIn(plan.reportPath);
    }
}

ProductionRun::~ProductionRun() = default;

bool ProductionRun::begin()
{
    if (!m_report)
        return true;
    const UnitReport::Written written = m_report->begin();
    if (written.ok()) {
        m_records = 1;
        emit reportChanged();
        return true;
    }
    m_reportBroken = true;
    m_reportError = written.error;
    emit reportChanged();
    m_exitCode = ExitStatus::kReportError;
    m_console.complain(written.error);
    m_console.complain(QStringLiteral("nothing was configured: no unit is configured without "
                                      "its record."));
    return false;
}

bool ProductionRun::record(const UnitRecord &record)
{
    if (!m_report)
        return true;
    if (m_reportBroken)
        return false;
    const UnitReport::Written written = m_report->append(record);
    if (written.restarted) {
        m_console.complain(QStringLiteral("the report %1 was moved away or deleted; a new one "
                                          "begins there with this run's station record.")
                               .arg(m_report->path()));
    }
    if (written.ok()) {
        // A new file begins with the run's station record.
        m_records += written.restarted ? 2 : 1;
        emit reportChanged();
        return true;
    }
    m_reportBroken = true;
    m_reportError = written.error;
    emit reportChanged();
    m_exitCode = ExitStatus::worse(m_exitCode, ExitStatus::kReportError);
    m_console.complain(written.error);
    m_console.complain(QStringLiteral("no more units are configured: each needs its record "
                                      "first."));
    // Not from inside the caller, which may be in the middle of a unit.
    QMetaObject::invokeMethod(this, &ProductionRun::reportFailed, Qt::QueuedConnection);
    return false;
}

void ProductionRun::configure(const PortEntry &unit, int attempt)
{
    const int seq = ++m_lastSeq;
    UnitRecord started;
    started.kind = UnitRecord::Kind::Started;
    started.seq = seq;
    started.attempt = attempt;
    started.unit = unit;
    if (m_reportBroken || !record(started)) {
        UnitRecord untouched;
        untouched.unit = unit;
        untouched.result = kNotConfigured;
        untouched.reason = QStringLiteral("The report could not be written; nothing was sent.");
        tally(unit, untouched, QStringLiteral("Not configured !!"), ExitStatus::kReportError,
              false);
        emit unitEnded();
        return;
    }
    auto exchange = std::make_unique<UnitExchange>(m_plan, unit.location, m_console, false);
    UnitExchange *raw = exchange.get();
    connect(raw, &UnitExchange::finished, this,
            [this, raw](int exitCode) { onFinished(raw, exitCode); });
    m_units.push_back({unit, seq, attempt, std::move(exchange)});
    raw->start();
    emit unitStarted(unit, attempt);
}

void ProductionRun::notConfigured(const PortEntry &unit, const QString &reason)
{
    UnitRecord result;
    result.seq = ++m_lastSeq;
    result.unit = unit;
    result.result = kNotConfigured;
    result.reason = reason;
    const bool recorded = record(result);
    tally(unit, result, QStringLiteral("Not configured !!"), ExitStatus::kNoAcknowledgement,
          recorded);
}

DurableAppend::Result ProductionRun::recordSummary(const LotTotals &totals)
{
    if (!m_report)
        return {};
    if (m_reportBroken)
        return {m_reportError};
    UnitRecord summary = lotSummaryRecord(totals);
    summary.seq = ++m_lastSeq;
    if (record(summary))
        return {};
    return {m_reportError};
}

bool ProductionRun::isRunning(const QString &location) const
{
    return std::any_of(m_units.begin(), m_units.end(),
                       [&location](const Unit &unit) { return unit.entry.location == location; });
}

UnitRecord ProductionRun::resultOf(const Unit &unit) const
{
    const UnitExchange::Outcome &outcome = unit.exchange->outcome();
    UnitRecord result;
    result.seq = unit.seq;
    result.attempt = unit.attempt;
    result.unit = unit.entry;
    result.sent = outcome.sent;
    result.received = outcome.received;
    result.result = resultName(outcome.result);
    result.reason = outcome.reason;
    result.elapsedMs = outcome.elapsedMs;
    return result;
}

void ProductionRun::onFinished(UnitExchange *exchange, int exitCode)
{
    const auto it = std::find_if(m_units.begin(), m_units.end(), [exchange](const Unit &unit) {
        return unit.exchange.get() == exchange;
    });
    if (it == m_units.end())
        return;
    const UnitRecord result = resultOf(*it);
    const UnitExchange::Outcome::Result kind = exchange->outcome().result;
    // The exchange is inside its own signal: it goes from the event loop.
    it->exchange.release()->deleteLater();
    m_units.erase(it);

    const bool recorded = record(result);
    const char *line = kind == UnitExchange::Outcome::Result::Ok          ? "Setting OK !!"
                       : kind == UnitExchange::Outcome::Result::PortError ? "Port error !!"
                       : kind == UnitExchange::Outcome::Result::Busy      ? "Busy !!"
                                                                          : "Setting Fail !!";
    // A unit another program holds is that program's unit at a station.
    if (kind == UnitExchange::Outcome::Result::Busy && m_kind == Kind::Station)
        exitCode = ExitStatus::kNoAcknowledgement;
    tally(result.unit, result, QLatin1String(line), exitCode, recorded);
    emit unitEnded();
}

void ProductionRun::tally(const PortEntry &unit, const UnitRecord &result, const QString &line,
                          int exitCode, bool recorded)
{
    m_console.say(QStringLiteral("%1: %2").arg(unitName(unit), line));
    if (m_report && !recorded && result.result != kNotConfigured) {
        ++m_notRecorded;
        m_console.complain(
            QStringLiteral("configured, not recorded: %1, serial number %2: %3")
                .arg(unit.location,
                     unit.serialNumber.isEmpty() ? QStringLiteral("unknown") : unit.serialNumber,
                     result.result));
    }
    ++m_tally[result.result];
    m_exitCode = ExitStatus::worse(m_exitCode, exitCode);
    emit unitResult(unit, UnitEnd{result.result, result.reason, !m_report || recorded,
                                  QDateTime::currentDateTime()});
}

QString ProductionRun::summary() const
{
    int total = 0;
    QStringList failures;
    const QStringList apart{QStringLiteral("ok"), QStringLiteral("busy"), kNotConfigured};
    for (auto it = m_tally.begin(); it != m_tally.end(); ++it) {
        total += it.value();
        if (!apart.contains(it.key()))
            failures << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    }
    const int ok = m_tally.value(QStringLiteral("ok"));
    const int busy = m_tally.value(QStringLiteral("busy"));
    const int notConfigured = m_tally.value(kNotConfigured);
    QString text = QStringLiteral("%1 unit%2: %3 acknowledged, %4 failed")
                       .arg(total)
                       .arg(total == 1 ? "" : "s")
                       .arg(ok)
                       .arg(total - ok - busy - notConfigured);
    if (!failures.isEmpty())
        text += QStringLiteral(" (%1)").arg(failures.join(QStringLiteral(", ")));
    if (busy > 0)
        text += QStringLiteral(", %1 busy").arg(busy);
    if (notConfigured > 0)
        text += QStringLiteral(", %1 not configured").arg(notConfigured);
    if (m_notRecorded > 0)
        text += QStringLiteral("; %1 configured, not recorded").arg(m_notRecorded);
    return text + QLatin1Char('.');
}
