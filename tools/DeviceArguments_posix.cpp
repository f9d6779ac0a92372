#include "tools/DeviceArguments.h"

namespace SetArguments {

QString deviceExample()
{
    return QStringLiteral("/dev/ttyUSB0");
}

QString deviceAbout()
{
    return QStringLiteral("/dev/ttyUSB0; a bare name such as ttyUSB0 means /dev/ttyUSB0");
}

QString deviceOf(const QString &argument)
{
    // As the serial port class reads a bare port name.
    return argument.contains(QLatin1Char('/')) ? argument : QStringLiteral("/dev/") + argument;
}

} // namespace SetArguments
