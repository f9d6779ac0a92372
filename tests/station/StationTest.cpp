#include "station/Station.h"

#include "support/ProgramRun.h"
#include "support/ReportRecords.h"
#include "support/ScratchFileSystem.h"
#include "support/StationRig.h"

#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

namespace {

RunPlan planFor(int settleMs, int waitMs = 1000)
{
    RunPlan plan;
    plan.frames = {{Page::General, SettingCodec::BuildGeneralFrame({})}};
    plan.waitMs = waitMs;
    plan.settleMs = settleMs;
    plan.matchAny = true;
    return plan;
}

qsizetype resultLines(const QByteArray &out)
{
    return out.count(": Setting OK !!") + out.count(": Setting Fail !!") +
           out.count(": Port error !!");
}

// A station over a scripted line, started and waiting.
struct RunningStation
{
    RunningStation(const RunPlan &plan, QList<PortEntry> present = {})
    {
        auto scripted = std::make_unique<ScriptedDeviceSource>(std::move(present));
        source = scripted.get();
        DeviceSources sources;
        sources.push_back(std::move(scripted));
        station = std::make_unique<Station>(plan, std::move(sources), console.console());
        finished = std::make_unique<QSignalSpy>(station.get(), &Station::finished);
        station->start();
    }
    [[nodiscard]] bool waiting() const { return console.err().contains("waiting for devices"); }
    // Stops it and gives its exit status, or -1 when it did not finish.
    int stop()
    {
        station->stop();
        const bool ended = !finished->isEmpty() || finished->wait(5000);
        return ended ? finished->first().first().toInt() : -1;
    }

    CapturedConsole console;
    ScriptedDeviceSource *source = nullptr;
    std::unique_ptr<Station> station;
    std::unique_ptr<QSignalSpy> finished;
};

} // namespace

// The station's rules over a scripted line of real pseudo-terminal dongles:
// which units it takes, when, and how often.
class StationTest : public QObject
{
    Q_OBJECT

private slots:
    void presentDevices_data();
    void presentDevices();
    void unitsAsTheyComeAndGo_data();
    void unitsAsTheyComeAndGo();
    void stopLetsRunningUnitsEnd();
    void reportThatCannotBeWritten_data();
    void reportThatCannotBeWritten();
    void noFrameWithoutItsRecord();
    void busyUnitIsNotAFailure();
    void unmatchedNamedOnce();

private:
    PrivateRuntimeFolder m_runtime; // where unanswered frames are noted
};

void StationTest::presentDevices_data()
{
    QTest::addColumn<bool>("includePresent");
    QTest::addColumn<int>("frames");
    QTest::newRow("left alone") << false << 0;
    QTest::newRow("--include-present") << true << 1;
}

void StationTest::presentDevices()
{
    QFETCH(bool, includePresent);
    QFETCH(int, frames);
    PlayedDongle present;
    RunPlan plan = planFor(0);
    plan.includePresent = includePresent;
    RunningStation rig(plan, {present.entry()});
    QTRY_VERIFY(rig.waiting());
    // A unit configured is one result line; none is none after a while.
    if (frames > 0)
        QTRY_COMPARE(resultLines(rig.console.out()), 1);
    else
        QTest::qWait(200);
    QCOMPARE(present.frames(), frames);
    QCOMPARE(rig.stop(), 0);
}

// A script of what happens on the line: "plug" and "pull" the dongle,
// "again" (the source tells of the same list once more), "done:N" (wait
// for N result lines), "idle:MS" (let MS pass).
void StationTest::unitsAsTheyComeAndGo_data()
{
    QTest::addColumn<int>("settleMs");
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<int>("exitCode");

    // Stopped while it settles, the unit is told as not configured.
    QTest::newRow("sent nothing while it settles")
        << 60000 << "plug idle:300" << 0 << "1 unit: 0 acknowledged, 0 failed, 1 not configured."
        << 1;
    QTest::newRow("gone while settling")
        << 100 << "plug pull idle:400" << 0 << "0 units: 0 acknowledged, 0 failed." << 0;
    QTest::newRow("announced twice, configured once")
        << 50 << "plug again again done:1 again idle:200" << 1
        << "1 unit: 1 acknowledged, 0 failed." << 0;
    QTest::newRow("re-plugged, configured again")
        << 0 << "plug done:1 pull plug done:2" << 2 << "2 units: 2 acknowledged, 0 failed." << 0;
}

void StationTest::unitsAsTheyComeAndGo()
{
    QFETCH(int, settleMs);
    QFETCH(QString, script);
    QFETCH(int, frames);
    QFETCH(QString, summary);
    QFETCH(int, exitCode);
    PlayedDongle unit;
    RunPlan plan = planFor(settleMs);
    plan.verbose = true;
    RunningStation rig(plan);
    QTRY_VERIFY(rig.waiting());
    const QStringList steps = script.split(QLatin1Char(' '));
    for (const QString &step : steps) {
        const QString argument = step.section(QLatin1Char(':'), 1);
        if (step == QLatin1String("plug"))
            rig.source->plug(unit.entry());
        else if (step == QLatin1String("pull"))
            rig.source->pull(unit.entry().location);
        else if (step == QLatin1String("again"))
            rig.source->announceAgain();
        else if (step.startsWith(QLatin1String("done:")))
            QTRY_COMPARE(resultLines(rig.console.out()), argument.toInt());
        else if (step.startsWith(QLatin1String("idle:")))
            QTest::qWait(argument.toInt());
        else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(unit.frames(), frames);
    // --verbose tells of each device that went.
    QCOMPARE(rig.console.err().count(" went away."), steps.count(QStringLiteral("pull")));
    QCOMPARE(rig.stop(), exitCode);
    QCOMPARE(rig.console.out().trimmed().split('\n').constLast(),
             "Station stopped. " + summary.toUtf8());
}

void StationTest::stopLetsRunningUnitsEnd()
{
    PlayedDongle silent({.silent = true});
    RunningStation rig(planFor(0, 300));
    QTRY_VERIFY(rig.waiting());
    rig.source->plug(silent.entry());
    QTRY_COMPARE(silent.frames(), 1);
    rig.station->stop();
    // Not before its wait ended: the unit gets its line, then the summary.
    QVERIFY(rig.finished->isEmpty());
    QVERIFY(rig.finished->wait(5000));
    QCOMPARE(rig.finished->first().first().toInt(), 1);
    const QList<QByteArray> lines = rig.console.out().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.first().endsWith(": Setting Fail !!"));
    QCOMPARE(lines.last(), QByteArray("Station stopped. 1 unit: 0 acknowledged, 1 failed "
                                      "(no-answer 1)."));
}

void StationTest::reportThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("read-only mount") << "read-only";
    QTest::newRow("full disk") << "full";
    QTest::newRow("/dev/full") << "/dev/full";
}

// A report the station cannot write stops it before it waits for a unit:
// creating an empty file is no proof, the run's own record is.
void StationTest::reportThatCannotBeWritten()
{
    QFETCH(QString, where);
    ScratchFileSystem scratch;
    if (!scratch.isMounted() && where != QLatin1String("/dev/full"))
        QSKIP(qPrintable(scratch.why()));
    if (where == QLatin1String("read-only"))
        QVERIFY(scratch.makeReadOnly());
    if (where == QLatin1String("full"))
        QVERIFY(scratch.fill());
    PlayedDongle present;
    RunPlan plan = planFor(0);
    plan.includePresent = true;
    plan.reportPath =
        where.startsWith(QLatin1Char('/'))
            ? where
            : scratch.filePath(where == QLatin1String("missing") ? QStringLiteral("no/units.csv")
                                                                 : QStringLiteral("units.csv"));
    RunningStation rig(plan, {present.entry()});
    QVERIFY(rig.finished->wait(5000));
    QCOMPARE(rig.finished->first().first().toInt(), 4);
    QVERIFY2(rig.console.err().contains(plan.reportPath.toLocal8Bit()), rig.console.err());
    QVERIFY(!rig.waiting());
    QTest::qWait(100);
    QCOMPARE(present.frames(), 0);
}

// The disk fills while units come: a unit gets its first byte only after its
// started record is on the disk; the station then takes no unit more, and
// those under way end.
void StationTest::noFrameWithoutItsRecord()
{
    ScratchFileSystem scratch(4096);
    if (!scratch.isMounted())
        QSKIP(qPrintable(scratch.why()));
    RunPlan plan = planFor(0);
    plan.reportPath = scratch.filePath(QStringLiteral("units.csv"));
    RunningStation rig(plan);
    QTRY_VERIFY(rig.waiting());
    std::vector<std::unique_ptr<PlayedDongle>> units;
    while (rig.finished->isEmpty() && units.size() < 40) {
        units.push_back(std::make_unique<PlayedDongle>());
        rig.source->plug(units.back()->entry(QStringLiteral("SN%1").arg(units.size())));
        QTRY_COMPARE(resultLines(rig.console.out()) +
                         rig.console.out().count(": Not configured !!"),
                     qsizetype(units.size()));
    }
    QTRY_VERIFY(!rig.finished->isEmpty());
    QCOMPARE(rig.finished->first().first().toInt(), 4);

    QSet<QString> started;
    for (const ReportRecord &record : reportRecords(plan.reportPath)) {
        if (record.value("kind") == QLatin1String("started"))
            started.insert(record.value("device"));
    }
    QVERIFY(!started.isEmpty());
    for (const auto &unit : units) {
        const bool recorded = started.contains(unit->entry().location);
        QCOMPARE(unit->frames() > 0, recorded);
    }
    QVERIFY2(rig.console.out().contains(": Not configured !!"), rig.console.out());
    // Each unit's line names it by its serial number.
    QVERIFY2(rig.console.out().startsWith("SN1 (" + units.front()->entry().location.toLocal8Bit() +
                                          "): Setting OK !!"),
             rig.console.out());
}

// Another program holds the unit: it is busy, told so and recorded, not a
// failed unit.
void StationTest::busyUnitIsNotAFailure()
{
    PlayedDongle held;
    QSerialPort other;
    other.setPortName(held.pty.slavePath());
    QVERIFY(other.open(QIODevice::ReadWrite));
    QTemporaryDir dir;
    RunPlan plan = planFor(0);
    plan.reportPath = dir.filePath(QStringLiteral("units.csv"));
    RunningStation rig(plan);
    QTRY_VERIFY(rig.waiting());
    rig.source->plug(held.entry());
    QTRY_VERIFY(rig.console.out().contains(": Busy !!"));
    QCOMPARE(held.frames(), 0);
    QCOMPARE(rig.stop(), 1);
    QVERIFY2(rig.console.out().endsWith("1 unit: 0 acknowledged, 0 failed, 1 busy.\n"),
             rig.console.out());
    QCOMPARE(reportRecords(plan.reportPath).constLast().value("result"), QStringLiteral("busy"));
}

// With --verbose a device that does not match is named, once.
void StationTest::unmatchedNamedOnce()
{
    PlayedDongle stranger;
    RunPlan plan = planFor(0);
    plan.matchAny = false;
    plan.match = QStringLiteral("0403:6001");
    plan.verbose = true;
    RunningStation rig(plan);
    QTRY_VERIFY(rig.waiting());
    for (int i = 0; i < 2; ++i) {
        rig.source->plug(stranger.entry());
        rig.source->pull(stranger.entry().location);
    }
    QTRY_VERIFY(rig.console.err().contains("does not match"));
    QTest::qWait(100);
    QCOMPARE(rig.console.err().count("does not match"), 1);
    QVERIFY(rig.console.err().contains(stranger.entry().location.toLocal8Bit()));
    QCOMPARE(stranger.frames(), 0);
    QCOMPARE(rig.stop(), 0);
}

QTEST_GUILESS_MAIN(StationTest)
#include "StationTest.moc"
