#pragma once

#include "support/TestBytes.h"
#include "support/TestPlatform.h"

#include <QComboBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

// Drives a Form1 the way an operator does: clicks, picks, reads captions,
// and reads the log back byte for byte through "Save as".
class WindowDriver
{
public:
    WindowDriver(RecordingBoxes &boxes, ScriptedSaveDialog &save) : m_boxes(boxes), m_save(save) {}
    ~WindowDriver() { stop(); }
    WindowDriver(const WindowDriver &) = delete;
    WindowDriver &operator=(const WindowDriver &) = delete;

    // A new window on the given ports, the start-up notice dismissed, and a
    // short acknowledgement wait (one test runs the real 2500 ms).
    void start(std::shared_ptr<QList<PortEntry>> ports, int ackWaitMs)
    {
        stop();
        m_window = new Form1(testPlatform(m_boxes, m_save, std::move(ports)));
        m_boxes.shown.clear();
        transaction()->setTimeoutInterval(ackWaitMs);
    }
    void stop()
    {
        delete m_window;
        m_window = nullptr;
    }

    [[nodiscard]] Form1 *window() const { return m_window; }
    template <typename T> T *find(const char *name) const { return m_window->findChild<T *>(name); }
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
        QCOMPARE(m_boxes.texts(), QStringList());
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
        const auto whileOpen = std::exchange(m_boxes.whileOpen, nullptr);
        const qsizetype boxes = m_boxes.shown.size();
        const QString path = m_dir.filePath(QStringLiteral("log.txt"));
        m_save.answers = {path};
        click("CmdSave");
        m_boxes.whileOpen = whileOpen;
        if (m_boxes.shown.size() != boxes + 1 || m_boxes.shown.last().text != "Saved Successfully")
            return "<save failed>";
        m_boxes.shown.removeLast();
        return TestBytes::readFile(path);
    }

private:
    RecordingBoxes &m_boxes;
    ScriptedSaveDialog &m_save;
    Form1 *m_window = nullptr;
    QTemporaryDir m_dir;
};
