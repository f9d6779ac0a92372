#include "log/ReceiveLog.h"
#include "serial/SerialLink.h"
#include "support/PtyPair.h"
#include "support/ScratchFileSystem.h"
#include "support/WindowDriver.h"
#include "tools/DongleEmulator.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace {

// Shorter than the real 2500 ms to keep the suite quick; the operator below
// reads every box for longer than that, so anything that falls due while a
// box is open does so under the box.
constexpr int kAckWaitMs = 300;
constexpr int kReadingMs = 450;

QString systemText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

using namespace TestBytes;

// Faults of the line, the dongle and the disk, seen from the window: each
// ends with one clear account in boxes opened one at a time, a caption and
// picture that tell the truth, a log that kept every byte it took, and a
// program that still scans, opens and sets.
class Form1FaultTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void vanishedBetweenScanAndOpen();
    void hangUpDuringSettingWait_data();
    void hangUpDuringSettingWait();
    void hangUpDuringFlood_data();
    void hangUpDuringFlood();
    void failedWrite_data();
    void failedWrite();
    void oddAnswers_data();
    void oddAnswers();
    void saveTargetFails_data();
    void saveTargetFails();
    void verdictUnderAnotherBox_data();
    void verdictUnderAnotherBox();
    void floodUnderABox();
    void heldByteStaysWithItsSetting();
    void heldByteGoesWithTheLog_data();
    void heldByteGoesWithTheLog();

private:
    void operatorReadsEveryBox();
    [[nodiscard]] SerialLink *link() { return ui.window()->findChild<SerialLink *>(); }
    // The window shows a closed port, and nothing more falls due.
    void showsClosedAndQuiet();
    // A fresh scan lists what is there, and a Setting on pty gets its answer.
    void stillSets(PtyPair &pty, const QString &number, const QStringList &listed);
    // Port 3's line hangs up and its device is gone.
    void unplugThree();

    WindowDriver ui;
    std::unique_ptr<ThreeAndSeven> m_rig;
    QString m_threePath;
    QTemporaryDir m_dir;
};

void Form1FaultTest::init()
{
    m_rig = std::make_unique<ThreeAndSeven>();
    QVERIFY(m_rig->isValid());
    QVERIFY(m_dir.isValid());
    // Port 3 is reached through a link of the test's own: the number of a
    // pseudo-terminal that goes away is handed to the next one at once, which
    // may be another test's, so the device node itself could come back.
    m_threePath = m_dir.filePath(QStringLiteral("ttyTEST3"));
    QFile::remove(m_threePath);
    QVERIFY(QFile::link(m_rig->three->slavePath(), m_threePath));
    (*m_rig->ports)[2].location = m_threePath;
    ui.start(m_rig->ports, kAckWaitMs);
}

void Form1FaultTest::cleanup()
{
    ui.boxes.whileOpen = nullptr;
    ui.stop();
    m_rig.reset();
}

void Form1FaultTest::operatorReadsEveryBox()
{
    // A real box runs the event loop until the operator dismisses it.
    ui.boxes.whileOpen = [](const RecordingBoxes::Shown &) { QTest::qWait(kReadingMs); };
}

void Form1FaultTest::showsClosedAndQuiet()
{
    QCOMPARE(ui.caption(), QStringLiteral("Open COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgNotConnected"));
    QVERIFY(!ui.waiting());
    const qsizetype boxes = ui.boxes.shown.size();
    QTest::qWait(kAckWaitMs + 200);
    QCOMPARE(ui.boxes.shown.size(), boxes);
}

void Form1FaultTest::stillSets(PtyPair &pty, const QString &number, const QStringList &listed)
{
    ui.boxes.whileOpen = nullptr;
    ui.boxes.shown.clear();
    ui.click("Command1");
    QCOMPARE(ui.listedPorts(), listed);
    if (ui.caption() == QStringLiteral("Open COM Port")) {
        ui.pick(number);
        ui.click("Command3");
    }
    QCOMPARE(ui.boxes.texts(), QStringList());
    QCOMPARE(ui.caption(), QStringLiteral("Close COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
    pty.clearReceived();
    DongleEmulator dongle(pty.masterFd());
    ui.click("Command7");
    QTRY_COMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Setting OK !!")});
    QCOMPARE(dongle.frames().size(), 1);
    QTRY_COMPARE(ui.loggedBytes().toHex(' '), hex("00 00").toHex(' '));
}

void Form1FaultTest::unplugThree()
{
    m_rig->three->closeMaster();
    QFile::remove(m_threePath);
}

void Form1FaultTest::vanishedBetweenScanAndOpen()
{
    ui.click("Command1");
    QCOMPARE(ui.listedPorts(), (QStringList{"3", "7"}));
    ui.pick("3");
    const QString path = m_threePath;
    unplugThree();

    ui.click("Command3");
    QCOMPARE(ui.boxes.shown.size(), 1);
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    const QString text = ui.boxes.shown[0].text;
    QVERIFY2(text.contains("port 3") && text.contains(path) && text.contains("Auto Scan"),
             qPrintable(text));
    showsClosedAndQuiet();

    // The next scan no longer offers it.
    stillSets(*m_rig->seven, "7", {"7"});
}

void Form1FaultTest::hangUpDuringSettingWait_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("logged");

    QTest::newRow("no answer yet") << QByteArray() << QByteArray();
    QTest::newRow("text, then hang-up") << QByteArray("ok?\r") << QByteArray("ok?\r\n");
    // A lone 0x55 waits for its 0xAA; the hang-up must not swallow it.
    QTest::newRow("half an answer") << hex("55") << hex("55");
}

void Form1FaultTest::hangUpDuringSettingWait()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, logged);
    ui.openPort(3);
    const QString path = m_threePath;
    operatorReadsEveryBox();
    ui.click("Command2");
    QTRY_COMPARE(m_rig->three->received().size(), 12);
    QVERIFY(ui.waiting());
    if (!before.isEmpty()) {
        // Taken from the line before it goes down (a lone 0x55 is held back,
        // so the log alone cannot tell).
        QSignalSpy taken(link(), &SerialLink::chunkReceived);
        QVERIFY(m_rig->three->write(before));
        QVERIFY(taken.wait());
    }
    unplugThree();

    // One account of the loss, then the verdict on the Setting that can now
    // never be answered, each on its own.
    QTRY_COMPARE(ui.boxes.shown.size(), 2);
    const RecordingBoxes::Shown loss = ui.boxes.shown[0];
    QCOMPARE(loss.title, QStringLiteral("Warning"));
    QVERIFY2(loss.text.contains("port 3") && loss.text.contains(path) &&
                 loss.text.contains("closed"),
             qPrintable(loss.text));
    QCOMPARE(ui.boxes.shown[1].text, QStringLiteral("Setting Fail !!"));
    QCOMPARE(ui.boxes.shown[1].title, QStringLiteral("Warning"));
    QCOMPARE(ui.boxes.mostOpenAtOnce(), 1);
    showsClosedAndQuiet();
    QCOMPARE(ui.loggedBytes().toHex(' '), logged.toHex(' '));

    stillSets(*m_rig->seven, "7", {"7"});
}

void Form1FaultTest::hangUpDuringFlood_data()
{
    QTest::addColumn<bool>("underOkBox");
    QTest::newRow("idle") << false;
    QTest::newRow("under the Setting OK box") << true;
}

void Form1FaultTest::hangUpDuringFlood()
{
    QFETCH(bool, underOkBox);
    ui.openPort(3);
    // Below the log's trim threshold, so the whole stream stays in view.
    const QByteArray flood = numberedLines(12000);
    const qsizetype surelyTaken = 6000; // waited for before the hang-up
    qsizetype written = 0;
    auto pour = [&](qsizetype upTo) {
        for (; written < upTo; written += 250) {
            QVERIFY(
                m_rig->three->write(flood.mid(written, std::min<qsizetype>(250, upTo - written))));
            QTest::qWait(1);
        }
        written = upTo;
    };

    QByteArray prefix;
    if (underOkBox) {
        ui.boxes.whileOpen = [&](const RecordingBoxes::Shown &shown) {
            if (shown.text != QStringLiteral("Setting OK !!"))
                return;
            pour(surelyTaken);
            // Taken from the line (after the acknowledgement), not yet logged.
            QTRY_COMPARE(link()->bytesRead(), 2 + surelyTaken);
            pour(surelyTaken + 3000);
            unplugThree();
            QTest::qWait(100);
        };
        ui.click("Command2");
        QTRY_COMPARE(m_rig->three->received().size(), 12);
        QVERIFY(m_rig->three->write(hex("55 AA")));
        QTRY_VERIFY(!ui.boxes.shown.isEmpty());
        prefix = hex("00 00");
    } else {
        pour(surelyTaken);
        QTRY_COMPARE(ui.count(), QString::number(surelyTaken));
        pour(surelyTaken + 3000);
        unplugThree();
    }

    QTRY_COMPARE(ui.boxes.shown.size(), underOkBox ? 2 : 1);
    if (underOkBox)
        QCOMPARE(ui.boxes.shown.takeFirst().text, QStringLiteral("Setting OK !!"));
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    QVERIFY2(ui.boxes.shown[0].text.contains("closed"), qPrintable(ui.boxes.shown[0].text));
    showsClosedAndQuiet();

    // Everything read before the hang-up is in the log, in order and once;
    // what the kernel still held when the line went down may be gone.
    const QByteArray log = ui.loggedBytes();
    QVERIFY2(log.startsWith(prefix), log.left(16).toHex(' '));
    const QByteArray kept = log.mid(prefix.size());
    QVERIFY2(kept.size() >= surelyTaken, qPrintable(QString::number(kept.size())));
    QVERIFY(kept == flood.left(kept.size()));
    QTRY_COMPARE(ui.count(), QString::number(log.size()));

    stillSets(*m_rig->seven, "7", {"7"});
}

void Form1FaultTest::failedWrite_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("line hung up just before the press") << "hung up";
    QTest::newRow("second press, line hung up meanwhile") << "second press";
    QTest::newRow("line full") << "full";
}

void Form1FaultTest::failedWrite()
{
    QFETCH(QString, how);
    ui.openPort(3);
    const QString path = m_threePath;
    operatorReadsEveryBox();

    if (how == "full") {
        // The far end stopped reading: the device is there, the frame cannot
        // go out now. Nothing is sent, nothing awaited, the port stays open.
        QVERIFY(m_rig->three->fillLine() > 0);
        ui.click("Command2");
        QCOMPARE(ui.boxes.shown.size(), 1);
        const RecordingBoxes::Shown failure = ui.boxes.shown[0];
        QCOMPARE(failure.title, QStringLiteral("Warning"));
        QVERIFY2(failure.text.contains("Cannot write to port 3") && failure.text.contains(path) &&
                     !failure.text.contains("closed"),
                 qPrintable(failure.text));
        QVERIFY(!ui.waiting());
        QCOMPARE(ui.caption(), QStringLiteral("Close COM Port"));
        QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));
        QTest::qWait(kAckWaitMs + 200);
        QCOMPARE(ui.boxes.shown.size(), 1);

        // Once the far end reads again, so does the next Setting.
        m_rig->three->clearReceived();
        stillSets(*m_rig->three, "3", {"3", "7"});
        return;
    }

    QStringList expected{QString()};
    if (how == "second press") {
        ui.click("Command2");
        QTRY_COMPARE(m_rig->three->received().size(), 12);
        QVERIFY(ui.waiting());
        expected << QStringLiteral("Setting Fail !!");
    }
    // Before the event loop has had a chance to notice the hang-up.
    unplugThree();
    ui.click("Command2");

    QTRY_COMPARE(ui.boxes.shown.size(), expected.size());
    const RecordingBoxes::Shown failure = ui.boxes.shown[0];
    QCOMPARE(failure.title, QStringLiteral("Warning"));
    QVERIFY2(failure.text.contains("Cannot write to port 3") && failure.text.contains(path) &&
                 failure.text.contains("closed"),
             qPrintable(failure.text));
    expected[0] = failure.text;
    QCOMPARE(ui.boxes.texts(), expected);
    QCOMPARE(ui.boxes.mostOpenAtOnce(), 1);
    showsClosedAndQuiet();

    stillSets(*m_rig->seven, "7", {"7"});
}

void Form1FaultTest::oddAnswers_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("splitMs");
    QTest::addColumn<int>("againAfterMs"); // >= 0: the reply comes a second time
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QByteArray>("logged");

    const QString ok = QStringLiteral("Setting OK !!");
    const QString fail = QStringLiteral("Setting Fail !!");
    QTest::newRow("garbage") << hex("AA 55 00 FF 0D 0A 80 31 55 AA 0A 0D") << 0 << -1 << -1
                             << QStringList{fail} << hex("AA 55 00 FF 0D 0A 80 31 55 AA 0D 0A");
    QTest::newRow("garbage that starts like an answer")
        << hex("55 00 AA") << 0 << -1 << -1 << QStringList{fail} << hex("55 00 AA");
    QByteArray all = everyByteValue();
    all = all.mid(0x56) + all.left(0x56); // 0x55 last, so no read starts with it
    QTest::newRow("every byte value")
        << all << 0 << -1 << -1 << QStringList{fail} << ReceiveLog::normalised(all);
    QTest::newRow("twice in one read")
        << hex("55 AA 55 AA") << 0 << -1 << -1 << QStringList{ok} << hex("00 00 55 AA");
    // Each acknowledging read is reported, the second one after the first
    // box is closed.
    QTest::newRow("twice, apart") << hex("55 AA") << 0 << -1 << 100 << QStringList{ok, ok}
                                  << hex("00 00 00 00");
    // The dongle took the setting after all: the operator hears that too.
    QTest::newRow("after the time-out")
        << hex("55 AA") << kAckWaitMs + 100 << -1 << -1 << QStringList{fail, ok} << hex("00 00");
    QTest::newRow("after the time-out, split")
        << hex("55 AA") << kAckWaitMs + 100 << 30 << -1 << QStringList{fail} << hex("55 AA");
}

void Form1FaultTest::oddAnswers()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, delayMs);
    QFETCH(int, splitMs);
    QFETCH(int, againAfterMs);
    QFETCH(QStringList, boxes);
    QFETCH(QByteArray, logged);

    ui.openPort(3);
    auto dongle = std::make_unique<DongleEmulator>(
        m_rig->three->masterFd(),
        DongleOptions{.delayMs = delayMs, .splitMs = splitMs, .reply = reply});
    bool repeated = false;
    connect(dongle.get(), &DongleEmulator::replied, this, [&] {
        if (againAfterMs < 0 || std::exchange(repeated, true))
            return;
        QTimer::singleShot(againAfterMs, dongle.get(), [&] { dongle->send(reply); });
    });
    operatorReadsEveryBox();
    ui.click("Command2");

    QTRY_COMPARE_WITH_TIMEOUT(ui.boxes.texts(), boxes, 5000);
    for (const RecordingBoxes::Shown &shown : ui.boxes.shown)
        QCOMPARE(shown.title, shown.text == "Setting OK !!" ? QStringLiteral("Notice")
                                                            : QStringLiteral("Warning"));
    QCOMPARE(ui.boxes.mostOpenAtOnce(), 1);
    QTRY_COMPARE(ui.loggedBytes().toHex(' '), logged.toHex(' '));
    QTRY_COMPARE(ui.count(), QString::number(againAfterMs < 0 ? reply.size() : 2 * reply.size()));
    QVERIFY(!ui.waiting());
    QTest::qWait(kAckWaitMs + 200);
    QCOMPARE(ui.boxes.texts(), boxes);
    QCOMPARE(ui.caption(), QStringLiteral("Close COM Port"));
    QCOMPARE(ui.statusFront(), QStringLiteral("imgConnected"));

    dongle.reset();
    stillSets(*m_rig->three, "3", {"3", "7"});
}

void Form1FaultTest::saveTargetFails_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("oldFile");
    QTest::newRow("full file system, new file") << false << false;
    QTest::newRow("full file system, old file") << false << true;
    QTest::newRow("read-only file system, new file") << true << false;
    QTest::newRow("read-only file system, old file") << true << true;
}

void Form1FaultTest::saveTargetFails()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, oldFile);
    ui.openPort(3);
    const QByteArray received = numberedLines(5000);
    QVERIFY(m_rig->three->write(received));
    QTRY_COMPARE(ui.count(), QString::number(received.size()));

    ScratchFileSystem target;
    const QString path = target.filePath(QStringLiteral("log.txt"));
    const QByteArray old("old log\r\n");
    if (oldFile) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
    }
    std::optional<FileSizeLimit> limit;
    QString reason; // what the box must say, where the test knows it
    if (readOnly) {
        if (!target.makeReadOnly()) {
            QSKIP("Cannot mount a read-only file system here, and this process writes "
                  "through a read-only folder's permissions");
        }
        // Qt checks an existing file before it tries to write.
        if (target.isMounted())
            reason = oldFile ? path : systemText(EROFS);
    } else if (target.fill()) {
        reason = systemText(ENOSPC);
    } else {
        // Without a file system of our own a size limit fails the write the
        // same way a full disk does.
        qWarning("No tmpfs (%s): a file size limit stands in", qPrintable(target.why()));
        limit.emplace(4096);
        QVERIFY(limit->isSet());
        reason = systemText(EFBIG);
    }
    const QStringList before = QDir(target.path()).entryList(QDir::Files | QDir::Hidden);

    ui.save.answers = {path};
    ui.click("CmdSave");
    limit.reset();

    QCOMPARE(ui.boxes.shown.size(), 1);
    QCOMPARE(ui.boxes.shown[0].title, QStringLiteral("Warning"));
    const QString text = ui.boxes.shown[0].text;
    QVERIFY2(text.startsWith("Saved Failure !!\n") && text.size() > 17 && text.contains(reason),
             qPrintable(text));
    // The old file is whole and no half-written one is left beside it.
    if (oldFile)
        QCOMPARE(readFile(path), old);
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), before);
    ui.boxes.shown.clear();

    // Nothing was lost from the log, and it saves elsewhere.
    QCOMPARE(ui.loggedBytes(), received);
    QCOMPARE(ui.count(), QString::number(received.size()));
    stillSets(*m_rig->three, "3", {"3", "7"});
}

void Form1FaultTest::verdictUnderAnotherBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("ID over range") << "over range";
    QTest::newRow("save cancelled") << "save cancelled";
}

void Form1FaultTest::verdictUnderAnotherBox()
{
    QFETCH(QString, box);
    ui.openPort(3);
    DongleEmulator dongle(m_rig->three->masterFd(), DongleOptions{.delayMs = kAckWaitMs / 3});
    // The second box stays open well past the deadline; the answer comes
    // in time, under it.
    ui.boxes.whileOpen = [](const RecordingBoxes::Shown &) { QTest::qWait(3 * kAckWaitMs); };
    ui.click("Command7");
    if (box == "over range") {
        ui.find<QLineEdit>("SlaveID2")->setText(QStringLiteral("999"));
        ui.click("Command4");
    } else {
        ui.click("CmdSave");
    }
    QTRY_VERIFY(ui.boxes.texts().contains(QStringLiteral("Setting OK !!")));
    QTest::qWait(2 * kAckWaitMs);
    QCOMPARE(ui.boxes.texts().count(QStringLiteral("Setting OK !!")), 1);
    QVERIFY(!ui.boxes.texts().contains(QStringLiteral("Setting Fail !!")));
    QCOMPARE(ui.boxes.shown.size(), 2);
    QCOMPARE(ui.boxes.mostOpenAtOnce(), 1);
    QCOMPARE(dongle.frames().size(), 1);
}

void Form1FaultTest::floodUnderABox()
{
    ui.openPort(3);
    DongleEmulator dongle(m_rig->three->masterFd());
    QSignalSpy chunks(link(), &SerialLink::chunkReceived);
    // Far beyond what the kernel holds for a line that is not read: the
    // writer can finish only if the port is read while the box is open.
    const QByteArray flood = numberedLines(300 * 1024);
    bool allWrittenUnderTheBox = false;
    ui.boxes.whileOpen = [&](const RecordingBoxes::Shown &) {
        BackgroundWriter writer(m_rig->three->masterFd(), flood);
        QTRY_VERIFY_WITH_TIMEOUT(writer.done(), 20000);
        allWrittenUnderTheBox = true;
        QTRY_COMPARE(link()->bytesRead(), 2 + flood.size());
    };
    ui.click("Command2");
    QTRY_COMPARE(ui.boxes.shown.size(), 1);
    ui.boxes.whileOpen = nullptr;
    QVERIFY(allWrittenUnderTheBox);

    // The same chunks appended one by one, the acknowledgement blanked.
    ReceiveLog oneByOne;
    for (const QList<QVariant> &signal : std::as_const(chunks)) {
        QByteArray chunk = signal.first().toByteArray();
        if (chunk.startsWith(hex("55 AA")))
            chunk.replace(0, 2, hex("00 00"));
        oneByOne.AppendLog(chunk);
    }
    QTRY_COMPARE(ui.count(), QString::number(oneByOne.dataCount()));
    const QByteArray logged = ui.loggedBytes();
    QCOMPARE(logged.size(), oneByOne.text().size());
    QVERIFY(logged == oneByOne.text());
    QVERIFY(flood.endsWith(logged.right(4096)));
}

void Form1FaultTest::heldByteStaysWithItsSetting()
{
    ui.openPort(3);
    ui.click("Command7");
    QTRY_COMPARE(m_rig->three->received().size(), 12);
    QVERIFY(m_rig->three->write(hex("55")));
    QTRY_COMPARE(link()->bytesRead(), 1);
    QTRY_COMPARE(link()->pendingBytes(), 0); // held, not only read
    ui.click("Command7");
    QTRY_COMPARE(m_rig->three->received().size(), 24);
    QVERIFY(m_rig->three->write(hex("AA")));

    // The held 0x55 was counted before the new frame emptied the log; the
    // 0xAA alone answers nothing.
    QTRY_COMPARE(ui.boxes.texts(), QStringList{QStringLiteral("Setting Fail !!")});
    QCOMPARE(ui.count(), QStringLiteral("2"));
    QCOMPARE(ui.loggedBytes(), hex("AA"));
}

void Form1FaultTest::heldByteGoesWithTheLog_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("logged");
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<QString>("count");
    // Clear Data empties the log of it; Save as writes it.
    QTest::newRow("Clear Data") << "Command5" << QByteArray() << QByteArray() << "0";
    QTest::newRow("Save as") << "CmdSave" << hex("55") << hex("55") << "1";
}

// A lone 0x55 held while the answer is awaited is received data: the log's
// buttons take it as they take every other byte, in the wait and not after.
void Form1FaultTest::heldByteGoesWithTheLog()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, logged);
    QFETCH(QByteArray, saved);
    QFETCH(QString, count);
    const QString file = m_dir.filePath(QStringLiteral("held.txt"));
    ui.save.answers = {file};
    ui.openPort(3);
    ui.click("Command7");
    QTRY_COMPARE(m_rig->three->received().size(), 12);
    QVERIFY(m_rig->three->write(hex("55")));
    QTRY_COMPARE(link()->bytesRead(), 1);
    // Read from the line is not yet held: the link hands bytes over from
    // the event loop.
    QTRY_COMPARE(link()->pendingBytes(), 0);
    QVERIFY(ui.transaction()->isWaiting());
    ui.click(qPrintable(button));

    QTRY_VERIFY(ui.boxes.texts().contains(QStringLiteral("Setting Fail !!")));
    QCOMPARE(ui.loggedBytes(), logged);
    QTRY_COMPARE(ui.count(), count);
    QFile written(file);
    QCOMPARE(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(), saved);
}

QTEST_MAIN(Form1FaultTest)
#include "Form1FaultTest.moc"
