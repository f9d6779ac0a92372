#include "station/UnitReport.h"

#include "serial/PortErrors.h"

#include "support/ScratchFileSystem.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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

// One CSV line's fields, quoting undone as RFC 4180 has it.
QStringList csvFields(const QByteArray &line)
{
    QStringList fields{QString()};
    bool quoted = false;
    const QString text = QString::fromUtf8(line);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < text.size() &&
            text.at(i + 1) == QLatin1Char('"')) {
            fields.last() += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            fields.append(QString());
        } else {
            fields.last() += c;
        }
    }
    return fields;
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
        if (csv) {
            // Every field where the header says, the reason's line breaks as "; ".
            const QStringList header = csvFields(lines.first());
            const QStringList fields = csvFields(lines.at(1));
            QCOMPARE(fields.size(), header.size());
            QString flat = reason;
            flat.replace(QLatin1Char('\n'), QStringLiteral("; ")).remove(QLatin1Char('\r'));
            QCOMPARE(fields.at(header.indexOf(QStringLiteral("reason"))), flat);
            QCOMPARE(fields.at(header.indexOf(QStringLiteral("device"))),
                     QStringLiteral("/dev/ttyUSB3"));
            continue;
        }
        const QJsonObject record = QJsonDocument::fromJson(lines.first()).object();
        QCOMPARE(record.value("reason").toString(), reason);
        QCOMPARE(record.value("sent").toString(), QStringLiteral("989593"));
        QCOMPARE(record.value("received").toString(), QStringLiteral("55"));
        static const QRegularExpression stamp(
            QStringLiteral("T\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)$"));
        QVERIFY2(stamp.match(record.value("time").toString()).hasMatch(),
                 qPrintable(record.value("time").toString()));
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

QTEST_GUILESS_MAIN(UnitReportTest)
#include "UnitReportTest.moc"
