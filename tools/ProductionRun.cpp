#include "tools/ProductionRun.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cstdio>

QString resultName(SettingSender::Outcome::Result result)
{
    switch (result) {
    case SettingSender::Outcome::Result::Ok:
        return QStringLiteral("ok");
    case SettingSender::Outcome::Result::NoAnswer:
        return QStringLiteral("no-answer");
    case SettingSender::Outcome::Result::WrongAnswer:
        return QStringLiteral("wrong-answer");
    case SettingSender::Outcome::Result::PortError:
        return QStringLiteral("port-error");
    }
    return {};
}

ProductionRun::ProductionRun(const SetArguments::Plan &plan, QObject *parent)
    : QObject(parent), m_plan(plan),
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
    auto sender = std::make_unique<SettingSender>(m_plan, unit.location,
                                                  SettingSender::Output{.frameLines = false});
    SettingSender *raw = sender.get();
    connect(raw, &SettingSender::finished, this,
            [this, raw](int exitCode) { onFinished(raw, exitCode); });
    m_units.push_back({unit, QDateTime::currentDateTime(), std::move(sender)});
    raw->start();
}

bool ProductionRun::isRunning(const QString &location) const
{
    return std::any_of(m_units.begin(), m_units.end(),
                       [&location](const Unit &unit) { return unit.entry.location == location; });
}

UnitRecord ProductionRun::recordOf(const Unit &unit) const
{
    const SettingSender::Outcome &outcome = unit.sender->outcome();
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

void ProductionRun::onFinished(SettingSender *sender, int exitCode)
{
    const auto it = std::find_if(m_units.begin(), m_units.end(), [sender](const Unit &unit) {
        return unit.sender.get() == sender;
    });
    if (m_stopped || it == m_units.end())
        return;
    const UnitRecord record = recordOf(*it);
    const SettingSender::Outcome::Result result = sender->outcome().result;
    // The sender is inside its own signal: it goes from the event loop.
    it->sender.release()->deleteLater();
    m_units.erase(it);

    QString error;
    if (m_report && !m_report->append(record, &error)) {
        m_stopped = true;
        stopForReport(error);
        return;
    }

    const char *line = result == SettingSender::Outcome::Result::Ok          ? "Setting OK !!"
                       : result == SettingSender::Outcome::Result::PortError ? "Port error !!"
                                                                             : "Setting Fail !!";
    std::fprintf(stdout, "%s: %s\n", record.device.toLocal8Bit().constData(), line);
    std::fflush(stdout);
    ++m_tally[record.result];
    m_exitCode = SetArguments::worse(m_exitCode, exitCode);
    emit unitEnded();
}

void ProductionRun::stopForReport(const QString &error)
{
    std::fprintf(stderr,
                 "vantrel-set: %s\nvantrel-set: stopped: no unit is configured without "
                 "its record.\n",
                 error.toLocal8Bit().constData());
    std::fflush(stderr);
    // Dropping a sender closes its port; those units get no record.
    m_units.clear();
    m_exitCode = SetArguments::kPortError;
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
