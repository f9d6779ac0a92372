#include "station/DeviceMatch.h"
#include "station/DeviceSource.h"
#include "station/DeviceWatcher.h"

#include <QFileSystemWatcher>
#include <QSet>
#include <QSocketNotifier>

#ifdef VANTREL_HAVE_UDEV
#include <libudev.h>
#endif

namespace {

// The machine's own serial devices, read anew on each of udev's device
// events. "udev" events come after udev's rules ran, so the by-id links are
// there by then.
class KernelDeviceSource final : public DeviceSource
{
public:
    using DeviceSource::DeviceSource;
    ~KernelDeviceSource() override;

    bool start(QString *why) override;

    QList<PortEntry> devices() const override
    {
        // The system catalog lists advertised devices too, behind its own;
        // they have a source of their own.
        const QString advertised = AdvertisedPorts::folder() + QLatin1Char('/');
        QList<PortEntry> own;
        for (const PortEntry &entry : SystemPortCatalog().devices()) {
            if (!entry.location.startsWith(advertised) && isSettled(entry.location))
                own.append(entry);
        }
        return own;
    }

private:
    void onReadable();
    // The kernel lists a new device before udev has made its links and read
    // its USB ids; listed then, it would be judged without them, and it
    // would not be new again when they come. A device counts once udev has
    // told of it, or if it was there when listening began.
    [[nodiscard]] bool isSettled(const QString &location) const
    {
        return !m_monitor || m_settled.contains(location);
    }

    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    QSet<QString> m_settled; // device nodes
};

#ifdef VANTREL_HAVE_UDEV

KernelDeviceSource::~KernelDeviceSource()
{
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

bool KernelDeviceSource::start(QString *why)
{
    m_udev = udev_new();
    m_monitor = m_udev ? udev_monitor_new_from_netlink(m_udev, "udev") : nullptr;
    if (!m_monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        *why = QStringLiteral("plugged-in devices (cannot listen to udev's device events)");
        return false;
    }
    auto *notifier =
        new QSocketNotifier(qintptr(udev_monitor_get_fd(m_monitor)), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &KernelDeviceSource::onReadable);
    for (const PortEntry &entry : SystemPortCatalog().devices())
        m_settled.insert(entry.location);
    return true;
}

void KernelDeviceSource::onReadable()
{
    bool any = false;
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        any = true;
        const char *node = udev_device_get_devnode(device);
        const char *action = udev_device_get_action(device);
        if (node && qstrcmp(action, "remove") == 0)
            m_settled.remove(QString::fromLocal8Bit(node));
        else if (node)
            m_settled.insert(QString::fromLocal8Bit(node));
        udev_device_unref(device);
    }
    if (any)
        emit changed();
}

#else

KernelDeviceSource::~KernelDeviceSource() = default;

bool KernelDeviceSource::start(QString *why)
{
    *why = QStringLiteral("plugged-in devices (built without libudev)");
    return false;
}

void KernelDeviceSource::onReadable() {}

#endif

// Devices that programs such as the dongle emulator advertise in their
// folder, read anew whenever the folder changes.
class AdvertisedDeviceSource final : public DeviceSource
{
public:
    using DeviceSource::DeviceSource;

    bool start(QString *why) override
    {
        QString error;
        // Made here if no emulator made it yet, so that the first one is seen.
        if (!AdvertisedPorts::makeFolder(&error) || !m_folder->addPath(AdvertisedPorts::folder())) {
            *why = QStringLiteral("emulated devices (no folder %1)").arg(AdvertisedPorts::folder());
            return false;
        }
        connect(m_folder, &QFileSystemWatcher::directoryChanged, this, &DeviceSource::changed);
        return true;
    }

    QList<PortEntry> devices() const override { return AdvertisedPorts::list(); }

private:
    QFileSystemWatcher *m_folder = new QFileSystemWatcher(this);
};

} // namespace

DeviceSources systemDeviceSources()
{
    DeviceSources sources;
    sources.push_back(std::make_unique<KernelDeviceSource>());
    sources.push_back(std::make_unique<AdvertisedDeviceSource>());
    return sources;
}

std::optional<bool> matchesPortName(const PortEntry &, const QString &)
{
    return std::nullopt;
}
