#include "station/DeviceMatch.h"
#include "station/DeviceSource.h"
#include "station/DeviceWatcher.h"
#include "station/PluggedNodes.h"

#include <QFileSystemWatcher>
#include <QSocketNotifier>

#ifdef VANTREL_HAVE_UDEV
#include <libudev.h>
#include <sys/sysmacros.h>
#endif

namespace {

// The machine's own serial devices, read anew on each batch of udev's
// device events. "udev" events come after udev's rules ran, so the by-id
// links are there by then.
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
        for (PortEntry entry : SystemPortCatalog().devices()) {
            if (entry.location.startsWith(advertised))
                continue;
            // The kernel lists a new device before udev has made its links
            // and read its USB ids; listed then, it would be judged without
            // them, and it would not be new again when they come. A device
            // counts once udev has told of it, or if it was there when
            // listening began.
            if (m_monitor) {
                const std::optional<QString> plugIn = m_nodes.plugIn(entry.location);
                if (!plugIn)
                    continue;
                entry.plugIn = *plugIn;
            }
            own.append(entry);
        }
        return own;
    }

private:
    void onReadable();

    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    PluggedNodes m_nodes;
};

#ifdef VANTREL_HAVE_UDEV

DeviceEvent eventOf(udev_device *device)
{
    const auto text = [](const char *value) {
        return value ? QString::fromLocal8Bit(value) : QString();
    };
    const dev_t number = udev_device_get_devnum(device);
    return {text(udev_device_get_action(device)), text(udev_device_get_devnode(device)),
            QStringLiteral("%1:%2").arg(major(number)).arg(minor(number)),
            text(udev_device_get_property_value(device, "ID_SERIAL_SHORT")),
            quint64(udev_device_get_seqnum(device))};
}

// The tty devices udev knows now, from its database: the same names and
// properties its events carry.
void seedFromDatabase(struct udev *udev, PluggedNodes &nodes)
{
    udev_enumerate *enumerate = udev_enumerate_new(udev);
    if (!enumerate)
        return;
    if (udev_enumerate_add_match_subsystem(enumerate, "tty") >= 0 &&
        udev_enumerate_scan_devices(enumerate) >= 0) {
        udev_list_entry *entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
        {
            udev_device *device =
                udev_device_new_from_syspath(udev, udev_list_entry_get_name(entry));
            if (!device)
                continue;
            const DeviceEvent found = eventOf(device);
            if (!found.node.isEmpty())
                nodes.seed(found.node, found.number, found.serial);
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(enumerate);
}

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
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        *why = QStringLiteral("plugged-in devices (cannot listen to udev's device events)");
        return false;
    }
    auto *notifier =
        new QSocketNotifier(qintptr(udev_monitor_get_fd(m_monitor)), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &KernelDeviceSource::onReadable);
    // After listening began, so that a unit is seeded, told of, or both.
    seedFromDatabase(m_udev, m_nodes);
    return true;
}

void KernelDeviceSource::onReadable()
{
    bool worthReading = false;
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const DeviceEvent event = eventOf(device);
        udev_device_unref(device);
        // What came and went shows in the list read afterwards, the units
        // told apart by their plug-ins; a "change" may bring a unit's links.
        const bool cameOrWent = !m_nodes.apply(event).isEmpty();
        worthReading = worthReading || cameOrWent || event.action == QLatin1String("change");
    }
    if (worthReading)
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
