#include "tools/DongleEmulator.h"

#include "protocol/SettingTransaction.h"
#include "serial/SerialLink.h"
#include "support/ChangingCatalog.h"
#include "support/PtyPair.h"
#include "support/TestBytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using SendResult = SettingTransaction::SendResult;
using SettingCodec::ConfigFrame;

namespace {

ConfigFrame frameFromHex(const char *hex)
{
    return TestBytes::configFrame(QByteArray::fromHex(hex));
}

SettingCodec::GeneralChoices exampleChoices()
{
    // 115200, 7 bits, EVEN, 2 stop bits, 1000 ms, 2k, channel 15, -8 dBm, 13
    return {7, 1, 2, 1, 5, 4, 15, 3, 0};
}

// The program's side as the window wires it: each chunk through the
// acknowledgement check into the log.
struct Program
{
    std::unique_ptr<SerialLink> link;
    std::unique_ptr<SettingTransaction> transaction;
    QByteArray logged;
    int acks = 0;
    int timeOuts = 0;

    explicit Program(const QString &device)
        : link(std::make_unique<SerialLink>(std::make_unique<ChangingCatalog>(
              std::make_shared<QList<PortEntry>>(QList<PortEntry>{{device, QString()}})))),
          transaction(std::make_unique<SettingTransaction>(*link))
    {
        QObject::connect(link.get(), &SerialLink::chunkReceived, transaction.get(),
                         [this](const QByteArray &chunk) {
                             bool acknowledged = false;
                             logged += transaction->takeChunk(chunk, &acknowledged);
                             acks += acknowledged;
                         });
        QObject::connect(transaction.get(), &SettingTransaction::timedOut, link.get(), [this] {
            logged += transaction->releaseHeld();
            ++timeOuts;
        });
    }
};

} // namespace

class DongleEmulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void describe_data();
    void describe();
    void resynchronisesOnHeader();
    void exchange_data();
    void exchange();
    void refusedSettingSendsNothing();
    void commandLineProgram();
    void programListsItselfWhileItRuns();
};

void DongleEmulatorTest::describe_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("words");

    QTest::newRow("general") << QByteArray("9895930819E803041E0F030D")
                             << "General: baud 115200, 7 data bits, EVEN, 2 stop bits, timeout "
                                "1000 ms, rate 2k, channel 15, -8 dBm, length 13";
    QTest::newRow("general, all unpicked")
        << QByteArray("98959304000A00031E0A003F")
        << "General: baud 9600, 8 data bits, NONE, 1 stop bits, timeout 10 ms, rate 10k, "
           "channel 10, 17 dBm, length 63";
    QTest::newRow("general, odd codes")
        << QByteArray("9895930B230000091F100740")
        << "General: baud code 11?, data bits code 3?, NONE, 1 stop bits, timeout 0 ms, rate "
           "code 9?, channel 16, power code 7?, length 64, format byte 0x23 has unknown "
           "bits, byte 8 is 31, not 30";
    QTest::newRow("pair") << QByteArray("989594015401020354040506")
                          << "Pair: mode 1 To Multi, master 1.2.3, slave 4.5.6";
    QTest::newRow("receive timeout")
        << QByteArray("9895952C0100000000000000") << "Receive timeout: 300 ms";
    QTest::newRow("unknown command") << QByteArray("98959A000000000000000001")
                                     << "Unknown command 0x9a: 98 95 9A 00 00 00 00 00 00 00 00 01";
}

void DongleEmulatorTest::describe()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, words);
    QCOMPARE(describeFrame(frameFromHex(frame.constData())), words);
}

void DongleEmulatorTest::resynchronisesOnHeader()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DongleEmulator dongle(pty.masterFd(), {.silent = true});
    QSignalSpy skipped(&dongle, &DongleEmulator::bytesSkipped);
    const int line = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(line >= 0);

    // Noise, a frame in two pieces, a stray header byte, another frame.
    const QByteArray pieces[] = {QByteArray::fromHex("010298959308"),
                                 QByteArray::fromHex("19E803041E0F030D98"),
                                 QByteArray::fromHex("989594015401020354040506")};
    for (const QByteArray &piece : pieces) {
        QCOMPARE(::write(line, piece.constData(), size_t(piece.size())), ssize_t(piece.size()));
        QTest::qWait(20);
    }
    ::close(line);

    QTRY_COMPARE(dongle.frames().size(), 2);
    QCOMPARE(dongle.frames().at(0), frameFromHex("9895930819E803041E0F030D"));
    QCOMPARE(dongle.frames().at(1), frameFromHex("989594015401020354040506"));
    QByteArray skippedBytes;
    for (const QList<QVariant> &signal : skipped)
        skippedBytes += signal.at(0).toByteArray();
    QCOMPARE(skippedBytes.toHex(), QByteArray("010298"));
}

void DongleEmulatorTest::exchange_data()
{
    using Build = SettingTransaction::FrameBuilder;
    QTest::addColumn<Build>("build");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("words");
    QTest::addColumn<DongleOptions>("dongle");
    QTest::addColumn<bool>("acknowledged");
    QTest::addColumn<QByteArray>("logged");

    const Build general = [] { return SettingCodec::BuildGeneralFrame(exampleChoices()); };
    const Build unpicked = [] { return SettingCodec::BuildGeneralFrame({}); };
    const Build pair = [] {
        return SettingCodec::BuildPairFrame(1, {"1", "2", "3"}, {"4", "5", "6"});
    };
    const Build receiveTimeout = [] { return SettingCodec::BuildReceiveTimeoutFrame(5); };

    QTest::newRow("general, acknowledged")
        << general << QByteArray("9895930819E803041E0F030D")
        << "General: baud 115200, 7 data bits, EVEN, 2 stop bits, timeout 1000 ms, rate 2k, "
           "channel 15, -8 dBm, length 13"
        << DongleOptions{} << true << QByteArray("0000");
    QTest::newRow("pair, answered late")
        << pair << QByteArray("989594015401020354040506")
        << "Pair: mode 1 To Multi, master 1.2.3, slave 4.5.6" << DongleOptions{.delayMs = 100}
        << true << QByteArray("0000");
    QTest::newRow("receive timeout, answer split")
        << receiveTimeout << QByteArray("9895952C0100000000000000") << "Receive timeout: 300 ms"
        << DongleOptions{.splitMs = 30} << true << QByteArray("0000");
    QTest::newRow("answer with data behind")
        << unpicked << QByteArray("98959304000A00031E0A003F") << QString()
        << DongleOptions{.reply = QByteArray::fromHex("55aa3132")} << true
        << QByteArray("00003132");
    QTest::newRow("reversed answer")
        << unpicked << QByteArray("98959304000A00031E0A003F") << QString()
        << DongleOptions{.reply = QByteArray::fromHex("aa55")} << false << QByteArray("aa55");
    QTest::newRow("split, then something else")
        << unpicked << QByteArray("98959304000A00031E0A003F") << QString()
        << DongleOptions{.splitMs = 30, .reply = QByteArray::fromHex("5531")} << false
        << QByteArray("5531");
    QTest::newRow("silent") << unpicked << QByteArray("98959304000A00031E0A003F") << QString()
                            << DongleOptions{.silent = true} << false << QByteArray();
}

void DongleEmulatorTest::exchange()
{
    QFETCH(SettingTransaction::FrameBuilder, build);
    QFETCH(QByteArray, wire);
    QFETCH(QString, words);
    QFETCH(DongleOptions, dongle);
    QFETCH(bool, acknowledged);
    QFETCH(QByteArray, logged);

    PtyPair pty;
    QVERIFY(pty.isValid());
    DongleEmulator emulator(pty.masterFd(), dongle);
    QSignalSpy decoded(&emulator, &DongleEmulator::frameDecoded);
    Program program(pty.slavePath());
    QVERIFY(program.link->open(1));
    if (!acknowledged)
        program.transaction->setTimeoutInterval(300);

    QCOMPARE(program.transaction->send(build).result, SendResult::Sent);
    QTRY_COMPARE(program.acks + program.timeOuts, 1);
    QCOMPARE(emulator.received().toHex(), wire.toLower());
    QCOMPARE(decoded.size(), 1);
    if (!words.isEmpty())
        QCOMPARE(decoded.at(0).at(0).toString(), words);
    QCOMPARE(program.acks, acknowledged ? 1 : 0);
    QCOMPARE(program.logged.toHex(), logged);
    QVERIFY(!program.transaction->isWaiting());
}

void DongleEmulatorTest::refusedSettingSendsNothing()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DongleEmulator emulator(pty.masterFd());
    Program program(pty.slavePath());
    QVERIFY(program.link->open(1));

    const auto overRange = [] {
        return SettingCodec::BuildPairFrame(0, {"1", "256", "3"}, {"4", "5", "6"});
    };
    QCOMPARE(program.transaction->send(overRange).result, SendResult::OverRange);
    program.link->close();
    const auto general = [] { return SettingCodec::BuildGeneralFrame({}); };
    QCOMPARE(program.transaction->send(general).result, SendResult::PortClosed);

    QTest::qWait(50);
    QCOMPARE(emulator.received(), QByteArray());
    QVERIFY(!program.transaction->isWaiting());
}

void DongleEmulatorTest::commandLineProgram()
{
    // Its advertisement goes to a folder of the test's own.
    QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess dongle;
    dongle.setProcessEnvironment(environment);
    dongle.setProgram(QStringLiteral(VANTREL_DONGLE_PROGRAM));
    dongle.setArguments({QStringLiteral("--split"), QStringLiteral("20"), QStringLiteral("--send"),
                         QStringLiteral("31 32 0d 0a")});
    dongle.start();
    QVERIFY(dongle.waitForStarted());
    QTRY_VERIFY(dongle.canReadLine());
    const QString first = QString::fromLocal8Bit(dongle.readLine()).trimmed();
    QVERIFY2(first.startsWith(QLatin1String("Device: /dev/")), qPrintable(first));

    Program program(first.mid(8));
    QVERIFY(program.link->open(1));
    // The greeting first: read together with the answer's 0x55 in one chunk,
    // it would rightly keep that chunk from counting as an acknowledgement.
    QTRY_COMPARE(program.logged.toHex(), QByteArray("31320d0a"));
    QCOMPARE(
        program.transaction->send([] { return SettingCodec::BuildGeneralFrame(exampleChoices()); })
            .result,
        SendResult::Sent);
    QTRY_COMPARE(program.acks, 1);
    QCOMPARE(program.logged.toHex(), QByteArray("31320d0a0000"));

    QByteArray output;
    QTRY_VERIFY((output += dongle.readAll()).contains("-> AA"));
    QVERIFY(output.contains("<- General: baud 115200, 7 data bits, EVEN,"));
    QVERIFY(output.contains("-> 55\n"));

    dongle.terminate();
    QVERIFY(dongle.waitForFinished());
}

void DongleEmulatorTest::programListsItselfWhileItRuns()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess dongle;
    dongle.setProcessEnvironment(environment);
    dongle.setProgram(QStringLiteral(VANTREL_DONGLE_PROGRAM));
    dongle.start();
    QVERIFY(dongle.waitForStarted());
    QByteArray output;
    QTRY_VERIFY((output += dongle.readAll()).count('\n') >= 2);
    const QString device =
        QString::fromLocal8Bit(output.left(output.indexOf('\n'))).section(QLatin1Char(' '), 1);

    const QString folder = runtime.filePath(QStringLiteral("vantrel"));
    const QStringList links = QDir(folder).entryList(QDir::System | QDir::NoDotAndDotDot);
    QCOMPARE(links, QStringList{QStringLiteral("dongle-emulator.%1").arg(dongle.processId())});
    const QString link = folder + QLatin1Char('/') + links.first();
    QCOMPARE(QFile::symLinkTarget(link), device);
    QVERIFY2(output.contains(link.toLocal8Bit()), output.constData());

    // Ended as a terminal ends it, or the way a test does: the link goes.
    dongle.terminate();
    QVERIFY(dongle.waitForFinished());
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(DongleEmulatorTest)
#include "DongleEmulatorTest.moc"
