#include "app/LogView.h"
#include "support/PtyPair.h"
#include "support/WindowDriver.h"
#include "tools/DongleEmulator.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

namespace {

qint64 cpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
           usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

} // namespace

using TestBytes::hex;

// A short wait keeps the suite quick; one test runs the real 2500 ms.
constexpr int kAckWaitMs = 400;

// The window end to end over real pseudo-terminals: buttons, the bytes on
// the line, the boxes the operator sees, and what reaches the log.
class Form1SerialTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void scanListsThreeAndSeven();
    void scanOfNothingThenToggle();
    void toggleTwiceTwice();
    void eachSettingSendsItsFrame_data();
    void eachSettingSendsItsFrame();
    void overRangeSendsNothing();
    void answers_data();
    void answers();
    void silenceFailsAfterTwoAndAHalfSeconds();
    void burstUnderTheOkBoxKeepsOrder();
    void openFailures_data();
    void openFailures();
    void hangUpWhileOpen();
    void scanWhileOpenKeepsThePort();

private:
    WindowDriver ui;
    std::unique_ptr<ThreeAndSeven> m_rig;
};

void Form1SerialTest::init()
{
    m_rig = std::make_unique<ThreeAndSeven>();
    QVERIFY(m_rig->isValid());
    (*m_rig->ports)[2].description = QStringLiteral("USB Serial A");
    ui.start(m_rig->ports, kAckWaitMs);
}

void Form1SerialTest::cleanup()
{
    ui.stop();
    m_rig.reset();
}

void Form1SerialTest::scanListsThreeAndSeven()
{
    ui.click("Command1");
    auto *list = ui.find<QComboBox>("ComPort");
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->itemText(0), QStringLiteral("3"));
    QCOMPARE(list->itemText(1), QStringLiteral("7"));
    QCOMPARE(list->currentIndex(), -1);
    QVERIFY(list->itemData(0, Qt::ToolTipRole).toString().contains(m_rig->three->slavePath()));
    QVERIFY(list->itemData(0, Qt::ToolTipRole).toString().contains("USB Serial A"));
    // Neither port is left open.
    for (const PtyPair *pty : {m_rig->three.get(), m_rig->seven.get()}) {
        QSerialPort other;
        other.setPortName(pty->slavePath());
        QVERIFY(other.open(QIODevice::ReadWrite));
    }
    QCOMPARE(ui.statusFront(), QStringLiteral("imgNotConnected"));
    QVERIFY(ui.boxes.shown.isEmpty());
}

void Form1SerialTest::scanOfNothingThenToggle()
{
    m_rig->ports->clear();
    ui.click("Command1");
    QCOMPARE(ui.find<QComboBox>("ComPort")->count(), 0);
    QCOMPARE(ui.find<QComboBox>("ComPort")->currentIndex(), -1);
    ui.click("Command3");
    QCOMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Please Select Comport")});
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Notice"));
}

void Form1SerialTest::toggleTwiceTwice()
{
    ui.click("Command1");
    ui.pick("3");
    for (int round = 0; round < 2; ++round) {
        ui.click("Command3");
        QCOMPARE(ui.find<QPushButton>("Command3")->text(), QStringLiteral("Close COM Port"));
        QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
        ui.click("Command3");
        QCOMPARE(ui.find<QPushButton>("Command3")->text(), QStringLiteral("Open COM Port"));
        QCOMPARE(ui.statusFront(), QStringLiteral("imgNotConnected"));
    }
    QVERIFY(ui.boxes.shown.isEmpty());
}

void Form1SerialTest::eachSettingSendsItsFrame_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("General") << "Command2" << hex("98 95 93 08 19 E8 03 04 1E 0F 03 0D");
    QTest::newRow("Advanced") << "Command4" << hex("98 95 94 01 54 01 02 03 54 04 05 FF");
    QTest::newRow("Advanced 2") << "Command7" << hex("98 95 95 2C 01 00 00 00 00 00 00 00");
}

void Form1SerialTest::eachSettingSendsItsFrame()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, frame);
    const QList<std::pair<const char *, int>> picks = {
        {"baudrate", 7}, {"DataBit", 1},     {"ParityBit", 2}, {"StopBit", 1},    {"TimeOut", 5},
        {"DataRate", 4}, {"RF_Channel", 15}, {"RF_Power", 3},  {"DataLength", 0}, {"PairMode", 1},
    };
    for (const auto &[name, index] : picks)
        ui.window()->findChild<QComboBox *>(name)->setCurrentIndex(index);
    const char *ids[] = {"MasterID1", "MasterID2", "MasterID3", "SlaveID1", "SlaveID2", "SlaveID3"};
    const char *values[] = {"1", "2", "3", "4", "5", "255"};
    for (int i = 0; i < 6; ++i)
        ui.window()->findChild<QLineEdit *>(ids[i])->setText(values[i]);
    ui.openPort(3);

    DongleEmulator dongle(m_rig->three->masterFd(), DongleOptions{.silent = true});
    dongle.send("before");
    QTRY_COMPARE(ui.find<QPushButton>("Command6")->text(), QStringLiteral("6"));

    ui.click(button.toLatin1().constData());
    QTRY_COMPARE(dongle.received().toHex(' '), frame.toHex(' '));
    QVERIFY(ui.boxes.shown.isEmpty());
    // The log is emptied for the answer; the count carries on.
    QCOMPARE(ui.loggedBytes(), QByteArray());
    QCOMPARE(ui.find<QPushButton>("Command6")->text(), QStringLiteral("6"));
    QVERIFY(ui.waiting());
}

void Form1SerialTest::overRangeSendsNothing()
{
    ui.openPort(3);
    DongleEmulator dongle(m_rig->three->masterFd());
    ui.window()->findChild<QLineEdit *>("SlaveID2")->setText("256");
    ui.click("Command4");
    QCOMPARE(ui.boxes.texts(),
             QStringList{"Over Range!!\nCheck the setting value required between 0 to 255"});
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    QTest::qWait(50);
    QCOMPARE(dongle.received(), QByteArray());
    QVERIFY(!ui.waiting());
}

void Form1SerialTest::answers_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("splitMs");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("55 AA") << hex("55 AA") << -1 << "Setting OK !!" << hex("00 00");
    QTest::newRow("55 AA 31 32") << hex("55 AA 31 32") << -1 << "Setting OK !!"
                                 << hex("00 00 31 32");
    QTest::newRow("split 55 | AA") << hex("55 AA") << 30 << "Setting OK !!" << hex("00 00");
    QTest::newRow("split 55 | AA 0D")
        << hex("55 AA 0D") << 30 << "Setting OK !!" << hex("00 00 0D 0A");
    QTest::newRow("AA 55 is no answer") << hex("AA 55") << -1 << "Setting Fail !!" << hex("AA 55");
    QTest::newRow("lone 55 kept") << hex("55") << -1 << "Setting Fail !!" << hex("55");
    QTest::newRow("split 55 | 31") << hex("55 31") << 30 << "Setting Fail !!" << hex("55 31");
}

void Form1SerialTest::answers()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, splitMs);
    QFETCH(QString, box);
    QFETCH(QByteArray, logged);

    ui.openPort(3);
    DongleEmulator dongle(m_rig->three->masterFd(),
                          DongleOptions{.splitMs = splitMs, .reply = reply});
    ui.click("Command7");
    QTRY_COMPARE(ui.boxes.texts(), QStringList{box});
    QCOMPARE(ui.boxes.shown[0].title,
             box == "Setting OK !!" ? QStringLiteral("Notice") : QStringLiteral("Warning"));
    QVERIFY(!ui.waiting());
    QTRY_COMPARE(ui.loggedBytes().toHex(' '), logged.toHex(' '));
    // No second verdict follows.
    QTest::qWait(500);
    QCOMPARE(ui.boxes.shown.size(), 1);
}

void Form1SerialTest::silenceFailsAfterTwoAndAHalfSeconds()
{
    ui.transaction()->setTimeoutInterval(2500);
    ui.openPort(3);
    DongleEmulator dongle(m_rig->three->masterFd(), DongleOptions{.silent = true});
    QElapsedTimer clock;
    clock.start();
    ui.click("Command2");
    QVERIFY(QTest::qWaitFor([&] { return !ui.boxes.shown.isEmpty(); }, 5000));
    const qint64 waited = clock.elapsed();
    QCOMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Setting Fail !!")});
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    // Not early: the operator is promised the whole wait.
    QVERIFY2(waited >= 2500, qPrintable(QString::number(waited)));
    QVERIFY(!ui.waiting());
}

void Form1SerialTest::burstUnderTheOkBoxKeepsOrder()
{
    ui.openPort(3);
    DongleEmulator dongle(m_rig->three->masterFd());
    QByteArray burst;
    for (int i = 0; i < 200; ++i)
        burst += "line " + QByteArray::number(i) + "\r\n";
    // While the operator reads "Setting OK !!", the dongle keeps talking.
    QString countUnderTheBox;
    ui.boxes.whileOpen = [&](const RecordingBoxes::Shown &) {
        ui.find<LogView>("Text1")->syncNow();
        countUnderTheBox = ui.count();
        const qsizetype step = burst.size() / 20 + 1;
        for (qsizetype at = 0; at < burst.size(); at += step) {
            m_rig->three->write(burst.mid(at, step));
            QTest::qWait(5);
        }
        QTest::qWait(100);
    };
    ui.click("Command2");
    QTRY_COMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Setting OK !!")});
    ui.boxes.whileOpen = nullptr;
    // The box opened before the acknowledgement's bytes were counted.
    QCOMPARE(countUnderTheBox, QStringLiteral("Data cnt"));
    QTRY_COMPARE(ui.loggedBytes(), hex("00 00") + burst);
}

void Form1SerialTest::openFailures_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reason");
    QTest::newRow("busy") << "busy"
                          << "busy";
    QTest::newRow("vanished after the scan") << "vanished"
                                             << "no such device";
}

void Form1SerialTest::openFailures()
{
    QFETCH(QString, situation);
    QFETCH(QString, reason);
    // Port 3 is a link of the test's own, which is what vanishes: the number
    // of a pseudo-terminal that goes away is handed to the next one at once,
    // which may be another test's.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyTEST3"));
    QVERIFY(QFile::link(m_rig->three->slavePath(), link));
    (*m_rig->ports)[2].location = link;
    ui.click("Command1");
    ui.pick("3");
    QSerialPort holder;
    if (situation == "busy") {
        holder.setPortName(m_rig->three->slavePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else {
        QVERIFY(QFile::remove(link));
    }
    ui.click("Command3");
    QCOMPARE(ui.boxes.shown.size(), 1);
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    QVERIFY2(ui.boxes.shown[0].text.contains(reason), qPrintable(ui.boxes.shown[0].text));
    QVERIFY(ui.boxes.shown[0].text.contains(QLatin1String("port 3")));
    QCOMPARE(ui.find<QPushButton>("Command3")->text(), QStringLiteral("Open COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgNotConnected"));
    // Still usable: the other port opens.
    ui.boxes.shown.clear();
    ui.pick("7");
    ui.click("Command3");
    QCOMPARE(ui.boxes.texts(), QStringList());
    QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
}

void Form1SerialTest::hangUpWhileOpen()
{
    ui.openPort(3);
    m_rig->three->write("partial data");
    QTRY_COMPARE(ui.find<QPushButton>("Command6")->text(), QStringLiteral("12"));
    m_rig->three->closeMaster();
    QTRY_COMPARE(ui.boxes.shown.size(), 1);
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    QCOMPARE(ui.find<QPushButton>("Command3")->text(), QStringLiteral("Open COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgNotConnected"));

    // No error storm behind the one box: the process idles.
    const qint64 before = cpuMicroseconds();
    QTest::qWait(500);
    const qint64 spent = cpuMicroseconds() - before;
    QVERIFY2(spent < 200000, qPrintable(QStringLiteral("%1 us of CPU while idle").arg(spent)));
    QCOMPARE(ui.boxes.shown.size(), 1);
    QCOMPARE(ui.loggedBytes(), QByteArray("partial data"));

    // The operator can rescan and go on with the other port.
    ui.click("Command1");
    ui.pick("7");
    ui.click("Command3");
    QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
}

void Form1SerialTest::scanWhileOpenKeepsThePort()
{
    ui.openPort(3);
    ui.click("Command1");
    QCOMPARE(ui.find<QPushButton>("Command3")->text(), QStringLiteral("Close COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
    QCOMPARE(ui.find<QComboBox>("ComPort")->count(), 2);
    QCOMPARE(ui.find<QComboBox>("ComPort")->currentText(), QStringLiteral("3"));
    DongleEmulator dongle(m_rig->three->masterFd());
    ui.click("Command7");
    QTRY_COMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Setting OK !!")});
    // And the toggle still closes it.
    ui.click("Command3");
    QCOMPARE(ui.find<QPushButton>("Command3")->text(), QStringLiteral("Open COM Port"));
}

QTEST_MAIN(Form1SerialTest)
#include "Form1SerialTest.moc"
