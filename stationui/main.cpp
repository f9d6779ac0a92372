#include "station/DeviceSource.h"
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

    StationWindow::Platform platform;
    platform.settings = std::make_unique<StationSettings>(parser.value(settings));
    platform.deviceSources = [] { return systemDeviceSources(); };
    StationWindow window(std::move(platform));
    // Until the run is wired to the station nothing is ever under way, so a
    // stop ends at once.
    QObject::connect(&window, &StationWindow::stopRequested, &window, &StationWindow::runEnded,
                     Qt::QueuedConnection);
    window.show();
    return QApplication::exec();
}
