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

// Whether --match TEXT picks the device: its by-id name, by-path name (the
// USB socket it is in), USB product or "vvvv:pppp" contains TEXT, in any
// case; where the system keeps a port's name (Windows' COM names), TEXT may
// be the port's name instead. An empty TEXT picks every device.
[[nodiscard]] bool matchesDevice(const PortEntry &device, const QString &text);

// Whether TEXT is a port name this system keeps for a device, and then
// whether it names the device's port: "COM8" names COM8 alone, not COM18 nor
// a product called "... (COM8)". nullopt where TEXT is no such name (always
// on Linux, whose /dev/ttyUSB numbers follow the order devices came in). In
// the system's own device source file.
[[nodiscard]] std::optional<bool> matchesPortName(const PortEntry &device, const QString &text);
