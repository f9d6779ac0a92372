#pragma once

#include "station/DeviceSource.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <optional>

// Notices serial devices coming and going, without polling: on each word
// from a source, that source's list is read anew and compared with the last.
class DeviceWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWatcher(DeviceSources sources, QObject *parent = nullptr);
    ~DeviceWatcher() override;

    // Takes the devices there now as known (no appeared() for them) and
    // starts listening. Returns what it cannot watch, for a warning.
    [[nodiscard]] QStringList start();

    [[nodiscard]] QList<PortEntry> present() const;
    [[nodiscard]] std::optional<PortEntry> find(const QString &location) const;

signals:
    void appeared(const PortEntry &device);
    void vanished(const QString &location);

private:
    struct Watched
    {
        std::unique_ptr<DeviceSource> source;
        QHash<QString, PortEntry> known; // by location
    };

    void rescan(Watched &watched);

    std::vector<Watched> m_sources;
};
