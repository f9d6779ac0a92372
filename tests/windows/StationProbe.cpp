// Drives the installed vantrel-station.exe from inside, under Wine: loaded as
// a Qt generic plugin ("vantrel-station.exe -plugin
// vantrelstationprobe:<folder>"), so the program under test is the shipped
// one. It finds the window by its object names, switches it to Chinese and
// back, sets a supervisor PIN (the PBKDF2 hash of the Windows Qt's network
// module), locks the setup and unlocks it with a wrong and then the right
// PIN, saves a picture into <folder> and writes its findings to
// <folder>/station-probe-report.txt. The exit status is the number of failed
// checks. Every wait polls with a generous limit.

#include "ProbeSteps.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>

class StationProbe final : public ProbeSteps
{
    Q_OBJECT

public:
    explicit StationProbe(const QString &folder)
        : ProbeSteps(folder, QStringLiteral("station-probe-report.txt"))
    {
        run({
            [this] { return windowShown(); },
            [this] { return chooseLanguage(2); },
            [this] { return titleIsNot(m_englishTitle, QStringLiteral("in Chinese")); },
            [this] { return chooseLanguage(1); },
            [this] { return titleIs(m_englishTitle); },
            [this] { return click("setPin"); },
            [this] { return answerPin(QStringLiteral("2468"), true, QString()); },
            [this] { return pinKept(); },
            [this] { return click("unlockSetup"); }, // locks it
            [this] { return click("unlockSetup"); }, // asks for the PIN
            [this] { return answerPin(QStringLiteral("1357"), false, QStringLiteral("wrong")); },
            [this] { return answerPin(QStringLiteral("2468"), false, QStringLiteral("right")); },
            [this] { return unlocked(); },
            [this] { return finish(); },
        });
    }

private:
    QMainWindow *window() const
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("stationWindow") && w->isVisible())
                return qobject_cast<QMainWindow *>(w);
        }
        return nullptr;
    }

    template <typename T> T *child(QObject *parent, const char *name) const
    {
        return parent ? parent->findChild<T *>(QLatin1String(name)) : nullptr;
    }

    bool windowShown()
    {
        QMainWindow *w = window();
        if (!w)
            return false;
        m_englishTitle = w->windowTitle();
        check(m_englishTitle == QLatin1String("Vantrel Station"),
              QStringLiteral("window \"%1\"").arg(m_englishTitle));
        for (const char *name : {"setupPage", "runView", "operatorName", "profilePath", "language"})
            check(child<QWidget>(w, name) != nullptr, QStringLiteral("has %1").arg(name));
        return true;
    }

    bool chooseLanguage(int index)
    {
        auto *language = child<QComboBox>(window(), "language");
        if (!language)
            return false;
        language->setCurrentIndex(index);
        emit language->activated(index);
        return true;
    }

    bool titleIsNot(const QString &title, const QString &what)
    {
        if (!window() || window()->windowTitle() == title)
            return false;
        check(true, QStringLiteral("title %1: \"%2\"").arg(what, window()->windowTitle()));
        window()->grab().save(inFolder(QStringLiteral("station-zh_CN.png")));
        return true;
    }

    bool titleIs(const QString &title)
    {
        if (!window() || window()->windowTitle() != title)
            return false;
        check(true, QStringLiteral("title back in English"));
        return true;
    }

    bool click(const char *name)
    {
        auto *button = child<QAbstractButton>(window(), name);
        if (!button || !button->isVisible() || !button->isEnabled())
            return false;
        // The button may open a modal dialog: clicked on a later turn, so
        // that this poll returns first.
        QTimer::singleShot(0, button, &QAbstractButton::click);
        return true;
    }

    QDialog *pinDialog() const
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("pinDialog") && w->isVisible())
                return qobject_cast<QDialog *>(w);
        }
        return nullptr;
    }

    // Types pin (twice when setting one) and presses OK once the dialog
    // takes it; for a wrong PIN, waits for the dialog to say so.
    bool answerPin(const QString &pin, bool setting, const QString &which)
    {
        QDialog *dialog = pinDialog();
        auto *ok = child<QAbstractButton>(dialog, "pinOk");
        auto *status = child<QLabel>(dialog, "pinStatus");
        if (!dialog || !ok || !status)
            return false;
        if (which == QLatin1String("wrong") && m_typed) {
            if (status->text().isEmpty() || status->text().contains(QLatin1String("...")))
                return false;
            check(true, QStringLiteral("wrong PIN refused: \"%1\"").arg(status->text()));
            m_typed = false;
            return true;
        }
        if (!ok->isEnabled() || m_typed)
            return false;
        child<QLineEdit>(dialog, "pinEdit")->setText(pin);
        if (setting)
            child<QLineEdit>(dialog, "pinAgain")->setText(pin);
        ok->click();
        m_typed = which == QLatin1String("wrong");
        return !m_typed;
    }

    bool pinKept()
    {
        if (pinDialog())
            return false;
        auto *unlock = child<QAbstractButton>(window(), "unlockSetup");
        if (!unlock || !unlock->isVisible())
            return false;
        check(true, QStringLiteral("PIN set"));
        return true;
    }

    bool unlocked()
    {
        auto *profile = child<QLineEdit>(window(), "profilePath");
        if (pinDialog() || !profile || profile->isReadOnly())
            return false;
        check(true, QStringLiteral("setup unlocked with the right PIN"));
        return true;
    }

    QString m_englishTitle;
    bool m_typed = false;
};

class StationProbePlugin final : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "stationprobe.json")

public:
    QObject *create(const QString &key, const QString &arguments) override
    {
        if (key.compare(QLatin1String("vantrelstationprobe"), Qt::CaseInsensitive) != 0)
            return nullptr;
        return new StationProbe(arguments);
    }
};

#include "StationProbe.moc"
