#include "station/ProductionRun.h"

#include "station/ExitStatus.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QSysInfo>

#include <algorithm>

QString resultName(UnitExchange::Outcome::Result result)
{
    switch (result) {
    case UnitExchange::Outcome::Result::Ok:
        return QStringLiteral("ok");
    case UnitExchange::Outcome::Result::NoAnswer:
        return QStringLiteral("no-answer");
    case UnitExchange::Outcome::Result::WrongAnswer:
        return QStringLiteral("wrong-answer");
    case UnitExchange::Outcome::Result::PortError:
        return QStringLiteral("port-error");
    }
    return {};
}

QList<PortEntry> describedDevices(const QStringList &devices, bool withIdentity)
{
    QHash<QString, PortEntry> known;
    for (const PortEntry &entry : withIdentity ? SystemPortCatalog().devices() : QList<PortEntry>())
        known.insert(QFileInfo(entry.location).canonicalFilePath(), entry);
    QList<PortEntry> described;
    for (const QString &device : devices) {
        PortEntry entry = known.value(QFileInfo(device).canonicalFilePath(), {device, QString()});
        entry.location = device;
        described.append(entry);
    }
    return described;
}

ProductionRun::ProductionRun(const RunPlan &plan, Console console, QObject *parent)
    : QObject(parent), m_plan(plan), m_console(console),
      m_profile(plan.profilePath.isEmpty() ? QString()
                                           : QFileInfo(plan.profilePath).absoluteFilePath()),
      m_settingsSha256(QString::fromLatin1(
          QCryptographicHash::hash(plan.settingsText, QCryptographicHash::Sha256).toHex()))
{
    if (!plan.reportPath.isEmpty())
        m_report.emplace(plan.reportPath);
}

ProductionRun::~ProductionRun() = default;

void ProductionRun::configure(const PortEntry &unit)
{
    if (m_stopped)
        return;
    QString error;
    if (m_report && !m_report->check(&error)) {
        // Not from inside the caller, which may still be setting up.
        QMetaObject::invokeMethod(
            this, [this, error] { stopForReport(error); }, Qt::QueuedConnection);
        m_stopped = true;
        return;
    }
    auto exchange = std::make_unique<UnitExchange>(m_plan, unit.location, m_console, false);
    UnitExchange *raw = exchange.get();
    connect(raw, &UnitExchange::finished, this,
            [this, raw](int exitCode) { onFinished(raw, exitCode); });
    m_units.push_back({unit, QDateTime::currentDateTime(), std::move(exchange)});
    raw->start();
}

bool ProductionRun::isRunning(const QString &location) const
{
    return std::any_of(m_units.begin(), m_units.end(),
                       [&location](const Unit &unit) { return unit.entry.location == location; });
}

UnitRecord ProductionRun::recordOf(const Unit &unit) const
{
    const UnitExchange::Outcome &outcome = unit.exchange->outcome();
    return {.started = unit.started,
            .host = QSysInfo::machineHostName(),
            .device = unit.entry.location,
            .byId = unit.entry.byId,
            .serialNumber = unit.entry.serialNumber,
            .profile = m_profile,
            .settingsSha256 = m_settingsSha256,
            .sent = outcome.sent,
            .received = outcome.received,
            .result = resultName(outcome.result),
            .reason = outcome.reason,
            .elapsedMs = outcome.elapsedMs};
}

void ProductionRun::onFinished(UnitExchange *exchange, int exitCode)
{
    const auto it = std::find_if(m_units.begin(), m_units.end(), [exchange](const Unit &unit) {
        return unit.exchange.get() == exchange;
    });
    if (m_stopped || it == m_units.end())
        return;
    const UnitRecord record = recordOf(*it);
    const UnitExchange::Outcome::Result result = exchange->outcome().result;
    // The exchange is inside its own signal: it goes from the event loop.
    it->exchange.release()->deleteLater();
    m_units.erase(it);

    QString error;
    if (m_report && !m_report->append(record, &error)) {
        m_stopped = true;
        stopForReport(error);
        return;
    }

    const char *line = result == UnitExchange::Outcome::Result::Ok          ? "Setting OK !!"
                       : result == UnitExchange::Outcome::Result::PortError ? "Port error !!"
                                                                            : "Setting Fail !!";
    m_console.say(QStringLiteral("%1: %2").arg(record.device, QLatin1String(line)));
    ++m_tally[record.result];
    m_exitCode = ExitStatus::worse(m_exitCode, exitCode);
    emit unitEnded();
}

void ProductionRun::stopForReport(const QString &error)
{
    m_console.complain(error);
    m_console.complain(QStringLiteral("stopped: no unit is configured without its record."));
    // Dropping an exchange closes its port; those units get no record.
    m_units.clear();
    m_exitCode = ExitStatus::kPortError;
    emit reportFailed();
}

QString ProductionRun::summary() const
{
    int total = 0;
    QStringList failures;
    for (auto it = m_tally.begin(); it != m_tally.end(); ++it) {
        total += it.value();
        if (it.key() != QLatin1String("ok"))
            failures << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    }
    const int ok = m_tally.value(QStringLiteral("ok"));
    QString text = QStringLiteral("%1 unit%2: %3 acknowledged, %4 failed")
                       .arg(total)
                       .arg(total == 1 ? "" : "s")
                       .arg(ok)
                       .arg(total - ok);
    if (!failures.isEmpty())
        text += QStringLiteral(" (%1)").arg(failures.join(QStringLiteral(", ")));
    return text + QLatin1Char('.');
}
