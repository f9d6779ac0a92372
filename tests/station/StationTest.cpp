#include "station/Station.h"

#include "support/ProgramRun.h"
#include "support/ReportRecords.h"
#include "support/ScratchFileSystem.h"
#include "support/StationRig.h"

#include <QDir>
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

// An emulated unit as the emulator's folder lists it.
PortEntry emulated(const PlayedDongle &dongle, int unit)
{
    return {dongle.pty.slavePath(),
            QStringLiteral("Dongle emulator %1 (%2)").arg(unit).arg(dongle.pty.slavePath())};
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
    void patternsTakeWholeNames_data();
    void patternsTakeWholeNames();
    void besideAnotherStation_data();
    void besideAnotherStation();

private:
    // Unanswered frames are noted and stations announce themselves in the
    // runtime folder: the test's own.
    PrivateRuntimeFolder m_runtime;
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
// "swap" (another unit on its device at once), "again" (the source tells of
// the same list once more), "done:N" (wait for N result lines), "idle:MS"
// (let MS pass), "frames:N" (the dongle got N frames so far), "sent:N" (wait
// for N frames), "slow" (the dongle answers 400 ms late).
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
    QTest::newRow("another unit on its device, configured too")
        << 0 << "plug done:1 swap done:2" << 2 << "2 units: 2 acknowledged, 0 failed." << 0;
    // A unit gets its whole settling time from its latest plug-in.
    QTest::newRow("re-plugged while settling")
        << 2000 << "plug idle:1200 pull plug idle:1200 frames:0 done:1" << 1
        << "1 unit: 1 acknowledged, 0 failed." << 0;
    QTest::newRow("another unit while settling")
        << 2000 << "plug idle:1200 swap idle:1200 frames:0 done:1" << 1
        << "1 unit: 1 acknowledged, 0 failed." << 0;
    // The old unit's exchange ends first; the new one is not lost.
    QTest::newRow("another unit while one is under way")
        << 0 << "slow plug sent:1 swap done:2" << 2 << "2 units: 2 acknowledged, 0 failed." << 0;
}

void StationTest::unitsAsTheyComeAndGo()
{
    QFETCH(int, settleMs);
    QFETCH(QString, script);
    QFETCH(int, frames);
    QFETCH(QString, summary);
    QFETCH(int, exitCode);
    PlayedDongle unit;
    PortEntry other = unit.entry(QStringLiteral("SN2"));
    other.plugIn = QStringLiteral("2");
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
        else if (step == QLatin1String("swap"))
            rig.source->swap(other);
        else if (step == QLatin1String("again"))
            rig.source->announceAgain();
        else if (step == QLatin1String("slow"))
            unit.dongle->setOptions({.delayMs = 400});
        else if (step.startsWith(QLatin1String("sent:")))
            QTRY_COMPARE(unit.frames(), argument.toInt());
        else if (step.startsWith(QLatin1String("frames:")))
            QCOMPARE(unit.frames(), argument.toInt());
        else if (step.startsWith(QLatin1String("done:")))
            QTRY_COMPARE(resultLines(rig.console.out()), argument.toInt());
        else if (step.startsWith(QLatin1String("idle:")))
            QTest::qWait(argument.toInt());
        else
            QFAIL(qPrintable(step));
    }
    QCOMPARE(unit.frames(), frames);
    // --verbose tells of each device that went.
    QCOMPARE(rig.console.err().count(" went away."),
             steps.count(QStringLiteral("pull")) + steps.count(QStringLiteral("swap")));
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
    plan.matches = {QStringLiteral("0403:6001")};
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

void StationTest::patternsTakeWholeNames_data()
{
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QList<int>>("taken"); // of the emulated units 1, 10, 11 and 12
    QTest::addColumn<bool>("hint");

    QTest::newRow("unit 1's name takes none of 10 to 12")
        << QStringList{"Dongle emulator 1"} << QList<int>{1} << false;
    QTest::newRow("a part of names takes none")
        << QStringList{"emulator 1"} << QList<int>{} << true;
    QTest::newRow("wildcard, any case")
        << QStringList{"dongle EMULATOR 1?"} << QList<int>{10, 11, 12} << false;
    QTest::newRow("several --match")
        << QStringList{"Dongle emulator 1", "Dongle emulator 11"} << QList<int>{1, 11} << false;
}

// A line of units: a pattern takes a unit by a whole name only, and one that
// is merely a part of names is told so, once.
void StationTest::patternsTakeWholeNames()
{
    QFETCH(QStringList, patterns);
    QFETCH(QList<int>, taken);
    QFETCH(bool, hint);
    RunPlan plan = planFor(0);
    plan.matchAny = false;
    plan.matches = patterns;
    RunningStation rig(plan);
    QTRY_VERIFY(rig.waiting());
    std::map<int, PlayedDongle> units;
    for (const int unit : {1, 10, 11, 12})
        rig.source->plug(emulated(units[unit], unit));
    QTRY_COMPARE(resultLines(rig.console.out()), taken.size());
    QTest::qWait(100);
    for (const auto &[unit, dongle] : units)
        QCOMPARE(dongle.frames(), taken.contains(unit) ? 1 : 0);
    QCOMPARE(rig.console.err().count("matches no whole name"), hint ? 1 : 0);
    QCOMPARE(rig.stop(), 0);
}

void StationTest::besideAnotherStation_data()
{
    QTest::addColumn<QStringList>("first"); // empty: --match-any
    QTest::addColumn<QString>("killed");    // the first's pid: "gone", or another process's
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<int>("taken"); // by the second of units 1 and 2; -1: it does not start

    const QStringList any;
    const QStringList seven{"Dongle emulator 7"};
    QTest::newRow("both would take a unit that is there")
        << QStringList{"Dongle emulator *"} << QString() << QStringList{"*emulator 1"} << -1;
    QTest::newRow("the same pattern")
        << seven << QString() << QStringList{"dongle EMULATOR 7"} << -1;
    QTest::newRow("the first takes every device") << any << QString() << seven << -1;
    QTest::newRow("the second takes every device") << seven << QString() << any << -1;
    QTest::newRow("apart") << QStringList{"Dongle emulator 1"} << QString()
                           << QStringList{"Dongle emulator 2"} << 1;
    QTest::newRow("a later unit both take is the first's")
        << QStringList{"Dongle emulator *"} << QString() << QStringList{"*emulator 2"} << 0;
    QTest::newRow("killed, its process gone") << any << "gone" << any << 2;
    QTest::newRow("killed, its pid now another process's") << any << "reused" << any << 2;
}

// A second station that would take units of the first refuses to start,
// before its report's first record and before any unit; one killed
// outright is no station. Unit 1 is there from the start, unit 2 comes.
void StationTest::besideAnotherStation()
{
    QFETCH(QStringList, first);
    QFETCH(QString, killed);
    QFETCH(QStringList, second);
    QFETCH(int, taken);
    PlayedDongle present;
    RunPlan plan = planFor(0);
    plan.stationName = QStringLiteral("line-1");
    plan.matches = first;
    plan.matchAny = first.isEmpty();
    std::optional<RunningStation> running;
    const QString leftover = StationRegistry::defaultFolder() + QStringLiteral("/1-1.station");
    if (killed.isEmpty()) {
        running.emplace(plan, QList<PortEntry>{emulated(present, 1)});
        QTRY_VERIFY(running->waiting());
    } else {
        QFile notice(leftover);
        QVERIFY(QDir().mkpath(StationRegistry::defaultFolder()) &&
                notice.open(QIODevice::WriteOnly));
        const qint64 pid = killed == "gone" ? 0x7ffffffe : QCoreApplication::applicationPid();
        notice.write(
            QStringLiteral(R"({"pid":%1,"match_any":true,"process_stamp":"1"})").arg(pid).toUtf8());
    }
    QTemporaryDir dir;
    plan.matches = second;
    plan.matchAny = second.isEmpty();
    plan.includePresent = true;
    plan.reportPath = dir.filePath(QStringLiteral("units.csv"));
    RunningStation rig(plan, {emulated(present, 1)});
    const QByteArray firstNamed =
        "station \"line-1\" (pid " + QByteArray::number(QCoreApplication::applicationPid());
    if (taken < 0) {
        QVERIFY(rig.finished->wait(5000));
        QCOMPARE(rig.finished->first().first().toInt(), 2);
        QVERIFY2(rig.console.err().contains("not started: " + firstNamed), rig.console.err());
        QVERIFY(!QFile::exists(plan.reportPath));
    } else {
        QTRY_VERIFY(rig.waiting());
        QCOMPARE(rig.console.err().contains("also here: " + firstNamed), killed.isEmpty());
        QVERIFY(!QFile::exists(leftover));
        PlayedDongle later;
        rig.source->plug(emulated(later, 2));
        if (running)
            running->source->plug(emulated(later, 2));
        QTRY_COMPARE(later.frames(), 1);
        QTRY_COMPARE(rig.console.out().count('\n'), taken);
        QTest::qWait(100);
        QCOMPARE(rig.console.out().count('\n'), taken);
        QCOMPARE(rig.stop(), 0);
    }
    QCOMPARE(present.frames(), killed.isEmpty() ? 0 : 1);
    if (running)
        QCOMPARE(running->stop(), 0);
    // Each took its notice with it.
    QCOMPARE(QDir(StationRegistry::defaultFolder()).entryList({"*.station"}), QStringList());
}

QTEST_GUILESS_MAIN(StationTest)
#include "StationTest.moc"
