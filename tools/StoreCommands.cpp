#include "tools/StoreCommands.h"

#include "station/ExitStatus.h"
#include "store/RecordStore.h"
#include "store/ReportForwarder.h"
#include "store/StoreSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

using Action = SetArguments::Plan::Action;
using Outcome = PgConnection::Outcome;
using StoreCommands::kRecordsWaiting;

// A station's last go at the store before it ends: long enough for a
// backlog of a few thousand records, short enough for an operator.
constexpr int kEndGraceMs = 10000;

// Refused or bad settings: a usage-like error; away: records wait.
int statusOf(const Outcome &outcome, const Console &console, const QString &conninfo)
{
    const bool away = outcome.failure == PgConnection::Failure::Unreachable;
    console.complain(QStringLiteral("store %1 (%2): %3")
                         .arg(away ? QStringLiteral("unreachable") : QStringLiteral("refused"),
                              PgConnection::shown(conninfo), outcome.message));
    return away ? kRecordsWaiting : ExitStatus::kUsageError;
}

void printFound(const ReportFormat::Record &record, bool json)
{
    const QByteArray line = json ? ReportFormat::jsonLine(record) : ReportFormat::csvLine(record);
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
}

int find(const SetArguments::Plan &plan, PgConnection &db, const Console &console)
{
    qint64 found = 0;
    if (!plan.findJson) {
        const QByteArray header = ReportFormat::csvHeader();
        std::fwrite(header.constData(), 1, size_t(header.size()), stdout);
    }
    const Outcome outcome = RecordStore(db).find(plan.find, [&](const ReportFormat::Record &r) {
        printFound(r, plan.findJson);
        ++found;
    });
    std::fflush(stdout);
    if (!outcome.ok())
        return statusOf(outcome, console, plan.store);
    console.complain(QStringLiteral("%1 record%2 found.").arg(found).arg(found == 1 ? "" : "s"));
    return ExitStatus::kAcknowledged;
}

QString percent(int part, int whole)
{
    return whole == 0 ? QStringLiteral("-")
                      : QString::number(100.0 * part / whole, 'f', 1) + QLatin1Char('%');
}

int lotSummary(const SetArguments::Plan &plan, PgConnection &db, const Console &console)
{
    RecordStore::LotSummary summary;
    const Outcome outcome = RecordStore(db).lotSummary(plan.summaryLot, &summary);
    if (!outcome.ok())
        return statusOf(outcome, console, plan.store);
    int units = 0;
    int ok = 0;
    QStringList results;
    for (const auto &[result, count] : std::as_const(summary.latestResults)) {
        units += count;
        ok += result == QLatin1String("ok") ? count : 0;
        results << QStringLiteral("%1 %2").arg(result).arg(count);
    }
    console.say(QStringLiteral("Lot %1: %2 units, %3 ok, yield %4 (%5 records, %6 results)")
                    .arg(plan.summaryLot)
                    .arg(units)
                    .arg(ok)
                    .arg(percent(ok, units))
                    .arg(summary.records)
                    .arg(summary.resultRecords));
    console.say(QStringLiteral("Latest result of each unit: %1")
                    .arg(results.isEmpty() ? QStringLiteral("none") : results.join(", ")));
    console.say(
        QStringLiteral("Units whose latest result is not ok: %1").arg(summary.notOk.size()));
    for (const RecordStore::LotSummary::Unit &unit : std::as_const(summary.notOk)) {
        console.say(QStringLiteral("  %1  %2  %3  %4  %5")
                        .arg(unit.unit, unit.result, unit.station, unit.time, unit.reason));
    }
    QStringList stations;
    for (const auto &[station, count] : std::as_const(summary.stations))
        stations << QStringLiteral("%1 (%2 results)").arg(station).arg(count);
    console.say(QStringLiteral("Stations: %1")
                    .arg(stations.isEmpty() ? QStringLiteral("none") : stations.join(", ")));
    return ExitStatus::kAcknowledged;
}

// --forward: the report's records the store lacks, then the end.
int forward(const SetArguments::Plan &plan, const Console &console)
{
    if (!QFileInfo(plan.forwardPath).isFile()) {
        console.complain(
            QStringLiteral("Cannot read the report %1: no such file.").arg(plan.forwardPath));
        return ExitStatus::kReportError;
    }
    ReportForwarder forwarder(plan.forwardPath, plan.store);
    qint64 sent = 0;
    QObject::connect(&forwarder, &ReportForwarder::notice, qApp,
                     [&console](const QString &what) { console.complain(what); });
    QObject::connect(&forwarder, &ReportForwarder::forwarded, qApp,
                     [&sent](qint64, int records) { sent += records; });
    QObject::connect(&forwarder, &ReportForwarder::finished, qApp,
                     [&](int waiting, int unreadable) {
                         console.say(QStringLiteral("%1: %2 record%3 sent, %4 waiting.")
                                         .arg(plan.forwardPath)
                                         .arg(sent)
                                         .arg(sent == 1 ? "" : "s")
                                         .arg(waiting));
                         QCoreApplication::exit(waiting > 0      ? kRecordsWaiting
                                                : unreadable > 0 ? ExitStatus::kNoAcknowledgement
                                                                 : ExitStatus::kAcknowledged);
                     });
    QObject::connect(&forwarder, &ReportForwarder::unreachable, qApp,
                     [&](int waiting, const QString &why) {
                         console.complain(QStringLiteral("store unreachable: %1 records waiting "
                                                         "(%2).")
                                              .arg(waiting)
                                              .arg(why));
                     });
    forwarder.start();
    forwarder.finish(-1);
    return QCoreApplication::exec();
}

// The default report: one per station name in the user's data folder, so
// that a restarted station goes on with what its last run left unsent.
QString defaultReport(const SetArguments::Plan &plan)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    QString station = plan.stationName.isEmpty() ? QSysInfo::machineHostName() : plan.stationName;
    station.replace(unsafe, QStringLiteral("_"));
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
                           QStringLiteral("/reports");
    QDir().mkpath(folder);
    return QDir(folder).filePath((station.isEmpty() ? QStringLiteral("station") : station) +
                                 QStringLiteral(".csv"));
}

} // namespace

int StoreCommands::run(const SetArguments::Plan &plan, const Console &console)
{
    if (plan.action == Action::Forward) {
        PgConnection db;
        // Refused before anything is read; away: the forwarder tells.
        const Outcome opened = StoreSchema::open(db, plan.store, StoreSchema::Use::Forward);
        if (!opened.ok() && opened.failure != PgConnection::Failure::Unreachable)
            return statusOf(opened, console, plan.store);
        db.close();
        return forward(plan, console);
    }
    PgConnection db;
    const StoreSchema::Use use =
        plan.action == Action::StoreSetup ? StoreSchema::Use::Forward : StoreSchema::Use::Read;
    const Outcome opened = StoreSchema::open(db, plan.store, use);
    if (!opened.ok())
        return statusOf(opened, console, plan.store);
    switch (plan.action) {
    case Action::Find:
        return find(plan, db, console);
    case Action::LotSummary:
        return lotSummary(plan, db, console);
    default:
        console.complain(QStringLiteral("the store %1 has its tables, version %2.")
                             .arg(PgConnection::shown(plan.store))
                             .arg(StoreSchema::latestVersion()));
        return ExitStatus::kAcknowledged;
    }
}

StoreSession::StoreSession(const Console &console) : m_console(console) {}

StoreSession::~StoreSession() = default;

std::optional<int> StoreSession::begin(SetArguments::Plan &plan)
{
    if (plan.store.isEmpty())
        return std::nullopt;
    if (plan.reportPath.isEmpty())
        plan.reportPath = defaultReport(plan);
    m_report = plan.reportPath;
    m_console.complain(QStringLiteral("records go to %1, and on to the store %2.")
                           .arg(m_report, PgConnection::shown(plan.store)));
    PgConnection db;
    const Outcome opened = StoreSchema::open(db, plan.store, StoreSchema::Use::Forward);
    if (!opened.ok() && opened.failure != PgConnection::Failure::Unreachable) {
        (void)statusOf(opened, m_console, plan.store);
        m_console.complain(QStringLiteral("nothing was configured: mend --store first."));
        return ExitStatus::kUsageError;
    }
    db.close();
    m_forwarder = std::make_unique<ReportForwarder>(m_report, plan.store);
    connect(m_forwarder.get(), &ReportForwarder::notice, this,
            [this](const QString &what) { m_console.complain(QStringLiteral("store: ") + what); });
    connect(m_forwarder.get(), &ReportForwarder::unreachable, this,
            [this](int waiting, const QString &why) {
                m_console.complain(QStringLiteral("store unreachable: %1 records waiting (%2); "
                                                  "the line goes on, they follow when it is "
                                                  "back.")
                                       .arg(waiting)
                                       .arg(why));
            });
    connect(m_forwarder.get(), &ReportForwarder::reachable, this, [this](int waiting) {
        m_console.complain(
            QStringLiteral("store reachable again: %1 records waiting go now.").arg(waiting));
    });
    m_forwarder->start();
    return std::nullopt;
}

void StoreSession::end(int exitCode)
{
    if (!m_forwarder) {
        QMetaObject::invokeMethod(
            qApp, [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
        return;
    }
    connect(m_forwarder.get(), &ReportForwarder::finished, this,
            [this, exitCode](int waiting, int) {
                m_console.say(
                    waiting == 0
                        ? QStringLiteral("Store: every record of %1 is in the store.").arg(m_report)
                        : QStringLiteral("Store: %1 records waiting in %2; they go with "
                                         "the next run on that report, or with "
                                         "vantrel-set --forward.")
                              .arg(waiting)
                              .arg(m_report));
                QCoreApplication::exit(exitCode);
            });
    m_forwarder->finish(kEndGraceMs);
}
