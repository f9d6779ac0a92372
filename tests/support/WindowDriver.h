#pragma once

#include "support/PtyPair.h"
#include "support/TestBytes.h"
#include "support/TestPlatform.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

// Drives a Form1 the way an operator does: clicks, picks, reads captions,
// and reads the log back byte for byte through "Save as". It holds the
// recording dialogs the window reports through.
class WindowDriver
{
public:
    WindowDriver() = default;
    ~WindowDriver() { stop(); }
    WindowDriver(const WindowDriver &) = delete;
    WindowDriver &operator=(const WindowDriver &) = delete;

    // A new window on the given ports (none: an empty catalog), the dialogs
    // fresh and the start-up notice dismissed. The acknowledgement wait may
    // be shortened to keep a suite quick.
    void start(std::shared_ptr<QList<PortEntry>> ports = nullptr, int ackWaitMs = 2500)
    {
        startOn(testPlatform(boxes, save, std::move(ports)), ackWaitMs);
    }
    // The same on the machine's own serial devices: only where every device
    // belongs to the test (the real-driver tests' virtual machine).
    void startOnMachinePorts(int ackWaitMs = 2500)
    {
        Form1Platform platform;
        platform.boxes = &boxes;
        platform.saveDialog = &save;
        startOn(std::move(platform), ackWaitMs);
    }
    void stop()
    {
        delete m_window;
        m_window = nullptr;
    }
    // On screen and active, for what only a shown window does (focus, layout).
    void show()
    {
        m_window->show();
        QApplication::setActiveWindow(m_window);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    [[nodiscard]] Form1 *window() const { return m_window; }
    template <typename T> T *find(const QString &name) const
    {
        T *w = m_window->findChild<T *>(name);
        if (!w)
            qWarning("no control named %s", qPrintable(name));
        return w;
    }
    void click(const char *name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }

    void pick(const QString &number)
    {
        auto *list = find<QComboBox>("ComPort");
        const int index = list->findText(number);
        QVERIFY2(index >= 0, qPrintable(number));
        list->setCurrentIndex(index);
    }

    // Auto Scan, pick, open; no box may come.
    void openPort(int number)
    {
        click("Command1");
        pick(QString::number(number));
        click("Command3");
        QCOMPARE(boxes.texts(), QStringList());
        QCOMPARE(caption(), QStringLiteral("Close COM Port"));
    }

    [[nodiscard]] QString caption() const { return find<QPushButton>("Command3")->text(); }
    [[nodiscard]] QString count() const { return find<QPushButton>("Command6")->text(); }
    [[nodiscard]] SettingTransaction *transaction() const
    {
        return m_window->findChild<SettingTransaction *>();
    }
    [[nodiscard]] bool waiting() const { return transaction()->isWaiting(); }

    [[nodiscard]] QStringList listedPorts() const
    {
        auto *list = find<QComboBox>("ComPort");
        QStringList numbers;
        for (int i = 0; i < list->count(); ++i)
            numbers << list->itemText(i);
        return numbers;
    }

    // The status picture in front: "imgConnected" or "imgNotConnected".
    [[nodiscard]] QString statusFront() const
    {
        for (auto *stack : m_window->findChildren<QStackedWidget *>()) {
            if (stack->currentWidget() && stack->currentWidget()->objectName().startsWith("img"))
                return stack->currentWidget()->objectName();
        }
        return {};
    }

    // The log's bytes, read back through "Save as"; the save's own box is
    // taken off the record again.
    [[nodiscard]] QByteArray loggedBytes()
    {
        const auto whileOpen = std::exchange(boxes.whileOpen, nullptr);
        const qsizetype shown = boxes.shown.size();
        const QString path = m_dir.filePath(QStringLiteral("log.txt"));
        save.answers = {path};
        click("CmdSave");
        boxes.whileOpen = whileOpen;
        if (boxes.shown.size() != shown + 1 || boxes.shown.last().text != "Saved Successfully")
            return "<save failed>";
        boxes.shown.removeLast();
        return TestBytes::readFile(path);
    }

    RecordingBoxes boxes;
    ScriptedSaveDialog save;

private:
    void startOn(Form1Platform platform, int ackWaitMs)
    {
        stop();
        boxes.shown.clear();
        boxes.whileOpen = nullptr;
        save.answers.clear();
        save.requests.clear();
        m_window = new Form1(std::move(platform));
        boxes.shown.clear();
        transaction()->setTimeoutInterval(ackWaitMs);
    }

    Form1 *m_window = nullptr;
    QTemporaryDir m_dir;
};

// Ports 1 to 8, of which 3 and 7 are real pseudo-terminals (the test plays
// the dongle on their master side) and the others absent.
struct ThreeAndSeven
{
    ThreeAndSeven()
    {
        (*ports)[2] = {three->slavePath(), QString()};
        (*ports)[6] = {seven->slavePath(), QString()};
    }
    [[nodiscard]] bool isValid() const { return three->isValid() && seven->isValid(); }

    std::unique_ptr<PtyPair> three = std::make_unique<PtyPair>();
    std::unique_ptr<PtyPair> seven = std::make_unique<PtyPair>();
    std::shared_ptr<QList<PortEntry>> ports = absentPorts(8);
};
