#include "tools/DongleEmulator.h"
#include "tools/SetArguments.h"

#include "support/FrameCases.h"
#include "support/ProgramRun.h"
#include "support/PtyPair.h"
#include "support/TestBytes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using TestBytes::hex;

namespace {

using Run = ProgramRun;

Run runSet(const QStringList &arguments,
           const QString &program = QStringLiteral(VANTREL_SET_PROGRAM),
           const QStringList &before = {})
{
    return runProgram(program, before + arguments);
}

QList<QByteArray> framesOf(const DongleEmulator &dongle)
{
    QList<QByteArray> frames;
    for (const SettingCodec::ConfigFrame &frame : dongle.frames())
        frames << QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
    return frames;
}

const QByteArray kGeneral = hex("98 95 93 04 00 0A 00 03 1E 05 00 3F"); // --channel 5
const QByteArray kPair = hex("98 95 94 00 54 01 02 03 54 00 00 00");    // --master 1,2,3
const QByteArray kTimeout = hex("98 95 95 E8 03 00 00 00 00 00 00 00"); // --receive-timeout 1000
const QStringList kThreePages = {"--receive-timeout", "1000", "--master", "1,2,3",
                                 "--channel",         "5"};

} // namespace

// The program as a script runs it: its output, its exit status and the
// bytes the dongle sees.
class VantrelSetTest : public QObject
{
    Q_OBJECT

private slots:
    void dryRunMatchesTheWindow_data();
    void dryRunMatchesTheWindow();
    void dryRunSeveralPages();
    void help();
    void exchanges_data();
    void exchanges();
    void severalFramesInPageOrder();
    void stopsAtTheFirstFailure();
    void retryRightAfterALateAnswer();
    void silenceFailsAfterTheFullWait();
    void refusedSendsNothing_data();
    void refusedSendsNothing();
    void portErrors_data();
    void portErrors();
    void busyDevice_data();
    void busyDevice();
    void profileThatCannotBeWritten();
    void hangUpWhileWaiting();
    void permissionDeniedNamesTheGroup();
    void reportRefusedAtOnce_data();
    void reportRefusedAtOnce();

private:
    PrivateRuntimeFolder m_runtime; // where unanswered frames are noted
};

void VantrelSetTest::dryRunMatchesTheWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("frame");
    for (const FrameCase &c : frameCases())
        QTest::newRow(c.name) << c.arguments << c.frame;
}

void VantrelSetTest::dryRunMatchesTheWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, frame);
    const Run run = runSet(QStringList{"--dry-run"} + arguments);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, frame.toHex(' ').toUpper() + '\n');
}

void VantrelSetTest::dryRunSeveralPages()
{
    const Run run = runSet(QStringList{"--dry-run"} + kThreePages);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, kGeneral.toHex(' ').toUpper() + '\n' + kPair.toHex(' ').toUpper() + '\n' +
                          kTimeout.toHex(' ').toUpper() + '\n');
}

void VantrelSetTest::help()
{
    const Run run = runSet({"--help"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(QString::fromLocal8Bit(run.out), SetArguments::helpText());
}

void VantrelSetTest::exchanges_data()
{
    QTest::addColumn<DongleOptions>("dongle");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("said"); // on stderr, with --verbose

    const QByteArray ok = "Setting OK !!\n";
    const QByteArray fail = "Setting Fail !!\n";
    QTest::newRow("acknowledged") << DongleOptions{} << 1000 << 0 << ok << QByteArray("<- 55 AA");
    QTest::newRow("answered late, within the wait")
        << DongleOptions{.delayMs = 300} << 1500 << 0 << ok << QByteArray("<- 55 AA");
    QTest::newRow("acknowledgement split")
        << DongleOptions{.splitMs = 150} << 1000 << 0 << ok << QByteArray("<- 55\n<- AA");
    QTest::newRow("acknowledgement with data behind")
        << DongleOptions{.reply = hex("55 AA 31 32")} << 1000 << 0 << ok
        << QByteArray("<- 55 AA 31 32");
    QTest::newRow("silent") << DongleOptions{.silent = true} << 300 << 1 << fail
                            << QByteArray("within 300 ms");
    QTest::newRow("answered too late")
        << DongleOptions{.delayMs = 1000} << 300 << 1 << fail << QByteArray("General frame");
    QTest::newRow("reversed") << DongleOptions{.reply = hex("AA 55")} << 300 << 1 << fail
                              << QByteArray("<- AA 55");
    QTest::newRow("lone 55") << DongleOptions{.reply = hex("55")} << 300 << 1 << fail
                             << QByteArray("<- 55\n");
    QTest::newRow("55 then something else") << DongleOptions{.splitMs = 50, .reply = hex("55 31")}
                                            << 500 << 1 << fail << QByteArray("<- 31");
    QTest::newRow("something else first")
        << DongleOptions{.reply = hex("31 55 AA")} << 300 << 1 << fail << QByteArray("<- 31 55 AA");
}

void VantrelSetTest::exchanges()
{
    QFETCH(DongleOptions, dongle);
    QFETCH(int, waitMs);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, said);

    PtyPair pty;
    QVERIFY(pty.isValid());
    DongleEmulator emulator(pty.masterFd(), dongle);
    const Run run = runSet(
        {pty.slavePath(), "--channel", "5", "--wait-ms", QString::number(waitMs), "--verbose"});
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QVERIFY2(run.err.contains("-> " + kGeneral.toHex(' ').toUpper()), run.err.constData());
    QVERIFY2(run.err.contains(said), run.err.constData());
    QCOMPARE(framesOf(emulator), QList<QByteArray>{kGeneral});
}

void VantrelSetTest::severalFramesInPageOrder()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    // Late answers: each frame must wait for the answer to the one before.
    DongleEmulator emulator(pty.masterFd(), DongleOptions{.delayMs = 100});
    int answers = 0;
    QList<int> answersBeforeFrame;
    connect(&emulator, &DongleEmulator::replied, this, [&answers] { ++answers; });
    connect(&emulator, &DongleEmulator::frameDecoded, this, [&] { answersBeforeFrame << answers; });
    const Run run = runSet(QStringList{pty.slavePath(), "--wait-ms", "1500"} + kThreePages);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QByteArray("Setting OK !!\nSetting OK !!\nSetting OK !!\n"));
    QCOMPARE(framesOf(emulator), (QList<QByteArray>{kGeneral, kPair, kTimeout}));
    QCOMPARE(answersBeforeFrame, (QList<int>{0, 1, 2}));
}

void VantrelSetTest::stopsAtTheFirstFailure()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DongleEmulator emulator(pty.masterFd());
    // The dongle takes the first frame and ignores the second.
    connect(&emulator, &DongleEmulator::frameDecoded, this, [&emulator] {
        if (emulator.frames().size() == 2)
            emulator.setOptions({.silent = true});
    });
    const Run run = runSet(QStringList{pty.slavePath(), "--wait-ms", "300"} + kThreePages);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray("Setting OK !!\nSetting Fail !!\n"));
    QVERIFY2(run.err.contains("Advanced frame"), run.err.constData());
    QTest::qWait(100);
    QCOMPARE(framesOf(emulator), (QList<QByteArray>{kGeneral, kPair}));
}

void VantrelSetTest::retryRightAfterALateAnswer()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    // Its first frame answered too late for its run, and no frame after it.
    DongleEmulator emulator(pty.masterFd(), DongleOptions{.delayMs = 1500, .onlyFrame = 1});
    const QStringList timing{"--wait-ms", "1000", "--late-ms", "2500", "--verbose"};
    QCOMPARE(runSet(QStringList{pty.slavePath(), "--channel", "5"} + timing).exitCode, 1);
    const Run retry = runSet(QStringList{pty.slavePath(), "--channel", "6"} + timing);
    QCOMPARE(retry.exitCode, 1);
    QCOMPARE(retry.out, QByteArray("Setting Fail !!\n"));
    // The late answer came while the retry waited, before its frame.
    const qsizetype lateAnswer = retry.err.indexOf("<- 55 AA");
    QVERIFY2(lateAnswer >= 0 && lateAnswer < retry.err.indexOf("-> "), retry.err.constData());
    QCOMPARE(framesOf(emulator).size(), 2);
}

void VantrelSetTest::silenceFailsAfterTheFullWait()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    DongleEmulator emulator(pty.masterFd(), DongleOptions{.silent = true});
    QElapsedTimer clock;
    clock.start();
    const Run run = runSet({pty.slavePath(), "--receive-timeout", "1000"});
    const qint64 waited = clock.elapsed();
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out, QByteArray("Setting Fail !!\n"));
    QVERIFY2(run.err.contains("within 2500 ms"), run.err.constData());
    // Not early: a slow dongle is given the whole wait.
    QVERIFY2(waited >= 2500, qPrintable(QString::number(waited)));
    QCOMPARE(framesOf(emulator), QList<QByteArray>{kTimeout});
}

void VantrelSetTest::refusedSendsNothing_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("said");

    QTest::newRow("ID over range")
        << QStringList{"--channel", "5", "--master", "1,2,256"}
        << QByteArray("\"256\" is refused.\nOver Range!!\nCheck the setting value required "
                      "between 0 to 255\n");
    QTest::newRow("ID over range before rounding")
        << QStringList{"--master", "255.4,0,0"}
        << QByteArray("\"255.4\" is refused.\nOver Range!!");
    QTest::newRow("ID not a number") << QStringList{"--slave", "a,b,c"} << QByteArray("\"a\"");
    QTest::newRow("value not listed")
        << QStringList{"--receive-timeout", "300", "--power", "20"} << QByteArray("-8 dBm");
    QTest::newRow("no setting") << QStringList{"--verbose"} << QByteArray("No setting");
}

void VantrelSetTest::refusedSendsNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, said);
    PtyPair pty;
    QVERIFY(pty.isValid());
    const Run run = runSet(QStringList{pty.slavePath()} + arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.contains(said), run.err.constData());
    QCOMPARE(pty.received(), QByteArray());
}

void VantrelSetTest::portErrors_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QByteArray>("said");

    QTest::newRow("missing") << "/nonexistent/ttyUSB9"
                             << QByteArray("Cannot open /nonexistent/ttyUSB9: No such file");
    QTest::newRow("bare name of a missing device")
        << "ttyVANTRELTEST" << QByteArray("Cannot open /dev/ttyVANTRELTEST: No such file");
    QTest::newRow("a folder") << "/tmp"
                              << QByteArray("Cannot open /tmp: it is not a serial device");
    QTest::newRow("a plain file") << "<file>" << QByteArray("it is not a serial device");
    QTest::newRow("a device that is no terminal")
        << "/dev/null" << QByteArray("Cannot open /dev/null: ");
}

void VantrelSetTest::portErrors()
{
    QFETCH(QString, device);
    QFETCH(QByteArray, said);
    QTemporaryDir dir;
    if (device == "<file>") {
        device = dir.filePath("ttyUSB0");
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const Run run = runSet({device, "--channel", "5"});
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.startsWith("vantrel-set: "), run.err.constData());
    QVERIFY2(run.err.contains(said), run.err.constData());
    if (device.startsWith(dir.path())) {
        QFile file(device);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray());
    }
}

void VantrelSetTest::busyDevice_data()
{
    QTest::addColumn<bool>("byLink"); // the device is named by a link to it
    QTest::newRow("held by the window") << false;
    QTest::newRow("named by a link, held by its own name") << true;
}

void VantrelSetTest::busyDevice()
{
    QFETCH(bool, byLink);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QSerialPort window;
    window.setPortName(pty.slavePath());
    QVERIFY(window.open(QIODevice::ReadWrite));
    QTemporaryDir dir;
    const QString device = byLink ? dir.filePath("ttyLINK") : pty.slavePath();
    QVERIFY(!byLink || QFile::link(pty.slavePath(), device));
    const Run run = runSet({device, "--channel", "5"});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("busy"), run.err.constData());
    QVERIFY2(run.err.contains(device.toLocal8Bit()), run.err.constData());
    QCOMPARE(pty.received(), QByteArray());
}

// A file that could not be written, not a port.
void VantrelSetTest::profileThatCannotBeWritten()
{
    QTemporaryDir dir;
    const QString profile = dir.filePath("no/line.profile");
    const Run run = runSet({"--save-profile", profile, "--channel", "5"});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.contains(profile.toLocal8Bit()), run.err.constData());
}

void VantrelSetTest::hangUpWhileWaiting()
{
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    const QString device = pty->slavePath();
    QProcess process;
    process.start(QStringLiteral(VANTREL_SET_PROGRAM), {device, "--channel", "5"});
    QTRY_COMPARE(pty->received(), kGeneral);
    // The dongle is unplugged while the program waits for its answer.
    pty->closeMaster();
    QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(process.exitCode(), 3);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains(device.toLocal8Bit()), err.constData());
    QVERIFY2(!err.contains("port 1"), err.constData());
}

void VantrelSetTest::permissionDeniedNamesTheGroup()
{
    // Needs another user to run as; as root the device would simply open.
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty())
        QSKIP("needs root and setpriv to run the program as another user");
    PtyPair pty;
    QVERIFY(pty.isValid());
    struct stat st = {};
    QVERIFY(::stat(pty.slavePath().toLocal8Bit().constData(), &st) == 0);
    QVERIFY2((st.st_mode & S_IWOTH) == 0, "the pseudo-terminal is open to everyone");
    const Run run = runSet(
        {pty.slavePath(), "--channel", "5"}, setpriv,
        {"--reuid=65534", "--regid=65534", "--clear-groups", QStringLiteral(VANTREL_SET_PROGRAM)});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("permission denied"), run.err.constData());
    QVERIFY2(run.err.contains("sudo usermod -aG "), run.err.constData());
    QCOMPARE(pty.received(), QByteArray());
}

void VantrelSetTest::reportRefusedAtOnce_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("a FIFO") << "<fifo>" << 4 << QByteArray("FIFO");
    QTest::newRow("a folder") << "<folder>" << 4 << QByteArray("folder");
    QTest::newRow("a device") << "/dev/full" << 4 << QByteArray("device");
    QTest::newRow("a link to the profile") << "<link>" << 2 << QByteArray("profile");
}

// Judged by what the name leads to, at once: nothing waits, nothing is sent.
void VantrelSetTest::reportRefusedAtOnce()
{
    QFETCH(QString, report);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, said);
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("line.profile"));
    QFile file(profile);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("vantrel-set profile 1\nchannel = 5\n"));
    file.close();
    if (report == QLatin1String("<fifo>")) {
        report = dir.filePath(QStringLiteral("units.csv"));
        QCOMPARE(::mkfifo(qPrintable(report), 0600), 0);
    } else if (report == QLatin1String("<folder>")) {
        report = dir.path();
    } else if (report == QLatin1String("<link>")) {
        report = dir.filePath(QStringLiteral("units.csv"));
        QVERIFY(QFile::link(profile, report));
    }
    PtyPair pty;
    QVERIFY(pty.isValid());
    const Run run = runSet({pty.slavePath(), "--profile", profile, "--report", report});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(report.toLocal8Bit()) && run.err.contains(said), run.err.constData());
    QCOMPARE(pty.received(), QByteArray());
}

QTEST_GUILESS_MAIN(VantrelSetTest)
#include "VantrelSetTest.moc"
