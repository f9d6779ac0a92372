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
           "--match or --match-any.";
}

const char *matchAbout()
{
    return "With --watch: only the port TEXT names (COM8: that port alone), or devices whose "
           "location path (the USB socket, to bind a station to its fixture), name in the Device "
           "Manager or VID:PID (e.g. 0403:6001) contains TEXT, in any case. Windows knows the "
           "last three of USB adapters; under Wine a port has only its COM name.";
}

QString deviceOf(const QString &argument)
{
    return argument;
}

} // namespace SetArguments
