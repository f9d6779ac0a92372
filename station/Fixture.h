#pragma once

#include "serial/PortCatalog.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// A station's fixture: its slots, each bound to one USB socket (a
// /dev/serial/by-path link on Linux, a location path on Windows, as
// PortEntry::byPath names it), so that a run takes exactly those sockets.
// Kept as a small text file:
//
//   vantrel-station fixture 1
//   slot 1 = /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0
//   slot 2 = ...
//
// with '#' comment lines and blank lines allowed.
class Fixture
{
public:
    static constexpr int kVersion = 1;
    // More tiles than this cannot be read from a distance on one screen.
    static constexpr int kMaxSlots = 64;

    Fixture() = default;
    // Slot i + 1 is sockets[i]; the caller gives each socket once.
    explicit Fixture(QStringList sockets) : m_sockets(std::move(sockets)) {}

    [[nodiscard]] const QStringList &sockets() const { return m_sockets; }
    [[nodiscard]] int slotCount() const { return int(m_sockets.size()); }
    [[nodiscard]] bool isEmpty() const { return m_sockets.isEmpty(); }
    // The slot (from 1) bound to socket, or 0 when the socket is not ours.
    [[nodiscard]] int slotOf(const QString &socket) const;
    // The file's text.
    [[nodiscard]] QByteArray text() const;

    friend bool operator==(const Fixture &, const Fixture &) = default;

private:
    QStringList m_sockets;
};

struct FixtureRead
{
    std::optional<Fixture> fixture;
    QString error; // "FILE:LINE: why"
};

[[nodiscard]] FixtureRead readFixture(const QString &path);
// The same for text already read; path only names it in errors.
[[nodiscard]] FixtureRead parseFixture(const QByteArray &text, const QString &path);

struct FixtureWrite
{
    QString error; // empty when written
    [[nodiscard]] bool ok() const { return error.isEmpty(); }
};

// Replaces the file as a whole.
[[nodiscard]] FixtureWrite writeFixture(const QString &path, const Fixture &fixture);

// "Learn fixture": the operator plugs one unit into each socket in order;
// each unit that appears names the next slot by its socket.
class FixtureLearning
{
public:
    enum class Outcome
    {
        Learned,        // slot is now bound to socket
        NoSocket,       // the system names no socket for the unit: nothing learned
        AlreadyLearned, // the socket is slot's already (a unit plugged in again)
        Full            // every slot is learned; nothing more is taken
    };
    struct Heard
    {
        Outcome outcome;
        int slot = 0;
        QString socket;
    };

    // slotCount 0: as many slots as units come, up to Fixture::kMaxSlots.
    explicit FixtureLearning(int slotCount = 0);

    [[nodiscard]] Heard appeared(const PortEntry &unit);
    // Forgets the last slot learned (a unit plugged into the wrong socket).
    void undo();

    // The slot the next unit names (from 1).
    [[nodiscard]] int nextSlot() const { return int(m_sockets.size()) + 1; }
    [[nodiscard]] int slotCount() const { return m_slotCount; }
    [[nodiscard]] bool isComplete() const { return int(m_sockets.size()) >= m_slotCount; }
    [[nodiscard]] Fixture fixture() const { return Fixture(m_sockets); }

private:
    int m_slotCount;
    QStringList m_sockets;
};
