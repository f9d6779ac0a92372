#include "tools/DeviceWatcher.h"

#include "tools/KernelDeviceEvents.h"

#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>

#include <algorithm>
#include <cerrno>
#include <utility>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

bool matchesDevice(const PortEntry &device, const QString &text)
{
    if (text.isEmpty())
        return true;
    QStringList names{device.byId, device.description};
    if (device.vendorId != 0 || device.productId != 0) {
        names << QStringLiteral("%1:%2")
                     .arg(device.vendorId, 4, 16, QLatin1Char('0'))
                     .arg(device.productId, 4, 16, QLatin1Char('0'));
    }
    return std::any_of(names.cbegin(), names.cend(), [&text](const QString &name) {
        return name.contains(text, Qt::CaseInsensitive);
    });
}

DeviceWatcher::DeviceWatcher(QObject *parent)
    : QObject(parent), m_kernel(new KernelDeviceEvents(this)),
      m_folder(new QFileSystemWatcher(this))
{
    connect(m_kernel, &KernelDeviceEvents::changed, this, &DeviceWatcher::rescanSystem);
    connect(m_folder, &QFileSystemWatcher::directoryChanged, this,
            &DeviceWatcher::rescanAdvertised);
}

DeviceWatcher::~DeviceWatcher() = default;

namespace {

// Private to this user, like the runtime folder it lives in.
bool makePrivateFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    return QDir().mkpath(folder);
#else
    return ::mkdir(QFile::encodeName(folder).constData(), 0700) == 0 || errno == EEXIST;
#endif
}

} // namespace

QStringList DeviceWatcher::start()
{
    QStringList unwatched;
    QString why;
    if (!m_kernel->start(&why))
        unwatched << QStringLiteral("plugged-in devices (%1)").arg(why);
    const QString folder = AdvertisedPorts::folder();
    // Made here if no emulator made it yet, so that the first one is seen.
    if (folder.isEmpty() || !makePrivateFolder(folder) || !m_folder->addPath(folder)) {
        unwatched << QStringLiteral("emulated devices (no folder %1)").arg(folder);
    }
    // Those there now are known, not new.
    for (const PortEntry &entry : AdvertisedPorts::list())
        m_advertised.insert(entry.location, entry);
    for (const PortEntry &entry : systemDevices())
        m_system.insert(entry.location, entry);
    return unwatched;
}

QList<PortEntry> DeviceWatcher::present() const
{
    return m_system.values() + m_advertised.values();
}

std::optional<PortEntry> DeviceWatcher::find(const QString &location) const
{
    if (m_system.contains(location))
        return m_system.value(location);
    if (m_advertised.contains(location))
        return m_advertised.value(location);
    return std::nullopt;
}

QList<PortEntry> DeviceWatcher::systemDevices()
{
    // The system catalog lists advertised devices too, behind its own; they
    // are followed through their folder.
    const QString advertised = AdvertisedPorts::folder() + QLatin1Char('/');
    QList<PortEntry> own;
    for (const PortEntry &entry : SystemPortCatalog().devices()) {
        if (!entry.location.startsWith(advertised))
            own.append(entry);
    }
    return own;
}

void DeviceWatcher::rescanSystem()
{
    update(m_system, systemDevices());
}

void DeviceWatcher::rescanAdvertised()
{
    update(m_advertised, AdvertisedPorts::list());
}

void DeviceWatcher::update(QHash<QString, PortEntry> &known, const QList<PortEntry> &now)
{
    QHash<QString, PortEntry> next;
    for (const PortEntry &entry : now)
        next.insert(entry.location, entry);
    const QHash<QString, PortEntry> before = std::exchange(known, next);
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!next.contains(it.key()))
            emit vanished(it.key());
    }
    for (const PortEntry &entry : now) {
        if (!before.contains(entry.location))
            emit appeared(entry);
    }
}
