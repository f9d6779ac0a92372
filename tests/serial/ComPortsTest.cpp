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

QTEST_APPLESS_MAIN(ComPortsTest)
#include "ComPortsTest.moc"
