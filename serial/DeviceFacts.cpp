#include "serial/DeviceFacts.h"

#include <cstring>

QString DeviceFacts::systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
