#include "station/DeviceSource.h"

// Nothing tells of new COM ports here yet: a station would wait for nothing.
DeviceSources systemDeviceSources()
{
    return {};
}
