#include "station/DeviceWatcher.h"

#include <utility>

DeviceSource::~DeviceSource() = default;

DeviceWatcher::DeviceWatcher(DeviceSources sources, QObject *parent) : QObject(parent)
{
    m_sources.reserve(sources.size());
    for (std::unique_ptr<DeviceSource> &source : sources)
        m_sources.push_back({std::move(source), {}});
}

DeviceWatcher::~DeviceWatcher() = default;

QStringList DeviceWatcher::start()
{
    QStringList unwatched;
    for (std::size_t i = 0; i < m_sources.size(); ++i) {
        Watched &watched = m_sources[i];
        QString why;
        if (!watched.source->start(&why))
            unwatched << why;
        connect(watched.source.get(), &DeviceSource::changed, this,
                [this, i] { rescan(m_sources[i]); });
        // Those there now are known, not new.
        for (const PortEntry &entry : watched.source->devices())
            watched.known.insert(entry.location, entry);
    }
    return unwatched;
}

QList<PortEntry> DeviceWatcher::present() const
{
    QList<PortEntry> all;
    for (const Watched &watched : m_sources)
        all += watched.known.values();
    return all;
}

std::optional<PortEntry> DeviceWatcher::find(const QString &location) const
{
    for (const Watched &watched : m_sources) {
        const auto it = watched.known.constFind(location);
        if (it != watched.known.cend())
            return *it;
    }
    return std::nullopt;
}

void DeviceWatcher::rescan(Watched &watched)
{
    const QList<PortEntry> now = watched.source->devices();
    QHash<QString, PortEntry> next;
    for (const PortEntry &entry : now)
        next.insert(entry.location, entry);
    const QHash<QString, PortEntry> before = std::exchange(watched.known, next);
    // Another unit on a location is one gone and one come, told in that
    // order, even though the list shows the location throughout.
    const auto sameUnit = [](const QHash<QString, PortEntry> &in, const PortEntry &entry) {
        const auto it = in.constFind(entry.location);
        return it != in.cend() && it->samePlugIn(entry);
    };
    for (const PortEntry &entry : before) {
        if (!sameUnit(next, entry))
            emit vanished(entry.location);
    }
    for (const PortEntry &entry : now) {
        if (!sameUnit(before, entry))
            emit appeared(entry);
    }
}
