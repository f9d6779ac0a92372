#include "station/DeviceMatch.h"
#include "station/DeviceSource.h"
#include "station/DeviceWatcher.h"

#include "serial/ComPorts.h"

#include <QHash>
#include <QWinEventNotifier>

#include <qt_windows.h>
// After windows.h, which it needs.
#include <dbt.h>

namespace {

constexpr wchar_t kDeviceMap[] = L"HARDWARE\\DEVICEMAP";
constexpr wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr wchar_t kWindowClass[] = L"VantrelComPortWatch";
// The device interface class of COM ports (GUID_DEVINTERFACE_COMPORT).
const GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

QString systemText(DWORD error)
{
    return qt_error_string(int(error));
}

// The COM names the serial drivers wrote into SERIALCOMM ("\Device\Serial7"
// = "COM8"), upper case; empty while no port driver made the key.
QStringList serialCommNames()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    QStringList names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameSize = DWORD(std::size(name));
        wchar_t data[64] = {};
        DWORD dataSize = sizeof data - sizeof(wchar_t); // keeps a terminating zero
        DWORD type = 0;
        const LSTATUS status = ::RegEnumValueW(key, i, name, &nameSize, nullptr, &type,
                                               reinterpret_cast<BYTE *>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS && type == REG_SZ)
            names << QString::fromWCharArray(data).toUpper();
    }
    ::RegCloseKey(key);
    return names;
}

// The machine's COM ports, heard of without polling: a serial driver writes
// each port it starts into SERIALCOMM and takes it out when the device goes,
// and RegNotifyChangeKeyValue tells of that (under Wine too). On Windows the
// device interface notices also tell of ports whose drivers leave SERIALCOMM
// alone. Each notice only says "look again": the whole list is read anew.
class ComPortSource final : public DeviceSource
{
public:
    ComPortSource() = default;
    ~ComPortSource() override;

    bool start(QString *why) override;
    QList<PortEntry> devices() const override;

private:
    [[nodiscard]] bool arm(QString *why);
    void onNotified();
    void onInterfaceNotice();
    void watchInterfaces();
    static LRESULT CALLBACK onWindowMessage(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    HANDLE m_event = nullptr;
    QWinEventNotifier *m_notifier = nullptr;
    HKEY m_key = nullptr;    // SERIALCOMM, or DEVICEMAP until SERIALCOMM is made
    bool m_keyIsMap = false; // m_key is DEVICEMAP
    HWND m_window = nullptr; // message-only, for the device interface notices
    HDEVNOTIFY m_interfaces = nullptr;
};

ComPortSource::~ComPortSource()
{
    if (m_interfaces)
        ::UnregisterDeviceNotification(m_interfaces);
    if (m_window)
        ::DestroyWindow(m_window);
    // The notifier stops waiting before the event goes; closing the key sets
    // the event one last time.
    delete m_notifier;
    if (m_key)
        ::RegCloseKey(m_key);
    if (m_event)
        ::CloseHandle(m_event);
}

bool ComPortSource::start(QString *why)
{
    // Auto-reset: the notifier's wait takes the signal, so it fires once per
    // notice.
    m_event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_event) {
        *why = QStringLiteral("new COM ports (%1)").arg(systemText(::GetLastError()));
        return false;
    }
    m_notifier = new QWinEventNotifier(m_event, this);
    connect(m_notifier, &QWinEventNotifier::activated, this, &ComPortSource::onNotified);
    watchInterfaces();
    return arm(why);
}

// Watches SERIALCOMM, or DEVICEMAP for the SERIALCOMM the first port driver
// makes. The watch is tied to the thread that asked for it and ends with it:
// this is the long-lived event thread. A notice is one-shot: armed anew on
// each.
bool ComPortSource::arm(QString *why)
{
    constexpr DWORD kChanges = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    LSTATUS status = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!m_key) {
            m_keyIsMap = false;
            status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_NOTIFY, &m_key);
            if (status != ERROR_SUCCESS) {
                m_keyIsMap = true;
                status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDeviceMap, 0, KEY_NOTIFY, &m_key);
            }
            if (status != ERROR_SUCCESS) {
                m_key = nullptr;
                break;
            }
        }
        status = ::RegNotifyChangeKeyValue(m_key, FALSE, kChanges, m_event, TRUE);
        if (status == ERROR_SUCCESS)
            return true;
        // SERIALCOMM was deleted: open whichever key is there now.
        ::RegCloseKey(m_key);
        m_key = nullptr;
    }
    if (why) {
        *why = QStringLiteral("new COM ports (cannot watch HKLM\\%1: %2)")
                   .arg(QString::fromWCharArray(kSerialComm), systemText(DWORD(status)));
    }
    return false;
}

void ComPortSource::onNotified()
{
    // A new key under DEVICEMAP may be SERIALCOMM.
    if (m_keyIsMap && m_key) {
        ::RegCloseKey(m_key);
        m_key = nullptr;
    }
    // Armed again before the list is read, so that a change in between
    // brings another notice rather than going unseen.
    (void)arm(nullptr);
    emit changed();
}

void ComPortSource::onInterfaceNotice()
{
    // A registry watch that could not be armed is tried again.
    if (!m_key)
        (void)arm(nullptr);
    emit changed();
}

QList<PortEntry> ComPortSource::devices() const
{
    // Identity where the device manager has it (not under Wine); ports whose
    // drivers skip SERIALCOMM are only there.
    QHash<QString, PortEntry> byName;
    for (PortEntry &port : ComPorts::listedBySystem()) {
        port.location = port.location.toUpper();
        if (ComPorts::numberOf(port.location))
            byName.insert(port.location, port);
    }
    for (const QString &name : serialCommNames()) {
        if (!byName.contains(name) && ComPorts::numberOf(name))
            byName.insert(name, {name, QString()});
    }
    return byName.values();
}

// A message-only window that hears of COM port interfaces coming and going;
// messages reach it through the event loop's own dispatch. Without it the
// registry still tells of ports in SERIALCOMM.
void ComPortSource::watchInterfaces()
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = onWindowMessage;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassExW(&windowClass); // fails harmlessly when it is registered already
    m_window = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
    if (!m_window)
        return;
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPortInterface;
    m_interfaces = ::RegisterDeviceNotificationW(m_window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

LRESULT CALLBACK ComPortSource::onWindowMessage(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam)
{
    if (message == WM_DEVICECHANGE &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        auto *source =
            reinterpret_cast<ComPortSource *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        // Sent by the system, which waits: the list is read from the event
        // loop instead.
        if (source)
            QMetaObject::invokeMethod(source, &ComPortSource::onInterfaceNotice,
                                      Qt::QueuedConnection);
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

DeviceSources systemDeviceSources()
{
    DeviceSources sources;
    sources.push_back(std::make_unique<ComPortSource>());
    return sources;
}

std::optional<bool> matchesPortName(const PortEntry &device, const QString &text)
{
    if (!ComPorts::numberOf(text))
        return std::nullopt;
    return device.location.compare(text, Qt::CaseInsensitive) == 0;
}
