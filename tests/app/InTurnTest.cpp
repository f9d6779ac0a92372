#include "app/InTurn.h"
#include "log/ReceiveLog.h"
#include "support/RecordingDialogs.h"

#include <QTest>

// What the operator is shown comes in the order it happened: a box sees the
// log as it stood when its notice was given, and bytes that came after the
// notice reach the log only once the box has been shown.
class InTurnTest : public QObject
{
    Q_OBJECT

private slots:
    void arrivalOrder_data();
    void arrivalOrder();
};

void InTurnTest::arrivalOrder_data()
{
    // An event is received bytes, "!A" a notice A given in turn, "#A" a box
    // A shown at once, and "A|event" the event while box A is open.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("seen"); // per box: "text:the log when it opened"
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("bytes behind a notice wait for it")
        << QStringList{"ab", "!A", "cd"} << QStringList{"A:ab"} << QByteArray("abcd");
    QTest::newRow("notices between runs keep their places")
        << QStringList{"!A", "x", "!B", "y", "!C"} << QStringList{"A:", "B:x", "C:xy"}
        << QByteArray("xy");
    QTest::newRow("bytes under a box are logged as it closes")
        << QStringList{"#A", "A|u"} << QStringList{"A:"} << QByteArray("u");
    QTest::newRow("under a box, bytes and a notice wait until it closes")
        << QStringList{"p", "#A", "A|u", "A|!B", "A|v"} << QStringList{"A:p", "B:pu"}
        << QByteArray("puv");
    QTest::newRow("a notice under a notice's box comes after it")
        << QStringList{"!A", "A|x", "A|!B", "A|y"} << QStringList{"A:", "B:x"} << QByteArray("xy");
}

void InTurnTest::arrivalOrder()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, seen);
    QFETCH(QByteArray, logged);

    RecordingBoxes boxes;
    ReceiveLog log;
    InTurn inTurn(boxes, log);
    const auto happen = [&inTurn](const QString &event) {
        if (event.startsWith('!'))
            inTurn.reportInTurn(event.mid(1), QStringLiteral("Notice"));
        else if (event.startsWith('#'))
            inTurn.showBox(event.mid(1), QStringLiteral("Notice"));
        else
            inTurn.logArrival(event.toLatin1());
    };
    QStringList logAtBox;
    boxes.whileOpen = [&](const RecordingBoxes::Shown &shown) {
        logAtBox << shown.text + ':' + QString::fromLatin1(log.text());
        for (const QString &event : std::as_const(events)) {
            if (event.section('|', 0, 0) == shown.text && event.contains('|'))
                happen(event.section('|', 1));
        }
    };
    for (const QString &event : std::as_const(events)) {
        if (!event.contains('|'))
            happen(event);
    }

    QTRY_COMPARE(logAtBox, seen);
    QCOMPARE(boxes.mostOpenAtOnce(), 1);
    QCOMPARE(log.text(), logged);
}

QTEST_MAIN(InTurnTest)
#include "InTurnTest.moc"
