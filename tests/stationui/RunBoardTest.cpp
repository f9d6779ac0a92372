#include "stationui/RunBoard.h"
#include "stationui/RunView.h"
#include "stationui/SlotTile.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QSet>
#include <QTest>
#include <QTimer>

// The run's slots, tally and latest results as the station feeds them, and
// the tiles and counters that show them.
class RunBoardTest : public QObject
{
    Q_OBJECT

private slots:
    void tally_data();
    void tally();
    void fixtureSlots();
    void unitsWithoutFixture();
    void tileFollowsStates();
    void viewFollowsBoard();
    void ticksOnlyWhileUnderWay();
};

namespace {

PortEntry unit(const QString &socket, const QString &serial = {})
{
    return PortEntry{
        QStringLiteral("/dev/tty-") + socket, QStringLiteral("Dongle"), {}, socket, serial};
}

UnitEnd ended(const QString &result, bool recorded = true)
{
    return {result, result == QLatin1String("ok") ? QString() : QStringLiteral("why"), recorded,
            QDateTime::currentDateTime()};
}

} // namespace

void RunBoardTest::tally_data()
{
    // Results as "result" or "result!" (not recorded).
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QList<int>>("counts"); // passed, failed, busy, not recorded
    QTest::addColumn<double>("yield");      // -1: none

    QTest::newRow("none") << QStringList() << QList<int>{0, 0, 0, 0} << -1.0;
    QTest::newRow("every failure kind counts as failed")
        << QStringList{"ok", "no-answer", "wrong-answer", "port-error", "ok", "ok"}
        << QList<int>{3, 3, 0, 0} << 0.5;
    QTest::newRow("busy and not configured are not tried")
        << QStringList{"ok", "busy", "not-configured", "ok", "ok", "no-answer"}
        << QList<int>{3, 1, 1, 0} << 0.75;
    QTest::newRow("not recorded counts apart, whatever its result")
        << QStringList{"ok!", "no-answer!", "ok"} << QList<int>{1, 0, 0, 2} << 1.0;
}

void RunBoardTest::tally()
{
    QFETCH(QStringList, results);
    QFETCH(QList<int>, counts);
    QFETCH(double, yield);
    RunBoard board;
    board.useUnits();
    for (qsizetype i = 0; i < results.size(); ++i) {
        QString result = results[i];
        const bool recorded = !result.endsWith(QLatin1Char('!'));
        result.remove(QLatin1Char('!'));
        QVERIFY(board.unitEnded(unit(QString::number(i % 4)), ended(result, recorded)));
    }
    const Tally &tally = board.tally();
    QCOMPARE((QList<int>{tally.passed, tally.failed, tally.busy, tally.notRecorded}), counts);
    QCOMPARE(tally.yield().value_or(-1.0), yield);
    // Busy, failed and unrecorded units are listed; one that was never
    // sent anything is not.
    QCOMPARE(board.recent().size(), qsizetype(counts[0] + counts[1] + counts[2] + counts[3]));
}

void RunBoardTest::fixtureSlots()
{
    RunBoard board;
    board.useFixture(Fixture({QStringLiteral("s1"), QStringLiteral("s2"), QStringLiteral("s3")}));
    QVERIFY(!board.unitAppeared(unit(QStringLiteral("elsewhere"))));
    QVERIFY(!board.unitAppeared(unit(QString())));
    QVERIFY(board.unitAppeared(unit(QStringLiteral("s2"), QStringLiteral("SN2"))));
    QVERIFY(board.unitStarted(unit(QStringLiteral("s2"), QStringLiteral("SN2")), 1));
    QVERIFY(board.unitEnded(unit(QStringLiteral("s2"), QStringLiteral("SN2")),
                            ended(QStringLiteral("no-answer"))));
    // Pulled while it was configured: failed, and not there to be tried again.
    QVERIFY(board.unitStarted(unit(QStringLiteral("s3")), 1));
    board.unitVanished(QStringLiteral("/dev/tty-s3"));
    QVERIFY(board.unitEnded(unit(QStringLiteral("s3")), ended(QStringLiteral("port-error"))));
    QCOMPARE(board.slotList().size(), 3);
    QCOMPARE(board.slotList().at(0).state, SlotState::Empty);
    QCOMPARE(board.slotList().at(1).state, SlotState::Failed);
    QCOMPARE(board.slotList().at(1).unit.serialNumber, QStringLiteral("SN2"));

    QCOMPARE(board.slotList().at(2).state, SlotState::Failed);
    // The same pull, its port's hang-up heard before the device's removal:
    // still failed, not a free slot.
    board.unitVanished(QStringLiteral("/dev/tty-s3"));
    QCOMPARE(board.slotList().at(2).state, SlotState::Failed);
    // Only a failed unit still plugged in is tried again, with its next attempt.
    const QList<RetryUnit> retry = board.retryable();
    QCOMPARE(retry.size(), 1);
    QCOMPARE(retry.first().slot, 2);
    QCOMPARE(retry.first().attempt, 2);
    // Unplugged after its result: the slot is free, its last result kept.
    board.unitVanished(QStringLiteral("/dev/tty-s2"));
    QCOMPARE(board.slotList().at(1).state, SlotState::Empty);
    QVERIFY(board.slotList().at(1).lastResultTime.isValid());
    QVERIFY(board.retryable().isEmpty());
}

void RunBoardTest::unitsWithoutFixture()
{
    RunBoard board;
    board.useUnits();
    board.unitAppeared(unit(QStringLiteral("a")));
    board.unitAppeared(unit(QStringLiteral("b")));
    // Without a by-path name a unit is known by its device.
    board.unitAppeared(PortEntry{QStringLiteral("/dev/pts/7"), {}});
    board.unitEnded(unit(QStringLiteral("a")), ended(QStringLiteral("ok")));
    // The next unit in socket a takes its tile again.
    board.unitVanished(QStringLiteral("/dev/tty-a"));
    board.unitAppeared(unit(QStringLiteral("a"), QStringLiteral("SN9")));
    QCOMPARE(board.slotList().size(), 3);
    QCOMPARE(board.slotList().at(0).state, SlotState::Settling);
    QCOMPARE(board.slotList().at(0).attempt, 0);
    QCOMPARE(board.slotList().at(2).key, QStringLiteral("/dev/pts/7"));
    // A unit vanishing while it is configured keeps its tile until its end.
    board.unitStarted(unit(QStringLiteral("b")), 1);
    board.unitVanished(QStringLiteral("/dev/tty-b"));
    QCOMPARE(board.slotList().at(1).state, SlotState::Configuring);
}

void RunBoardTest::tileFollowsStates()
{
    SlotTile tile;
    QSet<QString> words;
    QSet<QRgb> colours;
    const SlotState states[] = {
        SlotState::Empty,  SlotState::Settling, SlotState::Configuring,   SlotState::Passed,
        SlotState::Failed, SlotState::Busy,     SlotState::NotConfigured, SlotState::NotRecorded};
    for (const SlotState state : states) {
        SlotStatus slot;
        slot.number = 1;
        slot.state = state;
        tile.showSlot(slot, -1);
        QCOMPARE(tile.state(), state);
        words.insert(tile.stateWord());
        colours.insert(tile.background().rgb());
        QVERIFY(tile.accessibleName().contains(tile.stateWord()));
    }
    // Each state its own word and its own colour: colour is never the only sign.
    QCOMPARE(words.size(), qsizetype(std::size(states)));
    QCOMPARE(colours.size(), qsizetype(std::size(states)));
}

void RunBoardTest::viewFollowsBoard()
{
    RunBoard board;
    RunView view(&board);
    board.useFixture(Fixture({QStringLiteral("s1"), QStringLiteral("s2")}));
    board.setLotQuantity(10);
    QCOMPARE(view.tiles().size(), 2);
    const QString serial = QStringLiteral("VT20261208A000123456789");
    board.unitStarted(unit(QStringLiteral("s2"), serial), 1);
    QCOMPARE(view.tiles().at(1)->state(), SlotState::Configuring);
    board.unitEnded(unit(QStringLiteral("s2"), serial), ended(QStringLiteral("ok")));
    QCOMPARE(view.tiles().at(1)->stateWord(), SlotTile::wordFor(SlotState::Passed));
    QCOMPARE(view.tiles().at(0)->state(), SlotState::Empty);
    QVERIFY(view.findChild<QLabel *>(QStringLiteral("lotCount"))->text().contains("1"));
    auto *recent = view.findChild<QListWidget *>(QStringLiteral("recentResults"));
    QCOMPARE(recent->count(), 1);
    QVERIFY(recent->item(0)->text().contains(serial));

    board.setBlocked(QStringLiteral("The report cannot be written."),
                     QStringLiteral("Free space."));
    auto *blocked = view.findChild<QWidget *>(QStringLiteral("blockingError"));
    QVERIFY(!blocked->isHidden());
    QVERIFY(!view.tiles().at(0)->isEnabled());
    board.clearBlocked();
    QVERIFY(blocked->isHidden());
    QVERIFY(view.tiles().at(0)->isEnabled());
}

// Elapsed times cost redraws: none while nothing is under way.
void RunBoardTest::ticksOnlyWhileUnderWay()
{
    RunBoard board;
    RunView view(&board);
    auto *tick = view.findChild<QTimer *>(QStringLiteral("elapsedTick"));
    QVERIFY(tick);
    board.useUnits();
    QVERIFY(!tick->isActive());
    board.unitAppeared(unit(QStringLiteral("a")));
    QVERIFY(tick->isActive());
    board.unitStarted(unit(QStringLiteral("b")), 1);
    board.unitEnded(unit(QStringLiteral("b")), ended(QStringLiteral("ok")));
    QVERIFY(tick->isActive());
    board.unitVanished(QStringLiteral("/dev/tty-a"));
    QVERIFY(!tick->isActive());
}

QTEST_MAIN(RunBoardTest)
#include "RunBoardTest.moc"
