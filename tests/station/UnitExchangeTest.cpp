#include "station/UnitExchange.h"

#include "station/ExitStatus.h"
#include "support/ProgramRun.h"
#include "support/StationRig.h"
#include "support/TestBytes.h"

#include <QSignalSpy>
#include <QTest>

using Result = UnitExchange::Outcome::Result;
Q_DECLARE_METATYPE(Result)

// One unit's exchange over a real pseudo-terminal: only what answers this
// run's frame counts.
class UnitExchangeTest : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();

private:
    PrivateRuntimeFolder m_runtime; // where unanswered frames are noted
};

void UnitExchangeTest::answers_data()
{
    QTest::addColumn<DongleOptions>("dongle");
    QTest::addColumn<int>("frames");         // General, then Advanced 2
    QTest::addColumn<QByteArray>("waiting"); // in the line before the device is opened
    QTest::addColumn<bool>("retry");         // a second exchange right after a first is judged
    QTest::addColumn<Result>("result");
    QTest::addColumn<int>("sent");            // frames the dongle got in all
    QTest::addColumn<QByteArray>("received"); // null: not compared

    const QByteArray ack = TestBytes::hex("55 AA");
    QTest::newRow("answered") << DongleOptions{} << 1 << QByteArray() << false << Result::Ok << 1
                              << ack;
    QTest::newRow("a late answer of an earlier exchange is no answer")
        << DongleOptions{.silent = true} << 1 << ack << false << Result::NoAnswer << 1 << ack;
    QTest::newRow("stale bytes, then the answer")
        << DongleOptions{} << 1 << TestBytes::hex("31 32 55") << false << Result::Ok << 1
        << TestBytes::hex("31 32 55 55 AA");
    QTest::newRow("the second frame met with silence")
        << DongleOptions{.onlyFrame = 1} << 2 << QByteArray() << false << Result::NoAnswer << 2
        << ack;
    QTest::newRow("an answer repeated is no answer to the next frame")
        << DongleOptions{.repeatMs = 50, .onlyFrame = 1} << 2 << QByteArray() << false
        << Result::NoAnswer << 2 << ack + ack;
    QTest::newRow("a retry while the first frame's answer is late")
        << DongleOptions{.delayMs = 450, .onlyFrame = 1} << 1 << QByteArray() << true
        << Result::NoAnswer << 2 << ack;
    QTest::newRow("a line that never goes quiet gets no frame")
        << DongleOptions{.noiseMs = 20} << 1 << QByteArray() << false << Result::NoisyLine << 0
        << QByteArray();
}

void UnitExchangeTest::answers()
{
    QFETCH(DongleOptions, dongle);
    QFETCH(int, frames);
    QFETCH(QByteArray, waiting);
    QFETCH(bool, retry);
    QFETCH(Result, result);
    QFETCH(int, sent);
    QFETCH(QByteArray, received);
    PlayedDongle unit(dongle);
    QVERIFY(unit.pty.write(waiting));

    RunPlan plan;
    plan.frames = QList<PageFrame>{{Page::General, SettingCodec::BuildGeneralFrame({})},
                                   {Page::Advanced2, SettingCodec::BuildReceiveTimeoutFrame(0)}}
                      .first(frames);
    plan.waitMs = 300;
    plan.lateMs = 1000;
    CapturedConsole console;
    const auto exchangeEnds = [&](UnitExchange &exchange) {
        QSignalSpy finished(&exchange, &UnitExchange::finished);
        exchange.start();
        return finished.wait(5000) ? finished.first().first().toInt() : -1;
    };
    if (retry) {
        UnitExchange first(plan, unit.pty.slavePath(), console.console(), true);
        QCOMPARE(exchangeEnds(first), int(ExitStatus::kNoAcknowledgement));
    }
    UnitExchange exchange(plan, unit.pty.slavePath(), console.console(), true);
    QCOMPARE(exchangeEnds(exchange), int(result == Result::Ok ? ExitStatus::kAcknowledged
                                                              : ExitStatus::kNoAcknowledgement));
    QCOMPARE(exchange.outcome().result, result);
    QCOMPARE(unit.frames(), sent);
    if (!received.isNull())
        QCOMPARE(exchange.outcome().received, received);
}

QTEST_GUILESS_MAIN(UnitExchangeTest)
#include "UnitExchangeTest.moc"
