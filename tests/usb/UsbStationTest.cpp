#include "support/ProgramRun.h"
#include "usb/UsbGuest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace UsbGuest;

namespace {

// The report's records of units that ended, read by their named fields.
QList<QJsonObject> unitResults(const QString &report)
{
    QList<QJsonObject> results;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly))
        return results;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("kind")).toString() == QLatin1String("result"))
            results.append(record);
    }
    return results;
}

// Waits, with the event loop running, for the report to hold this many
// unit results; says what it holds if it does not.
QString awaitResults(const QString &report, qsizetype count, int timeoutMs = 20000)
{
    if (QTest::qWaitFor([&] { return unitResults(report).size() >= count; }, timeoutMs))
        return {};
    QFile file(report);
    const QByteArray held = file.open(QIODevice::ReadOnly) ? file.readAll() : "(no file)";
    return QStringLiteral("expected %1 unit records in %2 within %3 s, it holds:\n%4")
        .arg(count)
        .arg(report)
        .arg(timeoutMs / 1000)
        .arg(QString::fromUtf8(held));
}

QJsonObject resultOf(const QList<QJsonObject> &results, const QString &serial)
{
    for (const QJsonObject &record : results) {
        if (record.value(QStringLiteral("serial_number")).toString() == serial)
            return record;
    }
    return {};
}

QString text(const QJsonObject &record)
{
    return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
}

// The /dev/serial/by-path link (the USB socket) that names the device.
QString byPathLink(const QString &device)
{
    const QFileInfoList links = QDir(QStringLiteral("/dev/serial/by-path"))
                                    .entryInfoList(QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &link : links) {
        if (link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    }
    return {};
}

// The unit as a record must name it: its device, its by-id and by-path
// links, USB ids, product and serial number.
QString describesUnit(const QJsonObject &record, const QString &serial, const QString &device,
                      const QString &byPath)
{
    const QList<std::pair<const char *, QString>> expected{
        {"device", device},
        {"by_id", byIdLink(serial)},
        {"by_path", byPath},
        {"vid_pid", QStringLiteral("0403:6001")},
        {"product", QStringLiteral("QEMU USB SERIAL")},
        {"serial_number", serial},
    };
    QStringList wrong;
    for (const auto &[name, value] : expected) {
        if (record.value(QLatin1String(name)).toString() != value)
            wrong << QStringLiteral("%1 is not %2").arg(QLatin1String(name), value);
    }
    return wrong.isEmpty()
               ? QString()
               : QStringLiteral("%1 in %2").arg(wrong.join(QStringLiteral(", ")), text(record));
}

} // namespace

// vantrel-set and its station on USB serial adapters driven by the kernel's
// ftdi_sio driver, with units found through udev as they are plugged.
class UsbStationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void setThroughTheByIdLink();
    void stationConfiguresEachPluggedUnitOnce_data();
    void stationConfiguresEachPluggedUnitOnce();
    void unitPulledDuringItsWait();

private:
    struct Unit
    {
        QString serial;
        QString dongle;
        QString port = {};   // the root port, or empty for the first free one
        QString device = {}; // the tty its link named while plugged
        QString byPath = {};
        qsizetype bytesBefore = 0;
    };

    // Starts a station on the profile, its report and output in the run
    // folder as NAME.jsonl, NAME.out and NAME.err; returns once it waits
    // for devices.
    void startStation(QProcess &station, const QString &name, const QString &match);
    // Stops it as Ctrl+C would and returns its exit status.
    int stopStation(QProcess &station);
    // Plugs the units together and notes their devices.
    void plugUnits(QList<Unit> &units);

    HostChannel m_host;
    QString m_profile;
};

void UsbStationTest::initTestCase()
{
    QVERIFY2(m_host.openError().isEmpty(), qPrintable(m_host.openError()));
    m_profile = runFolder() + QStringLiteral("/line.profile");
    const ProgramRun saved =
        runProgram(QStringLiteral(VANTREL_SET_PROGRAM),
                   QStringList{"--save-profile", m_profile} + generalCase().arguments);
    QVERIFY2(saved.exitCode == 0, saved.err.constData());
}

void UsbStationTest::cleanup()
{
    // A failed test leaves no unit behind for the next one.
    m_host.pullAll();
}

void UsbStationTest::startStation(QProcess &station, const QString &name, const QString &match)
{
    // Its output goes to the run folder, where it stays for whoever reads a
    // failure.
    const QString output = runFolder() + QLatin1Char('/') + name;
    station.setStandardOutputFile(output + QStringLiteral(".out"));
    station.setStandardErrorFile(output + QStringLiteral(".err"));
    station.start(QStringLiteral(VANTREL_SET_PROGRAM),
                  {"--watch", "--verbose", "--match", match, "--profile", m_profile, "--report",
                   output + QStringLiteral(".jsonl")});
    const bool waiting = QTest::qWaitFor(
        [&] {
            return TestBytes::readFile(output + QStringLiteral(".err"))
                       .contains("waiting for devices") ||
                   station.state() == QProcess::NotRunning;
        },
        20000);
    QVERIFY2(waiting && station.state() == QProcess::Running,
             TestBytes::readFile(output + QStringLiteral(".err")).constData());
}

int UsbStationTest::stopStation(QProcess &station)
{
    station.terminate();
    if (!QTest::qWaitFor([&] { return station.state() == QProcess::NotRunning; }, 15000)) {
        station.kill();
        station.waitForFinished();
        return -1;
    }
    return station.exitStatus() == QProcess::NormalExit ? station.exitCode() : -1;
}

void UsbStationTest::plugUnits(QList<Unit> &units)
{
    QList<HostChannel::Plug> plugs;
    for (Unit &unit : units) {
        unit.bytesBefore = dongleBytes(unit.dongle).size();
        plugs.append({unit.serial, unit.dongle, unit.port});
    }
    const QString error = m_host.plugTogether(plugs);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (Unit &unit : units) {
        unit.device = QFileInfo(byIdLink(unit.serial)).canonicalFilePath();
        // udev makes the links one after the other.
        (void)QTest::qWaitFor([&] { return !(unit.byPath = byPathLink(unit.device)).isEmpty(); },
                              5000);
        QVERIFY2(
            !unit.byPath.isEmpty(),
            qPrintable(QStringLiteral("no /dev/serial/by-path link names %1").arg(unit.device)));
    }
}

void UsbStationTest::setThroughTheByIdLink()
{
    const QString serial = QStringLiteral("VT0011");
    const qsizetype before = dongleBytes(QStringLiteral("answer1")).size();
    QString error = m_host.plug(serial, QStringLiteral("answer1"));
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const ProgramRun run = runProgram(QStringLiteral(VANTREL_SET_PROGRAM),
                                      QStringList{byIdLink(serial)} + generalCase().arguments);
    QVERIFY2(run.exitCode == 0, run.err.constData());
    QCOMPARE(run.out, QByteArray("Setting OK !!\n"));
    const QByteArray line = dongleBytes(QStringLiteral("answer1")).mid(before);
    QVERIFY2(line == generalCase().frame,
             qPrintable(QStringLiteral("on answer1's line: expected %1, saw %2")
                            .arg(hexOf(generalCase().frame), hexOf(line))));

    error = m_host.pull(serial);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(waitForLink(serial, false));
}

void UsbStationTest::stationConfiguresEachPluggedUnitOnce_data()
{
    QTest::addColumn<QString>("match"); // {xhci}: the USB controller's by-path name
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<QStringList>("strangers"); // plugged too, must be left alone
    QTest::addColumn<QStringList>("ports");     // the root ports they go into, or the first free

    // The second unit's links come a second after its tty (see
    // guest/59-vantrel-slow.rules): it must still be taken, once.
    QTest::newRow("by serial number") << "VT002*" << QStringList{"VT0021", "VT0022-SLOW"}
                                      << QStringList{"VT0931"} << QStringList();
    QTest::newRow("by VID:PID") << "0403:6001" << QStringList{"VT0031", "VT0032-SLOW"}
                                << QStringList() << QStringList();
    // Socket 1's by-path name is the start of socket 10's.
    QTest::newRow("by USB socket, 1 and not 10") << "{xhci}-usb-0:1:*" << QStringList{"VT0051"}
                                                 << QStringList{"VT0052"} << QStringList{"1", "10"};
    QTest::newRow("socket 1 as once written, none")
        << "{xhci}-usb-0:1" << QStringList() << QStringList{"VT0061", "VT0062"}
        << QStringList{"1", "10"};
}

void UsbStationTest::stationConfiguresEachPluggedUnitOnce()
{
    QFETCH(QString, match);
    QFETCH(QStringList, serials);
    QFETCH(QStringList, strangers);
    QFETCH(QStringList, ports);
    const QStringList controllers =
        QDir(QStringLiteral("/sys/bus/pci/drivers/xhci_hcd")).entryList({"0000:*"});
    match.replace(QStringLiteral("{xhci}"), QStringLiteral("pci-") + controllers.value(0));
    QString name = QStringLiteral("station-%1").arg(QTest::currentDataTag()).toLower();
    name.replace(QLatin1Char(' '), QLatin1Char('-')).replace(QLatin1Char(':'), QLatin1Char('-'));
    const QString report = runFolder() + QStringLiteral("/%1.jsonl").arg(name);

    QProcess station;
    startStation(station, name, match);
    QList<Unit> units;
    for (const QString &serial : serials + strangers)
        units.append(
            {serial, QStringLiteral("answer%1").arg(units.size() + 1), ports.value(units.size())});
    plugUnits(units);
    if (!ports.isEmpty())
        QVERIFY2(units.last().byPath.contains("-usb-0:" + ports.last() + ':'),
                 qPrintable(units.last().byPath));

    QString missing = awaitResults(report, serials.size());
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    // Each stranger was seen and judged, not merely too slow to be taken.
    for (const QString &stranger : strangers) {
        const QString err = runFolder() + QStringLiteral("/%1.err").arg(name);
        const bool judged = QTest::qWaitFor(
            [&] { return TestBytes::readFile(err).contains(stranger.toUtf8() + " (/dev/"); },
            10000);
        QVERIFY2(judged, TestBytes::readFile(err).constData());
    }
    // Long enough for a second round to show, had a unit been taken twice.
    QTest::qWait(1500);
    const QList<QJsonObject> results = unitResults(report);
    QCOMPARE(results.size(), serials.size());
    for (const Unit &unit : std::as_const(units)) {
        const QByteArray line = dongleBytes(unit.dongle).mid(unit.bytesBefore);
        if (strangers.contains(unit.serial)) {
            QVERIFY2(line.isEmpty(), qPrintable(QStringLiteral("%1 does not match \"%2\" and "
                                                               "got %3")
                                                    .arg(unit.serial, match, hexOf(line))));
            continue;
        }
        const QJsonObject record = resultOf(results, unit.serial);
        QVERIFY2(record.value("result").toString() == QStringLiteral("ok"),
                 qPrintable(QStringLiteral("%1: expected an ok record, saw %2")
                                .arg(unit.serial, text(record))));
        const QString wrong = describesUnit(record, unit.serial, unit.device, unit.byPath);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QVERIFY2(line == generalCase().frame,
                 qPrintable(QStringLiteral("on %1's line: expected %2 once, saw %3")
                                .arg(unit.dongle, hexOf(generalCase().frame), hexOf(line))));
    }

    for (const Unit &unit : std::as_const(units)) {
        const QString error = m_host.pull(unit.serial);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    QCOMPARE(stopStation(station), 0);
}

void UsbStationTest::unitPulledDuringItsWait()
{
    const QString name = QStringLiteral("station-pulled");
    const QString report = runFolder() + QStringLiteral("/%1.jsonl").arg(name);
    QProcess station;
    startStation(station, name, QStringLiteral("VT004*"));

    // One unit never answers, the other answers a second late: both are
    // open and waiting when the first is pulled.
    QList<Unit> units{{QStringLiteral("VT0041"), QStringLiteral("silent1")},
                      {QStringLiteral("VT0042"), QStringLiteral("slow1")}};
    plugUnits(units);
    for (const Unit &unit : std::as_const(units)) {
        const bool sent = QTest::qWaitFor(
            [&] {
                return dongleBytes(unit.dongle).size() ==
                       unit.bytesBefore + generalCase().frame.size();
            },
            10000);
        QVERIFY2(sent,
                 qPrintable(QStringLiteral("no frame on %1's line within 10 s").arg(unit.dongle)));
    }
    QString error = m_host.pull(units[0].serial);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QString missing = awaitResults(report, 2);
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QList<QJsonObject> results = unitResults(report);
    const QJsonObject pulled = resultOf(results, units[0].serial);
    QVERIFY2(pulled.value("result").toString() == QStringLiteral("port-error") &&
                 !pulled.value("reason").toString().isEmpty(),
             qPrintable(QStringLiteral("%1, pulled during its wait: expected a port-error record "
                                       "with its reason, saw %2")
                            .arg(units[0].serial, text(pulled))));
    QString wrong = describesUnit(pulled, units[0].serial, units[0].device, units[0].byPath);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    const QJsonObject other = resultOf(results, units[1].serial);
    QVERIFY2(other.value("result").toString() == QStringLiteral("ok"),
             qPrintable(QStringLiteral("%1, open while the other was pulled: expected an ok "
                                       "record, saw %2")
                            .arg(units[1].serial, text(other))));

    // The station goes on with the next unit.
    QList<Unit> next{{QStringLiteral("VT0043"), QStringLiteral("answer3")}};
    plugUnits(next);
    missing = awaitResults(report, 3);
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    results = unitResults(report);
    const QJsonObject third = resultOf(results, next[0].serial);
    QVERIFY2(third.value("result").toString() == QStringLiteral("ok"),
             qPrintable(QStringLiteral("%1, after the pull: expected an ok record, saw %2")
                            .arg(next[0].serial, text(third))));
    wrong = describesUnit(third, next[0].serial, next[0].device, next[0].byPath);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

    for (const QString &serial : {units[1].serial, next[0].serial}) {
        error = m_host.pull(serial);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    // The worst of its units: a port error.
    QCOMPARE(stopStation(station), 3);
    QCOMPARE(unitResults(report).size(), 3);
}

QTEST_MAIN(UsbStationTest)
#include "UsbStationTest.moc"
