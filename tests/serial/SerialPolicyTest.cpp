#include "serial/PortCatalog.h"
#include "serial/PortErrors.h"

#include <QTest>

using PortErrors::OpenFailure;
using PortErrors::PortError;

Q_DECLARE_METATYPE(PortErrors::PortError)
Q_DECLARE_METATYPE(PortErrors::OpenFailure)

class SerialPolicyTest : public QObject
{
    Q_OBJECT

private slots:
    void naturalOrder_data();
    void naturalOrder();
    void naturalOrderKeepsFifty();
    void fatalErrors_data();
    void fatalErrors();
    void openFailures_data();
    void openFailures();
    void messagesNameTheDevice();
    void permissionNoticeNamesDevicesAndGroup();
};

void SerialPolicyTest::naturalOrder_data()
{
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QStringList>("ordered");

    QTest::newRow("numbers, not text") << QStringList{"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyS1"}
                                       << QStringList{"/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS10"};
    QTest::newRow("grouped by name")
        << QStringList{"/dev/ttyUSB1", "/dev/ttyS3", "/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyS0"}
        << QStringList{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS3", "/dev/ttyUSB0", "/dev/ttyUSB1"};
    QTest::newRow("name without number first")
        << QStringList{"/dev/ttyX1", "/dev/ttyX"} << QStringList{"/dev/ttyX", "/dev/ttyX1"};
    QTest::newRow("same number, leading zero")
        << QStringList{"/dev/ttyA02", "/dev/ttyA2"} << QStringList{"/dev/ttyA02", "/dev/ttyA2"};
    QTest::newRow("huge number") << QStringList{"/dev/ttyZ99999999999999999999999", "/dev/ttyZ1"}
                                 << QStringList{"/dev/ttyZ1", "/dev/ttyZ99999999999999999999999"};
    QTest::newRow("empty") << QStringList{} << QStringList{};
}

void SerialPolicyTest::naturalOrder()
{
    QFETCH(QStringList, found);
    QFETCH(QStringList, ordered);
    QList<PortEntry> entries;
    for (const QString &location : found)
        entries.append({location, QStringLiteral("about ") + location});

    QStringList result;
    for (const PortEntry &entry : naturalPortOrder(entries)) {
        QCOMPARE(entry.description, QStringLiteral("about ") + entry.location);
        result.append(entry.location);
    }
    QCOMPARE(result, ordered);
}

void SerialPolicyTest::naturalOrderKeepsFifty()
{
    QList<PortEntry> entries;
    for (int i = 63; i >= 0; --i)
        entries.append({QStringLiteral("/dev/ttyS%1").arg(i), QString()});
    const QList<PortEntry> ordered = naturalPortOrder(entries);
    QCOMPARE(ordered.size(), kMaxPortNumber);
    QCOMPARE(ordered.front().location, QStringLiteral("/dev/ttyS0"));
    QCOMPARE(ordered.back().location, QStringLiteral("/dev/ttyS49"));
}

void SerialPolicyTest::fatalErrors_data()
{
    QTest::addColumn<PortError>("error");
    QTest::addColumn<bool>("fatal");

    QTest::newRow("hung-up line") << PortError::Read << true;
    QTest::newRow("unplugged") << PortError::Resource << true;
    QTest::newRow("device gone") << PortError::DeviceNotFound << true;
    QTest::newRow("write") << PortError::Write << true;
    // A pseudo-terminal refuses modem-line queries: not a lost device.
    QTest::newRow("modem lines") << PortError::UnsupportedOperation << false;
    QTest::newRow("ioctl refused") << PortError::Permission << false;
    QTest::newRow("unknown") << PortError::Unknown << false;
    QTest::newRow("not open") << PortError::NotOpen << false;
    QTest::newRow("cleared") << PortError::None << false;
}

void SerialPolicyTest::fatalErrors()
{
    QFETCH(PortError, error);
    QFETCH(bool, fatal);
    QCOMPARE(PortErrors::isFatal(error), fatal);
}

void SerialPolicyTest::openFailures_data()
{
    QTest::addColumn<PortError>("error");
    QTest::addColumn<bool>("lockRefused");
    QTest::addColumn<bool>("accessDenied");
    QTest::addColumn<OpenFailure>("failure");

    QTest::newRow("lock file held") << PortError::Permission << true << false << OpenFailure::Busy;
    QTest::newRow("exclusive (EBUSY)")
        << PortError::Permission << false << false << OpenFailure::Busy;
    QTest::newRow("EACCES") << PortError::Permission << false << true
                            << OpenFailure::PermissionDenied;
    QTest::newRow("gone") << PortError::DeviceNotFound << false << false
                          << OpenFailure::NoSuchDevice;
    QTest::newRow("other") << PortError::Open << false << false << OpenFailure::Other;
}

void SerialPolicyTest::openFailures()
{
    QFETCH(PortError, error);
    QFETCH(bool, lockRefused);
    QFETCH(bool, accessDenied);
    QFETCH(OpenFailure, failure);
    QCOMPARE(PortErrors::classifyOpenFailure(error, lockRefused, accessDenied), failure);
}

void SerialPolicyTest::messagesNameTheDevice()
{
    const QString device = PortErrors::deviceName(3, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(device, QStringLiteral("port 3 (/dev/ttyUSB0)"));

    const QString busy =
        PortErrors::openFailureText(device, OpenFailure::Busy, QStringLiteral("locking failed"));
    QVERIFY(busy.contains(device));
    QVERIFY(busy.contains(QLatin1String("busy")));
    QVERIFY(busy.contains(QLatin1String("locking failed")));
    QVERIFY(PortErrors::openFailureText(device, OpenFailure::PermissionDenied, {})
                .contains(QLatin1String("permission denied")));
    QVERIFY(PortErrors::openFailureText(device, OpenFailure::NoSuchDevice, {})
                .contains(QLatin1String("no such device")));
    // A command line has no Auto Scan to send its user to.
    QVERIFY(!PortErrors::openFailureText(device, OpenFailure::NoSuchDevice, {},
                                         PortErrors::Audience::CommandLine)
                 .contains(QLatin1String("Auto Scan")));
    QVERIFY(PortErrors::openFailureText(device, OpenFailure::Other, QStringLiteral("odd failure"))
                .contains(QLatin1String("odd failure")));

    const QString write = PortErrors::writeFailureText(device, QStringLiteral("I/O"), true);
    QVERIFY(write.contains(device));
    QVERIFY(write.contains(QLatin1String("closed")));
    QVERIFY(!PortErrors::writeFailureText(device, QStringLiteral("I/O"), false)
                 .contains(QLatin1String("closed")));
    QVERIFY(PortErrors::lossText(device, PortError::Read).contains(device));
}

void SerialPolicyTest::permissionNoticeNamesDevicesAndGroup()
{
    const QString notice =
        PortErrors::permissionNotice({{QStringLiteral("/dev/ttyS0"), QStringLiteral("uucp")},
                                      {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("uucp")}});
    QVERIFY(notice.contains(QLatin1String("/dev/ttyS0, /dev/ttyUSB0")));
    QVERIFY(notice.contains(QLatin1String("usermod -aG uucp")));
    QVERIFY(notice.contains(QLatin1String("dialout")));

    QVERIFY(PortErrors::permissionNotice({{QStringLiteral("/dev/ttyS0"), QString()}})
                .contains(QLatin1String("usermod -aG dialout")));
}

QTEST_APPLESS_MAIN(SerialPolicyTest)
#include "SerialPolicyTest.moc"
