#include "stationui/StationDriver.h"

#include "stationui/StationWindow.h"
#include "store/PgConnection.h"
#include "store/ReportForwarder.h"
#include "store/StoreSchema.h"

#include <QThread>

StationDriver::StationDriver(StationWindow *window, Platform platform, QObject *parent)
    : QObject(parent), m_window(window), m_board(window->board()), m_platform(std::move(platform))
{
    connect(window, &StationWindow::startRequested, this, &StationDriver::start);
    connect(window, &StationWindow::stopRequested, this, &StationDriver::stop);
    connect(window, &StationWindow::retryRequested, this, &StationDriver::retry);
    connect(window, &StationWindow::endOfLotRequested, this, &StationDriver::endLot);
}

StationDriver::~StationDriver()
{
    // A store check under way answers nobody now; its connection attempt
    // ends within libpq's connect_timeout.
    for (QThread *check : std::as_const(m_storeChecks)) {
        check->wait();
        delete check;
    }
}

void StationDriver::start(const ReadySetup &ready)
{
    ++m_generation;
    m_plan = runPlanOf(ready);
    m_conninfo = ready.setup.store;
    if (m_conninfo.isEmpty()) {
        m_forwarder.reset();
        m_forwarding.clear();
        m_board->setStore({});
        begin();
        return;
    }
    // As vantrel-set --store: a store that answers but refuses is a wrong
    // setting, and no unit is configured; one that is away only makes the
    // records wait. Asked off the window's thread: a connection attempt may
    // take seconds.
    m_checking = true;
    setStore(StoreStatus::State::Checking, 0);
    checkStore(m_conninfo);
}

void StationDriver::checkStore(const QString &conninfo)
{
    auto outcome = std::make_shared<PgConnection::Outcome>();
    QThread *check = QThread::create([conninfo, outcome] {
        PgConnection db;
        *outcome = StoreSchema::open(db, conninfo, StoreSchema::Use::Forward);
    });
    m_storeChecks.append(check);
    connect(check, &QThread::finished, this, [this, check, outcome, generation = m_generation] {
        m_storeChecks.removeOne(check);
        check->deleteLater();
        onStoreChecked(generation, *outcome);
    });
    check->start();
}

void StationDriver::onStoreChecked(int generation, const PgConnection::Outcome &outcome)
{
    // Stopped meanwhile, or another Start asked again.
    if (generation != m_generation || !m_checking)
        return;
    m_checking = false;
    if (!outcome.ok() && outcome.failure != PgConnection::Failure::Unreachable) {
        setStore(StoreStatus::State::Off, 0);
        m_board->setBlocked(tr("The record store %1 refused the station: %2")
                                .arg(PgConnection::shown(m_conninfo), outcome.message),
                            tr("Mend the store's setting (its database, its user and that user's "
                               "rights, the password in ~/.pgpass) or clear it in the setup, then "
                               "press Start. Nothing was configured."));
        ended();
        return;
    }
    // Away: the forwarder tells of the outage as it tries.
    setStore(StoreStatus::State::Reachable, 0);
    begin();
}

void StationDriver::begin()
{
    if (!m_conninfo.isEmpty())
        forwardTo(m_plan.reportPath, m_conninfo);
    // The last run's station goes with its run: a new one has its own id.
    m_station = std::make_unique<Station>(
        m_plan, m_platform.deviceSources ? m_platform.deviceSources() : DeviceSources(),
        m_platform.console);
    connectStation();
    m_board->setRunId(m_station->run().runId());
    m_station->start();
}

void StationDriver::connectStation()
{
    Station *station = m_station.get();
    const ProductionRun *run = &station->run();
    connect(station, &Station::unitSettling, m_board, &RunBoard::unitAppeared);
    connect(station, &Station::unitGone, m_board, &RunBoard::unitVanished);
    connect(run, &ProductionRun::unitStarted, m_board, &RunBoard::unitStarted);
    connect(run, &ProductionRun::unitResult, m_board, &RunBoard::unitEnded);
    connect(run, &ProductionRun::reportChanged, this, &StationDriver::onReportChanged);
    connect(station, &Station::halted, this, &StationDriver::onHalted);
    connect(station, &Station::finished, this, &StationDriver::ended);
}

void StationDriver::stop()
{
    if (m_checking) {
        m_checking = false;
        setStore(StoreStatus::State::Off, 0);
        ended();
    } else if (m_station) {
        m_station->stop();
    } else {
        ended();
    }
}

void StationDriver::retry(const QList<RetryUnit> &units)
{
    if (!m_station)
        return;
    for (const RetryUnit &unit : units)
        (void)m_station->retry(unit.unit, unit.attempt);
}

void StationDriver::endLot(const LotSummary &summary)
{
    // No run in this lot: no report of it to close.
    if (!m_station)
        return;
    const LotTotals totals{.passed = summary.tally.passed,
                           .failed = summary.tally.failed,
                           .busy = summary.tally.busy,
                           .notRecorded = summary.tally.notRecorded,
                           .quantity = summary.quantity,
                           .first = summary.tally.first,
                           .last = summary.tally.last,
                           .reportPath = summary.reportPath};
    const DurableAppend::Result written = m_station->recordSummary(totals);
    // The lot is closed: a second End of lot has no run of it to sum up.
    m_station.reset();
    if (!written.ok())
        onHalted(Station::Halt::ReportUnwritable, written.error);
}

void StationDriver::onHalted(Station::Halt why, const QString &text)
{
    if (why == Station::Halt::SharedUnits) {
        m_board->setBlocked(tr("Not started: %1").arg(text),
                            tr("Two stations must never share a unit. Stop the other station "
                               "first, or give each station the sockets of its own fixture; then "
                               "press Start."));
        return;
    }
    m_board->setBlocked(text, tr("Make room on the disk, or choose a report in a folder that "
                                 "exists and that may be written to (Setup, F2); then press "
                                 "Start. No unit is configured until its record can be written."));
}

void StationDriver::onReportChanged()
{
    const ProductionRun &run = m_station->run();
    const int written = run.reportRecords() - m_board->report().records;
    m_board->setReport({run.reportPath(), run.reportRecords(), run.reportError()});
    if (!m_forwarder || written <= 0)
        return;
    m_forwarder->poke();
    const StoreStatus &store = m_board->store();
    setStore(store.state, store.waiting + written, store.why);
}

void StationDriver::forwardTo(const QString &report, const QString &conninfo)
{
    const QString serves = report + QLatin1Char('\n') + conninfo;
    if (m_forwarder && m_forwarding == serves)
        return;
    m_forwarder = std::make_unique<ReportForwarder>(report, conninfo);
    m_forwarding = serves;
    ReportForwarder *forwarder = m_forwarder.get();
    // The forwarder counts what waits as it tells; records written since
    // its count, before its word arrives here, wait too.
    connect(forwarder, &ReportForwarder::unreachable, this,
            [this](int waiting, const QString &why) {
                setStore(StoreStatus::State::Unreachable,
                         std::max(waiting, m_board->store().waiting), why);
            });
    connect(forwarder, &ReportForwarder::reachable, this, [this](int waiting) {
        setStore(StoreStatus::State::Reachable, std::max(waiting, m_board->store().waiting));
        StoreStatus again = m_board->store();
        again.again = true;
        m_board->setStore(again);
    });
    connect(forwarder, &ReportForwarder::forwarded, this, [this](qint64, int records) {
        const StoreStatus &store = m_board->store();
        setStore(StoreStatus::State::Reachable, std::max(0, store.waiting - records));
    });
    connect(forwarder, &ReportForwarder::notice, this,
            [this](const QString &what) { m_platform.console.complain(what); });
    forwarder->start();
}

void StationDriver::setStore(StoreStatus::State state, int waiting, const QString &why)
{
    StoreStatus store = m_board->store();
    store.state = state;
    store.shown = PgConnection::shown(m_conninfo);
    store.waiting = waiting;
    store.why = why;
    if (state != StoreStatus::State::Reachable)
        store.again = false;
    m_board->setStore(store);
}

void StationDriver::ended()
{
    m_window->runEnded();
}

void StationDriver::shutdown(std::function<void()> done)
{
    if (!m_forwarder) {
        done();
        return;
    }
    connect(m_forwarder.get(), &ReportForwarder::finished, this, [done] { done(); });
    m_forwarder->finish(m_platform.storeGraceMs);
}
