#include "tools/DongleCommandLine.h"

#include <QCommandLineParser>
#include <QTest>

namespace {

// A plan in a few words: "[device D] [greeting HEX] [every MS] 1: FAULTS; 2: ...",
// a dongle's faults being how it differs from one that answers 55 AA at once.
QString summary(const DonglePlan &plan)
{
    QStringList words;
    if (plan.device)
        words << "device " + *plan.device;
    if (!plan.greeting.isEmpty())
        words << "greeting " + plan.greeting.toHex();
    if (plan.everyMs > 0)
        words << "every " + QString::number(plan.everyMs);
    QStringList dongles;
    for (qsizetype i = 0; i < plan.dongles.size(); ++i) {
        const PlannedDongle &d = plan.dongles.at(i);
        QStringList faults;
        if (d.hangUp)
            faults << "hangup";
        else if (d.options.silent)
            faults << "silent";
        if (d.options.delayMs != 0)
            faults << "delay=" + QString::number(d.options.delayMs);
        if (d.options.splitMs >= 0)
            faults << "split=" + QString::number(d.options.splitMs);
        if (d.options.reply != QByteArray("\x55\xAA", 2))
            faults << "reply=" + d.options.reply.toHex();
        if (d.options.repeatMs >= 0)
            faults << "twice=" + QString::number(d.options.repeatMs);
        if (d.options.onlyFrame > 0)
            faults << "only=" + QString::number(d.options.onlyFrame);
        if (d.options.noiseMs > 0)
            faults << "noise=" + QString::number(d.options.noiseMs);
        dongles << QString::number(i + 1) + ":" + faults.join(' ');
    }
    words << dongles.join("; ");
    return words.join(' ');
}

} // namespace

class DongleCommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void plan_data();
    void plan();
};

void DongleCommandLineTest::plan_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("plan");       // empty: refused
    QTest::addColumn<QString>("refusedFor"); // empty: taken; else what the refusal names

    QTest::newRow("nothing") << QStringList{} << "1:"
                             << "";
    QTest::newRow("answers for all")
        << QStringList{"--delay", "30", "--split", "0", "--reply", "aa:55,31 32"}
        << "1:delay=30 split=0 reply=aa553132"
        << "";
    QTest::newRow("device and greeting")
        << QStringList{"--device", "/dev/ttyUSB1", "--send", "31 32 0D 0A"}
        << "device /dev/ttyUSB1 greeting 31320d0a 1:"
        << "";
    QTest::newRow("faults by number, list, range and all")
        << QStringList{"--count", "6",          "--every", "100",
                       "--fault", "2,5:silent", "--fault", "3-4:delay=50",
                       "--fault", "6:hangup",   "--fault", "all:split=20"}
        << "every 100 1:split=20; 2:silent split=20; 3:delay=50 split=20; "
           "4:delay=50 split=20; 5:silent split=20; 6:hangup split=20"
        << "";
    QTest::newRow("faults of the answer, two on one dongle")
        << QStringList{"--count",  "2",       "--fault",   "1:delay=3000", "--fault",
                       "1:only=1", "--fault", "2:twice=0", "--fault",      "2:noise=20"}
        << "1:delay=3000 only=1; 2:twice=0 noise=20"
        << "";
    QTest::newRow("only the frame before the first") << QStringList{"--fault", "1:only=0"} << ""
                                                     << "only";
    QTest::newRow("a fault on the last of them")
        << QStringList{"--count", "3", "--fault", "3:silent"} << "1:; 2:; 3:silent"
        << "";

    QTest::newRow("no dongle") << QStringList{"--count", "0"} << ""
                               << "--count";
    QTest::newRow("too many dongles") << QStringList{"--count", "1001"} << ""
                                      << "--count";
    QTest::newRow("negative delay") << QStringList{"--delay", "-1"} << ""
                                    << "--delay";
    QTest::newRow("split in words") << QStringList{"--split", "soon"} << ""
                                    << "--split";
    QTest::newRow("every in words") << QStringList{"--every", "x"} << ""
                                    << "--every";
    QTest::newRow("a day apart") << QStringList{"--count",  "2",       "--every",
                                                "86400000", "--fault", "2:delay=86400000"}
                                 << "every 86400000 1:; 2:delay=86400000"
                                 << "";
    // Beyond what a timer takes, or the last dongle's start would be.
    QTest::newRow("last start beyond a timer")
        << QStringList{"--count", "3", "--every", "2000000000"} << ""
        << "--every";
    QTest::newRow("last of many beyond a day")
        << QStringList{"--count", "1000", "--every", "90000"} << ""
        << "--every";
    QTest::newRow("fault delay beyond a timer")
        << QStringList{"--fault", "1:delay=99999999999"} << ""
        << "99999999999";
    QTest::newRow("half a byte") << QStringList{"--send", "31 3"} << ""
                                 << "31 3";
    QTest::newRow("not hex") << QStringList{"--reply", "zz"} << ""
                             << "zz";
    QTest::newRow("fault beyond the count")
        << QStringList{"--count", "3", "--fault", "4:silent"} << ""
        << "\"4\"";
    QTest::newRow("fault on dongle 0") << QStringList{"--fault", "0:silent"} << ""
                                       << "\"0\"";
    QTest::newRow("backward range") << QStringList{"--count", "5", "--fault", "3-2:silent"} << ""
                                    << "\"3-2\"";
    QTest::newRow("range of three ends")
        << QStringList{"--count", "5", "--fault", "1-2-3:silent"} << ""
        << "\"1-2-3\"";
    QTest::newRow("unknown fault") << QStringList{"--fault", "1:loud"} << ""
                                   << "1:loud";
    QTest::newRow("fault without units") << QStringList{"--fault", "silent"} << ""
                                         << "silent";
    QTest::newRow("device for many") << QStringList{"--device", "/dev/ttyS0", "--count", "2"} << ""
                                     << "--device";
    QTest::newRow("stray argument") << QStringList{"extra"} << ""
                                    << "extra";
}

void DongleCommandLineTest::plan()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, plan);
    QFETCH(QString, refusedFor);

    QCommandLineParser parser;
    addDongleOptions(parser);
    QVERIFY(parser.parse(QStringList{"vantrel-dongle"} + arguments));
    QString error;
    const std::optional<DonglePlan> got = donglePlan(parser, &error);
    if (refusedFor.isEmpty()) {
        QVERIFY2(got, qPrintable(error));
        QCOMPARE(summary(*got), plan);
    } else {
        QVERIFY2(!got, qPrintable(got ? summary(*got) : QString()));
        QVERIFY2(error.contains(refusedFor), qPrintable(error));
    }
}

QTEST_APPLESS_MAIN(DongleCommandLineTest)
#include "DongleCommandLineTest.moc"
