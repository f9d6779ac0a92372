#pragma once

#include "serial/PortCatalog.h"
#include "serial/SerialPortType.h"

#include <QString>

// What the serial link does about the port's errors, kept free of I/O so the
// policy can be checked without a device.
namespace PortErrors {

// True when the error means the open device is gone or unusable: the port
// must be closed (otherwise a hung-up line reports ReadError in a tight
// loop). Modem-line queries on a pseudo-terminal fail with
// UnsupportedOperationError; that is no lost device.
[[nodiscard]] bool isFatal(SerialPort::SerialPortError error);

enum class OpenFailure
{
    Busy,
    PermissionDenied,
    NoSuchDevice,
    Other
};

// lockRefused: QSerialPort could not take the device's lock file, which
// means another program (or this one) has it open. accessDenied: the
// current user may not read and write the device node.
[[nodiscard]] OpenFailure classifyOpenFailure(SerialPort::SerialPortError error, bool lockRefused,
                                              bool accessDenied);

// "port 3 (/dev/ttyUSB0)": how messages name a device.
[[nodiscard]] QString deviceName(int number, const QString &location);

[[nodiscard]] QString openFailureText(const QString &device, OpenFailure failure,
                                      const QString &systemText);
[[nodiscard]] QString writeFailureText(const QString &device, const QString &systemText,
                                       bool portClosed);
[[nodiscard]] QString lossText(const QString &device, SerialPort::SerialPortError error);

struct RefusedDevice
{
    QString location;
    QString group; // the group owning the device node, empty if unknown
};

// The scan's one notice when devices exist but refused to open.
[[nodiscard]] QString permissionNotice(const QList<RefusedDevice> &refused);

} // namespace PortErrors
