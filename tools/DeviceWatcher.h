#pragma once

#include "serial/PortCatalog.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <optional>

class KernelDeviceEvents;
class QFileSystemWatcher;

// Notices serial devices coming and going, without polling: the kernel's
// device events for the machine's own devices, a watch on the folder where
// programs such as the dongle emulator advertise theirs. On each event the
// list it concerns is read anew and compared with the last one.
class DeviceWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit DeviceWatcher(QObject *parent = nullptr);
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
    [[nodiscard]] static QList<PortEntry> systemDevices();
    void rescanSystem();
    void rescanAdvertised();
    void update(QHash<QString, PortEntry> &known, const QList<PortEntry> &now);

    QHash<QString, PortEntry> m_system;
    QHash<QString, PortEntry> m_advertised;
    KernelDeviceEvents *m_kernel;
    QFileSystemWatcher *m_folder;
};

// Whether --match TEXT picks the device: its by-id name, USB product or
// "vvvv:pppp" contains TEXT, in any case. An empty TEXT picks every device.
[[nodiscard]] bool matchesDevice(const PortEntry &device, const QString &text);
