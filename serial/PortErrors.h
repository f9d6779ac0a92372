#pragma once

#include "serial/PortCatalog.h"

#include <QString>

// What the serial link does about the port's errors, kept free of I/O so the
// policy can be checked without a device.
namespace PortErrors {

// What went wrong with a port, in the link's own terms, so that no port
// class (Qt's or the Win32 one) shows through to the link's users.
enum class PortError
{
    None,
    DeviceNotFound,
    Permission,
    Open,
    Write,
    Read,
    Resource,
    UnsupportedOperation,
    Unknown,
    Timeout,
    NotOpen
};

// True when the error means the open device is gone or unusable: the port
// must be closed (otherwise a hung-up line reports ReadError in a tight
// loop). Modem-line queries on a pseudo-terminal fail with
// UnsupportedOperationError; that is no lost device.
[[nodiscard]] bool isFatal(PortError error);

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
[[nodiscard]] OpenFailure classifyOpenFailure(PortError error, bool lockRefused, bool accessDenied);

// "port 3 (/dev/ttyUSB0)": how messages name a device.
[[nodiscard]] QString deviceName(int number, const QString &location);

// Who reads a message: the window's operator, who may scan again, or the
// user of a command line, who has no Auto Scan.
enum class Audience
{
    Window,
    CommandLine
};

[[nodiscard]] QString openFailureText(const QString &device, OpenFailure failure,
                                      const QString &systemText,
                                      Audience audience = Audience::Window);
[[nodiscard]] QString writeFailureText(const QString &device, const QString &systemText,
                                       bool portClosed);
[[nodiscard]] QString lossText(const QString &device, PortError error);

struct RefusedDevice
{
    QString location;
    QString group; // the group owning the device node, empty if unknown
};

// How to get the right to open a device owned by group (dialout when the
// group is unknown or root): the group to join and the command that does it.
[[nodiscard]] QString joinGroupHint(const QString &group);

// The scan's one notice when devices exist but refused to open.
[[nodiscard]] QString permissionNotice(const QList<RefusedDevice> &refused);

} // namespace PortErrors
