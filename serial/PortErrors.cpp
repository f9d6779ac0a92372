#include "serial/PortErrors.h"

#include <QStringList>

namespace PortErrors {

bool isFatal(SerialPort::SerialPortError error)
{
    switch (error) {
    case SerialPort::DeviceNotFoundError:
    case SerialPort::ReadError:
    case SerialPort::WriteError:
    case SerialPort::ResourceError:
        return true;
    case SerialPort::NoError:
    case SerialPort::PermissionError:
    case SerialPort::OpenError:
    case SerialPort::UnsupportedOperationError:
    case SerialPort::UnknownError:
    case SerialPort::TimeoutError:
    case SerialPort::NotOpenError:
        return false;
    }
    return false;
}

OpenFailure classifyOpenFailure(SerialPort::SerialPortError error, bool lockRefused,
                                bool accessDenied)
{
    if (lockRefused)
        return OpenFailure::Busy;
    switch (error) {
    case SerialPort::DeviceNotFoundError:
        return OpenFailure::NoSuchDevice;
    case SerialPort::PermissionError:
        // EACCES and EBUSY both arrive as PermissionError; the device node's
        // access rights tell them apart.
        return accessDenied ? OpenFailure::PermissionDenied : OpenFailure::Busy;
    default:
        return OpenFailure::Other;
    }
}

QString deviceName(int number, const QString &location)
{
    return QStringLiteral("port %1 (%2)").arg(number).arg(location);
}

QString openFailureText(const QString &device, OpenFailure failure, const QString &systemText)
{
    QString reason;
    switch (failure) {
    case OpenFailure::Busy:
        reason = QStringLiteral("the device is busy: another program is using it");
        break;
    case OpenFailure::PermissionDenied:
        reason = QStringLiteral("permission denied");
        break;
    case OpenFailure::NoSuchDevice:
        reason = QStringLiteral("no such device: it was unplugged or removed, run Auto Scan again");
        break;
    case OpenFailure::Other:
        reason = systemText;
        break;
    }
    QString text = QStringLiteral("Cannot open %1: %2.").arg(device, reason);
    if (failure != OpenFailure::Other && !systemText.isEmpty())
        text += QStringLiteral("\n(%1)").arg(systemText);
    return text;
}

QString writeFailureText(const QString &device, const QString &systemText, bool portClosed)
{
    QString text = QStringLiteral("Cannot write to %1: %2.").arg(device, systemText);
    if (portClosed)
        text += QStringLiteral("\nThe port was closed.");
    return text;
}

QString lossText(const QString &device, SerialPort::SerialPortError error)
{
    // QSerialPort's text for a hang-up is a stale errno, so it is not shown.
    const QString what = error == SerialPort::DeviceNotFoundError ? QStringLiteral("disappeared")
                         : error == SerialPort::WriteError ? QStringLiteral("failed to write")
                                                           : QStringLiteral("stopped answering");
    return QStringLiteral("The device of %1 %2 (unplugged or hung up). The port was closed.")
        .arg(device, what);
}

QString permissionNotice(const QList<RefusedDevice> &refused)
{
    QStringList names;
    QString group;
    for (const RefusedDevice &device : refused) {
        names.append(device.location);
        if (group.isEmpty())
            group = device.group;
    }
    if (group.isEmpty() || group == QLatin1String("root"))
        group = QStringLiteral("dialout");
    return QStringLiteral("No port could be opened: permission denied for %1.\n"
                          "Add your user to the group that owns the device (usually dialout), "
                          "for example: sudo usermod -aG %2 $USER\n"
                          "then log out and in again.")
        .arg(names.join(QStringLiteral(", ")), group);
}

} // namespace PortErrors
