#include "tools/StationShots.h"

#include "stationui/StationWindow.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

// In vantrel_shots_main.cpp.
[[nodiscard]] bool writePng(const QImage &image, const QString &path);

namespace {

// The pictures show the same times on every run.
const QDateTime kNoon(QDate(2026, 12, 8), QTime(14, 2, 0));
constexpr int kShowMs = 300;

PortEntry exampleUnit(int slot, int serial)
{
    return PortEntry{
        QStringLiteral("/dev/ttyUSB%1").arg(slot - 1),
        QStringLiteral("Dongle"),
        {},
        QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:%1:1.0-port0").arg(slot),
        QStringLiteral("VT2612A%1").arg(serial, 6, 10, QLatin1Char('0'))};
}

UnitEnd endAt(const QString &result, int secondsLater, const QString &reason = {})
{
    return {result, reason, true, kNoon.addSecs(secondsLater)};
}

// A lot of 500 under way on an 8-slot fixture: earlier units passed and a
// few failed; now each state a tile shows while the report can be written
// (Not recorded and Not configured come only with a failed report or a stop).
void feed(RunBoard &board)
{
    // Units under way for the times shown, whenever the picture is taken.
    auto now = std::make_shared<qint64>(0);
    board.setClock([now] { return *now; });
    QStringList sockets;
    for (int slot = 1; slot <= 8; ++slot)
        sockets << exampleUnit(slot, 0).byPath;
    board.useFixture(Fixture(sockets));
    board.setLotQuantity(500);
    for (int i = 0; i < 40; ++i) {
        const PortEntry unit = exampleUnit(i % 8 + 1, 4100 + i);
        board.unitStarted(unit, 1);
        board.unitEnded(
            unit, endAt(i % 17 == 5 ? QStringLiteral("no-answer") : QStringLiteral("ok"), i * 9));
        board.unitVanished(unit.location);
    }
    const QString noAnswer = QStringLiteral(
        "No acknowledgement (55 AA) for the General frame came from /dev/ttyUSB2 within 2500 ms.");
    const auto unit = [](int slot) { return exampleUnit(slot, 4140 + slot); };
    board.unitStarted(unit(1), 1);
    board.unitEnded(unit(1), endAt(QStringLiteral("ok"), 370));
    board.unitStarted(unit(3), 1);
    board.unitEnded(unit(3), endAt(QStringLiteral("no-answer"), 372, noAnswer));
    board.unitStarted(unit(4), 1);
    *now = 700;
    board.unitStarted(unit(5), 2);
    *now = 1900;
    board.unitAppeared(unit(6));
    *now = 2300;
    board.unitStarted(unit(7), 1);
    board.unitEnded(unit(7), endAt(QStringLiteral("busy"), 375,
                                   QStringLiteral("Another program holds /dev/ttyUSB6.")));
    board.unitStarted(unit(8), 1);
    board.unitEnded(unit(8), endAt(QStringLiteral("ok"), 378));
    board.setRunId(QStringLiteral("6813085b-f520-4658-9503-ad67f9d25618"));
    board.setReport({QStringLiteral("/srv/line-3/units-WO-1187.csv"), 96, {}});
    StoreStatus store;
    store.state = StoreStatus::State::Reachable;
    store.shown = QStringLiteral("host=db dbname=line user=station");
    store.waiting = 2;
    board.setStore(store);
}

RunSetup exampleSetup(const StationShot &shot)
{
    RunSetup setup;
    setup.operatorName = QStringLiteral("Kim Lee");
    setup.lot = QStringLiteral("WO-1187");
    setup.lotQuantity = 500;
    setup.profilePath = QStringLiteral("line.profile");
    setup.reportPath = QStringLiteral("/srv/line-3/units-WO-1187.csv");
    setup.stationName = QStringLiteral("line-3");
    setup.matches = {QStringLiteral("0403:6001")};
    setup.language = shot.language;
    // Forty results in a row would be forty sounds on a developer's desk.
    setup.sound = false;
    setup.typePercent = shot.typePercent;
    return setup;
}

bool writeProfile(const QDir &scratch)
{
    QFile profile(scratch.filePath(QStringLiteral("line.profile")));
    return profile.open(QIODevice::WriteOnly) &&
           profile.write("vantrel-set profile 1\nbaud = 115200\nchannel = 15\nmaster = 1,2,3\n") >
               0;
}

// The window set up, started as the operator starts it (nothing answers:
// no station runs here), fed, and shown; nullptr when it does not start.
std::unique_ptr<StationWindow> exampleWindow(const QDir &scratch, const StationShot &shot)
{
    StationWindow::Platform platform;
    platform.settings =
        std::make_unique<StationSettings>(scratch.filePath(QStringLiteral("s.ini")));
    platform.settings->setSetup(exampleSetup(shot));
    auto window = std::make_unique<StationWindow>(std::move(platform));
    window->findChild<QAction *>(QStringLiteral("startRun"))->trigger();
    if (!window->isRunning()) {
        std::fprintf(stderr, "vantrel-shots: the station window did not start its run\n");
        return nullptr;
    }
    feed(*window->board());
    window
        ->findChild<QAction *>(
            QLatin1String(shot.page == StationShot::Page::Setup ? "showSetup" : "showRun"))
        ->trigger();
    window->resize(1280, 800);
    window->show();
    return window;
}

// The window with End of lot's summary over its middle, as the operator sees
// it; the summary is cancelled, so that nothing is written.
QImage lotSummaryOver(StationWindow &window)
{
    // Stopped: the units under way ended, the one settling was not begun.
    RunBoard &board = *window.board();
    board.unitEnded(exampleUnit(4, 4144), endAt(QStringLiteral("ok"), 380));
    board.unitEnded(exampleUnit(5, 4145), endAt(QStringLiteral("ok"), 381));
    board.unitEnded(exampleUnit(6, 4146),
                    endAt(QStringLiteral("not-configured"), 381,
                          QStringLiteral("The station was stopped while the unit settled; "
                                         "nothing was sent.")));
    window.runEnded();
    QImage image;
    QTimer::singleShot(kShowMs, &window, [&window, &image] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        image = window.grab().toImage();
        const QImage summary = box->grab().toImage();
        QPainter painter(&image);
        painter.drawImage((image.width() - summary.width()) / 2,
                          (image.height() - summary.height()) / 2, summary);
        painter.setPen(window.palette().color(QPalette::Dark));
        painter.drawRect((image.width() - summary.width()) / 2,
                         (image.height() - summary.height()) / 2, summary.width() - 1,
                         summary.height() - 1);
        box->reject();
    });
    window.findChild<QAction *>(QStringLiteral("endLot"))->trigger();
    return image;
}

} // namespace

void shootStation(const QDir &folder, QList<StationShot> shots, std::function<void(bool)> done)
{
    if (shots.isEmpty()) {
        done(true);
        return;
    }
    const StationShot shot = shots.takeFirst();
    auto scratch = std::make_shared<QTemporaryDir>();
    const QString before = QDir::currentPath();
    // The profile relative to the scratch folder, made the current one: the
    // same picture on every run.
    QDir::setCurrent(scratch->path());
    std::shared_ptr<StationWindow> window;
    if (writeProfile(QDir(scratch->path())))
        window = exampleWindow(QDir(scratch->path()), shot);
    if (!window) {
        QDir::setCurrent(before);
        done(false);
        return;
    }
    // Grabbed once the event loop has laid the window out in its type size
    // and the tiles under way have shown their times (RunView ticks every
    // 200 ms).
    QTimer::singleShot(kShowMs, [=] {
        // The scratch folder lives until the picture is taken: the window
        // reads the profile again when its language is set.
        Q_UNUSED(scratch);
        if (QWidget *focus = QApplication::focusWidget())
            focus->clearFocus();
        const QImage image = shot.page == StationShot::Page::LotSummary ? lotSummaryOver(*window)
                                                                        : window->grab().toImage();
        QDir::setCurrent(before);
        if (!writePng(image, folder.filePath(shot.file))) {
            done(false);
            return;
        }
        std::printf("%s (%dx%d)\n", qPrintable(folder.filePath(shot.file)), image.width(),
                    image.height());
        shootStation(folder, shots, done);
    });
}
