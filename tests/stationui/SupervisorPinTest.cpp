#include "stationui/SupervisorPin.h"

#include <QTest>

// The supervisor's PIN: kept as a salted slow hash, checked, and wrong
// tries slowed down.
class SupervisorPinTest : public QObject
{
    Q_OBJECT

private slots:
    void verify_data();
    void verify();
    void sameLineTwoStations();
    void gate_data();
    void gate();
    void slowDownGrows();
};

void SupervisorPinTest::verify_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<bool>("right");

    const QByteArray salt = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const QString stored = SupervisorPin::hash(QStringLiteral("2468"), salt, 2000);
    QString flipped = stored;
    flipped[flipped.size() - 1] =
        flipped.endsWith(QLatin1Char('0')) ? QLatin1Char('1') : QLatin1Char('0');
    QTest::newRow("right") << stored << "2468" << true;
    QTest::newRow("wrong") << stored << "2469" << false;
    QTest::newRow("empty") << stored << "" << false;
    QTest::newRow("the right PIN against a changed key") << flipped << "2468" << false;
    QTest::newRow("another scheme") << QString(stored).replace("sha256", "sha1") << "2468" << false;
    QTest::newRow("too few iterations")
        << SupervisorPin::hash(QStringLiteral("2468"), salt, 10) << "2468" << false;
    QTest::newRow("not a hash") << "2468"
                                << "2468" << false;
    QTest::newRow("no PIN stored") << ""
                                   << "" << false;
}

void SupervisorPinTest::verify()
{
    QFETCH(QString, stored);
    QFETCH(QString, pin);
    QFETCH(bool, right);
    QCOMPARE(SupervisorPin::verify(stored, pin), right);
}

// Two stations given the same PIN keep different hashes, each its own.
void SupervisorPinTest::sameLineTwoStations()
{
    const QString a = SupervisorPin::hash(QStringLiteral("2468"));
    const QString b = SupervisorPin::hash(QStringLiteral("2468"));
    QVERIFY(a != b);
    QVERIFY(!a.contains(QStringLiteral("2468")));
    QVERIFY(SupervisorPin::verify(a, QStringLiteral("2468")));
    QVERIFY(SupervisorPin::verify(b, QStringLiteral("2468")));
}

void SupervisorPinTest::gate_data()
{
    // Each try: "right@ms" or "wrong@ms"; each verdict: "accepted", "refused
    // WAIT" or "too-soon WAIT".
    QTest::addColumn<QStringList>("tries");
    QTest::addColumn<QStringList>("verdicts");

    QTest::newRow("two wrong tries are free")
        << QStringList{"wrong@0", "wrong@0", "right@0"}
        << QStringList{"refused 0", "refused 0", "accepted 0"};
    QTest::newRow("the third wrong try makes the next wait")
        << QStringList{"wrong@0", "wrong@0", "wrong@0", "right@1000", "right@2000"}
        << QStringList{"refused 0", "refused 0", "refused 2000", "too-soon 1000", "accepted 0"};
    QTest::newRow("a try too soon is not counted")
        << QStringList{"wrong@0", "wrong@0", "wrong@0", "wrong@500", "wrong@2000"}
        << QStringList{"refused 0", "refused 0", "refused 2000", "too-soon 1500", "refused 4000"};
    QTest::newRow("the right PIN starts the count afresh")
        << QStringList{"wrong@0", "wrong@0", "wrong@0", "right@2000", "wrong@2000"}
        << QStringList{"refused 0", "refused 0", "refused 2000", "accepted 0", "refused 0"};
    QTest::newRow("a clock set back waits no longer than earned")
        << QStringList{"wrong@100000", "wrong@100000", "wrong@100000", "right@0", "right@2000"}
        << QStringList{"refused 0", "refused 0", "refused 2000", "too-soon 2000", "accepted 0"};
}

void SupervisorPinTest::gate()
{
    QFETCH(QStringList, tries);
    QFETCH(QStringList, verdicts);
    PinGate gate;
    QStringList got;
    for (const QString &attempt : tries) {
        const QStringList parts = attempt.split(QLatin1Char('@'));
        const PinGate::Outcome outcome =
            gate.record(parts[0] == QLatin1String("right"), parts[1].toLongLong());
        const char *verdict = outcome.verdict == PinGate::Verdict::Accepted  ? "accepted"
                              : outcome.verdict == PinGate::Verdict::Refused ? "refused"
                                                                             : "too-soon";
        got << QStringLiteral("%1 %2").arg(QLatin1String(verdict)).arg(outcome.waitMs);
        // The state kept in the settings carries the count over a restart.
        gate = PinGate(gate.state());
    }
    QCOMPARE(got, verdicts);
}

void SupervisorPinTest::slowDownGrows()
{
    qint64 before = 0;
    int failures = PinGate::kFreeTries + 1;
    for (; PinGate::delayAfter(failures) < PinGate::kMaxDelayMs; ++failures) {
        QVERIFY2(PinGate::delayAfter(failures) > before, qPrintable(QString::number(failures)));
        before = PinGate::delayAfter(failures);
    }
    QVERIFY(failures < 20);
    QCOMPARE(PinGate::delayAfter(failures + 1000), PinGate::kMaxDelayMs);
}

QTEST_APPLESS_MAIN(SupervisorPinTest)
#include "SupervisorPinTest.moc"
