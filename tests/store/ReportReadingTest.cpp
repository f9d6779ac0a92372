#include "store/ForwardProgress.h"
#include "store/ReportFormat.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace ReportFormat;

// Reading reports as other programs and versions write them, and finding
// the place to go on from in a report that may have been replaced.
class ReportReadingTest : public QObject
{
    Q_OBJECT

private slots:
    void readsByName_data();
    void readsByName();
    void progressFollowsTheFile_data();
    void progressFollowsTheFile();
};

void ReportReadingTest::readsByName_data()
{
    QTest::addColumn<QByteArray>("header"); // empty: JSON Lines
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value"); // "!" when the line is no record

    const QByteArray before = "kind,time,version,station,operator,lot,run_id,seq,device,by_id,"
                              "by_path,vid_pid,product,serial_number,profile,settings_sha256,sent,"
                              "received,result,reason,ms";
    const QByteArray line = "result,t,1.3.2,st,kim,WO-1,r,7,/dev/x,,,,\"Dongle, \"\"7\"\"\",SN1,,,"
                            "98,55aa,ok,\"'=1+2\",3";
    QTest::newRow("without attempt") << before << line << int(Attempt) << "";
    QTest::newRow("with attempt") << before + ",attempt" << line + ",2" << int(Attempt) << "2";
    QTest::newRow("a column of another program")
        << "note," + before << "hi," + line << int(Seq) << "7";
    QTest::newRow("quotes undone") << before << line << int(Product) << "Dongle, \"7\"";
    QTest::newRow("spreadsheet guard dropped") << before << line << int(Reason) << "=1+2";
    QTest::newRow("a field short") << before << line.left(line.lastIndexOf(',')) << 0 << "!";
    QTest::newRow("a quote left open") << before << QByteArray("result,\"t") << 0 << "!";
    QTest::newRow("json numbers") << QByteArray() << QByteArray("{\"seq\":12,\"attempt\":null}")
                                  << int(Seq) << "12";
    QTest::newRow("json null") << QByteArray() << QByteArray("{\"seq\":12,\"ms\":null}") << int(Ms)
                               << "";
    QTest::newRow("json guard kept")
        << QByteArray() << QByteArray("{\"reason\":\"'x\"}") << int(Reason) << "'x";
    QTest::newRow("json not an object") << QByteArray() << QByteArray("[1]") << 0 << "!";
    QTest::newRow("json cut short") << QByteArray() << QByteArray("{\"seq\":1") << 0 << "!";
}

void ReportReadingTest::readsByName()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, line);
    QFETCH(int, field);
    QFETCH(QString, value);
    LineReader reader(header.isEmpty());
    if (!header.isEmpty())
        QVERIFY(!reader.takeHeader(header));
    QString why;
    const std::optional<Record> record = reader.read(line, &why);
    if (value == "!") {
        QVERIFY(!record);
        QVERIFY(!why.isEmpty());
        return;
    }
    QVERIFY2(record, qPrintable(why));
    QCOMPARE((*record)[field], value);
}

void ReportReadingTest::progressFollowsTheFile_data()
{
    QTest::addColumn<QByteArray>("after"); // the report when the forwarder starts again
    QTest::addColumn<qint64>("expected");  // where it goes on

    // Record 1 is longer than the head the progress names.
    const QByteArray saved =
        "header\nrecord 1 of run A " + QByteArray(600, 'x') + "\nrecord 2 of run A\n";
    const qint64 at = qint64(saved.indexOf("record 2"));
    QTest::newRow("the same file, grown") << saved + "record 3 of run A\n" << at;
    QTest::newRow("the same file, unchanged") << saved << at;
    QTest::newRow("a new file, longer")
        << "header\nrecord 1 of run B " + saved.mid(25) << qint64(0);
    QTest::newRow("cut back") << saved.left(at - 5) << qint64(0);
    QTest::newRow("its line end gone") << saved.left(at - 1) + saved.mid(at) << qint64(0);
}

void ReportReadingTest::progressFollowsTheFile()
{
    QFETCH(QByteArray, after);
    QFETCH(qint64, expected);
    QTemporaryDir dir;
    const QString report = dir.filePath("units.csv");
    const QByteArray saved =
        "header\nrecord 1 of run A " + QByteArray(600, 'x') + "\nrecord 2 of run A\n";
    const auto write = [&report](const QByteArray &bytes) {
        QFile file(report);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) >= 0;
    };
    QVERIFY(write(saved));
    ForwardProgress progress;
    progress.offset = saved.indexOf("record 2");
    progress.line = 2;
    progress.head = saved;
    QString error;
    QVERIFY2(progress.save(report, &error), qPrintable(error));
    QVERIFY(write(after));
    QCOMPARE(ForwardProgress::load(report).offset, expected);
}

QTEST_APPLESS_MAIN(ReportReadingTest)
#include "ReportReadingTest.moc"
