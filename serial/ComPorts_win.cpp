#include "serial/ComPorts.h"

#include <qt_windows.h>
// After windows.h, which they need.
#include <devpropdef.h>
#include <setupapi.h>

#include <iterator>
#include <string>

namespace ComPorts {

namespace {

// The device setup class "Ports (COM & LPT)".
const GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// The device a device hangs off (DEVPKEY_Device_Parent).
const DEVPROPKEY kParentKey = {
    {0x4340a6c5, 0x93fa, 0x4706, {0x97, 0x2c, 0x7b, 0x64, 0x80, 0x08, 0xa5, 0xa7}}, 8};

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

// A text property, or the first text of a list (hardware ids, location
// paths).
QString deviceText(HDEVINFO devices, SP_DEVINFO_DATA *device, DWORD property)
{
    wchar_t text[512] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(devices, device, property, nullptr,
                                             reinterpret_cast<BYTE *>(text),
                                             sizeof text - 2 * sizeof(wchar_t), nullptr))
        return {};
    return QString::fromWCharArray(text);
}

QString instanceId(HDEVINFO devices, SP_DEVINFO_DATA *device)
{
    wchar_t id[512] = {};
    if (!::SetupDiGetDeviceInstanceIdW(devices, device, id, DWORD(std::size(id) - 1), nullptr))
        return {};
    return QString::fromWCharArray(id);
}

QString parentId(HDEVINFO devices, SP_DEVINFO_DATA *device)
{
    wchar_t id[512] = {};
    DEVPROPTYPE type = 0;
    if (!::SetupDiGetDevicePropertyW(devices, device, &kParentKey, &type,
                                     reinterpret_cast<BYTE *>(id), sizeof id - sizeof(wchar_t),
                                     nullptr, 0) ||
        type != DEVPROP_TYPE_STRING)
        return {};
    return QString::fromWCharArray(id);
}

// The USB ids, serial number and location path: from the port, or from the
// device above it where the port is a function of it (FTDI's bus, one
// interface of a composite device).
void describe(HDEVINFO devices, SP_DEVINFO_DATA *device, PortEntry &entry)
{
    const QString parent = parentId(devices, device);
    readDeviceIds(entry, {deviceText(devices, device, SPDRP_HARDWAREID),
                          instanceId(devices, device), parent});
    entry.byPath = deviceText(devices, device, SPDRP_LOCATION_PATHS);
    if (!entry.byPath.isEmpty() || parent.isEmpty())
        return;
    const HDEVINFO above = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (above == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA parentDevice = {};
    parentDevice.cbSize = sizeof parentDevice;
    const std::wstring id = parent.toStdWString();
    if (::SetupDiOpenDeviceInfoW(above, id.c_str(), nullptr, 0, &parentDevice))
        entry.byPath = deviceText(above, &parentDevice, SPDRP_LOCATION_PATHS);
    ::SetupDiDestroyDeviceInfoList(above);
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
        if (portName.isEmpty())
            continue;
        PortEntry entry{portName, deviceText(devices, &device, SPDRP_FRIENDLYNAME)};
        describe(devices, &device, entry);
        ports.append(entry);
    }
    ::SetupDiDestroyDeviceInfoList(devices);
    return ports;
}

} // namespace ComPorts
