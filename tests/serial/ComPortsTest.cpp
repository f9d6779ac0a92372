#include "serial/ComPorts.h"

#include <QTest>

// Windows' numbering: port n is COMn whatever the system lists, and a
// listed port only lends its friendly name to the entry of its number.
class ComPortsTest : public QObject
{
    Q_OBJECT

private slots:
    void numberIsComNumber();
    void friendlyNames_data();
    void friendlyNames();
    void deviceIds_data();
    void deviceIds();
};

void ComPortsTest::numberIsComNumber()
{
    const QList<PortEntry> entries = ComPorts::numbered({});
    QCOMPARE(entries.size(), kMaxPortNumber);
    for (int n = 1; n <= kMaxPortNumber; ++n) {
        QCOMPARE(entries.at(n - 1).location, QStringLiteral("COM%1").arg(n));
        QVERIFY(entries.at(n - 1).description.isEmpty());
    }
}

void ComPortsTest::friendlyNames_data()
{
    QTest::addColumn<QString>("listedAs");
    QTest::addColumn<int>("number"); // 0: described nowhere

    QTest::newRow("COM3") << "COM3" << 3;
    QTest::newRow("lower case") << "com7" << 7;
    QTest::newRow("first") << "COM1" << 1;
    QTest::newRow("last") << "COM50" << 50;
    QTest::newRow("past the last") << "COM51" << 0;
    QTest::newRow("COM0") << "COM0" << 0;
    QTest::newRow("leading zero") << "COM05" << 0;
    QTest::newRow("sign") << "COM+5" << 0;
    QTest::newRow("trailing text") << "COM5x" << 0;
    QTest::newRow("printer port") << "LPT1" << 0;
    QTest::newRow("bare COM") << "COM" << 0;
}

void ComPortsTest::friendlyNames()
{
    QFETCH(QString, listedAs);
    QFETCH(int, number);
    const QString name = QStringLiteral("USB Serial Device");
    const QList<PortEntry> entries = ComPorts::numbered({{listedAs, name}});
    QCOMPARE(entries.size(), kMaxPortNumber);
    for (int n = 1; n <= kMaxPortNumber; ++n) {
        QCOMPARE(entries.at(n - 1).location, QStringLiteral("COM%1").arg(n));
        QCOMPARE(entries.at(n - 1).description, n == number ? name : QString());
    }
}

void ComPortsTest::deviceIds_data()
{
    // The port's hardware id, its instance id and its parent's, as Windows
    // gives them for the adapters a line meets.
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QString>("vidPid");
    QTest::addColumn<QString>("serialNumber");

    QTest::newRow("CP210x: the port is the USB device")
        << QStringList{"USB\\VID_10C4&PID_EA60&REV_0100", "USB\\VID_10C4&PID_EA60\\0001",
                       "USB\\ROOT_HUB30\\4&2F2C2E7&0&0"}
        << "10c4:ea60"
        << "0001";
    QTest::newRow("FTDI: the port on its own bus, the serial number above it")
        << QStringList{"FTDIBUS\\COMPORT&VID_0403&PID_6001",
                       "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000",
                       "USB\\VID_0403&PID_6001\\A50285BI"}
        << "0403:6001"
        << "A50285BI";
    QTest::newRow("no serial number: Windows' own id")
        << QStringList{"USB\\VID_1A86&PID_7523&REV_0264", "USB\\VID_1A86&PID_7523\\5&2E6FD3E&0&1",
                       "USB\\ROOT_HUB30\\4&2F2C2E7&0&0"}
        << "1a86:7523"
        << "";
    QTest::newRow("an interface of a composite device")
        << QStringList{"USB\\VID_2341&PID_8036&REV_0100&MI_00",
                       "USB\\VID_2341&PID_8036&MI_00\\6&3A0B1C2D&0&0000",
                       "USB\\VID_2341&PID_8036\\85739313230351F0A0E1"}
        << "2341:8036"
        << "85739313230351F0A0E1";
    QTest::newRow("lower case") << QStringList{"usb\\vid_10c4&pid_ea60\\abc"} << "10c4:ea60"
                                << "abc";
    QTest::newRow("the machine's own port")
        << QStringList{"ACPI\\PNP0501", "ACPI\\PNP0501\\1", ""} << ""
        << "";
    QTest::newRow("a vendor id without a product id")
        << QStringList{"USB\\VID_10C4\\X", "BTHENUM\\{00001101}_VID&0001005D_PID&223B"} << ""
        << "";
}

// --match and the records read these; a wrong split names another unit.
void ComPortsTest::deviceIds()
{
    QFETCH(QStringList, ids);
    QFETCH(QString, vidPid);
    QFETCH(QString, serialNumber);
    PortEntry entry{QStringLiteral("COM8"), QString()};
    ComPorts::readDeviceIds(entry, ids);
    QCOMPARE(entry.vidPid(), vidPid);
    QCOMPARE(entry.serialNumber, serialNumber);
}

QTEST_APPLESS_MAIN(ComPortsTest)
#include "ComPortsTest.moc"
