#pragma once

#include "serial/PortCatalog.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Which devices a station's --match patterns take. A pattern matches a name
// as a whole, in any case: "*" stands for any run of characters, "?" for one,
// and nothing else is special, so that a by-path name full of ':', '.' and
// '-' is written as it is. A part of a name matches nothing: the station of
// socket 1 must never take socket 10.
[[nodiscard]] bool wildcardMatches(QStringView pattern, QStringView name);

// The whole names a device goes by, each on its own: its by-id and by-path
// links (the link's file name, then its full path), USB serial number,
// "vvvv:pppp" and product. A product that ends in the port it is on, in
// parentheses ("USB Serial Port (COM8)", "Dongle emulator 1 (/dev/pts/3)"),
// also goes by its name without it: the port changes from plug to plug.
[[nodiscard]] QStringList deviceNames(const PortEntry &device);

// Whether the pattern takes the device: one of its names, or, where the
// system keeps a port's name, the port's name (see matchesPortName).
[[nodiscard]] bool matchesDevice(const PortEntry &device, const QString &pattern);
// Whether any of the patterns takes it.
[[nodiscard]] bool matchesDevice(const PortEntry &device, const QStringList &patterns);

// For a pattern without wildcards spelled as a part of a name (what --match
// once took): where it takes none of the devices but is part of a name of
// some, what to say, with the pattern that would take them; empty otherwise.
[[nodiscard]] QString partOfNameHint(const QString &pattern, const QList<PortEntry> &devices);

// "\"a\" or \"b\"", for messages.
[[nodiscard]] QString quotedPatterns(const QStringList &patterns);

// Whether TEXT is a port name this system keeps for a device, and then
// whether it names the device's port: "COM8" names COM8 alone, not COM18 nor
// a product called "... (COM8)". nullopt where TEXT is no such name (always
// on Linux, whose /dev/ttyUSB numbers follow the order devices came in). In
// the system's own device source file.
[[nodiscard]] std::optional<bool> matchesPortName(const PortEntry &device, const QString &text);
