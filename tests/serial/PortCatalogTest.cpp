#include "serial/PortCatalog.h"

#include "support/PtyPair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// Devices advertised in the runtime folder (the dongle emulator's pseudo-
// terminal): what the port list offers, and what it must leave out.
class PortCatalogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void advertisedDeviceFollowsTheSystemsOwn();
    void onlyLiveLinksToCharacterDevices_data();
    void onlyLiveLinksToCharacterDevices();
    void numbersStayPutForTheRun_data();
    void numbersStayPutForTheRun();
    void byIdLinksNameTheirDevice();

private:
    QTemporaryDir *m_runtime = nullptr;
    QByteArray m_savedRuntime;
};

void PortCatalogTest::init()
{
    m_runtime = new QTemporaryDir;
    QVERIFY(m_runtime->isValid());
    m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime->path()));
}

void PortCatalogTest::cleanup()
{
    if (m_savedRuntime.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
    delete m_runtime;
}

void PortCatalogTest::advertisedDeviceFollowsTheSystemsOwn()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    const QList<PortEntry> system = SystemPortCatalog().devices();
    if (system.size() >= kMaxPortNumber)
        QSKIP("this machine fills the port list by itself");

    QString error;
    const QString link =
        AdvertisedPorts::advertise(pty.slavePath(), QStringLiteral("dongle-emulator"), &error);
    QVERIFY2(!link.isEmpty(), qPrintable(error));
    QCOMPARE(QFileInfo(link).path(), m_runtime->path() + QStringLiteral("/vantrel"));

    const QList<PortEntry> listed = SystemPortCatalog().devices();
    QCOMPARE(listed.mid(0, system.size()), system);
    const PortEntry advertised{link, QStringLiteral("Dongle emulator (%1)").arg(pty.slavePath())};
    QCOMPARE(listed.mid(system.size()), QList<PortEntry>{advertised});

    // The serial port opens it by the listed name.
    QSerialPort port;
    port.setPortName(link);
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    port.write("hi");
    QTRY_COMPARE(pty.received(), QByteArray("hi"));
    port.close();

    // Withdrawn with its link.
    QVERIFY(QFile::remove(link));
    QCOMPARE(SystemPortCatalog().devices(), system);
}

void PortCatalogTest::onlyLiveLinksToCharacterDevices_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("dangling link") << "dangling";
    QTest::newRow("link to a regular file") << "file";
    QTest::newRow("link to a folder") << "folder";
    QTest::newRow("link of an ended process") << "ended";
    QTest::newRow("link without a process number") << "unnumbered";
    QTest::newRow("regular file, not a link") << "plain";
}

void PortCatalogTest::onlyLiveLinksToCharacterDevices()
{
    QFETCH(QString, entry);
    PtyPair pty;
    QVERIFY(pty.isValid());
    const QString live = AdvertisedPorts::advertise(pty.slavePath(), QStringLiteral("dongle"));
    QVERIFY(!live.isEmpty());
    const QString folder = AdvertisedPorts::folder();
    const QString own = QStringLiteral(".%1").arg(::getpid());

    const QString file = m_runtime->filePath(QStringLiteral("file"));
    QFile make(file);
    QVERIFY(make.open(QIODevice::WriteOnly));
    make.close();

    QString name = QStringLiteral("other") + own;
    QString target = pty.slavePath();
    if (entry == "dangling") {
        target = m_runtime->filePath(QStringLiteral("gone"));
    } else if (entry == "file") {
        target = file;
    } else if (entry == "folder") {
        target = m_runtime->path();
    } else if (entry == "ended") {
        QProcess ended;
        ended.start(QStringLiteral("true"), QStringList());
        QVERIFY(ended.waitForStarted());
        const qint64 pid = ended.processId();
        QVERIFY(ended.waitForFinished());
        name = QStringLiteral("other.%1").arg(pid);
    } else if (entry == "unnumbered") {
        name = QStringLiteral("other");
    }
    const QString path = folder + QLatin1Char('/') + name;
    if (entry == "plain")
        QVERIFY(QFile::copy(file, path));
    else
        QCOMPARE(
            ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()),
            0);

    const QList<PortEntry> listed = AdvertisedPorts::list();
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().location, live);
}

void PortCatalogTest::numbersStayPutForTheRun_data()
{
    // Each capture lists the devices present, by name; "ttyS0=by-id/x" has
    // a by-id name that stays when its path changes.
    QTest::addColumn<QList<QStringList>>("captures");
    QTest::addColumn<QList<QList<int>>>("numbers"); // per capture, in catalog order

    QTest::newRow("first capture in catalog order")
        << QList<QStringList>{{"ttyS0", "ttyS1", "ttyUSB0"}} << QList<QList<int>>{{1, 2, 3}};
    QTest::newRow("a device plugged in before the others")
        << QList<QStringList>{{"ttyS0", "ttyS1"}, {"ttyACM0", "ttyS0", "ttyS1"}}
        << QList<QList<int>>{{1, 2}, {3, 1, 2}};
    QTest::newRow("a vanished number is not handed on")
        << QList<QStringList>{{"ttyS0", "ttyUSB0"}, {"ttyS0"}, {"ttyS0", "ttyUSB1"}}
        << QList<QList<int>>{{1, 2}, {1}, {1, 3}};
    QTest::newRow("a device that comes back gets its number back")
        << QList<QStringList>{{"ttyS0", "ttyUSB0"}, {"ttyS0"}, {"ttyUSB0", "ttyS0"}}
        << QList<QList<int>>{{1, 2}, {1}, {2, 1}};
    QTest::newRow("known by its by-id name, not its path")
        << QList<QStringList>{{"ttyUSB0=by-id/a", "ttyUSB1=by-id/b"}, {"ttyUSB0=by-id/b"}}
        << QList<QList<int>>{{1, 2}, {2}};
    QTest::newRow("nothing at first, then devices")
        << QList<QStringList>{{}, {"ttyUSB0", "ttyS0"}} << QList<QList<int>>{{}, {1, 2}};

    // Numbers end at kMaxPortNumber (0: left out), even once numbers are free.
    QStringList many;
    QList<int> numbered;
    for (int i = 1; i <= kMaxPortNumber; ++i) {
        many << QStringLiteral("ttyUSB%1").arg(i);
        numbered << i;
    }
    QTest::newRow("one device more than there are numbers")
        << QList<QStringList>{many + QStringList{"ttyACM0"}}
        << QList<QList<int>>{numbered + QList<int>{0}};
    QTest::newRow("a new device after the last number")
        << QList<QStringList>{many, {"ttyACM0", "ttyUSB1"}} << QList<QList<int>>{numbered, {0, 1}};
}

void PortCatalogTest::numbersStayPutForTheRun()
{
    QFETCH(QList<QStringList>, captures);
    QFETCH(QList<QList<int>>, numbers);
    PortNumbering numbering;
    for (qsizetype i = 0; i < captures.size(); ++i) {
        QList<PortEntry> present;
        for (const QString &spec : captures.at(i)) {
            PortEntry entry{"/dev/" + spec.section('=', 0, 0), QString()};
            if (spec.contains('='))
                entry.byId = "/dev/serial/" + spec.section('=', 1);
            present.append(entry);
        }
        QMap<QString, int> byLocation;
        for (const ScannedPort &port : numbering.number(present))
            byLocation.insert(port.device.location, port.number);
        QList<int> got;
        for (const PortEntry &entry : std::as_const(present))
            got.append(byLocation.value(entry.location));
        QCOMPARE(got, numbers.at(i));
    }
}

void PortCatalogTest::byIdLinksNameTheirDevice()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    const QString folder = m_runtime->filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(folder));
    const QString link = folder + QStringLiteral("/usb-Maker_Dongle_0042-if00-port0");
    QVERIFY(QFile::link(pty.slavePath(), link));
    QVERIFY(QFile::link(m_runtime->filePath(QStringLiteral("gone")), folder + "/stale"));
    const QHash<QString, QString> links = serialByIdLinks(folder);
    QCOMPARE(links.size(), 1);
    QCOMPARE(links.value(QFileInfo(pty.slavePath()).canonicalFilePath()), link);
}

QTEST_GUILESS_MAIN(PortCatalogTest)
#include "PortCatalogTest.moc"
