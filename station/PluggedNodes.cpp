#include "station/PluggedNodes.h"

void PluggedNodes::seed(const QString &node, const QString &number, const QString &serial)
{
    m_nodes.insert(node, {number, serial, number});
}

QList<NodeChange> PluggedNodes::apply(const DeviceEvent &event)
{
    if (event.node.isEmpty())
        return {};
    const auto held = m_nodes.find(event.node);
    if (event.action == QLatin1String("remove")) {
        if (held == m_nodes.end())
            return {};
        m_nodes.erase(held);
        return {{false, event.node, {}}};
    }
    QList<NodeChange> changes;
    if (held != m_nodes.end()) {
        // "change" and the like tell of the unit there. So does a second
        // "add" from the same device and serial number (udevadm trigger, or
        // udev done with a unit seeded before it had read the number);
        // another serial number means the unit's "remove" was lost.
        const bool sameUnit = held->number == event.number &&
                              (held->serial.isEmpty() || held->serial == event.serial);
        if (sameUnit && held->serial.isEmpty())
            held->serial = event.serial;
        if (event.action != QLatin1String("add") || sameUnit)
            return {};
        changes.append({false, event.node, {}});
    }
    // A node udev tells of first by another event counts from then too: its
    // rules ran.
    const QString plugIn = QStringLiteral("%1#%2").arg(event.number).arg(event.seq);
    m_nodes.insert(event.node, {event.number, event.serial, plugIn});
    changes.append({true, event.node, plugIn});
    return changes;
}

std::optional<QString> PluggedNodes::plugIn(const QString &node) const
{
    const auto held = m_nodes.constFind(node);
    if (held == m_nodes.cend())
        return std::nullopt;
    return held->plugIn;
}
