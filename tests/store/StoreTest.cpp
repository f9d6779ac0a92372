#include "station/UnitReport.h"
#include "store/ReportFormat.h"

#include "support/ProgramRun.h"
#include "support/ReportRecords.h"
#include "support/StoreRig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <memory>

namespace {

const QString kSet = QStringLiteral(VANTREL_SET_PROGRAM);
const QString kDongle = QStringLiteral(VANTREL_DONGLE_PROGRAM);

// One server for the whole file, made by the first test that needs it.
PgServer &rig()
{
    static std::unique_ptr<PgServer> server;
    if (!server) {
        server = std::make_unique<PgServer>();
        if (server->why().isEmpty()) {
            server->addRole(QStringLiteral("vantrel_owner"));
            server->addRole(QStringLiteral("station"));
            server->addRole(QStringLiteral("norights"));
            server->addRole(QStringLiteral("wrongpw"), true);
        }
    }
    return *server;
}

#define NEED_SERVER()                                                                              \
    if (!rig().why().isEmpty())                                                                    \
    QSKIP(qPrintable(rig().why()))

// A database of the test's own, owned by vantrel_owner; with tables, and
// the GRANTs the README gives the stations' user.
QString database(const QString &name, bool withTables = true)
{
    (void)rig().admin(QStringLiteral("CREATE DATABASE %1 OWNER vantrel_owner").arg(name));
    if (withTables) {
        const ProgramRun setup =
            runProgram(kSet, {"--store", rig().conninfo(name, "vantrel_owner"), "--store-setup"},
                       rig().environment(QProcessEnvironment::systemEnvironment()));
        if (setup.exitCode != 0)
            qWarning() << setup.err;
        const QString grants = QStringLiteral(
            "SET ROLE vantrel_owner; GRANT SELECT ON vantrel_schema_version TO station; "
            "GRANT SELECT, INSERT ON vantrel_records TO station; "
            "GRANT SELECT ON vantrel_unit_latest TO station; SELECT 1");
        PgConnection db;
        if (db.open(rig().conninfo(name, "vantrel_admin")).ok())
            (void)db.exec(grants.toUtf8().constData());
    }
    return name;
}

int resultsIn(const QString &report)
{
    int results = 0;
    for (const ReportRecord &record : reportRecords(report))
        results += record.value("kind") == QLatin1String("result");
    return results;
}

// Each record's key in the report's order; and in the store's order of
// arrival (a table only ever appended to keeps it).
QStringList reportKeys(const QString &report)
{
    QStringList keys;
    for (const ReportRecord &r : reportRecords(report))
        keys << r.value("run_id") + '/' + r.value("seq") + '/' + r.value("kind");
    return keys;
}
QString storeKeys(const QString &db)
{
    return rig().admin("SELECT string_agg(run_id || '/' || seq || '/' || kind, ' ' ORDER BY ctid) "
                       "FROM vantrel_records",
                       db);
}

QStringList stationArguments(const QString &report, const QString &conninfo)
{
    return {"--watch",   "--match", "Dongle emulator *", "--settle-ms", "50",      "--channel", "5",
            "--wait-ms", "1000",    "--report",          report,        "--store", conninfo};
}

} // namespace

class StoreTest : public QObject
{
    Q_OBJECT

private slots:
    void serverDownAtStartThenStarted();
    void serverStoppedMidRun();
    void stationKilledMidForward();
    void fourStationsAtOnce();
    void refusedAtStart_data();
    void refusedAtStart();
    void hostileTextRoundTrips_data();
    void hostileTextRoundTrips();
};

void StoreTest::serverDownAtStartThenStarted()
{
    NEED_SERVER();
    const QString db = database("down_at_start");
    QVERIFY(rig().stop(false));
    QTemporaryDir runtime;
    const QProcessEnvironment environment = rig().environment(withRuntimeFolder(runtime));
    const QString report = runtime.filePath("units.csv");
    BackgroundProgram station(kSet, stationArguments(report, rig().conninfo(db, "station")),
                              environment);
    QTRY_VERIFY(station.err().contains("waiting for devices"));
    QTRY_VERIFY2(station.err().contains("store unreachable"), station.err());
    BackgroundProgram line(kDongle, {"--count", "4", "--every", "100"}, environment);
    QTRY_COMPARE_WITH_TIMEOUT(resultsIn(report), 4, 15000);

    QVERIFY(rig().start());
    QTRY_VERIFY_WITH_TIMEOUT(station.err().contains("store reachable again"), 30000);
    station.terminate();
    QTRY_VERIFY(station.ended());
    QCOMPARE(station.exitCode(), 0);
    QVERIFY2(station.out().contains("every record of"), station.out());
    QCOMPARE(storeKeys(db), reportKeys(report).join(' '));
}

void StoreTest::serverStoppedMidRun()
{
    NEED_SERVER();
    const QString db = database("stopped_mid_run");
    QTemporaryDir runtime;
    const QProcessEnvironment environment = rig().environment(withRuntimeFolder(runtime));
    const QString report = runtime.filePath("units.jsonl");
    BackgroundProgram station(kSet, stationArguments(report, rig().conninfo(db, "station")),
                              environment);
    QTRY_VERIFY(station.err().contains("waiting for devices"));
    BackgroundProgram line(kDongle, {"--count", "12", "--every", "300"}, environment);
    QTRY_VERIFY_WITH_TIMEOUT(rig().admin("SELECT count(*) FROM vantrel_records", db).toInt() >= 4,
                             15000);

    QVERIFY(rig().stop(true));
    const int atStop = resultsIn(report);
    // The line goes on while the store is away.
    QTRY_VERIFY_WITH_TIMEOUT(resultsIn(report) >= atStop + 2, 15000);
    QTRY_VERIFY(station.err().contains("store unreachable"));
    QVERIFY(rig().start());
    QTRY_COMPARE_WITH_TIMEOUT(resultsIn(report), 12, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(station.err().contains("store reachable again"), 30000);
    station.terminate();
    QTRY_VERIFY(station.ended());
    QCOMPARE(station.exitCode(), 0);
    QCOMPARE(storeKeys(db), reportKeys(report).join(' '));
}

void StoreTest::stationKilledMidForward()
{
    NEED_SERVER();
    const QString db = database("killed");
    QTemporaryDir dir;
    const QString report = dir.filePath("big.csv");
    // What an earlier run left unsent: many records, so the kill comes while
    // they go.
    QFile file(report);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(UnitReport::csvHeader());
    const QString run = QUuid::createUuid().toString(QUuid::WithoutBraces);
    constexpr int kRecords = 40000;
    for (int seq = 1; seq <= kRecords; ++seq) {
        file.write(QStringLiteral("result,2026-12-08T16:37:00.163Z,1.3.2,earlier,kim,WO-9,%1,%2,"
                                  "/dev/ttyUSB0,,,,,SN%2,,,98,55aa,ok,,3,1\n")
                       .arg(run)
                       .arg(seq)
                       .toUtf8());
    }
    file.close();
    QTemporaryDir runtime;
    const QProcessEnvironment environment = rig().environment(withRuntimeFolder(runtime));
    const auto stored = [&] {
        return rig().admin("SELECT count(*) FROM vantrel_records", db).toInt();
    };
    {
        BackgroundProgram first(kSet, stationArguments(report, rig().conninfo(db, "station")),
                                environment);
        QTRY_VERIFY_WITH_TIMEOUT(stored() > 0, 20000);
        first.kill();
        QTRY_VERIFY(first.ended());
    }
    QVERIFY2(stored() < kRecords, "the forward ended before the kill");
    BackgroundProgram second(kSet, stationArguments(report, rig().conninfo(db, "station")),
                             environment);
    // Both runs' station records, and every earlier one.
    QTRY_COMPARE_WITH_TIMEOUT(stored(), kRecords + 2, 60000);
    second.terminate();
    QTRY_VERIFY(second.ended());
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(storeKeys(db), reportKeys(report).join(' '));
}

void StoreTest::fourStationsAtOnce()
{
    NEED_SERVER();
    const QString db = database("four_stations");
    std::vector<std::unique_ptr<QTemporaryDir>> runtimes;
    std::vector<std::unique_ptr<BackgroundProgram>> stations;
    std::vector<std::unique_ptr<BackgroundProgram>> lines;
    for (int i = 0; i < 4; ++i) {
        runtimes.push_back(std::make_unique<QTemporaryDir>());
        const QProcessEnvironment environment = rig().environment(withRuntimeFolder(*runtimes[i]));
        stations.push_back(std::make_unique<BackgroundProgram>(
            kSet,
            stationArguments(runtimes[i]->filePath("units.csv"), rig().conninfo(db, "station")) +
                QStringList{"--station", QStringLiteral("st-%1").arg(i), "--lot", "WO-4"},
            environment));
        QTRY_VERIFY(stations[i]->err().contains("waiting for devices"));
        lines.push_back(std::make_unique<BackgroundProgram>(kDongle, QStringList{"--count", "32"},
                                                            environment));
    }
    int records = 0;
    for (int i = 0; i < 4; ++i) {
        const QString report = runtimes[i]->filePath("units.csv");
        QTRY_COMPARE_WITH_TIMEOUT(resultsIn(report), 32, 60000);
        stations[i]->terminate();
        QTRY_VERIFY(stations[i]->ended());
        QCOMPARE(stations[i]->exitCode(), 0);
        records += int(reportKeys(report).size());
    }
    QCOMPARE(rig().admin("SELECT count(*) FROM vantrel_records", db).toInt(), records);
    const ProgramRun summary =
        runProgram(kSet, {"--store", rig().conninfo(db, "station"), "--lot-summary", "WO-4"},
                   rig().environment(QProcessEnvironment::systemEnvironment()));
    QVERIFY2(summary.out.startsWith("Lot WO-4: 128 units, 128 ok, yield 100.0%"), summary.out);
}

void StoreTest::refusedAtStart_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::newRow("wrong password") << "wrongpw"
                                    << ""
                                    << "password authentication failed";
    QTest::newRow("no rights") << "norights"
                               << ""
                               << "may not add records";
    QTest::newRow("no tables, may not make them") << "station"
                                                  << "no tables"
                                                  << "may not make them";
    QTest::newRow("a newer schema") << "vantrel_owner"
                                    << "INSERT INTO vantrel_schema_version VALUES (99)"
                                    << "newer than this program knows";
}

void StoreTest::refusedAtStart()
{
    NEED_SERVER();
    QFETCH(QString, user);
    QFETCH(QString, setup);
    QFETCH(QString, message);
    static int n = 0;
    const QString db = database(QStringLiteral("refused_%1").arg(++n), setup != "no tables");
    if (!setup.isEmpty() && setup != "no tables")
        (void)rig().admin(setup, db);
    QTemporaryDir runtime;
    const QString report = runtime.filePath("units.csv");
    const ProgramRun run = runProgram(kSet, stationArguments(report, rig().conninfo(db, user)),
                                      rig().environment(withRuntimeFolder(runtime)));
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message.toUtf8()), run.err);
    QVERIFY2(!run.err.contains("waiting for devices"), run.err);
    QVERIFY(!QFile::exists(report));
}

void StoreTest::hostileTextRoundTrips_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("kind");
    QTest::newRow("csv") << "hostile.csv"
                         << "result";
    QTest::newRow("json lines") << "hostile.jsonl"
                                << "result";
    // A lot's summary: no unit, no attempt.
    QTest::newRow("summary") << "summary.csv"
                             << "summary";
}

// Whatever the text, the store gives back the report's very lines.
void StoreTest::hostileTextRoundTrips()
{
    NEED_SERVER();
    QFETCH(QString, report);
    QFETCH(QString, kind);
    const bool json = ReportFormat::isJsonLines(report);
    const QString db = database(QFileInfo(report).completeBaseName() + (json ? "_json" : "_csv"));
    ReportFormat::Record record;
    record[ReportFormat::Kind] = kind;
    record[ReportFormat::Time] = "2026-12-08T16:37:00.163+05:30";
    record[ReportFormat::Lot] = "x'); DROP TABLE vantrel_records; --";
    record[ReportFormat::RunId] = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record[ReportFormat::Seq] = "1";
    record[ReportFormat::Product] =
        QString("Dongle \"7\" ''\\") + QChar(0) + "end " + QChar(0x2400) + "0";
    record[ReportFormat::Operator] = QString::fromUtf8("Zoë Ångström 王芳 🚀");
    record[ReportFormat::Reason] = "=HYPERLINK(\"http://x\"), 'quoted'";
    record[ReportFormat::Station] = "'lead";
    record[ReportFormat::Ms] = "3";
    QByteArray text = json ? QByteArray() : ReportFormat::csvHeader();
    for (const char *seq : {"1", "2"}) {
        record[ReportFormat::Seq] = seq;
        text += json ? ReportFormat::jsonLine(record) : ReportFormat::csvLine(record);
    }
    QTemporaryDir dir;
    QFile file(dir.filePath(report));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    const QProcessEnvironment environment =
        rig().environment(QProcessEnvironment::systemEnvironment());
    const QString conninfo = rig().conninfo(db, "vantrel_owner");
    const ProgramRun forward =
        runProgram(kSet, {"--store", conninfo, "--forward", file.fileName()}, environment);
    QCOMPARE(forward.exitCode, 0);
    const ProgramRun found =
        runProgram(kSet,
                   {"--store", conninfo, "--find", "lot=" + record[ReportFormat::Lot], "--format",
                    json ? "jsonl" : "csv"},
                   environment);
    QCOMPARE(found.exitCode, 0);
    QCOMPARE(found.out, text);
}

QTEST_MAIN(StoreTest)
#include "StoreTest.moc"
