#include "station/UnitReport.h"
#include "tools/DongleEmulator.h"

#include "support/ProgramRun.h"
#include "support/PtyPair.h"
#include "support/ReportRecords.h"
#include "support/ScratchFileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString kSet = QStringLiteral(VANTREL_SET_PROGRAM);
const QString kDongle = QStringLiteral(VANTREL_DONGLE_PROGRAM);

QList<QByteArray> linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    // Every record ends its line: a part record would show as a last piece.
    QList<QByteArray> lines = text.split('\n');
    if (lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

// vantrel-set on a production line: several dongles at once, the station
// that configures units as they appear, and its report.
class ProductionTest : public QObject
{
    Q_OBJECT

private slots:
    void severalDevicesAtOnce();
    void stationConfiguresEachNewUnitOnce();
    void reportThatCannotBeWrittenStopsTheStation();
    void writesThatFail_data();
    void writesThatFail();

private:
    PrivateRuntimeFolder m_runtime; // where unanswered frames are noted
};

void ProductionTest::severalDevicesAtOnce()
{
    PtyPair silent;
    PtyPair split;
    PtyPair gone;
    QVERIFY(silent.isValid() && split.isValid() && gone.isValid());
    DongleEmulator silentDongle(silent.masterFd(), {.silent = true});
    DongleEmulator splitDongle(split.masterFd(), {.splitMs = 100});
    // Unplugged while the program waits for its answer.
    auto goneDongle =
        std::make_unique<DongleEmulator>(gone.masterFd(), DongleOptions{.silent = true});
    connect(goneDongle.get(), &DongleEmulator::frameDecoded, this, [&] {
        QTimer::singleShot(0, this, [&] {
            goneDongle.reset();
            gone.closeMaster();
        });
    });

    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("units.jsonl"));
    const ProgramRun run =
        runProgram(kSet, {silent.slavePath(), split.slavePath(), gone.slavePath(), "--channel", "5",
                          "--wait-ms", "1000", "--report", report});
    QCOMPARE(run.exitCode, 3);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    // Named first, but ended last: the others did not wait behind it.
    QCOMPARE(lines.last(), silent.slavePath().toLocal8Bit() + ": Setting Fail !!");
    QVERIFY(lines.contains(split.slavePath().toLocal8Bit() + ": Setting OK !!"));
    QVERIFY(lines.contains(gone.slavePath().toLocal8Bit() + ": Port error !!"));

    QHash<QString, ReportRecord> records;
    for (const ReportRecord &record : reportRecords(report)) {
        if (record.value("kind") == QLatin1String("result"))
            records.insert(record.value("device"), record);
    }
    QCOMPARE(records.size(), 3);
    QCOMPARE(records[silent.slavePath()]["result"], QStringLiteral("no-answer"));
    QCOMPARE(records[split.slavePath()]["result"], QStringLiteral("ok"));
    QCOMPARE(records[split.slavePath()]["received"], QStringLiteral("55aa"));
    QCOMPARE(records[gone.slavePath()]["result"], QStringLiteral("port-error"));
    QVERIFY(!records[gone.slavePath()]["reason"].isEmpty());
    for (const ReportRecord &record : std::as_const(records))
        QCOMPARE(record["sent"], QStringLiteral("98959304000a00031e05003f"));
}

void ProductionTest::stationConfiguresEachNewUnitOnce()
{
    QTemporaryDir runtime;
    QTemporaryDir dir;
    const QProcessEnvironment environment = withRuntimeFolder(runtime);
    // There before the station starts: left alone.
    BackgroundProgram present(kDongle, {}, environment);
    QTRY_VERIFY(present.out().contains("port list"));

    const QString report = dir.filePath(QStringLiteral("units.csv"));
    BackgroundProgram station(kSet,
                              {"--watch", "--match", "Dongle emulator *", "--settle-ms", "50",
                               "--channel", "5", "--report", report},
                              environment);
    QTRY_VERIFY(station.err().contains("waiting for devices"));
    // A second station that would take the unit there too does not start.
    const QString second = dir.filePath(QStringLiteral("second.csv"));
    const ProgramRun refused = runProgram(kSet,
                                          {"--watch", "--match", "*emulator*", "--match",
                                           "0403:6001", "--channel", "5", "--report", second},
                                          environment);
    QCOMPARE(refused.exitCode, 2);
    QVERIFY2(refused.err.contains("(pid " + QByteArray::number(station.pid())), refused.err);
    QVERIFY(!QFile::exists(second));
    BackgroundProgram line(kDongle, {"--count", "3", "--every", "100"}, environment);
    QTRY_COMPARE_WITH_TIMEOUT(station.outLines().size(), 3, 10000);
    station.terminate();
    QTRY_VERIFY(station.ended());
    QCOMPARE(station.exitCode(), 0);
    QVERIFY2(station.out().contains("3 units: 3 acknowledged, 0 failed"), station.out());

    // The run's record, then a started and a result record for each unit.
    QCOMPARE(linesOf(report).size(), 1 + 1 + 3 * 2);
    const QList<ReportRecord> records = reportRecords(report);
    QCOMPARE(records.first().value("kind"), QStringLiteral("station"));
    QSet<QString> started;
    QSet<QString> acknowledged;
    for (const ReportRecord &record : records.mid(1)) {
        // A malformed line reads as an empty record.
        QVERIFY2(record.value("device").contains("dongle-emulator-"),
                 qPrintable(record.value("device")));
        if (record.value("kind") == QLatin1String("started"))
            started.insert(record.value("device"));
        else if (record.value("result") == QLatin1String("ok"))
            acknowledged.insert(record.value("device"));
    }
    QCOMPARE(started.size(), 3);
    QCOMPARE(acknowledged, started);
}

void ProductionTest::reportThatCannotBeWrittenStopsTheStation()
{
    // A file system of the test's own that turns read-only: unlike a
    // folder's permissions, that stops root too.
    ScratchFileSystem scratch;
    if (!scratch.isMounted())
        QSKIP(qPrintable(scratch.why()));
    QTemporaryDir runtime;
    const QProcessEnvironment environment = withRuntimeFolder(runtime);
    const QString report = scratch.filePath(QStringLiteral("units.csv"));
    BackgroundProgram station(
        kSet, {"--watch", "--match-any", "--settle-ms", "0", "--channel", "5", "--report", report},
        environment);
    QTRY_VERIFY(station.err().contains("waiting for devices"));
    // A port error first: the report's failure still ranks above it.
    BackgroundProgram first(kDongle, {"--fault", "1:hangup"}, environment);
    QTRY_COMPARE_WITH_TIMEOUT(station.outLines().size(), 1, 10000);

    QVERIFY(scratch.makeReadOnly());
    BackgroundProgram second(kDongle, {}, environment);
    QTRY_VERIFY_WITH_TIMEOUT(station.ended(), 10000);
    QCOMPARE(station.exitCode(), 4);
    QVERIFY2(station.err().contains(report.toLocal8Bit()), station.err());
    // The second unit was not configured: it would have had no record.
    QTest::qWait(200);
    QVERIFY2(!second.out().contains("<- "), second.out());
    const QList<QByteArray> lines = station.outLines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).endsWith(": Port error !!"));
    QVERIFY(lines.at(1).endsWith(": Not configured !!"));
    QVERIFY(lines.at(2).startsWith("Station stopped."));
    // Header, the run, the first unit's started and result records.
    QCOMPARE(linesOf(report).size(), 4);
}

void ProductionTest::writesThatFail_data()
{
    QTest::addColumn<bool>("outClosed"); // as under "| true", or a logger that died
    // Bytes a file may have, as under "ulimit -f"; 0: none. The report is
    // past it already, as one grown over days.
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("results"); // records
    QTest::newRow("standard output closed") << true << 0 << 1 << 2;
    QTest::newRow("a file size limit") << false << 1024 << 4 << 0;
}

// Writes that fail end no unit's record and no run: the units' status comes
// as the exit status, the report holds whole records only.
void ProductionTest::writesThatFail()
{
    QFETCH(bool, outClosed);
    QFETCH(int, sizeLimit);
    QFETCH(int, exitCode);
    QFETCH(int, results);
    PtyPair answering;
    PtyPair silent;
    QVERIFY(answering.isValid() && silent.isValid());
    DongleEmulator answeringDongle(answering.masterFd());
    DongleEmulator silentDongle(silent.masterFd(), {.silent = true});
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("units.csv"));
    for (UnitReport grown(report, {}); QFileInfo(report).size() < sizeLimit;)
        QVERIFY(grown.begin().ok());
    const ProgramRun run =
        runProgram(kSet,
                   {answering.slavePath(), silent.slavePath(), "--channel", "5", "--wait-ms", "300",
                    "--report", report},
                   QProcessEnvironment::systemEnvironment(), [outClosed, sizeLimit] {
                       // As a shell leaves them.
                       std::signal(SIGPIPE, SIG_DFL);
                       std::signal(SIGXFSZ, SIG_DFL);
                       int out[2];
                       if (outClosed && ::pipe(out) == 0) {
                           ::dup2(out[1], STDOUT_FILENO);
                           ::close(out[0]);
                           ::close(out[1]);
                       }
                       const rlimit limit{rlim_t(sizeLimit), RLIM_INFINITY};
                       if (sizeLimit > 0)
                           ::setrlimit(RLIMIT_FSIZE, &limit);
                   });
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(report.toLocal8Bit()), run.err.constData());
    int resulted = 0;
    for (const ReportRecord &record : reportRecords(report)) {
        QVERIFY(!record.value("kind").isEmpty());
        resulted += record.value("kind") == QLatin1String("result");
    }
    QCOMPARE(resulted, results);
}

QTEST_GUILESS_MAIN(ProductionTest)
#include "ProductionTest.moc"
