#include "serial/ComPorts.h"

#include <qt_windows.h>
#include <setupapi.h>

namespace ComPorts {

namespace {

// The device setup class "Ports (COM & LPT)".
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

QString registryString(HKEY key, const wchar_t *name)
{
    wchar_t value[256] = {};
    DWORD type = 0;
    DWORD size = sizeof value - sizeof(wchar_t); // keeps a terminating zero
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return QString::fromWCharArray(value);
}

QString friendlyName(HDEVINFO devices, SP_DEVINFO_DATA *device)
{
    wchar_t name[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, device, SPDRP_FRIENDLYNAME, nullptr,
                                             reinterpret_cast<BYTE *>(name),
                                             sizeof name - sizeof(wchar_t), nullptr))
        return {};
    return QString::fromWCharArray(name);
}

} // namespace

QList<PortEntry> listedBySystem()
{
    QList<PortEntry> ports;
    const HDEVINFO devices = ::SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return ports;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        const HKEY key =
            ::SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString portName = registryString(key, L"PortName");
        ::RegCloseKey(key);
        if (!portName.isEmpty())
            ports.append({portName, friendlyName(devices, &device)});
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return ports;
}

} // namespace ComPorts
