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

QString deviceOf(const QString &argument)
{
    return argument;
}

} // namespace SetArguments
