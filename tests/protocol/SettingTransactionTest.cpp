#include "protocol/SettingTransaction.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>

using SendResult = SettingTransaction::SendResult;
Q_DECLARE_METATYPE(SettingTransaction::SendResult)

namespace {

class FakeLink final : public FrameLink
{
public:
    bool open = true;
    bool writeOk = true;
    QList<SettingCodec::ConfigFrame> written;
    // What the line holds but has not handed over yet; deliverWaiting gives
    // it to deliver, as the serial link emits what it reads.
    QByteArray waiting;
    std::function<void(const QByteArray &)> deliver;

    [[nodiscard]] bool isOpen() const override { return open; }
    void deliverWaiting() override
    {
        if (!waiting.isEmpty() && deliver)
            deliver(std::exchange(waiting, {}));
    }
    bool writeFrame(const SettingCodec::ConfigFrame &frame, QString *error) override
    {
        if (!writeOk) {
            *error = QStringLiteral("Cannot write to port 1 (/dev/ttyS0): Input/output error.");
            return false;
        }
        written.append(frame);
        return true;
    }
};

const SettingCodec::ConfigFrame kFrame = SettingCodec::BuildReceiveTimeoutFrame(5);

} // namespace

class SettingTransactionTest : public QObject
{
    Q_OBJECT

private slots:
    void send_data();
    void send();
    void chunks_data();
    void chunks();
    void timeOutReleasesHeldByte();
    void waitingAtTheDeadline_data();
    void waitingAtTheDeadline();
    void realTimeOut();
};

void SettingTransactionTest::send_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("inRange");
    QTest::addColumn<bool>("writeOk");
    QTest::addColumn<bool>("waitingBefore");
    QTest::addColumn<SendResult>("result");
    QTest::addColumn<bool>("built");
    QTest::addColumn<bool>("waitingAfter");

    QTest::newRow("sent") << true << true << true << false << SendResult::Sent << true << true;
    QTest::newRow("sent again while waiting")
        << true << true << true << true << SendResult::Sent << true << true;
    QTest::newRow("port closed") << false << true << true << false << SendResult::PortClosed
                                 << false << false;
    QTest::newRow("port closed while waiting")
        << false << true << true << true << SendResult::PortClosed << false << true;
    QTest::newRow("over range") << true << false << true << false << SendResult::OverRange << true
                                << false;
    QTest::newRow("write failed") << true << true << false << false << SendResult::WriteFailed
                                  << true << false;
}

void SettingTransactionTest::send()
{
    QFETCH(bool, portOpen);
    QFETCH(bool, inRange);
    QFETCH(bool, writeOk);
    QFETCH(bool, waitingBefore);
    QFETCH(SendResult, result);
    QFETCH(bool, built);
    QFETCH(bool, waitingAfter);

    FakeLink link;
    SettingTransaction transaction(link);
    if (waitingBefore) {
        QCOMPARE(transaction.send([] { return kFrame; }).result, SendResult::Sent);
        link.written.clear();
    }
    link.open = portOpen;
    link.writeOk = writeOk;

    bool builderCalled = false;
    const SettingTransaction::SendOutcome outcome = transaction.send([&] {
        builderCalled = true;
        return inRange ? std::optional(kFrame) : std::nullopt;
    });
    QCOMPARE(outcome.result, result);
    QCOMPARE(builderCalled, built);
    QCOMPARE(link.written.size(), result == SendResult::Sent ? 1 : 0);
    QCOMPARE(transaction.isWaiting(), waitingAfter);
    QCOMPARE(outcome.error.contains(QLatin1String("/dev/ttyS0")),
             result == SendResult::WriteFailed);
}

void SettingTransactionTest::chunks_data()
{
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<QByteArrayList>("chunks"); // hex
    QTest::addColumn<QByteArrayList>("logged"); // hex, what each chunk lets through
    QTest::addColumn<QList<bool>>("acks");
    QTest::addColumn<bool>("waitingAfter");

    using L = QByteArrayList;
    using B = QList<bool>;
    QTest::newRow("acknowledgement") << true << L{"55aa"} << L{"0000"} << B{true} << false;
    QTest::newRow("with data behind") << true << L{"55aa3132"} << L{"00003132"} << B{true} << false;
    QTest::newRow("while idle") << false << L{"55aa"} << L{"0000"} << B{true} << false;
    QTest::newRow("reversed") << true << L{"aa55"} << L{"aa55"} << B{false} << true;
    QTest::newRow("not at the start") << true << L{"3155aa"} << L{"3155aa"} << B{false} << true;
    QTest::newRow("lone aa") << true << L{"aa"} << L{"aa"} << B{false} << true;
    QTest::newRow("lone 55 while idle")
        << false << L{"55", "aa"} << L{"55", "aa"} << B{false, false} << false;
    QTest::newRow("split") << true << L{"55", "aa"} << L{"", "0000"} << B{false, true} << false;
    QTest::newRow("split, data behind")
        << true << L{"55", "aa3132"} << L{"", "00003132"} << B{false, true} << false;
    QTest::newRow("55 then other in one chunk")
        << true << L{"5531"} << L{"5531"} << B{false} << true;
    QTest::newRow("55 55") << true << L{"5555", "aa"} << L{"5555", "aa"} << B{false, false} << true;
    QTest::newRow("55 then other")
        << true << L{"55", "3132"} << L{"", "553132"} << B{false, false} << true;
    QTest::newRow("55 then whole acknowledgement")
        << true << L{"55", "55aa"} << L{"", "550000"} << B{false, true} << false;
    QTest::newRow("55, 55, aa") << true << L{"55", "55", "aa"} << L{"", "55", "0000"}
                                << B{false, false, true} << false;
    QTest::newRow("55 at the end of a longer chunk")
        << true << L{"3155", "aa"} << L{"3155", "aa"} << B{false, false} << true;
    QTest::newRow("after an acknowledgement, idle again")
        << true << L{"55aa", "55", "aa"} << L{"0000", "55", "aa"} << B{true, false, false} << false;
}

void SettingTransactionTest::chunks()
{
    QFETCH(bool, waiting);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArrayList, logged);
    QFETCH(QList<bool>, acks);
    QFETCH(bool, waitingAfter);

    FakeLink link;
    SettingTransaction transaction(link);
    if (waiting)
        QCOMPARE(transaction.send([] { return kFrame; }).result, SendResult::Sent);

    for (qsizetype i = 0; i < chunks.size(); ++i) {
        bool acknowledged = !acks.at(i);
        const QByteArray out =
            transaction.takeChunk(QByteArray::fromHex(chunks.at(i)), &acknowledged);
        QCOMPARE(out.toHex(), logged.at(i));
        QCOMPARE(acknowledged, acks.at(i));
    }
    QCOMPARE(transaction.isWaiting(), waitingAfter);
    QCOMPARE(transaction.releaseHeld(), QByteArray());
}

void SettingTransactionTest::timeOutReleasesHeldByte()
{
    FakeLink link;
    SettingTransaction transaction(link);
    transaction.setTimeoutInterval(20);
    QSignalSpy timedOut(&transaction, &SettingTransaction::timedOut);
    QCOMPARE(transaction.send([] { return kFrame; }).result, SendResult::Sent);

    bool acknowledged = true;
    QCOMPARE(transaction.takeChunk(QByteArray::fromHex("55"), &acknowledged), QByteArray());
    QVERIFY(!acknowledged);
    QVERIFY(timedOut.wait());
    QVERIFY(!transaction.isWaiting());
    QCOMPARE(transaction.releaseHeld(), QByteArray::fromHex("55"));
    QCOMPARE(transaction.releaseHeld(), QByteArray());

    // Too late: the 0xAA is no longer the second half of anything.
    QCOMPARE(transaction.takeChunk(QByteArray::fromHex("aa"), &acknowledged),
             QByteArray::fromHex("aa"));
    QVERIFY(!acknowledged);
    QCOMPARE(timedOut.size(), 1);
}

void SettingTransactionTest::waitingAtTheDeadline_data()
{
    QTest::addColumn<QByteArray>("before");  // hex, taken before the deadline
    QTest::addColumn<QByteArray>("waiting"); // hex, in the line when Timer3 ticks
    QTest::addColumn<bool>("acknowledged");
    QTest::addColumn<QByteArray>("logged"); // hex

    QTest::newRow("the answer") << QByteArray() << QByteArray("55aa") << true << QByteArray("0000");
    QTest::newRow("its second half")
        << QByteArray("55") << QByteArray("aa") << true << QByteArray("0000");
    QTest::newRow("the answer with data")
        << QByteArray() << QByteArray("55aa0d") << true << QByteArray("00000d");
    QTest::newRow("something else")
        << QByteArray() << QByteArray("3132") << false << QByteArray("3132");
    QTest::newRow("half an answer")
        << QByteArray() << QByteArray("55") << false << QByteArray("55");
}

// Timer3's tick and the answer can fall due in the same turn of the event
// loop: what the line already holds came before the deadline.
void SettingTransactionTest::waitingAtTheDeadline()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, waiting);
    QFETCH(bool, acknowledged);
    QFETCH(QByteArray, logged);

    FakeLink link;
    SettingTransaction transaction(link);
    transaction.setTimeoutInterval(20);
    QSignalSpy timedOut(&transaction, &SettingTransaction::timedOut);
    QByteArray log;
    int acks = 0;
    link.deliver = [&](const QByteArray &chunk) {
        bool acknowledged = false;
        log += transaction.takeChunk(chunk, &acknowledged);
        acks += acknowledged;
    };
    connect(&transaction, &SettingTransaction::timedOut, this,
            [&] { log += transaction.releaseHeld(); });

    QCOMPARE(transaction.send([] { return kFrame; }).result, SendResult::Sent);
    if (!before.isEmpty())
        link.deliver(QByteArray::fromHex(before));
    link.waiting = QByteArray::fromHex(waiting);
    QTRY_VERIFY(!transaction.isWaiting());
    QCOMPARE(acks, acknowledged ? 1 : 0);
    QCOMPARE(timedOut.size(), acknowledged ? 0 : 1);
    QCOMPARE(log.toHex(), logged);
    QVERIFY(link.waiting.isEmpty());
}

void SettingTransactionTest::realTimeOut()
{
    FakeLink link;
    SettingTransaction transaction(link);
    const auto *timer = transaction.findChild<QTimer *>(QStringLiteral("Timer3"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 2500);
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    QVERIFY(!timer->isActive());

    QSignalSpy timedOut(&transaction, &SettingTransaction::timedOut);
    QCOMPARE(transaction.send([] { return kFrame; }).result, SendResult::Sent);
    QVERIFY(timedOut.wait(5000));
    QVERIFY(!timer->isActive());
    QCOMPARE(timedOut.size(), 1);
}

QTEST_GUILESS_MAIN(SettingTransactionTest)
#include "SettingTransactionTest.moc"
