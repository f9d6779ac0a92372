#include "tools/DeviceArguments.h"

namespace SetArguments {

QString deviceExample()
{
    return QStringLiteral("COM3");
}

QString deviceAbout()
{
    return deviceExample();
}

const char *watchAbout()
{
    return "Station: configure each COM port that appears and is matched, once, until "
           "interrupted (Ctrl+C or Ctrl+Break; closing the console, logging off and shutting "
           "down stop it too), then print a summary once the units under way ended. Needs "
           "--match or --match-any. Refuses to start beside a station of this computer that "
           "would take the same units.";
}

const char *matchAbout()
{
    return "With --watch: only the port PATTERN names (COM8: that port alone), or devices one of "
           "whose names PATTERN matches as a whole, in any case: the location path (the USB "
           "socket, to bind a station to its fixture), the name in the Device Manager (also "
           "without its \"(COMn)\"), serial number or VID:PID (e.g. 0403:6001). '*' stands for "
           "any text, '?' for one character; nothing else is special. Give it once for each "
           "socket of a fixture. Windows knows these of USB adapters; under Wine a port has only "
           "its COM name.";
}

QString deviceOf(const QString &argument)
{
    return argument;
}

} // namespace SetArguments
