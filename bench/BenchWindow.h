#pragma once

// Driving the real window from a benchmark: its message boxes and save
// dialog are answered by the bench, and the port is opened through the
// window's own buttons as an operator would.

#include "BenchSupport.h"
#include "app/Form1.h"
#include "app/LogView.h"
#include "app/MessageBoxes.h"
#include "app/SaveDialog.h"
#include "serial/SerialLink.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>

namespace bench {

// Dismisses every box by itself and counts them by text. A box may stay
// "open" for a while: like a real modal box it then runs a nested event
// loop, so chunks, ticks and timers go on underneath it.
class CountingBoxes final : public MessageBoxes
{
public:
    void show(const QString &text, const QString &, MessageIcon) override
    {
        ++counts[text];
        if (onShow)
            onShow(text);
        if (openMs <= 0 || m_open)
            return;
        m_open = true;
        QEventLoop loop;
        QTimer::singleShot(openMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
        m_open = false;
    }
    [[nodiscard]] bool isOpen() const { return m_open; }
    [[nodiscard]] int total() const
    {
        int sum = 0;
        for (const int n : counts)
            sum += n;
        return sum;
    }

    QMap<QString, int> counts;
    int openMs = 0;
    std::function<void(const QString &)> onShow; // as the box opens

private:
    bool m_open = false;
};

// Answers "Save as" with a fixed path. `beforeSave` runs after the path is
// handed over and before the window writes the file: nothing else runs in
// between, so it sees the log exactly as it is saved.
class FixedSaveDialog final : public SaveDialog
{
public:
    explicit FixedSaveDialog(QString path) : m_path(std::move(path)) {}
    [[nodiscard]] QString askFileName(const SaveRequest &) override
    {
        if (beforeSave)
            beforeSave();
        return m_path;
    }
    [[nodiscard]] QString path() const { return m_path; }
    std::function<void()> beforeSave;

private:
    QString m_path;
};

// The window's platform for a bench: counted boxes, a fixed save target and
// one device as the whole port catalog.
inline Form1Platform benchPlatform(CountingBoxes &boxes, FixedSaveDialog &save,
                                   const QString &device)
{
    Form1Platform platform;
    platform.boxes = &boxes;
    platform.saveDialog = &save;
    platform.ports = std::make_unique<FixedPortCatalog>(QList<PortEntry>{{device, QString()}});
    return platform;
}

template <typename T> T *child(Form1 &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

// A mouse click, so that the button takes the focus as it would for a
// person (a caret left blinking in an edit box would wake the idle window).
inline void click(Form1 &window, const char *button)
{
    QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
}

inline SerialLink *linkOf(Form1 &window)
{
    return window.findChild<SerialLink *>();
}

// Runs the event loop for a while, as an idle operator would.
inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Shows the window on its "Read Setting" page, so the log is on screen and
// painted, and lets it settle.
inline void showOnLogPage(Form1 &window)
{
    child<QTabWidget>(window, "SSTab1")->setCurrentIndex(3);
    window.show();
    spin(200);
}

// Auto Scan, pick the number, Open COM Port. Returns an empty string, or
// what went wrong.
inline QString openThroughButtons(Form1 &window, CountingBoxes &boxes, int number = 1)
{
    const int boxesBefore = boxes.total();
    click(window, "Command1");
    auto *list = child<QComboBox>(window, "ComPort");
    const int index = list->findText(QString::number(number));
    if (index < 0)
        return QStringLiteral("Auto Scan did not list port %1").arg(number);
    list->setCurrentIndex(index);
    click(window, "Command3");
    if (child<QPushButton>(window, "Command3")->text() != QStringLiteral("Close COM Port") ||
        boxes.total() != boxesBefore)
        return QStringLiteral("the port did not open");
    return {};
}

// The kept log, byte for byte, read back through "Save as".
inline QByteArray savedLog(Form1 &window, const FixedSaveDialog &save, bool *ok)
{
    QFile::remove(save.path());
    click(window, "CmdSave");
    QFile file(save.path());
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

// True when the log view shows exactly the saved log.
inline bool viewShows(Form1 &window, const QByteArray &log)
{
    auto *view = child<LogView>(window, "Text1");
    QString shown = LogView::displayText(log, view->controlGlyphs());
    // The document hands a no-break space (byte A0) back as a plain one.
    shown.replace(QChar::Nbsp, QLatin1Char(' '));
    return view->toPlainText() == shown;
}

} // namespace bench
