#include "tools/DeviceArguments.h"

#include <QFileInfo>

namespace SetArguments {

QString deviceExample()
{
    return QStringLiteral("/dev/ttyUSB0");
}

QString deviceAbout()
{
    return QStringLiteral("/dev/ttyUSB0; a bare name such as ttyUSB0 means /dev/ttyUSB0");
}

const char *watchAbout()
{
    return "Station: configure each serial device that appears and is matched, once, until "
           "interrupted (Ctrl+C), then print a summary. Needs --match or --match-any. Refuses to "
           "start beside a station of this computer that would take the same units.";
}

const char *matchAbout()
{
    return "With --watch: only devices one of whose names PATTERN matches as a whole, in any "
           "case: the by-id or by-path link (its name or full path; by-path is the USB socket, to "
           "bind a station to its fixture), USB serial number, product or VID:PID (e.g. "
           "0403:6001). '*' stands for any text, '?' for one character; nothing else is special. "
           "Give it once for each socket of a fixture.";
}

QString deviceOf(const QString &argument)
{
    // A bare name is a device in /dev, as the serial port class reads it; a
    // path is a path, relative to where the program runs (the port class
    // would read "run/x" as "/dev/run/x").
    if (!argument.contains(QLatin1Char('/')))
        return QStringLiteral("/dev/") + argument;
    return QFileInfo(argument).absoluteFilePath();
}

} // namespace SetArguments
