#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/SaveDialog.h"

#include <Version.h>

#include <QApplication>
#include <QDirIterator>
#include <QGuiApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts with a cryptic message when no display can be reached; say what
// is wrong and how to run anyway before Qt gets there.
bool displayReachable()
{
#if defined(Q_OS_LINUX) || defined(Q_OS_FREEBSD)
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return true;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayReachable()) {
        std::fputs("vantrel: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                   "Run it on a desktop session, or under a virtual display:\n"
                   "    xvfb-run -a ./build/app/vantrel\n",
                   stderr);
        return EXIT_FAILURE;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QLatin1String(kVantrelVersion));
    // Wayland compositors find the window's icon and name through the
    // desktop entry of this id; X11 gets every size of the embedded icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.vantrel.Vantrel"));
    QIcon icon;
    QDirIterator icons(QStringLiteral(":/icons/hicolor"), {QStringLiteral("*.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (icons.hasNext())
        icon.addFile(icons.next());
    QApplication::setWindowIcon(icon);

    QtMessageBoxes boxes;
    QtSaveDialog saveDialog;
    Form1Platform platform;
    platform.boxes = &boxes;
    platform.saveDialog = &saveDialog;
    Form1 window(std::move(platform));
    boxes.setParent(&window);
    saveDialog.setParent(&window);
    window.show();
    return QApplication::exec();
}
