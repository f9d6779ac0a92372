#include "station/UnitExchange.h"

#include "station/ExitStatus.h"
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
};

void UnitExchangeTest::answers_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QByteArray>("waiting"); // in the line before the device is opened
    QTest::addColumn<Result>("result");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("answered") << false << QByteArray() << Result::Ok
                              << int(ExitStatus::kAcknowledged);
    QTest::newRow("a late answer of an earlier exchange is no answer")
        << true << TestBytes::hex("55 AA") << Result::NoAnswer
        << int(ExitStatus::kNoAcknowledgement);
    QTest::newRow("stale bytes, then the answer")
        << false << TestBytes::hex("31 32 55") << Result::Ok << int(ExitStatus::kAcknowledged);
}

void UnitExchangeTest::answers()
{
    QFETCH(bool, silent);
    QFETCH(QByteArray, waiting);
    QFETCH(Result, result);
    QFETCH(int, exitCode);
    PlayedDongle unit({.silent = silent});
    QVERIFY(unit.pty.write(waiting));

    RunPlan plan;
    plan.frames = {{Page::General, SettingCodec::BuildGeneralFrame({})}};
    plan.waitMs = 300;
    CapturedConsole console;
    UnitExchange exchange(plan, unit.pty.slavePath(), console.console(), true);
    QSignalSpy finished(&exchange, &UnitExchange::finished);
    exchange.start();
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toInt(), exitCode);
    QCOMPARE(exchange.outcome().result, result);
    QCOMPARE(unit.frames(), 1);
    // What was waiting is not part of this unit's answer.
    QVERIFY(!exchange.outcome().received.startsWith(waiting) || waiting.isEmpty());
}

QTEST_GUILESS_MAIN(UnitExchangeTest)
#include "UnitExchangeTest.moc"
