#include "tools/KernelDeviceEvents.h"

#include <QSocketNotifier>

#ifdef VANTREL_HAVE_UDEV
#include <libudev.h>
#endif

KernelDeviceEvents::KernelDeviceEvents(QObject *parent) : QObject(parent) {}

#ifdef VANTREL_HAVE_UDEV

KernelDeviceEvents::~KernelDeviceEvents()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

bool KernelDeviceEvents::start(QString *why)
{
    m_udev = udev_new();
    // "udev": after udev's rules ran, so the by-id links are there.
    m_monitor = m_udev ? udev_monitor_new_from_netlink(m_udev, "udev") : nullptr;
    if (!m_monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        *why = QStringLiteral("cannot listen to udev's device events");
        return false;
    }
    m_notifier =
        new QSocketNotifier(qintptr(udev_monitor_get_fd(m_monitor)), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &KernelDeviceEvents::onReadable);
    return true;
}

void KernelDeviceEvents::onReadable()
{
    bool any = false;
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        any = true;
        udev_device_unref(device);
    }
    if (any)
        emit changed();
}

#else

KernelDeviceEvents::~KernelDeviceEvents() = default;

bool KernelDeviceEvents::start(QString *why)
{
    *why = QStringLiteral("built without libudev");
    return false;
}

void KernelDeviceEvents::onReadable() {}

#endif
