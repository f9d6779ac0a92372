#pragma once

#include "serial/PortCatalog.h"

#include <QList>

// Windows' serial ports: port number n is COMn, for n from 1 to
// kMaxPortNumber, so that a port keeps its number whatever else is plugged
// in. Auto Scan tries each and lists those that open.
namespace ComPorts {

// COM1 to COM50 in number order, each with the description that `listed`
// has for it (names compared without regard to case; anything that is not
// COM1..COM50 is ignored).
[[nodiscard]] QList<PortEntry> numbered(const QList<PortEntry> &listed);

// The ports Windows' device manager knows, as "COM3" with the device's
// friendly name; under Wine, which lists none, empty. Windows only.
[[nodiscard]] QList<PortEntry> listedBySystem();

} // namespace ComPorts
