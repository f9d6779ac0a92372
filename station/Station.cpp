#include "station/Station.h"

#include "station/DeviceMatch.h"
#include "station/DeviceWatcher.h"
#include "station/ExitStatus.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>
#include <QTimer>

#include <utility>

Station::Station(const RunPlan &plan, DeviceSources sources, Console console, QObject *parent)
    : QObject(parent), m_plan(plan), m_console(console), m_sources(std::move(sources)),
      m_run(plan, ProductionRun::Kind::Station, console)
{
    connect(&m_run, &ProductionRun::unitEnded, this, &Station::endIfIdle);
    connect(&m_run, &ProductionRun::unitResult, this, &Station::onUnitResult);
    connect(&m_run, &ProductionRun::reportFailed, this, [this] {
        emit halted(Halt::ReportUnwritable, m_run.reportError());
        m_stopping = true;
        stopWatching(QStringLiteral("The report could not be written; nothing was sent."));
        endIfIdle();
    });
}

Station::~Station() = default;

void Station::start()
{
    QMetaObject::invokeMethod(this, &Station::begin, Qt::QueuedConnection);
}

void Station::begin()
{
    if (m_stopping)
        return;
    // Watching first: the other stations are judged by the devices there now.
    m_watcher = new DeviceWatcher(std::move(m_sources), this);
    connect(m_watcher, &DeviceWatcher::appeared, this, &Station::onAppeared);
    connect(m_watcher, &DeviceWatcher::vanished, this, &Station::onVanished);
    for (const QString &what : m_watcher->start())
        m_console.complain(QStringLiteral("not watching %1.").arg(what));
    if (!joinOthers()) {
        end(ExitStatus::kUsageError);
        return;
    }
    if (!m_run.begin()) {
        emit halted(Halt::ReportUnwritable, m_run.reportError());
        end(m_run.exitCode());
        return;
    }
    m_console.complain(
        QStringLiteral("waiting for devices%1; Ctrl+C ends.")
            .arg(m_plan.matchAny
                     ? QString()
                     : QStringLiteral(" matching %1").arg(quotedPatterns(m_plan.matches))));
    hintPartOfName();
    if (m_plan.includePresent) {
        for (const PortEntry &device : m_watcher->present())
            onAppeared(device);
    }
}

bool Station::joinOthers()
{
    StationNotice own{QCoreApplication::applicationPid(),
                      m_plan.stationName.isEmpty() ? QSysInfo::machineHostName()
                                                   : m_plan.stationName,
                      m_plan.matches, m_plan.matchAny,
                      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))};
    own.processStamp = runningProcessStamp(own.pid).value_or(QString());
    const StationRegistry::Joined joined = m_registry.join(own, m_watcher->present());
    if (!joined.clash.isEmpty()) {
        m_console.complain(QStringLiteral("not started: %1 Two stations must never share a unit: "
                                          "stop that one first, or give each the names of its "
                                          "own sockets.")
                               .arg(joined.clash));
        emit halted(Halt::SharedUnits, joined.clash);
        return false;
    }
    for (const StationNotice &other : joined.others)
        m_console.complain(QStringLiteral("also here: %1.").arg(other.describe()));
    if (!joined.error.isEmpty()) {
        m_console.complain(
            QStringLiteral("other stations cannot be told of this one (%1).").arg(joined.error));
    }
    return true;
}

void Station::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    stopWatching(QStringLiteral("The station was stopped while the unit settled; nothing was "
                                "sent."));
    if (m_run.running() > 0) {
        m_console.complain(
            QStringLiteral("stopping once the %1 unit(s) under way ended.").arg(m_run.running()));
    }
    endIfIdle();
}

void Station::stopWatching(const QString &why)
{
    delete m_watcher;
    m_watcher = nullptr;
    const QHash<QString, Settling> settling = std::exchange(m_settling, {});
    for (const Settling &unit : settling) {
        delete unit.timer;
        m_run.notConfigured(unit.device, why);
    }
}

bool Station::matches(const PortEntry &device)
{
    const bool once = !m_named.contains(device.stableName());
    if (!m_plan.matchAny && !matchesDevice(device, m_plan.matches)) {
        if (m_plan.verbose && once) {
            m_named.insert(device.stableName());
            m_console.complain(QStringLiteral("%1 does not match %2; left alone.")
                                   .arg(unitName(device), quotedPatterns(m_plan.matches)));
        }
        hintPartOfName();
        return false;
    }
    for (const QString &pattern : std::as_const(m_plan.matches)) {
        if (matchesDevice(device, pattern))
            m_wholeMatched.insert(pattern);
    }
    // Started after another that takes it too (with no such device there at
    // start): the unit is the other's.
    if (const std::optional<StationNotice> other = m_registry.earlierTaker(device)) {
        if (once) {
            m_named.insert(device.stableName());
            m_console.complain(QStringLiteral("%1 is left to %2, which started first.")
                                   .arg(unitName(device), other->describe()));
        }
        return false;
    }
    return true;
}

void Station::hintPartOfName()
{
    if (!m_watcher)
        return;
    const QList<PortEntry> present = m_watcher->present();
    for (const QString &pattern : std::as_const(m_plan.matches)) {
        if (m_hinted.contains(pattern) || m_wholeMatched.contains(pattern))
            continue;
        if (const QString hint = partOfNameHint(pattern, present); !hint.isEmpty()) {
            m_hinted.insert(pattern);
            m_console.complain(hint);
        }
    }
}

void Station::onAppeared(const PortEntry &device)
{
    if (m_stopping || !matches(device) || m_settling.contains(device.location))
        return;
    // Another unit where one is still under way (that one pulled in the
    // middle of its exchange, this one plugged in at once): it settles once
    // that exchange ended.
    if (m_run.isRunning(device.location)) {
        m_settling.insert(device.location, {device, nullptr});
        return;
    }
    settle(device);
}

void Station::settle(const PortEntry &device)
{
    // A dongle needs a moment to boot before it listens.
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this,
            [this, location = device.location] { onSettled(location); });
    m_settling.insert(device.location, {device, timer});
    timer->start(m_plan.settleMs);
    emit unitSettling(device);
}

void Station::onUnitResult(const PortEntry &unit)
{
    // From the event loop, so that whoever hears of the ended unit hears of
    // it before the next one at its place.
    QMetaObject::invokeMethod(
        this,
        [this, location = unit.location] {
            const auto waiting = m_settling.constFind(location);
            if (waiting != m_settling.cend() && !waiting->timer && !m_run.isRunning(location))
                settle(waiting->device);
        },
        Qt::QueuedConnection);
}

bool Station::retry(const PortEntry &unit, int attempt)
{
    if (m_stopping || !m_watcher || m_settling.contains(unit.location) ||
        m_run.isRunning(unit.location))
        return false;
    const std::optional<PortEntry> device = m_watcher->find(unit.location);
    if (!device || !device->samePlugIn(unit))
        return false;
    m_run.configure(*device, attempt);
    return true;
}

void Station::onVanished(const QString &location)
{
    // For whoever checks that the station sees the fixture's sockets.
    if (m_plan.verbose)
        m_console.complain(QStringLiteral("%1 went away.").arg(location));
    // Gone before it was due: nothing was sent, so there is nothing to record.
    // A unit plugged in there next settles from its own start.
    delete m_settling.take(location).timer;
    emit unitGone(location);
}

void Station::onSettled(const QString &location)
{
    const Settling settled = m_settling.take(location);
    settled.timer->deleteLater();
    // The watcher's latest entry: a rescan meanwhile may have found its
    // by-id link. Never another unit's, which has a settling time of its own.
    const std::optional<PortEntry> device = m_watcher->find(location);
    if (device && device->samePlugIn(settled.device))
        m_run.configure(*device);
}

void Station::endIfIdle()
{
    if (m_stopping && m_run.running() == 0)
        end(m_run.exitCode());
}

void Station::end(int exitCode)
{
    if (m_ended)
        return;
    m_ended = true;
    m_registry.withdraw();
    stopWatching(QStringLiteral("The station ended while the unit settled; nothing was sent."));
    m_console.say(QStringLiteral("Station stopped. %1").arg(m_run.summary()));
    emit finished(exitCode);
}
