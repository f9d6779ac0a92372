#include "log/ReceiveLog.h"
#include "support/LiteralNormalise.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray repeated(char c, qsizetype n)
{
    return QByteArray(n, c);
}

// Draws chunks of up to 1024 bytes: sometimes any byte value, sometimes text
// with CR and LF scattered through it, so that pairs split across chunks.
QByteArray randomChunk(QRandomGenerator &random)
{
    const qsizetype size = random.bounded(1025);
    QByteArray chunk(size, Qt::Uninitialized);
    const bool lineEndHeavy = random.bounded(2) == 0;
    for (char &c : chunk) {
        if (lineEndHeavy) {
            const quint32 roll = random.bounded(8);
            c = roll == 0 ? '\r' : roll == 1 ? '\n' : char('a' + random.bounded(26));
        } else {
            c = char(random.bounded(256));
        }
    }
    return chunk;
}

} // namespace

class ReceiveLogTest : public QObject
{
    Q_OBJECT

private slots:
    void append_data();
    void append();
    void captionBeforeAnything();
    void trimAtThreshold();
    void noTrimAtThreshold();
    void staleCounterAfterSetting_data();
    void staleCounterAfterSetting();
    void clearData();
    void countBeyondSixteenBits();
    void streamPositions();
    void matchesReference_data();
    void matchesReference();
};

void ReceiveLogTest::append_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint32>("count");

    QTest::newRow("CR LF kept") << QByteArrayList{"AB\r\nC"} << QByteArray("AB\r\nC") << 5;
    QTest::newRow("lone LF dropped") << QByteArrayList{"A\nB"} << QByteArray("AB") << 3;
    QTest::newRow("lone CR gets LF") << QByteArrayList{"A\rB"} << QByteArray("A\r\nB") << 3;
    QTest::newRow("LF CR becomes CR LF") << QByteArrayList{"\n\r"} << QByteArray("\r\n") << 2;
    QTest::newRow("CR CR") << QByteArrayList{"\r\r"} << QByteArray("\r\n\r\n") << 2;
    QTest::newRow("CR LF split over chunks")
        << QByteArrayList{"A\r", "\nB"} << QByteArray("A\r\nB") << 4;
    QTest::newRow("only LFs") << QByteArrayList{"\n\n\n"} << QByteArray() << 3;
    QTest::newRow("blanked acknowledgement") << QByteArrayList{QByteArray("\0\0"
                                                                          "12",
                                                                          4)}
                                             << QByteArray("\0\0"
                                                           "12",
                                                           4)
                                             << 4;
    QTest::newRow("NUL before text")
        << QByteArrayList{QByteArray("x\0yz", 4), "w"} << QByteArray("x\0yzw", 5) << 5;
    QTest::newRow("high bytes") << QByteArrayList{"\xff\x80\xa0\xe9"}
                                << QByteArray("\xff\x80\xa0\xe9") << 4;
    QTest::newRow("empty chunk") << QByteArrayList{""} << QByteArray() << 0;
    QTest::newRow("counts add up") << QByteArrayList{"abc", "de", "\n"} << QByteArray("abcde") << 6;
}

void ReceiveLogTest::append()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArray, text);
    QFETCH(qint32, count);

    ReceiveLog log;
    for (const QByteArray &chunk : chunks)
        log.AppendLog(chunk);
    QCOMPARE(log.text().toHex(' '), text.toHex(' '));
    QCOMPARE(log.logLength(), count);
    QCOMPARE(log.dataCount(), count);
    QCOMPARE(log.countCaption(), QString::number(count));
}

void ReceiveLogTest::captionBeforeAnything()
{
    ReceiveLog log;
    QCOMPARE(log.countCaption(), QStringLiteral("Data cnt"));
    // A Setting empties the text but has nothing to count.
    log.clearText();
    QCOMPARE(log.countCaption(), QStringLiteral("Data cnt"));
    log.clearData();
    QCOMPARE(log.countCaption(), QStringLiteral("0"));
}

void ReceiveLogTest::trimAtThreshold()
{
    ReceiveLog log;
    QByteArray before;
    for (int i = 0; i < 15990; ++i)
        before.append(char('A' + i % 26));
    log.AppendLog(before);
    QCOMPARE(log.dataCount(), 15990);

    const QByteArray chunk = repeated('z', 20);
    log.AppendLog(chunk);
    QCOMPARE(log.countCaption(), QStringLiteral("16010"));
    QCOMPARE(log.text(), before.mid(ReceiveLog::kTrimCut) + chunk);
    // The counter restarts from the trimmed text, without the chunk just added.
    QCOMPARE(log.logLength(), 15990 - 4096);

    log.AppendLog("12345");
    QCOMPARE(log.dataCount(), 15990 - 4096 + 5);
    QCOMPARE(log.text(), before.mid(ReceiveLog::kTrimCut) + chunk + "12345");
}

void ReceiveLogTest::noTrimAtThreshold()
{
    ReceiveLog log;
    log.AppendLog(repeated('a', 15999));
    log.AppendLog("b");
    QCOMPARE(log.dataCount(), 16000);
    QCOMPARE(log.text().size(), 16000);
    log.AppendLog("c");
    QCOMPARE(log.dataCount(), 16001);
    QCOMPARE(log.text(), repeated('a', 15999 - 4096) + "bc");
}

void ReceiveLogTest::staleCounterAfterSetting_data()
{
    QTest::addColumn<qsizetype>("kept");
    QTest::addColumn<QByteArray>("textAfter");

    // A short text is never cut: the operator has only just received it.
    QTest::newRow("short") << qsizetype(500) << repeated('n', 500) + "!";
    QTest::newRow("exactly the cut") << qsizetype(4096) << repeated('n', 4096) + "!";
    // Longer than the cut: an ordinary trim.
    QTest::newRow("one over the cut") << qsizetype(4097) << QByteArray("n!");
}

void ReceiveLogTest::staleCounterAfterSetting()
{
    QFETCH(qsizetype, kept);
    QFETCH(QByteArray, textAfter);

    // The old count is chosen so that the append after the fresh text
    // passes the threshold.
    const qsizetype oldCount = ReceiveLog::kTrimThreshold - kept;
    ReceiveLog log;
    log.AppendLog(repeated('o', oldCount));
    log.clearText();
    QVERIFY(log.text().isEmpty());
    QCOMPARE(log.countCaption(), QString::number(oldCount));

    log.AppendLog(repeated('n', kept));
    QCOMPARE(log.dataCount(), 16000);
    log.AppendLog("!");
    QCOMPARE(log.dataCount(), 16001);
    QCOMPARE(log.text(), textAfter);
    QCOMPARE(log.logLength(), qint32(textAfter.size() - 1));
}

void ReceiveLogTest::clearData()
{
    ReceiveLog log;
    log.AppendLog(repeated('x', 17000));
    log.AppendLog("abc");
    log.clearData();
    QVERIFY(log.text().isEmpty());
    QCOMPARE(log.logLength(), 0);
    QCOMPARE(log.dataCount(), 0);
    QCOMPARE(log.countCaption(), QStringLiteral("0"));

    log.AppendLog("A\rB");
    QCOMPARE(log.text(), QByteArray("A\r\nB"));
    QCOMPARE(log.countCaption(), QStringLiteral("3"));
}

void ReceiveLogTest::countBeyondSixteenBits()
{
    // A port read after a long stall can deliver more than 32767 bytes at once.
    ReceiveLog log;
    log.AppendLog(repeated('x', 16000));
    log.AppendLog(repeated('y', 40000));
    QCOMPARE(log.countCaption(), QStringLiteral("56000"));
    QCOMPARE(log.text(), repeated('x', 16000 - 4096) + repeated('y', 40000));
    log.AppendLog("z");
    QCOMPARE(log.dataCount(), 16000 - 4096 + 1);
}

void ReceiveLogTest::streamPositions()
{
    ReceiveLog log;
    const quint64 start = log.generation();
    log.AppendLog(repeated('a', 15998));
    log.AppendLog("b\r");
    QCOMPARE(log.frontPosition(), 0);
    QCOMPARE(log.endPosition(), 16001);
    log.AppendLog("c");
    QCOMPARE(log.frontPosition(), 4096);
    QCOMPARE(log.endPosition(), 16002);
    QCOMPARE(log.generation(), start);

    log.clearText();
    QVERIFY(log.generation() != start);
    QCOMPARE(log.frontPosition(), 0);
    QCOMPARE(log.endPosition(), 0);
    const quint64 afterSetting = log.generation();
    log.clearData();
    QVERIFY(log.generation() != afterSetting);
}

void ReceiveLogTest::matchesReference_data()
{
    QTest::addColumn<quint32>("seed");
    for (const quint32 seed : {1u, 2u, 3u, 20240607u, 0xdeadbeefu})
        QTest::addRow("seed %u", seed) << seed;
}

void ReceiveLogTest::matchesReference()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);

    ReceiveLog log;
    // The reference keeps every normalised byte since the last clear and
    // only tracks where the kept text starts.
    QByteArray stream;
    qsizetype front = 0;
    qint64 logLength = 0;

    for (int step = 0; step < 1500; ++step) {
        if (random.bounded(100) == 0) {
            log.clearText();
            stream.clear();
            front = 0;
            QVERIFY(log.text().isEmpty());
            continue;
        }
        const QByteArray chunk = randomChunk(random);
        log.AppendLog(chunk);

        logLength += chunk.size();
        QCOMPARE(log.dataCount(), qint32(logLength));
        if (logLength > ReceiveLog::kTrimThreshold) {
            if (stream.size() - front > ReceiveLog::kTrimCut)
                front += ReceiveLog::kTrimCut;
            logLength = stream.size() - front;
        }
        stream += QByteArray::fromStdString(literalNormalise(chunk.toStdString()));

        QCOMPARE(log.logLength(), qint32(logLength));
        if (log.text() != QByteArrayView(stream).sliced(front))
            QFAIL(qPrintable(QStringLiteral("text differs after step %1").arg(step)));
        QCOMPARE(log.endPosition() - log.frontPosition(), log.text().size());
    }
}

QTEST_APPLESS_MAIN(ReceiveLogTest)
#include "ReceiveLogTest.moc"
