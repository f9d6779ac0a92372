#include "log/ReceiveBacklog.h"

#include "support/TestBytes.h"

#include <QTest>

namespace {

// The log's state where a notice is shown.
struct Seen
{
    QByteArray text;
    qint32 count;
    friend bool operator==(const Seen &, const Seen &) = default;
};

} // namespace

// Arrivals held while a box is open come out as if every chunk had been
// appended in turn, the notices between them at their place.
class ReceiveBacklogTest : public QObject
{
    Q_OBJECT

private slots:
    void sameAsOneByOne_data();
    void sameAsOneByOne();
};

void ReceiveBacklogTest::sameAsOneByOne_data()
{
    // "!" is a notice; any other item that many numbered bytes, or CR LF
    // pairs when it starts with "r", arriving in reads of up to 1000 bytes.
    QTest::addColumn<QStringList>("items");
    QTest::newRow("short runs between notices") << QStringList{"10", "!", "5", "r7", "!", "3"};
    QTest::newRow("notice first and last") << QStringList{"!", "4000", "!"};
    QTest::newRow("long run last") << QStringList{"!", "900", "1000", "r700", "30000", "1000"};
    QTest::newRow("long run, then a notice")
        << QStringList{"20000", "r5000", "20000", "!", "17", "!", "40000"};
    QTest::newRow("long runs back to back") << QStringList{"50000", "!", "!", "50000", "r1"};
    // Megabytes under one box: kept as the log they leave, not as received.
    QTest::newRow("flood") << QStringList{"!", "3000000", "r100000", "!", "2000000"};
}

void ReceiveBacklogTest::sameAsOneByOne()
{
    QFETCH(QStringList, items);
    // Somewhere in the middle of a count and a trim cycle, as after a while.
    ReceiveLog start;
    start.AppendLog(TestBytes::numberedLines(15000));
    start.clearText();
    start.AppendLog(TestBytes::numberedLines(3333));

    ReceiveLog oneByOne = start;
    ReceiveLog log = start;
    ReceiveBacklog backlog(log);
    QList<Seen> expected;
    QList<Seen> seen;
    int offset = 0;
    for (const QString &item : std::as_const(items)) {
        if (item == "!") {
            expected.append({oneByOne.text(), oneByOne.dataCount()});
            backlog.appendNotice([&] { seen.append({log.text(), log.dataCount()}); });
            continue;
        }
        const int size = item.mid(item.startsWith('r') ? 1 : 0).toInt();
        const QByteArray chunk = item.startsWith('r')
                                     ? QByteArray("\r\n").repeated(size)
                                     : TestBytes::numberedLines(offset + size).mid(offset);
        offset += size;
        for (qsizetype at = 0; at < chunk.size(); at += 1000) {
            oneByOne.AppendLog(chunk.mid(at, 1000));
            backlog.appendChunk(chunk.mid(at, 1000));
        }
    }
    // Bounded by what the log keeps, not by what arrived.
    QVERIFY2(backlog.keptBytes() < 4 * ReceiveBacklog::kCondenseAbove,
             qPrintable(QString::number(backlog.keptBytes())));

    while (!backlog.isEmpty()) {
        if (const ReceiveBacklog::Notice notice = backlog.applyUntilNotice(log))
            notice();
    }
    QCOMPARE(seen.size(), expected.size());
    for (qsizetype i = 0; i < seen.size(); ++i)
        QVERIFY2(seen.at(i) == expected.at(i), qPrintable(QString::number(i)));
    QCOMPARE(log.dataCount(), oneByOne.dataCount());
    QCOMPARE(log.logLength(), oneByOne.logLength());
    QVERIFY(log.text() == oneByOne.text());
    QCOMPARE(log.endPosition(), oneByOne.endPosition());
}

QTEST_APPLESS_MAIN(ReceiveBacklogTest)
#include "ReceiveBacklogTest.moc"
