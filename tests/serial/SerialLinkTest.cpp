#include "serial/SerialLink.h"

#include "serial/DeviceFacts.h"

#include "support/ChangingCatalog.h"
#include "support/PtyPair.h"
#include "support/TestBytes.h"

#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

QSerialPort *portOf(SerialLink &link)
{
    return link.findChild<QSerialPort *>(QStringLiteral("MSComm1"));
}

QList<int> numbersOf(const ScanResult &result)
{
    QList<int> numbers;
    for (const ScannedPort &port : result.ports)
        numbers.append(port.number);
    return numbers;
}

// True when nobody holds the device: another program could open it now.
bool freeToOpen(const QString &location)
{
    QSerialPort other;
    other.setPortName(location);
    return other.open(QIODevice::ReadWrite);
}

} // namespace

using TestBytes::numberedLines;

class SerialLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void scanListsPortsThatOpen();
    void scanOfNothing();
    void scanKeepsTheOpenPort();
    void openAndCloseTwice();
    void openFailure_data();
    void openFailure();
    void writesTheFrameAsIs();
    void writeToHungUpLine();
    void hangUpClosesOnceAndGoesQuiet();
    void modemLineQueryIsNoLoss();
    void chunksInOrderUnderNestedLoop();
    void numbersStayPutAcrossScans();
    void lockFileIsSeen();

private:
    struct Rig
    {
        std::shared_ptr<QList<PortEntry>> entries = absentPorts(8);
        std::unique_ptr<SerialLink> link;
        void start()
        {
            link = std::make_unique<SerialLink>(std::make_unique<ChangingCatalog>(entries));
        }
        // The pty as port 1, opened.
        bool openAsOne(const PtyPair &pty)
        {
            if (!pty.isValid())
                return false;
            (*entries)[0] = {pty.slavePath(), QString()};
            start();
            return link->open(1);
        }
    };
};

void SerialLinkTest::scanListsPortsThatOpen()
{
    PtyPair three;
    PtyPair seven;
    QVERIFY(three.isValid() && seven.isValid());
    Rig rig;
    (*rig.entries)[2] = {three.slavePath(), QStringLiteral("USB adapter A")};
    (*rig.entries)[6] = {seven.slavePath(), QStringLiteral("USB adapter B")};
    rig.start();

    const ScanResult result = rig.link->scan();
    QCOMPARE(numbersOf(result), (QList<int>{3, 7}));
    QCOMPARE(result.ports.at(0).device.description, QStringLiteral("USB adapter A"));
    QCOMPARE(result.ports.at(1).device.location, seven.slavePath());
    QVERIFY(result.refused.isEmpty());
    QVERIFY(!rig.link->isOpen());
    QVERIFY(freeToOpen(three.slavePath()));
    QVERIFY(freeToOpen(seven.slavePath()));
}

void SerialLinkTest::scanOfNothing()
{
    Rig rig;
    rig.entries->clear();
    rig.start();
    QVERIFY(rig.link->scan().ports.isEmpty());

    *rig.entries = *absentPorts(50);
    const ScanResult result = rig.link->scan();
    QVERIFY(result.ports.isEmpty());
    QVERIFY(result.refused.isEmpty());
    QString error;
    QVERIFY(!rig.link->open(1, &error));
    QVERIFY(error.contains(QLatin1String("no such device")));
}

void SerialLinkTest::scanKeepsTheOpenPort()
{
    PtyPair three;
    PtyPair seven;
    QVERIFY(three.isValid() && seven.isValid());
    Rig rig;
    (*rig.entries)[2] = {three.slavePath(), QString()};
    (*rig.entries)[6] = {seven.slavePath(), QString()};
    rig.start();
    QVERIFY(rig.link->open(3));

    QCOMPARE(numbersOf(rig.link->scan()), (QList<int>{3, 7}));
    QVERIFY(rig.link->isOpen());
    QCOMPARE(rig.link->currentNumber(), 3);

    // Devices come and go between scans: the open one keeps working under
    // its number, also once the catalog no longer lists it.
    rig.entries->removeFirst();
    rig.entries->removeFirst();
    QCOMPARE(numbersOf(rig.link->scan()), (QList<int>{3, 7}));
    QCOMPARE(rig.link->currentNumber(), 3);

    rig.entries->clear();
    QCOMPARE(numbersOf(rig.link->scan()), (QList<int>{3}));
    QCOMPARE(rig.link->device(3)->location, three.slavePath());

    QSignalSpy chunks(rig.link.get(), &SerialLink::chunkReceived);
    QVERIFY(three.write("after the scans"));
    QTRY_COMPARE(chunks.size(), 1);
    QCOMPARE(chunks.at(0).at(0).toByteArray(), QByteArray("after the scans"));
}

void SerialLinkTest::openAndCloseTwice()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    // Opened by a link: held all the same for a program that names the
    // device itself (the checks below, as root too).
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyLINK"));
    QVERIFY(QFile::link(pty.slavePath(), link));
    Rig rig;
    (*rig.entries)[2] = {link, QString()};
    rig.start();
    QVERIFY(!rig.link->scan().ports.isEmpty());

    for (int round = 0; round < 2; ++round) {
        QString error;
        QVERIFY2(rig.link->open(3, &error), qPrintable(error));
        QVERIFY(rig.link->isOpen());
        QCOMPARE(rig.link->currentNumber(), 3);
        QVERIFY(!freeToOpen(pty.slavePath()));
        const QSerialPort *port = portOf(*rig.link);
        QCOMPARE(port->baudRate(), 9600);
        QCOMPARE(port->dataBits(), QSerialPort::Data8);
        QCOMPARE(port->parity(), QSerialPort::NoParity);
        QCOMPARE(port->stopBits(), QSerialPort::OneStop);
        QCOMPARE(port->flowControl(), QSerialPort::NoFlowControl);
        QCOMPARE(port->readBufferSize(), 1024);

        rig.link->close();
        QVERIFY(!rig.link->isOpen());
        QCOMPARE(rig.link->currentNumber(), 0);
        QVERIFY(freeToOpen(pty.slavePath()));
    }
}

void SerialLinkTest::openFailure_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("reason");

    QTest::newRow("busy") << "busy"
                          << "busy";
    // As root too, which the exclusive mode does not stop.
    QTest::newRow("busy by a link to it") << "link"
                                          << "busy";
    QTest::newRow("held exclusively by another program") << "exclusive"
                                                         << "busy";
    QTest::newRow("locked by another program") << "locked"
                                               << "busy";
    QTest::newRow("vanished after the scan") << "vanished"
                                             << "no such device";
    QTest::newRow("number beyond the scan") << "beyond"
                                            << "not available";
}

void SerialLinkTest::openFailure()
{
    QFETCH(QString, situation);
    QFETCH(QString, reason);

    PtyPair pty;
    QVERIFY(pty.isValid());
    const QString path = pty.slavePath();
    // What vanishes is a link of the test's own: the number of a
    // pseudo-terminal that goes away is handed to the next one at once, which
    // may be another test's.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyLINK"));
    QVERIFY(QFile::link(path, link));
    const QString entry = situation == QLatin1String("vanished") ? link : path;
    Rig rig;
    rig.entries->resize(3);
    (*rig.entries)[2] = {entry, QString()};
    rig.start();
    QCOMPARE(numbersOf(rig.link->scan()), (QList<int>{3}));

    QSerialPort holder;
    int held = -1; // another program's own descriptor
    const auto closeHeld = qScopeGuard([&held] {
        if (held >= 0)
            ::close(held);
    });
    int number = 3;
    if (situation == QLatin1String("busy") || situation == QLatin1String("link")) {
        holder.setPortName(situation == QLatin1String("link") ? link : path);
        QVERIFY(holder.open(QIODevice::ReadWrite));
    } else if (situation == QLatin1String("exclusive") || situation == QLatin1String("locked")) {
        held = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(held >= 0);
        QVERIFY(situation == QLatin1String("exclusive") ? ::ioctl(held, TIOCEXCL) == 0
                                                        : ::flock(held, LOCK_EX) == 0);
    } else if (situation == QLatin1String("vanished")) {
        QVERIFY(QFile::remove(link));
    } else {
        number = 4;
    }

    QString error;
    QVERIFY(!rig.link->open(number, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    if (number == 3)
        QVERIFY2(error.contains(entry), qPrintable(error));
    QVERIFY(!rig.link->isOpen());
    QCOMPARE(rig.link->currentNumber(), 0);
}

void SerialLinkTest::writesTheFrameAsIs()
{
    PtyPair pty;
    Rig rig;
    QVERIFY(rig.openAsOne(pty));

    // Every byte value a frame can hold, including CR, LF and 0x11/0x13.
    const SettingCodec::ConfigFrame frame{0x98, 0x95, 0x93, 0x0D, 0x0A, 0x11,
                                          0x13, 0x00, 0xFF, 0x7F, 0x80, 0x1A};
    QString error;
    QVERIFY2(rig.link->writeFrame(frame, &error), qPrintable(error));
    QTRY_COMPARE(pty.received(), QByteArray::fromHex("9895930D0A111300FF7F801A"));
}

void SerialLinkTest::writeToHungUpLine()
{
    PtyPair pty;
    Rig rig;
    QVERIFY(rig.openAsOne(pty));
    QSignalSpy lost(rig.link.get(), &SerialLink::portLost);

    pty.closeMaster(); // before the event loop has noticed the hang-up
    QString error;
    QVERIFY(!rig.link->writeFrame(SettingCodec::BuildReceiveTimeoutFrame(0), &error));
    QVERIFY2(error.contains(pty.slavePath()) && error.contains(QLatin1String("closed")),
             qPrintable(error));
    QVERIFY(!rig.link->isOpen());

    // The failure was reported by the write; no second report follows.
    QTest::qWait(100);
    QCOMPARE(lost.size(), 0);
}

void SerialLinkTest::hangUpClosesOnceAndGoesQuiet()
{
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    Rig rig;
    (*rig.entries)[1] = {pty->slavePath(), QString()};
    rig.start();
    QVERIFY(rig.link->open(2));
    QSignalSpy lost(rig.link.get(), &SerialLink::portLost);
    QList<QByteArray> came;
    connect(rig.link.get(), &SerialLink::chunkReceived, this,
            [&came](const QByteArray &chunk) { came << chunk; });
    connect(rig.link.get(), &SerialLink::portLost, this, [&came] { came << "lost"; });
    int errors = 0;
    connect(portOf(*rig.link), &QSerialPort::errorOccurred, this,
            [&errors](QSerialPort::SerialPortError e) { errors += e != QSerialPort::NoError; });

    // The last bytes are read by the port but not yet taken when the hang-up
    // is noticed: they still come before the loss.
    QSerialPort *port = portOf(*rig.link);
    port->blockSignals(true);
    QVERIFY(pty->write("last words"));
    QTRY_COMPARE(port->bytesAvailable(), qint64(10));
    pty->closeMaster();
    port->blockSignals(false);
    QVERIFY(lost.wait());
    QCOMPARE(came, (QList<QByteArray>{"last words", "lost"}));
    QVERIFY(!rig.link->isOpen());
    QVERIFY(!portOf(*rig.link)->isOpen());
    const QString reason = lost.at(0).at(0).toString();
    QVERIFY2(reason.contains(QLatin1String("port 2")), qPrintable(reason));

    // Left open, the port would report the hang-up in a tight loop.
    const int errorsAtLoss = errors;
    QTest::qWait(200);
    QCOMPARE(errors, errorsAtLoss);
    QCOMPARE(lost.size(), 1);

    // The operator plugs in again, rescans and reopens. A pseudo-terminal
    // comes back under another name: another device, the next number.
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    (*rig.entries)[1] = {pty->slavePath(), QString()};
    QCOMPARE(numbersOf(rig.link->scan()), (QList<int>{9}));
    QVERIFY(rig.link->open(9));
    QSignalSpy chunks(rig.link.get(), &SerialLink::chunkReceived);
    QVERIFY(pty->write("back"));
    QTRY_COMPARE(chunks.size(), 1);
}

void SerialLinkTest::modemLineQueryIsNoLoss()
{
    PtyPair pty;
    Rig rig;
    QVERIFY(rig.openAsOne(pty));
    QSignalSpy lost(rig.link.get(), &SerialLink::portLost);
    QSignalSpy chunks(rig.link.get(), &SerialLink::chunkReceived);

    QSerialPort *port = portOf(*rig.link);
    (void)port->pinoutSignals();
    QCOMPARE(port->error(), QSerialPort::UnsupportedOperationError);

    QVERIFY(pty.write("still here"));
    QTRY_COMPARE(chunks.size(), 1);
    QVERIFY(rig.link->isOpen());
    QCOMPARE(lost.size(), 0);
}

void SerialLinkTest::chunksInOrderUnderNestedLoop()
{
    PtyPair pty;
    Rig rig;
    QVERIFY(rig.openAsOne(pty));
    SerialLink &link = *rig.link;

    // Far more than the kernel holds for a line nobody reads.
    const QByteArray expected = numberedLines(384 * 1024);
    QByteArray got;
    int depth = 0;
    int deepest = 0;
    qsizetype mostPending = 0;
    bool first = true;
    std::optional<BackgroundWriter> writer;

    connect(&link, &SerialLink::chunkReceived, this, [&](const QByteArray &chunk) {
        got += chunk;
        deepest = std::max(deepest, ++depth);
        if (first) {
            // Like a modal box: a nested event loop while the rest pours in.
            // The line is still read: all of it waits in the link.
            first = false;
            writer.emplace(pty.masterFd(), expected.mid(1));
            QEventLoop box;
            QTimer watch;
            connect(&watch, &QTimer::timeout, &box, [&] {
                mostPending = std::max(mostPending, link.pendingBytes());
                if (link.pendingBytes() == expected.size() - 1)
                    box.quit();
            });
            watch.start(5);
            QTimer::singleShot(20000, &box, &QEventLoop::quit);
            box.exec();
        }
        --depth;
    });

    QVERIFY(pty.write(expected.left(1)));
    QTRY_COMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    QCOMPARE(deepest, 1);
    QCOMPARE(mostPending, expected.size() - 1);
}

void SerialLinkTest::numbersStayPutAcrossScans()
{
    PtyPair builtIn;
    PtyPair plugged;
    QVERIFY(builtIn.isValid() && plugged.isValid());
    Rig rig;
    *rig.entries = {{builtIn.slavePath(), QString()}};
    rig.start();
    QCOMPARE(numbersOf(rig.link->scan()), QList<int>{1});

    // A new adapter that the catalog lists first takes the next number; the
    // number picked before still opens the same device.
    rig.entries->prepend({plugged.slavePath(), QString()});
    QCOMPARE(numbersOf(rig.link->scan()), (QList<int>{1, 2}));
    QVERIFY(rig.link->open(1));
    QVERIFY(rig.link->writeFrame(SettingCodec::BuildReceiveTimeoutFrame(-1), nullptr));
    QTRY_COMPARE(builtIn.received().size(), 12);
    QCOMPARE(plugged.received(), QByteArray());
}

void SerialLinkTest::lockFileIsSeen()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QVERIFY(!DeviceFacts::lockedByAnother(pty.slavePath()));
    QSerialPort holder;
    holder.setPortName(pty.slavePath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    QVERIFY(DeviceFacts::lockedByAnother(pty.slavePath()));
    holder.close();
    QVERIFY(!DeviceFacts::lockedByAnother(pty.slavePath()));
}

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "SerialLinkTest.moc"
