#include "stationui/StationDriver.h"

#include "station/Station.h"
#include "station/StationRegistry.h"
#include "stationui/SetupPage.h"
#include "stationui/StationWindow.h"

#include "support/ProgramRun.h"
#include "support/ReportRecords.h"
#include "support/ScratchFileSystem.h"
#include "support/StationRig.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <numeric>

namespace {

QString socket(int n)
{
    return QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:%1:1.0-port0").arg(n);
}

// One letter a state, so that a tile's way through a unit reads as a word.
QChar letter(SlotState state)
{
    return QStringLiteral("ESCPFBNR").at(int(state));
}

// The window and its station over a scripted line of pty dongles: units go
// into numbered sockets.
class Line
{
public:
    explicit Line(const QString &folder) : m_folder(folder)
    {
        StationWindow::Platform platform;
        platform.settings =
            std::make_unique<StationSettings>(folder + QStringLiteral("/station.ini"));
        window = std::make_unique<StationWindow>(std::move(platform));
        StationDriver::Platform line;
        line.deviceSources = [this] {
            auto scripted = std::make_unique<ScriptedDeviceSource>();
            source = scripted.get();
            DeviceSources sources;
            sources.push_back(std::move(scripted));
            return sources;
        };
        line.console = m_console.console();
        driver = std::make_unique<StationDriver>(window.get(), std::move(line));
        QObject::connect(window->board(), &RunBoard::slotChanged, window.get(), [this](int i) {
            QString &way = ways[i];
            const QChar now = letter(window->board()->slotList().at(i).state);
            if (way.isEmpty() || way.back() != now)
                way += now;
        });
    }

    [[nodiscard]] RunSetup setup(const QList<int> &fixture)
    {
        RunSetup setup;
        setup.operatorName = QStringLiteral("Kim Lee");
        setup.lot = QStringLiteral("WO-7");
        setup.profilePath = m_folder + QStringLiteral("/line.profile");
        QFile profile(setup.profilePath);
        if (!profile.open(QIODevice::WriteOnly) ||
            profile.write("vantrel-set profile 1\nchannel = 15\n") < 0)
            return {};
        setup.reportPath = m_folder + QStringLiteral("/units.csv");
        if (fixture.isEmpty()) {
            setup.matches = {QStringLiteral("Scripted*")};
        } else {
            QStringList sockets;
            for (const int n : fixture)
                sockets << socket(n);
            setup.fixturePath = m_folder + QStringLiteral("/line.fixture");
            if (!writeFixture(setup.fixturePath, Fixture(sockets)).ok())
                return {};
        }
        return setup;
    }
    void start(const RunSetup &setup)
    {
        window->findChild<SetupPage *>()->setSetup(setup);
        act("startRun");
    }
    void act(const char *name) { window->findChild<QAction *>(QLatin1String(name))->trigger(); }
    void stop()
    {
        act("stopRun");
        QTRY_VERIFY(!window->isRunning());
    }
    // A unit that answers (or not) in socket n, once the station waits.
    PlayedDongle &plug(int n, DongleOptions options = {})
    {
        auto &dongle = units[n] = std::make_unique<PlayedDongle>(std::move(options));
        PortEntry entry = dongle->entry(QStringLiteral("SN-%1").arg(n));
        entry.byPath = socket(n);
        source->plug(entry);
        return *dongle;
    }
    void pull(int n) { source->pull(units[n]->pty.slavePath()); }
    [[nodiscard]] const SlotStatus &slot(int number) const
    {
        return window->board()->slotList().at(number - 1);
    }
    // Units plugged in before are not taken.
    [[nodiscard]] bool waiting() const { return m_console.err().contains("waiting for devices"); }
    [[nodiscard]] const Tally &tally() const { return window->board()->tally(); }

    std::unique_ptr<StationWindow> window;
    std::unique_ptr<StationDriver> driver;
    // The station's, while it watches.
    QPointer<ScriptedDeviceSource> source;
    std::map<int, std::unique_ptr<PlayedDongle>> units;
    QHash<int, QString> ways; // each tile's states in turn

private:
    QString m_folder;
    CapturedConsole m_console;
};

const DongleOptions kWrongAnswer{.reply = QByteArray("\x12\x34", 2)};

} // namespace

// The window runs the line through the station library: its tiles and
// counters follow the units, and what the operator asks for reaches the
// records.
class StationDriverTest : public QObject
{
    Q_OBJECT

private slots:
    void tilesFollowUnits_data();
    void tilesFollowUnits();
    void retryThenEndOfLot();
    void runRefused_data();
    void runRefused();
    void storeAway();

private:
    // Stations announce themselves in the runtime folder: the test's own.
    PrivateRuntimeFolder m_runtime;
};

void StationDriverTest::tilesFollowUnits_data()
{
    QTest::addColumn<QList<int>>("fixture"); // sockets learned; none: units as they come
    QTest::addColumn<QList<int>>("plugged"); // sockets, in turn
    QTest::addColumn<QList<int>>("wrong");   // of them, those that answer wrongly
    QTest::addColumn<QList<int>>("tiles");   // the socket of each tile
    QTest::addColumn<QStringList>("ways");

    QTest::newRow("learned sockets; one not learned is left alone")
        << QList<int>{1, 2} << QList<int>{3, 2, 1} << QList<int>{2} << QList<int>{1, 2}
        << QStringList{"SCP", "SCF"};
    QTest::newRow("no fixture: a tile per unit as it comes")
        << QList<int>{} << QList<int>{5, 4, 6} << QList<int>{6} << QList<int>{5, 4, 6}
        << QStringList{"SCP", "SCP", "SCF"};
}

void StationDriverTest::tilesFollowUnits()
{
    QFETCH(QList<int>, fixture);
    QFETCH(QList<int>, plugged);
    QFETCH(QList<int>, wrong);
    QFETCH(QList<int>, tiles);
    QFETCH(QStringList, ways);
    QTemporaryDir dir;
    Line line(dir.path());
    line.start(line.setup(fixture));
    QVERIFY(line.window->isRunning());
    QTRY_VERIFY(line.waiting());
    // An answer late enough for its tile to show Configuring first.
    for (const int n : plugged)
        line.plug(n, wrong.contains(n) ? kWrongAnswer : DongleOptions{.delayMs = 150});
    QTRY_COMPARE(line.tally().passed + line.tally().failed, int(tiles.size()));
    QCOMPARE(line.tally().failed, int(wrong.size()));
    QCOMPARE(line.window->board()->slotList().size(), tiles.size());
    for (int i = 0; i < tiles.size(); ++i) {
        QCOMPARE(line.ways.value(i), ways.at(i));
        QCOMPARE(line.slot(i + 1).unit.serialNumber, QStringLiteral("SN-%1").arg(tiles.at(i)));
    }
    for (const auto &[n, unit] : line.units)
        QCOMPARE(unit->frames(), tiles.contains(n) ? 1 : 0);
    line.stop();
}

// Retry failed takes the failed units still plugged in, each as a new
// exchange of the run; End of lot closes the report with its summary.
void StationDriverTest::retryThenEndOfLot()
{
    QTemporaryDir dir;
    Line line(dir.path());
    const RunSetup setup = line.setup({1, 2, 3});
    line.start(setup);
    QTRY_VERIFY(line.waiting());
    line.plug(1);
    PlayedDongle &again = line.plug(2, kWrongAnswer);
    PlayedDongle &gone = line.plug(3, kWrongAnswer);
    QTRY_COMPARE(line.tally().failed, 2);
    line.pull(3);
    again.dongle->setOptions({});
    QTRY_VERIFY(!line.slot(3).present);
    line.act("retryFailed");
    QTRY_COMPARE(line.slot(2).state, SlotState::Passed);
    QCOMPARE(line.slot(2).attempt, 2);
    QCOMPARE(line.slot(3).state, SlotState::Empty);
    QCOMPARE(line.units[1]->frames(), 1);
    QCOMPARE(again.frames(), 2);
    QCOMPARE(gone.frames(), 1);
    line.stop();

    // The operator ends the lot on its summary.
    QTimer operatorHand;
    connect(&operatorHand, &QTimer::timeout, this, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box->objectName() != QLatin1String("lotSummary"))
            return;
        for (QAbstractButton *button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::AcceptRole)
                button->click();
        }
    });
    operatorHand.start(20);
    line.act("endLot");
    operatorHand.stop();

    const QList<ReportRecord> records = reportRecords(setup.reportPath);
    QSet<QString> keys;
    QStringList secondUnit;
    for (const ReportRecord &r : records) {
        // What the store keys its records by stays unique.
        QVERIFY(!keys.contains(r.value("run_id") + r.value("seq") + r.value("kind")));
        keys.insert(r.value("run_id") + r.value("seq") + r.value("kind"));
        if (r.value("serial_number") == QLatin1String("SN-2"))
            secondUnit << r.value("kind") + '/' + r.value("seq") + '/' + r.value("attempt");
    }
    QCOMPARE(secondUnit, QStringList({"started/2/1", "result/2/1", "started/4/2", "result/4/2"}));
    const ReportRecord &summary = records.constLast();
    QCOMPARE(summary.value("kind"), QStringLiteral("summary"));
    QCOMPARE(summary.value("seq"), QStringLiteral("5"));
    QCOMPARE(summary.value("lot"), setup.lot);
    QVERIFY2(summary.value("result").startsWith(QLatin1String("passed=2 failed=2 ")),
             qPrintable(summary.value("result")));
    QVERIFY(summary.value("reason").endsWith(setup.reportPath));
    // Once: the next lot's counters start afresh.
    QCOMPARE(line.tally().passed, 0);
}

void StationDriverTest::runRefused_data()
{
    QTest::addColumn<QString>("why");
    QTest::newRow("report folder missing") << "missing";
    QTest::newRow("disk full during the run") << "full";
    QTest::newRow("another station takes the sockets") << "overlap";
}

// What stops the run covers the window, and no unit is configured after.
void StationDriverTest::runRefused()
{
    QFETCH(QString, why);
    QTemporaryDir dir;
    const bool full = why == QLatin1String("full");
    ScratchFileSystem scratch(4096);
    if (full && !scratch.isMounted())
        QSKIP(qPrintable(scratch.why()));
    CapturedConsole console;
    std::optional<Station> other;
    if (why == QLatin1String("overlap")) {
        RunPlan plan;
        plan.matchAny = true;
        DeviceSources sources;
        sources.push_back(std::make_unique<ScriptedDeviceSource>());
        other.emplace(plan, std::move(sources), console.console());
        other->start();
        QTRY_VERIFY(console.err().contains("waiting for devices"));
    }
    Line line(dir.path());
    constexpr int kSockets = 16;
    QList<int> sockets(kSockets);
    std::iota(sockets.begin(), sockets.end(), 1);
    RunSetup setup = line.setup(sockets);
    if (why == QLatin1String("missing"))
        setup.reportPath = dir.filePath(QStringLiteral("gone/units.csv"));
    if (full)
        setup.reportPath = scratch.filePath(QStringLiteral("units.csv"));
    line.start(setup);
    // Units come until the disk is full: none is touched without its
    // started record.
    int plugged = 0;
    if (full) {
        QTRY_VERIFY(line.waiting());
        const RunBoard *board = line.window->board();
        while (!board->isBlocked() && plugged < kSockets) {
            line.plug(++plugged);
            QTRY_VERIFY(board->isBlocked() || board->tally().passed == plugged);
        }
    }
    QTRY_VERIFY(line.window->board()->isBlocked());
    QTRY_VERIFY(!line.window->isRunning());
    QSet<QString> started;
    for (const ReportRecord &record : reportRecords(setup.reportPath)) {
        if (record.value("kind") == QLatin1String("started"))
            started.insert(record.value("serial_number"));
    }
    for (const auto &[n, unit] : line.units)
        QCOMPARE(unit->frames(), started.contains(QStringLiteral("SN-%1").arg(n)) ? 1 : 0);
    QCOMPARE(QFile::exists(setup.reportPath), full);
}

// A store that does not answer only makes the records wait: the line goes
// on, and the window says how many wait.
void StationDriverTest::storeAway()
{
    QTemporaryDir dir;
    Line line(dir.path());
    RunSetup setup = line.setup({1});
    setup.store =
        QStringLiteral("host=127.0.0.1 port=9 dbname=line user=station connect_timeout=2");
    line.start(setup);
    QTRY_VERIFY_WITH_TIMEOUT(line.waiting(), 10000);
    line.plug(1);
    QTRY_COMPARE(line.tally().passed, 1);
    const StoreStatus &store = line.window->board()->store();
    QTRY_COMPARE_WITH_TIMEOUT(store.state, StoreStatus::State::Unreachable, 10000);
    // The station's record, the unit's started and result records.
    QCOMPARE(store.waiting, 3);
    QVERIFY(!line.window->board()->isBlocked());
    line.stop();
}

QTEST_MAIN(StationDriverTest)
#include "StationDriverTest.moc"
