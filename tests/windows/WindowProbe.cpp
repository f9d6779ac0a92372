// Drives the installed vantrel.exe from inside, under Wine: loaded as a Qt
// generic plugin ("vantrel.exe -plugin vantrelprobe:<folder>"), so the
// program under test is the shipped one, unchanged. It answers the real
// boxes, checks the window by its object names, runs Auto Scan, Open and the
// General Setting against the dongle emulators the test stage mapped to
// COM5 (answering) and COM6 (silent), saves pictures into <folder> and
// writes its findings to <folder>/probe-report.txt. The exit status is the
// number of failed checks.
//
// Every wait polls with a generous limit; nothing is judged by how long it
// took (the time to "Setting Fail !!" is reported, not checked).

#include "protocol/SettingCodec.h"

#include "ProbeSteps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGenericPlugin>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QTabWidget>

#include <functional>
#include <set>

namespace {

QString fromView(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

class WindowProbe final : public ProbeSteps
{
    Q_OBJECT

public:
    explicit WindowProbe(const QString &folder)
        : ProbeSteps(folder, QStringLiteral("probe-report.txt"))
    {
        run({
            [this] { return answerNotice(); },
            [this] { return checkWindow(); },
            [this] { return scanAndOpen(); },
            [this] { return answerSetting(QStringLiteral("Setting OK !!"), true); },
            [this] { return openSilentPort(); },
            [this] { return answerSetting(QStringLiteral("Setting Fail !!"), false); },
            [this] { return finish(); },
        });
    }

private:
    static QMessageBox *openBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        return box && box->isVisible() ? box : nullptr;
    }

    QWidget *window() const
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("Form1"))
                return w;
        }
        return nullptr;
    }

    template <typename T> T *child(const char *name) const
    {
        QWidget *w = window();
        return w ? w->findChild<T *>(QLatin1String(name)) : nullptr;
    }

    void savePicture(QWidget *widget, const QString &name)
    {
        const QString path = inFolder(name);
        const QImage image = widget->grab().toImage();
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2)
                colours.insert(image.pixel(x, y));
        }
        // A blank or one-colour grab means nothing was drawn.
        check(image.save(path) && colours.size() > 20,
              QStringLiteral("picture %1 saved, %2x%3, %4 colours")
                  .arg(name)
                  .arg(image.width())
                  .arg(image.height())
                  .arg(colours.size()));
    }

    // The start-up notice is up before the window shows and before any list
    // is filled.
    bool answerNotice()
    {
        QMessageBox *box = openBox();
        if (!box)
            return false;
        QWidget *w = window();
        int items = 0;
        if (w) {
            for (const QComboBox *list : w->findChildren<QComboBox *>())
                items += list->count();
        }
        check(!w || !w->isVisible(), QStringLiteral("the window is hidden under the notice"));
        check(items == 0, QStringLiteral("no list is filled under the notice"));
        check(box->icon() == QMessageBox::Information && !box->text().isEmpty(),
              QStringLiteral("notice: \"%1\" (%2)").arg(box->text(), box->windowTitle()));
        savePicture(box, QStringLiteral("notice.png"));
        box->accept();
        return true;
    }

    bool checkWindow()
    {
        QWidget *w = window();
        if (!w || !w->isVisible())
            return false;
        check(!w->windowTitle().isEmpty(),
              QStringLiteral("window title \"%1\"").arg(w->windowTitle()));
        const SettingCodec::ListTable *tables[] = {
            &SettingCodec::baudrate,   &SettingCodec::ParityBit,      &SettingCodec::DataBit,
            &SettingCodec::StopBit,    &SettingCodec::TimeOut,        &SettingCodec::DataRate,
            &SettingCodec::RF_Channel, &SettingCodec::RF_Power,       &SettingCodec::DataLength,
            &SettingCodec::PairMode,   &SettingCodec::ReceiveTimeout,
        };
        for (const SettingCodec::ListTable *table : tables) {
            const QString name = fromView(table->name);
            const auto *list = w->findChild<QComboBox *>(name);
            QStringList expected;
            for (const SettingCodec::ListItem &item : table->items)
                expected << fromView(item.text);
            QStringList shown;
            for (int i = 0; list && i < list->count(); ++i)
                shown << list->itemText(i);
            check(list && shown == expected && list->currentIndex() == -1 &&
                      list->currentText() == fromView(table->initialText),
                  QStringLiteral("list %1: %2 items, unpicked, showing \"%3\"")
                      .arg(name)
                      .arg(shown.size())
                      .arg(list ? list->currentText() : QString()));
        }
        for (const char *name : {"Command1", "Command2", "Command3", "Command4", "Command5",
                                 "Command6", "Command7", "CmdSave"}) {
            const auto *button = w->findChild<QAbstractButton *>(QLatin1String(name));
            check(button && !button->text().isEmpty(),
                  QStringLiteral("button %1 \"%2\"")
                      .arg(QLatin1String(name), button ? button->text() : QString()));
        }
        const auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("SSTab1"));
        QStringList pages;
        for (int i = 0; tabs && i < tabs->count(); ++i)
            pages << tabs->tabText(i);
        check(pages.size() == 4, QStringLiteral("pages: %1").arg(pages.join(QStringLiteral(", "))));
        check(!QApplication::windowIcon().isNull(), QStringLiteral("the window has its icon"));
        return true;
    }

    bool connected() const
    {
        const auto *lamp = child<QLabel>("imgConnected");
        return lamp && lamp->isVisible();
    }

    bool openPort(const QString &number)
    {
        auto *ports = child<QComboBox>("ComPort");
        auto *openClose = child<QAbstractButton>("Command3");
        const int index = ports ? ports->findText(number) : -1;
        check(index >= 0, QStringLiteral("port %1 is in the list").arg(number));
        if (index < 0 || !openClose)
            return false;
        ports->setCurrentIndex(index);
        const QString closedCaption = openClose->text();
        openClose->click();
        check(!openBox() && connected() && openClose->text() != closedCaption,
              QStringLiteral("port %1 open: \"%2\" became \"%3\"")
                  .arg(number, closedCaption, openClose->text()));
        return true;
    }

    // Auto Scan lists the COM ports that open: those the test mapped to the
    // emulators, and no other.
    bool scanAndOpen()
    {
        auto *scan = child<QAbstractButton>("Command1");
        auto *ports = child<QComboBox>("ComPort");
        if (!scan || !ports)
            return false;
        scan->click();
        QStringList listed;
        QStringList tips;
        for (int i = 0; i < ports->count(); ++i) {
            listed << ports->itemText(i);
            tips << ports->itemData(i, Qt::ToolTipRole).toString();
        }
        check(listed == QStringList({QStringLiteral("5"), QStringLiteral("6")}),
              QStringLiteral("Auto Scan lists ports: %1").arg(listed.join(QStringLiteral(", "))));
        check(tips.size() == 2 && tips[0].startsWith(QLatin1String("COM5")) &&
                  tips[1].startsWith(QLatin1String("COM6")),
              QStringLiteral("their tooltips name the COM ports: %1")
                  .arg(tips.join(QStringLiteral(", "))));
        openPort(QStringLiteral("5"));
        auto *setting = child<QAbstractButton>("Command2");
        if (!setting)
            return false;
        m_settingClock.start();
        setting->click(); // the result comes as a box
        return true;
    }

    bool answerSetting(const QString &expected, bool pictureAfter)
    {
        QMessageBox *box = openBox();
        if (!box)
            return false;
        check(box->text() == expected, QStringLiteral("General Setting: \"%1\" after %2 ms")
                                           .arg(box->text())
                                           .arg(m_settingClock.elapsed()));
        box->accept();
        if (pictureAfter) {
            // The window as the operator sees it with the dongle set.
            QTimer::singleShot(0, this, [this] {
                if (QWidget *w = window())
                    savePicture(w, QStringLiteral("window.png"));
            });
        }
        return true;
    }

    bool openSilentPort()
    {
        auto *openClose = child<QAbstractButton>("Command3");
        auto *setting = child<QAbstractButton>("Command2");
        if (!openClose || !setting || openBox())
            return false;
        openClose->click(); // closes COM5
        check(!connected(), QStringLiteral("port 5 closed"));
        openPort(QStringLiteral("6"));
        m_settingClock.start();
        setting->click();
        return true;
    }

    QElapsedTimer m_settingClock;
};

class WindowProbePlugin final : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "windowprobe.json")

public:
    QObject *create(const QString &key, const QString &arguments) override
    {
        if (key.compare(QLatin1String("vantrelprobe"), Qt::CaseInsensitive) != 0)
            return nullptr;
        return new WindowProbe(arguments);
    }
};

#include "WindowProbe.moc"
