#pragma once

#include "serial/PortCatalog.h"

#include <QList>
#include <QStringList>

#include <optional>

// Windows' serial ports: port number n is COMn, for n from 1 to
// kMaxPortNumber, so that a port keeps its number whatever else is plugged
// in. Auto Scan tries each and lists those that open.
namespace ComPorts {

// n for "COMn" as Windows writes it (any case, no leading zero, no sign);
// nullopt for anything else.
[[nodiscard]] std::optional<int> numberOf(QStringView name);

// COM1 to COM50 in number order, each with the description that `listed`
// has for it (names compared without regard to case; anything that is not
// COM1..COM50 is ignored).
[[nodiscard]] QList<PortEntry> numbered(const QList<PortEntry> &listed);

// Fills in what Windows' device ids tell of a USB serial device: the USB
// ids from the first of ids that has both (the hardware id
// "USB\VID_0403&PID_6001&REV_0600" or "FTDIBUS\COMPORT&VID_0403&PID_6001",
// the instance ids), and the serial number from the first instance id of a
// USB device that has one ("USB\VID_0403&PID_6001\A50285BI"; an id Windows
// made up for a device without one has '&' in its last part). ids: the
// port's hardware id, its instance id, then its parent's.
void readDeviceIds(PortEntry &entry, const QStringList &ids);

// The ports Windows' device manager knows, as "COM3" with the device's
// friendly name, and where Windows has them its USB ids, serial number and
// location path (in byPath); under Wine, which lists none, empty. Windows
// only.
[[nodiscard]] QList<PortEntry> listedBySystem();

} // namespace ComPorts
