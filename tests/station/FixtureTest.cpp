#include "station/Fixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The fixture file, and learning one from units plugged in turn.
class FixtureTest : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void writtenReadsBack();
    void learning_data();
    void learning();
};

namespace {

const QString kLinux = QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0");
const QString kWindows = QStringLiteral("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)");

QByteArray manySlots(int count)
{
    QByteArray text("vantrel-station fixture 1\n");
    for (int i = 1; i <= count; ++i)
        text += "slot " + QByteArray::number(i) + " = socket-" + QByteArray::number(i) + "\n";
    return text;
}

} // namespace

void FixtureTest::read_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("sockets"); // empty: refused
    QTest::addColumn<QString>("error");       // refused: starts with "FILE:LINE: " and holds this

    QTest::newRow("Linux sockets, comments, blank lines")
        << QByteArray("vantrel-station fixture 1\n# bench A\n\nslot 1 = " + kLinux.toUtf8() +
                      "\n  slot 2=/dev/serial/by-path/x-usb-0:3:1.0-port0  \n")
        << QStringList{kLinux, "/dev/serial/by-path/x-usb-0:3:1.0-port0"} << QString();
    QTest::newRow("Windows location path, CR LF, byte order mark")
        << QByteArray("\xEF\xBB\xBFvantrel-station fixture 1\r\nslot 1 = " + kWindows.toUtf8() +
                      "\r\n")
        << QStringList{kWindows} << QString();
    QTest::newRow("'=' in the socket") << QByteArray("vantrel-station fixture 1\nslot 1 = a=b\n")
                                       << QStringList{"a=b"} << QString();
    QTest::newRow("64 slots") << manySlots(64) << QStringList() << QString();

    QTest::newRow("a profile") << QByteArray("vantrel-set profile 1\nchannel = 15\n")
                               << QStringList() << "f:1: not a fixture";
    QTest::newRow("version 2") << QByteArray("vantrel-station fixture 2\nslot 1 = a\n")
                               << QStringList() << "f:1: unsupported version \"2\"";
    QTest::newRow("version 01") << QByteArray("vantrel-station fixture 01\nslot 1 = a\n")
                                << QStringList() << "f:1: unsupported version";
    QTest::newRow("not a slot line") << QByteArray("vantrel-station fixture 1\nsocket = a\n")
                                     << QStringList() << "f:2: \"socket = a\" is not";
    QTest::newRow("slot 2 first") << QByteArray("vantrel-station fixture 1\n\nslot 2 = a\n")
                                  << QStringList() << "f:3: slot 2 where slot 1 was expected";
    QTest::newRow("slot 1 twice") << QByteArray(
                                         "vantrel-station fixture 1\nslot 1 = a\nslot 1 = b\n")
                                  << QStringList() << "f:3: slot 1 where slot 2 was expected";
    QTest::newRow("one socket for two slots")
        << QByteArray("vantrel-station fixture 1\nslot 1 = a\n#\nslot 2 = a\n") << QStringList()
        << "f:4: the socket of slot 2 is slot 1's already (line 2)";
    QTest::newRow("no socket") << QByteArray("vantrel-station fixture 1\nslot 1 =  \n")
                               << QStringList() << "f:2: slot 1 names no socket";
    QTest::newRow("control character")
        << QByteArray("vantrel-station fixture 1\nslot 1 = a\x1b[2Jb\n") << QStringList()
        << "f:2: the socket \"a\\x1b[2Jb\" holds control characters";
    QTest::newRow("no slot") << QByteArray("vantrel-station fixture 1\n# none yet\n")
                             << QStringList() << "f:3: no slot";
    QTest::newRow("empty file") << QByteArray() << QStringList() << "f:1: not a fixture";
    QTest::newRow("65 slots") << manySlots(65) << QStringList() << "f:66: more than 64 slots";
}

void FixtureTest::read()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, sockets);
    QFETCH(QString, error);
    const FixtureRead read = parseFixture(text, QStringLiteral("f"));
    if (error.isEmpty()) {
        QVERIFY2(read.fixture, qPrintable(read.error));
        if (!sockets.isEmpty())
            QCOMPARE(read.fixture->sockets(), sockets);
        for (int slot = 1; slot <= read.fixture->slotCount(); ++slot)
            QCOMPARE(read.fixture->slotOf(read.fixture->sockets().at(slot - 1)), slot);
    } else {
        QVERIFY(!read.fixture);
        QVERIFY2(read.error.startsWith(error), qPrintable(read.error));
    }
}

void FixtureTest::writtenReadsBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.fixture"));
    const Fixture fixture({kLinux, kWindows, QStringLiteral("a=b")});
    QVERIFY(writeFixture(path, fixture).ok());
    const FixtureRead read = readFixture(path);
    QVERIFY2(read.fixture, qPrintable(read.error));
    QCOMPARE(*read.fixture, fixture);
    QVERIFY(!writeFixture(dir.filePath(QStringLiteral("no/such/folder/f")), fixture).ok());
}

void FixtureTest::learning_data()
{
    // Each unit is its socket ("" for none) or "undo"; each outcome is
    // "learned N", "no-socket", "already N" or "full".
    QTest::addColumn<int>("slotCount");
    QTest::addColumn<QStringList>("units");
    QTest::addColumn<QStringList>("outcomes");
    QTest::addColumn<QStringList>("sockets");

    QTest::newRow("in order") << 0 << QStringList{"a", "b", "c"}
                              << QStringList{"learned 1", "learned 2", "learned 3"}
                              << QStringList{"a", "b", "c"};
    QTest::newRow("a unit without a socket names no slot")
        << 0 << QStringList{"a", "", "b"} << QStringList{"learned 1", "no-socket", "learned 2"}
        << QStringList{"a", "b"};
    QTest::newRow("a socket plugged again keeps its slot")
        << 0 << QStringList{"a", "b", "a", "c"}
        << QStringList{"learned 1", "learned 2", "already 1", "learned 3"}
        << QStringList{"a", "b", "c"};
    QTest::newRow("nothing past the slot count")
        << 2 << QStringList{"a", "b", "c"} << QStringList{"learned 1", "learned 2", "full"}
        << QStringList{"a", "b"};
    QTest::newRow("undo frees the last slot and its socket")
        << 0 << QStringList{"a", "x", "undo", "b", "x"}
        << QStringList{"learned 1", "learned 2", "learned 2", "learned 3"}
        << QStringList{"a", "b", "x"};
}

void FixtureTest::learning()
{
    QFETCH(int, slotCount);
    QFETCH(QStringList, units);
    QFETCH(QStringList, outcomes);
    QFETCH(QStringList, sockets);
    FixtureLearning learning(slotCount);
    QStringList got;
    for (const QString &socket : units) {
        if (socket == QLatin1String("undo")) {
            learning.undo();
            continue;
        }
        const auto heard =
            learning.appeared(PortEntry{QStringLiteral("/dev/ttyUSB9"), {}, {}, socket});
        switch (heard.outcome) {
        case FixtureLearning::Outcome::Learned:
            got << QStringLiteral("learned %1").arg(heard.slot);
            break;
        case FixtureLearning::Outcome::NoSocket:
            got << QStringLiteral("no-socket");
            break;
        case FixtureLearning::Outcome::AlreadyLearned:
            got << QStringLiteral("already %1").arg(heard.slot);
            break;
        case FixtureLearning::Outcome::Full:
            got << QStringLiteral("full");
            break;
        }
    }
    QCOMPARE(got, outcomes);
    QCOMPARE(learning.fixture().sockets(), sockets);
    QCOMPARE(learning.nextSlot(), int(sockets.size()) + 1);
}

QTEST_APPLESS_MAIN(FixtureTest)
#include "FixtureTest.moc"
