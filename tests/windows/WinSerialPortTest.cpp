// The Win32 serial port under Wine, over a pseudo-terminal whose far end
// (pty_peer, on the Linux side) echoes what it gets and hangs up on the word
// HANGUP. The Wine test stage maps COM7 to it.

#include "serial/WinSerialPort.h"
#include "serial/PortErrors.h"
#include "serial/SerialLink.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>

namespace {

const QString kPeerPort = QStringLiteral("COM7");

QByteArray pattern(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char('A' + i % 26 + (i / 26) % 2 * 32)); // no "HANGUP" in it
    return bytes;
}

} // namespace

class WinSerialPortTest : public QObject
{
    Q_OBJECT

private slots:
    void echoComesBackWhole();
    void fullBufferResumesAfterRead();
    void refusesWhatIsNoSerialPort_data();
    void refusesWhatIsNoSerialPort();
    void linkDeliversChunksInOrder();
    void hangUpIsOneFatalError(); // last: the peer ends
};

void WinSerialPortTest::echoComesBackWhole()
{
    WinSerialPort port;
    port.setPortName(kPeerPort);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QByteArray got;
    connect(&port, &WinSerialPort::readyRead, &port, [&] { got += port.readAll(); });
    const QByteArray sent = pattern(3000);
    QCOMPARE(port.write(sent.constData(), sent.size()), qint64(sent.size()));
    QVERIFY(port.flush());
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), sent.size(), 20000);
    QCOMPARE(got, sent);
    QVERIFY2(port.error() == WinSerialPort::NoError, qPrintable(port.errorString()));
}

// Bytes that wait in the driver while the buffer is full raise no new
// event: reading them must resume from readAll().
void WinSerialPortTest::fullBufferResumesAfterRead()
{
    WinSerialPort port;
    port.setPortName(kPeerPort);
    port.setReadBufferSize(64);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    const QByteArray sent = pattern(500);
    QCOMPARE(port.write(sent.constData(), sent.size()), qint64(sent.size()));
    QTRY_COMPARE_WITH_TIMEOUT(port.bytesAvailable(), qint64(64), 20000);
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += port.readAll()).size() == sent.size(), 20000);
    QCOMPARE(got, sent);
}

void WinSerialPortTest::refusesWhatIsNoSerialPort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<WinSerialPort::SerialPortError>("expected");
    // The stage maps COM49 to a path that does not exist; COM99 is not mapped.
    QTest::newRow("opens, but takes no line settings") << "COM49" << WinSerialPort::OpenError;
    QTest::newRow("no such port") << "COM99" << WinSerialPort::DeviceNotFoundError;
}

void WinSerialPortTest::refusesWhatIsNoSerialPort()
{
    QFETCH(QString, name);
    QFETCH(WinSerialPort::SerialPortError, expected);
    WinSerialPort port;
    port.setPortName(name);
    QSignalSpy errors(&port, &WinSerialPort::errorOccurred);
    QVERIFY(!port.open(QIODevice::ReadWrite));
    QVERIFY(!port.isOpen());
    QCOMPARE(port.error(), expected);
    QCOMPARE(errors.size(), 1);
    QVERIFY(!port.errorString().isEmpty());
}

void WinSerialPortTest::linkDeliversChunksInOrder()
{
    SerialLink link(std::make_unique<FixedPortCatalog>(QList<PortEntry>{{kPeerPort, QString()}}));
    QString error;
    QVERIFY2(link.open(1, &error), qPrintable(error));
    QByteArray got;
    int nested = 0;
    int deepest = 0;
    connect(&link, &SerialLink::chunkReceived, &link, [&](const QByteArray &chunk) {
        deepest = std::max(deepest, ++nested);
        got += chunk;
        --nested;
    });
    QByteArray sent;
    for (int i = 0; i < 20; ++i) {
        SettingCodec::ConfigFrame frame{};
        for (std::size_t b = 0; b < frame.size(); ++b)
            frame[b] = std::uint8_t(i * 16 + int(b));
        QVERIFY2(link.writeFrame(frame, &error), qPrintable(error));
        sent.append(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
    }
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), sent.size(), 20000);
    QCOMPARE(got, sent);
    QCOMPARE(deepest, 1);
}

void WinSerialPortTest::hangUpIsOneFatalError()
{
    SerialLink link(std::make_unique<FixedPortCatalog>(QList<PortEntry>{{kPeerPort, QString()}}));
    QString error;
    QVERIFY2(link.open(1, &error), qPrintable(error));
    QSignalSpy lost(&link, &SerialLink::portLost);
    // The frame carries the peer's word for hanging up.
    SettingCodec::ConfigFrame frame{};
    const char word[] = "HANGUP";
    std::copy(word, word + 6, frame.begin());
    QVERIFY2(link.writeFrame(frame, &error), qPrintable(error));
    QVERIFY(lost.wait(20000));
    QCOMPARE(lost.size(), 1);
    QVERIFY(!link.isOpen());
    QVERIFY2(lost.at(0).at(0).toString().contains(kPeerPort),
             qPrintable(lost.at(0).at(0).toString()));
}

QTEST_GUILESS_MAIN(WinSerialPortTest)
#include "WinSerialPortTest.moc"
