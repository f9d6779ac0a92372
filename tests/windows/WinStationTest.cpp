// The station's Windows parts under Wine: the report's appends, the COM
// ports heard of through SERIALCOMM, and --match by COM name. The stage
// (scripts/windows/wine-test.sh) runs it with a Wine server of its own, so
// this may change HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (it puts back what it
// found); VANTREL_FULL_FOLDER names a folder on a full file system where the
// stage could make one.

#include "station/DeviceMatch.h"
#include "station/DeviceWatcher.h"
#include "station/DurableAppend.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <qt_windows.h>

#include <optional>

namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// SERIALCOMM's values, name to COM name; nullopt when there is no such key.
std::optional<QList<std::pair<QString, QString>>> serialComm()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    QList<std::pair<QString, QString>> values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = 256;
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        const LSTATUS status = ::RegEnumValueW(key, i, name, &nameSize, nullptr, nullptr,
                                               reinterpret_cast<BYTE *>(data), &dataSize);
        if (status != ERROR_SUCCESS)
            break;
        values.append({QString::fromWCharArray(name, nameSize), QString::fromWCharArray(data)});
    }
    ::RegCloseKey(key);
    return values;
}

bool setSerialComm(const QString &name, const QString &port)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                          KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring data = port.toStdWString();
    const bool ok = ::RegSetValueExW(key, reinterpret_cast<const wchar_t *>(name.utf16()), 0,
                                     REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()),
                                     DWORD((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    ::RegCloseKey(key);
    return ok;
}

bool removeSerialComm(const QString &name)
{
    return ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSerialComm,
                                reinterpret_cast<const wchar_t *>(name.utf16())) == ERROR_SUCCESS;
}

} // namespace

class WinStationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void recordsStartALine_data();
    void recordsStartALine();
    void fullDiskLeavesNoPartRecord();
    void onlyARegularFile_data();
    void onlyARegularFile();
    void movedAwayStartsANewFile();
    void comPortsComeAndGo_data();
    void comPortsComeAndGo();
    void comNameBindsOnePort_data();
    void comNameBindsOnePort();

private:
    std::optional<QList<std::pair<QString, QString>>> m_serialComm;
};

void WinStationTest::initTestCase()
{
    m_serialComm = serialComm();
}

void WinStationTest::cleanupTestCase()
{
    if (!m_serialComm)
        return;
    for (const auto &[name, port] : *m_serialComm)
        QVERIFY(setSerialComm(name, port));
}

void WinStationTest::recordsStartALine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file: the header first") << QByteArray() << QByteArray("h\nr\n");
    QTest::newRow("whole lines") << QByteArray("h\na\n") << QByteArray("h\na\nr\n");
    QTest::newRow("Windows line ends") << QByteArray("h\r\na\r\n") << QByteArray("h\r\na\r\nr\n");
    QTest::newRow("last line without its end") << QByteArray("h\na") << QByteArray("h\na\nr\n");
}

// The rules the POSIX appends follow, on Windows' own calls.
void WinStationTest::recordsStartALine()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("units.csv"));
    if (!before.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(before), before.size());
    }
    const DurableAppend::Result appended =
        DurableAppend(path, "h\n").append([](bool) { return QByteArray("r\n"); });
    QVERIFY2(appended.ok(), qPrintable(appended.error));
    QCOMPARE(contents(path), after);
}

// A record that does not fit is taken back off whole: the file keeps what it
// had, and the error says why.
void WinStationTest::fullDiskLeavesNoPartRecord()
{
    const QString folder = qEnvironmentVariable("VANTREL_FULL_FOLDER");
    if (folder.isEmpty())
        QSKIP("no small file system to fill (the stage makes one when it runs as root)");
    const QString path = QDir(folder).filePath(QStringLiteral("units.csv"));
    const QByteArray before = "h\nfirst record\n";
    DurableAppend report(path, "h\n");
    QVERIFY(report.append([](bool) { return QByteArray("first record\n"); }).ok());
    {
        QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    // Larger than the room left in the report's last block, so that a part
    // of it fits.
    const QByteArray record = QByteArray(16 * 1024, 'r') + '\n';
    const QString error = report.append([&record](bool) { return record; }).error;
    QVERIFY2(error.startsWith(QStringLiteral("Cannot write the report %1: ").arg(path)) &&
                 error.endsWith(QLatin1Char('.')) && !error.endsWith(QLatin1String("..")),
             qPrintable(error));
    QCOMPARE(contents(path), before);
}

void WinStationTest::onlyARegularFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("a folder") << "<folder>";
    QTest::newRow("the NUL device") << "NUL";
}

void WinStationTest::onlyARegularFile()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    if (name == QLatin1String("<folder>"))
        name = dir.path();
    const QString error = DurableAppend(name, "h\n").append([](bool) { return "r\n"; }).error;
    QVERIFY2(error.contains(QLatin1String("not a regular file")), qPrintable(error));
}

// Which file a name leads to, from Windows' own file index.
void WinStationTest::movedAwayStartsANewFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("units.csv"));
    DurableAppend report(path, "h\n");
    const auto record = [](bool restarted) { return restarted ? "again\n" : "r\n"; };
    QVERIFY(report.append(record).ok());
    QVERIFY(!report.append(record).restarted);
    QVERIFY(QFile::rename(path, path + ".old"));
    QVERIFY(report.append(record).restarted);
    QCOMPARE(contents(path + ".old"), QByteArray("h\nr\nr\n"));
    QCOMPARE(contents(path), QByteArray("h\nagain\n"));
}

void WinStationTest::comPortsComeAndGo_data()
{
    QTest::addColumn<bool>("keyThere");
    QTest::newRow("SERIALCOMM there") << true;
    // A machine without serial ports has none until the first driver starts.
    QTest::newRow("SERIALCOMM made after the start") << false;
}

void WinStationTest::comPortsComeAndGo()
{
    QFETCH(bool, keyThere);
    const QString value = QStringLiteral("\\Device\\VantrelTest61");
    const QString port = QStringLiteral("COM61");
    if (keyThere) {
        QVERIFY(setSerialComm(QStringLiteral("\\Device\\VantrelTest62"), QStringLiteral("COM62")));
    } else {
        const LSTATUS status = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSerialComm);
        QVERIFY(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
    }
    DeviceWatcher watcher(systemDeviceSources());
    QSignalSpy appeared(&watcher, &DeviceWatcher::appeared);
    QSignalSpy vanished(&watcher, &DeviceWatcher::vanished);
    const QStringList unwatched = watcher.start();
    QVERIFY2(unwatched.isEmpty(), qPrintable(unwatched.join(QLatin1Char('\n'))));
    QCOMPARE(bool(watcher.find(QStringLiteral("COM62"))), keyThere);

    QVERIFY(setSerialComm(value, port));
    QVERIFY(appeared.wait(10000));
    QCOMPARE(appeared.size(), 1);
    QCOMPARE(appeared.at(0).at(0).value<PortEntry>().location, port);

    QVERIFY(removeSerialComm(value));
    QVERIFY(vanished.wait(10000));
    QCOMPARE(vanished.at(0).at(0).toString(), port);
    QCOMPARE(appeared.size(), 1);
    if (keyThere)
        QVERIFY(removeSerialComm(QStringLiteral("\\Device\\VantrelTest62")));
}

void WinStationTest::comNameBindsOnePort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("picked");

    QTest::newRow("its COM name") << "COM10" << true;
    QTest::newRow("its COM name, other case") << "com10" << true;
    QTest::newRow("a shorter COM name") << "COM1" << false;
    QTest::newRow("a longer COM name") << "COM100" << false;
    QTest::newRow("the USB socket") << "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)" << true;
    QTest::newRow("the USB socket, its end") << "*#USBROOT(0)#USB(2)" << true;
    QTest::newRow("part of the location path") << "USBROOT(0)#USB(2)" << false;
    QTest::newRow("the Device Manager's name") << "usb serial port (com10)" << true;
    QTest::newRow("the product") << "USB Serial Port" << true;
    QTest::newRow("VID:PID") << "0403:6001" << true;
}

// By COM name a station is bound to its port alone: COM1 is no part of COM10,
// nor of a friendly name that ends in "(COM10)".
void WinStationTest::comNameBindsOnePort()
{
    QFETCH(QString, text);
    QFETCH(bool, picked);
    PortEntry port{QStringLiteral("COM10"), QStringLiteral("USB Serial Port (COM10)")};
    port.byPath = QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)");
    port.vendorId = 0x0403;
    port.productId = 0x6001;
    QCOMPARE(matchesDevice(port, text), picked);
}

QTEST_GUILESS_MAIN(WinStationTest)
#include "WinStationTest.moc"
