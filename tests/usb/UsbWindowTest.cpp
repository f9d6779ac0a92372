#include "support/WindowDriver.h"
#include "usb/UsbGuest.h"

#include <QComboBox>
#include <QFileInfo>
#include <QTest>

using namespace UsbGuest;
using namespace std::chrono_literals;

namespace {

// The window's own wait for the answer: the pull must land within it.
constexpr int kAckWaitMs = 2500;
// How soon the window must tell of a pulled unit. Measured from the moment
// the kernel removed the device node, which comes a few milliseconds after
// the hang-up it sends the open port: the figure errs short by that much.
constexpr auto kNoticeBound = 500ms;
// A window that only waits uses a few percent of a CPU; a loop on the
// port's errors (Qt reports a hung-up pty's again and again until the port
// is closed) uses all of it.
constexpr auto kIdleCpuBound = 250ms;
constexpr auto kIdleWindow = 1000ms;

} // namespace

// The window on a USB serial adapter driven by the kernel's ftdi_sio driver,
// with one window for the whole run, as an operator keeps it open while
// units come and go: the port numbers must hold across the plugs.
class UsbWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void scanListsThePluggedUnit();
    void settingReachesTheDongle();
    void pullDuringTheWait();
    void sameSerialKeepsItsNumber();
    void newSerialGetsANewNumber();
    void pullingAnotherLeavesTheOpenPortAlone();

private:
    // Auto Scan; the number whose tooltip names the unit's link, or 0.
    int scanFor(const QString &serial, QString *toolTip = nullptr);
    // Picks the number and opens it (closing the open port first).
    void open(int number);
    // General Setting answered "Setting OK !!", the frame on the dongle's
    // line byte for byte.
    void settingAcknowledged(const QString &dongle);

    WindowDriver ui;
    HostChannel m_host;
    int m_first = 0; // VT0001's number
};

void UsbWindowTest::initTestCase()
{
    QVERIFY2(m_host.openError().isEmpty(), qPrintable(m_host.openError()));
    ui.startOnMachinePorts(kAckWaitMs);
}

void UsbWindowTest::cleanupTestCase()
{
    ui.stop();
    m_host.pullAll();
}

int UsbWindowTest::scanFor(const QString &serial, QString *toolTip)
{
    ui.click("Command1");
    const QString link = byIdLink(serial);
    auto *list = ui.find<QComboBox>("ComPort");
    for (int i = 0; i < list->count(); ++i) {
        const QString tip = list->itemData(i, Qt::ToolTipRole).toString();
        if (tip.split(QLatin1Char('\n')).contains(link)) {
            if (toolTip)
                *toolTip = tip;
            return list->itemText(i).toInt();
        }
    }
    return 0;
}

void UsbWindowTest::open(int number)
{
    if (ui.caption() == QStringLiteral("Close COM Port"))
        ui.click("Command3");
    ui.pick(QString::number(number));
    ui.click("Command3");
    QVERIFY2(ui.boxes.shown.isEmpty(), qPrintable(ui.boxes.texts().join(" | ")));
    QCOMPARE(ui.caption(), QStringLiteral("Close COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
}

void UsbWindowTest::settingAcknowledged(const QString &dongle)
{
    const FrameCase &c = generalCase();
    for (const auto &[name, item] : c.picks)
        ui.find<QComboBox>(name)->setCurrentIndex(item);
    const qsizetype before = dongleBytes(dongle).size();
    ui.boxes.shown.clear();
    ui.click("Command2");
    QVERIFY2(QTest::qWaitFor([&] { return !ui.boxes.shown.isEmpty(); }, 10000),
             "no box within 10 s of the Setting");
    QCOMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Setting OK !!")});
    const QByteArray line = dongleBytes(dongle).mid(before);
    QVERIFY2(line == c.frame, qPrintable(QStringLiteral("on %1's line: expected %2, saw %3")
                                             .arg(dongle, hexOf(c.frame), hexOf(line))));
    // The answer's two bytes, shown as placeholders.
    QCOMPARE(hexOf(ui.loggedBytes()), QStringLiteral("00 00"));
    ui.boxes.shown.clear();
}

void UsbWindowTest::scanListsThePluggedUnit()
{
    const QString error = m_host.plug(QStringLiteral("VT0001"), QStringLiteral("answer1"));
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QString tip;
    m_first = scanFor(QStringLiteral("VT0001"), &tip);
    QVERIFY2(m_first > 0, qPrintable(QStringLiteral("no listed port names %1; listed: %2")
                                         .arg(byIdLink("VT0001"), ui.listedPorts().join(' '))));
    const QString device = QFileInfo(byIdLink("VT0001")).canonicalFilePath();
    const QStringList expected{device, byIdLink("VT0001"),
                               QStringLiteral("QEMU USB SERIAL, serial number VT0001")};
    QCOMPARE(tip.split(QLatin1Char('\n')), expected);
    QCOMPARE(ui.boxes.texts(), QStringList());
}

void UsbWindowTest::settingReachesTheDongle()
{
    QVERIFY(m_first > 0);
    open(m_first);
    settingAcknowledged(QStringLiteral("answer1"));
    QVERIFY2(dongleLog("answer1").contains("-> 55 AA"), qPrintable(dongleLog("answer1")));
}

void UsbWindowTest::pullDuringTheWait()
{
    QVERIFY(m_first > 0);
    // The same unit moves to a dongle that never answers: the window waits.
    ui.click("Command3");
    QString error = m_host.pull(QStringLiteral("VT0001"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(waitForLink(QStringLiteral("VT0001"), false));
    error = m_host.plug(QStringLiteral("VT0001"), QStringLiteral("silent1"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(scanFor(QStringLiteral("VT0001")), m_first);
    const QString device = QFileInfo(byIdLink("VT0001")).canonicalFilePath();
    open(m_first);

    const qsizetype before = dongleBytes(QStringLiteral("silent1")).size();
    std::optional<Clock::time_point> firstBox;
    ui.boxes.whileOpen = [&firstBox](const RecordingBoxes::Shown &) {
        if (!firstBox)
            firstBox = Clock::now();
    };
    ui.click("Command2");
    const auto pressed = Clock::now();
    QTRY_COMPARE(dongleBytes(QStringLiteral("silent1")).size(), before + 12);
    QCOMPARE(hexOf(dongleBytes(QStringLiteral("silent1")).mid(before)), hexOf(generalCase().frame));
    QVERIFY(ui.waiting());

    NodeRemoval removal(device);
    error = m_host.pull(QStringLiteral("VT0001"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(QTest::qWaitFor([&] { return removal.when().has_value(); }, 5000),
             qPrintable(QStringLiteral("%1 still there 5 s after the pull").arg(device)));
    const auto removed = *removal.when();
    const auto gone = std::chrono::duration_cast<std::chrono::milliseconds>(removed - pressed);
    QVERIFY2(gone.count() < kAckWaitMs,
             qPrintable(QStringLiteral("the unit went away %1 ms after the press, when the "
                                       "window's wait of %2 ms was over: no pull during the wait")
                            .arg(gone.count())
                            .arg(kAckWaitMs)));
    // Whatever came of it, the window is watched for a while first.
    (void)QTest::qWaitFor([&] { return firstBox.has_value(); }, 3000);
    const auto cpuBefore = processCpu();
    QTest::qWait(int(kIdleWindow.count()));
    const auto cpu = processCpu() - cpuBefore;
    ui.boxes.whileOpen = nullptr;

    const qint64 noticeMs =
        firstBox
            ? std::chrono::duration_cast<std::chrono::milliseconds>(*firstBox - removed).count()
            : -1;
    const QString seen =
        QStringLiteral("saw boxes [%1], the first %2 ms after the kernel removed %3 (%4 ms "
                       "after the press); the port shown \"%5\" (%6); %7 ms of CPU in the %8 ms "
                       "after")
            .arg(ui.boxes.texts().join(" | "))
            .arg(noticeMs)
            .arg(device)
            .arg(gone.count())
            .arg(ui.caption(), ui.statusFront())
            .arg(cpu.count())
            .arg(kIdleWindow.count());
    qInfo("%s", qPrintable(seen));
    const RecordingBoxes::Shown loss = ui.boxes.shown.value(0);
    const QString number = QStringLiteral("port %1").arg(m_first);
    QVERIFY2(loss.title == QStringLiteral("Warning") && loss.text.contains(number) &&
                 loss.text.contains(device) && loss.text.contains(QStringLiteral("closed")),
             qPrintable(QStringLiteral("expected first a Warning naming %1 (%2) and the port "
                                       "closed; %3")
                            .arg(number, device, seen)));
    QVERIFY2(noticeMs <= kNoticeBound.count(),
             qPrintable(QStringLiteral("expected that Warning within %1 ms; %2")
                            .arg(kNoticeBound.count())
                            .arg(seen)));
    QVERIFY2(ui.caption() == QStringLiteral("Open COM Port") &&
                 ui.statusFront() == QStringLiteral("imgNotConnected"),
             qPrintable(QStringLiteral("expected the port shown closed; %1").arg(seen)));
    QVERIFY2(cpu <= kIdleCpuBound,
             qPrintable(QStringLiteral("expected at most %1 ms of CPU, no busy loop; %2")
                            .arg(kIdleCpuBound.count())
                            .arg(seen)));

    // The Setting that can now never be answered gets its verdict, and that
    // is all.
    QTRY_COMPARE_WITH_TIMEOUT(ui.boxes.shown.size(), 2, kAckWaitMs + 2000);
    QCOMPARE(ui.boxes.shown[1].text, QStringLiteral("Setting Fail !!"));
    QCOMPARE(ui.boxes.mostOpenAtOnce(), 1);
    QTest::qWait(300);
    QCOMPARE(ui.boxes.shown.size(), 2);
    QVERIFY2(scanFor(QStringLiteral("VT0001")) == 0,
             qPrintable(QStringLiteral("a scan still lists the pulled unit: %1")
                            .arg(ui.listedPorts().join(' '))));
    ui.boxes.shown.clear();
}

void UsbWindowTest::sameSerialKeepsItsNumber()
{
    QVERIFY(m_first > 0);
    const QString error = m_host.plug(QStringLiteral("VT0001"), QStringLiteral("answer1"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(scanFor(QStringLiteral("VT0001")), m_first);
    open(m_first);
    settingAcknowledged(QStringLiteral("answer1"));
}

void UsbWindowTest::newSerialGetsANewNumber()
{
    QVERIFY(m_first > 0);
    const QStringList before = ui.listedPorts();
    const QString error = m_host.plug(QStringLiteral("VT0002"), QStringLiteral("answer2"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const int second = scanFor(QStringLiteral("VT0002"));
    // Never given out in this run: higher than any number seen so far.
    QVERIFY2(second > m_first && !before.contains(QString::number(second)),
             qPrintable(QStringLiteral("VT0002 got %1; listed before it came: %2; VT0001 has %3")
                            .arg(second)
                            .arg(before.join(' '))
                            .arg(m_first)));
    QCOMPARE(scanFor(QStringLiteral("VT0001")), m_first);
    open(second);
    settingAcknowledged(QStringLiteral("answer2"));
}

void UsbWindowTest::pullingAnotherLeavesTheOpenPortAlone()
{
    // VT0002's port is open; VT0001 is plugged, not open.
    QCOMPARE(ui.caption(), QStringLiteral("Close COM Port"));
    const QString other = QFileInfo(byIdLink("VT0001")).canonicalFilePath();
    NodeRemoval removal(other);
    const QString error = m_host.pull(QStringLiteral("VT0001"));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(QTest::qWaitFor([&] { return removal.when().has_value(); }, 5000));
    QTest::qWait(int(kNoticeBound.count()) * 2);
    QVERIFY2(ui.boxes.shown.isEmpty(), qPrintable(ui.boxes.texts().join(" | ")));
    QCOMPARE(ui.caption(), QStringLiteral("Close COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
    settingAcknowledged(QStringLiteral("answer2"));
}

QTEST_MAIN(UsbWindowTest)
#include "UsbWindowTest.moc"
