#include "station/UnitReport.h"

#include "serial/PortErrors.h"

#include "support/ReportRecords.h"
#include "support/ScratchFileSystem.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

UnitRecord recordWithReason(const QString &reason)
{
    UnitRecord record;
    record.time = QDateTime::currentDateTime();
    record.seq = 1;
    record.unit.location = QStringLiteral("/dev/ttyUSB3");
    record.sent = {QByteArray("\x98\x95\x93", 3)};
    record.received = QByteArray("\x55", 1);
    record.result = QStringLiteral("wrong-answer");
    record.reason = reason;
    record.elapsedMs = 2501;
    return record;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The report's records: one line each, whatever a reason holds, and never a
// part record, even when the disk fills up in the middle of one.
class UnitReportTest : public QObject
{
    Q_OBJECT

private slots:
    void oneLinePerRecord_data();
    void oneLinePerRecord();
    void fullDiskLeavesOnlyWholeRecords();
    void beginOnWhatIsThere_data();
    void beginOnWhatIsThere();
};

void UnitReportTest::oneLinePerRecord_data()
{
    QTest::addColumn<QString>("reason");
    QTest::newRow("plain") << "No acknowledgement within 2500 ms.";
    QTest::newRow("comma and quotes") << "Cannot open \"COM3\", busy";
    QTest::newRow("line breaks") << "permission denied\nsudo usermod -aG dialout $USER\r\n";
    QTest::newRow("not ASCII") << QString::fromUtf8("Gerät getrennt");
    QTest::newRow("permission denied, with the group hint")
        << PortErrors::openFailureText(QStringLiteral("/dev/ttyUSB3"),
                                       PortErrors::OpenFailure::PermissionDenied, QString()) +
               QLatin1Char('\n') + PortErrors::joinGroupHint(QStringLiteral("dialout"));
}

void UnitReportTest::oneLinePerRecord()
{
    QFETCH(QString, reason);
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("units.csv"), QStringLiteral("units.jsonl")}) {
        UnitReport report(dir.filePath(name), {});
        QString error;
        QVERIFY2(report.append(recordWithReason(reason), &error), qPrintable(error));
        QVERIFY2(report.append(recordWithReason(reason), &error), qPrintable(error));
        const QList<QByteArray> lines = contents(report.path()).split('\n');
        const bool csv = name.endsWith(QLatin1String(".csv"));
        // Header (CSV only), two records, and the empty piece after the last newline.
        QCOMPARE(lines.size(), csv ? 4 : 3);
        // Every field where its name says; in CSV a reason's line breaks as "; ".
        const ReportRecord record = reportRecords(report.path()).first();
        QString flat = reason;
        if (csv)
            flat.replace(QLatin1Char('\n'), QStringLiteral("; ")).remove(QLatin1Char('\r'));
        QCOMPARE(record.value("reason"), flat);
        QCOMPARE(record.value("device"), QStringLiteral("/dev/ttyUSB3"));
        QCOMPARE(record.value("sent"), QStringLiteral("989593"));
        QCOMPARE(record.value("received"), QStringLiteral("55"));
        static const QRegularExpression stamp(
            QStringLiteral("T\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)$"));
        QVERIFY2(stamp.match(record.value("time")).hasMatch(), qPrintable(record.value("time")));
    }
}

void UnitReportTest::fullDiskLeavesOnlyWholeRecords()
{
    QTemporaryDir dir;
    UnitReport report(dir.filePath(QStringLiteral("units.csv")), {});
    const UnitRecord record = recordWithReason(QStringLiteral("no answer"));
    QString error;
    QVERIFY(report.append(record, &error));
    const QByteArray before = contents(report.path());
    {
        // Room for half of the next record only.
        FileSizeLimit limit(before.size() + report.line(record).size() / 2);
        QVERIFY(limit.isSet());
        QVERIFY(!report.append(record, &error));
        QVERIFY2(error.contains(report.path()), qPrintable(error));
    }
    QCOMPARE(contents(report.path()), before);
    QVERIFY2(report.append(record, &error), qPrintable(error));
    QCOMPARE(contents(report.path()), before + report.line(record));
}

void UnitReportTest::beginOnWhatIsThere_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("there"); // the file before, or null for none
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("kept"); // what precedes the run's record

    const QByteArray header = UnitReport::csvHeader();
    QTest::newRow("new CSV") << "units.csv" << QByteArray() << true << header;
    QTest::newRow("a report of ours") << "units.csv" << header + "result,line\n"
                                      << true << header + "result,line\n";
    QTest::newRow("another header") << "units.csv" << QByteArray("time,host,device\n1,2,3\n")
                                    << false << QByteArray("time,host,device\n1,2,3\n");
    QTest::newRow("last line without its newline")
        << "units.csv" << header + "cut" << true << header + "cut\n";
    QTest::newRow("JSON Lines, in capitals")
        << "UNITS.JSONL" << QByteArray() << true << QByteArray();
}

// A run starts its report with its own record, after what is there, and
// never under a header that names other fields.
void UnitReportTest::beginOnWhatIsThere()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, there);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!there.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(there) == there.size());
    }
    const RunIdentity run{.version = QStringLiteral("9.8.7"),
                          .station = QStringLiteral("line-2, bench 4"),
                          .operatorName = QStringLiteral("Kim"),
                          .lot = QStringLiteral("WO-1187"),
                          .runId = QStringLiteral("run-1"),
                          .profile = QString(),
                          .settingsSha256 = QStringLiteral("ab12")};
    UnitReport report(path, run);
    QString error;
    QCOMPARE(report.begin(QDateTime::currentDateTime(), &error), accepted);
    const QByteArray after = contents(path);
    QVERIFY2(after.startsWith(kept), after.constData());
    if (!accepted) {
        QCOMPARE(after, kept);
        QVERIFY2(error.contains(path), qPrintable(error));
        return;
    }
    const QByteArray line = after.mid(kept.size());
    QVERIFY2(line.endsWith('\n') && line.count('\n') == 1, line.constData());
    const std::optional<ReportRecord> read =
        recordOf(line.trimmed(), UnitReport::isJsonLines(path)
                                     ? QStringList()
                                     : csvFields(UnitReport::csvHeader().trimmed()));
    // A CSV record has every field the header names.
    QVERIFY(read);
    const ReportRecord &record = *read;
    QCOMPARE(record.value("kind"), QStringLiteral("station"));
    QCOMPARE(record.value("seq"), QStringLiteral("0"));
    QCOMPARE(record.value("version"), run.version);
    QCOMPARE(record.value("station"), run.station);
    QCOMPARE(record.value("operator"), run.operatorName);
    QCOMPARE(record.value("lot"), run.lot);
    QCOMPARE(record.value("run_id"), run.runId);
    QCOMPARE(record.value("settings_sha256"), run.settingsSha256);
}

QTEST_GUILESS_MAIN(UnitReportTest)
#include "UnitReportTest.moc"
