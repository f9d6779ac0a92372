#pragma once

#include <QList>
#include <QString>

// One serial device the operator can pick. The window lists ports by number;
// number n is the n-th entry of the catalog captured at the last scan.
struct PortEntry
{
    QString location;    // what QSerialPort opens: "/dev/ttyUSB0", "COM3"
    QString description; // for the tooltip: the USB product name, or empty

    friend bool operator==(const PortEntry &, const PortEntry &) = default;
};

inline constexpr int kMaxPortNumber = 50;

class PortCatalog
{
public:
    virtual ~PortCatalog();
    // At most kMaxPortNumber entries; entry n-1 is port number n.
    [[nodiscard]] virtual QList<PortEntry> devices() const = 0;
};

// The machine's own serial devices.
class SystemPortCatalog final : public PortCatalog
{
public:
    [[nodiscard]] QList<PortEntry> devices() const override;
};

// Stable order for device names: grouped by the name without its trailing
// number, then by that number, so that ttyS2 comes before ttyS10 and a new
// USB adapter does not renumber the built-in ports. Keeps the first
// kMaxPortNumber entries.
[[nodiscard]] QList<PortEntry> naturalPortOrder(QList<PortEntry> entries);
