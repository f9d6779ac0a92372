#include "serial/DeviceFacts.h"

// A COM port has no device node, no owning group and no lock file: opening
// it is what tells whether it can be used.
namespace DeviceFacts {

bool accessDenied(const QString &)
{
    return false;
}

QString owningGroup(const QString &)
{
    return {};
}

bool lockedByAnother(const QString &)
{
    return false;
}

QString whyNotADevice(const QString &)
{
    return {};
}

} // namespace DeviceFacts
