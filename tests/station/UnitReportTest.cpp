#include "station/UnitReport.h"

#include "serial/PortErrors.h"

#include "support/ReportRecords.h"
#include "support/ScratchFileSystem.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

UnitRecord recordWithReason(const QString &reason)
{
    UnitRecord record;
    record.seq = 1;
    record.unit = {QStringLiteral("/dev/ttyUSB3"),
                   QStringLiteral("FT232R USB UART"),
                   QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"),
                   QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"),
                   QStringLiteral("A10K7QZ3"),
                   0x0403,
                   0x6001};
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

// The system's calls, one of them made to fail.
class FailingFile final : public AppendFile
{
public:
    explicit FailingFile(QString failing) : m_failing(std::move(failing)) {}
    bool open(const QString &path) override { return m_real->open(path); }
    std::optional<Status> status() override { return m_real->status(); }
    bool lock() override { return m_real->lock(); }
    std::optional<QByteArray> read(qint64 offset, qint64 count) override
    {
        return m_real->read(offset, count);
    }
    qint64 write(const QByteArray &bytes) override { return m_real->write(bytes); }
    bool truncate(qint64 size) override { return m_real->truncate(size); }
    bool flush() override { return m_failing != "flush" && m_real->flush(); }
    void close() override { m_real->close(); }
    bool syncFolder(const QString &folder) override
    {
        return m_failing != "syncFolder" && m_real->syncFolder(folder);
    }

private:
    QString m_failing;
    std::unique_ptr<AppendFile> m_real = systemAppendFile();
};

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
    void failedCallLeavesNoRecord_data();
    void failedCallLeavesNoRecord();
    void movedAwayStartsANewFile();
    void timeIsThatOfTheWrite();
};

void UnitReportTest::oneLinePerRecord_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("guarded"); // in CSV behind a ', which spreadsheets show as text
    QTest::newRow("plain") << "No acknowledgement within 2500 ms." << false;
    QTest::newRow("comma and quotes") << "Cannot open \"COM3\", busy" << false;
    QTest::newRow("a lone quote") << "a 3.5\" disk" << false;
    QTest::newRow("line breaks") << "permission denied\nsudo usermod -aG dialout $USER\r\n"
                                 << false;
    QTest::newRow("not ASCII") << QString::fromUtf8("Gerät getrennt") << false;
    QTest::newRow("permission denied, with the group hint")
        << PortErrors::openFailureText(QStringLiteral("/dev/ttyUSB3"),
                                       PortErrors::OpenFailure::PermissionDenied, QString()) +
               QLatin1Char('\n') + PortErrors::joinGroupHint(QStringLiteral("dialout"))
        << false;
    QTest::newRow("a formula") << "=HYPERLINK(\"http://x\")" << true;
    QTest::newRow("a tab first") << "\t=1" << true;
    QTest::newRow("a quote mark first") << "'kept" << true;
}

void UnitReportTest::oneLinePerRecord()
{
    QFETCH(QString, reason);
    QFETCH(bool, guarded);
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("units.csv"), QStringLiteral("units.jsonl")}) {
        UnitReport report(dir.filePath(name), {});
        const UnitRecord written = recordWithReason(reason);
        for (int i = 0; i < 2; ++i) {
            const UnitReport::Written appended = report.append(written);
            QVERIFY2(appended.ok(), qPrintable(appended.error));
        }
        const QList<QByteArray> lines = contents(report.path()).split('\n');
        const bool csv = name.endsWith(QLatin1String(".csv"));
        // Header (CSV only), two records, and the empty piece after the last newline.
        QCOMPARE(lines.size(), csv ? 4 : 3);
        QCOMPARE(lines.at(1).contains(",\"'" + reason.left(1).toUtf8()), csv && guarded);
        // Every field where its name says; in CSV a reason's line breaks as "; ".
        const ReportRecord record = reportRecords(report.path()).first();
        QString flat = reason;
        if (csv)
            flat.replace(QLatin1Char('\n'), QStringLiteral("; ")).remove(QLatin1Char('\r'));
        QCOMPARE(record.value("reason"), flat);
        QCOMPARE(record.value("device"), written.unit.location);
        QCOMPARE(record.value("by_id"), written.unit.byId);
        QCOMPARE(record.value("by_path"), written.unit.byPath);
        QCOMPARE(record.value("vid_pid"), QStringLiteral("0403:6001"));
        QCOMPARE(record.value("product"), written.unit.description);
        QCOMPARE(record.value("serial_number"), written.unit.serialNumber);
        QCOMPARE(record.value("attempt"), QStringLiteral("1"));
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
    QVERIFY(report.append(record).ok());
    const QByteArray before = contents(report.path());
    const QByteArray line = report.line(record, QDateTime::currentDateTime());
    {
        // Room for half of the next record only.
        FileSizeLimit limit(before.size() + line.size() / 2);
        QVERIFY(limit.isSet());
        const UnitReport::Written full = report.append(record);
        QVERIFY(!full.ok());
        QVERIFY2(full.error.contains(report.path()), qPrintable(full.error));
    }
    QCOMPARE(contents(report.path()), before);
    QVERIFY(report.append(record).ok());
    QCOMPARE(contents(report.path()).size(), before.size() + line.size());
}

void UnitReportTest::beginOnWhatIsThere_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("there"); // the file before, or null for none
    QTest::addColumn<QString>("refused");  // what the error says, or empty
    QTest::addColumn<QByteArray>("kept");  // what precedes the run's record

    const QByteArray header = UnitReport::csvHeader();
    const QByteArray earlier = header.left(header.lastIndexOf(',')) + '\n';
    QTest::newRow("new CSV") << "units.csv" << QByteArray() << QString() << header;
    QTest::newRow("a byte order mark and CRLF (a spreadsheet's)")
        << "units.csv"
        << "\xEF\xBB\xBF" + header.trimmed() + "\r\nresult,line\r\n"
        << QString() << "\xEF\xBB\xBF" + header.trimmed() + "\r\nresult,line\r\n";
    QTest::newRow("an earlier version's") << "units.csv" << earlier + "result,line\n"
                                          << "earlier version" << earlier + "result,line\n";
    QTest::newRow("a report of ours") << "units.csv" << header + "result,line\n"
                                      << QString() << header + "result,line\n";
    QTest::newRow("another header") << "units.csv" << QByteArray("time,host,device\n1,2,3\n")
                                    << "another header" << QByteArray("time,host,device\n1,2,3\n");
    QTest::newRow("last line without its newline")
        << "units.csv" << header + "cut" << QString() << header + "cut\n";
    QTest::newRow("JSON Lines, in capitals")
        << "UNITS.JSONL" << QByteArray() << QString() << QByteArray();
}

// A run starts its report with its own record, after what is there, and
// never under a header that names other fields.
void UnitReportTest::beginOnWhatIsThere()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, there);
    QFETCH(QString, refused);
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
    const UnitReport::Written begun = report.begin();
    QCOMPARE(begun.ok(), refused.isEmpty());
    const QByteArray after = contents(path);
    QVERIFY2(after.startsWith(kept), after.constData());
    if (!refused.isEmpty()) {
        QCOMPARE(after, kept);
        QVERIFY2(begun.error.contains(path) && begun.error.contains(refused),
                 qPrintable(begun.error));
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
    QCOMPARE(record.value("attempt"), QString());
}

void UnitReportTest::failedCallLeavesNoRecord_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<bool>("newFile");
    QTest::newRow("the flush") << "flush" << false;
    QTest::newRow("the folder's flush, for a new file") << "syncFolder" << true;
}

// What the program was told failed is not in the file for a reader to find.
void UnitReportTest::failedCallLeavesNoRecord()
{
    QFETCH(QString, failing);
    QFETCH(bool, newFile);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("units.csv"));
    const UnitRecord record = recordWithReason(QStringLiteral("no answer"));
    if (!newFile)
        QVERIFY(UnitReport(path, {}).append(record).ok());
    const QByteArray before = contents(path);
    UnitReport report(path, {}, std::make_unique<FailingFile>(failing));
    const UnitReport::Written failed = report.append(record);
    QVERIFY(!failed.ok());
    QVERIFY2(failed.error.startsWith("Cannot write the report " + path), qPrintable(failed.error));
    QCOMPARE(contents(path), before);
}

// The report moved away mid-run: a new file begins at its path with the run's
// record, and the moved one keeps what it had.
void UnitReportTest::movedAwayStartsANewFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("units.csv"));
    RunIdentity run;
    run.runId = QStringLiteral("run-7");
    UnitReport report(path, run);
    const UnitRecord record = recordWithReason(QStringLiteral("no answer"));
    QVERIFY(report.begin().ok());
    QVERIFY(!report.append(record).restarted);
    const QByteArray moved = contents(path);
    QVERIFY(QFile::rename(path, path + ".old"));
    const UnitReport::Written appended = report.append(record);
    QVERIFY2(appended.ok() && appended.restarted, qPrintable(appended.error));
    QCOMPARE(contents(path + ".old"), moved);
    const QList<ReportRecord> records = reportRecords(path);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0).value("kind"), QStringLiteral("station"));
    QCOMPARE(records.at(0).value("run_id"), QStringLiteral("run-7"));
    QCOMPARE(records.at(1).value("device"), record.unit.location);
    QVERIFY(!report.append(record).restarted);
}

// A record that waits for another station's lock on a shared report has the
// time of its write, and goes where the report is then (here the other
// removed it meanwhile).
void UnitReportTest::timeIsThatOfTheWrite()
{
    QTemporaryDir dir;
    UnitReport report(dir.filePath(QStringLiteral("units.jsonl")), {});
    QVERIFY(report.begin().ok());
    const int other = ::open(qPrintable(report.path()), O_RDONLY | O_CLOEXEC);
    QVERIFY(other >= 0 && ::flock(other, LOCK_EX) == 0);
    QDateTime released;
    std::thread station([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QFile::remove(report.path());
        released = QDateTime::currentDateTime();
        ::close(other);
    });
    const UnitReport::Written appended = report.append(recordWithReason(QString()));
    station.join();
    QVERIFY2(appended.ok() && appended.restarted, qPrintable(appended.error));
    const QList<ReportRecord> records = reportRecords(report.path());
    QCOMPARE(records.size(), 2);
    const QDateTime written =
        QDateTime::fromString(records.constLast().value("time"), Qt::ISODateWithMs);
    QVERIFY2(written >= released, qPrintable(written.toString(Qt::ISODateWithMs)));
}

QTEST_GUILESS_MAIN(UnitReportTest)
#include "UnitReportTest.moc"
