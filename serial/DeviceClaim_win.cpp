#include "serial/DeviceClaim.h"

// A COM port opened without sharing is this program's alone: a second open,
// by any process, is refused, and reported as busy.
DeviceClaim DeviceClaim::take(const QString &location)
{
    DeviceClaim claim;
    claim.m_node = location;
    return claim;
}

void DeviceClaim::release() {}
