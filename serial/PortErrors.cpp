#include "serial/PortErrors.h"

#include <QStringList>

namespace PortErrors {

bool isFatal(PortError error)
{
    switch (error) {
    case PortError::DeviceNotFound:
    case PortError::Read:
    case PortError::Write:
    case PortError::Resource:
        return true;
    case PortError::None:
    case PortError::Permission:
    case PortError::Open:
    case PortError::UnsupportedOperation:
    case PortError::Unknown:
    case PortError::Timeout:
    case PortError::NotOpen:
        return false;
    }
    return false;
}

OpenFailure classifyOpenFailure(PortError error, bool lockRefused, bool accessDenied)
{
    if (lockRefused)
        return OpenFailure::Busy;
    switch (error) {
    case PortError::DeviceNotFound:
        return OpenFailure::NoSuchDevice;
    case PortError::Permission:
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

QString openFailureText(const QString &device, OpenFailure failure, const QString &systemText,
                        Audience audience)
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
        reason = audience == Audience::Window
                     ? QStringLiteral("no such device: it was unplugged or removed, run Auto Scan "
                                      "again")
                     : QStringLiteral("no such device: it was unplugged or removed");
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

QString lossText(const QString &device, PortError error)
{
    // QSerialPort's text for a hang-up is a stale errno, so it is not shown.
    const QString what = error == PortError::DeviceNotFound ? QStringLiteral("disappeared")
                         : error == PortError::Write        ? QStringLiteral("failed to write")
                                                            : QStringLiteral("stopped answering");
    return QStringLiteral("The device of %1 %2 (unplugged or hung up). The port was closed.")
        .arg(device, what);
}

QString joinGroupHint(const QString &group)
{
    const QString join =
        group.isEmpty() || group == QLatin1String("root") ? QStringLiteral("dialout") : group;
    return QStringLiteral("Add your user to the group that owns the device (usually dialout), "
                          "for example: sudo usermod -aG %1 $USER\n"
                          "then log out and in again.")
        .arg(join);
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
    return QStringLiteral("No port could be opened: permission denied for %1.\n%2")
        .arg(names.join(QStringLiteral(", ")), joinGroupHint(group));
}

} // namespace PortErrors
