#include "station/PluggedNodes.h"

#include <QTest>

// udev's events for tty devices as a machine sends them, in order, and what
// came and went. An event is "ACTION NODE NUMBER SERIAL SEQ", "-" for an
// empty field, "had" for a unit there at the start; a change is
// "+NODE=PLUGIN" or "-NODE".
class PluggedNodesTest : public QObject
{
    Q_OBJECT

private slots:
    void changes_data();
    void changes();
};

void PluggedNodesTest::changes_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("changes");

    QTest::newRow("plugged, pulled") << "add USB0 188:0 A 10, remove USB0 188:0 A 11"
                                     << "+USB0=188:0#10 -USB0";
    QTest::newRow("another unit on the node in one batch")
        << "had USB0 188:0 A 0, remove USB0 188:0 A 20, add USB0 188:0 B 21"
        << "-USB0 +USB0=188:0#21";
    QTest::newRow("added, removed, added")
        << "add USB0 188:0 A 30, remove USB0 188:0 A 31, add USB0 188:0 A 32"
        << "+USB0=188:0#30 -USB0 +USB0=188:0#32";
    QTest::newRow("change events")
        << "had USB0 188:0 A 0, change USB0 188:0 A 40, change ACM0 166:0 C 41"
        << "+ACM0=166:0#41";
    QTest::newRow("nodes never listed") << "remove USB3 188:3 D 50, add - 0:0 - 51"
                                        << "";
    QTest::newRow("the same unit added again (udevadm trigger)")
        << "had USB0 188:0 A 0, add USB0 188:0 A 60, add USB1 188:1 B 61, add USB1 188:1 B 62"
        << "+USB1=188:1#61";
    QTest::newRow("seeded before udev read its serial number")
        << "had USB0 188:0 - 0, add USB0 188:0 A 70, add USB0 188:0 B 71"
        << "-USB0 +USB0=188:0#71";
}

void PluggedNodesTest::changes()
{
    QFETCH(QString, events);
    QFETCH(QString, changes);
    PluggedNodes nodes;
    QStringList got;
    for (const QString &text : events.split(QStringLiteral(", "))) {
        QStringList w = text.split(' ');
        for (QString &word : w)
            word = word == QLatin1String("-") ? QString() : word;
        if (w.at(0) == QLatin1String("had"))
            nodes.seed(w.at(1), w.at(2), w.at(3));
        for (const NodeChange &change :
             nodes.apply({w.at(0), w.at(1), w.at(2), w.at(3), w.at(4).toULongLong()}))
            got << (change.appeared ? '+' + change.node + '=' + change.plugIn : '-' + change.node);
    }
    QCOMPARE(got.join(' '), changes);
}

QTEST_APPLESS_MAIN(PluggedNodesTest)
#include "PluggedNodesTest.moc"
