#include "serial/ComPorts.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <setupapi.h>
#endif

namespace ComPorts {

QList<PortEntry> numbered(const QList<PortEntry> &listed)
{
    QList<PortEntry> entries;
    entries.reserve(kMaxPortNumber);
    for (int n = 1; n <= kMaxPortNumber; ++n)
        entries.append({QStringLiteral("COM%1").arg(n), QString()});
    for (const PortEntry &port : listed) {
        if (!port.location.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            continue;
        const QStringView digits = QStringView(port.location).mid(3);
        bool ok = false;
        const int n = digits.toInt(&ok);
        // "COM05" or "COM+5" is not how Windows names port 5.
        if (ok && n >= 1 && n <= kMaxPortNumber && digits == QString::number(n))
            entries[n - 1].description = port.description;
    }
    return entries;
}

#ifdef Q_OS_WIN

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

#else

QList<PortEntry> listedBySystem()
{
    return {};
}

#endif

} // namespace ComPorts
