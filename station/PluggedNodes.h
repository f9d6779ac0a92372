#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// One of udev's device events, as much of it as tells one unit from another.
struct DeviceEvent
{
    QString action; // "add", "remove", "change", ...
    QString node;   // "/dev/ttyUSB0"; empty for a device without one
    QString number; // the device number, "188:0"
    QString serial; // the USB serial number, or empty
    quint64 seq = 0;
};

struct NodeChange
{
    bool appeared = false; // else vanished
    QString node;
    QString plugIn; // of the unit that appeared
};

// The device nodes udev has told of, each with the unit plugged in on it.
// udev's events are read in batches and a freed node is taken by the next
// unit at once, so a list read after a batch can show the same node before
// and after while the unit on it changed; fed every event in order, this
// says what came and went. Pure: the udev calls stay with the caller.
class PluggedNodes
{
public:
    // A unit there before listening began.
    void seed(const QString &node, const QString &number, const QString &serial);

    [[nodiscard]] QList<NodeChange> apply(const DeviceEvent &event);

    // The plug-in of the unit on the node (see PortEntry::plugIn), nullopt
    // while udev has told of none: a node the kernel lists before udev's
    // rules made its links and read its ids.
    [[nodiscard]] std::optional<QString> plugIn(const QString &node) const;

private:
    struct Unit
    {
        QString number;
        QString serial;
        QString plugIn;
    };

    QHash<QString, Unit> m_nodes;
};
