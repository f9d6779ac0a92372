#pragma once

#include "serial/PortCatalog.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What one station tells the others on this computer: who it is and which
// devices it takes.
struct StationNotice
{
    qint64 pid = 0;
    QString station;     // its name in the records
    QStringList matches; // its --match patterns; empty with matchAny
    bool matchAny = false;
    QString since; // when it started, for people
    // Internal: the start of its process, so that another process given the
    // same pid later is not taken for it; and its place in the order
    // stations joined, for a device both take.
    QString processStamp = {};
    qint64 order = 0;

    [[nodiscard]] bool takes(const PortEntry &device) const;
    // station "line-2" (pid 4711, since 2026-12-08 16:02:11), taking devices
    // matching "*emulator*"
    [[nodiscard]] QString describe() const;
};

// Why two stations must not run side by side, or empty when they may:
// either takes every device, they share a pattern, or a device there now
// would be taken by both.
[[nodiscard]] QString clashBetween(const StationNotice &own, const StationNotice &other,
                                   const QList<PortEntry> &present);

// Stations announce themselves in a folder of this user's, one file each,
// so that a station refuses to start beside one that takes the same units
// (each would lose units to the other as "busy"). A station killed outright
// leaves its file behind; whoever reads it next finds its process gone and
// removes it.
class StationRegistry
{
public:
    explicit StationRegistry(QString folder = defaultFolder());
    ~StationRegistry();
    StationRegistry(const StationRegistry &) = delete;
    StationRegistry &operator=(const StationRegistry &) = delete;

    // "<runtime folder>/vantrel/stations" (Windows: in the user's local
    // application data); empty where the system has none.
    [[nodiscard]] static QString defaultFolder();

    struct Joined
    {
        QList<StationNotice> others; // the other live stations
        QString clash;               // why this one must not start, or empty
        QString error;               // why the others cannot be told of it, or empty
    };
    // Under the folder's lock, so that of two stations started together the
    // second sees the first: reads the others and, unless one clashes,
    // announces this one.
    [[nodiscard]] Joined join(StationNotice own, const QList<PortEntry> &present);
    // A live station that joined before this one and takes the device too:
    // the device is left to it.
    [[nodiscard]] std::optional<StationNotice> earlierTaker(const PortEntry &device) const;
    // Removes this station's notice; also when it is destroyed.
    void withdraw();

private:
    [[nodiscard]] QList<StationNotice> others() const;
    [[nodiscard]] QString announce(const StationNotice &own);

    QString m_folder;
    QString m_file; // this station's notice, once announced
    StationNotice m_own;
};

// The start of a running process, as the system tells it, to tell it from a
// later one with the same pid: nullopt when no process has that pid, empty
// when the start cannot be read. In the system's own file.
[[nodiscard]] std::optional<QString> runningProcessStamp(qint64 pid);
