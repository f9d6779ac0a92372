#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// One serial device the operator can pick. The window lists ports by number
// (see PortNumbering).
struct PortEntry
{
    QString location;          // what QSerialPort opens: "/dev/ttyUSB0", "COM3"
    QString description;       // for the tooltip: the USB product name, or empty
    QString byId = {};         // its /dev/serial/by-id link, or empty
    QString byPath = {};       // the USB socket it is in: its /dev/serial/by-path link (Windows:
                               // its location path), or empty
    QString serialNumber = {}; // the USB serial number, or empty
    quint16 vendorId = 0;      // USB ids, 0 when unknown
    quint16 productId = 0;
    // How messages name the device; empty: "port N (location)".
    QString label = {};
    // Which plugging-in of a unit this is, where the system says: on Linux
    // the device number and the sequence number of udev's "add" event
    // ("188:0#4711"; "188:0" for a device there before the program began
    // to listen). A node freed by one unit and taken by the next keeps its
    // name and number; this tells them apart. Empty where unknown.
    QString plugIn = {};

    // The name that stays with the device while it is plugged in elsewhere
    // or others come and go: its by-id link where it has one.
    [[nodiscard]] QString stableName() const { return byId.isEmpty() ? location : byId; }

    // "0403:6001", or empty when the USB ids are unknown.
    [[nodiscard]] QString vidPid() const;

    // Whether two sightings at one location are the same unit, plugged in
    // once: the same plug-in, and no two different serial numbers (a serial
    // number learnt late is the same unit).
    [[nodiscard]] bool samePlugIn(const PortEntry &other) const;

    friend bool operator==(const PortEntry &, const PortEntry &) = default;
};

inline constexpr int kMaxPortNumber = 50;

struct ScannedPort
{
    int number = 0;
    PortEntry device;
};

// Port numbers for the whole run, the way a system numbers its COM ports:
// the first capture numbers the devices in the catalog's order; after that a
// device (known by its stable name) keeps its number for as long as the
// program runs, a new device gets the next number never given out, and a
// vanished device's number is not handed to another. Numbers end at
// kMaxPortNumber; a device that would need a higher one is left out.
class PortNumbering
{
public:
    // The devices present now with their numbers, in number order.
    [[nodiscard]] QList<ScannedPort> number(const QList<PortEntry> &present);

private:
    QHash<QString, int> m_numbers; // by stable name
    int m_lastGiven = 0;
};

// The item's tooltip: the device path, its by-id name, the USB product and
// serial number, each where known, one to a line.
[[nodiscard]] QString portToolTip(const PortEntry &device);

class PortCatalog
{
public:
    virtual ~PortCatalog();
    // The devices in the order a first scan numbers them.
    [[nodiscard]] virtual QList<PortEntry> devices() const = 0;
};

// A list of devices fixed when it is made: one device named on a command
// line, or none at all.
class FixedPortCatalog final : public PortCatalog
{
public:
    explicit FixedPortCatalog(QList<PortEntry> entries = {}) : m_entries(std::move(entries)) {}
    [[nodiscard]] QList<PortEntry> devices() const override { return m_entries; }

private:
    QList<PortEntry> m_entries;
};

// The machine's own serial devices, then the devices advertised by programs
// of this user (see AdvertisedPorts).
class SystemPortCatalog final : public PortCatalog
{
public:
    [[nodiscard]] QList<PortEntry> devices() const override;
};

// The devices at these paths as a report names them, each under the path
// given: with their by-id and by-path names, serial number and USB ids from
// the system's catalog when withIdentity (reading the catalog walks every
// tty in sysfs), else just the path. A path the catalog does not list is
// the path alone.
[[nodiscard]] QList<PortEntry> describedPorts(const QStringList &paths, bool withIdentity);

// The /dev/serial/by-id links (or those of another folder laid out alike,
// such as /dev/serial/by-path) by the canonical path of the device each
// points at.
[[nodiscard]] QHash<QString, QString>
serialByIdLinks(const QString &folder = QStringLiteral("/dev/serial/by-id"));

// Stable order for device names: grouped by the name without its trailing
// number, then by that number, so that ttyS2 comes before ttyS10 and a new
// USB adapter does not renumber the built-in ports. Keeps the first
// kMaxPortNumber entries.
[[nodiscard]] QList<PortEntry> naturalPortOrder(QList<PortEntry> entries);

// A program that provides a device the system does not list as a serial
// port (the dongle emulator on a pseudo-terminal) advertises it as a
// symbolic link "<label>.<pid>" in this user's runtime folder, and removes
// the link when it ends. Only links of a running process that point at a
// character device are listed; anything else in the folder is ignored.
namespace AdvertisedPorts {

// "<runtime folder>/vantrel"; empty where the system has no runtime folder.
[[nodiscard]] QString folder();

// Makes the folder, private to this user, if it is not there yet.
[[nodiscard]] bool makeFolder(QString *error);

// Links device as "<label>.<pid of this process>". Returns the link's path,
// or an empty string and the reason.
[[nodiscard]] QString advertise(const QString &device, const QString &label,
                                QString *error = nullptr);

// The advertised devices by link name. The location is the link itself, so
// that a device whose program has ended cannot be opened by its old name.
[[nodiscard]] QList<PortEntry> list();

} // namespace AdvertisedPorts
