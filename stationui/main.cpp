#include "station/DeviceSource.h"
#include "stationui/StationDriver.h"
#include "stationui/StationWindow.h"

#include <Version.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDirIterator>
#include <QIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantrel-station"));
    QApplication::setOrganizationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QLatin1String(kVantrelVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.vantrel.Station"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The production station's window: configures units as they are plugged "
                       "in, with a record of each."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Keep the window's settings in FILE (an INI file) instead of the user's "
                       "usual place."),
        QStringLiteral("FILE"));
    parser.addOption(settings);
    // A window is not refused for an option it does not know: the reason goes
    // to stderr and the window opens (a box here would wait for an operator
    // who started it from a shortcut).
    if (!parser.parse(QCoreApplication::arguments()))
        std::fprintf(stderr, "vantrel-station: %s\n", qPrintable(parser.errorText()));
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp();
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    QIcon icon;
    QDirIterator icons(QStringLiteral(":/station-icons"), {QStringLiteral("*.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (icons.hasNext())
        icon.addFile(icons.next());
    QApplication::setWindowIcon(icon);

    Console::ignoreWriteSignals();
    StationWindow::Platform platform;
    platform.settings = std::make_unique<StationSettings>(parser.value(settings));
    platform.deviceSources = [] { return systemDeviceSources(); };
    StationWindow window(std::move(platform));
    StationDriver::Platform line;
    line.deviceSources = [] { return systemDeviceSources(); };
    // The station's lines, as vantrel-set's, for the system's log.
    line.console.program = QStringLiteral("vantrel-station");
    StationDriver driver(&window, std::move(line));
    // A closed window lets the run end first (see closeEvent); then the
    // store gets its last go at the records that wait.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &driver,
                     [&driver] { driver.shutdown([] { QCoreApplication::quit(); }); });
    window.show();
    return QApplication::exec();
}
