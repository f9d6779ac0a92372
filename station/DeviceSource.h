#pragma once

#include "serial/PortCatalog.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// One place serial devices come from (the kernel's devices, the emulator's
// folder, a script in a test), seen as a list that changes. The watcher
// compares each new list with the last one, so a source never has to say
// what changed, only that something may have.
class DeviceSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~DeviceSource() override;

    // Starts listening. False, and what cannot be watched (for a warning),
    // when it cannot; the others still work.
    [[nodiscard]] virtual bool start(QString *why) = 0;
    // The devices there now.
    [[nodiscard]] virtual QList<PortEntry> devices() const = 0;

signals:
    void changed();
};

using DeviceSources = std::vector<std::unique_ptr<DeviceSource>>;

// Where this system's devices come from, without polling.
[[nodiscard]] DeviceSources systemDeviceSources();
