#include "stationui/StationWindow.h"
#include "stationui/RunView.h"
#include "stationui/SetupPage.h"
#include "stationui/SlotTile.h"
#include "stationui/SupervisorPin.h"
#include "stationui/WindowLanguage.h"
#include "tools/SetArguments.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(ReadySetup)

// The station window: its setup kept between runs, what Start needs, the
// operator it takes, the profile's digest and the language it speaks.
class StationWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void operatorName_data();
    void operatorName();
    void profileDigestAsRecorded();
    void setupKept();
    void startNeedsSetup();
    void languageSwitch();
    void languageChoice_data();
    void languageChoice();
    void pinLocksSetup();
    void closeLetsTheRunEnd();

private:
    std::unique_ptr<StationWindow> window(const QString &settings)
    {
        StationWindow::Platform platform;
        platform.settings = std::make_unique<StationSettings>(settings);
        return std::make_unique<StationWindow>(std::move(platform));
    }
    QString profile()
    {
        const QString path = m_dir.filePath(QStringLiteral("line.profile"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("vantrel-set profile 1\nchannel = 15\n# comment\nmaster=001,2,3\n") < 0)
            return {};
        return path;
    }

    // A setup Start takes.
    RunSetup ready()
    {
        RunSetup setup;
        setup.operatorName = QStringLiteral("Kim Lee");
        setup.profilePath = profile();
        setup.reportPath = m_dir.filePath(QStringLiteral("units.csv"));
        setup.matches = {QStringLiteral("emulator")};
        return setup;
    }

    QTemporaryDir m_dir;
};

void StationWindowTest::operatorName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("taken");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks") << "   " << false;
    QTest::newRow("operator") << "operator" << false;
    QTest::newRow("Admin") << "Admin" << false;
    QTest::newRow("user1") << "user1" << false;
    QTest::newRow("test-2") << " test-2 " << false;
    QTest::newRow("a name") << "Kim Lee" << true;
    QTest::newRow("a badge") << "B-004711" << true;
    QTest::newRow("digits only") << "004711" << true;
    QTest::newRow("a name that starts like one") << "Testa" << true;
}

void StationWindowTest::operatorName()
{
    QFETCH(QString, name);
    QFETCH(bool, taken);
    QCOMPARE(operatorRefusal(name).isEmpty(), taken);
}

// The window shows the digest the records carry: vantrel-set's, of the
// settings as resolved.
void StationWindowTest::profileDigestAsRecorded()
{
    const QString path = profile();
    const ProfileLoad load = loadProfile(path);
    QVERIFY2(load.summary, qPrintable(load.error));
    const SetArguments::Parsed parsed =
        SetArguments::parse({QStringLiteral("vantrel-set"), QStringLiteral("--profile"), path,
                             QStringLiteral("--dry-run")});
    QVERIFY2(parsed.plan, qPrintable(parsed.error));
    QCOMPARE(load.summary->sha256,
             QString::fromLatin1(
                 QCryptographicHash::hash(parsed.plan->settingsText, QCryptographicHash::Sha256)
                     .toHex()));
    QCOMPARE(load.summary->settings,
             (QStringList{QStringLiteral("channel = 15"), QStringLiteral("master = 1,2,3")}));
}

void StationWindowTest::setupKept()
{
    const QString settings = m_dir.filePath(QStringLiteral("kept.ini"));
    RunSetup setup;
    setup.profilePath = profile();
    setup.reportPath = m_dir.filePath(QStringLiteral("units.csv"));
    setup.operatorName = QStringLiteral("Kim Lee");
    setup.lot = QStringLiteral("WO-1187");
    setup.lotQuantity = 500;
    // A product name with blanks stays one pattern, a quote in it too.
    setup.matches = {QStringLiteral("0403:6001"), QStringLiteral("emulator"),
                     QStringLiteral("Dongle emulator *"), QStringLiteral("Lab \"7\" rig")};
    setup.language = QStringLiteral("en");
    setup.sound = false;
    setup.typePercent = 150;
    {
        auto first = window(settings);
        auto *page = first->findChild<SetupPage *>();
        page->setSetup(setup);
        // As the operator's edit does.
        emit page->setupEdited();
    }
    auto second = window(settings);
    QCOMPARE(second->findChild<SetupPage *>()->setup(), setup);
}

void StationWindowTest::startNeedsSetup()
{
    auto station = window(m_dir.filePath(QStringLiteral("start.ini")));
    QSignalSpy started(station.get(), &StationWindow::startRequested);
    auto *page = station->findChild<SetupPage *>();
    auto *start = station->findChild<QAction *>(QStringLiteral("startRun"));
    // All there but who runs it.
    RunSetup setup = ready();
    setup.operatorName = QStringLiteral("operator");
    page->setSetup(setup);
    start->trigger();
    QCOMPARE(started.count(), 0);
    QVERIFY(!station->isRunning());

    setup.operatorName = QStringLiteral("Kim Lee");
    page->setSetup(setup);
    start->trigger();
    QCOMPARE(started.count(), 1);
    QVERIFY(station->isRunning());
    // While the run is on, the setup cannot be changed.
    QVERIFY(page->findChild<QLineEdit *>(QStringLiteral("operatorName"))->isReadOnly());
    QVERIFY(page->findChild<QLineEdit *>(QStringLiteral("profilePath"))->isReadOnly());
    QVERIFY(!start->isEnabled());
}

void StationWindowTest::languageSwitch()
{
    auto station = window(m_dir.filePath(QStringLiteral("language.ini")));
    auto *page = station->findChild<SetupPage *>();
    auto *start = station->findChild<QAction *>(QStringLiteral("startRun"));
    station->board()->useFixture(Fixture({QStringLiteral("s1")}));
    const auto *tile = station->findChild<RunView *>()->tiles().at(0);

    RunSetup setup = page->setup();
    setup.language = QStringLiteral("en");
    page->setSetup(setup);
    emit page->languageChosen(QStringLiteral("en"));
    QCOMPARE(station->language(), QStringLiteral("en"));
    const QString english = start->text();
    const QString englishWord = tile->stateWord();
    const QString englishTitle = station->windowTitle();

    // Qt tells the widgets of a new translation on the next turn of the loop.
    emit page->languageChosen(QStringLiteral("zh_CN"));
    QCOMPARE(station->language(), QStringLiteral("zh_CN"));
    QTRY_VERIFY(start->text() != english);
    QVERIFY(tile->stateWord() != englishWord);
    QVERIFY(station->windowTitle() != englishTitle);

    emit page->languageChosen(QStringLiteral("en"));
    QTRY_COMPARE(start->text(), english);
    QCOMPARE(tile->stateWord(), englishWord);
}

void StationWindowTest::languageChoice_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("language");
    QTest::newRow("the system's, Chinese") << ""
                                           << "zh_CN"
                                           << "zh_CN";
    QTest::newRow("the system's, Singapore") << ""
                                             << "zh_SG"
                                             << "zh_CN";
    QTest::newRow("the system's, Taiwan: traditional") << ""
                                                       << "zh_TW"
                                                       << "en";
    QTest::newRow("the system's, Hong Kong: traditional") << ""
                                                          << "zh_HK"
                                                          << "en";
    QTest::newRow("the system's, German") << ""
                                          << "de_DE"
                                          << "en";
    QTest::newRow("Chinese chosen") << "zh_CN"
                                    << "en_US"
                                    << "zh_CN";
    QTest::newRow("English chosen") << "en"
                                    << "zh_CN"
                                    << "en";
    QTest::newRow("unknown choice: the system's") << "fr"
                                                  << "zh_CN"
                                                  << "zh_CN";
}

void StationWindowTest::languageChoice()
{
    QFETCH(QString, choice);
    QFETCH(QString, system);
    QFETCH(QString, language);
    QCOMPARE(WindowLanguage::resolve(choice, QLocale(system)), language);
}

// With a PIN set, the station's part of the setup opens to the right PIN
// only; a wrong try is kept in the settings, so that a restart does not
// forget it.
void StationWindowTest::pinLocksSetup()
{
    const QString path = m_dir.filePath(QStringLiteral("pin.ini"));
    {
        StationSettings settings(path);
        settings.setPinHash(SupervisorPin::hash(QStringLiteral("2468"), QByteArray(16, 'x'), 2000));
        QVERIFY(settings.sync().isEmpty());
    }
    auto station = window(path);
    auto *page = station->findChild<SetupPage *>();
    auto *profile = page->findChild<QLineEdit *>(QStringLiteral("profilePath"));
    QVERIFY(profile->isReadOnly());
    QVERIFY(!page->findChild<QLineEdit *>(QStringLiteral("operatorName"))->isReadOnly());

    // The supervisor's answers, given to the modal dialog as it shows.
    int step = 0;
    int failuresKept = -1;
    QTimer supervisor;
    connect(&supervisor, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("pinDialog"))
            return;
        auto *pin = dialog->findChild<QLineEdit *>(QStringLiteral("pinEdit"));
        auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("pinOk"));
        auto *status = dialog->findChild<QLabel *>(QStringLiteral("pinStatus"));
        if (step == 0) {
            pin->setText(QStringLiteral("1357"));
            ok->click();
            step = 1;
        } else if (step == 1 && ok->isEnabled() && status->text().contains("Wrong")) {
            failuresKept = StationSettings(path).pinGate().failures;
            pin->setText(QStringLiteral("2468"));
            ok->click();
            step = 2;
        }
    });
    supervisor.start(20);
    page->findChild<QPushButton *>(QStringLiteral("unlockSetup"))->click();
    supervisor.stop();
    QCOMPARE(failuresKept, 1);
    QVERIFY(!profile->isReadOnly());
    QCOMPARE(StationSettings(path).pinGate().failures, 0);

    // A run locks it again.
    page->setSetup(ready());
    station->findChild<QAction *>(QStringLiteral("startRun"))->trigger();
    QVERIFY(station->isRunning());
    station->runEnded();
    QVERIFY(profile->isReadOnly());
}

// Closing the window is a Stop: the units under way end (and get their
// records) before it goes.
void StationWindowTest::closeLetsTheRunEnd()
{
    auto station = window(m_dir.filePath(QStringLiteral("close.ini")));
    QSignalSpy stops(station.get(), &StationWindow::stopRequested);
    station->findChild<SetupPage *>()->setSetup(ready());
    station->show();
    station->findChild<QAction *>(QStringLiteral("startRun"))->trigger();
    QVERIFY(!station->close());
    QCOMPARE(stops.count(), 1);
    QVERIFY(station->isVisible());
    station->runEnded();
    QVERIFY(!station->isVisible());
}

QTEST_MAIN(StationWindowTest)
#include "StationWindowTest.moc"
