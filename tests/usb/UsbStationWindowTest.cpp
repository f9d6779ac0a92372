#include "station/DeviceSource.h"
#include "stationui/SetupPage.h"
#include "stationui/StationDriver.h"
#include "stationui/StationWindow.h"
#include "support/TestBytes.h"
#include "usb/UsbGuest.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cstdio>

using namespace UsbGuest;

namespace {

// The by-path name udev gives the adapter in this root port of the
// emulated xHCI controller.
QString socketOf(const QString &port)
{
    const QStringList controllers =
        QDir(QStringLiteral("/sys/bus/pci/drivers/xhci_hcd")).entryList({"0000:*"});
    return QStringLiteral("/dev/serial/by-path/pci-%1-usb-0:%2:1.0-port0")
        .arg(controllers.value(0), port);
}

QString states(const RunBoard &board)
{
    QStringList shown;
    for (const SlotStatus &slot : board.slotList())
        shown << QStringLiteral("%1=%2 %3 %4 (%5)")
                     .arg(slot.number)
                     .arg(int(slot.state))
                     .arg(slot.unit.serialNumber, slot.result, slot.reason);
    return shown.join(QStringLiteral("; "));
}

} // namespace

// The station window on USB adapters driven by the kernel's ftdi_sio
// driver, found through udev: a learned fixture takes its sockets, and a
// unit pulled during its wait fails in its own slot only.
class UsbStationWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void learnedSocketsPass();
    void pullDuringTheWaitFailsItsSlotOnly();

private:
    [[nodiscard]] const SlotStatus &slot(int number) const
    {
        return m_window->board()->slotList().at(number - 1);
    }
    [[nodiscard]] bool slotIs(int number, SlotState state) const
    {
        return QTest::qWaitFor([&] { return slot(number).state == state; }, 15000);
    }

    HostChannel m_host;
    std::FILE *m_out = nullptr;
    std::FILE *m_err = nullptr;
    std::unique_ptr<StationWindow> m_window;
    std::unique_ptr<StationDriver> m_driver;
};

void UsbStationWindowTest::initTestCase()
{
    QVERIFY2(m_host.openError().isEmpty(), qPrintable(m_host.openError()));
    const QString run = runFolder();
    QFile profile(run + QStringLiteral("/window.profile"));
    QVERIFY(profile.open(QIODevice::WriteOnly) &&
            profile.write("vantrel-set profile 1\nchannel = 15\n") > 0);
    profile.close();
    // Ports 3 and 4 are the fixture's; port 5 is another station's.
    RunSetup setup;
    setup.operatorName = QStringLiteral("Kim Lee");
    setup.lot = QStringLiteral("WO-USB");
    setup.profilePath = profile.fileName();
    setup.reportPath = run + QStringLiteral("/window.csv");
    setup.fixturePath = run + QStringLiteral("/window.fixture");
    setup.sound = false;
    QVERIFY(writeFixture(setup.fixturePath,
                         Fixture({socketOf(QStringLiteral("3")), socketOf(QStringLiteral("4"))}))
                .ok());

    StationWindow::Platform platform;
    platform.settings = std::make_unique<StationSettings>(run + QStringLiteral("/window.ini"));
    m_window = std::make_unique<StationWindow>(std::move(platform));
    m_out = std::fopen(qPrintable(run + QStringLiteral("/window.out")), "w");
    m_err = std::fopen(qPrintable(run + QStringLiteral("/window.err")), "w");
    StationDriver::Platform line;
    line.deviceSources = [] { return systemDeviceSources(); };
    line.console = Console{m_out, m_err};
    m_driver = std::make_unique<StationDriver>(m_window.get(), std::move(line));
    m_window->findChild<SetupPage *>()->setSetup(setup);
    m_window->findChild<QAction *>(QStringLiteral("startRun"))->trigger();
    QVERIFY(m_window->isRunning());
    QVERIFY(QTest::qWaitFor(
        [&] {
            return TestBytes::readFile(run + QStringLiteral("/window.err"))
                .contains("waiting for devices");
        },
        20000));
}

void UsbStationWindowTest::cleanupTestCase()
{
    if (m_window && m_window->isRunning()) {
        m_window->findChild<QAction *>(QStringLiteral("stopRun"))->trigger();
        (void)QTest::qWaitFor([&] { return !m_window->isRunning(); }, 10000);
    }
    m_host.pullAll();
    m_driver.reset();
    m_window.reset();
    for (std::FILE *file : {m_out, m_err}) {
        if (file)
            std::fclose(file);
    }
}

void UsbStationWindowTest::learnedSocketsPass()
{
    const QString error = m_host.plugTogether(
        {{QStringLiteral("VT0071"), QStringLiteral("answer1"), QStringLiteral("3")},
         {QStringLiteral("VT0072"), QStringLiteral("answer2"), QStringLiteral("4")},
         {QStringLiteral("VT0073"), QStringLiteral("answer3"), QStringLiteral("5")}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const qsizetype stranger = dongleBytes(QStringLiteral("answer3")).size();
    const bool passed = slotIs(1, SlotState::Passed) && slotIs(2, SlotState::Passed);
    QVERIFY2(passed, qPrintable(states(*m_window->board())));
    QCOMPARE(slot(1).unit.serialNumber, QStringLiteral("VT0071"));
    QCOMPARE(slot(2).unit.serialNumber, QStringLiteral("VT0072"));
    QCOMPARE(m_window->board()->slotList().size(), 2);
    QTest::qWait(1000);
    QCOMPARE(dongleBytes(QStringLiteral("answer3")).size(), stranger);
    for (const char *serial : {"VT0071", "VT0073"}) {
        const QString pulled = m_host.pull(QLatin1String(serial));
        QVERIFY2(pulled.isEmpty(), qPrintable(pulled));
    }
}

void UsbStationWindowTest::pullDuringTheWaitFailsItsSlotOnly()
{
    QVERIFY(slotIs(1, SlotState::Empty));
    const qsizetype before = dongleBytes(QStringLiteral("silent1")).size();
    QString error = m_host.plugTogether(
        {{QStringLiteral("VT0074"), QStringLiteral("silent1"), QStringLiteral("3")}});
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(slotIs(1, SlotState::Configuring), qPrintable(states(*m_window->board())));
    QVERIFY(QTest::qWaitFor([&] { return dongleBytes(QStringLiteral("silent1")).size() > before; },
                            10000));
    const auto pulled = Clock::now();
    error = m_host.pull(QStringLiteral("VT0074"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(slotIs(1, SlotState::Failed), qPrintable(states(*m_window->board())));
    qInfo("slot 1 showed FAIL %lld ms after the pull was asked for (%s)",
          qint64(
              std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pulled).count()),
          qPrintable(slot(1).result));
    QCOMPARE(slot(1).unit.serialNumber, QStringLiteral("VT0074"));
    QCOMPARE(slot(1).result, QStringLiteral("port-error"));
    QCOMPARE(slot(2).state, SlotState::Passed);
    QCOMPARE(m_window->board()->tally().passed, 2);
    QCOMPARE(m_window->board()->tally().failed, 1);
}

QTEST_MAIN(UsbStationWindowTest)
#include "UsbStationWindowTest.moc"
